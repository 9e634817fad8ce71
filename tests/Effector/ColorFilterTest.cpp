#include "Effector/ColorFilter.h"

#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const int kAllFilters[] = {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

// One pixel through a filter, as (red, green, blue).
cv::Vec3i filtered(int filterId, int r, int g, int b)
{
    cv::Mat pixel = fixtures::flatImage(1, 1, cv::Scalar(b, g, r, 255));
    applyColorFilter(pixel, filterId);
    const cv::Vec4b out = pixel.at<cv::Vec4b>(0, 0);
    return {out[2], out[1], out[0]};
}

cv::Mat withRandomAlpha(cv::Mat image, uint64_t seed)
{
    cv::RNG rng(seed);
    for (int y = 0; y < image.rows; ++y)
        for (int x = 0; x < image.cols; ++x)
            image.at<cv::Vec4b>(y, x)[3] = uint8_t(rng.uniform(0, 255));
    return image;
}

TEST(ColorFilterTest, RawImageViewsTheMatrixWithoutCopying)
{
    cv::Mat parent = fixtures::randomImage(9, 7, 1);
    cv::Mat roi = parent(cv::Rect(2, 1, 5, 4));
    const RawImage raw = RawImage::fromMat(roi);
    EXPECT_EQ(raw.width, 5);
    EXPECT_EQ(raw.height, 4);
    EXPECT_EQ(raw.bytesPerRow, 9 * 4);
    EXPECT_EQ(raw.pixels, roi.data);
}

TEST(ColorFilterTest, FilterOnARegionChangesOnlyThatRegion)
{
    cv::Mat image = fixtures::randomImage(9, 7, 2);
    const cv::Mat before = image.clone();
    cv::Mat roi = image(cv::Rect(2, 1, 5, 4));
    applyColorFilter(roi, kGrayscale1);
    for (int y = 0; y < image.rows; ++y) {
        for (int x = 0; x < image.cols; ++x) {
            const cv::Vec4b p = image.at<cv::Vec4b>(y, x);
            if (cv::Rect(2, 1, 5, 4).contains({x, y}))
                EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;
            else
                EXPECT_EQ(p, before.at<cv::Vec4b>(y, x)) << x << "," << y;
        }
    }
}

TEST(ColorFilterTest, EveryFilterMakesEveryPixelOpaqueAtAnyShape)
{
    const cv::Size shapes[] = {{1, 1}, {1, 9}, {9, 1}, {13, 5}};
    for (int id : kAllFilters) {
        for (const cv::Size& shape : shapes) {
            cv::Mat image = withRandomAlpha(fixtures::randomImage(shape.width, shape.height, uint64_t(id)), 3);
            applyColorFilter(image, id);
            std::vector<cv::Mat> planes;
            cv::split(image, planes);
            EXPECT_EQ(cv::countNonZero(planes[3] != 255), 0) << colorFilterKey(id) << " " << shape;
        }
    }
}

TEST(ColorFilterTest, NoEffectAndUnknownIdsLeaveTheImageUntouched)
{
    for (int id : {0, 1, 4, 19, -1}) {
        cv::Mat image = withRandomAlpha(fixtures::randomImage(6, 4, 4), 5);
        const cv::Mat before = image.clone();
        applyColorFilter(image, id);
        EXPECT_EQ(fixtures::firstDifference(image, before), "") << id;
    }
}

struct PixelCase {
    int filter;
    cv::Vec3i rgbIn;
    cv::Vec3i rgbOut;
};

