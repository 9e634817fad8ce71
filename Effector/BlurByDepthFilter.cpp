#include "Effector/BlurByDepthFilter.h"

#include "Effector/EffectorCallback.h"
#include "platform/SystemLog.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

int floorLog2(int n)
{
    int level = 0;
    while ((2 << level) <= n)
        ++level;
    return level;
}

} // namespace

cv::Mat createKernel(int kind, int size, int sidesOrAngle, int* count)
{
    cv::Mat kernel(size, size, CV_8UC1);
    if (size == 1) {
        kernel.at<uchar>(0, 0) = 1;
        if (count)
            *count = 1;
        return kernel;
    }
    const int r = size / 2;
    int ones = 0;
    if (kind == kMotionKernel) {
        CV_Assert(0 <= sidesOrAngle && sidesOrAngle <= 180);
        kernel.setTo(0);
        if (sidesOrAngle == 90) {
            for (int i = 0; i < size; ++i)
                kernel.at<uchar>(i, r) = 1;
        } else {
            // The slope is rounded to float once; every row below is then
            // float arithmetic, so steep lines truncate the same way on
            // every machine.
            const float t = float(std::tan((180 - sidesOrAngle) * 0.017453292519943295));
            for (int f = 0; f < size; ++f) {
                const float rowf = float(r) - 0.5f * float(size) * t + t * float(f);
                int row = int(rowf);
                row = std::clamp(row, 0, size - 1);
                kernel.at<uchar>(row, f) = 1;
            }
        }
        ones = size;
    } else if (kind == kLensKernel) {
        // The centre sits half a pixel right of and below the middle element
        // (1.5 for size 3), which is why a size-3 disc is a 2 x 2 block.
        const float c = float(size) * 0.5f;
        const double r2 = double(r * r);
        const int n = sidesOrAngle;
        for (int i = 0; i < size; ++i) {
            uchar* row = kernel.ptr<uchar>(i);
            for (int j = 0; j < size; ++j) {
                const double y = double(float(i) - c);
                const double x = double(float(j) - c);
                const double d = x * x + y * y;
                uchar v = 0;
                if (d < r2) {
                    if (n == 0) {
                        v = 1;
                    } else {
                        // Distance to the polygon's edge relative to the
                        // circumradius; the 20-degree offset turns the
                        // polygon so that no side is axis-aligned.
                        const double phi = std::fabs(std::fmod(std::atan2(y, x) + 0.3490658503988659, 2.0 * CV_PI / n));
                        const float q = float(std::cos(phi - CV_PI / n) / std::cos(CV_PI / n));
                        v = std::sqrt(d) * double(q) < double(r) ? 1 : 0;
                    }
                }
                row[j] = v;
                ones += v;
            }
        }
    } else {
        CV_Assert(0);
    }
    if (count)
        *count = ones;
    return kernel;
}

std::vector<cv::Mat> buildKernelSet(int kind, int maxRadius, int sidesOrAngle)
{
    std::vector<cv::Mat> kernels;
    kernels.reserve(size_t(std::max(maxRadius, 0)) + 1);
    for (int radius = 0; radius <= maxRadius; ++radius)
        kernels.push_back(createKernel(kind, 2 * radius + 1, sidesOrAngle));
    return kernels;
}

BlurByDepthFilter::BlurByDepthFilter(int kind, const cv::Mat& source, int maxRadius, int sidesOrAngle,
                                     int bokehThreshold, int sharpen)
    : m_kind(kind), m_source(source), m_maxRadius(maxRadius), m_sidesOrAngle(sidesOrAngle),
      m_bokehThreshold(bokehThreshold), m_sharpen(sharpen)
{
    m_kernels = buildKernelSet(kind, maxRadius, sidesOrAngle);
    cv::copyMakeBorder(source, m_paddedSource, maxRadius, maxRadius, maxRadius, maxRadius, cv::BORDER_REPLICATE);
    m_runs.resize(m_kernels.size());
    for (size_t w = 0; w < m_kernels.size(); ++w)
        m_runs[w] = kernelRuns(m_kernels[w]);
}

