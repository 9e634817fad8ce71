#include "Effector/ToneCurveSet.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>

namespace {

// Second derivatives of the spline through (x, y) whose first derivatives at
// the two ends are s1 and sn. Knots and results are single precision; the
// intermediate expressions are evaluated in double.
void splineSecondDerivatives(const float* x, const float* y, int n, float s1, float sn, float* m)
{
    float u[ToneCurveSet::kSlots];
    m[0] = -0.5f;
    u[0] = float((3.0 / (x[1] - x[0])) * ((y[1] - y[0]) / double(x[1] - x[0]) - s1));
    for (int i = 1; i < n - 1; ++i) {
        const double sig = double(x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
        const double p = sig * m[i - 1] + 2.0;
        m[i] = float((sig - 1.0) / p);
        const double du = (y[i + 1] - y[i]) / double(x[i + 1] - x[i]) - (y[i] - y[i - 1]) / double(x[i] - x[i - 1]);
        u[i] = float((6.0 * du / (x[i + 1] - x[i - 1]) - sig * u[i - 1]) / p);
    }
    const double qn = 0.5;
    const double un = (3.0 / (x[n - 1] - x[n - 2])) * (sn - (y[n - 1] - y[n - 2]) / double(x[n - 1] - x[n - 2]));
    m[n - 1] = float((un - qn * u[n - 2]) / (qn * m[n - 2] + 1.0));
    for (int k = n - 2; k >= 0; --k)
        m[k] = float(double(m[k]) * m[k + 1] + u[k]);
}

float splineValue(const float* x, const float* y, const float* m, int n, float at)
{
    int lo = 0, hi = n - 1;
    while (hi - lo > 1) {
        const int k = (hi + lo) >> 1;
        if (x[k] > at)
            hi = k;
        else
            lo = k;
    }
    const double h = x[hi] - x[lo];
    const double a = (x[hi] - at) / h;
    const double b = (at - x[lo]) / h;
    return float(a * y[lo] + b * y[hi] + ((a * a * a - a) * m[lo] + (b * b * b - b) * m[hi]) * (h * h) / 6.0);
}

// A clamped slope bent towards a flatter (below 1) or steeper (above 1) end,
// so that curves with inner points shoulder off a little at both ends.
float bendSlope(float s)
{
    if (s > 1.0f)
        return float(s * 1.2);
    if (s < 1.0f)
        return float(s * 0.8);
    return s;
}

void computeChannel(const std::array<ToneCurveSet::Point, ToneCurveSet::kSlots>& points, std::array<int, 256>& table)
{
    float x[ToneCurveSet::kSlots], y[ToneCurveSet::kSlots];
    int n = 0;
    while (n < ToneCurveSet::kSlots && points[n].x != ToneCurveSet::kEmpty) {
        x[n] = float(points[n].x);
        y[n] = float(points[n].y);
        ++n;
    }
    if (n < 2)
        return;
    for (int i = 1; i < n; ++i)
        if (!(x[i] > x[i - 1]))
            return;

    float s1 = float((y[1] - y[0]) / double(x[1] - x[0]));
    float sn = float((y[n - 1] - y[n - 2]) / double(x[n - 1] - x[n - 2]));
    if (n >= 3) {
        s1 = bendSlope(s1);
        sn = bendSlope(sn);
    }
    float m[ToneCurveSet::kSlots];
    splineSecondDerivatives(x, y, n, s1, sn, m);

    // Flat at the first point's level to its left and at the last point's
    // level from it on. In between, entry j takes the curve one level further
    // on, so entry x - 1 lands exactly on each control point's y.
    const int first = int(x[0]);
    const int last = int(x[n - 1]);
    for (int j = 0; j < first && j < 256; ++j)
        table[j] = int(y[0]);
    for (int j = std::max(first, 0); j < last && j < 256; ++j) {
        const float v = splineValue(x, y, m, n, float(j + 1));
        table[j] = std::clamp(int(v), 0, 255);
    }
    for (int j = std::max(last, 0); j < 256; ++j)
        table[j] = int(y[n - 1]);
}

} // namespace

void initToneCurveSet(ToneCurveSet& curves, int channels)
{
    CV_Assert(channels == 1 || channels == ToneCurveSet::kMaxChannels);
    curves.channels = channels;
    for (int c = 0; c < ToneCurveSet::kMaxChannels; ++c) {
        for (int i = 0; i < 256; ++i)
            curves.tables[c][i] = i;
        curves.points[c].fill({});
        curves.points[c][0] = {0, 0};
        curves.points[c][ToneCurveSet::kSlots - 1] = {255, 255};
    }
}

void setToneCurvePoint(ToneCurveSet& curves, int channel, int slot, int x, int y)
{
    CV_Assert(channel >= 0 && channel < curves.channels && slot >= 0 && slot < ToneCurveSet::kSlots);
    curves.points[channel][slot] = {x, y};
}

void computeToneCurves(ToneCurveSet& curves)
{
    for (int c = 0; c < curves.channels; ++c)
        computeChannel(curves.points[c], curves.tables[c]);
}
