// Synthetic stereo pairs with a known answer: textured fronto-parallel
// layers, each seen in the right image shifted left by its disparity, and
// the figures a matcher's left map is judged by.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

namespace stereoscenes {

struct Box {
    cv::Rect area;   // in the left image
    int disparity;   // magnitude; boxes are listed back to front
};

struct Scene {
    cv::Mat left, right;  // CV_8UC1
    cv::Mat truth;        // CV_16SC1: the left pixel's disparity magnitude, or -1 where it has no match
};

// A background plane at background disparity with boxes in front of it,
// each layer with its own texture (smoothed noise from seed); noise adds
// Gaussian sensor noise of that standard deviation to both images.
Scene layeredScene(int width, int height, int background, const std::vector<Box>& boxes, uint64_t seed,
                   double noise = 0.0);

struct Figures {
    double badShare = 0;        // of pixels with a match: occluded-marked or off by more than 1
    double occlusionFound = 0;  // of pixels without a match: marked occluded (1 when there are none)
    int matched = 0, occluded = 0;
};
// leftDisparity: CV_16SC1, -magnitude or 32767 (occluded).
Figures judge(const cv::Mat& leftDisparity, const cv::Mat& truth);

} // namespace stereoscenes