BlurByDepthFilter::~BlurByDepthFilter() = default;

std::vector<BlurByDepthFilter::Run> BlurByDepthFilter::kernelRuns(const cv::Mat& kernel)
{
    // Offsets relative to the pixel being blurred, in the kernel's row-major
    // order, which is also the order the weighted sums are accumulated in.
    std::vector<Run> runs;
    const int w = kernel.rows / 2;
    for (int i = 0; i < kernel.rows; ++i) {
        const uchar* row = kernel.ptr<uchar>(i);
        for (int j = 0; j < kernel.cols;) {
            if (!row[j]) {
                ++j;
                continue;
            }
            const int start = j;
            while (j < kernel.cols && row[j])
                ++j;
            runs.push_back({i - w, start - w, j - w, floorLog2(j - start)});
        }
    }
    return runs;
}

namespace {

// Nearest integer (ties to even, as cvRound), then clamped to a byte. Values
// are compared first so that an infinite brightening or opacity (threshold
// 0) saturates instead of overflowing the integer conversion.
inline uchar roundToByte(double v)
{
    if (!(v > 0.0))
        return 0;
    if (v >= 255.0)
        return 255;
    return uchar(cvRound(v));
}

} // namespace

namespace {

// Rows per progress band. Each band's rows are shared between threads.
constexpr int kBandRows = 32;
// Columns per tile of a band.
constexpr int kTileColumns = 128;

// Nearest integer of sum / count, ties to even: the full-strength average.
inline uchar roundedAverage(int32_t sum, int32_t count)
{
    int32_t q = sum / count;
    const int32_t twice = 2 * (sum - q * count);
    if (twice > count || (twice == count && (q & 1)))
        ++q;
    return uchar(q);
}

// Adds the whole numbers v[a], ..., v[b - 1] to s one at a time in float,
// as a plain loop would, where pre(k) = v[0] + ... + v[k - 1]. While s is a
// whole number, or the sums stay below the next power of two above s (same
// exponent, and s and whole numbers are multiples of its spacing), every
// addition is exact and the loop collapses to one addition of the total.
// Only an addition that crosses a power of two can round; it is found by
// bisection and done on its own. Needs every sum below 2^24.
template <typename Prefix>
inline float addWholeNumbers(float s, const Prefix& pre, int a, int b)
{
    while (a < b) {
        const int32_t total = pre(b) - pre(a);
        if (float(int32_t(s)) == s)
            return s + float(total);
        const float limit = std::bit_cast<float>((std::bit_cast<uint32_t>(s) & 0x7f800000u) + 0x00800000u);
        if (double(s) + double(total) < double(limit))
            return s + float(total);
        int lo = a, hi = b - 1;
        const int32_t base = pre(a);
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (double(s) + double(pre(mid + 1) - base) >= double(limit))
                hi = mid;
            else
                lo = mid + 1;
        }
        s += float(pre(lo) - base);
        s += float(pre(lo + 1) - pre(lo));
        a = lo + 1;
    }
    return s;
}

// Adds the neighbours [a, b) of one padded row, all of weight 1, to the
// blue, green, red and weight sums: fl(1 * v) is v.
inline void addWeightOne(float acc[4], const int32_t* sums, int a, int b)
{
    for (int c = 0; c < 3; ++c)
        acc[c] = addWholeNumbers(acc[c], [sums, c](int k) { return sums[4 * k + c]; }, a, b);
    acc[3] = addWholeNumbers(acc[3], [](int k) { return int32_t(k); }, a, b);
}

#if defined(__x86_64__)
#define NIMBALIGHT_LANES_AVX2 1

