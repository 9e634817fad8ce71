// Graph-cut stereo correspondence with occlusions, after Kolmogorov and
// Zabih ("Computing visual correspondence with occlusions using graph cuts",
// ICCV 2001), in the formulation documented by Kolmogorov, Monasse and Tan
// (IPOL 2014).
//
// Left pixel (x, y) may be paired with right pixel (x - m, y) for a disparity
// magnitude m from minDisparity to minDisparity + numberOfDisparities - 1.
// Each pixel of either image is in at most one active pair; a pixel in none
// is occluded. The energy of a set of active pairs is
//   sum over active pairs of (D - K)                 data and occlusion
// + sum over neighbouring pairs of equal disparity
//   of which exactly one is active, of V            smoothness (Potts)
// where D is the Birchfield-Tomasi dissimilarity of the two gray values
// (against the pixel's 4-neighbour half-way interval), squared and capped at
// 1000, and V is lambda1 where both images step by less than the intensity
// threshold between the two neighbours, else lambda2. It is lowered by
// alpha-expansion moves, each an exact minimum cut (maxflow), starting from
// every pixel occluded; one iteration tries every disparity once in a fixed
// order, so results are deterministic.
//
// Energies are kept in integer sixteenths: D counts 16 D, and the weights
// are rounded to sixteenths.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace maxflow { template <typename captype, typename tcaptype, typename flowtype> class Graph; }

// The occlusion marker of both disparity maps (the largest 16-bit value).
constexpr int16_t kStereoOccluded = 32767;

struct StereoGCParams {
    int numberOfDisparities = 16;  // 1 or more disparity magnitudes
    int maxIters = 2;              // passes over all disparities; 0 leaves every pixel occluded
    int Ithreshold = 5;            // intensity step below which lambda1 applies (both images)
    int interactionRadius = 1;     // Potts smoothness; 1 is the only value
    // Weights; negative means automatic. With K and lambda both automatic,
    // K is the image's average of each left pixel's k-th smallest data cost
    // over its candidate disparities (k = max(3, (n + 2) / 4), or the largest
    // available where a pixel has fewer candidates), lambda = K / 5, then
    // K = 5 lambda. lambda1 defaults to 3 lambda, lambda2 to lambda, K to
    // 5 lambda and lambda to K / 5.
    float K = -1, lambda = -1, lambda1 = -1, lambda2 = -1;
    int occlusionCost = 10000;     // kept for compatibility; has no effect
    int minDisparity = 0;          // smallest magnitude
};

// The weights a run uses, in sixteenths.
struct StereoGCWeights {
    int K16 = 0;
    int lambda1_16 = 0;
    int lambda2_16 = 0;
};

// One matching problem, for running the moves one by one (tests) or all at
// once (run). left and right: CV_8UC1, the same non-empty size.
class StereoMatcherGC {
public:
    StereoMatcherGC(const cv::Mat& left, const cv::Mat& right, const StereoGCParams& params);
    ~StereoMatcherGC();
    StereoMatcherGC(const StereoMatcherGC&) = delete;
    StereoMatcherGC& operator=(const StereoMatcherGC&) = delete;

    const StereoGCWeights& weights() const { return m_weights; }
    // The order of one pass, as levels 0 to n - 1 (magnitude minDisparity + level).
    const std::vector<int>& order() const { return m_order; }

    // All passes (params.maxIters, fewer when a pass changes nothing).
    // progress, when given, hears the share of moves done, 0 to 1.
    void run(const std::function<void(float)>& progress = {});
    // One alpha-expansion to magnitude m; true when it lowered the energy
    // (and was taken).
    bool expand(int magnitude);

    // The current left map (CV_16SC1: -magnitude, or kStereoOccluded).
    cv::Mat leftDisparity() const;
    // The right map matching it (CV_16SC1: +magnitude, or kStereoOccluded).
    cv::Mat rightDisparity() const;
    // Replaces the current pairs (a left map as above; uniqueness must hold).
    void setLeftDisparity(const cv::Mat& left);

    int64_t energy() const { return m_energy; }
    // The energy of any left map, in sixteenths.
    int64_t energyOf(const cv::Mat& left) const;

private:
    int64_t energyOfOffsets(const std::vector<int>& offsets) const;
    // 16 D for left pixel p and right pixel p + offset (offset = -magnitude).
    int cost16(int p, int offset) const
    {
        return m_cost[size_t(p) * size_t(m_levels) + size_t(-offset - m_minDisparity)];
    }
    bool inRight(int x, int offset) const { return x + offset >= 0 && x + offset < m_width; }
    int smoothness(int p, bool horizontal, int offset) const;

    int m_width, m_height;
    int m_levels;        // number of disparities
    int m_minDisparity;
    int m_maxIters;
    StereoGCWeights m_weights;
    std::vector<int> m_order;
    std::vector<int> m_cost;            // 16 D per pixel and level; unused where the pair does not exist
    std::vector<uint8_t> m_leftSmallH, m_leftSmallV, m_rightSmallH, m_rightSmallV;
    std::vector<int> m_offsets;         // per left pixel: right x - left x, or a no-match marker
    int64_t m_energy = 0;
    std::vector<int> m_nodeO, m_nodeA;  // per pixel: graph node of the current and the alpha pair
    std::vector<int> m_proposal;
    std::unique_ptr<maxflow::Graph<int, int, int>> m_pGraph;  // reused by every move
};

// The whole matching: dispLeft and dispRight become CV_16SC1 maps of the
// images' size (see StereoMatcherGC::leftDisparity and rightDisparity).
void findStereoCorrespondenceGC(const cv::Mat& left, const cv::Mat& right, cv::Mat& dispLeft, cv::Mat& dispRight,
                                const StereoGCParams& params, const std::function<void(float)>& progress = {});
