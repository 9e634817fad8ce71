// The stereo depth detector: the nearness mapping, the contrast stretch, the
// closing and the detection and release steps on the document.
#include "stereo/Detector.h"

#include "app/AppData.h"
#include "platform/Image.h"
#include "stereo/StereoMatcherGC.h"
#include "tests/stereo/StereoScenes.h"
#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <set>

using stereoscenes::Box;

namespace {

constexpr int kThumbWidth = 250, kThumbHeight = 188;

platform::Image imageOf(const cv::Mat& gray)
{
    QImage image(gray.cols, gray.rows, QImage::Format_ARGB32);
    for (int y = 0; y < gray.rows; ++y)
        for (int x = 0; x < gray.cols; ++x) {
            const int v = gray.at<uchar>(y, x);
            image.setPixel(x, y, qRgb(v, v, v));
        }
    return platform::Image(image);
}

// A document as photo intake leaves a stereo pair: 250 x 188 thumbnails and
// an 800 x 600 depth map holding an earlier value.
void loadPair(AppData& doc, const cv::Mat& left, const cv::Mat& right)
{
    doc.m_leftThumb = imageOf(left);
    doc.m_rightThumb = imageOf(right);
    doc.m_thumbWidth = left.cols;
    doc.m_thumbHeight = left.rows;
    doc.m_pDepthMap = std::make_unique<cv::Mat>(600, 800, CV_8UC1, cv::Scalar(77));
}

double shareOf(const cv::Mat& map, int value)
{
    return double(cv::countNonZero(map == value)) / double(map.total());
}

// The right shot of a pair whose scene moved by (dx, dy) pixels between
// the shots; what comes into view is fresh texture.
cv::Mat moved(const cv::Mat& left, int dx, int dy)
{
    cv::Mat right = stereoscenes::layeredScene(left.cols, left.rows, 0, {}, 99).left;
    const cv::Rect into(std::max(0, dx), std::max(0, dy), left.cols - std::abs(dx), left.rows - std::abs(dy));
    left(cv::Rect(std::max(0, -dx), std::max(0, -dy), into.width, into.height)).copyTo(right(into));
    return right;
}

cv::Mat textured()
{
    return stereoscenes::layeredScene(kThumbWidth, kThumbHeight, 0, {}, 17, 1.0).left;
}

} // namespace

TEST(DetectorTest, NearnessGrowsByTenPointTwoFourPerPixelOfDisparity)
{
    const struct {
        int16_t disparity;
        int nearness;
    } cases[] = {{0, 0}, {-1, 10}, {-2, 20}, {-3, 31}, {-10, 102}, {-24, 246}, {kStereoOccluded, 0}};
    cv::Mat disparity(1, int(std::size(cases)), CV_16SC1);
    for (size_t i = 0; i < std::size(cases); ++i)
        disparity.at<int16_t>(0, int(i)) = cases[i].disparity;
    cv::Mat nearness;
    nearnessFromDisparity(disparity, nearness, 25);
    ASSERT_EQ(nearness.type(), CV_8UC1);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(int(nearness.at<uchar>(0, int(i))), cases[i].nearness) << "disparity " << cases[i].disparity;
}