// Eight neighbouring pixels of one row that share the kernel radius, one
// pixel per lane: each lane adds its own neighbours in kernel order with
// the same single-precision operations as the one-pixel loop (a division
// for the weight, a product, then a sum; no fused multiply-add), so every
// lane's sums are bit for bit the one-pixel sums. paddedX and paddedY are
// lane 0's position in the padded images; sums receives blue, green, red
// and weight, 8 lanes each.
__attribute__((target("avx2"))) void weightedSums8(const std::vector<BlurByDepthFilter::Run>& runs,
                                                     const cv::Mat& paddedSource, const cv::Mat& paddedDepth,
                                                     int paddedX, int paddedY, const uchar* depth8, float sums[4][8])
{
    const __m256i u = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(depth8)));
    const __m256i byte = _mm256_set1_epi32(0xff);
    const __m256i i255 = _mm256_set1_epi32(255);
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 denominator = _mm256_cvtepi32_ps(_mm256_sub_epi32(i255, u));
    __m256 sb = _mm256_setzero_ps(), sg = sb, sr = sb, sw = sb;
    for (const BlurByDepthFilter::Run& run : runs) {
        const uchar* pd = paddedDepth.ptr<uchar>(paddedY + run.dy) + paddedX + run.x0;
        const uchar* ps = paddedSource.ptr<uchar>(paddedY + run.dy) + 4 * (paddedX + run.x0);
        const int length = run.x1 - run.x0;
        for (int k = 0; k < length; ++k) {
            const __m256i J = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pd + k)));
            const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ps + 4 * k));
            const __m256 b = _mm256_cvtepi32_ps(_mm256_and_si256(p, byte));
            const __m256 g = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(p, 8), byte));
            const __m256 r = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(p, 16), byte));
            const __m256i nearer = _mm256_cmpgt_epi32(J, u);
            __m256 q = one;
            if (!_mm256_testz_si256(nearer, nearer)) {
                const __m256 fade = _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_sub_epi32(i255, J)), denominator);
                q = _mm256_blendv_ps(one, fade, _mm256_castsi256_ps(nearer));
            }
            sb = _mm256_add_ps(sb, _mm256_mul_ps(q, b));
            sg = _mm256_add_ps(sg, _mm256_mul_ps(q, g));
            sr = _mm256_add_ps(sr, _mm256_mul_ps(q, r));
            sw = _mm256_add_ps(sw, q);
        }
    }
    _mm256_storeu_ps(sums[0], sb);
    _mm256_storeu_ps(sums[1], sg);
    _mm256_storeu_ps(sums[2], sr);
    _mm256_storeu_ps(sums[3], sw);
}

bool haveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif

// Per padded row, held for the rows one band needs: prefix sums of the
// four channels (so that a run of a kernel row sums in two look-ups), the
// same over the reflected border that the full-strength blur uses, and
// maxima of the depth over power-of-two spans (so that a run answers "is
// any neighbour nearer than u" in two look-ups).
class RowTables {
public:
    RowTables(const cv::Mat& padded, const cv::Mat& reflected, const cv::Mat& paddedDepth, int ringRows, int levels)
        : m_padded(padded), m_reflected(reflected), m_depth(paddedDepth), m_ringRows(ringRows), m_levels(levels),
          m_width(padded.cols), m_sums(size_t(ringRows) * size_t(m_width + 1) * 4),
          m_reflectedSums(reflected.empty() ? 0 : m_sums.size()),
          m_maxima(size_t(ringRows) * size_t(std::max(levels, 1)) * size_t(m_width))
    {
    }

    const int32_t* sums(int py) const { return &m_sums[slot(py) * size_t(m_width + 1) * 4]; }
    const int32_t* reflectedSums(int py) const { return &m_reflectedSums[slot(py) * size_t(m_width + 1) * 4]; }
    // Element x is the maximum depth over [x, x + 2^level).
    const uchar* maxima(int py, int level) const
    {
        if (level == 0)
            return m_depth.ptr<uchar>(py);
        return &m_maxima[(slot(py) * size_t(m_levels) + size_t(level - 1)) * size_t(m_width)];
    }

