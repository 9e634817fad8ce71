#include "bench/LiteralBlur.h"

#include <opencv2/core.hpp>

#include <cstdlib>

// Every pixel, every element of its kernel, no work mask, one thread: the
// cost the filter's shortcuts are measured against.
void literalPass(const cv::Mat& source, const cv::Mat& depth, int focus, int R, const std::vector<cv::Mat>& kernels,
                 cv::Mat& dst)
{
    cv::Mat ps, pd;
    cv::copyMakeBorder(source, ps, R, R, R, R, cv::BORDER_REPLICATE);
    cv::copyMakeBorder(depth, pd, R, R, R, R, cv::BORDER_REPLICATE);
    dst.create(source.size(), CV_8UC4);
    for (int y = 0; y < source.rows; ++y) {
        for (int x = 0; x < source.cols; ++x) {
            const int u = depth.at<uchar>(y, x);
            const int w = int(float(R * std::abs(u - focus)) / 255.0f);
            const cv::Mat& k = kernels[size_t(w)];
            float sw = 0, sb = 0, sg = 0, sr = 0;
            for (int i = 0; i < k.rows; ++i) {
                for (int j = 0; j < k.cols; ++j) {
                    if (!k.at<uchar>(i, j))
                        continue;
                    const cv::Vec4b n = ps.at<cv::Vec4b>(y - w + i + R, x - w + j + R);
                    const int J = pd.at<uchar>(y - w + i + R, x - w + j + R);
                    const float q = J <= u ? 1.0f : float(255 - J) / float(255 - u);
                    sw += q;
                    sb += q * float(n[0]);
                    sg += q * float(n[1]);
                    sr += q * float(n[2]);
                }
            }
            cv::Vec4b& o = dst.at<cv::Vec4b>(y, x);
            if (sw > 0)
                o = cv::Vec4b(uchar(int(sb / sw)), uchar(int(sg / sw)), uchar(int(sr / sw)), 255);
        }
    }
}
