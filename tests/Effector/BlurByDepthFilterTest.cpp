#include "Effector/BlurByDepthFilter.h"

#include "Effector/EffectorCallback.h"
#include "platform/SystemLog.h"
#include "tests/Effector/BlurReference.h"
#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------- kernels

std::vector<cv::Point> onesOf(const cv::Mat& kernel)
{
    std::vector<cv::Point> points;
    cv::findNonZero(kernel, points);
    return points;
}

TEST(KernelTest, SizeOneIsASingleOneWhateverTheKindAndAngle)
{
    const struct {
        int kind, sidesOrAngle;
    } cases[] = {{kLensKernel, 0}, {kLensKernel, 4}, {kLensKernel, 8}, {kMotionKernel, 0},
                 {kMotionKernel, 90}, {kMotionKernel, 135}, {kMotionKernel, 181}, {7, 0}};
    for (const auto& c : cases) {
        int count = -1;
        const cv::Mat k = createKernel(c.kind, 1, c.sidesOrAngle, &count);
        ASSERT_EQ(k.size(), cv::Size(1, 1));
        EXPECT_EQ(k.type(), CV_8UC1);
        EXPECT_EQ(k.at<uchar>(0, 0), 1) << c.kind << "/" << c.sidesOrAngle;
        EXPECT_EQ(count, 1);
    }
}

TEST(KernelTest, DiscOfSizeThreeIsTheLowerRightBlock)
{
    int count = 0;
    const cv::Mat k = createKernel(kLensKernel, 3, 0, &count);
    const cv::Mat expected = (cv::Mat_<uchar>(3, 3) << 0, 0, 0, 0, 1, 1, 0, 1, 1);
    EXPECT_EQ(fixtures::firstDifference(k, expected), "");
    EXPECT_EQ(count, 4);
}

