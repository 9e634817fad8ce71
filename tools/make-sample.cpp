// SPDX-License-Identifier: GPL-3.0-or-later
//
// make-sample: renders the sample photo that ships with Nimbalight, together
// with its three-level depth map, from one procedural scene description.
//
//   make-sample [output-folder]        (default: resources/sample)
//
// Writes sample.jpg (2048 x 1536) and sample-depth.png (800 x 600, gray,
// values 0 / 85 / 255).  The scene: a potted plant on a garden table (near,
// 255), a split-rail fence with two shrubs on the lawn (middle, 85), and a
// sunlit tree line with a string of lights and sun glints (far, 0).
// Everything is deterministic: fixed seeds, no clock, no platform randomness.

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 2048;
constexpr int kHeight = 1536;
constexpr int kDepthWidth = 800;
constexpr int kDepthHeight = 600;
constexpr double kDepthScale = double(kDepthWidth) / double(kWidth);  // == 600 / 1536
constexpr double kPi = 3.14159265358979323846;

constexpr uint8_t kFar = 0;
constexpr uint8_t kMiddle = 85;
constexpr uint8_t kNear = 255;

using Poly = std::vector<cv::Point2d>;
using Vec3 = cv::Vec3f;

// ---------------------------------------------------------------------------
// Small maths helpers

Vec3 rgb(double r, double g, double b)  // 0..255 in, BGR 0..1 out
{
    return Vec3(float(b / 255.0), float(g / 255.0), float(r / 255.0));
}

double clamp01(double v)
{
    return std::clamp(v, 0.0, 1.0);
}

double smoothstep(double e0, double e1, double x)
{
    const double t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}

Vec3 mix(const Vec3& a, const Vec3& b, double t)
{
    return a * float(1.0 - t) + b * float(t);
}

