// The blur by depth written as plainly as it reads: every pixel, every element
// of its kernel, no work mask, one thread. The cost the filter's shortcuts are
// measured against; not used by the product.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

// source CV_8UC4, depth CV_8UC1 of its size; kernels of radius 0 to R.
void literalPass(const cv::Mat& source, const cv::Mat& depth, int focus, int R, const std::vector<cv::Mat>& kernels,
                 cv::Mat& dst);
