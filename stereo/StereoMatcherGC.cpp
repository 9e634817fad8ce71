#include "stereo/StereoMatcherGC.h"

#include <maxflow.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <numeric>

namespace {

// m_offsets value of an occluded left pixel.
constexpr int kNoMatch = std::numeric_limits<int>::min();
// Graph node codes besides real node ids.
constexpr int kAbsent = -1;    // the pair does not exist (falls outside the right image) or is inactive
constexpr int kAlpha = -2;     // the pair is already the alpha pair: active, not a variable
constexpr int kStaysOff = -3;  // the alpha pair exists but cannot pay for itself: inactive, not a variable
// Forbids a configuration; half the range so that cap + reverse cap fits.
constexpr int kInfinite = std::numeric_limits<int>::max() / 2;
constexpr int kDataCutoff = 1000;

// For 25 disparities, the order earlier releases tried them in: the order
// moves results by a few points on real pairs, so it is kept for
// comparability. Other counts get a fixed shuffle.
const int kOrder25[25] = {12, 4, 7, 18, 24, 1, 13, 5, 11, 9, 10, 8, 21, 16, 15, 23, 3, 14, 2, 0, 17, 20, 22, 19, 6};

std::vector<int> disparityOrder(int levels)
{
    std::vector<int> order(static_cast<size_t>(levels));
    if (levels == 25) {
        std::copy(std::begin(kOrder25), std::end(kOrder25), order.begin());
        return order;
    }
    std::iota(order.begin(), order.end(), 0);
    cv::RNG rng(0x5EED);
    for (int i = levels - 1; i > 0; --i)
        std::swap(order[size_t(i)], order[size_t(rng.uniform(0, i + 1))]);
    return order;
}

// Birchfield-Tomasi intervals in doubled units, so that the half-way values
// towards the 4 neighbours stay exact: [lo, hi] spans 2 I and every I + In.
void halfIntervals(const cv::Mat& image, std::vector<int>& lo, std::vector<int>& hi)
{
    const int w = image.cols, h = image.rows;
    lo.resize(size_t(w) * size_t(h));
    hi.resize(lo.size());
    for (int y = 0; y < h; ++y) {
        const uchar* row = image.ptr<uchar>(y);
        const uchar* up = y > 0 ? image.ptr<uchar>(y - 1) : nullptr;
        const uchar* down = y + 1 < h ? image.ptr<uchar>(y + 1) : nullptr;
        for (int x = 0; x < w; ++x) {
            const int v = row[x];
            int l = 2 * v, u = 2 * v;
            auto widen = [&](int n) {
                l = std::min(l, v + n);
                u = std::max(u, v + n);
            };
            if (x > 0)
                widen(row[x - 1]);
            if (x + 1 < w)
                widen(row[x + 1]);
            if (up)
                widen(up[x]);
            if (down)
                widen(down[x]);
            lo[size_t(y) * size_t(w) + size_t(x)] = l;
            hi[size_t(y) * size_t(w) + size_t(x)] = u;
        }
    }
}

int distanceToInterval(int v, int lo, int hi)
{
    return v < lo ? lo - v : (v > hi ? v - hi : 0);
}

int sixteenths(float value)
{
    return cvRound(16.0 * double(value));
}

} // namespace

