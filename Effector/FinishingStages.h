// The two finishing stages that follow the depth-of-field blur, with their
// effects in a fixed order. The preview and the full-size render both run the
// first stage and then the second, on a copy of the blur result.
#pragma once

#include <opencv2/core.hpp>

struct AppData;

// Sticker effect (when m_sticker >= 1, from the document's raw depth map),
// then the colour filter m_filter. In place on a CV_8UC4 image.
void applyStickerAndFilter(const AppData& doc, cv::Mat& image, const cv::Mat& workingDepth);

// Vignette (when m_vignette >= 1), then the colour mask (when m_colorMask)
// from the working depth map and m_focusDepth. In place on a CV_8UC4 image.
void applyVignetteAndColorMask(const AppData& doc, cv::Mat& image, const cv::Mat& workingDepth);
