#include "editing/WatershedSegmentation.h"

#include "app/StrokeContainer.h"

#include <opencv2/imgproc.hpp>

#include <climits>

cv::Size watershedStrokeSize(double displayWidth, double displayHeight)
{
    return cv::Size(int(displayWidth * 1.5), int(displayHeight * 1.5));
}

cv::Point canvasPointToPixel(cv::Point2f canvasPoint, int columns, double contentWidth)
{
    CV_Assert(contentWidth > 0);
    const double factor = columns / contentWidth;
    return cv::Point(int(canvasPoint.x * factor), int(canvasPoint.y * factor));
}

namespace {

// The level a painted pixel carries: the first byte of the stroke image.
uint8_t levelAt(const cv::Mat& lines, cv::Point p)
{
    return lines.at<cv::Vec4b>(p)[0];
}

bool contourHasLevel(const std::vector<cv::Point>& contour, const cv::Mat& lines, uint8_t level)
{
    for (const cv::Point& p : contour) {
        if (levelAt(lines, p) != level)
            return false;
    }
    return true;
}

// Every painted pixel labelled k carries the level. The boundaries alone miss
// a stroke of another level that lies wholly inside a wider one or touches a
// region only from inside one of its holes.
bool regionHasLevel(const cv::Mat& labels, const cv::Mat& marker, const cv::Mat& lines, cv::Rect box,
                    int32_t k, uint8_t level)
{
    for (int y = box.y; y < box.y + box.height; ++y) {
        const int32_t* label = labels.ptr<int32_t>(y);
        const uint8_t* painted = marker.ptr<uint8_t>(y);
        const cv::Vec4b* stroke = lines.ptr<cv::Vec4b>(y);
        for (int x = box.x; x < box.x + box.width; ++x) {
            if (label[x] == k && painted[x] != 0 && stroke[x][0] != level)
                return false;
        }
    }
    return true;
}

} // namespace

bool labelStrokeRegions(const cv::Mat& marker, const cv::Mat& lines, cv::Mat& labels,
                        std::vector<int32_t>& labelTable)
{
    CV_Assert(marker.type() == CV_8UC1 && lines.type() == CV_8UC4 && marker.size() == lines.size());
    labels = cv::Mat::zeros(marker.size(), CV_32SC1);
    labelTable.clear();

    // Two-level hierarchy: outer boundaries of the painted regions at the
    // top, the boundaries of their holes as their children.
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(marker, contours, hierarchy, cv::RETR_CCOMP, cv::CHAIN_APPROX_SIMPLE);
    if (contours.empty())
        return true;

    // The outer boundaries are one sibling chain; find its head.
    int first = 0;
    while (hierarchy[first][3] >= 0)
        first = hierarchy[first][3];
    while (hierarchy[first][1] >= 0)
        first = hierarchy[first][1];

    for (int i = first; i >= 0; i = hierarchy[i][0]) {
        const uint8_t level = levelAt(lines, contours[i][0]);
        if (!contourHasLevel(contours[i], lines, level))
            return false;
        for (int hole = hierarchy[i][2]; hole >= 0; hole = hierarchy[hole][0]) {
            if (!contourHasLevel(contours[hole], lines, level))
                return false;
        }
        labelTable.push_back(level);
        const int32_t k = int32_t(labelTable.size());
        // Filled with its holes as even-odd children, so the holes stay 0.
        cv::drawContours(labels, contours, i, cv::Scalar(k), cv::FILLED, cv::LINE_8, hierarchy, INT_MAX);
        if (!regionHasLevel(labels, marker, lines, cv::boundingRect(contours[i]), k, level))
            return false;
    }
    return true;
}

