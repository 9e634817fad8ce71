// The vignette: the picture darkens with the squared distance from its
// centre, to about a third of its brightness in the corners.
#pragma once

#include <opencv2/core.hpp>

// In place on a CV_8UC4 image. Pixels that get the full weight keep their
// colours; a 1 x 1 image becomes opaque black.
void applyVignette(cv::Mat& image);