StereoMatcherGC::StereoMatcherGC(const cv::Mat& left, const cv::Mat& right, const StereoGCParams& params)
    : m_width(left.cols), m_height(left.rows), m_levels(params.numberOfDisparities),
      m_minDisparity(params.minDisparity), m_maxIters(params.maxIters)
{
    CV_Assert(left.type() == CV_8UC1 && right.type() == CV_8UC1 && left.size() == right.size() && !left.empty());
    CV_Assert(params.numberOfDisparities > 0 && params.maxIters >= 0 && params.interactionRadius == 1);
    const int w = m_width, h = m_height;
    const size_t n = size_t(w) * size_t(h);
    m_order = disparityOrder(m_levels);

    // Data costs for every pair that exists.
    std::vector<int> leftLo, leftHi, rightLo, rightHi;
    halfIntervals(left, leftLo, leftHi);
    halfIntervals(right, rightLo, rightHi);
    m_cost.assign(n * size_t(m_levels), 0);
    const int k = std::max(3, (m_levels + 2) / 4);
    std::vector<int> candidates(static_cast<size_t>(m_levels));
    double kthSum = 0;
    int64_t kthCount = 0;
    for (int y = 0; y < h; ++y) {
        const uchar* l = left.ptr<uchar>(y);
        const uchar* r = right.ptr<uchar>(y);
        for (int x = 0; x < w; ++x) {
            const size_t p = size_t(y) * size_t(w) + size_t(x);
            int count = 0;
            for (int level = 0; level < m_levels; ++level) {
                const int xr = x - (m_minDisparity + level);
                if (xr < 0 || xr >= w)
                    continue;
                const size_t q = size_t(y) * size_t(w) + size_t(xr);
                const int toRight = distanceToInterval(2 * l[x], rightLo[q], rightHi[q]);
                const int toLeft = distanceToInterval(2 * r[xr], leftLo[p], leftHi[p]);
                const int d = std::min(toRight, toLeft);  // doubled units
                const int cost = std::min(d * d / 4, kDataCutoff);
                m_cost[p * size_t(m_levels) + size_t(level)] = 16 * cost;
                candidates[size_t(count++)] = cost;
            }
            if (count > 0) {
                const int kth = std::min(k, count) - 1;
                std::nth_element(candidates.begin(), candidates.begin() + kth, candidates.begin() + count);
                kthSum += candidates[size_t(kth)];
                ++kthCount;
            }
        }
    }

    int lambda16;
    int K16;
    if (params.K < 0 && params.lambda < 0) {
        const double averageK = kthCount > 0 ? kthSum / double(kthCount) : 0.0;
        lambda16 = cvRound(16.0 * 0.2 * averageK);
        K16 = 5 * lambda16;
    } else if (params.lambda < 0) {
        K16 = sixteenths(params.K);
        lambda16 = cvRound(double(K16) / 5.0);
    } else {
        lambda16 = sixteenths(params.lambda);
        K16 = params.K < 0 ? 5 * lambda16 : sixteenths(params.K);
    }
    m_weights.K16 = K16;
    m_weights.lambda1_16 = params.lambda1 < 0 ? 3 * lambda16 : sixteenths(params.lambda1);
    m_weights.lambda2_16 = params.lambda2 < 0 ? lambda16 : sixteenths(params.lambda2);

    // Where each image steps by less than the threshold: to the right
    // neighbour (H) and to the one below (V).
    auto steps = [&](const cv::Mat& image, std::vector<uint8_t>& horizontal, std::vector<uint8_t>& vertical) {
        horizontal.assign(n, 0);
        vertical.assign(n, 0);
        for (int y = 0; y < h; ++y) {
            const uchar* row = image.ptr<uchar>(y);
            const uchar* down = y + 1 < h ? image.ptr<uchar>(y + 1) : nullptr;
            for (int x = 0; x < w; ++x) {
                const size_t p = size_t(y) * size_t(w) + size_t(x);
                if (x + 1 < w)
                    horizontal[p] = std::abs(int(row[x]) - int(row[x + 1])) < params.Ithreshold;
                if (down)
                    vertical[p] = std::abs(int(row[x]) - int(down[x])) < params.Ithreshold;
            }
        }
    };
    steps(left, m_leftSmallH, m_leftSmallV);
    steps(right, m_rightSmallH, m_rightSmallV);

    m_offsets.assign(n, kNoMatch);
    m_proposal.assign(n, kNoMatch);
    m_nodeO.assign(n, kAbsent);
    m_nodeA.assign(n, kAbsent);
    m_energy = 0;
    // Up to two nodes per pixel; per pixel two smoothness edges for each of
    // the two node kinds and two uniqueness edges.
    m_pGraph = std::make_unique<maxflow::Graph_III>(int(2 * n), int(6 * n));
}

StereoMatcherGC::~StereoMatcherGC() = default;

int StereoMatcherGC::smoothness(int p, bool horizontal, int offset) const
{
    const bool leftSmall = horizontal ? m_leftSmallH[size_t(p)] : m_leftSmallV[size_t(p)];
    const bool rightSmall = horizontal ? m_rightSmallH[size_t(p + offset)] : m_rightSmallV[size_t(p + offset)];
    return leftSmall && rightSmall ? m_weights.lambda1_16 : m_weights.lambda2_16;
}

int64_t StereoMatcherGC::energyOfOffsets(const std::vector<int>& offsets) const
{
    int64_t data = 0, smooth = 0;
    const int w = m_width, h = m_height;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int p = y * w + x;
            const int d1 = offsets[size_t(p)];
            if (d1 != kNoMatch)
                data += cost16(p, d1) - m_weights.K16;
            // A pair of neighbouring pairs at one disparity with exactly one
            // of them active; both must exist.
            auto pair = [&](int p2, int x2, bool horizontal) {
                const int d2 = offsets[size_t(p2)];
                if (d1 == d2)
                    return;
                if (d1 != kNoMatch && inRight(x2, d1))
                    smooth += smoothness(p, horizontal, d1);
                if (d2 != kNoMatch && inRight(x, d2))
                    smooth += smoothness(p, horizontal, d2);
            };
            if (x + 1 < w)
                pair(p + 1, x + 1, true);
            if (y + 1 < h)
                pair(p + w, x, false);
        }
    }
    return data + smooth;
}