TEST(KernelTest, MotionLinesOfSizeFive)
{
    const struct {
        int angle;
        std::vector<cv::Point> ones; // (column, row), column order
    } cases[] = {
        {0, {{0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2}}},
        {180, {{0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2}}},
        {45, {{0, 4}, {1, 3}, {2, 2}, {3, 1}, {4, 0}}}, // bottom-left to top-right
        {90, {{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}}},
    };
    for (const auto& c : cases) {
        int count = 0;
        const cv::Mat k = createKernel(kMotionKernel, 5, c.angle, &count);
        std::vector<cv::Point> ones = onesOf(k);
        std::sort(ones.begin(), ones.end(), [](cv::Point a, cv::Point b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
        EXPECT_EQ(ones, c.ones) << "angle " << c.angle;
        EXPECT_EQ(count, 5);
    }
}

TEST(KernelTest, MotionLinesHaveOneElementPerColumnAndTurnWithTheAngle)
{
    for (int size : {3, 9, 21}) {
        for (int angle = 0; angle <= 180; ++angle) {
            if (angle == 90)
                continue;
            int count = 0;
            const cv::Mat k = createKernel(kMotionKernel, size, angle, &count);
            EXPECT_EQ(count, size);
            EXPECT_EQ(cv::countNonZero(k), size) << size << " " << angle;
            int previous = -1;
            for (int f = 0; f < size; ++f) {
                cv::Mat column = k.col(f);
                ASSERT_EQ(cv::countNonZero(column), 1) << size << " " << angle << " column " << f;
                cv::Point at;
                cv::minMaxLoc(column, nullptr, nullptr, nullptr, &at);
                // Rows grow downward: rising lines (below 90) climb, falling ones descend.
                if (f > 0 && angle > 0 && angle < 90) {
                    EXPECT_LE(at.y, previous) << size << " " << angle;
                }
                if (f > 0 && angle > 90 && angle < 180) {
                    EXPECT_GE(at.y, previous) << size << " " << angle;
                }
                previous = at.y;
            }
        }
    }
}

// The element nearest to the point at distance rho and angle theta (degrees,
// y downward) from the kernel's centre, which lies at size / 2 in float.
uchar elementAt(const cv::Mat& k, double rho, double thetaDeg)
{
    const double c = k.rows * 0.5;
    const double t = thetaDeg * CV_PI / 180.0;
    // Element (i, j) covers the centre coordinates [i - c, i - c + 1).
    const int j = int(std::floor(c + rho * std::cos(t) + 0.5));
    const int i = int(std::floor(c + rho * std::sin(t) + 0.5));
    return k.at<uchar>(i, j);
}

TEST(KernelTest, PolygonVerticesStartAtMinusTwentyDegrees)
{
    const int size = 61, r = 30;
    for (int n : {4, 5, 6, 8}) {
        const cv::Mat k = createKernel(kLensKernel, size, n, nullptr);
        for (int v = 0; v < n; ++v) {
            const double vertex = -20.0 + v * 360.0 / n;
            EXPECT_EQ(elementAt(k, 0.9 * r, vertex), 1) << n << " sides, vertex " << vertex;
            EXPECT_EQ(elementAt(k, 0.95 * r, vertex + 180.0 / n), 0) << n << " sides, edge after " << vertex;
        }
    }
    // An unrotated square would reach 0.9 r along the diagonals.
    const cv::Mat square = createKernel(kLensKernel, size, 4, nullptr);
    EXPECT_EQ(elementAt(square, 0.9 * r, 45.0), 0);
    EXPECT_EQ(elementAt(square, 0.9 * r, 70.0), 1);
}

TEST(KernelTest, PolygonsLieInsideTheDiscAndCountTheirOnes)
{
    for (int size : {5, 11, 25, 41}) {
        const cv::Mat disc = createKernel(kLensKernel, size, 0, nullptr);
        for (int n : {0, 4, 5, 6, 8}) {
            int count = -1;
            const cv::Mat k = createKernel(kLensKernel, size, n, &count);
            EXPECT_EQ(count, cv::countNonZero(k));
            EXPECT_EQ(cv::countNonZero(k & ~disc), 0) << size << " " << n;
            double maxValue = 0;
            cv::minMaxLoc(k, nullptr, &maxValue);
            EXPECT_EQ(maxValue, 1.0);
        }
    }
}

TEST(KernelTest, KernelSetHoldsOneKernelPerRadius)
{
    const struct {
        int kind, radius, sidesOrAngle;
    } cases[] = {{kLensKernel, 0, 0}, {kLensKernel, 7, 6}, {kMotionKernel, 5, 8}};
    for (const auto& c : cases) {
        const std::vector<cv::Mat> set = buildKernelSet(c.kind, c.radius, c.sidesOrAngle);
        ASSERT_EQ(set.size(), size_t(c.radius + 1));
        for (int i = 0; i <= c.radius; ++i)
            EXPECT_EQ(fixtures::firstDifference(set[size_t(i)], createKernel(c.kind, 2 * i + 1, c.sidesOrAngle)), "");
    }
}

TEST(KernelTest, AssertsTheAngleAndTheKind)
{
    const struct {
        int kind, sidesOrAngle;
        const char* message;
    } cases[] = {{kMotionKernel, -1, "0 <= sidesOrAngle && sidesOrAngle <= 180"},
                 {kMotionKernel, 181, "0 <= sidesOrAngle && sidesOrAngle <= 180"},
                 {2, 0, "0"},
                 {-1, 4, "0"}};
    for (const auto& c : cases) {
        try {
            createKernel(c.kind, 5, c.sidesOrAngle);
            ADD_FAILURE() << "no assertion for " << c.kind << "/" << c.sidesOrAngle;
        } catch (const cv::Exception& e) {
            EXPECT_EQ(e.err, c.message);
        }
    }
}

// ------------------------------------------------------------ the filter

cv::Mat runFilter(const cv::Mat& source, const cv::Mat& depth, int focus, const blurref::Settings& s,
                  EffectorCallback* callback = nullptr)
{
    BlurByDepthFilter filter(s.kind, source, s.maxRadius, s.sidesOrAngle, s.bokehThreshold, s.sharpen);
    cv::Mat dst;
    filter.run(depth, focus, dst, callback);
    return dst;
}

// Identical wherever the pixel has its own weighted average; where it kept
// the full-strength blur, the value may differ from the library convolution
// by one level on at most 0.1 percent of the channels (a different but
// equally exact summation; ties of the rounding go either way).
void expectMatchesReference(const cv::Mat& actual, const blurref::Result& ref)
{
    ASSERT_EQ(actual.size(), ref.image.size());
    ASSERT_EQ(actual.type(), CV_8UC4);
    int offByOne = 0;
    for (int y = 0; y < actual.rows; ++y) {
        for (int x = 0; x < actual.cols; ++x) {
            const cv::Vec4b a = actual.at<cv::Vec4b>(y, x), b = ref.image.at<cv::Vec4b>(y, x);
            const bool full = ref.keptFullBlur.at<uchar>(y, x) != 0;
            for (int c = 0; c < 4; ++c) {
                if (a[c] == b[c])
                    continue;
                ASSERT_TRUE(full && std::abs(a[c] - b[c]) == 1)
                    << "(" << x << ", " << y << ") channel " << c << ": " << int(a[c]) << " vs " << int(b[c])
                    << (full ? " (full blur)" : "");
                ++offByOne;
            }
        }
    }
    EXPECT_LE(offByOne, int(actual.total()) * 4 / 1000) << offByOne << " channels off by one";
}

enum class DepthKind { Random, Blocks, Smooth, Flat };
enum class ImageKind { Random, Bright };

cv::Mat makeDepth(DepthKind kind, cv::Size size, uint64_t seed)
{
    switch (kind) {
    case DepthKind::Random:
        return fixtures::randomDepth(size.width, size.height, seed);
    case DepthKind::Blocks:
        return fixtures::blockDepth(size.width, size.height, seed);
    case DepthKind::Smooth: {
        cv::Mat d = fixtures::blockDepth(size.width, size.height, seed);
        cv::GaussianBlur(d, d, cv::Size(7, 7), 0, 0);
        return d;
    }
    case DepthKind::Flat:
        break;
    }
    return cv::Mat(size, CV_8UC1, cv::Scalar(0));
}

cv::Mat makeImage(ImageKind kind, cv::Size size, uint64_t seed)
{
    cv::Mat image = fixtures::randomImage(size.width, size.height, seed);
    if (kind == ImageKind::Bright)
        image.convertTo(image, CV_8UC4, 0.4, 153); // 153..255, alpha stays 255
    return image;
}

struct ExactCase {
    blurref::Settings settings;
    int focus;
    DepthKind depth;
    ImageKind image;
    cv::Size size;
};

std::vector<ExactCase> exactCases()
{
    const int focuses[] = {0, 85, 255, 140, 37};
    const DepthKind depths[] = {DepthKind::Random, DepthKind::Blocks, DepthKind::Smooth};
    const int thresholds[] = {-1, 200, 229};
    const cv::Size sizes[] = {{37, 29}, {64, 48}};
    std::vector<ExactCase> cases;
    int i = 0;
    for (int sides : {0, 4, 5, 6, 8}) {
        for (int R = 0; R <= 12; ++R, ++i) {
            cases.push_back({{kLensKernel, R, sides, thresholds[i % 3], (i / 2) % 2}, focuses[i % 5], depths[i % 3],
                             i % 4 == 3 ? ImageKind::Bright : ImageKind::Random, sizes[i % 2]});
        }
    }
    for (int angle : {0, 8, 30, 45, 63, 64, 80, 90, 100, 135, 179, 180}) {
        for (int R : {1, 4, 9}) {
            cases.push_back({{kMotionKernel, R, angle, thresholds[i % 3], i % 2}, focuses[i % 5], depths[i % 3],
                             i % 4 == 1 ? ImageKind::Bright : ImageKind::Random, sizes[i % 2]});
            ++i;
        }
    }
    // Large blocks leave whole regions at the maximum radius.
    cases.push_back({{kLensKernel, 12, 0, 229, 1}, 255, DepthKind::Flat, ImageKind::Bright, {64, 48}});
    cases.push_back({{kLensKernel, 6, 6, 200, 0}, 0, DepthKind::Blocks, ImageKind::Bright, {64, 48}});
    return cases;
}

std::string caseName(const testing::TestParamInfo<ExactCase>& info)
{
    const ExactCase& c = info.param;
    const char* depth[] = {"random", "blocks", "smooth", "flat"};
    return std::to_string(info.index) + "_" + (c.settings.kind == kLensKernel ? "lens" : "motion") +
           std::to_string(c.settings.sidesOrAngle) + "_R" + std::to_string(c.settings.maxRadius) + "_T" +
           (c.settings.bokehThreshold < 0 ? std::string("off") : std::to_string(c.settings.bokehThreshold)) +
           (c.settings.sharpen ? "_sharp" : "") + "_f" + std::to_string(c.focus) + "_" + depth[int(c.depth)] +
           (c.image == ImageKind::Bright ? "_bright" : "") + "_" + std::to_string(c.size.width) + "x" +
           std::to_string(c.size.height);
}

class BlurExactnessTest : public testing::TestWithParam<ExactCase> {};

TEST_P(BlurExactnessTest, MatchesTheReference)
{
    const ExactCase& c = GetParam();
    const uint64_t seed = 1000 + uint64_t(c.settings.maxRadius) * 17 + uint64_t(c.settings.sidesOrAngle);
    const cv::Mat source = makeImage(c.image, c.size, seed);
    cv::Mat depth = makeDepth(c.depth, c.size, seed + 1);
    if (c.depth == DepthKind::Flat) // one big block: a maximum-radius interior
        depth(cv::Rect(c.size.width / 2, c.size.height / 3, c.size.width / 3, c.size.height / 3)).setTo(255);
    const blurref::Result ref = blurref::blurByDepth(source, depth, c.focus, c.settings);
    expectMatchesReference(runFilter(source, depth, c.focus, c.settings), ref);
}

INSTANTIATE_TEST_SUITE_P(Table, BlurExactnessTest, testing::ValuesIn(exactCases()), caseName);

// Like the save path: three flat planes (far, middle, near), scaled up with
// cubic interpolation and feathered, so that wide bands of many radii meet
// large regions of one radius, over more than one column tile.
cv::Mat featheredPlanes(cv::Size size)
{
    cv::Mat small(21, 75, CV_8UC1, cv::Scalar(0));
    small(cv::Rect(0, 11, 75, 5)).setTo(85);
    small(cv::Rect(20, 6, 14, 15)).setTo(255);
    small(cv::Rect(50, 0, 9, 12)).setTo(255);
    small(cv::Rect(62, 14, 13, 7)).setTo(255);
    cv::Mat depth;
    cv::resize(small, depth, size, 0, 0, cv::INTER_CUBIC);
    cv::GaussianBlur(depth, depth, cv::Size(7, 7), 0, 0);
    return depth;
}

TEST(BlurByDepthFilterTest, FeatheredPlanesMatchTheReference)
{
    const cv::Size size(300, 84);
    const cv::Mat depth = featheredPlanes(size);
    const cv::Mat source = makeImage(ImageKind::Bright, size, 21);
    const struct {
        blurref::Settings settings;
        int focus;
    } cases[] = {{{kLensKernel, 20, 0, 229, 0}, 255}, {{kLensKernel, 13, 0, -1, 0}, 255},
                 {{kLensKernel, 17, 6, 200, 1}, 85},  {{kLensKernel, 11, 8, -1, 0}, 0},
                 {{kMotionKernel, 14, 8, 229, 0}, 255}, {{kMotionKernel, 9, 120, -1, 1}, 170}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.settings.kind << " R " << c.settings.maxRadius << " sides "
                                        << c.settings.sidesOrAngle << " focus " << c.focus);
        expectMatchesReference(runFilter(source, depth, c.focus, c.settings),
                               blurref::blurByDepth(source, depth, c.focus, c.settings));
    }
}

class ThreadCount {
public:
    explicit ThreadCount(int n) : m_saved(cv::getNumThreads()) { cv::setNumThreads(n); }
    ~ThreadCount() { cv::setNumThreads(m_saved); }

private:
    int m_saved;
};

TEST(BlurByDepthFilterTest, OutputDoesNotDependOnTheThreadCount)
{
    const cv::Mat source = makeImage(ImageKind::Bright, {160, 120}, 5);
    const cv::Mat depth = makeDepth(DepthKind::Smooth, {160, 120}, 6);
    for (const blurref::Settings& s : {blurref::Settings{kLensKernel, 9, 0, 200, 1},
                                       blurref::Settings{kMotionKernel, 7, 120, -1, 0}}) {
        cv::Mat single;
        {
            ThreadCount one(1);
            single = runFilter(source, depth, 170, s);
        }
        const cv::Mat parallel = runFilter(source, depth, 170, s);
        EXPECT_EQ(fixtures::firstDifference(single, parallel), "");
    }
}

TEST(BlurByDepthFilterTest, FeatheredPlanesDoNotDependOnTheThreadCount)
{
    const cv::Size size(300, 84);
    const cv::Mat depth = featheredPlanes(size);
    const cv::Mat source = makeImage(ImageKind::Bright, size, 22);
    const blurref::Settings s{kLensKernel, 20, 0, 229, 0};
    cv::Mat single;
    {
        ThreadCount one(1);
        single = runFilter(source, depth, 255, s);
    }
    EXPECT_EQ(fixtures::firstDifference(single, runFilter(source, depth, 255, s)), "");
}

TEST(BlurByDepthFilterTest, RadiusZeroReturnsTheSourceUnsharpened)
{
    const cv::Mat source = makeImage(ImageKind::Bright, {50, 40}, 7);
    const cv::Mat depth = makeDepth(DepthKind::Random, {50, 40}, 8);
    for (int kind : {kLensKernel, kMotionKernel}) {
        const cv::Mat out = runFilter(source, depth, 0, {kind, 0, kind == kLensKernel ? 6 : 8, 200, 1});
        EXPECT_EQ(fixtures::firstDifference(out, source), "") << "kind " << kind;
    }
}

TEST(BlurByDepthFilterTest, NearestPlaneInFocusReturnsTheSource)
{
    // At least 300 pixels wide, so that the sharpening reference is a real
    // 3 x 3 Gaussian rather than the picture itself.
    const cv::Mat source = makeImage(ImageKind::Random, {320, 24}, 9);
    const cv::Mat depth(24, 320, CV_8UC1, cv::Scalar(255));
    EXPECT_EQ(fixtures::firstDifference(runFilter(source, depth, 255, {kLensKernel, 8, 0, 200, 0}), source), "");
    // Sharpened instead when asked: the in-focus pixels differ, alpha is 255.
    const blurref::Settings sharp{kLensKernel, 8, 0, -1, 1};
    const cv::Mat sharpened = runFilter(source, depth, 255, sharp);
    EXPECT_EQ(fixtures::firstDifference(sharpened, blurref::blurByDepth(source, depth, 255, sharp).image), "");
    EXPECT_NE(fixtures::firstDifference(sharpened, source), "");
}

TEST(BlurByDepthFilterTest, SharpForegroundDoesNotBleedIntoTheBackground)
{
    const cv::Size size(80, 60);
    const cv::Vec4b back(20, 120, 220, 255), fore(240, 30, 90, 255);
    cv::Mat source(size, CV_8UC4, cv::Scalar(back[0], back[1], back[2], 255));
    cv::Mat depth(size, CV_8UC1, cv::Scalar(0));
    const cv::Rect square(30, 20, 20, 20);
    source(square).setTo(cv::Scalar(fore[0], fore[1], fore[2], 255));
    depth(square).setTo(255);
    for (int sides : {0, 6}) {
        const cv::Mat out = runFilter(source, depth, 255, {kLensKernel, 10, sides, -1, 0});
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x)
                ASSERT_EQ(out.at<cv::Vec4b>(y, x), square.contains({x, y}) ? fore : back) << x << ", " << y;
    }
    // Focused on the background, the foreground blurs and takes in the
    // background at full weight near its edge.
    const cv::Mat out = runFilter(source, depth, 0, {kLensKernel, 10, 0, -1, 0});
    EXPECT_EQ(out.at<cv::Vec4b>(5, 5), back);
    const cv::Vec4b edge = out.at<cv::Vec4b>(30, 30);
    EXPECT_GT(edge[0], back[0]);
    EXPECT_LT(edge[0], fore[0]);
}

