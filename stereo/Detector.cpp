#include "stereo/Detector.h"

#include "app/AppData.h"
#include "app/Bitmap.h"
#include "platform/Image.h"
#include "stereo/StereoMatcherGC.h"

#include <opencv2/imgproc.hpp>

#include <QImage>
#include <QPainter>
#include <QTransform>

Detector::Detector(const platform::Image& left, const platform::Image& right)
{
    CV_Assert(!left.isNull() && left.size() == right.size());
    m_pLeftBitmap = std::make_unique<Bitmap>(left, true);
    m_pRightBitmap = std::make_unique<Bitmap>(right, true);
    m_pLeftMat = std::make_unique<cv::Mat>(m_pLeftBitmap->height, m_pLeftBitmap->width, CV_8UC4, m_pLeftBitmap->data,
                                           size_t(m_pLeftBitmap->bytesPerRow));
    m_pRightMat = std::make_unique<cv::Mat>(m_pRightBitmap->height, m_pRightBitmap->width, CV_8UC4,
                                            m_pRightBitmap->data, size_t(m_pRightBitmap->bytesPerRow));
    m_pLeftGray = std::make_unique<cv::Mat>();
    m_pRightGray = std::make_unique<cv::Mat>();
    cv::cvtColor(*m_pLeftMat, *m_pLeftGray, cv::COLOR_BGRA2GRAY);
    cv::cvtColor(*m_pRightMat, *m_pRightGray, cv::COLOR_BGRA2GRAY);
    m_width = m_pLeftBitmap->width;
    m_height = m_pLeftBitmap->height;
}

// The matrices are headers over the Bitmaps' pixels: drop them first.
Detector::~Detector()
{
    m_pLeftGray.reset();
    m_pRightGray.reset();
    m_pLeftMat.reset();
    m_pRightMat.reset();
    m_pLeftBitmap.reset();
    m_pRightBitmap.reset();
}

void Detector::detect(int numberOfDisparities, int maxIters, cv::Mat& output,
                      const std::function<void(float)>& progress, cv::Mat* leftDisparity)
{
    CV_Assert(output.type() == CV_8UC1 && output.rows == m_height && output.cols == m_width);
    StereoGCParams params;  // everything else automatic or at its default
    params.numberOfDisparities = numberOfDisparities;
    params.maxIters = maxIters;
    cv::Mat left, right;
    findStereoCorrespondenceGC(*m_pLeftGray, *m_pRightGray, left, right, params, progress);
    nearnessFromDisparity(left, output, numberOfDisparities);
    if (leftDisparity)
        *leftDisparity = left;
}

void deleteDetector(Detector* detector)
{
    delete detector;
}

void nearnessFromDisparity(const cv::Mat& leftDisparity, cv::Mat& output, int numberOfDisparities)
{
    CV_Assert(leftDisparity.type() == CV_16SC1 && numberOfDisparities > 0);
    // convertTo rounds to nearest and saturates, so the occlusion marker
    // (32767) lands on 0 like the background.
    leftDisparity.convertTo(output, CV_8U, -256.0 / numberOfDisparities, 0.0);
}

