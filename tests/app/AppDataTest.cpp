#include "app/AppData.h"
#include "app/StrokeContainer.h"

#include <gtest/gtest.h>

namespace {
int g_detectorsDeleted = 0;
void countingDeleter(Detector*)
{
    ++g_detectorsDeleted;
}
} // namespace

TEST(AppDataTest, StartsWithTheDocumentDefaults)
{
    const AppData doc;
    EXPECT_TRUE(doc.m_image.isNull());
    EXPECT_TRUE(doc.m_assetURL.isEmpty());
    EXPECT_EQ(doc.m_pBitmap, nullptr);
    EXPECT_EQ(doc.m_pDepthMap, nullptr);
    EXPECT_EQ(doc.m_pDisparity, nullptr);
    EXPECT_EQ(doc.m_pDetector, nullptr);
    EXPECT_EQ(doc.m_width, 0);
    EXPECT_EQ(doc.m_height, 0);
    EXPECT_EQ(doc.m_thumbWidth, 0);
    EXPECT_EQ(doc.m_rightTransform, AffineTransform{});
    EXPECT_EQ(doc.m_fadingMode, 0);
    EXPECT_FLOAT_EQ(doc.m_fadingStart, 1.0f);
    EXPECT_FLOAT_EQ(doc.m_fadingEnd, 1.0f);
    EXPECT_EQ(doc.m_blurType, 2);
    EXPECT_FLOAT_EQ(doc.m_blurStrength, 0.01f);
    EXPECT_FLOAT_EQ(doc.m_edgeFeather, 0.008f);
    EXPECT_EQ(doc.m_sidesOrAngle, 0);
    EXPECT_EQ(doc.m_sharpen, 0);
    EXPECT_EQ(doc.m_bokehThreshold, -1);
    EXPECT_EQ(doc.m_focusDepth, 255);
    EXPECT_EQ(doc.m_filter, 0);
    EXPECT_EQ(doc.m_vignette, 0);
    EXPECT_EQ(doc.m_sticker, 0);
    EXPECT_FALSE(doc.m_colorMask);
}

TEST(AppDataTest, DestructionFreesTheDetectorThroughItsDeleter)
{
    g_detectorsDeleted = 0;
    {
        AppData doc;
        doc.m_pDetector = DetectorPtr(reinterpret_cast<Detector*>(&doc), countingDeleter);
    }
    EXPECT_EQ(g_detectorsDeleted, 1);
}

TEST(AppDataTest, DepthMapSizeFollowsTheFullSizeProportions)
{
    struct Case {
        int width, orgWidth, orgHeight;
        cv::Size expected;
    } cases[] = {
        {400, 3000, 3000, {800, 800}},
        {400, 3264, 2448, {800, 600}},
        {300, 2448, 3264, {600, 800}},
        // From the full-size proportions, not from the truncated working height 133.
        {400, 1000, 334, {800, 267}},
        {400, 2048, 1536, {800, 600}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(depthMapSize(c.width, c.orgWidth, c.orgHeight), c.expected) << c.orgWidth << "x" << c.orgHeight;
}

TEST(StrokeContainerTest, ClearDeletesEveryStroke)
{
    StrokeContainer container;
    for (int i = 0; i < 3; ++i) {
        auto stroke = std::make_unique<Stroke>();
        stroke->points = {{1.0f, 2.0f}, {3.0f, 4.0f}};
        stroke->color = 255;
        stroke->brushSize = 10;
        container.m_strokes.push_back(std::move(stroke));
    }
    container.clear();
    EXPECT_TRUE(container.m_strokes.empty());
    container.clear(); // clearing an empty container is harmless
    EXPECT_TRUE(container.m_strokes.empty());
}