TEST(DetectorTest, ContrastStretchTables)
{
    // 1000 pixels: counts per value, the rest at 128.
    auto mapOf = [](std::initializer_list<std::pair<int, int>> counts) {
        cv::Mat m(1, 1000, CV_8UC1, cv::Scalar(128));
        int x = 0;
        for (const auto& [value, count] : counts)
            for (int i = 0; i < count; ++i)
                m.at<uchar>(0, x++) = uchar(value);
        return m;
    };
    struct Case {
        const char* name;
        cv::Mat map;
        int lo, hi, cut;
        bool applies;
        std::set<int> skipped;
    } cases[] = {
        {"cut 3 skips 64, 128 and 192", mapOf({{0, 99}, {2, 2}, {254, 2}, {255, 99}}), 2, 254, 3, true, {64, 128, 192}},
        {"cut 2 skips 85 and 170", mapOf({{0, 99}, {1, 2}, {254, 2}, {255, 99}}), 1, 254, 2, true, {85, 170}},
        {"already spread: identity", mapOf({{0, 101}, {255, 101}}), 0, 255, 0, true, {}},
        // 100 of 1000 is 0.1f, a hair above a tenth.
        {"exactly ten percent counts as more", mapOf({{0, 100}, {255, 100}}), 0, 255, 0, true, {}},
        {"a wide strip at 0: 102 becomes 255", mapOf({{0, 150}, {102, 850}}), 0, 102, 153, true, {}},
        {"26 levels apart: stretched", mapOf({{100, 500}, {125, 500}}), 100, 125, 230, true, {}},
        {"25 levels apart: left alone", mapOf({{100, 500}, {124, 500}}), 100, 124, 231, false, {}},
        {"all 0: left alone", cv::Mat(4, 5, CV_8UC1, cv::Scalar(0)), 0, 0, 255, false, {}},
    };
    for (const Case& c : cases) {
        const ContrastStretch s = contrastStretchFor(c.map);
        EXPECT_EQ(s.lo, c.lo) << c.name;
        EXPECT_EQ(s.hi, c.hi) << c.name;
        EXPECT_EQ(s.cut, c.cut) << c.name;
        EXPECT_EQ(s.applies, c.applies) << c.name;
        cv::Mat stretched = c.map.clone();
        stretchContrast(stretched);
        if (!c.applies || c.cut == 0) {
            EXPECT_EQ(fixtures::firstDifference(stretched, c.map), "") << c.name;
            continue;
        }
        // Below lo to 0, above hi to 255, lo..hi onto every level but the
        // skipped ones, in order (checked where the case lists them).
        std::vector<int> free;
        for (int level = 0; level < 256; ++level)
            if (!c.skipped.count(level))
                free.push_back(level);
        for (int v = 0; v < 256; ++v) {
            int expected = v < c.lo ? 0 : v > c.hi ? 255 : -1;
            if (expected < 0 && !c.skipped.empty())
                expected = free[size_t(v - c.lo)];
            if (expected >= 0) {
                EXPECT_EQ(int(s.table[size_t(v)]), expected) << c.name << ", value " << v;
            }
        }
        for (int x = 0; x < c.map.cols; ++x)
            ASSERT_EQ(stretched.at<uchar>(0, x), s.table[c.map.at<uchar>(0, x)]) << c.name;
        EXPECT_EQ(int(s.table[size_t(c.lo)]), 0) << c.name;
        EXPECT_EQ(int(s.table[size_t(c.hi)]), 255) << c.name;
    }

    // The cut-3 table at its seams.
    const ContrastStretch s = contrastStretchFor(cases[0].map);
    const std::pair<int, int> seams[] = {{1, 0},     {2, 0},     {65, 63},   {66, 65},   {128, 127},
                                         {129, 129}, {191, 191}, {192, 193}, {254, 255}, {255, 255}};
    for (const auto& [value, level] : seams)
        EXPECT_EQ(int(s.table[size_t(value)]), level) << "value " << value;
}

