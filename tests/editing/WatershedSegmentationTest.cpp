#include "editing/WatershedSegmentation.h"

#include "app/StrokeContainer.h"
#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <memory>

namespace {

// A picture shown 40 x 30 points on the canvas: strokes at 60 x 45, the
// depth map at 80 x 60 (1 canvas point = 1.5 stroke pixels = 2 depth pixels).
constexpr double kContentWidth = 40;
const cv::Size kStrokeSize = watershedStrokeSize(40, 30);
const cv::Size kDepthSize(80, 60);

// Dark left half, bright right half: the one edge runs down x = 40.
cv::Mat twoToneImage()
{
    cv::Mat image = fixtures::flatImage(kDepthSize.width, kDepthSize.height, cv::Scalar(20, 20, 20, 255));
    image(cv::Rect(40, 0, 40, kDepthSize.height)).setTo(cv::Scalar(230, 230, 230, 255));
    return image;
}

void addStroke(StrokeContainer& strokes, int color, int brushSize, std::vector<cv::Point2f> points)
{
    auto stroke = std::make_unique<Stroke>();
    stroke->points = std::move(points);
    stroke->color = color;
    stroke->brushSize = brushSize;
    strokes.m_strokes.push_back(std::move(stroke));
}

cv::Mat depthOf(const WatershedSegmentation& ws)
{
    cv::Mat depth(ws.m_segments.size(), CV_8UC1, cv::Scalar(7));
    ws.applyToDepthMap(depth);
    return depth;
}

} // namespace

