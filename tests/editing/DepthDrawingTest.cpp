#include "editing/DepthDrawing.h"

#include "app/StrokeContainer.h"
#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <memory>
#include <vector>

namespace {

cv::Mat drawingOf(const cv::Mat& depth)
{
    cv::Mat drawing(depth.size(), CV_8UC4);
    copyDepthMapToDrawing(depth, drawing);
    return drawing;
}

cv::Mat depthOf(const cv::Mat& drawing)
{
    cv::Mat depth(drawing.size(), CV_8UC1);
    applyDrawingToDepthMap(drawing, depth);
    return depth;
}

std::unique_ptr<Stroke> makeStroke(std::vector<cv::Point2f> points, int color, int size)
{
    auto stroke = std::make_unique<Stroke>();
    stroke->points = std::move(points);
    stroke->color = color;
    stroke->brushSize = size;
    return stroke;
}

} // namespace

TEST(DepthDrawing, EncodesDepthInTheFourthByteAndRoundTrips)
{
    const cv::Mat depth = fixtures::randomDepth(37, 23, 7);
    // The drawing is a header over a foreign buffer, as the screen keeps it:
    // it must be written in place.
    std::vector<uint8_t> buffer(37 * 23 * 4 + 64, 0xAB);
    cv::Mat drawing(23, 37, CV_8UC4, buffer.data(), 37 * 4 + 0);
    copyDepthMapToDrawing(depth, drawing);
    EXPECT_EQ(drawing.data, buffer.data());
    for (int y = 0; y < depth.rows; ++y)
        for (int x = 0; x < depth.cols; ++x)
            ASSERT_EQ(drawing.at<cv::Vec4b>(y, x), cv::Vec4b(0, 0, 255, depth.at<uchar>(y, x))) << x << "," << y;
    EXPECT_EQ(fixtures::firstDifference(depthOf(drawing), depth), "");
    EXPECT_EQ(drawingPixel(85), cv::Vec4b(0, 0, 255, 85));
}

TEST(DepthDrawing, ClearedPixelsMeanBackground)
{
    cv::Mat drawing(4, 5, CV_8UC4, cv::Scalar::all(0));
    EXPECT_EQ(cv::countNonZero(depthOf(drawing)), 0);
}

TEST(DepthDrawing, CanvasPointsScaleByColumnsOverCanvasWidthAndTruncate)
{
    struct Case {
        cv::Point2f canvas;
        double canvasWidth;
        int columns;
        cv::Point expected;
    };
    const Case cases[] = {
        {{320.f, 240.f}, 320.0, 800, {800, 600}},  // right edge maps to the column count
        {{0.f, 0.f}, 320.0, 800, {0, 0}},
        {{10.3f, 10.9f}, 320.0, 800, {25, 27}},    // 25.75, 27.25 truncated
        {{100.f, 50.f}, 200.0, 100, {50, 25}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(canvasPointToPixel(c.canvas, c.canvasWidth, c.columns), c.expected)
            << c.canvas.x << "," << c.canvas.y;
}

TEST(DepthDrawing, AntiAliasedSegmentPaintsDepthWithSoftBorders)
{
    cv::Mat drawing = drawingOf(cv::Mat(100, 200, CV_8UC1, cv::Scalar(255)));
    drawDepthSegment(drawing, {50, 50}, {150, 50}, 0, 30);
    const cv::Mat depth = depthOf(drawing);

    EXPECT_EQ(depth.at<uchar>(50, 100), 0);       // on the line
    EXPECT_EQ(depth.at<uchar>(50 + 10, 100), 0);  // inside the 30-pixel width
    EXPECT_EQ(depth.at<uchar>(5, 100), 255);      // well away from it
    EXPECT_EQ(depth.at<uchar>(50, 190), 255);     // beyond the round end
    EXPECT_EQ(depth.at<uchar>(50, 50 - 10), 0);   // inside the round end

    // The border column holds intermediate values on both sides.
    int soft = 0;
    for (int y = 0; y < depth.rows; ++y) {
        const int v = depth.at<uchar>(y, 100);
        soft += v > 0 && v < 255;
    }
    EXPECT_GE(soft, 2);

    // Blending red into red keeps every pixel red: only the depth byte moves.
    for (int y = 0; y < drawing.rows; ++y)
        for (int x = 0; x < drawing.cols; ++x) {
            const cv::Vec4b p = drawing.at<cv::Vec4b>(y, x);
            ASSERT_TRUE(p[0] == 0 && p[1] == 0 && p[2] == 255) << x << "," << y;
        }
}

TEST(DepthDrawing, ZeroLengthSegmentPaintsARoundDot)
{
    cv::Mat drawing(60, 60, CV_8UC4, cv::Scalar::all(0));
    drawDepthSegment(drawing, {30, 30}, {30, 30}, 255, 20);
    const cv::Mat depth = depthOf(drawing);
    EXPECT_EQ(depth.at<uchar>(30, 30), 255);
    EXPECT_EQ(depth.at<uchar>(30, 38), 255);
    EXPECT_EQ(depth.at<uchar>(30, 45), 0);
    EXPECT_LT(depth.at<uchar>(38, 38), 255);  // the corner of the square is outside the disc
}

TEST(DepthDrawing, StrokeOfOnePointDrawsNothing)
{
    const cv::Mat before = drawingOf(fixtures::blockDepth(80, 60, 3));
    cv::Mat drawing = before.clone();
    drawStroke(drawing, *makeStroke({{10.f, 10.f}}, 0, 40), 40.0);
    EXPECT_EQ(fixtures::firstDifference(drawing, before), "");
}

TEST(DepthDrawing, ReplayEqualsIncrementalDrawingAndKeepsTheBuffer)
{
    const cv::Mat base = drawingOf(fixtures::blockDepth(160, 120, 11));
    StrokeContainer strokes;
    strokes.m_strokes.push_back(makeStroke({{5.f, 5.f}, {30.f, 20.f}, {60.f, 25.5f}}, 0, 12));
    strokes.m_strokes.push_back(makeStroke({{40.f, 40.f}}, 85, 30));
    strokes.m_strokes.push_back(makeStroke({{70.f, 10.f}, {10.f, 50.f}}, 85, 7));

    // Canvas 80 points wide over 160 columns: factor 2.
    cv::Mat incremental = base.clone();
    for (const auto& s : strokes.m_strokes)
        for (size_t i = 1; i < s->points.size(); ++i)
            drawDepthSegment(incremental, cv::Point(s->points[i - 1] * 2), cv::Point(s->points[i] * 2), s->color,
                             s->brushSize);

    cv::Mat drawing(base.size(), CV_8UC4, cv::Scalar::all(7));
    const uchar* buffer = drawing.data;
    replayStrokes(base, strokes, 80.0, drawing);
    EXPECT_EQ(drawing.data, buffer);
    EXPECT_EQ(fixtures::firstDifference(drawing, incremental), "");

    StrokeContainer none;
    replayStrokes(base, none, 80.0, drawing);
    EXPECT_EQ(fixtures::firstDifference(drawing, base), "");
}
