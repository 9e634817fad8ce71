#include "Effector/FinishingStages.h"

#include "Effector/ColorFilter.h"
#include "Effector/ColorMask.h"
#include "Effector/StickerEffect.h"
#include "Effector/Vignette.h"
#include "app/AppData.h"
#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kWidth = 40, kHeight = 30;

// A document with a centred foreground block in its raw map.
std::unique_ptr<AppData> makeDocument()
{
    auto doc = std::make_unique<AppData>();
    doc->m_pDepthMap = std::make_unique<cv::Mat>(2 * kHeight, 2 * kWidth, CV_8UC1, cv::Scalar(0));
    (*doc->m_pDepthMap)(cv::Rect(30, 20, 20, 20)).setTo(255);
    return doc;
}

cv::Mat blurResult() { return fixtures::randomImage(kWidth, kHeight, 31); }

cv::Mat bothStages(const AppData& doc, const cv::Mat& blurred, const cv::Mat& workingDepth)
{
    cv::Mat image = blurred.clone();
    applyStickerAndFilter(doc, image, workingDepth);
    applyVignetteAndColorMask(doc, image, workingDepth);
    return image;
}

TEST(FinishingStagesTest, EverythingOffLeavesTheImageAlone)
{
    const auto doc = makeDocument();
    const cv::Mat source = blurResult();
    const cv::Mat depth = fixtures::blockDepth(kWidth, kHeight, 1);
    EXPECT_EQ(fixtures::firstDifference(bothStages(*doc, source, depth), source), "");
}

TEST(FinishingStagesTest, StickerComesBeforeTheFilter)
{
    auto doc = makeDocument();
    doc->m_sticker = 30;
    doc->m_filter = kGrayscale1;
    const cv::Mat source = blurResult();
    cv::Mat image = source.clone();
    applyStickerAndFilter(*doc, image, cv::Mat());

    cv::Mat expected = source.clone(), reversed = source.clone();
    applyStickerEffect(expected, *doc->m_pDepthMap);
    applyColorFilter(expected, kGrayscale1);
    applyColorFilter(reversed, kGrayscale1);
    applyStickerEffect(reversed, *doc->m_pDepthMap);
    EXPECT_EQ(fixtures::firstDifference(image, expected), "");
    EXPECT_NE(fixtures::firstDifference(image, reversed), "");
}

TEST(FinishingStagesTest, VignetteComesBeforeTheColorMask)
{
    auto doc = makeDocument();
    doc->m_vignette = 108;
    doc->m_colorMask = true;
    const cv::Mat depth = fixtures::blockDepth(kWidth, kHeight, 2);
    const cv::Mat source = blurResult();
    cv::Mat image = source.clone();
    applyVignetteAndColorMask(*doc, image, depth);

    cv::Mat expected = source.clone(), reversed = source.clone();
    applyVignette(expected);
    applyColorMask(expected, depth, 255);
    applyColorMask(reversed, depth, 255);
    applyVignette(reversed);
    EXPECT_EQ(fixtures::firstDifference(image, expected), "");
    EXPECT_NE(fixtures::firstDifference(image, reversed), "");
}

// A filter runs in the first stage, the vignette in the second: on the
// corner pixel the two orders give different colours.
TEST(FinishingStagesTest, FilterThenVignetteAcrossTheStages)
{
    auto doc = makeDocument();
    doc->m_filter = kSepia1;
    doc->m_vignette = 108;
    const cv::Mat source = fixtures::flatImage(kWidth, kHeight, cv::Scalar(255, 255, 255, 255));
    const cv::Mat result = bothStages(*doc, source, cv::Mat());
    // Sepia white is (255, 255, 230); the corner keeps 85 / 256 of it.
    cv::Mat reversed = source.clone();
    applyVignette(reversed);
    applyColorFilter(reversed, kSepia1);
    EXPECT_EQ(result.at<cv::Vec4b>(0, 0), cv::Vec4b(230 * 85 / 256, 84, 84, 255));
    EXPECT_NE(result.at<cv::Vec4b>(0, 0), reversed.at<cv::Vec4b>(0, 0));
}

