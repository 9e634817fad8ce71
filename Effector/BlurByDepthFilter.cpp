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
// blue, green, red and weight sums: fl(1 * v) is v. sums holds the prefix
// sums of blue, green and red one after the other, stride apart.
inline void addWeightOne(float acc[4], const int32_t* sums, size_t stride, int a, int b)
{
    for (int c = 0; c < 3; ++c) {
        const int32_t* plane = sums + size_t(c) * stride;
        acc[c] = addWholeNumbers(acc[c], [plane](int k) { return plane[k]; }, a, b);
    }
    acc[3] = addWholeNumbers(acc[3], [](int k) { return int32_t(k); }, a, b);
}

#if defined(__x86_64__)
#define NIMBALIGHT_LANES_AVX2 1

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
          m_width(padded.cols), m_sums(size_t(ringRows) * size_t(m_width + 1) * 3),
          m_reflectedSums(reflected.empty() ? 0 : size_t(ringRows) * size_t(m_width + 1) * 4),
          m_maxima(size_t(ringRows) * size_t(std::max(levels, 1)) * size_t(m_width)), m_slots(size_t(padded.rows))
    {
        for (size_t py = 0; py < m_slots.size(); ++py)
            m_slots[py] = py % size_t(ringRows);
    }

    // Blue, green and red prefix sums of a padded row, each planeStride()
    // long: element k of a plane is the sum over columns [0, k).
    const int32_t* sums(int py) const { return &m_sums[slot(py) * planeStride() * 3]; }
    size_t planeStride() const { return size_t(m_width + 1); }
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
        planarPrefix(m_padded.ptr<uchar>(py), &m_sums[slot(py) * planeStride() * 3]);
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
    // Looked up rather than divided: the blur asks for a row's slot once
    // per kernel row and pixel.
    size_t slot(int py) const { return m_slots[size_t(py)]; }

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

    void planarPrefix(const uchar* row, int32_t* out) const
    {
        int32_t* b = out;
        int32_t* g = out + planeStride();
        int32_t* r = out + 2 * planeStride();
        int32_t s0 = 0, s1 = 0, s2 = 0;
        b[0] = g[0] = r[0] = 0;
        for (int x = 0; x < m_width; ++x) {
            s0 += row[4 * x], s1 += row[4 * x + 1], s2 += row[4 * x + 2];
            b[x + 1] = s0, g[x + 1] = s1, r[x + 1] = s2;
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
    std::vector<size_t> m_slots;
};

// One row of a kernel as a stretch of offsets [x0, x1) from the pixel being
// blurred; x0 == x1 for a row without 1-elements.
struct Span {
    int x0;
    int x1;
};

#ifdef NIMBALIGHT_LANES_AVX2
#define NIMBALIGHT_AVX2 __attribute__((target("avx2")))

// The exact full-strength sums of the four channels of two neighbouring
// pixels at once; paddedX, paddedY: the first one's position in the padded
// images.
NIMBALIGHT_AVX2 void fullSums2(const std::vector<BlurByDepthFilter::Run>& runs, const RowTables& tables, int paddedX,
                               int paddedY, int32_t sums[8])
{
    __m256i total = _mm256_setzero_si256();
    for (const BlurByDepthFilter::Run& run : runs) {
        const int32_t* p = tables.reflectedSums(paddedY + run.dy);
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 4 * (paddedX + run.x1)));
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 4 * (paddedX + run.x0)));
        total = _mm256_add_epi32(total, _mm256_sub_epi32(b, a));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums), total);
}

// The blue, green, red and weight sums of eight pixels, one per lane.
struct LaneSums {
    __m256 c[4];
};

// Prefix sums of one channel (or, for the weight, the column itself) at
// the given lane-relative columns.
NIMBALIGHT_AVX2 inline __m256i prefixAt(const int32_t* plane, __m256i columns, bool contiguous, int first)
{
    if (contiguous)
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(plane + first));
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(plane), columns, 4);
}