TEST(WatershedSegmentationTest, SizesAndPointConversionFollowTheCanvas)
{
    EXPECT_EQ(watershedStrokeSize(320, 240), cv::Size(480, 360));
    EXPECT_EQ(watershedStrokeSize(297, 396), cv::Size(445, 594));

    struct Case {
        cv::Point2f point;
        int columns;
        double contentWidth;
        cv::Point pixel;
    } cases[] = {
        {{0, 0}, 480, 320, {0, 0}},
        {{320, 240}, 480, 320, {480, 360}},   // the content's right edge maps to the column count
        {{10.9f, 4.0f}, 60, 40, {16, 6}},     // truncated, one factor for both axes
        {{-0.5f, 3.0f}, 60, 40, {0, 4}},      // toward zero
        {{100, 50}, 800, 320, {250, 125}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(canvasPointToPixel(c.point, c.columns, c.contentWidth), c.pixel)
            << c.point << " to " << c.columns << " columns";
}

TEST(WatershedSegmentationTest, StartsClearedWithTheInputInBlueGreenRed)
{
    const cv::Mat photo = fixtures::randomImage(kDepthSize.width, kDepthSize.height, 3);
    WatershedSegmentation ws(photo, kStrokeSize, kContentWidth);
    ASSERT_EQ(ws.m_img8u3c.type(), CV_8UC3);
    cv::Mat expected;
    cv::cvtColor(photo, expected, cv::COLOR_BGRA2BGR);
    EXPECT_EQ(fixtures::firstDifference(ws.m_img8u3c, expected), "");
    EXPECT_EQ(ws.m_lines.size(), kStrokeSize);
    EXPECT_EQ(ws.m_lines.type(), CV_8UC4);
    EXPECT_EQ(ws.m_marker.type(), CV_8UC1);
    EXPECT_EQ(cv::countNonZero(ws.m_marker), 0);
    EXPECT_EQ(cv::countNonZero(ws.m_lines.reshape(1)), 0);
    EXPECT_EQ(ws.m_segments.size(), kDepthSize);
    EXPECT_EQ(cv::countNonZero(ws.m_segments.reshape(1)), 0);
    EXPECT_EQ(cv::countNonZero(depthOf(ws)), 0);
}

TEST(WatershedSegmentationTest, StrokeSegmentDrawsTheSameFootprintInBothImages)
{
    struct Case {
        int color;
        int brushSize;
        cv::Point2f a, b;  // canvas points
        cv::Point p, q;    // the same as stroke pixels
    } cases[] = {
        {255, 1, {4, 6}, {30.9f, 20.5f}, {6, 9}, {46, 30}},
        {85, 8, {4, 6}, {30.9f, 20.5f}, {6, 9}, {46, 30}},
        {0, 3, {4, 6}, {30.9f, 20.5f}, {6, 9}, {46, 30}},
        {255, 8, {-10, 20}, {70, 12}, {-15, 30}, {105, 18}},  // beyond the picture: clipped
    };
    for (const Case& c : cases) {
        WatershedSegmentation ws(twoToneImage(), kStrokeSize, kContentWidth);
        ws.drawStrokeSegment(c.a, c.b, c.color, c.brushSize);

        // The points converted at 1.5 and truncated, an 8-connected line.
        cv::Mat expected = cv::Mat::zeros(kStrokeSize, CV_8UC1);
        cv::line(expected, c.p, c.q, cv::Scalar(255), c.brushSize, cv::LINE_8, 0);
        EXPECT_EQ(fixtures::firstDifference(ws.m_marker, expected), "") << "size " << c.brushSize;

        for (int y = 0; y < kStrokeSize.height; ++y) {
            for (int x = 0; x < kStrokeSize.width; ++x) {
                const cv::Vec4b want = expected.at<uint8_t>(y, x)
                                           ? cv::Vec4b(uint8_t(c.color), uint8_t(c.color), uint8_t(c.color), 255)
                                           : cv::Vec4b(0, 0, 0, 0);
                ASSERT_EQ(ws.m_lines.at<cv::Vec4b>(y, x), want) << "(" << x << ", " << y << ")";
            }
        }
    }
}

TEST(WatershedSegmentationTest, EraserClearsBothImagesAndSplitsAStrokeIntoTwoRegionsOfItsLevel)
{
    WatershedSegmentation ws(twoToneImage(), kStrokeSize, kContentWidth);
    StrokeContainer strokes;
    addStroke(strokes, 255, 4, {{5, 15}, {35, 15}});
    addStroke(strokes, -1, 6, {{20, 5}, {20, 25}});
    ws.drawAllStrokes(strokes);

    // The cut is transparent in the stroke image and unpainted in the mask.
    EXPECT_EQ(ws.m_marker.at<uint8_t>(22, 30), 0);
    EXPECT_EQ(ws.m_lines.at<cv::Vec4b>(22, 30), cv::Vec4b(0, 0, 0, 0));
    EXPECT_EQ(ws.m_lines.at<cv::Vec4b>(22, 12), cv::Vec4b(255, 255, 255, 255));

    cv::Mat labels;
    std::vector<int32_t> table;
    ASSERT_TRUE(labelStrokeRegions(ws.m_marker, ws.m_lines, labels, table));
    EXPECT_EQ(table, (std::vector<int32_t>{255, 255}));
    EXPECT_NE(labels.at<int32_t>(22, 12), labels.at<int32_t>(22, 48));
    EXPECT_GT(labels.at<int32_t>(22, 12), 0);
    EXPECT_GT(labels.at<int32_t>(22, 48), 0);
    EXPECT_EQ(labels.at<int32_t>(22, 30), 0);

    ASSERT_TRUE(ws.watershed());
    const cv::Mat depth = depthOf(ws);
    EXPECT_EQ(depth.at<uint8_t>(30, 40), 255);
    EXPECT_EQ(depth.at<uint8_t>(5, 5), 255);
}

TEST(WatershedSegmentationTest, OneForegroundStrokeFloodsEverythingButTheCorners)
{
    WatershedSegmentation ws(fixtures::randomImage(kDepthSize.width, kDepthSize.height, 11), kStrokeSize,
                             kContentWidth);
    StrokeContainer strokes;
    addStroke(strokes, 255, 8, {{10, 10}, {14, 12}, {20, 18}});
    ws.drawAllStrokes(strokes);
    ASSERT_TRUE(ws.watershed());

    const cv::Mat depth = depthOf(ws);
    cv::Mat expected(kDepthSize, CV_8UC1, cv::Scalar(255));
    const int r = kDepthSize.height - 1, c = kDepthSize.width - 1;
    // The border is watershed boundary; each pixel there takes its inner
    // neighbour, except the corners, whose neighbours are all boundary.
    expected.at<uint8_t>(0, 0) = expected.at<uint8_t>(0, c) = 0;
    expected.at<uint8_t>(r, 0) = expected.at<uint8_t>(r, c) = 0;
    EXPECT_EQ(fixtures::firstDifference(depth, expected), "");
    EXPECT_EQ(ws.m_segments.at<cv::Vec4b>(r / 2, 0), cv::Vec4b(0, 0, 255, 255));
    EXPECT_EQ(ws.m_segments.at<cv::Vec4b>(0, 0), cv::Vec4b(0, 0, 0, 0));
}

TEST(WatershedSegmentationTest, ForegroundAndBackgroundSplitAlongThePhotosEdge)
{
    WatershedSegmentation ws(twoToneImage(), kStrokeSize, kContentWidth);
    StrokeContainer strokes;
    addStroke(strokes, 255, 3, {{5, 5}, {8, 25}});    // on the dark half (x < 20 points)
    addStroke(strokes, 0, 3, {{34, 25}, {36, 4}});    // on the bright half
    ws.drawAllStrokes(strokes);
    ASSERT_TRUE(ws.watershed());

    const cv::Mat depth = depthOf(ws);
    for (int y = 1; y < kDepthSize.height - 1; ++y) {
        for (int x = 0; x < kDepthSize.width; ++x) {
            const int want = x < 39 ? 255 : x > 40 ? 0 : -1;  // -1: the watershed line may fall either side
            if (want >= 0) {
                ASSERT_EQ(depth.at<uint8_t>(y, x), want) << "(" << x << ", " << y << ")";
            }
            // Every pixel was decided: the boundary took a neighbour's region.
            ASSERT_EQ(ws.m_segments.at<cv::Vec4b>(y, x)[2], 255) << "(" << x << ", " << y << ")";
        }
    }
}

TEST(WatershedSegmentationTest, LevelsThatTouchAnswerNoAndKeepTheSegments)
{
    struct Case {
        const char* name;
        std::vector<cv::Point2f> loop;  // a first foreground stroke, size 4 (empty: a plain line)
        int color;
        int brushSize;
        std::vector<cv::Point2f> points;
    } cases[] = {
        {"crossing", {}, 0, 4, {{20, 2}, {20, 28}}},
        {"end to end", {}, 85, 4, {{35, 15}, {38, 25}}},
        // Wholly inside the first stroke: no boundary point shows it.
        {"inside a wider stroke", {}, 0, 1, {{10, 15}, {12, 15}}},
        // Touches the loop only from inside its hole.
        {"inside a loop", {{10, 5}, {30, 5}, {30, 25}, {10, 25}, {10, 5}}, 0, 2, {{20, 15}, {20, 24}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WatershedSegmentation ws(twoToneImage(), kStrokeSize, kContentWidth);
        StrokeContainer strokes;
        if (c.loop.empty())
            addStroke(strokes, 255, 8, {{5, 15}, {35, 15}});
        else
            addStroke(strokes, 255, 4, c.loop);
        addStroke(strokes, 0, 3, {{2, 2}, {4, 2}});  // a separate background stroke
        ws.drawAllStrokes(strokes);
        ASSERT_TRUE(ws.watershed());
        const cv::Mat before = ws.m_segments.clone();
        ASSERT_GT(cv::countNonZero(before.reshape(1)), 0);

        addStroke(strokes, c.color, c.brushSize, c.points);
        ws.drawAllStrokes(strokes);
        EXPECT_FALSE(ws.watershed());
        EXPECT_EQ(fixtures::firstDifference(ws.m_segments, before), "");
    }
}

TEST(WatershedSegmentationTest, ClosedLoopIsOneRegionWithAHoleFloodedByItsRing)
{
    WatershedSegmentation ws(fixtures::flatImage(kDepthSize.width, kDepthSize.height, cv::Scalar(90, 90, 90, 255)),
                             kStrokeSize, kContentWidth);
    StrokeContainer strokes;
    addStroke(strokes, 255, 3, {{10, 5}, {30, 5}, {30, 25}, {10, 25}, {10, 5}});
    ws.drawAllStrokes(strokes);

    cv::Mat labels;
    std::vector<int32_t> table;
    ASSERT_TRUE(labelStrokeRegions(ws.m_marker, ws.m_lines, labels, table));
    EXPECT_EQ(table, (std::vector<int32_t>{255}));
    EXPECT_EQ(labels.at<int32_t>(7, 15), 1);          // on the ring
    EXPECT_EQ(labels.at<int32_t>(22, 30), 0);         // the hole is no marker
    EXPECT_EQ(labels.at<int32_t>(2, 2), 0);

    // A background stroke outside: the ring closes the hole off, so only the
    // loop's own region can reach it.
    addStroke(strokes, 0, 3, {{2, 29}, {38, 29}});
    ws.drawAllStrokes(strokes);
    ASSERT_TRUE(ws.watershed());
    const cv::Mat depth = depthOf(ws);
    EXPECT_EQ(depth.at<uint8_t>(30, 40), 255);
    EXPECT_EQ(depth.at<uint8_t>(57, 40), 0);
}

TEST(WatershedSegmentationTest, NoPaintedPixelKeepsThePreviousSegments)
{
    WatershedSegmentation ws(twoToneImage(), kStrokeSize, kContentWidth);
    StrokeContainer strokes;
    addStroke(strokes, 85, 4, {{10, 10}, {20, 12}});
    ws.drawAllStrokes(strokes);
    ASSERT_TRUE(ws.watershed());
    const cv::Mat before = ws.m_segments.clone();
    EXPECT_EQ(before.at<cv::Vec4b>(30, 40), cv::Vec4b(0, 0, 255, 85));

    // A stroke of one point draws nothing.
    addStroke(strokes, 255, 8, {{30, 20}});
    ws.drawAllStrokes(strokes);
    ASSERT_TRUE(ws.watershed());
    EXPECT_EQ(fixtures::firstDifference(ws.m_segments, before), "");
    EXPECT_EQ(ws.m_marker.at<uint8_t>(30, 45), 0);

    // Everything erased: no region, the previous tint stays.
    addStroke(strokes, -1, 30, {{5, 10}, {25, 12}});
    ws.drawAllStrokes(strokes);
    EXPECT_EQ(cv::countNonZero(ws.m_marker), 0);
    EXPECT_TRUE(ws.watershed());
    EXPECT_EQ(fixtures::firstDifference(ws.m_segments, before), "");

    ws.clearSegments();
    EXPECT_EQ(cv::countNonZero(ws.m_segments.reshape(1)), 0);
    EXPECT_EQ(cv::countNonZero(depthOf(ws)), 0);
}

TEST(WatershedSegmentationTest, BoundaryPixelsTakeTheFirstRegionBelowAboveRightLeft)
{
    // Region 1 is level 0, 2 is 85, 3 is 255: the chosen neighbour shows.
    const std::vector<int32_t> table{0, 85, 255};
    struct Case {
        const char* name;
        int32_t below, above, right, left;
        int expected;  // alpha of the centre; -1: undecided (0, 0, 0, 0)
    } cases[] = {
        {"below first", 2, 3, 1, 1, 85},
        {"then above", -1, 3, 2, 2, 255},
        {"then right", -1, -1, 2, 3, 85},
        {"then left", -1, -1, -1, 3, 255},
        {"all boundary", -1, -1, -1, -1, -1},
        {"background is decided", 1, -1, -1, -1, 0},
    };
    for (const Case& c : cases) {
        cv::Mat labels(3, 3, CV_32SC1, cv::Scalar(-1));
        labels.at<int32_t>(2, 1) = c.below;
        labels.at<int32_t>(0, 1) = c.above;
        labels.at<int32_t>(1, 2) = c.right;
        labels.at<int32_t>(1, 0) = c.left;
        cv::Mat segments;
        segmentsFromWatershed(labels, table, segments);
        const cv::Vec4b want = c.expected < 0 ? cv::Vec4b(0, 0, 0, 0) : cv::Vec4b(0, 0, 255, uint8_t(c.expected));
        EXPECT_EQ(segments.at<cv::Vec4b>(1, 1), want) << c.name;
        // Neighbours outside the image are skipped: the top-left corner has
        // only (1, 0) below and (0, 1) to the right.
        EXPECT_EQ(segments.at<cv::Vec4b>(0, 0), c.left == -1 && c.above == -1 ? cv::Vec4b(0, 0, 0, 0)
                                                  : c.left != -1 ? cv::Vec4b(0, 0, 255, uint8_t(table[c.left - 1]))
                                                                 : cv::Vec4b(0, 0, 255, uint8_t(table[c.above - 1])))
            << c.name;
    }
}