    void build(int py)
    {
        prefix(m_padded.ptr<uchar>(py), &m_sums[slot(py) * size_t(m_width + 1) * 4]);
        if (!m_reflected.empty())
            prefix(m_reflected.ptr<uchar>(py), &m_reflectedSums[slot(py) * size_t(m_width + 1) * 4]);
        for (int level = 1; level <= m_levels; ++level) {
            const uchar* below = maxima(py, level - 1);
            uchar* out = &m_maxima[(slot(py) * size_t(m_levels) + size_t(level - 1)) * size_t(m_width)];
            const int half = 1 << (level - 1);
            for (int x = 0; x + 2 * half <= m_width; ++x)
                out[x] = std::max(below[x], below[x + half]);
        }
    }

private:
    size_t slot(int py) const { return size_t(py % m_ringRows); }

    void prefix(const uchar* row, int32_t* out) const
    {
        int32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        out[0] = out[1] = out[2] = out[3] = 0;
        for (int x = 0; x < m_width; ++x) {
            s0 += row[4 * x], s1 += row[4 * x + 1], s2 += row[4 * x + 2], s3 += row[4 * x + 3];
            int32_t* o = out + 4 * (x + 1);
            o[0] = s0, o[1] = s1, o[2] = s2, o[3] = s3;
        }
    }

    const cv::Mat& m_padded;
    const cv::Mat& m_reflected;
    const cv::Mat& m_depth;
    int m_ringRows;
    int m_levels;
    int m_width;
    std::vector<int32_t> m_sums;
    std::vector<int32_t> m_reflectedSums;
    std::vector<uchar> m_maxima;
};

} // namespace

void BlurByDepthFilter::run(const cv::Mat& depth, int focus, cv::Mat& dst, EffectorCallback* callback)
{
    const auto start = std::chrono::steady_clock::now();
    const int R = m_maxRadius;
    const int W = m_source.cols;
    const int H = m_source.rows;

    for (int v = 0; v < 256; ++v)
        m_radius[v] = int(float(R * std::abs(v - focus)) / 255.0f);

    dst.create(H, W, CV_8UC4);

    cv::Mat sharpRef;
    if (m_sharpen == 1) {
        int k = std::max(W, H) / 150;
        if (k % 2 == 0)
            ++k;
        cv::GaussianBlur(m_source, sharpRef, cv::Size(k, k), 0, 0);
    }

    cv::Mat paddedDepth;
    cv::copyMakeBorder(depth, paddedDepth, R, R, R, R, cv::BORDER_REPLICATE);

    cv::Mat highlights;
    if (m_bokehThreshold >= 0)
        highlights = cv::Mat::zeros(H, W, CV_8UC1);

    // Work mask: only pixels within R of a radius below R need their own
    // weighted average; the rest keep the full-strength blur. Dilation
    // ignores pixels outside the image, which is the clipped square.
    cv::Mat radii(H, W, CV_8UC1);
    cv::Mat notMax(H, W, CV_8UC1);
    for (int y = 0; y < H; ++y) {
        const uchar* d = depth.ptr<uchar>(y);
        uchar* rr = radii.ptr<uchar>(y);
        uchar* nm = notMax.ptr<uchar>(y);
        for (int x = 0; x < W; ++x) {
            const int w = m_radius[d[x]];
            rr[x] = uchar(w);
            nm[x] = w != R ? 255 : 0;
        }
    }
    cv::Mat workMask;
    cv::dilate(notMax, workMask, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * R + 1, 2 * R + 1)));

    // Full-strength blur. The library convolution sums in float (or through
    // a DFT for large kernels), so where the exact average is a tie its
    // rounding goes either way. Exact integer sums give the same value
    // except at those ties, which are about 3 / (8 c) of the channels for an
    // even count c and none for an odd one; they replace the convolution,
    // and are only computed where the value is kept, when that is at most
    // one channel in a thousand.
    const std::vector<Run>& fullRuns = m_runs[size_t(R)];
    int fullCount = 0;
    for (const Run& run : fullRuns)
        fullCount += run.x1 - run.x0;
    const bool exactFullBlur = fullCount % 2 == 1 || 8 * fullCount >= 3000;
    cv::Mat reflected;
    if (exactFullBlur) {
        cv::copyMakeBorder(m_source, reflected, R, R, R, R, cv::BORDER_REFLECT_101);
    } else {
        cv::Mat kf;
        m_kernels[size_t(R)].convertTo(kf, CV_32F, 1.0 / fullCount);
        cv::filter2D(m_source, dst, -1, kf, cv::Point(-1, -1), 0, cv::BORDER_DEFAULT);
    }

    if (callback)
        callback->progress(0);

    // Weight of a neighbour of depth J for a pixel of depth u: nearer
    // neighbours fade out linearly so a sharp foreground does not bleed into
    // the background. The table holds exactly the float quotient.
    std::vector<float> weights(256 * 256);
    for (int u = 0; u < 256; ++u)
        for (int J = 0; J < 256; ++J)
            weights[size_t(u * 256 + J)] = J <= u ? 1.0f : float(255 - J) / float(255 - u);

    // Stretches of weight-1 neighbours are added from the prefix tables
    // (see addWeightOne), which needs every sum below 2^24; beyond that
    // radius every element is added one by one.
    const int side = 2 * R + 1;
    const bool sequentialOnly = int64_t(side) * side * 255 >= (int64_t(1) << 24);
    const int levels = floorLog2(side);
    const int ringRows = kBandRows + 2 * R;
    RowTables tables(m_paddedSource, reflected, paddedDepth, ringRows, levels);

    const int threshold = m_bokehThreshold;
