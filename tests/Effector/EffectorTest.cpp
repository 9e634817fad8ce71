#include "Effector/Effector.h"

#include "Effector/BlurByDepthFilter.h"
#include "Effector/EffectorCallback.h"
#include "Effector/Fading.h"
#include "app/AppData.h"
#include "app/ImageHelpers.h"
#include "app/PhotoIntake.h"
#include "platform/DocumentsFolder.h"
#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <string>

namespace {

std::string assertionMessage(const std::function<void()>& f)
{
    try {
        f();
    } catch (const cv::Exception& e) {
        return e.err;
    }
    return "(no assertion)";
}

platform::Image imageOf(const cv::Mat& bgra)
{
    return matToImage(bgra);
}

// The blur run the pipeline should make, spelled out.
cv::Mat directBlur(const cv::Mat& source, const cv::Mat& depth, int kind, int radius, int sides, int threshold,
                   int sharpen, int focus)
{
    cv::Mat fitted;
    if (depth.size() == source.size())
        fitted = depth;
    else
        cv::resize(depth, fitted, source.size(), 0, 0, cv::INTER_NEAREST);
    cv::Mat dst;
    BlurByDepthFilter filter(kind, source, radius, sides, threshold, sharpen);
    filter.run(fitted, focus, dst);
    return dst;
}

} // namespace

class EffectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setDocumentsFolder(m_dir.path());
        // A 400 x 300 working image from a 640 x 480 photo: depth map 800 x 600.
        m_photo = fixtures::randomImage(640, 480, 7);
        cv::GaussianBlur(m_photo, m_photo, cv::Size(5, 5), 0);
        ASSERT_TRUE(loadPhotoIntoDocument(m_doc, imageOf(m_photo), platform::Image(), QUrl()));
        fixtures::blockDepth(800, 600, 11).copyTo(*m_doc.m_pDepthMap);
    }
    void TearDown() override { platform::setDocumentsFolder(QString()); }

    cv::Mat workingPixels() const
    {
        return cv::Mat(m_doc.m_height, m_doc.m_width, CV_8UC4, m_doc.m_pBitmap->data,
                       size_t(m_doc.m_pBitmap->bytesPerRow));
    }

    QTemporaryDir m_dir;
    cv::Mat m_photo;
    AppData m_doc;
};

TEST_F(EffectorTest, PrepareMatChecksItsInputsWithFixedMessages)
{
    cv::Mat s, d, dst;
    const cv::Mat depth(4, 4, CV_8UC1, cv::Scalar(0));
    const cv::Mat colour(4, 4, CV_8UC4, cv::Scalar(0));
    const std::string srcMessage = "src.cols != 0 && src.rows != 0 && src.type() == CV_8UC4";
    const std::string depthMessage = "depth.cols != 0 && depth.rows != 0 && depth.type() == CV_8UC1";
    EXPECT_EQ(assertionMessage([&] { prepareMat(cv::Mat(), depth, {-1, -1}, s, d, dst); }), srcMessage);
    EXPECT_EQ(assertionMessage([&] { prepareMat(cv::Mat(4, 4, CV_8UC3), depth, {-1, -1}, s, d, dst); }), srcMessage);
    EXPECT_EQ(assertionMessage([&] { prepareMat(colour, cv::Mat(), {-1, -1}, s, d, dst); }), depthMessage);
    EXPECT_EQ(assertionMessage([&] { prepareMat(colour, colour, {-1, -1}, s, d, dst); }), depthMessage);
}

