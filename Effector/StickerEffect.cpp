#include "Effector/StickerEffect.h"

#include <opencv2/imgproc.hpp>

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Outlines of everything that is not background, in depth-map pixels. Points
// on or next to the map's border are pushed `margin` beyond it, so the
// outline stroke along the picture's edges falls outside the picture.
std::vector<std::vector<cv::Point>> subjectContours(const cv::Mat& depth, int margin)
{
    const int blurSize = margin % 2 == 0 ? margin + 1 : margin;
    cv::Mat smooth;
    // The blur widens the subject a little, so the contours keep a small
    // margin around middle-distance and foreground areas.
    cv::GaussianBlur(depth, smooth, cv::Size(blurSize, blurSize), 0, 0, cv::BORDER_REFLECT_101);
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(smooth, contours, cv::RETR_TREE, cv::CHAIN_APPROX_SIMPLE);
    for (auto& contour : contours) {
        for (cv::Point& p : contour) {
            if (p.x <= 1)
                p.x = -margin;
            else if (p.x >= depth.cols - 2)
                p.x = depth.cols + margin;
            if (p.y <= 1)
                p.y = -margin;
            else if (p.y >= depth.rows - 2)
                p.y = depth.rows + margin;
        }
    }
    return contours;
}

// 255 inside the subject, less half the line width along its outline, 0
// elsewhere, anti-aliased. The matrix's rows are padded to 4 bytes, as a
// Grayscale8 QImage over the same memory requires.
cv::Mat subjectMask(const std::vector<std::vector<cv::Point>>& contours, cv::Size imageSize, cv::Size depthSize,
                    int lineWidth)
{
    const int stride = (imageSize.width + 3) & ~3;
    cv::Mat buffer(imageSize.height, stride, CV_8UC1, cv::Scalar(0));
    cv::Mat mask = buffer.colRange(0, imageSize.width);
    if (contours.empty())
        return mask;

    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const auto& contour : contours) {
        path.moveTo(contour[0].x, contour[0].y);
        for (size_t i = 1; i < contour.size(); ++i)
            path.lineTo(contour[i].x, contour[i].y);
        path.closeSubpath();
    }

    QImage canvas(mask.data, mask.cols, mask.rows, qsizetype(mask.step[0]), QImage::Format_Grayscale8);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.scale(double(imageSize.width) / depthSize.width, double(imageSize.height) / depthSize.height);
    // A zero-width QPen would be a one-pixel cosmetic line; a map too narrow
    // for any line width gets no outline band.
    if (lineWidth > 0)
        painter.setPen(QPen(Qt::black, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    else
        painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(path);
    painter.end();
    return mask;
}

} // namespace

void applyStickerEffect(cv::Mat& image, const cv::Mat& rawDepth)
{
    CV_Assert(image.type() == CV_8UC4 && rawDepth.type() == CV_8UC1 && !rawDepth.empty());
    if (image.empty())
        return;
    const int width = image.cols;
    const int k = rawDepth.cols / 40;

    const cv::Mat mask = subjectMask(subjectContours(rawDepth, k), image.size(), rawDepth.size(), k);

    // A rounded 7 x 7 element, so the outline follows the subject's curves.
    const cv::Mat element = (cv::Mat_<uint8_t>(7, 7) << 0, 0, 1, 1, 1, 0, 0,
                                                        0, 1, 1, 1, 1, 1, 0,
                                                        1, 1, 1, 1, 1, 1, 1,
                                                        1, 1, 1, 1, 1, 1, 1,
                                                        1, 1, 1, 1, 1, 1, 1,
                                                        0, 1, 1, 1, 1, 1, 0,
                                                        0, 0, 1, 1, 1, 0, 0);
    cv::Mat outline;
    cv::dilate(mask, outline, element, cv::Point(-1, -1), int(width * 0.005), cv::BORDER_CONSTANT,
               cv::morphologyDefaultBorderValue());

    // Below 13 pixels the shadow size truncates to 0, which boxFilter rejects;
    // a 1 x 1 box leaves the shadow as the outline itself.
    const int shadowSize = std::max(1, int(width * 0.08));
    cv::Mat shadow;
    cv::boxFilter(outline, shadow, -1, cv::Size(shadowSize, shadowSize), cv::Point(-1, -1), true,
                  cv::BORDER_REFLECT_101);

    const cv::Mat original = image.clone();
    for (int y = 0; y < image.rows; ++y) {
        uint8_t* p = image.ptr<uint8_t>(y);
        const uint8_t* u = original.ptr<uint8_t>(y);
        const uint8_t* m = mask.ptr<uint8_t>(y);
        const uint8_t* o = outline.ptr<uint8_t>(y);
        const uint8_t* s = shadow.ptr<uint8_t>(y);
        for (int x = 0; x < width; ++x, p += 4, u += 4) {
            const int mv = m[x], ov = o[x], sv = s[x];
            for (int i = 0; i < 3; ++i) {
                int c = std::max(p[i] - 60, 0);
                if (sv != 0)
                    c = c * (255 - sv) / 255;
                if (ov != 0)
                    c = (255 * ov + c * (255 - ov)) / 255;
                if (mv != 0)
                    c = (mv * u[i] + c * (255 - mv)) / 255;
                p[i] = uint8_t(c);
            }
            p[3] = 255;
        }
    }
}
