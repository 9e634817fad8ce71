#include "Effector/Vignette.h"

#include <cstdint>
#include <vector>

void applyVignette(cv::Mat& image)
{
    CV_Assert(image.type() == CV_8UC4);
    const int width = image.cols, height = image.rows;
    if (width == 0 || height == 0)
        return;

    const int64_t cx = width / 2, cy = height / 2;
    std::vector<uint64_t> dx2(static_cast<size_t>(width)), dy2(static_cast<size_t>(height));
    for (int x = 0; x < width; ++x)
        dx2[size_t(x)] = uint64_t((cx - x) * (cx - x));
    for (int y = 0; y < height; ++y)
        dy2[size_t(y)] = uint64_t((cy - y) * (cy - y));
    const uint64_t r2 = uint64_t(1.5 * double(cx * cx + cy * cy));

    // 64-bit throughout: (R^2 - e) x 256 overflows 32 bits on large photos.
    for (int y = 0; y < height; ++y) {
        uint8_t* p = image.ptr<uint8_t>(y);
        for (int x = 0; x < width; ++x, p += 4) {
            const uint64_t e = dx2[size_t(x)] + dy2[size_t(y)];
            if (e >= r2) {
                // Outside the radius: only the tiniest images (1 x 1, or two or
                // three pixels in a line) have such pixels.
                p[0] = p[1] = p[2] = 0;
                p[3] = 255;
                continue;
            }
            const uint64_t f = ((r2 - e) * 256) / r2;
            if (f == 255)
                continue;
            p[0] = uint8_t((f * p[0]) / 256);
            p[1] = uint8_t((f * p[1]) / 256);
            p[2] = uint8_t((f * p[2]) / 256);
            p[3] = 255;
        }
    }
}
