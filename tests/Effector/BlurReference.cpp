#include "tests/Effector/BlurReference.h"

#include "Effector/BlurByDepthFilter.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdlib>

namespace blurref {

namespace {

uchar roundAndClamp(double v)
{
    return uchar(std::clamp(cvRound(v), 0, 255));
}

} // namespace

Result blurByDepth(const cv::Mat& source, const cv::Mat& depth, int focus, const Settings& settings)
{
    const int R = settings.maxRadius;
    const int W = source.cols, H = source.rows;
    const std::vector<cv::Mat> kernels = buildKernelSet(settings.kind, R, settings.sidesOrAngle);
    cv::Mat paddedSource;
    cv::copyMakeBorder(source, paddedSource, R, R, R, R, cv::BORDER_REPLICATE);

    int radius[256];
    for (int v = 0; v < 256; ++v)
        radius[v] = int(float(R * std::abs(v - focus)) / 255.0f);

    Result result;
    cv::Mat& dst = result.image;
    dst.create(H, W, CV_8UC4);

    cv::Mat sharpRef;
    if (settings.sharpen == 1) {
        int k = std::max(W, H) / 150;
        if (k % 2 == 0)
            ++k;
        cv::GaussianBlur(source, sharpRef, cv::Size(k, k), 0, 0);
    }

    cv::Mat paddedDepth;
    cv::copyMakeBorder(depth, paddedDepth, R, R, R, R, cv::BORDER_REPLICATE);

    cv::Mat highlights;
    if (settings.bokehThreshold >= 0)
        highlights = cv::Mat::zeros(H, W, CV_8UC1);

    cv::Mat& mask = result.workMask;
    mask.create(H, W, CV_8UC1);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const int w = radius[depth.at<uchar>(y, x)];
            bool work = w < R;
            for (int yy = std::max(0, y - R); !work && yy <= std::min(H - 1, y + R); ++yy)
                for (int xx = std::max(0, x - R); !work && xx <= std::min(W - 1, x + R); ++xx)
                    work = radius[depth.at<uchar>(yy, xx)] != R;
            mask.at<uchar>(y, x) = work ? 255 : 0;
        }
    }

    {
        int count = 0;
        const cv::Mat kernel = createKernel(settings.kind, 2 * R + 1, settings.sidesOrAngle, &count);
        cv::Mat kf;
        kernel.convertTo(kf, CV_32F, 1.0 / count);
        cv::filter2D(source, dst, -1, kf, cv::Point(-1, -1), 0, cv::BORDER_DEFAULT);
    }

    result.keptFullBlur = mask == 0;
    result.progress.push_back(0);
    for (int y = 0; y < H; ++y) {
        result.progress.push_back(y * 100 / H);
        for (int x = 0; x < W; ++x) {
            const int u = depth.at<uchar>(y, x);
            const int w = radius[u];
            const cv::Vec4b s = source.at<cv::Vec4b>(y, x);
            const int T = settings.bokehThreshold;
            if (!highlights.empty() && w >= 1 && s[0] > T && s[1] > T && s[2] > T)
                highlights.at<uchar>(y, x) = uchar(w);
            if (mask.at<uchar>(y, x) == 0)
                continue;
            cv::Vec4b& o = dst.at<cv::Vec4b>(y, x);
            if (w == 0) {
                if (settings.sharpen == 1) {
                    const cv::Vec4b b = sharpRef.at<cv::Vec4b>(y, x);
                    for (int c = 0; c < 3; ++c)
                        o[c] = roundAndClamp(1.5 * s[c] - 0.5 * b[c]);
                    o[3] = 255;
                } else {
                    o = s;
                }
                continue;
            }
            const cv::Mat& kernel = kernels[size_t(w)];
            float sumW = 0, sumB = 0, sumG = 0, sumR = 0;
            for (int i = 0; i < kernel.rows; ++i) {
                for (int j = 0; j < kernel.cols; ++j) {
                    if (kernel.at<uchar>(i, j) != 1)
                        continue;
                    const int px = x - w + j + R, py = y - w + i + R;
                    const cv::Vec4b n = paddedSource.at<cv::Vec4b>(py, px);
                    const int J = paddedDepth.at<uchar>(py, px);
                    const float weight = J <= u ? 1.0f : float(255 - J) / float(255 - u);
                    sumW += weight;
                    sumB += weight * float(n[0]);
                    sumG += weight * float(n[1]);
                    sumR += weight * float(n[2]);
                }
            }
            // A total weight of 0 (a motion line without its centre that
            // sees only depth 255) keeps the full blur.
            if (sumW > 0.0f) {
                o[0] = uchar(int(sumB / sumW));
                o[1] = uchar(int(sumG / sumW));
                o[2] = uchar(int(sumR / sumW));
                o[3] = 255;
            } else {
                result.keptFullBlur.at<uchar>(y, x) = 255;
            }
        }
    }

    if (!highlights.empty()) {
        const int T = settings.bokehThreshold;
        const double A = std::max(1.0, 200.0 / T);
        const float S = 16.6f / float(T);
        const float step = float(W) / 400.0f;
        for (float py = 0; py < float(H); py += step) {
            for (float px = 0; px < float(W); px += step) {
                const int x = int(px), y = int(py);
                const int F = highlights.at<uchar>(y, x);
                if (F == 0)
                    continue;
                const cv::Vec4b s = source.at<cv::Vec4b>(y, x);
                int colour[3];
                for (int c = 0; c < 3; ++c)
                    colour[c] = roundAndClamp(A * s[c]);
                const int luminance = int(0.299 * s[2] + 0.587 * s[1] + 0.114 * s[0]);
                const int alpha = std::clamp(cvRound(S * float(luminance)), 0, 255);
                const int left = int(px - float(F)), top = int(py - float(F));
                const cv::Mat& kernel = kernels[size_t(F)];
                for (int i = 0; i < kernel.rows; ++i) {
                    for (int j = 0; j < kernel.cols; ++j) {
                        const int tx = left + j, ty = top + i;
                        if (kernel.at<uchar>(i, j) != 1 || tx < 0 || tx >= W || ty < 0 || ty >= H)
                            continue;
                        if (depth.at<uchar>(ty, tx) == 255)
                            continue;
                        cv::Vec4b& o = dst.at<cv::Vec4b>(ty, tx);
                        for (int c = 0; c < 3; ++c)
                            o[c] = uchar(int(double(colour[c] * alpha + o[c] * (255 - alpha)) / 255.0));
                        o[3] = 255;
                    }
                }
            }
        }
    }
    return result;
}

} // namespace blurref
