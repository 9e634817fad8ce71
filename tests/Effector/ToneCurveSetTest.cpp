#include "Effector/ToneCurveSet.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Points = std::vector<std::pair<int, int>>;

std::array<int, 256> curveTable(const Points& points)
{
    ToneCurveSet curves;
    initToneCurveSet(curves, 1);
    for (size_t i = 0; i < points.size(); ++i)
        setToneCurvePoint(curves, 0, int(i), points[i].first, points[i].second);
    computeToneCurves(curves);
    return curves.tables[0];
}

TEST(ToneCurveSetTest, InitialisationGivesIdentityTablesAndPresetEnds)
{
    for (int channels : {1, 3}) {
        ToneCurveSet curves;
        initToneCurveSet(curves, channels);
        EXPECT_EQ(curves.channels, channels);
        for (int c = 0; c < channels; ++c) {
            for (int i = 0; i < 256; ++i)
                ASSERT_EQ(curves.tables[c][i], i);
            EXPECT_EQ(curves.points[c][0].x, 0);
            EXPECT_EQ(curves.points[c][0].y, 0);
            EXPECT_EQ(curves.points[c][9].x, 255);
            EXPECT_EQ(curves.points[c][9].y, 255);
            for (int k = 1; k <= 8; ++k)
                EXPECT_EQ(curves.points[c][k].x, -1) << "slot " << k;
        }
    }
}

TEST(ToneCurveSetTest, ContrastCurveHitsItsPointsOneLevelEarly)
{
    const auto t = curveTable({{0, 0}, {32, 8}, {223, 247}, {255, 255}});
    EXPECT_EQ(t[31], 8);
    EXPECT_EQ(t[222], 247);
    EXPECT_EQ(t[254], 255);
    EXPECT_EQ(t[255], 255);
    // An S-curve: darker below the middle, lighter above, never decreasing.
    EXPECT_LT(t[64], 64);
    EXPECT_GT(t[192], 192);
    for (int i = 1; i < 256; ++i)
        ASSERT_GE(t[i], t[i - 1]) << i;
}

// Entry x - 1 holds y for every control point after the first, whatever the
// spline does in between.
TEST(ToneCurveSetTest, EveryLaterControlPointLandsOnEntryBeforeIt)
{
    const std::vector<Points> curves = {
        {{0, 0}, {56, 22}, {210, 255}},
        {{0, 0}, {88, 46}, {177, 192}, {221, 255}, {255, 255}},
        {{0, 28}, {107, 130}, {255, 243}},
        {{0, 0}, {40, 140}, {60, 166}, {255, 255}},
        {{12, 0}, {78, 67}, {138, 140}, {189, 189}, {252, 233}, {255, 233}},
        {{0, 8}, {77, 100}, {139, 140}, {202, 186}, {255, 244}},
        {{11, 0}, {140, 137}, {255, 255}},
    };
    for (const Points& points : curves) {
        const auto t = curveTable(points);
        for (size_t i = 1; i < points.size(); ++i)
            EXPECT_EQ(t[points[i].first - 1], points[i].second)
                << "point " << points[i].first << "," << points[i].second;
    }
}

TEST(ToneCurveSetTest, FlatBeforeTheFirstPointAndFromTheLast)
{
    const auto cherryGreen = curveTable({{12, 0}, {78, 67}, {138, 140}, {189, 189}, {252, 233}, {255, 233}});
    for (int i = 0; i <= 11; ++i)
        EXPECT_EQ(cherryGreen[i], 0) << i;
    EXPECT_EQ(cherryGreen[255], 233);

    const auto cherryRed = curveTable({{0, 12}, {74, 79}, {134, 156}, {188, 209}, {239, 255}});
    for (int i = 238; i < 256; ++i)
        EXPECT_EQ(cherryRed[i], 255) << i;
}

