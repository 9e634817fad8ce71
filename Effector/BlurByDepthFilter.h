// Aperture kernels and the blur by depth.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

class EffectorCallback;

enum KernelKind : int { kLensKernel = 0, kMotionKernel = 1 };

// A size x size CV_8UC1 kernel of 0s and 1s (size odd): for kLensKernel a
// regular polygon of sidesOrAngle sides (0 = exact disc) centred at
// (size / 2, size / 2) in element coordinates, with circumradius size / 2
// (integer) and a vertex at -20 degrees; for kMotionKernel a line through
// the centre at sidesOrAngle degrees (0 to 180, asserted). count, when
// given, receives the number of 1-elements.
cv::Mat createKernel(int kind, int size, int sidesOrAngle, int* count = nullptr);

// Kernels of radius 0 to maxRadius (sizes 1, 3, ..., 2 maxRadius + 1).
std::vector<cv::Mat> buildKernelSet(int kind, int maxRadius, int sidesOrAngle);

// Blurs a CV_8UC4 picture by a CV_8UC1 depth map of the same size: a pixel
// of depth v gets the kernel of radius trunc(R |v - focus| / 255); nearer
// neighbours (greater depth) weigh less, so a sharp foreground does not
// bleed into the background. One filter serves one run.
class BlurByDepthFilter {
public:
    // source: CV_8UC4, not empty. maxRadius >= 0. bokehThreshold < 0 turns
    // the bokeh pass off. sharpen: 1 sharpens in-focus pixels.
    BlurByDepthFilter(int kind, const cv::Mat& source, int maxRadius, int sidesOrAngle,
                      int bokehThreshold, int sharpen);
    ~BlurByDepthFilter();
    BlurByDepthFilter(const BlurByDepthFilter&) = delete;
    BlurByDepthFilter& operator=(const BlurByDepthFilter&) = delete;

    // depth: CV_8UC1 of the source's size; focus 0 to 255. dst becomes a
    // CV_8UC4 image of the source's size with alpha 255 wherever the
    // per-pixel pass or a stamp wrote it. Progress 0, then (y * 100) / H
    // before each row y, go to callback when given.
    void run(const cv::Mat& depth, int focus, cv::Mat& dst, EffectorCallback* callback = nullptr);

    const std::vector<cv::Mat>& kernels() const { return m_kernels; }

    // A horizontal stretch of 1-elements of a kernel, as offsets from the
    // pixel being blurred: row dy, columns [x0, x1).
    struct Run {
        int dy;
        int x0;
        int x1;
        int level; // floor(log2(x1 - x0))
    };

private:
    static std::vector<Run> kernelRuns(const cv::Mat& kernel);
    void stampHighlights(const cv::Mat& highlights, const cv::Mat& depth, cv::Mat& dst) const;

    int m_kind;
    cv::Mat m_source;
    cv::Mat m_paddedSource;
    int m_radius[256] = {};
    int m_maxRadius;
    int m_sidesOrAngle;
    int m_bokehThreshold;
    std::vector<cv::Mat> m_kernels;
    int m_sharpen;
    std::vector<std::vector<Run>> m_runs; // m_runs[w]: the runs of kernel w
};
