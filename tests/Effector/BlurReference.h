// A direct, unoptimised blur by depth: every pixel, every kernel element,
// one thread. The tests compare the production filter against it.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

namespace blurref {

struct Settings {
    int kind = 0;            // kLensKernel or kMotionKernel
    int maxRadius = 0;       // R
    int sidesOrAngle = 0;    // polygon sides (0 disc) or line angle
    int bokehThreshold = -1; // negative: no bokeh pass
    int sharpen = 0;         // 1: sharpen in-focus pixels
};

struct Result {
    cv::Mat image;           // CV_8UC4, the source's size
    cv::Mat workMask;        // CV_8UC1, the work mask M
    cv::Mat keptFullBlur;    // CV_8UC1, 255 where the output is the full-strength blur
                             // (M = 0, or a total weight of 0), before any stamp
    std::vector<int> progress; // every value reported, in order
};

Result blurByDepth(const cv::Mat& source, const cv::Mat& depth, int focus, const Settings& settings);

} // namespace blurref