TEST(ColorFilterTest, KnownPixels)
{
    const PixelCase cases[] = {
        {kGrayscale1, {255, 0, 0}, {76, 76, 76}},
        {kGrayscale1, {255, 255, 255}, {255, 255, 255}},
        {kGrayscale1, {0, 0, 0}, {0, 0, 0}},
        {kGrayscale2, {31, 31, 31}, {8, 8, 8}},             // contrast 31 -> 8
        {kGrayscale2, {222, 31, 254}, {170, 170, 170}},     // (247 + 8 + 255) / 3
        {kSepia1, {0, 0, 0}, {25, 0, 0}},
        {kSepia1, {255, 255, 255}, {255, 255, 230}},
        {kSepia1, {100, 100, 100}, {125, 100, 75}},
        {kSepia1, {230, 230, 230}, {255, 230, 205}},
        {kSepia1, {231, 231, 231}, {255, 231, 206}},
        {kSepia1, {25, 25, 25}, {50, 25, 0}},
        {kSepia1, {24, 24, 24}, {49, 24, 0}},
        {kSepia2, {31, 31, 31}, {33, 8, 0}},
        {kSepia2, {255, 255, 255}, {255, 255, 230}},
        {kAntique, {255, 255, 255}, {255, 255, 244}},
        {kAntique, {0, 0, 0}, {10, 0, 0}},                 // (106 x 25) >> 8
        {kCrossProcess1, {255, 255, 255}, {255, 255, 235}},
        {kCrossProcess1, {210, 207, 0}, {255, 226, 20}},
        {kCrossProcess1, {233, 55, 0}, {255, 39, 20}},
        {kCrossProcess2, {87, 65, 255}, {46, 62, 235}},
        {kVintage, {106, 127, 127}, {130, 123, 112}},
        {kEmerald, {97, 87, 59}, {124, 124, 166}},
        {kCountry, {92, 122, 121}, {105, 135, 114}},
        {kOlive, {195, 193, 0}, {217, 207, 28}},
        {kCherry, {238, 11, 201}, {255, 0, 186}},
        {kCherry, {255, 255, 255}, {255, 233, 244}},
        {kPurple, {255, 255, 255}, {255, 255, 255}},
        {kHollywood, {255, 255, 255}, {255, 255, 255}},
    };
    for (const PixelCase& c : cases)
        EXPECT_EQ(filtered(c.filter, c.rgbIn[0], c.rgbIn[1], c.rgbIn[2]), c.rgbOut)
            << colorFilterKey(c.filter) << " on " << c.rgbIn;
}

TEST(ColorFilterTest, CrossProcess1RedSaturatesFrom210AndBlueIsALine)
{
    for (int level = 210; level <= 255; ++level)
        EXPECT_EQ(filtered(kCrossProcess1, level, 0, 0)[0], 255) << level;
    int previous = 20;
    for (int level = 0; level <= 255; ++level) {
        const int blue = filtered(kCrossProcess1, 0, 0, level)[2];
        EXPECT_GE(blue, previous) << level;
        EXPECT_NEAR(blue, 20 + 215 * level / 255, 1) << level;
        previous = blue;
    }
}

TEST(ColorFilterTest, CherryGreenIsZeroBelowItsFirstPoint)
{
    for (int level = 0; level <= 11; ++level)
        EXPECT_EQ(filtered(kCherry, 0, level, 0)[1], 0) << level;
    EXPECT_GT(filtered(kCherry, 0, 40, 0)[1], 0);
    EXPECT_EQ(filtered(kCherry, 0, 255, 0)[1], 233);
}

// The master curve goes after the channel curves: a level that a channel
// curve sends to its control point's y comes out as master[y].
TEST(ColorFilterTest, MasterCurveFollowsTheChannelCurves)
{
    const auto masterTable = [](std::initializer_list<std::pair<int, int>> points) {
        ToneCurveSet master;
        initToneCurveSet(master, 1);
        int slot = 0;
        for (const auto& [x, y] : points)
            setToneCurvePoint(master, 0, slot++, x, y);
        computeToneCurves(master);
        return master.tables[0];
    };
    const auto purple = masterTable({{0, 0}, {78, 123}, {255, 255}});
    const auto hollywood = masterTable({{0, 0}, {76, 78}, {156, 165}, {255, 255}});

    EXPECT_EQ(filtered(kPurple, 92, 112, 139), cv::Vec3i(purple[113], purple[65], purple[137]));
    EXPECT_EQ(filtered(kPurple, 0, 0, 10)[2], purple[0]);   // blue is flat at 0 below 11
    EXPECT_EQ(filtered(kHollywood, 101, 114, 80), cv::Vec3i(hollywood[93], hollywood[107], hollywood[103]));
    EXPECT_NE(purple[113], 113);   // the master does change these levels
}

