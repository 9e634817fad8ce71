// Tone curves of the colour filters: up to three channels, each a handful of
// control points turned into a 256-entry look-up table by a clamped cubic
// spline.
#pragma once

#include <array>

struct ToneCurveSet {
    static constexpr int kMaxChannels = 3;
    static constexpr int kSlots = 10;
    static constexpr int kEmpty = -1;   // x of an unused slot

    struct Point {
        int x = kEmpty;
        int y = kEmpty;
    };

    int channels = 0;   // 1 or 3
    std::array<std::array<Point, kSlots>, kMaxChannels> points{};
    std::array<std::array<int, 256>, kMaxChannels> tables{};
};

// Every table becomes the identity; slot 0 = (0, 0), slot 9 = (255, 255), the
// slots between are empty. channels is 1 or 3.
void initToneCurveSet(ToneCurveSet& curves, int channels);

// Overwrites slot `slot` of channel `channel`. Points go in from slot 0 up,
// in increasing x: the first empty slot ends a channel's list.
void setToneCurvePoint(ToneCurveSet& curves, int channel, int slot, int x, int y);

// Rebuilds every channel's table from its control points. A channel with
// fewer than two points, or with x not strictly increasing, keeps its table.
void computeToneCurves(ToneCurveSet& curves);