TEST(BlurByDepthFilterTest, RadiusGrowsWithTheDistanceFromTheFocus)
{
    // A horizontal line kernel spreads a one-pixel column over 2w + 1 columns.
    const struct {
        int maxRadius, depth, focus, radius;
    } cases[] = {{12, 85, 255, 8}, {10, 85, 255, 6}, {12, 0, 255, 12}, {7, 200, 100, 2}, {9, 60, 60, 0}};
    for (const auto& c : cases) {
        cv::Mat source(9, 61, CV_8UC4, cv::Scalar(0, 0, 0, 255));
        source.col(30).setTo(cv::Scalar(255, 255, 255, 255));
        const cv::Mat depth(9, 61, CV_8UC1, cv::Scalar(c.depth));
        const cv::Mat out = runFilter(source, depth, c.focus, {kMotionKernel, c.maxRadius, 0, -1, 0});
        cv::Mat blue;
        cv::extractChannel(out.row(4), blue, 0);
        EXPECT_EQ(cv::countNonZero(blue), 2 * c.radius + 1) << c.maxRadius << " " << c.depth << " " << c.focus;
        EXPECT_GT(blue.at<uchar>(0, 30 - c.radius), 0);
        EXPECT_GT(blue.at<uchar>(0, 30 + c.radius), 0);
    }
}

