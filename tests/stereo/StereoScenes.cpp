#include "tests/stereo/StereoScenes.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdlib>

namespace stereoscenes {

namespace {

// Noise smoothed just enough that neighbouring pixels correlate, stretched
// back to the full range: a texture the matching can lock on to.
cv::Mat texture(int width, int height, cv::RNG& rng)
{
    cv::Mat noise(height, width, CV_32F);
    rng.fill(noise, cv::RNG::UNIFORM, 0.0, 1.0);
    cv::GaussianBlur(noise, noise, cv::Size(0, 0), 1.0);
    cv::normalize(noise, noise, 10, 245, cv::NORM_MINMAX);
    cv::Mat out;
    noise.convertTo(out, CV_8U);
    return out;
}

} // namespace

Scene layeredScene(int width, int height, int background, const std::vector<Box>& boxes, uint64_t seed, double noise)
{
    cv::RNG rng(seed);
    int widest = background;
    for (const Box& b : boxes)
        widest = std::max(widest, b.disparity);
    // Layer 0 is the background; layer i + 1 is boxes[i]. Textures are in
    // left-image coordinates, wide enough for what the right image shows.
    std::vector<cv::Mat> textures;
    std::vector<int> disparity = {background};
    textures.push_back(texture(width + widest + 1, height, rng));
    for (const Box& b : boxes) {
        textures.push_back(texture(width + widest + 1, height, rng));
        disparity.push_back(b.disparity);
    }
    // The front-most layer at left-coordinate x of a layer's plane.
    auto topLayer = [&](int x, int y) {
        for (int i = int(boxes.size()) - 1; i >= 0; --i)
            if (boxes[size_t(i)].area.contains(cv::Point(x, y)))
                return i + 1;
        return 0;
    };
    // The front-most layer seen at right pixel (xr, y): a layer of
    // disparity d shows there what it has at left x = xr + d.
    auto topLayerRight = [&](int xr, int y) {
        for (int i = int(boxes.size()) - 1; i >= 0; --i)
            if (boxes[size_t(i)].area.contains(cv::Point(xr + boxes[size_t(i)].disparity, y)))
                return i + 1;
        return 0;
    };

    Scene s;
    s.left.create(height, width, CV_8UC1);
    s.right.create(height, width, CV_8UC1);
    s.truth.create(height, width, CV_16SC1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int l = topLayer(x, y);
            s.left.at<uchar>(y, x) = textures[size_t(l)].at<uchar>(y, x);
            const int xr = x - disparity[size_t(l)];
            s.truth.at<int16_t>(y, x) = int16_t(xr >= 0 && topLayerRight(xr, y) == l ? disparity[size_t(l)] : -1);
            const int r = topLayerRight(x, y);
            s.right.at<uchar>(y, x) = textures[size_t(r)].at<uchar>(y, x + disparity[size_t(r)]);
        }
    }
    if (noise > 0) {
        for (cv::Mat* image : {&s.left, &s.right}) {
            cv::Mat n(height, width, CV_32F);
            rng.fill(n, cv::RNG::NORMAL, 0.0, noise);
            cv::Mat f;
            image->convertTo(f, CV_32F);
            f += n;
            f.convertTo(*image, CV_8U);
        }
    }
    return s;
}

Figures judge(const cv::Mat& leftDisparity, const cv::Mat& truth)
{
    CV_Assert(leftDisparity.type() == CV_16SC1 && truth.type() == CV_16SC1 && leftDisparity.size() == truth.size());
    Figures f;
    int bad = 0, found = 0;
    for (int y = 0; y < truth.rows; ++y) {
        for (int x = 0; x < truth.cols; ++x) {
            const int t = truth.at<int16_t>(y, x);
            const int d = leftDisparity.at<int16_t>(y, x);
            const bool occluded = d == 32767;
            if (t < 0) {
                ++f.occluded;
                found += occluded;
            } else {
                ++f.matched;
                bad += occluded || std::abs(-d - t) > 1;
            }
        }
    }
    f.badShare = f.matched ? double(bad) / f.matched : 0.0;
    f.occlusionFound = f.occluded ? double(found) / f.occluded : 1.0;
    return f;
}

} // namespace stereoscenes