ContrastStretch contrastStretchFor(const cv::Mat& map)
{
    CV_Assert(map.type() == CV_8UC1 && !map.empty());
    int64_t histogram[256] = {};
    for (int y = 0; y < map.rows; ++y) {
        const uchar* row = map.ptr<uchar>(y);
        for (int x = 0; x < map.cols; ++x)
            ++histogram[row[x]];
    }
    const float total = float(int64_t(map.rows) * map.cols);
    auto exceedsTenPercent = [total](int64_t count) { return double(float(count) / total) * 100.0 > 10.0; };

    ContrastStretch s;
    int64_t count = 0;
    for (int v = 0; v < 256; ++v) {
        count += histogram[v];
        if (exceedsTenPercent(count)) {
            s.lo = v;
            break;
        }
    }
    count = 0;
    for (int v = 255; v >= 0; --v) {
        count += histogram[v];
        if (exceedsTenPercent(count)) {
            s.hi = v;
            break;
        }
    }
    s.cut = s.lo + (255 - s.hi);
    s.applies = s.cut <= 230;
    for (int v = 0; v < 256; ++v)
        s.table[size_t(v)] = uint8_t(v);
    if (!s.applies || s.cut == 0)
        return s;

    // The levels left out, spread evenly over the range.
    bool skipped[256] = {};
    for (int k = 0; k < s.cut; ++k)
        skipped[int(double(float(k + 1) / float(s.cut + 1)) * 256.0)] = true;
    for (int v = 0; v < s.lo; ++v)
        s.table[size_t(v)] = 0;
    int level = 0;
    for (int v = s.lo; v <= s.hi; ++v) {
        while (level < 255 && skipped[level])
            ++level;
        s.table[size_t(v)] = uint8_t(level);
        if (level < 255)
            ++level;
    }
    for (int v = s.hi + 1; v < 256; ++v)
        s.table[size_t(v)] = 255;
    return s;
}

void stretchContrast(cv::Mat& map)
{
    const ContrastStretch s = contrastStretchFor(map);
    if (!s.applies || s.cut == 0)
        return;
    const cv::Mat table(1, 256, CV_8U, const_cast<uint8_t*>(s.table.data()));
    cv::LUT(map, table, map);
}

int closingSteps(int columns)
{
    return int(columns * 0.02);
}

int smoothingKernelSize(int closingSteps)
{
    return closingSteps % 2 == 1 ? closingSteps : closingSteps + 1;
}

void runStereoDetection(AppData& doc, const StereoDetectionOptions& options)
{
    if (doc.m_rightThumb.isNull())
        return;
    doc.m_pDetector.reset();
    CV_Assert(doc.m_thumbWidth > 0 && doc.m_thumbHeight > 0 && doc.m_pDepthMap && !doc.m_pDepthMap->empty());

    // The right shot as the alignment screen shows it: top-left origin,
    // y down, through the user's shift; what it leaves uncovered stays 0.
    QImage aligned(doc.m_thumbWidth, doc.m_thumbHeight, QImage::Format_ARGB32);
    aligned.fill(0);
    {
        QPainter painter(&aligned);
        const AffineTransform& t = doc.m_rightTransform;
        painter.setTransform(QTransform(t.a, t.b, t.c, t.d, t.tx, t.ty));
        doc.m_rightThumb.draw(painter, QRectF(0, 0, doc.m_rightThumb.width(), doc.m_rightThumb.height()), false);
    }
    doc.m_pDetector = DetectorPtr(new Detector(doc.m_leftThumb, platform::Image(aligned)), &deleteDetector);

    doc.m_pDisparity = std::make_unique<cv::Mat>(doc.m_thumbHeight, doc.m_thumbWidth, CV_8UC1);
    cv::Mat& map = *doc.m_pDisparity;
    doc.m_pDetector->detect(25, 1, map, options.progress, options.leftDisparity);
    stretchContrast(map);

    // Closing fills small holes and cracks that the matching leaves; the
    // default border value of the morphology never wins at the edges.
    const int steps = closingSteps(map.cols);
    for (int i = 0; i < steps; ++i)
        cv::dilate(map, map, cv::Mat());
    for (int i = 0; i < steps; ++i)
        cv::erode(map, map, cv::Mat());
    const int k = smoothingKernelSize(steps);
    cv::GaussianBlur(map, map, cv::Size(k, k), 0, 0, cv::BORDER_DEFAULT);

    cv::resize(map, *doc.m_pDepthMap, doc.m_pDepthMap->size(), 0, 0, cv::INTER_NEAREST);
}

void releaseStereoDetection(AppData& doc)
{
    doc.m_pDetector.reset();
    doc.m_pDisparity.reset();
}
