#include "Effector/ColorMask.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// One colour from the hue position t (0..255 scale, one sextant = 42.5),
// between the levels p and q in 0..1.
int hueChannel(float p, float q, float t)
{
    if (t > 255.0f)
        t -= 255.0f;
    else if (t < 0.0f)
        t += 255.0f;
    float value;
    if (t < 42.5f)
        value = p + (q - p) * t / 42.5f;
    else if (t < 127.5f)
        value = q;
    else if (t < 170.0f)
        value = p + (q - p) * (170.0f - t) / 42.5f;
    else
        value = p;
    return std::clamp(int(value * 255.0f + 0.5f), 0, 255);
}

} // namespace

HslColor rgbToHsl(int r, int g, int b)
{
    const int max = std::max({r, g, b});
    const int min = std::min({r, g, b});
    HslColor hsl;
    hsl.l = float(max + min) * 0.5f;
    if (max == min)
        return hsl;

    const float d = float(max - min);
    hsl.s = hsl.l < 128.0f ? d * 255.0f / float(max + min) : d * 255.0f / float(511 - max - min);
    float h;
    if (max == r)
        h = float(g - b) / d;
    else if (max == g)
        h = float(b - r) / d + 2.0f;
    else
        h = float(r - g) / d + 4.0f;
    hsl.h = h * 42.5f;
    if (hsl.h < 0.0f)
        hsl.h += 255.0f;
    if (hsl.h > 255.0f)
        hsl.h -= 255.0f;
    return hsl;
}

RgbColor hslToRgb(const HslColor& hsl)
{
    if (hsl.s == 0.0f) {
        const int gray = int(hsl.l);
        return {gray, gray, gray};
    }
    const float l = hsl.l, s = hsl.s;
    const float q = l < 128.0f ? l * (255.0f + s) / 65025.0f : (l + s - l * s / 255.0f) / 255.0f;
    const float p = l / 127.5f - q;
    return {hueChannel(p, q, hsl.h + 85.0f), hueChannel(p, q, hsl.h), hueChannel(p, q, hsl.h - 85.0f)};
}

void applyColorMask(cv::Mat& image, const cv::Mat& depth, int focus)
{
    CV_Assert(image.type() == CV_8UC4 && depth.type() == CV_8UC1 && !depth.empty());
    if (image.empty())
        return;
    cv::Mat mask = depth;
    if (depth.size() != image.size())
        cv::resize(depth, mask, image.size(), 0, 0, cv::INTER_CUBIC);

    for (int y = 0; y < image.rows; ++y) {
        uint8_t* p = image.ptr<uint8_t>(y);
        const uint8_t* m = mask.ptr<uint8_t>(y);
        for (int x = 0; x < image.cols; ++x, p += 4) {
            if (m[x] == focus)
                continue;
            HslColor hsl = rgbToHsl(p[2], p[1], p[0]);
            hsl.s = hsl.s * (float(255 - std::abs(focus - int(m[x]))) / 255.0f);
            const RgbColor rgb = hslToRgb(hsl);
            p[0] = uint8_t(rgb.b);
            p[1] = uint8_t(rgb.g);
            p[2] = uint8_t(rgb.r);
        }
    }
}