uint32_t hash2(int x, int y, uint32_t seed)
{
    uint32_t h = seed * 0x9E3779B1u;
    h ^= uint32_t(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= uint32_t(y) * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

double lattice(int x, int y, uint32_t seed)
{
    return double(hash2(x, y, seed) >> 8) / double(1u << 24);
}

// Smooth value noise in [0, 1].
double vnoise(double x, double y, uint32_t seed)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int ix = int(fx);
    const int iy = int(fy);
    double tx = x - fx;
    double ty = y - fy;
    tx = tx * tx * tx * (tx * (tx * 6.0 - 15.0) + 10.0);
    ty = ty * ty * ty * (ty * (ty * 6.0 - 15.0) + 10.0);
    const double a = lattice(ix, iy, seed);
    const double b = lattice(ix + 1, iy, seed);
    const double c = lattice(ix, iy + 1, seed);
    const double d = lattice(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

// Fractal sum of value noise in [0, 1].
double fbm(double x, double y, int octaves, uint32_t seed)
{
    double sum = 0.0;
    double amp = 0.5;
    double norm = 0.0;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * vnoise(x, y, seed + uint32_t(i) * 101u);
        norm += amp;
        amp *= 0.5;
        // rotate between octaves so the lattice never lines up
        const double rx = 0.8 * x - 0.6 * y;
        const double ry = 0.6 * x + 0.8 * y;
        x = rx * 2.03 + 17.1;
        y = ry * 2.03 + 9.7;
    }
    return sum / norm;
}

cv::Point2d bezier(const cv::Point2d& a, const cv::Point2d& b, const cv::Point2d& c, double t)
{
    const double u = 1.0 - t;
    return a * (u * u) + b * (2.0 * u * t) + c * (t * t);
}

// ---------------------------------------------------------------------------
// Geometry drawn twice: antialiased at photo size, hard-edged at depth size.

std::vector<cv::Point> toFixed(const Poly& poly, double scale, int shift)
{
    const double f = double(1 << shift);
    std::vector<cv::Point> out;
    out.reserve(poly.size());
    for (const cv::Point2d& p : poly) {
        // Map pixel centres onto pixel centres when scaling.
        const double x = (p.x + 0.5) * scale - 0.5;
        const double y = (p.y + 0.5) * scale - 0.5;
        out.emplace_back(int(std::lround(x * f)), int(std::lround(y * f)));
    }
    return out;
}

cv::Rect bounds(const Poly& poly, int margin)
{
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (const cv::Point2d& p : poly) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
    cv::Rect r(int(std::floor(x0)) - margin, int(std::floor(y0)) - margin,
               int(std::ceil(x1 - x0)) + 2 * margin + 1, int(std::ceil(y1 - y0)) + 2 * margin + 1);
    return r & cv::Rect(0, 0, kWidth, kHeight);
}

// Antialiased coverage of a polygon inside roi (photo coordinates).
cv::Mat1b coverage(const Poly& poly, const cv::Rect& roi)
{
    constexpr int shift = 4;
    cv::Mat1b mask(roi.size(), uchar(0));
    Poly local;
    local.reserve(poly.size());
    for (const cv::Point2d& p : poly)
        local.emplace_back(p.x - roi.x, p.y - roi.y);
    const std::vector<std::vector<cv::Point>> pts{toFixed(local, 1.0, shift)};
    cv::fillPoly(mask, pts, cv::Scalar(255), cv::LINE_AA, shift);
    return mask;
}

void depthFill(cv::Mat1b& depth, const Poly& poly, uint8_t value)
{
    constexpr int shift = 4;
    const std::vector<std::vector<cv::Point>> pts{toFixed(poly, kDepthScale, shift)};
    cv::fillPoly(depth, pts, cv::Scalar(value), cv::LINE_8, shift);
}

// Paints shade(x, y) over img wherever the polygon covers, blending by coverage.
template <typename Shade>
void paint(cv::Mat3f& img, const Poly& poly, Shade shade, cv::Mat1f* accumulate = nullptr)
{
    const cv::Rect roi = bounds(poly, 2);
    if (roi.empty())
        return;
    const cv::Mat1b mask = coverage(poly, roi);
    for (int y = 0; y < roi.height; ++y) {
        const uchar* m = mask.ptr<uchar>(y);
        Vec3* row = img.ptr<Vec3>(roi.y + y);
        float* acc = accumulate ? accumulate->ptr<float>(roi.y + y) : nullptr;
        for (int x = 0; x < roi.width; ++x) {
            if (m[x] == 0)
                continue;
            const float a = float(m[x]) / 255.0f;
            const int px = roi.x + x;
            const Vec3 c = shade(double(px), double(roi.y + y));
            row[px] = row[px] * (1.0f - a) + c * a;
            if (acc)
                acc[px] = std::max(acc[px], a);
        }
    }
}

Poly ellipsePoly(cv::Point2d c, double rx, double ry, double a0, double a1, int steps)
{
    Poly p;
    for (int i = 0; i <= steps; ++i) {
        const double a = a0 + (a1 - a0) * double(i) / double(steps);
        p.emplace_back(c.x + rx * std::cos(a), c.y + ry * std::sin(a));
    }
    return p;
}

// ---------------------------------------------------------------------------
// Far layer: sky, tree line, lawn (depth 0, drawn per pixel)

constexpr double kHorizon = 862.0;            // where the lawn meets the trees
constexpr double kLawnVanish = 836.0;         // vanishing line of the lawn
constexpr double kTableBack = 1196.0;         // back edge of the table top
constexpr double kTableVanishY = 830.0;
const cv::Point2d kSun(1650.0, 235.0);

double treeTop(double x)
{
    // Big crown on the left, lower trees in the middle, a tall mass right
    // of centre that the sun hides behind.
    const double left = 330.0 * std::exp(-std::pow((x - 180.0) / 360.0, 2.0));
    const double right = 260.0 * std::exp(-std::pow((x - 1560.0) / 300.0, 2.0));
    const double base = 470.0 - left - right + 40.0 * std::sin(x / 210.0);
    const double ragged = 90.0 * (fbm(x / 140.0, 3.0, 4, 11u) - 0.5) +
                          26.0 * (fbm(x / 14.0, 7.0, 3, 12u) - 0.5);
    return base + ragged;
}

double horizonAt(double x)
{
    return kHorizon + 8.0 * (fbm(x / 90.0, 1.0, 3, 13u) - 0.5);
}

Vec3 skyColour(double x, double y)
{
    const double t = clamp01(y / kHorizon);
    Vec3 c = mix(rgb(112, 152, 206), rgb(246, 226, 196), std::pow(t, 1.3));
    const double d = std::hypot(x - kSun.x, y - kSun.y);
    c += rgb(255, 226, 170) * float(0.55 * std::exp(-d / 260.0));
    c += rgb(255, 250, 235) * float(0.9 * std::exp(-d / 60.0));
    const double cloud = smoothstep(0.55, 0.8, fbm(x / 520.0, y / 90.0, 5, 21u));
    c = mix(c, rgb(250, 240, 228), 0.35 * cloud * (1.0 - t));
    return c;
}

Vec3 foliageColour(double x, double y, double top)
{
    const double depthIn = clamp01((y - top) / 300.0);
    // Clumps of leaves: emboss a mid-scale noise for a sense of form.
    const double s = 34.0;
    const double n = fbm(x / s, y / s, 5, 31u);
    const double nl = fbm((x - 5.0) / s, (y - 6.0) / s, 5, 31u);
    const double emboss = (n - nl) * 6.0;
    // leaf-sized detail: small crisp clumps with dark gaps between them
    const double s2 = 8.0;
    const double wx = x + 9.0 * (fbm(x / 23.0, y / 23.0, 2, 35u) - 0.5);
    const double wy = y + 9.0 * (fbm(x / 23.0, y / 23.0, 2, 36u) - 0.5);
    const double m = fbm(wx / s2, wy / s2, 3, 34u);
    const double ml = fbm((wx - 2.0) / s2, (wy - 2.5) / s2, 3, 34u);
    const double fine = fbm(x / 2.5, y / 2.5, 1, 32u);
    const double mass = fbm(x / 420.0, y / 300.0, 3, 33u);

    Vec3 dark = mix(rgb(18, 36, 24), rgb(30, 40, 22), mass);
    Vec3 mid = mix(rgb(58, 92, 46), rgb(92, 104, 48), mass);
    Vec3 lit = rgb(176, 182, 92);
    double leaf = smoothstep(0.32, 0.66, n);
    Vec3 c = mix(dark, mid, leaf);
    const double sunward = std::exp(-std::hypot(x - kSun.x, (y - kSun.y) * 1.3) / 520.0);
    const double light = clamp01(0.45 + emboss) * leaf * (0.35 + 0.9 * sunward) * (1.0 - 0.7 * depthIn);
    c = mix(c, lit, clamp01(light));
    c *= float(0.55 + 0.55 * smoothstep(0.28, 0.62, m));
    c = mix(c, lit, clamp01((m - ml) * 4.0) * (0.25 + 0.5 * sunward) * leaf);
    c *= float(0.85 + 0.3 * fine);
    // Deeper in, and towards the ground, the canopy gets darker and hazier.
    const double ground = smoothstep(kHorizon - 260.0, kHorizon, y);
    c = mix(c, c * 0.55f, 0.6 * ground);
    c = mix(c, rgb(150, 160, 150), 0.10 + 0.08 * ground);
    return c;
}

Vec3 lawnColour(double x, double y)
{
    const double dz = std::max(y - kLawnVanish, 1.0);
    const double X = (x - 1024.0) / dz;  // ground plane, across
    const double Z = 400.0 / dz;         // ground plane, distance
    const double near = smoothstep(kHorizon, 1240.0, y);
    Vec3 c = mix(rgb(86, 108, 62), rgb(112, 148, 58), near);
    const double patch = fbm(X * 1.3, Z * 1.1, 4, 41u);
    c = mix(c, rgb(150, 160, 70), 0.35 * smoothstep(0.45, 0.75, patch));
    const double sc = 0.15 + 2.0 * (y - kLawnVanish) / 700.0;  // blade size grows towards us
    const double blades = fbm(x / (2.2 * sc), y / (6.0 * sc), 3, 42u);
    const double tufts = fbm(x / (14.0 * sc), y / (9.0 * sc), 3, 43u);
    c *= float(0.74 + 0.36 * blades + 0.2 * (tufts - 0.5));
    const double stripe = std::sin(X * 3.4);
    c *= float(1.0 + 0.04 * stripe);
    c = mix(c, rgb(170, 176, 168), 0.18 * (1.0 - near));  // haze in the distance
    return c;
}

void renderFar(cv::Mat3f& img)
{
    std::vector<double> top(kWidth), horizon(kWidth);
    for (int x = 0; x < kWidth; ++x) {
        top[size_t(x)] = treeTop(double(x));
        horizon[size_t(x)] = horizonAt(double(x));
    }
    // A few distant trunks below the canopy.
    struct Trunk { double x, w; };
    const std::array<Trunk, 7> trunks{{{150, 34}, {430, 22}, {760, 18}, {1020, 26}, {1330, 20}, {1610, 30}, {1880, 24}}};

    cv::parallel_for_(cv::Range(0, kHeight), [&](const cv::Range& range) {
        for (int yi = range.start; yi < range.end; ++yi) {
            Vec3* row = img.ptr<Vec3>(yi);
            const double y = yi;
            for (int xi = 0; xi < kWidth; ++xi) {
                const double x = xi;
                const double t = top[size_t(xi)];
                const double h = horizon[size_t(xi)];
                Vec3 c;
                if (y >= h) {
                    c = lawnColour(x, y);
                    // darker band where the lawn runs under the trees
                    c *= float(0.62 + 0.38 * smoothstep(h, h + 40.0, y));
                } else {
                    const double edge = smoothstep(t - 1.5, t + 1.5, y);
                    c = skyColour(x, y);
                    if (edge > 0.0) {
                        Vec3 f = foliageColour(x, y, t);
                        // sky shows through gaps high in the canopy
                        const double gaps = fbm(x / 22.0, y / 22.0, 3, 51u) *
                                            (1.0 - smoothstep(t, t + 260.0, y));
                        const double hole = smoothstep(0.66, 0.70, gaps);
                        f = mix(f, skyColour(x, y) * 1.05f, hole);
                        for (const Trunk& tr : trunks) {
                            const double w = tr.w * (0.7 + 0.3 * smoothstep(520.0, kHorizon, y));
                            const double wobble = 6.0 * std::sin(y / 57.0 + tr.x);
                            const double dx = std::abs(x - tr.x - wobble);
                            const double start = 600.0 + 60.0 * std::sin(tr.x);
                            if (dx < w && y > start) {
                                const double a = smoothstep(w, w - 1.5, dx) * smoothstep(start, start + 60.0, y);
                                Vec3 bark = rgb(52, 46, 40) * float(0.7 + 0.5 * fbm(x / 3.0, y / 18.0, 3, 52u));
                                bark *= float(1.0 - 0.4 * (x - tr.x + w) / (2.0 * w));
                                f = mix(f, bark, a);
                            }
                        }
                        c = mix(c, f, edge);
                    }
                }
                row[xi] = c;
            }
        }
    });
}

// Bright points (sun glints through leaves, a string of bulbs), depth 0.
void renderLights(cv::Mat3f& img)
{
    cv::RNG rng(0x5A3917u);
    cv::Mat3f cores(img.size(), Vec3(0, 0, 0));
    std::vector<std::pair<cv::Point2d, double>> spots;

    int placed = 0;
    for (int tries = 0; placed < 85 && tries < 40000; ++tries) {
        const double x = rng.uniform(0.0, double(kWidth));
        const double y = rng.uniform(60.0, 820.0);
        if (y < treeTop(x) + 14.0)
            continue;
        const double d = std::hypot(x - kSun.x, (y - kSun.y) * 1.2);
        const double p = 0.015 + 0.985 * std::exp(-std::pow(d / 330.0, 2.0));
        if (rng.uniform(0.0, 1.0) > p)
            continue;
        spots.emplace_back(cv::Point2d(x, y), rng.uniform(1.6, 4.2));
        ++placed;
    }
    for (const auto& [p, r] : spots) {
        const int shift = 3;
        cv::circle(cores, cv::Point(int(p.x * 8), int(p.y * 8)), int(r * 8), cv::Scalar(0.92, 0.99, 1.0),
                   cv::FILLED, cv::LINE_AA, shift);
    }

    // Wire with bulbs sagging across the garden, behind the fence.
    Poly wire;
    for (int x = -40; x <= kWidth + 40; x += 8) {
        const double u = (double(x) - 1080.0) / 1180.0;
        wire.emplace_back(double(x), 640.0 - 150.0 * u * u);
    }
    {
        const std::vector<std::vector<cv::Point>> pts{toFixed(wire, 1.0, 3)};
        cv::polylines(img, pts, false, cv::Scalar(0.07, 0.08, 0.09), 2, cv::LINE_AA, 3);
    }
    for (int x = -10; x <= kWidth + 10; x += 58) {
        const double u = (double(x) - 1080.0) / 1180.0;
        const double y = 640.0 - 150.0 * u * u + 9.0;
        const bool amber = ((x / 58) % 3) == 1;
        const cv::Scalar col = amber ? cv::Scalar(0.78, 0.93, 1.0) : cv::Scalar(0.93, 0.98, 1.0);
        cv::ellipse(cores, cv::Point(x * 8, int(y * 8)), cv::Size(5 * 8, 6 * 8), 0, 0, 360, col,
                    cv::FILLED, cv::LINE_AA, 3);
    }

    cv::Mat3f glow;
    cv::GaussianBlur(cores, glow, cv::Size(0, 0), 7.0);
    cv::Mat3f halo;
    cv::GaussianBlur(cores, halo, cv::Size(0, 0), 2.0);
    img += glow * 1.6 + halo * 0.8;
    cv::max(img, cores * 1.05, img);
}

// ---------------------------------------------------------------------------
// Middle layer: fence and shrubs (depth 85)

constexpr double kFenceBase = 1040.0;

struct Post { double cx, top, lean, w; };

std::vector<Post> fencePosts()
{
    std::vector<Post> posts;
    cv::RNG rng(0xF3Cu);
    for (int i = 0; i < 7; ++i) {
        Post p;
        p.cx = 150.0 + 300.0 * i + rng.uniform(-12.0, 12.0);
        p.top = 612.0 + rng.uniform(-10.0, 10.0);
        p.lean = rng.uniform(-6.0, 6.0);
        p.w = 50.0 + rng.uniform(-4.0, 4.0);
        posts.push_back(p);
    }
    return posts;
}

Poly postPoly(const Post& p)
{
    const double h = p.w / 2.0;
    const double tx = p.cx + p.lean;
    return {{tx - h, p.top + 22.0}, {tx - h * 0.2, p.top}, {tx + h * 0.3, p.top + 2.0}, {tx + h, p.top + 24.0},
            {p.cx + h, kFenceBase}, {p.cx - h, kFenceBase}};
}

struct Rail { Poly poly; double y0, y1; };

std::vector<Rail> fenceRails(const std::vector<Post>& posts)
{
    std::vector<Rail> rails;
    const std::array<double, 2> heights{712.0, 872.0};
    cv::RNG rng(0xBA11u);
    for (const double yc : heights) {
        for (size_t i = 0; i + 1 < posts.size() + 1; ++i) {
            const double xa = i == 0 ? -30.0 : posts[i - 1].cx;
            const double xb = i < posts.size() ? posts[i].cx : double(kWidth) + 30.0;
            const double ya = yc + rng.uniform(-6.0, 6.0);
            const double yb = yc + rng.uniform(-6.0, 6.0);
            const double th = 30.0 + rng.uniform(-3.0, 3.0);
            Poly poly;
            const int steps = 12;
            for (int s = 0; s <= steps; ++s) {  // top edge, slight sag
                const double t = double(s) / steps;
                poly.emplace_back(xa + (xb - xa) * t, ya + (yb - ya) * t + 5.0 * std::sin(kPi * t) - th / 2.0);
            }
            for (int s = steps; s >= 0; --s) {
                const double t = double(s) / steps;
                poly.emplace_back(xa + (xb - xa) * t, ya + (yb - ya) * t + 5.0 * std::sin(kPi * t) + th / 2.0);
            }
            rails.push_back({poly, std::min(ya, yb) - th / 2.0, std::max(ya, yb) + th / 2.0 + 5.0});
        }
    }
    return rails;
}

Vec3 weatheredWood(double x, double y, double across, uint32_t seed)
{
    // across: 0 at the lit (left / top) side, 1 at the shaded side
    const double grain = fbm(x / 2.5, y / 40.0, 4, seed);
    const double streak = fbm(x / 9.0, y / 160.0, 3, seed + 7u);
    Vec3 c = mix(rgb(96, 84, 70), rgb(158, 142, 118), smoothstep(0.3, 0.75, streak));
    c *= float(0.78 + 0.4 * grain);
    const double crack = std::abs(fbm(x / 6.0, y / 90.0, 2, seed + 13u) - 0.5);
    c *= float(1.0 - 0.45 * smoothstep(0.03, 0.0, crack));
    c *= float(1.08 - 0.45 * std::pow(across, 1.6));
    c += rgb(255, 200, 130) * float(0.25 * smoothstep(0.88, 1.0, across));  // warm rim from the sun
    return c;
}

double blobRadius(double angle, uint32_t seed)
{
    return 1.0 + 0.06 * std::sin(angle * 7.0 + seed) + 0.04 * std::sin(angle * 13.0 + 2.0 * seed) +
           0.03 * std::sin(angle * 23.0 + 3.0 * seed);
}

struct Shrub { cv::Point2d c; double rx, ry; uint32_t seed; };

Poly shrubPoly(const Shrub& s)
{
    Poly p;
    const int steps = 180;
    for (int i = 0; i < steps; ++i) {
        const double a = 2.0 * kPi * i / steps;
        const double r = blobRadius(a, s.seed);
        double y = s.c.y + s.ry * r * std::sin(a);
        y = std::min(y, s.c.y + s.ry * 0.62);  // flat where it meets the ground
        p.emplace_back(s.c.x + s.rx * r * std::cos(a), y);
    }
    return p;
}

const std::array<Shrub, 2> kShrubs{{{{1520.0, 985.0}, 235.0, 150.0, 5u}, {{300.0, 1004.0}, 165.0, 108.0, 9u}}};

void renderMiddle(cv::Mat3f& img, cv::Mat1b& depth)
{
    const std::vector<Post> posts = fencePosts();
    const std::vector<Rail> rails = fenceRails(posts);

    // Soft shadows of posts and shrubs on the lawn, falling right and forwards.
    {
        cv::Mat1f shadow(img.size(), 0.0f);
        for (const Post& p : posts) {
            const double h = p.w / 2.0;
            const std::vector<std::vector<cv::Point>> pts{toFixed(
                {{p.cx - h, kFenceBase - 4.0}, {p.cx + h, kFenceBase - 4.0}, {p.cx + h + 150.0, kFenceBase + 120.0},
                 {p.cx - h + 120.0, kFenceBase + 130.0}},
                1.0, 3)};
            cv::fillPoly(shadow, pts, cv::Scalar(1.0), cv::LINE_AA, 3);
        }
        for (const Shrub& s : kShrubs)
            cv::ellipse(shadow, cv::Point(int((s.c.x + s.rx * 0.35) * 8), int((s.c.y + s.ry * 0.62) * 8)),
                        cv::Size(int(s.rx * 1.1 * 8), int(s.ry * 0.35 * 8)), 0, 0, 360, cv::Scalar(1.0), cv::FILLED,
                        cv::LINE_AA, 3);
        cv::GaussianBlur(shadow, shadow, cv::Size(0, 0), 14.0);
        for (int y = int(kHorizon); y < kHeight; ++y) {
            Vec3* row = img.ptr<Vec3>(y);
            const float* s = shadow.ptr<float>(y);
            for (int x = 0; x < kWidth; ++x)
                row[x] *= 1.0f - 0.42f * s[x];
        }
    }

    uint32_t seed = 300u;
    for (const Rail& r : rails) {
        const double y0 = r.y0, y1 = r.y1;
        const uint32_t sd = seed++;
        paint(img, r.poly, [&](double x, double y) {
            // rails: grain runs along x
            return weatheredWood(y * 14.0, x * 0.9, clamp01((y - y0) / (y1 - y0)), sd);
        });
        depthFill(depth, r.poly, kMiddle);
    }
    for (const Post& p : posts) {
        const Poly poly = postPoly(p);
        const uint32_t sd = seed++;
        paint(img, poly, [&](double x, double y) {
            const double t = clamp01((y - p.top) / (kFenceBase - p.top));
            const double cx = p.cx + p.lean * (1.0 - t);
            const double across = clamp01((x - (cx - p.w / 2.0)) / p.w);
            Vec3 c = weatheredWood(x, y, across, sd);
            c *= float(1.0 - 0.35 * smoothstep(kFenceBase - 60.0, kFenceBase, y));  // damp at the foot
            if (y < p.top + 26.0)
                c *= 1.12f;  // cut top catches the sky
            return c;
        });
        depthFill(depth, poly, kMiddle);
    }
    for (const Shrub& s : kShrubs) {
        const Poly poly = shrubPoly(s);
        paint(img, poly, [&](double x, double y) {
            const double nx = (x - s.c.x) / s.rx;
            const double ny = (y - s.c.y) / s.ry;
            const double n = fbm(x / 13.0, y / 13.0, 4, s.seed * 7u);
            const double nl = fbm((x - 3.0) / 13.0, (y - 3.0) / 13.0, 4, s.seed * 7u);
            const double fine = fbm(x / 3.0, y / 3.0, 2, s.seed * 7u + 1u);
            const double form = clamp01(0.65 - 0.45 * nx - 0.55 * ny);  // lit from upper left
            Vec3 c = mix(rgb(22, 44, 22), rgb(70, 118, 48), smoothstep(0.3, 0.7, n));
            c = mix(c, rgb(150, 170, 80), clamp01((n - nl) * 5.0 + 0.2) * form * 0.8);
            c *= float((0.45 + 0.75 * form) * (0.8 + 0.4 * fine));
            c += rgb(255, 210, 120) * float(0.22 * smoothstep(0.75, 1.0, nx) * smoothstep(0.3, 0.7, n));
            return c;
        });
        depthFill(depth, poly, kMiddle);
    }
}

// ---------------------------------------------------------------------------
// Near layer: table, pot, plant (depth 255)

constexpr double kPotX = 770.0;
constexpr double kPotTop = 1000.0;   // centre of the rim's top ellipse
constexpr double kPotRx = 232.0;
constexpr double kPotRy = 46.0;
constexpr double kRimDepth = 72.0;
constexpr double kPotBase = 1436.0;
constexpr double kBaseRx = 162.0;
constexpr double kBaseRy = 30.0;
constexpr double kBodyTopRx = 210.0;

void renderTable(cv::Mat3f& img, cv::Mat1b& depth)
{
    const Poly top{{-20.0, kTableBack}, {kWidth + 20.0, kTableBack}, {kWidth + 20.0, kHeight + 20.0}, {-20.0, kHeight + 20.0}};
    const double plankW = 0.46;
    paint(img, top, [&](double x, double y) {
        const double dz = y - kTableVanishY;
        const double X = (x - 1024.0) / dz + 0.13;
        const double Z = 700.0 / dz;
        const double pf = X / plankW;
        const double plank = std::floor(pf);
        const double fr = pf - plank;
        const uint32_t ps = uint32_t(int(plank) + 1000);
        const double tone = lattice(int(plank), 3, 61u);
        Vec3 c = mix(rgb(122, 80, 48), rgb(166, 112, 66), tone);
        const double grain = fbm(X * 110.0 + plank * 7.3, Z * 3.5, 4, 62u + ps);
        const double rings = std::sin((X * 60.0 + 3.0 * fbm(X * 8.0, Z * 1.5, 3, 63u + ps)) * 6.0);
        c *= float(0.80 + 0.32 * grain + 0.05 * rings);
        // gaps between planks
        const double edgePx = std::min(fr, 1.0 - fr) * plankW * dz;
        c *= float(0.25 + 0.75 * smoothstep(1.5, 4.5, edgePx));
        c *= float(1.0 + 0.10 * smoothstep(4.5, 7.0, edgePx) * smoothstep(10.0, 7.0, edgePx) * (fr < 0.5 ? 1.0 : 0.0));
        // glancing sheen towards the back, warm from the sun on the right
        const double back = smoothstep(1380.0, kTableBack, y);
        c = mix(c, rgb(228, 206, 176), 0.22 * back);
        c += rgb(255, 214, 150) * float(0.10 * back * smoothstep(900.0, 2048.0, x));
        // slightly darker towards the front edge of the frame
        c *= float(1.0 - 0.18 * smoothstep(1300.0, 1536.0, y));
        if (y < kTableBack + 3.5)
            c = mix(c, rgb(236, 214, 180), 0.55);  // sunlit back edge
        return c;
    });
    depthFill(depth, top, kNear);

    // Shadow of pot and plant on the table, soft, falling right and forwards.
    cv::Mat1f shadow(img.size(), 0.0f);
    cv::ellipse(shadow, cv::Point(int((kPotX + 150.0) * 8), int((kPotBase - 6.0) * 8)), cv::Size(270 * 8, 44 * 8), 4.0,
                0, 360, cv::Scalar(0.65), cv::FILLED, cv::LINE_AA, 3);
    cv::GaussianBlur(shadow, shadow, cv::Size(0, 0), 26.0);
    cv::Mat1f contact(img.size(), 0.0f);
    cv::ellipse(contact, cv::Point(int(kPotX * 8), int((kPotBase + 6.0) * 8)), cv::Size(int(kBaseRx * 1.05 * 8), 20 * 8), 0,
                0, 360, cv::Scalar(0.6), cv::FILLED, cv::LINE_AA, 3);
    cv::GaussianBlur(contact, contact, cv::Size(0, 0), 7.0);
    for (int y = int(kTableBack); y < kHeight; ++y) {
        Vec3* row = img.ptr<Vec3>(y);
        const float* s = shadow.ptr<float>(y);
        const float* k = contact.ptr<float>(y);
        for (int x = 0; x < kWidth; ++x)
            row[x] *= (1.0f - s[x]) * (1.0f - k[x]);
    }
}

Poly potOutline()
{
    Poly p = ellipsePoly({kPotX, kPotTop}, kPotRx, kPotRy, kPi, 2.0 * kPi, 80);  // back rim, left to right
    p.emplace_back(kPotX + kPotRx - 4.0, kPotTop + kRimDepth);
    p.emplace_back(kPotX + kBodyTopRx, kPotTop + kRimDepth + 4.0);
    const Poly bottom = ellipsePoly({kPotX, kPotBase}, kBaseRx, kBaseRy, 0.0, kPi, 60);  // right to left, front
    p.insert(p.end(), bottom.begin(), bottom.end());
    p.emplace_back(kPotX - kBodyTopRx, kPotTop + kRimDepth + 4.0);
    p.emplace_back(kPotX - kPotRx + 4.0, kPotTop + kRimDepth);
    return p;
}

double lightCylinder(double nx)
{
    // light from the upper left and slightly in front
    const double nz = std::sqrt(std::max(0.0, 1.0 - nx * nx));
    return std::max(0.0, -0.6 * nx + 0.72 * nz);
}

Vec3 terracotta(double x, double y, double nx, uint32_t seed)
{
    Vec3 c = rgb(188, 98, 58);
    const double blotch = fbm(x / 60.0, y / 40.0, 4, seed);
    const double fine = fbm(x / 2.2, y / 2.2, 2, seed + 1u);
    c = mix(c, rgb(200, 146, 110), 0.28 * smoothstep(0.6, 0.85, blotch));  // dried salts
    c *= float(0.86 + 0.26 * fine);
    const double diff = lightCylinder(nx);
    Vec3 out = c * float(0.14 + 1.0 * diff);
    out += rgb(255, 200, 140) * float(0.30 * std::pow(std::max(0.0, nx), 8.0));  // warm rim light
    out += rgb(255, 240, 220) * float(0.10 * std::pow(diff, 12.0));
    return out;
}

void renderPot(cv::Mat3f& img, cv::Mat1b& depth, cv::Mat1f& nearMask)
{
    const Poly outline = potOutline();
    const double lipRx = kPotRx - 17.0, lipRy = kPotRy - 5.0;
    const double soilRx = kPotRx - 24.0, soilRy = kPotRy - 9.0, soilY = kPotTop + 10.0;
    cv::RNG rng(0x5011u);
    struct Pebble { cv::Point2d c; double r; double tone; };
    std::vector<Pebble> pebbles;
    for (int i = 0; i < 70; ++i) {
        const double a = rng.uniform(0.0, 2.0 * kPi);
        const double rr = std::sqrt(rng.uniform(0.0, 1.0)) * 0.92;
        pebbles.push_back({{kPotX + soilRx * rr * std::cos(a), soilY + soilRy * rr * std::sin(a)},
                           rng.uniform(1.8, 5.0), rng.uniform(0.0, 1.0)});
    }

    paint(img, outline, [&](double x, double y) {
        const double u = (x - kPotX) / kPotRx;
        const double inTop = u * u + std::pow((y - kPotTop) / kPotRy, 2.0);
        if (inTop < 1.0) {
            const double ul = (x - kPotX) / lipRx;
            const double inLip = ul * ul + std::pow((y - kPotTop) / lipRy, 2.0);
            if (inLip >= 1.0) {  // top of the rim
                Vec3 c = terracotta(x, y, u * 0.3, 71u) * 1.15f;
                return c;
            }
            const double us = (x - kPotX) / soilRx;
            const double inSoil = us * us + std::pow((y - soilY) / soilRy, 2.0);
            if (inSoil >= 1.0) {  // inner wall, in shade
                return terracotta(x, y, -u, 72u) * 0.45f;
            }
            Vec3 c = rgb(58, 40, 28) * float(0.65 + 0.55 * fbm(x / 3.0, y / 2.0, 3, 73u));
            c *= float(0.55 + 0.45 * smoothstep(1.0, 0.4, inSoil));  // rim shadow over the soil
            for (const Pebble& p : pebbles) {
                const double d = std::hypot((x - p.c.x) / p.r, (y - p.c.y) / (p.r * 0.7));
                if (d < 1.0) {
                    const Vec3 pc = mix(rgb(120, 110, 96), rgb(190, 176, 150), p.tone);
                    const double shade = 0.65 + 0.5 * clamp01(1.0 - std::hypot(x - p.c.x + p.r * 0.4, y - p.c.y + p.r * 0.4) / p.r);
                    c = mix(c, pc * float(shade), smoothstep(1.0, 0.8, d));
                }
            }
            return c;
        }
        // Front of the rim band or the body.
        const double rimBottom = kPotTop + kRimDepth + (kPotRy - 4.0) * std::sqrt(std::max(0.0, 1.0 - u * u));
        if (y < rimBottom) {
            Vec3 c = terracotta(x, y, u, 74u);
            c *= float(1.0 - 0.25 * smoothstep(rimBottom - 6.0, rimBottom, y));
            return c;
        }
        const double t = clamp01((y - kPotTop - kRimDepth) / (kPotBase - kPotTop - kRimDepth));
        const double hw = kBodyTopRx + (kBaseRx - kBodyTopRx) * t;
        const double nx = std::clamp((x - kPotX) / hw, -1.0, 1.0);
        Vec3 c = terracotta(x, y, nx, 75u);
        c *= float(0.55 + 0.45 * smoothstep(rimBottom, rimBottom + 34.0, y));  // shadow under the rim
        c *= float(1.0 - 0.25 * smoothstep(kPotBase - 70.0, kPotBase + 20.0, y));
        // a faint water line of darker clay
        c *= float(1.0 - 0.12 * smoothstep(0.45, 0.75, fbm(x / 80.0, y / 18.0, 3, 76u)) * smoothstep(1200.0, 1400.0, y));
        return c;
    }, &nearMask);
    depthFill(depth, outline, kNear);
}

struct Leaf {
    cv::Point2d p0, p1, p2;
    double wmax = 0.0;
    double sheen = 0.0;  // which half of the fold faces the light
    Vec3 base;
    uint32_t seed = 0;

    cv::Point2d at(double t) const { return bezier(p0, p1, p2, t); }
    double width(double t) const
    {
        const double s = std::sin(kPi * std::pow(t, 0.72));
        return wmax * std::pow(std::max(0.0, s), 0.85) * (1.0 + 0.03 * std::sin(t * 19.0 + seed));
    }
};

// Nearest point on a polyline: t in [0, 1] along it, signed distance across it.
void spineCoords(const std::vector<cv::Point2d>& spine, double x, double y, double& t, double& across)
{
    double best = 1e18;
    const size_t segs = spine.size() - 1;
    for (size_t k = 0; k < segs; ++k) {
        const cv::Point2d a = spine[k];
        const cv::Point2d d = spine[k + 1] - a;
        const double l2 = std::max(1e-12, d.dot(d));
        const cv::Point2d q(x - a.x, y - a.y);
        const double pr = std::clamp(q.dot(d) / l2, 0.0, 1.0);
        const cv::Point2d e = q - d * pr;
        const double dist = e.dot(e);
        if (dist < best) {
            best = dist;
            t = (double(k) + pr) / double(segs);
            across = (d.x * q.y - d.y * q.x) / std::sqrt(l2);
        }
    }
}

Poly thickCurve(const std::vector<cv::Point2d>& spine, const std::vector<double>& halfWidth)
{
    Poly left, right;
    for (size_t i = 0; i < spine.size(); ++i) {
        const cv::Point2d a = spine[i == 0 ? 0 : i - 1];
        const cv::Point2d b = spine[i + 1 < spine.size() ? i + 1 : i];
        cv::Point2d d = b - a;
        const double len = std::max(1e-9, std::hypot(d.x, d.y));
        const cv::Point2d n(-d.y / len, d.x / len);
        left.push_back(spine[i] + n * halfWidth[i]);
        right.push_back(spine[i] - n * halfWidth[i]);
    }
    left.insert(left.end(), right.rbegin(), right.rend());
    return left;
}

void renderPlant(cv::Mat3f& img, cv::Mat1b& depth, cv::Mat1f& nearMask)
{
    cv::RNG rng(0x1EAFu);
    const cv::Point2d soil(kPotX, kPotTop + 8.0);
    const int count = 15;
    struct Stem { Poly poly; std::vector<cv::Point2d> spine; Leaf leaf; double order; };
    std::vector<Stem> stems;
    for (int i = 0; i < count; ++i) {
        const double f = (i + 0.5) / count;
        const double ang = (-168.0 + 156.0 * f + rng.uniform(-7.0, 7.0)) * kPi / 180.0;
        const double upright = std::abs(std::sin(ang));
        const double stemLen = 80.0 + 210.0 * upright * upright + rng.uniform(-25.0, 25.0);
        const cv::Point2d s0 = soil + cv::Point2d(45.0 * std::cos(ang) + rng.uniform(-18.0, 18.0), rng.uniform(-8.0, 10.0));
        const cv::Point2d dir(std::cos(ang), std::sin(ang));
        const cv::Point2d s2 = s0 + dir * stemLen;
        const cv::Point2d s1 = s0 + dir * (stemLen * 0.5) + cv::Point2d(0.0, -stemLen * 0.15);

        Leaf leaf;
        const double len = 240.0 + rng.uniform(0.0, 120.0) - 40.0 * (1.0 - upright);
        const double lang = ang + rng.uniform(-0.15, 0.15);
        const cv::Point2d ld(std::cos(lang), std::sin(lang));
        leaf.p0 = s2;
        leaf.p1 = s2 + ld * (len * 0.55);
        leaf.p2 = s2 + ld * len + cv::Point2d(0.0, len * (0.08 + 0.32 * (1.0 - upright)));
        leaf.wmax = len * rng.uniform(0.20, 0.25);
        leaf.sheen = rng.uniform(0.0, 1.0) < 0.5 ? -1.0 : 1.0;
        leaf.base = mix(rgb(38, 92, 34), rgb(78, 128, 44), rng.uniform(0.0, 1.0));
        leaf.seed = uint32_t(500 + i * 17);

        std::vector<cv::Point2d> spine;
        std::vector<double> hw;
        for (int k = 0; k <= 24; ++k) {
            const double t = k / 24.0;
            spine.push_back(bezier(s0, s1, s2, t));
            hw.push_back(6.5 - 2.5 * t);
        }
        stems.push_back({thickCurve(spine, hw), spine, leaf, rng.uniform(0.0, 1.0)});
    }
    std::sort(stems.begin(), stems.end(), [](const Stem& a, const Stem& b) { return a.order < b.order; });

    // Stems first, leaves over them, in a fixed order; each leaf shades what is under it.
    for (const Stem& s : stems) {
        paint(img, s.poly, [&](double x, double y) {
            double t = 0.0, across = 0.0;
            spineCoords(s.spine, x, y, t, across);
            const double n = std::clamp(across / (6.5 - 2.5 * t), -1.0, 1.0);
            Vec3 c = mix(rgb(92, 104, 52), rgb(64, 112, 44), t);
            c *= float((0.35 + 0.8 * lightCylinder(n)) * (0.9 + 0.2 * fbm(x / 5.0, y / 5.0, 2, 81u)));
            return c;
        }, &nearMask);
        depthFill(depth, s.poly, kNear);
    }

    const int spineSteps = 48;
    for (const Stem& s : stems) {
        const Leaf& leaf = s.leaf;
        std::vector<cv::Point2d> spine;
        std::vector<double> hw;
        for (int k = 0; k <= spineSteps; ++k) {
            const double t = double(k) / spineSteps;
            spine.push_back(leaf.at(t));
            hw.push_back(leaf.width(t));
        }
        const Poly poly = thickCurve(spine, hw);

        // shadow cast onto the leaves and pot beneath
        {
            const cv::Rect roi = bounds(poly, 60);
            cv::Mat1b m = coverage(poly, roi);
            cv::Mat1f mf;
            m.convertTo(mf, CV_32F, 1.0 / 255.0);
            cv::Mat1f shifted(roi.size(), 0.0f);
            const int dx = 16, dy = 20;
            mf(cv::Rect(0, 0, roi.width - dx, roi.height - dy)).copyTo(shifted(cv::Rect(dx, dy, roi.width - dx, roi.height - dy)));
            cv::GaussianBlur(shifted, shifted, cv::Size(0, 0), 9.0);
            for (int y = 0; y < roi.height; ++y) {
                Vec3* row = img.ptr<Vec3>(roi.y + y);
                const float* nm = nearMask.ptr<float>(roi.y + y);
                const float* sh = shifted.ptr<float>(y);
                for (int x = 0; x < roi.width; ++x)
                    row[roi.x + x] *= 1.0f - 0.45f * sh[x] * nm[roi.x + x];
            }
        }

        paint(img, poly, [&](double x, double y) {
            // position along the leaf and across it, from the midrib
            double bt = 0.0, bs = 0.0;
            spineCoords(spine, x, y, bt, bs);
            const double w = std::max(1.0, leaf.width(bt));
            const double n = std::clamp(bs / w, -1.0, 1.0);
            const double an = std::abs(n);
            const double side = (n >= 0.0 ? 1.0 : -1.0) * leaf.sheen;
            Vec3 c = leaf.base;
            c *= float(0.78 + 0.22 * side);                       // folded along the midrib
            c *= float(0.72 + 0.38 * std::sqrt(1.0 - an * an));   // curls down at the edges
            c *= float(0.85 + 0.3 * bt * (1.0 - bt) * 2.0);
            // veins angled towards the tip
            const double vein = bt * 420.0 * 0.09 - an * w * 0.05;
            const double vd = std::abs(vein - std::round(vein));
            c = mix(c, c * 1.25f + rgb(20, 24, 8), 0.5 * smoothstep(0.12, 0.0, vd) * smoothstep(0.95, 0.3, an));
            // midrib
            const double rib = std::abs(bs);
            const double ribW = 2.6 * (1.0 - 0.8 * bt);
            c = mix(c, rgb(150, 176, 96), 0.8 * smoothstep(ribW + 1.0, ribW - 0.5, rib));
            // glossy sheen on the lit half
            const double gloss = std::exp(-std::pow((n * leaf.sheen + 0.45) / 0.22, 2.0)) *
                                 smoothstep(0.1, 0.35, bt) * smoothstep(0.9, 0.6, bt);
            c += rgb(210, 225, 190) * float(0.22 * gloss);
            // sun through the leaf near its edge on the right-hand side
            c += rgb(170, 190, 40) * float(0.12 * smoothstep(0.7, 1.0, an) * smoothstep(700.0, 1100.0, x));
            c *= float(0.9 + 0.2 * fbm(x / 3.0, y / 3.0, 2, leaf.seed));
            return c;
        }, &nearMask);
        depthFill(depth, poly, kNear);
    }
}

// ---------------------------------------------------------------------------
// Finishing: a touch of lens softness, vignette, grain.

cv::Mat3b finish(const cv::Mat3f& img)
{
    cv::Mat3f soft;
    cv::GaussianBlur(img, soft, cv::Size(0, 0), 0.6);
    cv::RNG rng(0x6A41Du);
    cv::Mat1f grainL(img.size());
    rng.fill(grainL, cv::RNG::NORMAL, 0.0, 0.016);
    cv::Mat3f grainC(img.size());
    rng.fill(grainC, cv::RNG::NORMAL, 0.0, 0.006);
    cv::GaussianBlur(grainL, grainL, cv::Size(0, 0), 0.55);

    cv::Mat3b out(img.size());
    const double cx = kWidth / 2.0, cy = kHeight / 2.0;
    const double rmax = std::hypot(cx, cy);
    for (int y = 0; y < kHeight; ++y) {
        const Vec3* s = soft.ptr<Vec3>(y);
        const float* gl = grainL.ptr<float>(y);
        const Vec3* gc = grainC.ptr<Vec3>(y);
        cv::Vec3b* o = out.ptr<cv::Vec3b>(y);
        for (int x = 0; x < kWidth; ++x) {
            const double r = std::hypot(x - cx, y - cy) / rmax;
            const float vig = float(1.0 - 0.22 * r * r * r);
            for (int k = 0; k < 3; ++k) {
                float v = s[x][k] * vig;
                v = v / (1.0f + 0.08f * v);   // gentle highlight roll-off
                v *= 1.08f;
                v += (gl[x] + gc[x][k]) * (0.4f + 0.6f * std::min(1.0f, v * 2.0f));
                o[x][k] = cv::saturate_cast<uchar>(v * 255.0f + 0.5f);
            }
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path dir = argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::path("resources/sample");
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::cerr << "make-sample: cannot create " << dir << ": " << ec.message() << '\n';
        return 1;
    }


    cv::Mat3f img(kHeight, kWidth, Vec3(0, 0, 0));
    cv::Mat1b depth(kDepthHeight, kDepthWidth, uchar(kFar));
    cv::Mat1f nearMask(kHeight, kWidth, 0.0f);

    renderFar(img);
    renderLights(img);
    renderMiddle(img, depth);
    renderTable(img, depth);
    renderPot(img, depth, nearMask);
    renderPlant(img, depth, nearMask);

    const cv::Mat3b photo = finish(img);
    const std::string photoPath = (dir / "sample.jpg").string();
    const std::string depthPath = (dir / "sample-depth.png").string();
    if (!cv::imwrite(photoPath, photo, {cv::IMWRITE_JPEG_QUALITY, 92, cv::IMWRITE_JPEG_OPTIMIZE, 1}) ||
        !cv::imwrite(depthPath, depth, {cv::IMWRITE_PNG_COMPRESSION, 9})) {
        std::cerr << "make-sample: cannot write into " << dir << '\n';
        return 1;
    }
    std::cout << "wrote " << photoPath << " and " << depthPath << '\n';
    return 0;
}
