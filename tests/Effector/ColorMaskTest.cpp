#include "Effector/ColorMask.h"

#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct HslCase {
    cv::Vec3i rgb;
    float h, s, l;
};

TEST(ColorMaskTest, RgbToHslKnownColours)
{
    const HslCase cases[] = {
        {{255, 0, 0}, 0.0f, 255.0f, 127.5f},
        {{0, 255, 0}, 85.0f, 255.0f, 127.5f},
        {{0, 0, 255}, 170.0f, 255.0f, 127.5f},
        {{100, 100, 100}, 0.0f, 0.0f, 100.0f},
        {{255, 255, 255}, 0.0f, 0.0f, 255.0f},
        {{255, 0, 128}, 255.0f - 42.5f * 128.0f / 255.0f, 255.0f, 127.5f},   // negative sextant wraps
        {{255, 128, 128}, 0.0f, 127.0f * 255.0f / 128.0f, 191.5f},          // light half: 511 - max - min
        {{64, 32, 0}, 42.5f * 0.5f, 255.0f, 32.0f},
    };
    for (const HslCase& c : cases) {
        const HslColor hsl = rgbToHsl(c.rgb[0], c.rgb[1], c.rgb[2]);
        EXPECT_NEAR(hsl.h, c.h, 1e-3) << c.rgb;
        EXPECT_NEAR(hsl.s, c.s, 1e-3) << c.rgb;
        EXPECT_NEAR(hsl.l, c.l, 1e-3) << c.rgb;
    }
}

TEST(ColorMaskTest, HslToRgbKnownColours)
{
    EXPECT_EQ(hslToRgb({0, 255, 127.5f}).r, 255);
    const RgbColor red = hslToRgb({0, 255, 127.5f});
    EXPECT_EQ(cv::Vec3i(red.r, red.g, red.b), cv::Vec3i(255, 0, 0));
    const RgbColor green = hslToRgb({85, 255, 127.5f});
    EXPECT_EQ(cv::Vec3i(green.r, green.g, green.b), cv::Vec3i(0, 255, 0));
    const RgbColor blue = hslToRgb({170, 255, 127.5f});
    EXPECT_EQ(cv::Vec3i(blue.r, blue.g, blue.b), cv::Vec3i(0, 0, 255));
    const RgbColor gray = hslToRgb({123, 0, 99.9f});   // no saturation: L truncated
    EXPECT_EQ(cv::Vec3i(gray.r, gray.g, gray.b), cv::Vec3i(99, 99, 99));
}

TEST(ColorMaskTest, RoundTripStaysWithinALevel)
{
    int worst = 0;
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 5) {
                const RgbColor back = hslToRgb(rgbToHsl(r, g, b));
                worst = std::max({worst, std::abs(back.r - r), std::abs(back.g - g), std::abs(back.b - b)});
            }
    EXPECT_LE(worst, 1);
}

cv::Mat randomAlphaImage(int w, int h, uint64_t seed)
{
    cv::Mat image = fixtures::randomImage(w, h, seed);
    cv::RNG rng(seed + 1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.at<cv::Vec4b>(y, x)[3] = uint8_t(rng.uniform(0, 256));
    return image;
}

// Checkerboard of depth 0 and 255 at the image's own size: the mask applies
// pixel for pixel.
TEST(ColorMaskTest, FocusNearDrainsTheBackgroundAndKeepsTheSubject)
{
    const cv::Mat source = randomAlphaImage(16, 9, 11);
    cv::Mat depth(9, 16, CV_8UC1);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 16; ++x)
            depth.at<uint8_t>(y, x) = (x + y) % 2 ? 255 : 0;
    cv::Mat image = source.clone();
    applyColorMask(image, depth, 255);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 16; ++x) {
            const cv::Vec4b s = source.at<cv::Vec4b>(y, x), p = image.at<cv::Vec4b>(y, x);
            if (depth.at<uint8_t>(y, x) == 255) {
                EXPECT_EQ(p, s) << x << "," << y;
            } else {
                const int l = (std::max({s[0], s[1], s[2]}) + std::min({s[0], s[1], s[2]})) / 2;
                EXPECT_EQ(p, cv::Vec4b(l, l, l, s[3])) << x << "," << y;
            }
        }
    }
}

TEST(ColorMaskTest, InBetweenDepthKeepsPartOfTheSaturation)
{
    cv::Mat image = fixtures::flatImage(4, 4, cv::Scalar(40, 80, 200, 255));   // r 200, g 80, b 40
    const HslColor before = rgbToHsl(200, 80, 40);
    applyColorMask(image, cv::Mat(4, 4, CV_8UC1, cv::Scalar(0)), 102);   // keeps 153 / 255
    const cv::Vec4b p = image.at<cv::Vec4b>(1, 1);
    const HslColor after = rgbToHsl(p[2], p[1], p[0]);
    EXPECT_NEAR(after.s, before.s * 153.0f / 255.0f, 2.0f);
    EXPECT_NEAR(after.h, before.h, 1.0f);
    EXPECT_NEAR(after.l, before.l, 1.0f);
}

TEST(ColorMaskTest, FocusFarKeepsTheBackground)
{
    const cv::Mat source = randomAlphaImage(8, 8, 12);
    cv::Mat image = source.clone();
    cv::Mat depth(8, 8, CV_8UC1, cv::Scalar(0));
    depth(cv::Rect(4, 0, 4, 8)).setTo(255);
    applyColorMask(image, depth, 0);
    EXPECT_EQ(fixtures::firstDifference(image.colRange(0, 4), source.colRange(0, 4)), "");
    const cv::Vec4b p = image.at<cv::Vec4b>(3, 6);
    EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);
    EXPECT_EQ(p[3], source.at<cv::Vec4b>(3, 6)[3]);
}

// A depth map twice the image's size is scaled down onto it.
TEST(ColorMaskTest, LargerDepthMapIsScaledToTheImage)
{
    const cv::Mat source = fixtures::randomImage(20, 10, 13);
    cv::Mat depth(20, 40, CV_8UC1, cv::Scalar(0));
    depth.colRange(20, 40).setTo(255);
    cv::Mat image = source.clone();
    applyColorMask(image, depth, 255);
    for (int y = 0; y < 10; ++y) {
        const cv::Vec4b left = image.at<cv::Vec4b>(y, 2), right = image.at<cv::Vec4b>(y, 17);
        EXPECT_TRUE(left[0] == left[1] && left[1] == left[2]) << y;
        EXPECT_EQ(right, source.at<cv::Vec4b>(y, 17)) << y;
    }
}

TEST(ColorMaskTest, OnePixelWideAndOneRowImages)
{
    for (const cv::Size size : {cv::Size(1, 6), cv::Size(6, 1)}) {
        cv::Mat image = fixtures::flatImage(size.width, size.height, cv::Scalar(0, 0, 255, 255));
        applyColorMask(image, cv::Mat(size.height * 2, size.width * 2, CV_8UC1, cv::Scalar(0)), 255);
        EXPECT_EQ(image.at<cv::Vec4b>(0, 0), cv::Vec4b(127, 127, 127, 255)) << size;
    }
}

} // namespace
