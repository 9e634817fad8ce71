#include "editing/DepthDrawing.h"

#include "app/StrokeContainer.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

cv::Vec4b drawingPixel(int depth)
{
    return cv::Vec4b(0, 0, 255, cv::saturate_cast<uchar>(depth));
}

void copyDepthMapToDrawing(const cv::Mat& depthMap, cv::Mat& drawing)
{
    CV_Assert(depthMap.type() == CV_8UC1 && drawing.type() == CV_8UC4 && depthMap.size() == drawing.size());
    for (int y = 0; y < depthMap.rows; ++y) {
        const uchar* src = depthMap.ptr<uchar>(y);
        cv::Vec4b* dst = drawing.ptr<cv::Vec4b>(y);
        for (int x = 0; x < depthMap.cols; ++x)
            dst[x] = cv::Vec4b(0, 0, 255, src[x]);
    }
}

void applyDrawingToDepthMap(const cv::Mat& drawing, cv::Mat& depthMap)
{
    CV_Assert(depthMap.type() == CV_8UC1 && drawing.type() == CV_8UC4 && depthMap.size() == drawing.size());
    for (int y = 0; y < drawing.rows; ++y) {
        const cv::Vec4b* src = drawing.ptr<cv::Vec4b>(y);
        uchar* dst = depthMap.ptr<uchar>(y);
        for (int x = 0; x < drawing.cols; ++x)
            dst[x] = src[x][3];
    }
}

cv::Point canvasPointToPixel(const cv::Point2f& canvasPoint, double canvasWidth, int columns)
{
    CV_Assert(canvasWidth > 0);
    const double factor = columns / canvasWidth;
    return cv::Point(static_cast<int>(canvasPoint.x * factor), static_cast<int>(canvasPoint.y * factor));
}

void drawDepthSegment(cv::Mat& drawing, const cv::Point& from, const cv::Point& to, int depth, int thickness)
{
    CV_Assert(drawing.type() == CV_8UC4);
    const cv::Vec4b c = drawingPixel(depth);
    cv::line(drawing, from, to, cv::Scalar(c[0], c[1], c[2], c[3]), std::max(1, thickness), cv::LINE_AA, 0);
}

void drawStroke(cv::Mat& drawing, const Stroke& stroke, double canvasWidth)
{
    for (size_t i = 1; i < stroke.points.size(); ++i)
        drawDepthSegment(drawing, canvasPointToPixel(stroke.points[i - 1], canvasWidth, drawing.cols),
                         canvasPointToPixel(stroke.points[i], canvasWidth, drawing.cols), stroke.color,
                         stroke.brushSize);
}

void replayStrokes(const cv::Mat& base, const StrokeContainer& strokes, double canvasWidth, cv::Mat& drawing)
{
    CV_Assert(base.type() == CV_8UC4 && drawing.type() == CV_8UC4 && base.size() == drawing.size());
    // copyTo keeps the drawing's own buffer: it is the same size and type.
    base.copyTo(drawing);
    for (const auto& stroke : strokes.m_strokes)
        drawStroke(drawing, *stroke, canvasWidth);
}
