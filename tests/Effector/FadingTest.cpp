#include "Effector/Fading.h"

#include "app/AppData.h"
#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::vector<int> column(const cv::Mat& depth, int x)
{
    std::vector<int> values;
    for (int y = 0; y < depth.rows; ++y)
        values.push_back(depth.at<uint8_t>(y, x));
    return values;
}
} // namespace

TEST(FadingTest, NaturalFocusLineIsTheLowestForegroundRow)
{
    cv::Mat depth(11, 5, CV_8UC1, cv::Scalar(0));
    EXPECT_FLOAT_EQ(findNaturalFocusLine(depth), 1.0f); // no foreground: the bottom edge
    depth.at<uint8_t>(0, 4) = 255;
    EXPECT_FLOAT_EQ(findNaturalFocusLine(depth), 0.0f);
    depth.at<uint8_t>(4, 1) = 255;
    depth.at<uint8_t>(9, 2) = 254; // not foreground
    EXPECT_FLOAT_EQ(findNaturalFocusLine(depth), 0.4f);
    depth.at<uint8_t>(10, 0) = 255;
    EXPECT_FLOAT_EQ(findNaturalFocusLine(depth), 1.0f);

    // A one-row map has no row spacing to divide by: its foreground is at the top.
    const cv::Mat row(1, 3, CV_8UC1, cv::Scalar(255));
    EXPECT_FLOAT_EQ(findNaturalFocusLine(row), 0.0f);
}

TEST(FadingTest, BackgroundRampsUpToTheFocusLineAndDownBelowIt)
{
    cv::Mat depth(10, 3, CV_8UC1, cv::Scalar(0));
    depth.at<uint8_t>(4, 1) = 85;
    depth.at<uint8_t>(8, 2) = 255;
    applyFading(depth, 0.2f, 0.6f); // top row 2, focus row 6, span 4
    EXPECT_EQ(column(depth, 0), (std::vector<int>{0, 0, 0, 63, 127, 191, 255, 192, 128, 64}));
    EXPECT_EQ(depth.at<uint8_t>(4, 1), 85);  // middle distance keeps its value
    EXPECT_EQ(depth.at<uint8_t>(8, 2), 255); // so does the foreground

    // Below the bottom end line (focus + span) the background stays 0.
    cv::Mat tall(20, 1, CV_8UC1, cv::Scalar(0));
    applyFading(tall, 0.1f, 0.3f); // rows 2 .. 6, span 4, end at 10
    EXPECT_EQ(column(tall, 0), (std::vector<int>{0, 0, 0, 63, 127, 191, 255, 192, 128, 64, 0, 0, 0, 0, 0, 0, 0,
                                                 0, 0, 0}));
}

TEST(FadingTest, DegenerateLinesLeaveTheMapUnchanged)
{
    struct Case {
        float top, focus;
    } cases[] = {
        {0.5f, 0.5f},  // no span
        {0.50f, 0.509f}, // less than a row apart on 100 rows
        {0.8f, 0.2f},  // top below the focus line: the ramp would overflow 8 bits
        {0.0f, 0.0f},  // foreground only in the top row (natural lines 0 and 0)
    };
    const cv::Mat original = fixtures::blockDepth(7, 100, 3);
    for (const Case& c : cases) {
        cv::Mat depth = original.clone();
        applyFading(depth, c.top, c.focus);
        EXPECT_EQ(fixtures::firstDifference(depth, original), "") << c.top << " " << c.focus;
    }
}

TEST(FadingTest, FocusLineBelowThePictureNeverReaches255)
{
    cv::Mat depth(10, 1, CV_8UC1, cv::Scalar(0));
    applyFading(depth, 0.5f, 1.5f); // rows 5 .. 15
    EXPECT_EQ(column(depth, 0), (std::vector<int>{0, 0, 0, 0, 0, 0, 25, 51, 76, 102}));

    // Natural lines on a map without foreground: from mid-height to just under 255.
    cv::Mat none(100, 2, CV_8UC1, cv::Scalar(0));
    applyFading(none, 0.5f, 1.0f);
    EXPECT_EQ(none.at<uint8_t>(49, 0), 0);
    EXPECT_EQ(none.at<uint8_t>(50, 0), 0);
    EXPECT_EQ(none.at<uint8_t>(99, 0), 249);
}

TEST(FadingTest, SetFadingModeStoresWhatEachModeSays)
{
    AppData doc;
    doc.m_pDepthMap = std::make_unique<cv::Mat>(101, 4, CV_8UC1, cv::Scalar(0));
    doc.m_pDepthMap->at<uint8_t>(80, 2) = 255;

    setFadingMode(doc, kNaturalFading, 0.1f, 0.2f); // the fractions are ignored
    EXPECT_EQ(doc.m_fadingMode, kNaturalFading);
    EXPECT_FLOAT_EQ(doc.m_fadingEnd, 0.8f);
    EXPECT_FLOAT_EQ(doc.m_fadingStart, 0.8f - 0.5f);

    setFadingMode(doc, kNoFading, 0.0f, 0.0f); // keeps the lines
    EXPECT_EQ(doc.m_fadingMode, kNoFading);
    EXPECT_FLOAT_EQ(doc.m_fadingEnd, 0.8f);

    doc.m_pDepthMap->at<uint8_t>(80, 2) = 0;
    doc.m_pDepthMap->at<uint8_t>(30, 2) = 255;
    setFadingMode(doc, kNaturalFading, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(doc.m_fadingEnd, 0.3f);
    EXPECT_FLOAT_EQ(doc.m_fadingStart, 0.0f); // raised from -0.2

    setFadingMode(doc, kManualFading, 0.25f, 0.75f);
    EXPECT_EQ(doc.m_fadingMode, kManualFading);
    EXPECT_FLOAT_EQ(doc.m_fadingStart, 0.25f);
    EXPECT_FLOAT_EQ(doc.m_fadingEnd, 0.75f);
}