TEST_F(EffectorTest, PrepareMatResizesTheSourceAndFitsTheDepthWithoutBlending)
{
    const cv::Mat source = fixtures::randomImage(40, 30, 1);
    const cv::Mat depth = fixtures::blockDepth(80, 60, 2);
    cv::Mat s, d, dst;
    prepareMat(source, depth, {-1, -1}, s, d, dst);
    EXPECT_EQ(s.data, source.data); // kept as it is
    EXPECT_EQ(d.size(), cv::Size(40, 30));
    for (int y = 0; y < d.rows; ++y)
        for (int x = 0; x < d.cols; ++x) {
            const int v = d.at<uint8_t>(y, x);
            ASSERT_TRUE(v == 0 || v == 85 || v == 255) << "blended depth " << v;
        }
    EXPECT_EQ(dst.size(), cv::Size(40, 30));
    EXPECT_EQ(dst.type(), CV_8UC4);

    const uint8_t* kept = dst.data;
    cv::Mat expected;
    cv::resize(source, expected, cv::Size(20, 15), 0, 0, cv::INTER_LINEAR);
    prepareMat(source, d, {20, 15}, s, d, dst);
    EXPECT_EQ(fixtures::firstDifference(s, expected), "");
    EXPECT_EQ(dst.size(), cv::Size(20, 15));

    // A destination of the right size and type is reused.
    kept = dst.data;
    prepareMat(source, depth, {20, 15}, s, d, dst);
    EXPECT_EQ(dst.data, kept);
    const cv::Mat sameSize = fixtures::blockDepth(20, 15, 4);
    prepareMat(s, sameSize, {-1, -1}, s, d, dst);
    EXPECT_EQ(d.data, sameSize.data); // same size: passed unchanged
}

TEST_F(EffectorTest, PrepareDepthFadesThenFeathers)
{
    cv::Mat depth = m_doc.m_pDepthMap->clone();
    m_doc.m_edgeFeather = 0;
    prepareDepth(m_doc, depth);
    EXPECT_EQ(fixtures::firstDifference(depth, *m_doc.m_pDepthMap), "") << "fading none, feather off";

    m_doc.m_edgeFeather = 0.008f; // 800 pixels: k = 6, made odd: 7
    m_doc.m_fadingMode = kManualFading;
    m_doc.m_fadingStart = 0.2f;
    m_doc.m_fadingEnd = 0.7f;
    depth = m_doc.m_pDepthMap->clone();
    prepareDepth(m_doc, depth);
    cv::Mat expected = m_doc.m_pDepthMap->clone();
    applyFading(expected, 0.2f, 0.7f);
    cv::GaussianBlur(expected, expected, cv::Size(7, 7), 0, 0);
    EXPECT_EQ(fixtures::firstDifference(depth, expected), "");
}

TEST_F(EffectorTest, PreviewBlursTheWorkingImageAtItsOwnRadius)
{
    struct Case {
        int blurType;
        float strength;
        int sides, sharpen, bokeh;
        int radius; // what the strength gives on a 400-pixel width
    } cases[] = {
        {kLensBlur, 0.01f, 0, 0, -1, 4},
        {kLensBlur, 0.025f, 6, 30, 200, 10},
        {kMotionBlur, 0.01f, 8, 0, -1, 4},
    };
    for (const Case& c : cases) {
        m_doc.m_blurType = c.blurType;
        m_doc.m_blurStrength = c.strength;
        m_doc.m_sidesOrAngle = c.sides;
        m_doc.m_sharpen = c.sharpen;
        m_doc.m_bokehThreshold = c.bokeh;
        cv::Mat dst;
        applyEffect(dst, m_doc, *m_doc.m_pDepthMap, 85, m_doc.m_width, m_doc.m_height, false);
        const cv::Mat expected = directBlur(workingPixels(), *m_doc.m_pDepthMap,
                                            c.blurType == kLensBlur ? kLensKernel : kMotionKernel, c.radius, c.sides,
                                            c.bokeh, c.sharpen ? 1 : 0, 85);
        EXPECT_EQ(fixtures::firstDifference(dst, expected), "") << "strength " << c.strength;
    }
}

TEST_F(EffectorTest, PreviewAtATinyStrengthIsTheWorkingImage)
{
    m_doc.m_blurStrength = 0.001f; // R = 0 on 400 pixels
    m_doc.m_sharpen = 30;
    m_doc.m_bokehThreshold = 200;
    cv::Mat dst;
    applyEffect(dst, m_doc, *m_doc.m_pDepthMap, 255, m_doc.m_width, m_doc.m_height, false);
    EXPECT_EQ(fixtures::firstDifference(dst, workingPixels()), "");
}