#ifdef NIMBALIGHT_LANES_AVX2
    const bool useLanes = haveAvx2();
#endif
    auto fullBlurAt = [&](int x, int y, uchar* o) {
        int32_t s[4] = {0, 0, 0, 0};
#if defined(__SSE2__)
        __m128i total = _mm_setzero_si128();
        for (const Run& run : fullRuns) {
            const int32_t* p = tables.reflectedSums(y + R + run.dy);
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * (x + R + run.x1)));
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * (x + R + run.x0)));
            total = _mm_add_epi32(total, _mm_sub_epi32(b, a));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(s), total);
#else
        for (const Run& run : fullRuns) {
            const int32_t* p = tables.reflectedSums(y + R + run.dy);
            const int32_t* b = p + 4 * (x + R + run.x1);
            const int32_t* a = p + 4 * (x + R + run.x0);
            for (int c = 0; c < 4; ++c)
                s[c] += b[c] - a[c];
        }
#endif
        for (int c = 0; c < 4; ++c)
            o[c] = roundedAverage(s[c], fullCount);
    };

    auto processSpan = [&](int y, int xBegin, int xEnd) {
        const uchar* d = depth.ptr<uchar>(y);
        const uchar* rr = radii.ptr<uchar>(y);
        const uchar* mask = workMask.ptr<uchar>(y);
        const uchar* src = m_paddedSource.ptr<uchar>(y + R) + 4 * R;
        uchar* out = dst.ptr<uchar>(y);
        uchar* hm = highlights.empty() ? nullptr : highlights.ptr<uchar>(y);
        const uchar* sharp = sharpRef.empty() ? nullptr : sharpRef.ptr<uchar>(y);
        if (hm) {
            for (int x = xBegin; x < xEnd; ++x) {
                const uchar* s = src + 4 * x;
                if (rr[x] >= 1 && s[0] > threshold && s[1] > threshold && s[2] > threshold)
                    hm[x] = rr[x];
            }
        }
        for (int x = xBegin; x < xEnd; ++x) {
            const int u = d[x];
            const int w = rr[x];
            const uchar* s = src + 4 * x;
            uchar* o = out + 4 * x;
#ifdef NIMBALIGHT_LANES_AVX2
            if (useLanes && w >= 1 && x + 8 <= xEnd) {
                int same = 0;
                while (same < 8 && mask[x + same] && rr[x + same] == w)
                    ++same;
                if (same == 8) {
                    float sums[4][8];
                    weightedSums8(m_runs[size_t(w)], m_paddedSource, paddedDepth, x + R, y + R, d + x, sums);
                    for (int l = 0; l < 8; ++l) {
                        uchar* ol = o + 4 * l;
                        const float sw = sums[3][l];
                        if (sw > 0.0f) {
                            ol[0] = uchar(int(sums[0][l] / sw));
                            ol[1] = uchar(int(sums[1][l] / sw));
                            ol[2] = uchar(int(sums[2][l] / sw));
                            ol[3] = 255;
                        } else if (exactFullBlur) {
                            fullBlurAt(x + l, y, ol);
                        }
                    }
                    x += 7;
                    continue;
                }
            }
#endif
            if (!mask[x]) {
                if (exactFullBlur)
                    fullBlurAt(x, y, o);
                continue;
            }
            if (w == 0) {
                if (sharp) {
                    for (int c = 0; c < 3; ++c)
                        o[c] = roundToByte(1.5 * s[c] - 0.5 * sharp[4 * x + c]);
                    o[3] = 255;
                } else {
                    o[0] = s[0], o[1] = s[1], o[2] = s[2], o[3] = s[3];
                }
                continue;
            }
            const std::vector<Run>& runs = m_runs[size_t(w)];
            const float* wt = &weights[size_t(u * 256)];
            // Blue, green, red and the weight, accumulated in kernel order.
            float acc[4] = {0.0f, 0.0f, 0.0f, 0.0f};
            for (const Run& run : runs) {
                const int py = y + R + run.dy;
                const int a = x + R + run.x0, b = x + R + run.x1;
                const uchar* pd = paddedDepth.ptr<uchar>(py);
                const uchar* ps = m_paddedSource.ptr<uchar>(py);
                if (!sequentialOnly) {
                    const int32_t* sums = tables.sums(py);
                    const uchar* m = tables.maxima(py, run.level);
                    if (std::max(m[a], m[b - (1 << run.level)]) <= u) {
                        addWeightOne(acc, sums, a, b);
                        continue;
                    }
                    for (int k = a; k < b;) {
                        if (pd[k] <= u) {
                            int e = k + 1;
                            while (e < b && pd[e] <= u)
                                ++e;
                            addWeightOne(acc, sums, k, e);
                            k = e;
                            continue;
                        }
                        // Nearer neighbours, one by one in kernel order.
                        int e = k + 1;
                        while (e < b && pd[e] > u)
                            ++e;
                        float s0 = acc[0], s1 = acc[1], s2 = acc[2], s3 = acc[3];
                        for (; k < e; ++k) {
                            const float q = wt[pd[k]];
                            s0 += q * float(ps[4 * k]);
                            s1 += q * float(ps[4 * k + 1]);
                            s2 += q * float(ps[4 * k + 2]);
                            s3 += q;
                        }
                        acc[0] = s0, acc[1] = s1, acc[2] = s2, acc[3] = s3;
                    }
                    continue;
                }
                for (int k = a; k < b; ++k) {
                    const float q = wt[pd[k]];
                    acc[0] += q * float(ps[4 * k]);
                    acc[1] += q * float(ps[4 * k + 1]);
                    acc[2] += q * float(ps[4 * k + 2]);
                    acc[3] += q;
                }
            }
            const float sb = acc[0], sg = acc[1], sr = acc[2], sw = acc[3];
            if (sw > 0.0f) {
                o[0] = uchar(int(sb / sw));
                o[1] = uchar(int(sg / sw));
                o[2] = uchar(int(sr / sw));
                o[3] = 255;
            } else if (exactFullBlur) {
                // Only a motion line without its centre can see nothing but
                // depth-255 neighbours; such a pixel keeps the full blur.
                fullBlurAt(x, y, o);
            }
        }
    };

    // Rows go out in bands so that progress is reported from this thread
    // while the rows of a band are shared between worker threads. The row
    // tables hold the padded rows of one band and its 2R neighbours; each
    // padded row is built once.
    int built = 0;
    for (int y0 = 0; y0 < H; y0 += kBandRows) {
        const int y1 = std::min(H, y0 + kBandRows);
        if (callback)
            for (int y = y0; y < y1; ++y)
                callback->progress(y * 100 / H);
        const int needed = y1 + 2 * R;
        cv::parallel_for_(cv::Range(built, needed), [&](const cv::Range& rows) {
            for (int py = rows.start; py < rows.end; ++py)
                tables.build(py);
        });
        built = needed;
        // Column tiles keep the prefix rows a tile reads within the cache.
        const int tiles = (W + kTileColumns - 1) / kTileColumns;
        cv::parallel_for_(cv::Range(0, tiles), [&](const cv::Range& range) {
            for (int t = range.start; t < range.end; ++t)
                for (int y = y0; y < y1; ++y)
                    processSpan(y, t * kTileColumns, std::min(W, (t + 1) * kTileColumns));
        });
    }

    if (!highlights.empty())
        stampHighlights(highlights, depth, dst);

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    platform::systemLog("Elpased : %lf secs\n", seconds);
}