TEST(DetectorTest, ClosingAndSmoothingFollowTheWidth)
{
    const struct {
        int columns, steps, kernel;
    } cases[] = {{250, 5, 5}, {249, 4, 5}, {300, 6, 7}, {100, 2, 3}, {50, 1, 1}, {49, 0, 1}, {1, 0, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(closingSteps(c.columns), c.steps) << c.columns << " columns";
        EXPECT_EQ(smoothingKernelSize(closingSteps(c.columns)), c.kernel) << c.columns << " columns";
    }
}

TEST(DetectorTest, TheStepStretchesClosesSmoothsAndScalesTheMatch)
{
    // Both widths: 5 closing steps and a 5 x 5 Gaussian, then 4 and 5 x 5.
    for (int width : {250, 249}) {
        const stereoscenes::Scene s =
            stereoscenes::layeredScene(width, kThumbHeight, 3, {{cv::Rect(50, 30, 120, 100), 14}}, 41, 1.5);
        AppData doc;
        loadPair(doc, s.left, s.right);
        cv::Mat raw;
        StereoDetectionOptions options;
        options.leftDisparity = &raw;
        runStereoDetection(doc, options);

        // The same chain, written out with the library's own closing.
        cv::Mat expected;
        nearnessFromDisparity(raw, expected, 25);
        ASSERT_TRUE(contrastStretchFor(expected).applies) << width;
        stretchContrast(expected);
        const int steps = width == 250 ? 5 : 4;
        cv::morphologyEx(expected, expected, cv::MORPH_CLOSE, cv::Mat(), cv::Point(-1, -1), steps);
        cv::GaussianBlur(expected, expected, cv::Size(5, 5), 0, 0);
        EXPECT_EQ(fixtures::firstDifference(*doc.m_pDisparity, expected), "") << width;
        cv::Mat scaled;
        cv::resize(expected, scaled, cv::Size(800, 600), 0, 0, cv::INTER_NEAREST);
        EXPECT_EQ(fixtures::firstDifference(*doc.m_pDepthMap, scaled), "") << width;
    }
}

TEST(DetectorTest, IdenticalThumbnailsGiveAnAllZeroDepthMap)
{
    AppData doc;
    const cv::Mat left = textured();
    loadPair(doc, left, left);
    runStereoDetection(doc);

    ASSERT_TRUE(doc.m_pDetector);
    EXPECT_EQ(doc.m_pDetector.get_deleter(), &deleteDetector);
    EXPECT_EQ(doc.m_pDetector->width(), kThumbWidth);
    EXPECT_EQ(doc.m_pDetector->height(), kThumbHeight);
    ASSERT_TRUE(doc.m_pDisparity);
    EXPECT_EQ(doc.m_pDisparity->size(), cv::Size(kThumbWidth, kThumbHeight));
    ASSERT_EQ(doc.m_pDepthMap->size(), cv::Size(800, 600));
    ASSERT_EQ(doc.m_pDepthMap->type(), CV_8UC1);
    EXPECT_EQ(cv::countNonZero(*doc.m_pDepthMap), 0);

    releaseStereoDetection(doc);
    EXPECT_FALSE(doc.m_pDetector);
    EXPECT_FALSE(doc.m_pDisparity);
    EXPECT_EQ(doc.m_pDepthMap->size(), cv::Size(800, 600));
}

TEST(DetectorTest, ShiftedThumbnailsGive102WhereMatched)
{
    const cv::Mat left = textured();
    const cv::Mat right = moved(left, -10, 0);  // the scene moves left in the right shot
    Detector detector(imageOf(left), imageOf(right));
    cv::Mat nearness(kThumbHeight, kThumbWidth, CV_8UC1);
    detector.detect(25, 1, nearness);
    const cv::Rect strip(0, 0, 10, kThumbHeight), rest(10, 0, kThumbWidth - 10, kThumbHeight);
    EXPECT_GT(shareOf(nearness(rest), 102), 0.99);
    EXPECT_GT(shareOf(nearness(strip), 0), 0.95);  // no match in the right shot

    // The strip holds 4 percent of the pixels, so the stretch leaves the
    // map alone; the closing keeps a strip at the edge.
    AppData doc;
    loadPair(doc, left, right);
    runStereoDetection(doc);
    const cv::Mat& depth = *doc.m_pDepthMap;
    EXPECT_GT(shareOf(depth(cv::Rect(52, 0, 800 - 52, 600)), 102), 0.98);
    EXPECT_GT(shareOf(depth(cv::Rect(0, 0, 19, 600)), 0), 0.95);
}

TEST(DetectorTest, NearerLayersBecomeBrighterAfterTheStretch)
{
    const stereoscenes::Scene s =
        stereoscenes::layeredScene(kThumbWidth, kThumbHeight, 2, {{cv::Rect(60, 40, 130, 110), 12}}, 23, 1.0);
    AppData doc;
    loadPair(doc, s.left, s.right);
    runStereoDetection(doc);
    // Nearness 20 and 123 stretch to 0 and 255; 800 / 250 = 3.2 depth-map
    // pixels per thumbnail pixel.
    const cv::Mat& depth = *doc.m_pDepthMap;
    EXPECT_GT(shareOf(depth(cv::Rect(70 * 16 / 5, 50 * 16 / 5, 110 * 16 / 5, 90 * 16 / 5)), 255), 0.98);
    EXPECT_GT(shareOf(depth(cv::Rect(200 * 16 / 5, 0, 50 * 16 / 5 - 1, 600)), 0), 0.98);
}

TEST(DetectorTest, TheAlignmentTransformIsApplied)
{
    const cv::Mat left = textured();
    struct Case {
        const char* name;
        cv::Mat right;
        AffineTransform transform;
        int16_t disparity;  // what most of the left map holds
    } cases[] = {
        {"shifted back in full", moved(left, -10, 0), {1, 0, 0, 1, 10, 0}, 0},
        {"shifted back in part", moved(left, -10, 0), {1, 0, 0, 1, 4, 0}, -6},
        {"shifted further", moved(left, -4, 0), {1, 0, 0, 1, -3, 0}, -7},
        {"moved down, drawn up", moved(left, 0, 3), {1, 0, 0, 1, 0, -3}, 0},
    };
    for (const Case& c : cases) {
        AppData doc;
        loadPair(doc, left, c.right);
        doc.m_rightTransform = c.transform;
        cv::Mat raw;
        StereoDetectionOptions options;
        options.leftDisparity = &raw;
        runStereoDetection(doc, options);
        ASSERT_EQ(raw.type(), CV_16SC1) << c.name;
        EXPECT_GT(shareOf(raw, c.disparity), 0.9) << c.name;
        if (c.disparity == 0) {
            EXPECT_GT(shareOf(*doc.m_pDepthMap, 0), 0.99) << c.name;
        }
    }
}

TEST(DetectorTest, WithoutARightThumbnailNothingIsDetected)
{
    AppData doc;
    doc.m_leftThumb = imageOf(textured());
    doc.m_thumbWidth = kThumbWidth;
    doc.m_thumbHeight = kThumbHeight;
    const cv::Mat painted = fixtures::blockDepth(800, 600, 3);
    doc.m_pDepthMap = std::make_unique<cv::Mat>(painted.clone());
    runStereoDetection(doc);
    EXPECT_FALSE(doc.m_pDetector);
    EXPECT_FALSE(doc.m_pDisparity);
    EXPECT_EQ(fixtures::firstDifference(*doc.m_pDepthMap, painted), "");
    releaseStereoDetection(doc);
    EXPECT_FALSE(doc.m_pDetector);
}

TEST(DetectorTest, ARepeatedDetectionReplacesTheEarlierOne)
{
    AppData doc;
    const cv::Mat left = textured();
    loadPair(doc, left, moved(left, -10, 0));
    runStereoDetection(doc);
    const cv::Mat first = doc.m_pDepthMap->clone();
    doc.m_rightTransform.tx = 10;
    runStereoDetection(doc);  // the first detector is destroyed, not leaked
    ASSERT_TRUE(doc.m_pDetector);
    EXPECT_GT(cv::countNonZero(first), 0);
    EXPECT_GT(shareOf(*doc.m_pDepthMap, 0), 0.99);
    releaseStereoDetection(doc);
}

TEST(DetectorTest, TheDetectorMatchesTheGrayOfBothImages)
{
    const cv::Mat colour = fixtures::randomImage(40, 30, 8);
    const QImage pixels(colour.data, colour.cols, colour.rows, int(colour.step[0]), QImage::Format_ARGB32);
    const platform::Image image(pixels.copy());
    Detector detector(image, image);
    cv::Mat gray;
    cv::cvtColor(colour, gray, cv::COLOR_BGRA2GRAY);
    EXPECT_EQ(fixtures::firstDifference(detector.leftGray(), gray), "");
    EXPECT_EQ(fixtures::firstDifference(detector.rightGray(), gray), "");

    cv::Mat wrongSize(30, 41, CV_8UC1);
    EXPECT_THROW(detector.detect(25, 1, wrongSize), cv::Exception);
    const platform::Image square = imageOf(cv::Mat(30, 30, CV_8UC1, cv::Scalar(0)));
    EXPECT_THROW(std::make_unique<Detector>(image, square), cv::Exception);
}