// Adds the whole numbers total (per lane) to s where, as in addWholeNumbers,
// adding them one at a time could not round: s is whole, or the sum stays
// below the power of two above s. Lanes where that fails return their bit in
// the result and keep s; the caller adds them the slow way.
NIMBALIGHT_AVX2 inline unsigned addExactTotals(__m256& s, __m256i total)
{
    const __m256 t = _mm256_cvtepi32_ps(total);
    const __m256 whole = _mm256_cmp_ps(_mm256_round_ps(s, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC), s, _CMP_EQ_OQ);
    const __m256 limit = _mm256_castsi256_ps(_mm256_add_epi32(
        _mm256_and_si256(_mm256_castps_si256(s), _mm256_set1_epi32(0x7f800000)), _mm256_set1_epi32(0x00800000)));
    // limit - s is exact (both in [limit / 2, limit]), and so is t.
    const __m256 fits = _mm256_cmp_ps(t, _mm256_sub_ps(limit, s), _CMP_LT_OQ);
    const __m256 ok = _mm256_or_ps(whole, fits);
    s = _mm256_blendv_ps(s, _mm256_add_ps(s, t), ok);
    return unsigned(~_mm256_movemask_ps(ok)) & 0xffu;
}

// Eight neighbouring pixels of one row, one per lane, each with its own
// kernel radius (0 for a lane that takes no part). Every lane adds its own
// neighbours in its own kernel order with the same single-precision
// operations as the one-pixel loop (a division for the weight, a product,
// then a sum; no fused multiply-add), so each lane's sums are bit for bit
// the one-pixel sums. The lanes walk the rows of the largest kernel in
// row-major order; an element outside a lane's kernel has weight 0 there,
// and adding 0 * v leaves a sum unchanged. Stretches in which no lane has a
// nearer neighbour are added from the prefix tables where that is exact.
class LaneGroup {
public:
    LaneGroup(const std::vector<std::vector<Span>>& spans, const RowTables& tables, const cv::Mat& paddedSource,
              const cv::Mat& paddedDepth, bool batch)
        : m_spans(spans), m_tables(tables), m_source(paddedSource), m_depth(paddedDepth), m_batch(batch)
    {
    }

    // paddedX, paddedY: lane 0's position in the padded images; depth8: the
    // eight pixels' depths; laneW: their radii. sums receives blue, green,
    // red and weight, 8 lanes each.
    NIMBALIGHT_AVX2 void sums(const int laneW[8], int paddedX, int paddedY, const uchar* depth8, float out[4][8])
    {
        int wmax = 0, umin = 255, umax = 0;
        for (int l = 0; l < 8; ++l) {
            if (laneW[l]) {
                wmax = std::max(wmax, laneW[l]);
                umin = std::min(umin, int(depth8[l]));
                umax = std::max(umax, int(depth8[l]));
            }
        }
        m_below255 = umax < 255;
        m_u = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(depth8)));
        m_denominator = _mm256_cvtepi32_ps(_mm256_sub_epi32(_mm256_set1_epi32(255), m_u));
        for (__m256& c : m_sums.c)
            c = _mm256_setzero_ps();
        m_x = paddedX;
        bool oneRadius = true;
        unsigned lanes = 0;
        for (int l = 0; l < 8; ++l) {
            if (laneW[l]) {
                lanes |= 1u << l;
                oneRadius = oneRadius && laneW[l] == wmax;
            }
        }
        if (oneRadius) {
            // The usual case away from depth changes: one kernel for all.
            const __m256i taking = _mm256_cmpgt_epi32(
                _mm256_and_si256(_mm256_set1_epi32(int(lanes)), _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128)),
                _mm256_setzero_si256());
            m_same = true;
            for (int dy = -wmax; dy <= wmax; ++dy) {
                const Span span = m_spans[size_t(wmax)][size_t(dy + wmax)];
                if (span.x0 >= span.x1)
                    continue;
                _mm256_store_si256(reinterpret_cast<__m256i*>(m_x0),
                                   _mm256_and_si256(_mm256_set1_epi32(span.x0), taking));
                _mm256_store_si256(reinterpret_cast<__m256i*>(m_x1),
                                   _mm256_and_si256(_mm256_set1_epi32(span.x1), taking));
                m_sharedX0 = span.x0;
                m_sharedX1 = span.x1;
                addRow<true>(paddedY + dy, span.x0, span.x1, umin);
            }
        } else {
            mixedRadii(laneW, wmax, paddedY, umin);
        }
        for (int c = 0; c < 4; ++c)
            _mm256_storeu_ps(out[c], m_sums.c[c]);
    }

