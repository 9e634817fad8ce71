#include "tests/support/Fixtures.h"

#include <sstream>

namespace fixtures {

cv::Mat randomImage(int width, int height, uint64_t seed)
{
    cv::Mat image(height, width, CV_8UC4);
    cv::RNG rng(seed);
    rng.fill(image, cv::RNG::UNIFORM, 0, 256);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.at<cv::Vec4b>(y, x)[3] = 255;
    return image;
}

cv::Mat randomDepth(int width, int height, uint64_t seed)
{
    cv::Mat depth(height, width, CV_8UC1);
    cv::RNG rng(seed);
    rng.fill(depth, cv::RNG::UNIFORM, 0, 256);
    return depth;
}

cv::Mat blockDepth(int width, int height, uint64_t seed)
{
    static const int levels[] = {0, 85, 255};
    cv::Mat depth(height, width, CV_8UC1, cv::Scalar(0));
    cv::RNG rng(seed);
    const int blocks = 3 + int(rng.uniform(0, 4));
    for (int i = 0; i < blocks; ++i) {
        const int x0 = rng.uniform(0, width), y0 = rng.uniform(0, height);
        const int x1 = rng.uniform(x0, width + 1), y1 = rng.uniform(y0, height + 1);
        depth(cv::Rect(x0, y0, x1 - x0, y1 - y0)).setTo(levels[rng.uniform(0, 3)]);
    }
    return depth;
}

cv::Mat flatImage(int width, int height, cv::Scalar bgra)
{
    return cv::Mat(height, width, CV_8UC4, bgra);
}

std::string firstDifference(const cv::Mat& a, const cv::Mat& b)
{
    std::ostringstream out;
    if (a.size() != b.size() || a.type() != b.type()) {
        out << "size or type differs: " << a.cols << "x" << a.rows << " type " << a.type() << " vs " << b.cols
            << "x" << b.rows << " type " << b.type();
        return out.str();
    }
    const int channels = a.channels();
    for (int y = 0; y < a.rows; ++y) {
        const uint8_t* pa = a.ptr<uint8_t>(y);
        const uint8_t* pb = b.ptr<uint8_t>(y);
        for (int i = 0; i < a.cols * channels; ++i) {
            if (pa[i] != pb[i]) {
                out << "(" << i / channels << ", " << y << ") channel " << i % channels << ": " << int(pa[i])
                    << " vs " << int(pb[i]);
                return out.str();
            }
        }
    }
    return {};
}

} // namespace fixtures