// Bokeh-on output against bokeh-off output: the pixels a stamp changed.
cv::Mat stampedPixels(const cv::Mat& source, const cv::Mat& depth, int focus, blurref::Settings s)
{
    const cv::Mat stamped = runFilter(source, depth, focus, s);
    s.bokehThreshold = -1;
    const cv::Mat plain = runFilter(source, depth, focus, s);
    cv::Mat diff, changed;
    cv::absdiff(stamped, plain, diff);
    cv::transform(diff, changed, cv::Matx14f(1, 1, 1, 1));
    return changed > 0;
}

TEST(BlurByDepthFilterTest, BokehMarksOnlyPixelsAboveTheThreshold)
{
    const struct {
        int threshold;
        cv::Vec4b pixel;
        bool stamps;
    } cases[] = {{200, {201, 201, 201, 255}, true},  {200, {200, 255, 255, 255}, false},
                 {200, {255, 255, 200, 255}, false}, {229, {230, 230, 230, 255}, true},
                 {229, {229, 240, 240, 255}, false}, {229, {210, 210, 210, 255}, false}};
    for (const auto& c : cases) {
        cv::Mat source(40, 400, CV_8UC4, cv::Scalar(40, 40, 40, 255));
        source.at<cv::Vec4b>(20, 200) = c.pixel;
        const cv::Mat depth(40, 400, CV_8UC1, cv::Scalar(0));
        const cv::Mat changed = stampedPixels(source, depth, 255, {kLensKernel, 5, 0, c.threshold, 0});
        EXPECT_EQ(cv::countNonZero(changed) > 0, c.stamps) << c.threshold << " " << cv::Mat(c.pixel).t();
        EXPECT_EQ(cv::countNonZero(changed(cv::Rect(0, 0, 190, 40))), 0);
    }
}