void segmentsFromWatershed(const cv::Mat& watershedLabels, const std::vector<int32_t>& labelTable,
                           cv::Mat& segments)
{
    CV_Assert(watershedLabels.type() == CV_32SC1);
    segments.create(watershedLabels.size(), CV_8UC4);
    segments.setTo(cv::Scalar::all(0));
    const int rows = watershedLabels.rows, cols = watershedLabels.cols;
    const int32_t regions = int32_t(labelTable.size());
    for (int i = 0; i < rows; ++i) {
        const int32_t* row = watershedLabels.ptr<int32_t>(i);
        const int32_t* below = i + 1 < rows ? watershedLabels.ptr<int32_t>(i + 1) : nullptr;
        const int32_t* above = i > 0 ? watershedLabels.ptr<int32_t>(i - 1) : nullptr;
        cv::Vec4b* out = segments.ptr<cv::Vec4b>(i);
        for (int j = 0; j < cols; ++j) {
            int32_t n = row[j];
            if (n == -1) {
                if (below && below[j] != -1)
                    n = below[j];
                else if (above && above[j] != -1)
                    n = above[j];
                else if (j + 1 < cols && row[j + 1] != -1)
                    n = row[j + 1];
                else if (j > 0 && row[j - 1] != -1)
                    n = row[j - 1];
            }
            // Anything outside 1..k was not flooded from a region: undecided.
            if (n >= 1 && n <= regions)
                out[j] = cv::Vec4b(0, 0, 255, uint8_t(labelTable[size_t(n - 1)]));
        }
    }
}

WatershedSegmentation::WatershedSegmentation(const cv::Mat& depthSizedImage, cv::Size strokeSize,
                                             double contentWidth)
    : m_contentWidth(contentWidth)
{
    CV_Assert(contentWidth > 0 && strokeSize.width > 0 && strokeSize.height > 0);
    setWatershedPreprocess(0, depthSizedImage);
    m_lines = cv::Mat::zeros(strokeSize, CV_8UC4);
    m_marker = cv::Mat::zeros(strokeSize, CV_8UC1);
    m_segments = cv::Mat::zeros(depthSizedImage.size(), CV_8UC4);
}

void WatershedSegmentation::setWatershedPreprocess(int mode, const cv::Mat& depthSizedImage)
{
    CV_Assert(mode == 0);
    CV_Assert(depthSizedImage.cols != 0 && depthSizedImage.rows != 0 && depthSizedImage.type() == CV_8UC4);
    m_watershedPreprocess = mode;
    cv::cvtColor(depthSizedImage, m_img8u3c, cv::COLOR_BGRA2BGR);
}

void WatershedSegmentation::drawStrokeSegment(cv::Point2f a, cv::Point2f b, int color, int brushSize)
{
    CV_Assert(color >= -1 && color <= 255 && brushSize >= 1);
    const cv::Point p = canvasPointToPixel(a, m_lines.cols, m_contentWidth);
    const cv::Point q = canvasPointToPixel(b, m_lines.cols, m_contentWidth);
    const bool eraser = color < 0;
    cv::line(m_marker, p, q, cv::Scalar(eraser ? 0 : 255), brushSize, cv::LINE_8, 0);
    const cv::Scalar stroke = eraser ? cv::Scalar::all(0) : cv::Scalar(color, color, color, 255);
    cv::line(m_lines, p, q, stroke, brushSize, cv::LINE_8, 0);
}

void WatershedSegmentation::drawAllStrokes(const StrokeContainer& strokes)
{
    clearStrokes();
    for (const auto& stroke : strokes.m_strokes) {
        for (size_t i = 1; i < stroke->points.size(); ++i)
            drawStrokeSegment(stroke->points[i - 1], stroke->points[i], stroke->color, stroke->brushSize);
    }
}

void WatershedSegmentation::clearStrokes()
{
    m_lines.setTo(cv::Scalar::all(0));
    m_marker.setTo(cv::Scalar::all(0));
}

bool WatershedSegmentation::watershed()
{
    cv::Mat labels;
    std::vector<int32_t> labelTable;
    if (!labelStrokeRegions(m_marker, m_lines, labels, labelTable))
        return false;
    if (labelTable.empty())
        return true;
    cv::Mat markers;
    cv::resize(labels, markers, m_img8u3c.size(), 0, 0, cv::INTER_NEAREST);
    cv::watershed(m_img8u3c, markers);
    segmentsFromWatershed(markers, labelTable, m_segments);
    return true;
}

void WatershedSegmentation::clearSegments()
{
    m_segments.setTo(cv::Scalar::all(0));
}

void WatershedSegmentation::applyToDepthMap(cv::Mat& depthMap) const
{
    CV_Assert(depthMap.type() == CV_8UC1 && depthMap.size() == m_segments.size());
    cv::extractChannel(m_segments, depthMap, 3);
}
