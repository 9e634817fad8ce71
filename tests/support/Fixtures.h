// Small, generated, deterministic test images shared by every test program.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>

namespace fixtures {

// CV_8UC4 noise, alpha 255, from a fixed seed.
cv::Mat randomImage(int width, int height, uint64_t seed);
// CV_8UC1 noise over the whole 0..255 range.
cv::Mat randomDepth(int width, int height, uint64_t seed);
// CV_8UC1 with random rectangles of 0, 85 and 255 (a painted three-level map).
cv::Mat blockDepth(int width, int height, uint64_t seed);
// Every pixel the given B, G, R, A.
cv::Mat flatImage(int width, int height, cv::Scalar bgra);

// The first pixel where a and b differ, as "(x, y) channel c: 12 vs 13";
// empty when they are equal in size, type and content.
std::string firstDifference(const cv::Mat& a, const cv::Mat& b);

} // namespace fixtures
