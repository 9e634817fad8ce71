// The colour mask: pixels away from the focus depth lose saturation in
// proportion to their depth distance, so only the focus plane keeps its colour.
#pragma once

#include <opencv2/core.hpp>

// Hue, saturation and lightness, each on a 0..255 scale (hue wraps at 255).
struct HslColor {
    float h = 0;
    float s = 0;
    float l = 0;
};

struct RgbColor {
    int r = 0;
    int g = 0;
    int b = 0;
};

HslColor rgbToHsl(int r, int g, int b);
RgbColor hslToRgb(const HslColor& hsl);

// In place on a CV_8UC4 image. depth (CV_8UC1) is resized bicubically to the
// image when the sizes differ. Pixels whose depth equals focus are not
// touched; the others keep (255 - |focus - depth|) / 255 of their saturation.
// Alpha is left as it is.
void applyColorMask(cv::Mat& image, const cv::Mat& depth, int focus);
