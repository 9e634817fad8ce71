// The graph-cut matcher: its answers on scenes with a known disparity, each
// move against a brute-force search, and the energy against hand-worked and
// reference values.
#include "stereo/StereoMatcherGC.h"
#include "tests/stereo/StereoScenes.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <set>

using stereoscenes::Box;
using stereoscenes::Scene;

namespace {

StereoGCParams appParams()
{
    StereoGCParams p;
    p.numberOfDisparities = 25;
    p.maxIters = 1;
    return p;
}

StereoGCParams explicitWeights(float K, float lambda1, float lambda2, int levels)
{
    StereoGCParams p;
    p.numberOfDisparities = levels;
    p.K = K;
    p.lambda1 = lambda1;
    p.lambda2 = lambda2;
    p.lambda = lambda2;
    return p;
}

cv::Mat row(std::initializer_list<int> values)
{
    cv::Mat m(1, int(values.size()), CV_8UC1);
    int x = 0;
    for (int v : values)
        m.at<uchar>(0, x++) = uchar(v);
    return m;
}

cv::Mat occludedMap(cv::Size size)
{
    return cv::Mat(size, CV_16SC1, cv::Scalar(kStereoOccluded));
}

// Every configuration one expansion to alpha can reach from start: each
// pixel keeps its pair, drops it, or takes alpha (pixels already at alpha
// keep it), with no right pixel used twice. Returns the lowest energy.
int64_t bestExpansion(const StereoMatcherGC& matcher, const cv::Mat& start, int alpha)
{
    const int w = start.cols, n = int(start.total());
    cv::Mat candidate = start.clone();
    std::vector<int> rightUse(size_t(n), 0);
    int64_t best = std::numeric_limits<int64_t>::max();
    std::function<void(int)> visit = [&](int p) {
        if (p == n) {
            best = std::min(best, matcher.energyOf(candidate));
            return;
        }
        const int x = p % w, y = p / w;
        const int16_t current = start.at<int16_t>(y, x);
        std::vector<int16_t> options;
        if (current == -alpha) {
            options = {current};
        } else {
            options.push_back(kStereoOccluded);
            if (current != kStereoOccluded)
                options.push_back(current);
            if (x - alpha >= 0)
                options.push_back(int16_t(-alpha));
        }
        for (int16_t d : options) {
            int* use = d == kStereoOccluded ? nullptr : &rightUse[size_t(y * w + x + d)];
            if (use && *use)
                continue;
            if (use)
                *use = 1;
            candidate.at<int16_t>(y, x) = d;
            visit(p + 1);
            if (use)
                *use = 0;
        }
        candidate.at<int16_t>(y, x) = current;
    };
    visit(0);
    return best;
}

// The Birchfield-Tomasi cost of left pixel p against right pixel q, from
// the definition: each value against the other's span of half-way values
// to its 4 neighbours, the smaller distance squared, capped at 1000.
int referenceCost(const cv::Mat& left, const cv::Mat& right, cv::Point p, cv::Point q)
{
    auto span = [](const cv::Mat& image, cv::Point at) {
        const double v = image.at<uchar>(at);
        double lo = v, hi = v;
        const cv::Point steps[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        for (const cv::Point& s : steps) {
            const cv::Point n = at + s;
            if (n.x < 0 || n.y < 0 || n.x >= image.cols || n.y >= image.rows)
                continue;
            const double half = (v + image.at<uchar>(n)) / 2.0;
            lo = std::min(lo, half);
            hi = std::max(hi, half);
        }
        return std::pair<double, double>(lo, hi);
    };
    auto distance = [](double v, std::pair<double, double> s) { return std::max({0.0, s.first - v, v - s.second}); };
    const double d = std::min(distance(left.at<uchar>(p), span(right, q)), distance(right.at<uchar>(q), span(left, p)));
    return std::min(int(std::floor(d * d)), 1000);
}

} // namespace

TEST(StereoMatcherGCTest, LayeredScenesAreMatchedWithTheirOcclusions)
{
    struct Case {
        const char* name;
        int background;
        std::vector<Box> boxes;
        double noise;
    } cases[] = {
        {"background 2, box 9", 2, {{cv::Rect(80, 50, 90, 80), 9}}, 1.0},
        {"background 0, boxes 6 and 15", 0, {{cv::Rect(30, 30, 80, 60), 6}, {cv::Rect(120, 90, 90, 70), 15}}, 1.0},
        {"background 5, box 24, noisy", 5, {{cv::Rect(100, 40, 100, 100), 24}}, 2.5},
        {"nested boxes 3, 11, 20", 3, {{cv::Rect(40, 20, 170, 140), 11}, {cv::Rect(90, 60, 60, 50), 20}}, 1.0},
    };
    for (const Case& c : cases) {
        const Scene s = stereoscenes::layeredScene(250, 188, c.background, c.boxes, 7, c.noise);
        cv::Mat left, right;
        findStereoCorrespondenceGC(s.left, s.right, left, right, appParams());
        const stereoscenes::Figures f = stereoscenes::judge(left, s.truth);
        RecordProperty(c.name, cv::format("bad %.3f%%, occlusions found %.1f%% of %d", 100 * f.badShare,
                                          100 * f.occlusionFound, f.occluded));
        EXPECT_LT(f.badShare, 0.01) << c.name;
        EXPECT_GT(f.occlusionFound, 0.80) << c.name;
        ASSERT_GT(f.occluded, 0) << c.name;
    }
}

TEST(StereoMatcherGCTest, MapsHoldTheirRangesAndPointAtEachOther)
{
    const Scene s = stereoscenes::layeredScene(120, 80, 2, {{cv::Rect(40, 20, 50, 40), 9}}, 3, 1.0);
    cv::Mat left, right;
    findStereoCorrespondenceGC(s.left, s.right, left, right, appParams());
    ASSERT_EQ(left.type(), CV_16SC1);
    ASSERT_EQ(right.type(), CV_16SC1);
    ASSERT_EQ(left.size(), s.left.size());
    ASSERT_EQ(right.size(), s.left.size());
    int matchedLeft = 0, matchedRight = 0;
    for (int y = 0; y < left.rows; ++y) {
        for (int x = 0; x < left.cols; ++x) {
            const int d = left.at<int16_t>(y, x);
            if (d != kStereoOccluded) {
                ++matchedLeft;
                ASSERT_TRUE(d <= 0 && d > -25) << "left (" << x << ", " << y << "): " << d;
                ASSERT_GE(x + d, 0);
                EXPECT_EQ(right.at<int16_t>(y, x + d), -d) << "left (" << x << ", " << y << ")";
            }
            const int r = right.at<int16_t>(y, x);
            if (r != kStereoOccluded) {
                ++matchedRight;
                ASSERT_TRUE(r >= 0 && r < 25 && x + r < left.cols) << "right (" << x << ", " << y << "): " << r;
                EXPECT_EQ(left.at<int16_t>(y, x + r), -r) << "right (" << x << ", " << y << ")";
            }
        }
    }
    EXPECT_EQ(matchedLeft, matchedRight);
    EXPECT_GT(matchedLeft, int(left.total()) * 9 / 10);
}

TEST(StereoMatcherGCTest, IdenticalImagesMatchAtZeroEverywhere)
{
    const Scene s = stereoscenes::layeredScene(90, 60, 0, {}, 11);
    cv::Mat left, right;
    findStereoCorrespondenceGC(s.left, s.left, left, right, appParams());
    EXPECT_EQ(cv::countNonZero(left), 0);
    EXPECT_EQ(cv::countNonZero(right), 0);
}

TEST(StereoMatcherGCTest, EachMoveIsTheBestExpansion)
{
    const StereoGCParams settings[] = {
        [] {
            StereoGCParams p;
            p.numberOfDisparities = 3;
            return p;
        }(),
        explicitWeights(20, 24, 8, 3),  // data and smoothness comparable
        explicitWeights(4, 45, 15, 3),  // smoothness dominates
    };
    cv::RNG rng(2024);
    for (const StereoGCParams& params : settings) {
        for (int trial = 0; trial < 12; ++trial) {
            // 4 x 2 pixels with both small and large intensity steps.
            cv::Mat left(2, 4, CV_8UC1), right(2, 4, CV_8UC1);
            for (cv::Mat* image : {&left, &right})
                for (int i = 0; i < 8; ++i)
                    image->at<uchar>(i / 4, i % 4) = uchar(100 + 12 * rng.uniform(0, 3) + rng.uniform(0, 4));
            StereoMatcherGC matcher(left, right, params);

            cv::Mat start = occludedMap(left.size());
            std::set<std::pair<int, int>> used;
            for (int i = 0; i < 8; ++i) {
                const int x = i % 4, y = i / 4, m = rng.uniform(-1, 3);
                if (m >= 0 && x - m >= 0 && used.insert({y, x - m}).second)
                    start.at<int16_t>(y, x) = int16_t(-m);
            }
            matcher.setLeftDisparity(start);
            const int64_t before = matcher.energy();
            const int alpha = rng.uniform(0, 3);
            const int64_t best = bestExpansion(matcher, start, alpha);

            const bool taken = matcher.expand(alpha);
            EXPECT_EQ(matcher.energy(), best) << "trial " << trial << ", alpha " << alpha;
            EXPECT_EQ(taken, best < before);
            EXPECT_EQ(matcher.energyOf(matcher.leftDisparity()), matcher.energy());
            if (!taken) {
                EXPECT_EQ(cv::countNonZero(matcher.leftDisparity() != start), 0);
            }
            matcher.setLeftDisparity(matcher.leftDisparity());  // asserts that uniqueness still holds
        }
    }
}

TEST(StereoMatcherGCTest, EnergyCountsDataOcclusionAndSmoothness)
{
    // K 10, lambda1 3, lambda2 1: in sixteenths 160, 48 and 16.
    const StereoGCParams params = explicitWeights(10, 3, 1, 3);
    const cv::Mat image = row({50, 52, 90, 91});  // steps: small, large, small
    StereoMatcherGC matcher(image, image, params);
    ASSERT_EQ(matcher.weights().K16, 160);
    ASSERT_EQ(matcher.weights().lambda1_16, 48);
    ASSERT_EQ(matcher.weights().lambda2_16, 16);

    auto map = [](std::initializer_list<int> values) {
        cv::Mat m(1, int(values.size()), CV_16SC1);
        int x = 0;
        for (int v : values)
            m.at<int16_t>(0, x++) = int16_t(v);
        return m;
    };
    const int16_t o = kStereoOccluded;
    struct Case {
        cv::Mat left;
        int64_t energy;
        const char* why;
    } cases[] = {
        {map({o, o, o, o}), 0, "nothing matched"},
        {map({o, 0, o, o}), -160 + 48 + 16, "one match: a smooth and an edge neighbour differ in activity"},
        {map({o, 0, 0, o}), -320 + 48 + 48, "neighbours of one disparity both active cost nothing"},
        // Left 90 against right 52: spans [71, 90.5] and [51, 71], distance
        // 19, cost 361; at disparity 1 both neighbour pairs exist and meet a
        // large step in one of the images.
        {map({o, o, -1, o}), 16 * 361 - 160 + 16 + 16, "a poor match"},
        // Left 52 against right 50: spans [51, 71] and [50, 51], cost 1.
        {map({o, -1, 0, o}), (16 * 1 - 160) - 160 + 16 + 16 + 48,
         "different disparities: each pair pays for its neighbour's inactive pair, where that exists"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matcher.energyOf(c.left), c.energy) << c.why;

    // Vertical neighbours count as horizontal ones do.
    const cv::Mat column = (cv::Mat_<uchar>(2, 1) << 50, 51);
    StereoMatcherGC vertical(column, column, params);
    cv::Mat top = occludedMap(column.size());
    top.at<int16_t>(0, 0) = 0;
    EXPECT_EQ(vertical.energyOf(top), -160 + 48);
}

TEST(StereoMatcherGCTest, DataTermIsTheBirchfieldTomasiCost)
{
    const Scene s = stereoscenes::layeredScene(30, 12, 3, {{cv::Rect(8, 3, 10, 6), 7}}, 5, 3.0);
    cv::Mat left = s.left.clone(), right = s.right.clone();
    left.at<uchar>(4, 10) = 0;  // a cost above the cap
    const StereoGCParams params = explicitWeights(10, 0, 0, 8);
    StereoMatcherGC matcher(left, right, params);
    for (int y = 0; y < left.rows; ++y) {
        for (int x = 0; x < left.cols; ++x) {
            for (int m = 0; m <= std::min(x, 7); ++m) {
                cv::Mat single = occludedMap(left.size());
                single.at<int16_t>(y, x) = int16_t(-m);
                const int expected = 16 * referenceCost(left, right, {x, y}, {x - m, y}) - 160;
                ASSERT_EQ(matcher.energyOf(single), expected) << "(" << x << ", " << y << ") at " << m;
            }
        }
    }
}

TEST(StereoMatcherGCTest, AutomaticWeightsComeFromTheKthSmallestCost)
{
    const Scene s = stereoscenes::layeredScene(40, 20, 2, {{cv::Rect(10, 5, 15, 10), 6}}, 9, 4.0);
    struct Case {
        int levels;
        int k;
    } cases[] = {{25, 6}, {16, 4}, {8, 3}, {2, 3}};
    for (const Case& c : cases) {
        StereoGCParams params;
        params.numberOfDisparities = c.levels;
        // The k-th smallest cost over each pixel's candidates (the largest
        // where it has fewer), averaged over the image.
        double sum = 0;
        for (int y = 0; y < s.left.rows; ++y) {
            for (int x = 0; x < s.left.cols; ++x) {
                std::vector<int> costs;
                for (int m = 0; m < c.levels && m <= x; ++m)
                    costs.push_back(referenceCost(s.left, s.right, {x, y}, {x - m, y}));
                std::sort(costs.begin(), costs.end());
                sum += costs[size_t(std::min(c.k, int(costs.size())) - 1)];
            }
        }
        const int lambda16 = int(std::lround(16.0 * 0.2 * sum / double(s.left.total())));
        StereoMatcherGC matcher(s.left, s.right, params);
        EXPECT_EQ(matcher.weights().K16, 5 * lambda16) << c.levels << " disparities";
        EXPECT_EQ(matcher.weights().lambda1_16, 3 * lambda16) << c.levels << " disparities";
        EXPECT_EQ(matcher.weights().lambda2_16, lambda16) << c.levels << " disparities";
    }
}

TEST(StereoMatcherGCTest, OrderIsFixedAndResultsRepeat)
{
    const std::vector<int> order25 = {12, 4, 7, 18, 24, 1, 13, 5, 11, 9, 10, 8, 21,
                                      16, 15, 23, 3, 14, 2, 0, 17, 20, 22, 19, 6};
    const Scene s = stereoscenes::layeredScene(100, 60, 2, {{cv::Rect(30, 15, 40, 30), 9}}, 21, 2.0);
    EXPECT_EQ(StereoMatcherGC(s.left, s.right, appParams()).order(), order25);
    for (int levels : {1, 7, 16, 40}) {
        StereoGCParams p;
        p.numberOfDisparities = levels;
        std::vector<int> order = StereoMatcherGC(s.left, s.right, p).order();
        std::sort(order.begin(), order.end());
        std::vector<int> all(static_cast<size_t>(levels));
        std::iota(all.begin(), all.end(), 0);
        EXPECT_EQ(order, all) << levels << " disparities";
    }

    cv::Mat first, second, unused;
    findStereoCorrespondenceGC(s.left, s.right, first, unused, appParams());
    const int threads = cv::getNumThreads();
    cv::setNumThreads(1);
    findStereoCorrespondenceGC(s.left, s.right, second, unused, appParams());
    cv::setNumThreads(threads);
    EXPECT_EQ(cv::countNonZero(first != second), 0);

    // The occlusion cost is kept for compatibility only.
    StereoGCParams inert = appParams();
    inert.occlusionCost = 1;
    findStereoCorrespondenceGC(s.left, s.right, second, unused, inert);
    EXPECT_EQ(cv::countNonZero(first != second), 0);
}

TEST(StereoMatcherGCTest, MovesOnlyLowerTheEnergyAndReportProgress)
{
    const Scene s = stereoscenes::layeredScene(100, 60, 2, {{cv::Rect(30, 15, 40, 30), 9}}, 4, 2.0);
    StereoGCParams params = appParams();
    params.maxIters = 3;
    StereoMatcherGC stepwise(s.left, s.right, params);
    int64_t energy = stepwise.energy();
    EXPECT_EQ(energy, 0);  // everything starts occluded
    for (int pass = 0; pass < 2; ++pass) {
        for (int level : stepwise.order()) {
            const bool taken = stepwise.expand(level);
            EXPECT_EQ(taken, stepwise.energy() < energy);
            EXPECT_LE(stepwise.energy(), energy);
            energy = stepwise.energy();
        }
    }

    StereoMatcherGC whole(s.left, s.right, params);
    std::vector<float> heard;
    whole.run([&heard](float share) { heard.push_back(share); });
    ASSERT_FALSE(heard.empty());
    EXPECT_TRUE(std::is_sorted(heard.begin(), heard.end()));
    EXPECT_GT(heard.front(), 0.0f);
    EXPECT_FLOAT_EQ(heard.back(), 1.0f);
    EXPECT_LE(whole.energy(), energy);
}

TEST(StereoMatcherGCTest, MinimumDisparityShiftsTheRange)
{
    const Scene s = stereoscenes::layeredScene(120, 70, 6, {{cv::Rect(40, 20, 50, 30), 12}}, 8, 1.0);
    StereoGCParams params;
    params.numberOfDisparities = 10;  // magnitudes 4 to 13
    params.minDisparity = 4;
    params.maxIters = 1;
    cv::Mat left, right;
    findStereoCorrespondenceGC(s.left, s.right, left, right, params);
    const stereoscenes::Figures f = stereoscenes::judge(left, s.truth);
    EXPECT_LT(f.badShare, 0.01);
    for (int y = 0; y < left.rows; ++y)
        for (int x = 0; x < left.cols; ++x)
            if (left.at<int16_t>(y, x) != kStereoOccluded) {
                ASSERT_TRUE(left.at<int16_t>(y, x) <= -4 && left.at<int16_t>(y, x) >= -13);
            }
}

TEST(StereoMatcherGCTest, TinyAndFlatImagesDoNotFail)
{
    struct Case {
        cv::Mat left, right;
        int levels;
    } cases[] = {
        {cv::Mat(1, 1, CV_8UC1, cv::Scalar(7)), cv::Mat(1, 1, CV_8UC1, cv::Scalar(7)), 25},
        {row({1, 200, 3}), row({200, 3, 90}), 25},  // fewer columns than disparities
        {cv::Mat(20, 30, CV_8UC1, cv::Scalar(128)), cv::Mat(20, 30, CV_8UC1, cv::Scalar(128)), 25},
        {cv::Mat(5, 5, CV_8UC1, cv::Scalar(0)), cv::Mat(5, 5, CV_8UC1, cv::Scalar(255)), 1},
    };
    for (const Case& c : cases) {
        StereoGCParams params = appParams();
        params.numberOfDisparities = c.levels;
        cv::Mat left, right;
        ASSERT_NO_THROW(findStereoCorrespondenceGC(c.left, c.right, left, right, params));
        EXPECT_EQ(left.size(), c.left.size());
        EXPECT_EQ(right.size(), c.left.size());
    }
    // A flat pair has no texture to match: every cost is 0, so is K, and no
    // match pays for itself.
    cv::Mat left, right;
    findStereoCorrespondenceGC(cases[2].left, cases[2].right, left, right, appParams());
    EXPECT_EQ(cv::countNonZero(left != kStereoOccluded), 0);

    EXPECT_THROW(findStereoCorrespondenceGC(cv::Mat(3, 3, CV_8UC1), cv::Mat(3, 4, CV_8UC1), left, right, appParams()),
                 cv::Exception);
    EXPECT_THROW(findStereoCorrespondenceGC(cv::Mat(3, 3, CV_8UC3), cv::Mat(3, 3, CV_8UC3), left, right, appParams()),
                 cv::Exception);
}