private:
    // Near depth changes: each row's stretch is the union of the lanes' own.
    NIMBALIGHT_AVX2 void mixedRadii(const int laneW[8], int wmax, int paddedY, int umin)
    {
        for (int dy = -wmax; dy <= wmax; ++dy) {
            int X0 = INT32_MAX, X1 = INT32_MIN;
            bool same = true;
            int first = -1;
            for (int l = 0; l < 8; ++l) {
                const int w = laneW[l];
                Span span{0, 0};
                if (w && dy >= -w && dy <= w)
                    span = m_spans[size_t(w)][size_t(dy + w)];
                m_x0[l] = span.x0;
                m_x1[l] = span.x1;
                if (span.x0 < span.x1) {
                    if (first < 0)
                        first = l;
                    else if (span.x0 != m_x0[first] || span.x1 != m_x1[first])
                        same = false;
                    X0 = std::min(X0, span.x0);
                    X1 = std::max(X1, span.x1);
                }
            }
            if (first < 0)
                continue;
            m_same = same;
            m_sharedX0 = X0;
            m_sharedX1 = X1;
            if (same)
                addRow<true>(paddedY + dy, X0, X1, umin);
            else
                addRow<false>(paddedY + dy, X0, X1, umin);
        }
    }

    // Lanes whose kernel holds column offset dx of the current row.
    NIMBALIGHT_AVX2 __m256i activeAt(int dx) const
    {
        const __m256i d = _mm256_set1_epi32(dx);
        const __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m_x0));
        const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m_x1));
        return _mm256_andnot_si256(_mm256_cmpgt_epi32(x0, d), _mm256_cmpgt_epi32(x1, d));
    }

    // Same: every lane taking part in the row has the stretch [X0, X1).
    template <bool Same>
    NIMBALIGHT_AVX2 void addRow(int py, int X0, int X1, int umin)
    {
        const uchar* pd = m_depth.ptr<uchar>(py) + m_x;
        const uchar* ps = m_source.ptr<uchar>(py) + 4 * m_x;
        m_rowEnd = m_depth.cols;
        // Lanes taking part in the row, when they all share one stretch.
        const __m256i active = Same ? activeAt(X0) : _mm256_setzero_si256();
        const __m256i i255 = _mm256_set1_epi32(255);
        if (m_batch) {
            // No lane has a nearer neighbour anywhere in the row.
            const int a = m_x + X0, length = X1 - X0 + 7;
            const int level = floorLog2(length);
            const uchar* m = m_tables.maxima(py, level);
            if (std::max(m[a], m[a + length - (1 << level)]) <= umin) {
                addOnes(py, ps, X0, X1, active);
                return;
            }
        }
        const __m256i byte = _mm256_set1_epi32(0xff);
        const __m256 one = _mm256_set1_ps(1.0f);
        const __m256 sharedOne = _mm256_and_ps(one, _mm256_castsi256_ps(active));
        // The sums stay in registers between stretches of weight 1.
        __m256 sb = m_sums.c[0], sg = m_sums.c[1], sr = m_sums.c[2], sw = m_sums.c[3];
        __m256i lastJ = _mm256_set1_epi32(-1);
        __m256 fade = _mm256_setzero_ps();
        int pending = X0;
        for (int dx = X0; dx < X1; ++dx) {
            const __m256i J = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pd + dx)));
            const __m256i act = Same ? active : activeAt(dx);
            const __m256i nearer = _mm256_and_si256(_mm256_cmpgt_epi32(J, m_u), act);
            if (_mm256_testz_si256(nearer, nearer)) {
                // This element has weight 1 in every lane. Skip ahead over
                // the next ones whose eight depths are all at or below the
                // lowest lane depth, checking 32 depths at a time.
                const int end = std::min(X1 + 7, m_rowEnd - m_x - 31);
                int k = dx + 1;
                while (k < end) {
                    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pd + k));
                    const unsigned above = ~unsigned(_mm256_movemask_epi8(
                        _mm256_cmpeq_epi8(_mm256_subs_epu8(v, _mm256_set1_epi8(char(umin))), _mm256_setzero_si256())));
                    if (above) {
                        k += std::countr_zero(above);
                        break;
                    }
                    k += 32;
                }
                // Elements up to k - 8 see only depths before k.
                if (k - 8 > dx)
                    dx = std::min(k - 8, X1 - 1);
                continue;
            }
            if (pending < dx) {
                m_sums.c[0] = sb, m_sums.c[1] = sg, m_sums.c[2] = sr, m_sums.c[3] = sw;
                addOnes(py, ps, pending, dx, active);
                sb = m_sums.c[0], sg = m_sums.c[1], sr = m_sums.c[2], sw = m_sums.c[3];
            }
            pending = dx + 1;
            // Weight 0 in every lane (every lane taking part has a nearer
            // neighbour of depth 255 here): the element changes no sum, and
            // neither do the next ones while all eight depths are 255 and no
            // lane has depth 255 itself.
            if (_mm256_testc_si256(_mm256_and_si256(_mm256_cmpeq_epi32(J, i255), nearer), act)) {
                if (m_below255) {
                    const int end = std::min(X1 + 7, m_rowEnd - m_x - 31);
                    int k = dx + 1;
                    while (k < end) {
                        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pd + k));
                        const unsigned other =
                            ~unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(char(0xff)))));
                        if (other) {
                            k += std::countr_zero(other);
                            break;
                        }
                        k += 32;
                    }
                    if (k - 8 > dx) {
                        dx = std::min(k - 8, X1 - 1);
                        pending = dx + 1;
                    }
                }
                continue;
            }
            const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ps + 4 * dx));
            const __m256 b = _mm256_cvtepi32_ps(_mm256_and_si256(p, byte));
            const __m256 g = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(p, 8), byte));
            const __m256 r = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(p, 16), byte));
            // Nearer neighbours mostly come in planes of one depth: the
            // quotients of the last element are reused when J repeats.
            if (!_mm256_testc_si256(_mm256_cmpeq_epi32(J, lastJ), _mm256_set1_epi32(-1))) {
                lastJ = J;
                fade = _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_sub_epi32(i255, J)), m_denominator);
            }
            const __m256 q = _mm256_blendv_ps(Same ? sharedOne : _mm256_and_ps(one, _mm256_castsi256_ps(act)), fade,
                                              _mm256_castsi256_ps(nearer));
            sb = _mm256_add_ps(sb, _mm256_mul_ps(q, b));
            sg = _mm256_add_ps(sg, _mm256_mul_ps(q, g));
            sr = _mm256_add_ps(sr, _mm256_mul_ps(q, r));
            sw = _mm256_add_ps(sw, q);
        }
        m_sums.c[0] = sb, m_sums.c[1] = sg, m_sums.c[2] = sr, m_sums.c[3] = sw;
        if (pending < X1)
            addOnes(py, ps, pending, X1, active);
    }

    // Adds the elements [d0, d1) of the row, where every lane's weight is 1
    // (or 0 outside its kernel). active: as in addRow.
    NIMBALIGHT_AVX2 void addOnes(int py, const uchar* ps, int d0, int d1, __m256i active)
    {
        if (m_batch && d1 - d0 >= kMinBatch) {
            addOnesFromPrefix(py, d0, d1, active);
            return;
        }
        addOnesOneByOne(ps, d0, d1, active);
    }

    // Element by element: fl(1 * v) is v and fl(0 * v) is 0, so each lane's
    // sums take v, or nothing outside its kernel.
    NIMBALIGHT_AVX2 void addOnesOneByOne(const uchar* ps, int d0, int d1, __m256i active)
    {
        const __m256i byte = _mm256_set1_epi32(0xff);
        const __m256 one = _mm256_set1_ps(1.0f);
        __m256 sb = m_sums.c[0], sg = m_sums.c[1], sr = m_sums.c[2], sw = m_sums.c[3];
        for (int dx = d0; dx < d1; ++dx) {
            const __m256 act = _mm256_castsi256_ps(m_same ? active : activeAt(dx));
            const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ps + 4 * dx));
            const __m256 b = _mm256_cvtepi32_ps(_mm256_and_si256(p, byte));
            const __m256 g = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(p, 8), byte));
            const __m256 r = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(p, 16), byte));
            sb = _mm256_add_ps(sb, _mm256_and_ps(b, act));
            sg = _mm256_add_ps(sg, _mm256_and_ps(g, act));
            sr = _mm256_add_ps(sr, _mm256_and_ps(r, act));
            sw = _mm256_add_ps(sw, _mm256_and_ps(one, act));
        }
        m_sums.c[0] = sb, m_sums.c[1] = sg, m_sums.c[2] = sr, m_sums.c[3] = sw;
    }

    NIMBALIGHT_AVX2 void addOnesFromPrefix(int py, int d0, int d1, __m256i active)
    {
        // Each lane's part of [d0, d1): the stretch clamped to its kernel row.
        const __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m_x0));
        const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m_x1));
        const __m256i lo = _mm256_min_epi32(_mm256_max_epi32(_mm256_set1_epi32(d0), x0), x1);
        const __m256i hi = _mm256_min_epi32(_mm256_max_epi32(_mm256_set1_epi32(d1), x0), x1);
        const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        const __m256i base = _mm256_set1_epi32(m_x);
        const __m256i columnLo = _mm256_add_epi32(_mm256_add_epi32(lo, lane), base);
        const __m256i columnHi = _mm256_add_epi32(_mm256_add_epi32(hi, lane), base);
        const int32_t* sums = m_tables.sums(py);
        const size_t stride = m_tables.planeStride();
        // With one shared stretch the lanes read consecutive columns.
        const bool contiguous = m_same;
        const int firstLo = m_x + std::clamp(d0, m_sharedX0, m_sharedX1);
        const int firstHi = m_x + std::clamp(d1, m_sharedX0, m_sharedX1);
        alignas(32) int32_t lows[8], highs[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(lows), columnLo);
        _mm256_store_si256(reinterpret_cast<__m256i*>(highs), columnHi);
        for (int c = 0; c < 3; ++c) {
            const int32_t* plane = sums + size_t(c) * stride;
            __m256i total = _mm256_sub_epi32(prefixAt(plane, columnHi, contiguous, firstHi),
                                             prefixAt(plane, columnLo, contiguous, firstLo));
            if (contiguous) // lanes outside the shared stretch add nothing
                total = _mm256_and_si256(total, active);
            const unsigned failed = addExactTotals(m_sums.c[c], total);
            if (failed) {
                // The sum crosses a power of two: split where it does.
                alignas(32) float s[8];
                _mm256_store_ps(s, m_sums.c[c]);
                for (int l = 0; l < 8; ++l)
                    if (failed & (1u << l))
                        s[l] = addWholeNumbers(s[l], [plane](int k) { return plane[k]; }, lows[l], highs[l]);
                m_sums.c[c] = _mm256_load_ps(s);
            }
        }
        const unsigned failed = addExactTotals(m_sums.c[3], _mm256_sub_epi32(hi, lo));
        if (failed) {
            alignas(32) float s[8];
            _mm256_store_ps(s, m_sums.c[3]);
            for (int l = 0; l < 8; ++l)
                if (failed & (1u << l))
                    s[l] = addWholeNumbers(s[l], [](int k) { return int32_t(k); }, lows[l], highs[l]);
            m_sums.c[3] = _mm256_load_ps(s);
        }
    }

    // Shorter stretches are cheaper element by element.
    static constexpr int kMinBatch = 8;

    const std::vector<std::vector<Span>>& m_spans;
    const RowTables& m_tables;
    const cv::Mat& m_source;
    const cv::Mat& m_depth;
    bool m_batch;
    LaneSums m_sums;
    __m256i m_u;
    __m256 m_denominator;
    int m_x = 0;
    int m_rowEnd = 0; // columns of a padded row
    bool m_below255 = true; // no lane taking part has depth 255
    bool m_same = true; // every lane taking part in the row has the stretch [m_sharedX0, m_sharedX1)
    int m_sharedX0 = 0;
    int m_sharedX1 = 0;
    alignas(32) int32_t m_x0[8];
    alignas(32) int32_t m_x1[8];
};
#endif


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
    // A lane group asks for maxima over a kernel row plus the seven lanes.
    const int levels = floorLog2(side + 7);
    const int ringRows = kBandRows + 2 * R;
    RowTables tables(m_paddedSource, reflected, paddedDepth, ringRows, levels);

    const int threshold = m_bokehThreshold;
