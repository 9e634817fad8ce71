#include "Effector/Effector.h"

#include "Effector/BlurByDepthFilter.h"
#include "Effector/Fading.h"
#include "app/AppData.h"
#include "app/Bitmap.h"
#include "app/ImageHelpers.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <memory>

void prepareDepth(const AppData& doc, cv::Mat& depth)
{
    if (doc.m_fadingMode != kNoFading)
        applyFading(depth, doc.m_fadingStart, doc.m_fadingEnd);
    if (doc.m_edgeFeather > 0.0f) {
        int k = int(doc.m_edgeFeather * float(std::max(depth.rows, depth.cols)));
        if (k % 2 == 0)
            ++k;
        cv::GaussianBlur(depth, depth, cv::Size(k, k), 0, 0);
    }
}

void prepareMat(const cv::Mat& src, const cv::Mat& depth, cv::Size size, cv::Mat& resizedSrc,
                cv::Mat& fittedDepth, cv::Mat& dst)
{
    CV_Assert(src.cols != 0 && src.rows != 0 && src.type() == CV_8UC4);
    CV_Assert(depth.cols != 0 && depth.rows != 0 && depth.type() == CV_8UC1);
    if (size.width == -1 || size.height == -1)
        resizedSrc = src;
    else
        cv::resize(src, resizedSrc, size, 0, 0, cv::INTER_LINEAR);
    if (depth.rows == resizedSrc.rows && depth.cols == resizedSrc.cols)
        fittedDepth = depth;
    else
        cv::resize(depth, fittedDepth, resizedSrc.size(), 0, 0, cv::INTER_NEAREST);
    dst.create(resizedSrc.size(), CV_8UC4);
}

void applyEffect(cv::Mat& dst, const AppData& doc, const cv::Mat& depth, int focus, int targetWidth,
                 int targetHeight, bool fullSize, EffectorCallback* callback)
{
    cv::Mat source;
    std::unique_ptr<Bitmap> fullSizeBitmap;
    if (!fullSize) {
        if (doc.m_pBitmap)
            source = cv::Mat(doc.m_height, doc.m_width, CV_8UC4, doc.m_pBitmap->data,
                             size_t(doc.m_pBitmap->bytesPerRow));
    } else {
        // A missing or unreadable file leaves the source empty, which the
        // input check below reports.
        const platform::Image photo = loadFromDocuments(QStringLiteral("org.jpg"));
        if (!photo.isNull()) {
            fullSizeBitmap = std::make_unique<Bitmap>(photo, true);
            source = cv::Mat(fullSizeBitmap->height, fullSizeBitmap->width, CV_8UC4, fullSizeBitmap->data,
                             size_t(fullSizeBitmap->bytesPerRow));
        }
    }

    if (doc.m_blurType != kLensBlur && doc.m_blurType != kMotionBlur)
        return;

    const int maxRadius = int(doc.m_blurStrength * float(targetWidth));
    int threshold = doc.m_bokehThreshold;
    if (fullSize)
        threshold = int(double(doc.m_bokehThreshold) * 1.15); // 200 -> 229, -1 stays -1
    const int sharpen = doc.m_sharpen != 0 ? 1 : 0;

    cv::Mat resizedSource, fittedDepth;
    prepareMat(source, depth, cv::Size(targetWidth, targetHeight), resizedSource, fittedDepth, dst);
    BlurByDepthFilter filter(doc.m_blurType == kLensBlur ? kLensKernel : kMotionKernel, resizedSource, maxRadius,
                             doc.m_sidesOrAngle, threshold, sharpen);
    filter.run(fittedDepth, focus, dst, callback);
}

platform::Image matToImage(const cv::Mat& mat)
{
    CV_Assert(mat.depth() == CV_8U && (mat.channels() == 1 || mat.channels() == 4));
    const Bitmap wrapped(mat.cols, mat.rows, int32_t(mat.step[0]), const_cast<uint8_t*>(mat.ptr<uint8_t>()),
                         int32_t(8 * mat.elemSize()));
    return wrapped.toImage();
}
