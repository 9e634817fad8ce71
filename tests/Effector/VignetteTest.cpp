#include "Effector/Vignette.h"

#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>

namespace {

TEST(VignetteTest, CentreKeepsItsColourAndBecomesOpaque)
{
    cv::Mat image = fixtures::flatImage(400, 300, cv::Scalar(10, 120, 250, 40));
    applyVignette(image);
    EXPECT_EQ(image.at<cv::Vec4b>(150, 200), cv::Vec4b(10, 120, 250, 255));
}

// Next to the centre the weight is 255 of 256: such pixels are skipped
// outright, alpha included.
TEST(VignetteTest, NearlyFullWeightLeavesThePixelAsItWas)
{
    cv::Mat image = fixtures::flatImage(400, 300, cv::Scalar(10, 120, 250, 40));
    applyVignette(image);
    EXPECT_EQ(image.at<cv::Vec4b>(150, 201), cv::Vec4b(10, 120, 250, 40));
    EXPECT_EQ(image.at<cv::Vec4b>(160, 210), cv::Vec4b(10, 120, 250, 40));   // e = 200, below R^2 / 256
    EXPECT_EQ(image.at<cv::Vec4b>(150, 230)[3], 255);                        // e = 900: darkened
}

TEST(VignetteTest, CornersKeepAboutAThird)
{
    cv::Mat image = fixtures::flatImage(400, 300, cv::Scalar(255, 255, 255, 255));
    applyVignette(image);
    EXPECT_EQ(image.at<cv::Vec4b>(0, 0), cv::Vec4b(84, 84, 84, 255));   // f = 85
    for (const cv::Point corner : {cv::Point(399, 0), cv::Point(0, 299), cv::Point(399, 299)}) {
        const cv::Vec4b p = image.at<cv::Vec4b>(corner);
        EXPECT_GE(p[0], 80) << corner;
        EXPECT_LE(p[0], 90) << corner;
    }
}

TEST(VignetteTest, DarkensSteadilyTowardsTheEdge)
{
    cv::Mat image = fixtures::flatImage(400, 300, cv::Scalar(255, 255, 255, 255));
    applyVignette(image);
    for (int x = 199; x >= 0; --x)
        ASSERT_LE(image.at<cv::Vec4b>(150, x)[1], image.at<cv::Vec4b>(150, x + 1)[1]) << x;
    // Each channel is scaled by the same weight.
    cv::Mat colour = fixtures::flatImage(400, 300, cv::Scalar(200, 100, 50, 255));
    applyVignette(colour);
    EXPECT_EQ(colour.at<cv::Vec4b>(0, 0), cv::Vec4b(66, 33, 16, 255));
}

TEST(VignetteTest, OnePixelBecomesOpaqueBlack)
{
    cv::Mat image = fixtures::flatImage(1, 1, cv::Scalar(200, 100, 50, 7));
    applyVignette(image);
    EXPECT_EQ(image.at<cv::Vec4b>(0, 0), cv::Vec4b(0, 0, 0, 255));
}

TEST(VignetteTest, OneRowAndOneColumnImages)
{
    cv::Mat column = fixtures::flatImage(1, 5, cv::Scalar(255, 255, 255, 255));
    applyVignette(column);   // cx 0, cy 2, R^2 6
    EXPECT_EQ(column.at<cv::Vec4b>(2, 0), cv::Vec4b(255, 255, 255, 255));
    EXPECT_EQ(column.at<cv::Vec4b>(0, 0), cv::Vec4b(84, 84, 84, 255));   // f = (2 x 256) / 6 = 85
    EXPECT_EQ(column.at<cv::Vec4b>(4, 0), column.at<cv::Vec4b>(0, 0));
}

// (R^2 - e) x 256 passes 2^32 on images this wide; the weight must not wrap.
TEST(VignetteTest, VeryWideImageKeepsTheSmoothFalloff)
{
    cv::Mat strip = fixtures::flatImage(20000, 1, cv::Scalar(255, 255, 255, 255));
    applyVignette(strip);   // cx 10000, R^2 1.5e8
    EXPECT_EQ(strip.at<cv::Vec4b>(0, 10000)[0], 255);
    EXPECT_EQ(strip.at<cv::Vec4b>(0, 15000)[0], 212);   // f = 213
    EXPECT_EQ(strip.at<cv::Vec4b>(0, 0)[0], 84);        // f = 85
}

} // namespace
