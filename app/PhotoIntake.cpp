#include "app/PhotoIntake.h"

#include "app/AppData.h"
#include "app/ImageHelpers.h"

bool loadPhotoIntoDocument(AppData& doc, const platform::Image& photo, const platform::Image& right,
                           const QUrl& assetURL, QString* error)
{
    if (!photo.isNull()) {
        const platform::Image upright = uprightImage(photo);
        if (saveToDocuments(upright, QStringLiteral("org.jpg"), error).isEmpty())
            return false;
        doc.m_orgWidth = upright.width();
        doc.m_orgHeight = upright.height();
        const QSize working = fitLongestSide(400, doc.m_orgWidth, doc.m_orgHeight);
        doc.m_width = working.width();
        doc.m_height = working.height();
        doc.m_image = scaleImage(upright, doc.m_width, doc.m_height);
        doc.m_pBitmap = std::make_unique<Bitmap>(doc.m_image, true);
        doc.m_pDisparity.reset();
        doc.m_bokehThreshold = -1;
        const cv::Size depthSize = depthMapSize(doc.m_width, doc.m_orgWidth, doc.m_orgHeight);
        doc.m_pDepthMap = std::make_unique<cv::Mat>(depthSize, CV_8UC1, cv::Scalar(0));
        doc.m_depthSizedImage = scaleImage(upright, depthSize.width, depthSize.height);
        doc.m_assetURL = assetURL;
    }
    if (!right.isNull()) {
        doc.m_leftThumb = scaleImage(doc.m_image, 250);
        doc.m_thumbWidth = doc.m_leftThumb.width();
        doc.m_thumbHeight = doc.m_leftThumb.height();
        doc.m_rightThumb = scaleImage(uprightImage(right), 250);
    }
    return true;
}