bool StereoMatcherGC::expand(int magnitude)
{
    CV_Assert(magnitude >= m_minDisparity && magnitude < m_minDisparity + m_levels);
    const int a = -magnitude;
    const int w = m_width, h = m_height;
    const int K16 = m_weights.K16;
    maxflow::Graph_III& g = *m_pGraph;
    g.reset();

    // Variables: O (the pixel's current pair; 1 = it goes inactive) and A
    // (its alpha pair; 1 = it becomes active). A node in the sink's segment
    // takes the value 1; add_tweights(n, E(1), E(0)).
    int nodes = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int p = y * w + x;
            const int d = m_offsets[size_t(p)];
            if (d == a) {
                m_nodeO[size_t(p)] = m_nodeA[size_t(p)] = kAlpha;
                continue;
            }
            if (d != kNoMatch) {
                m_nodeO[size_t(p)] = g.add_node();
                g.add_tweights(m_nodeO[size_t(p)], 0, cost16(p, d) - K16);
                ++nodes;
            } else {
                m_nodeO[size_t(p)] = kAbsent;
            }
            if (!inRight(x, a)) {
                m_nodeA[size_t(p)] = kAbsent;
                continue;
            }
            // Taking alpha changes the energy by at least its data cost less
            // every smoothness penalty it could spare the neighbours; where
            // that is still positive, no minimum takes it, and the graph
            // stays smaller (most pairs of a textured image are poor ones).
            int spared = 0;
            if (x > 0 && inRight(x - 1, a))
                spared += smoothness(p - 1, true, a);
            if (x + 1 < w && inRight(x + 1, a))
                spared += smoothness(p, true, a);
            if (y > 0)
                spared += smoothness(p - w, false, a);
            if (y + 1 < h)
                spared += smoothness(p, false, a);
            const int data = cost16(p, a) - K16;
            if (data > spared) {
                m_nodeA[size_t(p)] = kStaysOff;
                continue;
            }
            m_nodeA[size_t(p)] = g.add_node();
            g.add_tweights(m_nodeA[size_t(p)], data, 0);
            ++nodes;
        }
    }
    if (nodes == 0)
        return false;

    // Smoothness between neighbouring pairs of one disparity.
    auto pairTerms = [&](int p1, int x1, int p2, int x2, bool horizontal) {
        const int d1 = m_offsets[size_t(p1)], d2 = m_offsets[size_t(p2)];
        const int o1 = m_nodeO[size_t(p1)], o2 = m_nodeO[size_t(p2)];
        const int a1 = m_nodeA[size_t(p1)], a2 = m_nodeA[size_t(p2)];
        if (a1 != kAbsent && a2 != kAbsent) {
            const int v = smoothness(p1, horizontal, a);
            // A neighbour that holds alpha penalises staying inactive, one
            // that stays off penalises coming on.
            if (a1 >= 0 && a2 >= 0)
                g.add_edge(a1, a2, v, v);
            else if (a1 >= 0)
                g.add_tweights(a1, a2 == kAlpha ? 0 : v, a2 == kAlpha ? v : 0);
            else if (a2 >= 0)
                g.add_tweights(a2, a1 == kAlpha ? 0 : v, a1 == kAlpha ? v : 0);
        }
        if (d1 == d2) {
            if (o1 >= 0 && o2 >= 0) {
                const int v = smoothness(p1, horizontal, d1);
                g.add_edge(o1, o2, v, v);
            }
            return;
        }
        // The neighbour's pair at this pixel's disparity is inactive and
        // stays so (only alpha pairs can come on): penalise keeping ours.
        if (o1 >= 0 && inRight(x2, d1))
            g.add_tweights(o1, 0, smoothness(p1, horizontal, d1));
        if (o2 >= 0 && inRight(x1, d2))
            g.add_tweights(o2, 0, smoothness(p1, horizontal, d2));
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int p = y * w + x;
            if (x + 1 < w)
                pairTerms(p, x, p + 1, x + 1, true);
            if (y + 1 < h)
                pairTerms(p, x, p + w, x, false);
        }
    }

    // Uniqueness: a left pixel keeps its pair or takes alpha, not both; a
    // right pixel keeps its partner or gets a new one through alpha, not both.
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int p = y * w + x;
            const int o = m_nodeO[size_t(p)];
            if (o < 0)
                continue;
            if (m_nodeA[size_t(p)] >= 0)
                g.add_edge(o, m_nodeA[size_t(p)], kInfinite, 0);
            const int xq = x + m_offsets[size_t(p)] - a;  // the left pixel whose alpha pair ends where ours does
            if (xq >= 0 && xq < w && m_nodeA[size_t(y * w + xq)] >= 0)
                g.add_edge(o, m_nodeA[size_t(y * w + xq)], kInfinite, 0);
        }
    }

    g.maxflow();

    for (size_t p = 0; p < m_offsets.size(); ++p) {
        int d = m_offsets[p];
        if (m_nodeO[p] >= 0 && g.what_segment(m_nodeO[p]) == maxflow::Graph_III::SINK)
            d = kNoMatch;
        if (m_nodeA[p] >= 0 && g.what_segment(m_nodeA[p]) == maxflow::Graph_III::SINK)
            d = a;
        m_proposal[p] = d;
    }
    const int64_t energy = energyOfOffsets(m_proposal);
    if (energy >= m_energy)
        return false;
    m_offsets.swap(m_proposal);
    m_energy = energy;
    return true;
}