// The sticker outlines the painted subject: the working map (here all
// background) is not what it reads.
TEST(FinishingStagesTest, StickerReadsTheRawDepthMap)
{
    auto doc = makeDocument();
    doc->m_sticker = 30;
    doc->m_pDepthMap->setTo(255);
    const cv::Mat source = blurResult();
    const cv::Mat result = bothStages(*doc, source, cv::Mat(kHeight, kWidth, CV_8UC1, cv::Scalar(0)));
    EXPECT_EQ(fixtures::firstDifference(result, source), "");
}

TEST(FinishingStagesTest, ColorMaskReadsTheWorkingDepthAndFocus)
{
    auto doc = makeDocument();
    doc->m_colorMask = true;
    doc->m_pDepthMap->setTo(255);
    const cv::Mat source = blurResult();
    const cv::Mat background(kHeight, kWidth, CV_8UC1, cv::Scalar(0));

    const cv::Mat drained = bothStages(*doc, source, background);
    const cv::Vec4b p = drained.at<cv::Vec4b>(5, 5);
    EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);

    doc->m_focusDepth = 0;
    EXPECT_EQ(fixtures::firstDifference(bothStages(*doc, source, background), source), "");
}

TEST(FinishingStagesTest, SwitchesTurnOnFromOne)
{
    struct Case {
        int sticker, vignette;
        bool stickerOn, vignetteOn;
    };
    const Case cases[] = {{0, 0, false, false}, {1, 1, true, true}, {30, 108, true, true}, {-1, -5, false, false}};
    const cv::Mat source = blurResult();
    for (const Case& c : cases) {
        auto doc = makeDocument();
        doc->m_sticker = c.sticker;
        doc->m_vignette = c.vignette;
        cv::Mat expected = source.clone();
        if (c.stickerOn)
            applyStickerEffect(expected, *doc->m_pDepthMap);
        if (c.vignetteOn)
            applyVignette(expected);
        EXPECT_EQ(fixtures::firstDifference(bothStages(*doc, source, cv::Mat()), expected), "")
            << c.sticker << " " << c.vignette;
    }
}

// Each run starts from the stored blur result, which stays as it was, so
// switching an effect on and off again gives back the earlier picture.
TEST(FinishingStagesTest, TogglingAnEffectTwiceRestoresTheResult)
{
    auto doc = makeDocument();
    doc->m_filter = kCherry;
    doc->m_colorMask = true;
    const cv::Mat stored = blurResult();
    const cv::Mat storedCopy = stored.clone();
    const cv::Mat depth = fixtures::blockDepth(kWidth, kHeight, 3);

    const cv::Mat first = bothStages(*doc, stored, depth);
    for (int* field : {&doc->m_vignette, &doc->m_sticker}) {
        *field = field == &doc->m_vignette ? 108 : 30;
        EXPECT_NE(fixtures::firstDifference(bothStages(*doc, stored, depth), first), "");
        *field = 0;
        EXPECT_EQ(fixtures::firstDifference(bothStages(*doc, stored, depth), first), "");
    }
    EXPECT_EQ(fixtures::firstDifference(stored, storedCopy), "");
}

TEST(FinishingStagesTest, MissingDepthMapSkipsOnlyTheSticker)
{
    auto doc = makeDocument();
    doc->m_pDepthMap.reset();
    doc->m_sticker = 30;
    doc->m_filter = kSepia1;
    const cv::Mat source = blurResult();
    cv::Mat expected = source.clone();
    applyColorFilter(expected, kSepia1);
    EXPECT_EQ(fixtures::firstDifference(bothStages(*doc, source, cv::Mat()), expected), "");
}

} // namespace
