#include "Effector/StickerEffect.h"

#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

cv::Mat darkenedBy60(const cv::Mat& image)
{
    cv::Mat out = image.clone();
    for (int y = 0; y < out.rows; ++y)
        for (int x = 0; x < out.cols; ++x) {
            cv::Vec4b& p = out.at<cv::Vec4b>(y, x);
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t(std::max(p[c] - 60, 0));
            p[3] = 255;
        }
    return out;
}

cv::Mat withAlpha(cv::Mat image, int alpha)
{
    for (int y = 0; y < image.rows; ++y)
        for (int x = 0; x < image.cols; ++x)
            image.at<cv::Vec4b>(y, x)[3] = uint8_t(alpha);
    return image;
}

TEST(StickerEffectTest, AllBackgroundOnlyDarkens)
{
    cv::Mat white = fixtures::flatImage(40, 30, cv::Scalar(255, 255, 255, 255));
    cv::Mat black = fixtures::flatImage(40, 30, cv::Scalar(0, 0, 0, 90));
    const cv::Mat depth(60, 80, CV_8UC1, cv::Scalar(0));
    applyStickerEffect(white, depth);
    applyStickerEffect(black, depth);
    EXPECT_EQ(fixtures::firstDifference(white, fixtures::flatImage(40, 30, cv::Scalar(195, 195, 195, 255))), "");
    EXPECT_EQ(fixtures::firstDifference(black, fixtures::flatImage(40, 30, cv::Scalar(0, 0, 0, 255))), "");

    const cv::Mat source = fixtures::randomImage(400, 300, 21);
    cv::Mat image = source.clone();
    applyStickerEffect(image, cv::Mat(600, 800, CV_8UC1, cv::Scalar(0)));
    EXPECT_EQ(fixtures::firstDifference(image, darkenedBy60(source)), "");
}

// The one contour is pushed outside the picture on every side, so the
// subject mask covers everything and the outline falls off the edges.
TEST(StickerEffectTest, AllForegroundComesOutUnchangedAndOpaque)
{
    const cv::Size imageSizes[] = {{400, 300}, {300, 400}, {41, 23}};
    for (const cv::Size& size : imageSizes) {
        const cv::Mat source = withAlpha(fixtures::randomImage(size.width, size.height, 22), 30);
        cv::Mat image = source.clone();
        applyStickerEffect(image, cv::Mat(size.height * 2, size.width * 2, CV_8UC1, cv::Scalar(255)));
        EXPECT_EQ(fixtures::firstDifference(image, withAlpha(source.clone(), 255)), "") << size;
    }
}

// Across the middle row of a centred subject on flat gray: the darkened
// background, the shadow (darker still), the white outline, the subject.
TEST(StickerEffectTest, SubjectGetsOutlineAndShadow)
{
    cv::Mat depth(600, 800, CV_8UC1, cv::Scalar(0));
    depth(cv::Rect(300, 200, 200, 200)).setTo(255);
    cv::Mat image = fixtures::flatImage(400, 300, cv::Scalar(128, 128, 128, 100));
    applyStickerEffect(image, depth);

    const auto gray = [&](int x, int y) { return int(image.at<cv::Vec4b>(y, x)[1]); };
    EXPECT_EQ(gray(0, 150), 68);
    EXPECT_EQ(gray(200, 150), 128);
    EXPECT_EQ(image.at<cv::Vec4b>(150, 200), cv::Vec4b(128, 128, 128, 255));
    int darkest = 255, whitest = 0;
    for (int x = 100; x < 200; ++x) {
        darkest = std::min(darkest, gray(x, 150));
        whitest = std::max(whitest, gray(x, 150));
    }
    EXPECT_LT(darkest, 60);
    EXPECT_EQ(whitest, 255);
    // The outline is closer to the subject than the deepest shadow.
    int firstWhite = -1, firstDarkest = -1;
    for (int x = 0; x < 200; ++x) {
        if (firstDarkest < 0 && gray(x, 150) == darkest)
            firstDarkest = x;
        if (firstWhite < 0 && gray(x, 150) == 255)
            firstWhite = x;
    }
    EXPECT_LT(firstDarkest, firstWhite);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            ASSERT_EQ(image.at<cv::Vec4b>(y, x)[3], 255);
}

// Contours of a ring: the even-odd fill leaves its hole as background.
TEST(StickerEffectTest, HoleInTheSubjectStaysBackground)
{
    cv::Mat depth(600, 800, CV_8UC1, cv::Scalar(0));
    depth(cv::Rect(200, 100, 400, 400)).setTo(255);
    depth(cv::Rect(300, 200, 200, 200)).setTo(0);
    const cv::Mat source = fixtures::randomImage(400, 300, 23);
    cv::Mat image = source.clone();
    applyStickerEffect(image, depth);
    EXPECT_EQ(image.at<cv::Vec4b>(150, 200), darkenedBy60(source).at<cv::Vec4b>(150, 200));   // hole centre
    EXPECT_EQ(image.at<cv::Vec4b>(75, 125), source.at<cv::Vec4b>(75, 125));                   // inside the ring
    EXPECT_EQ(image.at<cv::Vec4b>(10, 10), darkenedBy60(source).at<cv::Vec4b>(10, 10));       // far outside
}

TEST(StickerEffectTest, MiddleDistanceCountsAsSubject)
{
    cv::Mat depth(600, 800, CV_8UC1, cv::Scalar(0));
    depth(cv::Rect(300, 200, 200, 200)).setTo(85);
    const cv::Mat source = fixtures::randomImage(400, 300, 24);
    cv::Mat image = source.clone();
    applyStickerEffect(image, depth);
    EXPECT_EQ(image.at<cv::Vec4b>(150, 200), source.at<cv::Vec4b>(150, 200));
}

// Images narrower than 13 pixels have no shadow box to speak of, and maps
// narrower than 40 no outline width; both still work.
TEST(StickerEffectTest, TinyImagesAndMaps)
{
    cv::Mat depth(24, 24, CV_8UC1, cv::Scalar(0));
    depth(cv::Rect(8, 8, 8, 8)).setTo(255);
    const cv::Mat source = fixtures::randomImage(12, 12, 25);
    cv::Mat image = source.clone();
    applyStickerEffect(image, depth);
    EXPECT_EQ(image.at<cv::Vec4b>(6, 6), source.at<cv::Vec4b>(6, 6));
    EXPECT_EQ(image.at<cv::Vec4b>(0, 0), darkenedBy60(source).at<cv::Vec4b>(0, 0));

    for (const cv::Size size : {cv::Size(1, 1), cv::Size(1, 7), cv::Size(7, 1)}) {
        cv::Mat small = withAlpha(fixtures::randomImage(size.width, size.height, 26), 0);
        applyStickerEffect(small, cv::Mat(size.height * 2, size.width * 2, CV_8UC1, cv::Scalar(255)));
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x)
                EXPECT_EQ(small.at<cv::Vec4b>(y, x)[3], 255) << size;
    }
}

} // namespace