TEST(BlurByDepthFilterTest, StampsLeaveTheNearestPlaneAlone)
{
    const cv::Mat source = makeImage(ImageKind::Bright, {400, 60}, 11);
    cv::Mat depth(60, 400, CV_8UC1, cv::Scalar(128));
    depth(cv::Rect(100, 10, 150, 30)).setTo(255);
    const cv::Mat changed = stampedPixels(source, depth, 0, {kLensKernel, 6, 8, 200, 0});
    EXPECT_GT(cv::countNonZero(changed), 1000);
    EXPECT_EQ(cv::countNonZero(changed & (depth == 255)), 0);
}

TEST(BlurByDepthFilterTest, StampsAreClippedAtTheTopLeftCorner)
{
    const int R = 5;
    cv::Mat source(30, 400, CV_8UC4, cv::Scalar(40, 40, 40, 255));
    source.at<cv::Vec4b>(1, 2) = cv::Vec4b(250, 250, 250, 255);
    const cv::Mat depth(30, 400, CV_8UC1, cv::Scalar(0));
    for (int sides : {0, 5}) {
        const cv::Mat changed = stampedPixels(source, depth, 255, {kLensKernel, R, sides, 200, 0});
        // The stamp's top-left element sits at (2 - R, 1 - R); the kernel
        // keeps its place and only the part inside the picture is drawn.
        const cv::Mat kernel = createKernel(kLensKernel, 2 * R + 1, sides);
        cv::Mat expected(30, 400, CV_8UC1, cv::Scalar(0));
        for (int i = 0; i < kernel.rows; ++i)
            for (int j = 0; j < kernel.cols; ++j)
                if (kernel.at<uchar>(i, j) && 1 - R + i >= 0 && 2 - R + j >= 0)
                    expected.at<uchar>(1 - R + i, 2 - R + j) = 255;
        EXPECT_EQ(fixtures::firstDifference(changed, expected), "") << sides << " sides";
    }
}