TEST_F(EffectorTest, FullSizeRendersFromTheKeptPhotoWithTheSaveThreshold)
{
    m_doc.m_bokehThreshold = 200;
    m_doc.m_blurStrength = 0.01f;
    const cv::Size target(512, 384); // R = 5
    cv::Mat depth;
    cv::resize(*m_doc.m_pDepthMap, depth, target, 0, 0, cv::INTER_CUBIC);
    prepareDepth(m_doc, depth);
    cv::Mat dst;
    applyEffect(dst, m_doc, depth, 255, target.width, target.height, true);

    const Bitmap kept(loadFromDocuments(QStringLiteral("org.jpg")), true);
    const cv::Mat keptPixels(kept.height, kept.width, CV_8UC4, kept.data, size_t(kept.bytesPerRow));
    cv::Mat source;
    cv::resize(keptPixels, source, target, 0, 0, cv::INTER_LINEAR);
    const cv::Mat expected = directBlur(source, depth, kLensKernel, 5, 0, 229, 0, 255);
    EXPECT_EQ(fixtures::firstDifference(dst, expected), "");
}

TEST_F(EffectorTest, FullSizeWithoutTheKeptPhotoIsAProgrammingError)
{
    QFile::remove(platform::documentPath(QStringLiteral("org.jpg")));
    cv::Mat dst;
    EXPECT_EQ(assertionMessage([&] { applyEffect(dst, m_doc, *m_doc.m_pDepthMap, 255, 100, 75, true); }),
              "src.cols != 0 && src.rows != 0 && src.type() == CV_8UC4");
}

TEST_F(EffectorTest, AnUnknownBlurTypeLeavesTheDestinationAlone)
{
    m_doc.m_blurType = 0;
    cv::Mat dst(3, 3, CV_8UC4, cv::Scalar(1, 2, 3, 4));
    const cv::Mat before = dst.clone();
    applyEffect(dst, m_doc, *m_doc.m_pDepthMap, 255, m_doc.m_width, m_doc.m_height, false);
    EXPECT_EQ(fixtures::firstDifference(dst, before), "");
}

TEST_F(EffectorTest, FullSizeRunReportsProgressThroughTheCallback)
{
    struct Recorder : EffectorCallback {
        std::vector<int> seen;
        bool progress(int percent) override
        {
            seen.push_back(percent);
            return true;
        }
    } recorder;
    cv::Mat depth;
    cv::resize(*m_doc.m_pDepthMap, depth, cv::Size(200, 150), 0, 0, cv::INTER_CUBIC);
    cv::Mat dst;
    applyEffect(dst, m_doc, depth, 255, 200, 150, true, &recorder);
    ASSERT_FALSE(recorder.seen.empty());
    EXPECT_EQ(recorder.seen.front(), 0);
    EXPECT_TRUE(std::is_sorted(recorder.seen.begin(), recorder.seen.end()));
    EXPECT_LT(recorder.seen.back(), 100);
}

TEST(MatToImageTest, KeepsTheBytesOfGrayAndColourMatrices)
{
    const cv::Mat colour = fixtures::randomImage(5, 3, 9);
    const QImage c = matToImage(colour).pixels();
    ASSERT_EQ(c.format(), QImage::Format_ARGB32);
    const cv::Vec4b p = colour.at<cv::Vec4b>(2, 4);
    EXPECT_EQ(c.pixel(4, 2), qRgba(p[2], p[1], p[0], p[3]));

    const cv::Mat gray = fixtures::randomDepth(6, 2, 3);
    const QImage g = matToImage(gray(cv::Rect(1, 0, 5, 2))).pixels(); // a view with a wider step
    ASSERT_EQ(g.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(g.size(), QSize(5, 2));
    EXPECT_EQ(qGray(g.pixel(4, 1)), gray.at<uint8_t>(1, 5));
}