void StereoMatcherGC::run(const std::function<void(float)>& progress)
{
    const int moves = m_maxIters * m_levels;
    int done = 0;
    for (int iteration = 0; iteration < m_maxIters; ++iteration) {
        bool changed = false;
        for (int level : m_order) {
            changed = expand(m_minDisparity + level) || changed;
            ++done;
            if (progress)
                progress(float(done) / float(moves));
        }
        if (!changed)
            break;
    }
    if (progress && done < moves)
        progress(1.0f);
}

cv::Mat StereoMatcherGC::leftDisparity() const
{
    cv::Mat map(m_height, m_width, CV_16SC1);
    for (int y = 0; y < m_height; ++y) {
        int16_t* row = map.ptr<int16_t>(y);
        for (int x = 0; x < m_width; ++x) {
            const int d = m_offsets[size_t(y * m_width + x)];
            row[x] = d == kNoMatch ? kStereoOccluded : int16_t(d);
        }
    }
    return map;
}

cv::Mat StereoMatcherGC::rightDisparity() const
{
    cv::Mat map(m_height, m_width, CV_16SC1, cv::Scalar(kStereoOccluded));
    for (int y = 0; y < m_height; ++y) {
        int16_t* row = map.ptr<int16_t>(y);
        for (int x = 0; x < m_width; ++x) {
            const int d = m_offsets[size_t(y * m_width + x)];
            if (d != kNoMatch)
                row[x + d] = int16_t(-d);
        }
    }
    return map;
}

void StereoMatcherGC::setLeftDisparity(const cv::Mat& left)
{
    CV_Assert(left.type() == CV_16SC1 && left.rows == m_height && left.cols == m_width);
    std::vector<uint8_t> taken(m_offsets.size(), 0);
    for (int y = 0; y < m_height; ++y) {
        const int16_t* row = left.ptr<int16_t>(y);
        for (int x = 0; x < m_width; ++x) {
            int d = kNoMatch;
            if (row[x] != kStereoOccluded) {
                d = row[x];
                CV_Assert(-d >= m_minDisparity && -d < m_minDisparity + m_levels && inRight(x, d));
                uint8_t& t = taken[size_t(y * m_width + x + d)];
                CV_Assert(!t);
                t = 1;
            }
            m_offsets[size_t(y * m_width + x)] = d;
        }
    }
    m_energy = energyOfOffsets(m_offsets);
}

int64_t StereoMatcherGC::energyOf(const cv::Mat& left) const
{
    CV_Assert(left.type() == CV_16SC1 && left.rows == m_height && left.cols == m_width);
    std::vector<int> offsets(m_offsets.size(), kNoMatch);
    for (int y = 0; y < m_height; ++y) {
        const int16_t* row = left.ptr<int16_t>(y);
        for (int x = 0; x < m_width; ++x) {
            if (row[x] != kStereoOccluded) {
                CV_Assert(-row[x] >= m_minDisparity && -row[x] < m_minDisparity + m_levels && inRight(x, row[x]));
                offsets[size_t(y * m_width + x)] = row[x];
            }
        }
    }
    return energyOfOffsets(offsets);
}

void findStereoCorrespondenceGC(const cv::Mat& left, const cv::Mat& right, cv::Mat& dispLeft, cv::Mat& dispRight,
                                const StereoGCParams& params, const std::function<void(float)>& progress)
{
    StereoMatcherGC matcher(left, right, params);
    matcher.run(progress);
    dispLeft = matcher.leftDisparity();
    dispRight = matcher.rightDisparity();
}
