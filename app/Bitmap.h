// A pixel buffer: the bridge between platform images and matrices.
//
// 32-bit buffers hold B, G, R, A bytes per pixel (alpha-first 32-bit
// little-endian words, not premultiplied); 8-bit buffers hold gray. Wrap the
// buffer in a cv::Mat(height, width, CV_8UC4 or CV_8UC1, data, bytesPerRow).
#pragma once

#include "platform/Image.h"

#include <cstdint>

struct Bitmap {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerRow = 0;
    int32_t bitsPerPixel = 32;
    uint8_t* data = nullptr;
    bool ownsData = false;

    // A new 32-bit buffer of width x height (contents undefined), owned.
    Bitmap(int32_t width, int32_t height);
    // Wraps a foreign buffer without copying; the buffer is never freed here.
    Bitmap(int32_t width, int32_t height, int32_t bytesPerRow, uint8_t* data, int32_t bitsPerPixel);
    // A new 32-bit buffer holding image drawn upright at its own size,
    // nearest-neighbour, opaque (alpha 255). With ownsData false the caller
    // takes the buffer and frees it with delete[].
    Bitmap(const platform::Image& image, bool ownsData);
    ~Bitmap();

    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    // A copy of the pixels as a platform image: gray for 8-bit buffers,
    // colour (QImage::Format_ARGB32) for 32-bit ones.
    platform::Image toImage() const;
};