TEST(ToneCurveSetTest, TwoPointsGiveTheStraightLine)
{
    const auto t = curveTable({{0, 20}, {255, 235}});
    EXPECT_EQ(t[0], 20);
    EXPECT_EQ(t[254], 235);
    EXPECT_EQ(t[255], 235);
    for (int j = 0; j < 255; ++j)
        EXPECT_NEAR(t[j], 20 + 215 * (j + 1) / 255, 1) << j;
}

// The diagonal keeps its slope of exactly 1 at both ends, so the spline is
// the line itself, sampled one level on.
TEST(ToneCurveSetTest, DiagonalIsShiftedByOneLevel)
{
    const auto t = curveTable({{0, 0}, {128, 128}, {255, 255}});
    for (int j = 0; j < 255; ++j)
        ASSERT_EQ(t[j], j + 1) << j;
    EXPECT_EQ(t[255], 255);
}

// With three or more points the end slopes are bent (0.5 becomes 0.4), so
// collinear points no longer give their straight line.
TEST(ToneCurveSetTest, EndSlopesBendOnlyWithInnerPoints)
{
    const auto line = curveTable({{0, 0}, {200, 100}});
    const auto bent = curveTable({{0, 0}, {100, 50}, {200, 100}});
    for (int j = 0; j < 200; ++j)
        ASSERT_NEAR(line[j], (j + 1) / 2, 1) << j;
    int differing = 0;
    for (int j = 0; j < 256; ++j)
        differing += line[j] != bent[j];
    EXPECT_GT(differing, 10);
    EXPECT_EQ(bent[99], 50);
    EXPECT_EQ(bent[255], 100);
}

TEST(ToneCurveSetTest, FirstEmptySlotEndsTheList)
{
    ToneCurveSet curves;
    initToneCurveSet(curves, 1);
    setToneCurvePoint(curves, 0, 1, 100, 100);
    setToneCurvePoint(curves, 0, 3, 200, 0);   // after the empty slot 2: ignored
    computeToneCurves(curves);
    for (int j = 100; j < 256; ++j)
        ASSERT_EQ(curves.tables[0][j], 100) << j;
}

TEST(ToneCurveSetTest, PresetLastSlotJoinsOnlyWhenAllNineBeforeAreSet)
{
    for (int setSlots : {8, 9}) {
        ToneCurveSet curves;
        initToneCurveSet(curves, 1);
        for (int k = 0; k < setSlots; ++k)
            setToneCurvePoint(curves, 0, k, 10 * k, 10 * k);
        computeToneCurves(curves);
        const int last = 10 * (setSlots - 1);
        if (setSlots == 9) {
            EXPECT_EQ(curves.tables[0][200], 201);   // still on the diagonal up to (255, 255)
            EXPECT_EQ(curves.tables[0][255], 255);
        } else {
            EXPECT_EQ(curves.tables[0][200], last);  // flat from the last set point
        }
    }
}

TEST(ToneCurveSetTest, ChannelsAreComputedIndependently)
{
    ToneCurveSet curves;
    initToneCurveSet(curves, 3);
    setToneCurvePoint(curves, 0, 1, 255, 255);
    setToneCurvePoint(curves, 1, 0, 0, 255);   // green inverted
    setToneCurvePoint(curves, 1, 1, 255, 0);
    setToneCurvePoint(curves, 2, 0, 0, 20);
    setToneCurvePoint(curves, 2, 1, 255, 235);
    computeToneCurves(curves);
    EXPECT_EQ(curves.tables[0][100], 101);
    EXPECT_EQ(curves.tables[1][0], 254);
    EXPECT_EQ(curves.tables[1][255], 0);
    EXPECT_EQ(curves.tables[2][0], 20);
}

TEST(ToneCurveSetTest, SinglePointKeepsTheTable)
{
    ToneCurveSet curves;
    initToneCurveSet(curves, 1);   // only slot 0 before the first empty slot
    computeToneCurves(curves);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(curves.tables[0][i], i);
}

} // namespace