TEST(ColorFilterTest, TableAppliersRouteEachColourThroughItsTable)
{
    ToneCurveSet curves;
    initToneCurveSet(curves, 3);
    for (int i = 0; i < 256; ++i) {
        curves.tables[0][i] = 10;
        curves.tables[2][i] = 255 - i;
    }
    std::array<int, 256> half{};
    for (int i = 0; i < 256; ++i)
        half[i] = i / 2;

    const cv::Mat source = withRandomAlpha(fixtures::randomImage(5, 3, 6), 7);
    cv::Mat one = source.clone(), three = source.clone(), master = source.clone();
    applyToneTable(RawImage::fromMat(one), RawImage::fromMat(one), half);
    applyToneTables(RawImage::fromMat(three), RawImage::fromMat(three), curves);
    applyToneTablesAndMaster(RawImage::fromMat(master), RawImage::fromMat(master), curves, half);

    for (int y = 0; y < source.rows; ++y) {
        for (int x = 0; x < source.cols; ++x) {
            const cv::Vec4b s = source.at<cv::Vec4b>(y, x);
            EXPECT_EQ(one.at<cv::Vec4b>(y, x), cv::Vec4b(s[0] / 2, s[1] / 2, s[2] / 2, 255));
            EXPECT_EQ(three.at<cv::Vec4b>(y, x), cv::Vec4b(255 - s[0], s[1], 10, 255));
            EXPECT_EQ(master.at<cv::Vec4b>(y, x), cv::Vec4b((255 - s[0]) / 2, s[1] / 2, 5, 255));
        }
    }
}

TEST(ColorFilterTest, AppliersWriteIntoASeparateDestination)
{
    cv::Mat source = fixtures::randomImage(4, 4, 8);
    const cv::Mat before = source.clone();
    cv::Mat dest(4, 4, CV_8UC4, cv::Scalar::all(0));
    std::array<int, 256> invert{};
    for (int i = 0; i < 256; ++i)
        invert[i] = 255 - i;
    applyToneTable(RawImage::fromMat(dest), RawImage::fromMat(source), invert);
    EXPECT_EQ(fixtures::firstDifference(source, before), "");
    const cv::Vec4b s = source.at<cv::Vec4b>(2, 3);
    EXPECT_EQ(dest.at<cv::Vec4b>(2, 3), cv::Vec4b(255 - s[0], 255 - s[1], 255 - s[2], 255));
}

TEST(ColorFilterTest, KeysAndIdsMatchBothWays)
{
    const std::pair<int, const char*> table[] = {
        {0, "NO_EFFECT"},        {5, "GRAYSCALE_1"},  {6, "GRAYSCALE_2"}, {7, "SEPIA_1"},
        {8, "SEPIA_2"},          {9, "CROSS_PROCESS_1"}, {10, "CROSS_PROCESS_2"}, {11, "VINTAGE"},
        {12, "ANTIQUE"},         {13, "EMERALD"},     {14, "COUNTRY"},     {15, "OLIVE"},
        {16, "PURPLE"},          {17, "HOLLYWOOD"},   {18, "CHERRY"},
    };
    for (const auto& [id, key] : table) {
        EXPECT_EQ(colorFilterIdForKey(key), id) << key;
        ASSERT_NE(colorFilterKey(id), nullptr) << id;
        EXPECT_STREQ(colorFilterKey(id), key);
    }
    for (int id : {-1, 1, 2, 3, 4, 19, 500})
        EXPECT_EQ(colorFilterKey(id), nullptr) << id;
    for (const char* key : {"", "sepia_1", "SEPIA", "SEPIA_3"})
        EXPECT_EQ(colorFilterIdForKey(key), -1) << key;
}

} // namespace