TEST(BlurByDepthFilterTest, ZeroTotalWeightKeepsTheFullBlur)
{
    // A line at 135 degrees misses its centre: a background pixel amid the
    // in-focus nearest plane sees only weight-0 neighbours.
    const int R = 3;
    const cv::Mat source = makeImage(ImageKind::Random, {21, 21}, 12);
    cv::Mat depth(21, 21, CV_8UC1, cv::Scalar(255));
    depth.at<uchar>(10, 10) = 0;
    const cv::Mat out = runFilter(source, depth, 255, {kMotionKernel, R, 135, -1, 0});
    int count = 0;
    const cv::Mat kernel = createKernel(kMotionKernel, 2 * R + 1, 135, &count);
    ASSERT_EQ(kernel.at<uchar>(R, R), 0);
    cv::Mat kf, full;
    kernel.convertTo(kf, CV_32F, 1.0 / count);
    cv::filter2D(source, full, -1, kf);
    const cv::Vec4b got = out.at<cv::Vec4b>(10, 10), want = full.at<cv::Vec4b>(10, 10);
    for (int c = 0; c < 4; ++c)
        EXPECT_LE(std::abs(got[c] - want[c]), 1) << "channel " << c;
    EXPECT_EQ(fixtures::firstDifference(out, blurref::blurByDepth(source, depth, 255, {kMotionKernel, R, 135, -1, 0}).image),
              "");
}

