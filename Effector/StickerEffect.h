// The sticker effect: the near subject stays as it is, framed by a white
// outline with a soft shadow, on a darkened picture.
#pragma once

#include <opencv2/core.hpp>

// In place on a CV_8UC4 image; rawDepth is the document's depth map
// (CV_8UC1, any size: its contours are scaled onto the image). Alpha ends
// at 255 everywhere.
void applyStickerEffect(cv::Mat& image, const cv::Mat& rawDepth);