void BlurByDepthFilter::stampHighlights(const cv::Mat& highlights, const cv::Mat& depth, cv::Mat& dst) const
{
    const int W = m_source.cols;
    const int H = m_source.rows;
    const int R = m_maxRadius;
    const int T = m_bokehThreshold;
    const double brighten = std::max(1.0, 200.0 / T);
    const float opacityScale = 16.6f / float(T);
    // About 400 samples per row whatever the width; the positions
    // accumulate in float, so a narrow picture samples some pixels twice.
    const float step = float(W) / 400.0f;
    for (float py = 0; py < float(H); py += step) {
        for (float px = 0; px < float(W); px += step) {
            const int x = int(px), y = int(py);
            const int F = highlights.at<uchar>(y, x);
            if (F == 0)
                continue;
            const uchar* s = m_paddedSource.ptr<uchar>(y + R) + 4 * (x + R);
            const int colour[3] = {roundToByte(brighten * s[0]), roundToByte(brighten * s[1]),
                                   roundToByte(brighten * s[2])};
            const int luminance = int(0.299 * s[2] + 0.587 * s[1] + 0.114 * s[0]);
            const int alpha = roundToByte(double(opacityScale * float(luminance)));
            const int left = int(px - float(F));
            const int top = int(py - float(F));
            for (const Run& run : m_runs[size_t(F)]) {
                // Run offsets are relative to the kernel centre; the stamp
                // is placed by its top-left element.
                const int ty = top + run.dy + F;
                if (ty < 0 || ty >= H)
                    continue;
                const uchar* dd = depth.ptr<uchar>(ty);
                uchar* o = dst.ptr<uchar>(ty);
                const int tx0 = std::max(0, left + run.x0 + F);
                const int tx1 = std::min(W, left + run.x1 + F);
                for (int tx = tx0; tx < tx1; ++tx) {
                    if (dd[tx] == 255)
                        continue;
                    uchar* p = o + 4 * tx;
                    for (int c = 0; c < 3; ++c)
                        p[c] = uchar(int(double(colour[c] * alpha + p[c] * (255 - alpha)) / 255.0));
                    p[3] = 255;
                }
            }
        }
    }
}