class RecordingCallback : public EffectorCallback {
public:
    bool progress(int percent) override
    {
        values.push_back(percent);
        return true;
    }
    std::vector<int> values;
};

TEST(BlurByDepthFilterTest, ReportsProgressBeforeEveryRow)
{
    const cv::Size size(40, 230);
    const cv::Mat source = makeImage(ImageKind::Random, size, 13);
    const cv::Mat depth = makeDepth(DepthKind::Blocks, size, 14);
    RecordingCallback callback;
    runFilter(source, depth, 85, {kLensKernel, 4, 0, 200, 0}, &callback);
    std::vector<int> expected{0};
    for (int y = 0; y < size.height; ++y)
        expected.push_back(y * 100 / size.height);
    EXPECT_EQ(callback.values, expected);
    EXPECT_EQ(callback.values, blurref::blurByDepth(source, depth, 85, {kLensKernel, 4, 0, 200, 0}).progress);
}

TEST(BlurByDepthFilterTest, LogsTheElapsedTimeAndReusesTheDestination)
{
    std::vector<std::string> lines;
    const platform::SystemLogSink old = platform::setSystemLogSink([&](const std::string& s) { lines.push_back(s); });
    const cv::Mat source = makeImage(ImageKind::Random, {30, 20}, 15);
    const cv::Mat depth = makeDepth(DepthKind::Random, {30, 20}, 16);
    BlurByDepthFilter filter(kLensKernel, source, 3, 0, -1, 0);
    cv::Mat dst(20, 30, CV_8UC4);
    const uchar* buffer = dst.data;
    filter.run(depth, 0, dst);
    platform::setSystemLogSink(old);
    EXPECT_EQ(dst.data, buffer);
    ASSERT_EQ(lines.size(), 1u);
    double seconds = -1;
    char tail[8] = {};
    EXPECT_EQ(std::sscanf(lines[0].c_str(), "Elpased : %lf %7s", &seconds, tail), 2) << lines[0];
    EXPECT_EQ(std::string(tail), "secs");
    EXPECT_EQ(lines[0].back(), '\n');
    EXPECT_GE(seconds, 0.0);
}

} // namespace