#ifdef NIMBALIGHT_LANES_AVX2
    // Every kernel row as one stretch (true of discs, convex polygons and
    // straight lines); the lane groups rely on it.
    std::vector<std::vector<Span>> spans(m_runs.size());
    bool oneStretchPerRow = true;
    for (size_t w = 0; w < m_runs.size(); ++w) {
        spans[w].assign(2 * w + 1, Span{0, 0});
        for (const Run& run : m_runs[w]) {
            Span& span = spans[w][size_t(run.dy + int(w))];
            if (span.x0 < span.x1)
                oneStretchPerRow = false;
            span = {run.x0, run.x1};
        }
    }
    const bool useLanes = haveAvx2() && oneStretchPerRow;
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
#ifdef NIMBALIGHT_LANES_AVX2
        LaneGroup group(spans, tables, m_paddedSource, paddedDepth, !sequentialOnly);
#endif
        // Pixels already done by the last lane group, which starts at groupX.
        int groupX = xBegin - 8;
        unsigned groupLanes = 0;
        for (int x = xBegin; x < xEnd; ++x) {
            if (x - groupX < 8 && (groupLanes >> (x - groupX)) & 1u)
                continue;
            const int u = d[x];
            const int w = rr[x];
            const uchar* s = src + 4 * x;
            uchar* o = out + 4 * x;
#ifdef NIMBALIGHT_LANES_AVX2
            // Any eight pixels at x (the last ones may lie in the next tile,
            // which are only read) of which at least two need their own
            // weighted average share one pass over the neighbours.
            if (useLanes && mask[x] && w >= 1 && x - groupX >= 8 && x + 8 <= W) {
                int laneW[8];
                unsigned lanes = 0;
                for (int l = 0; l < 8; ++l) {
                    const bool take = x + l < xEnd && mask[x + l] && rr[x + l] >= 1;
                    laneW[l] = take ? rr[x + l] : 0;
                    lanes |= unsigned(take) << l;
                }
                if (std::popcount(lanes) >= 2) {
                    float sums[4][8];
                    group.sums(laneW, x + R, y + R, d + x, sums);
                    for (int l = 0; l < 8; ++l) {
                        if (!((lanes >> l) & 1u))
                            continue;
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
                    groupX = x;
                    groupLanes = lanes;
                    continue;
                }
            }
#endif
            if (!mask[x]) {
#ifdef NIMBALIGHT_LANES_AVX2
                if (exactFullBlur && useLanes && x + 1 < xEnd && !mask[x + 1]) {
                    int32_t sums[8];
                    fullSums2(fullRuns, tables, x + R, y + R, sums);
                    for (int c = 0; c < 8; ++c)
                        o[c] = roundedAverage(sums[c], fullCount);
                    ++x;
                    continue;
                }
#endif
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
                    const size_t stride = tables.planeStride();
                    const uchar* m = tables.maxima(py, run.level);
                    if (std::max(m[a], m[b - (1 << run.level)]) <= u) {
                        addWeightOne(acc, sums, stride, a, b);
                        continue;
                    }
                    for (int k = a; k < b;) {
                        if (pd[k] <= u) {
                            int e = k + 1;
                            while (e < b && pd[e] <= u)
                                ++e;
                            addWeightOne(acc, sums, stride, k, e);
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
            // (colour alpha + p (255 - alpha)) / 255 lies in [0, 255]; the
            // double quotient of such a whole number by 255 never rounds up
            // to the next whole number, so truncating it is integer division.
            const int stamp[3] = {colour[0] * alpha, colour[1] * alpha, colour[2] * alpha};
            const int keep = 255 - alpha;
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
                        p[c] = uchar((stamp[c] + p[c] * keep) / 255);
                    p[3] = 255;
                }
            }
        }
    }
}
