#include "Effector/ColorFilter.h"

#include <cstddef>
#include <vector>

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

inline uint32_t loadPixel(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void storePixel(uint8_t* p, uint32_t word)
{
    p[0] = uint8_t(word);
    p[1] = uint8_t(word >> 8);
    p[2] = uint8_t(word >> 16);
    p[3] = uint8_t(word >> 24);
}

inline uint32_t blueOf(uint32_t w) { return w & 0xFF; }
inline uint32_t greenOf(uint32_t w) { return (w >> 8) & 0xFF; }
inline uint32_t redOf(uint32_t w) { return (w >> 16) & 0xFF; }
inline uint32_t opaqueRgb(uint32_t r, uint32_t g, uint32_t b) { return kOpaque | r << 16 | g << 8 | b; }

// dst pixel = f(src pixel) over the whole view.
template <class F>
void mapPixels(const RawImage& dst, const RawImage& src, F f)
{
    for (int y = 0; y < dst.height; ++y) {
        const uint8_t* in = src.pixels + std::ptrdiff_t(y) * src.bytesPerRow;
        uint8_t* out = dst.pixels + std::ptrdiff_t(y) * dst.bytesPerRow;
        for (int x = 0; x < dst.width; ++x, in += 4, out += 4)
            storePixel(out, f(loadPixel(in)));
    }
}

inline uint32_t luminance(uint32_t w)
{
    return (19595 * redOf(w) + 38470 * greenOf(w) + 7471 * blueOf(w)) >> 16;
}

inline uint32_t sepiaOf(uint32_t w)
{
    const uint32_t y = luminance(w);
    const uint32_t r = y > 230 ? 255 : y + 25;
    const uint32_t b = y < 25 ? 0 : y - 25;
    return opaqueRgb(r, y, b);
}

void sepiaInPlace(const RawImage& image)
{
    mapPixels(image, image, sepiaOf);
}

void applyContrastCurve(const RawImage& image)
{
    ToneCurveSet contrast;
    initToneCurveSet(contrast, 1);
    setToneCurvePoint(contrast, 0, 0, 0, 0);
    setToneCurvePoint(contrast, 0, 1, 32, 8);
    setToneCurvePoint(contrast, 0, 2, 223, 247);
    setToneCurvePoint(contrast, 0, 3, 255, 255);
    computeToneCurves(contrast);
    applyToneTable(image, image, contrast.tables[0]);
}

// Control points of one curve, in increasing x; count 0 for no curve.
struct CurvePoints {
    int count;
    int xy[6][2];
};

struct CurveLook {
    CurvePoints red, green, blue, master;
};

const CurveLook kCrossProcess1Look = {
    {3, {{0, 0}, {56, 22}, {210, 255}}},
    {4, {{0, 0}, {56, 39}, {208, 226}, {255, 255}}},
    {2, {{0, 20}, {255, 235}}},
    {0, {}},
};
const CurveLook kCrossProcess2Look = {
    {5, {{0, 0}, {88, 46}, {177, 192}, {221, 255}, {255, 255}}},
    {4, {{0, 0}, {66, 62}, {183, 211}, {255, 255}}},
    {2, {{0, 19}, {255, 235}}},
    {0, {}},
};
const CurveLook kVintageLook = {
    {3, {{0, 28}, {107, 130}, {255, 243}}},
    {3, {{0, 0}, {128, 123}, {255, 255}}},
    {3, {{0, 54}, {128, 112}, {255, 204}}},
    {0, {}},
};
const CurveLook kEmeraldLook = {
    {4, {{0, 0}, {82, 90}, {98, 124}, {255, 255}}},
    {4, {{0, 0}, {78, 104}, {88, 124}, {255, 255}}},
    {4, {{0, 0}, {40, 140}, {60, 166}, {255, 255}}},
    {0, {}},
};
const CurveLook kCountryLook = {
    {4, {{0, 0}, {84, 82}, {93, 105}, {255, 255}}},
    {4, {{0, 0}, {108, 105}, {123, 135}, {255, 255}}},
    {4, {{0, 0}, {94, 92}, {122, 114}, {255, 255}}},
    {0, {}},
};
const CurveLook kOliveLook = {
    {4, {{0, 0}, {47, 36}, {196, 217}, {255, 255}}},
    {4, {{0, 0}, {31, 42}, {194, 207}, {255, 255}}},
    {2, {{0, 28}, {255, 193}}},
    {0, {}},
};
const CurveLook kPurpleLook = {
    {5, {{0, 0}, {78, 76}, {93, 113}, {204, 194}, {255, 255}}},
    {4, {{0, 0}, {113, 65}, {165, 141}, {255, 255}}},
    {3, {{11, 0}, {140, 137}, {255, 255}}},
    {3, {{0, 0}, {78, 123}, {255, 255}}},
};
const CurveLook kHollywoodLook = {
    {4, {{0, 0}, {102, 93}, {172, 188}, {255, 255}}},
    {5, {{0, 0}, {56, 43}, {115, 107}, {179, 166}, {255, 255}}},
    {5, {{0, 0}, {57, 28}, {81, 103}, {156, 151}, {255, 255}}},
    {4, {{0, 0}, {76, 78}, {156, 165}, {255, 255}}},
};
const CurveLook kCherryLook = {
    {5, {{0, 12}, {74, 79}, {134, 156}, {188, 209}, {239, 255}}},
    {6, {{12, 0}, {78, 67}, {138, 140}, {189, 189}, {252, 233}, {255, 233}}},
    {5, {{0, 8}, {77, 100}, {139, 140}, {202, 186}, {255, 244}}},
    {0, {}},
};

void setCurve(ToneCurveSet& curves, int channel, const CurvePoints& points)
{
    for (int i = 0; i < points.count; ++i)
        setToneCurvePoint(curves, channel, i, points.xy[i][0], points.xy[i][1]);
}

void applyCurveLook(const RawImage& image, const CurveLook& look)
{
    ToneCurveSet curves;
    initToneCurveSet(curves, 3);
    setCurve(curves, 0, look.red);
    setCurve(curves, 1, look.green);
    setCurve(curves, 2, look.blue);
    computeToneCurves(curves);
    if (look.master.count == 0) {
        applyToneTables(image, image, curves);
        return;
    }
    ToneCurveSet master;
    initToneCurveSet(master, 1);
    setCurve(master, 0, look.master);
    computeToneCurves(master);
    applyToneTablesAndMaster(image, image, curves, master.tables[0]);
}

struct FilterEntry {
    int id;
    const char* key;
    void (*apply)(const RawImage&);
};

const FilterEntry kFilters[] = {
    {kNoEffect, "NO_EFFECT", nullptr},
    {kGrayscale1, "GRAYSCALE_1", filterGrayscale1},
    {kGrayscale2, "GRAYSCALE_2", filterGrayscale2},
    {kSepia1, "SEPIA_1", filterSepia1},
    {kSepia2, "SEPIA_2", filterSepia2},
    {kCrossProcess1, "CROSS_PROCESS_1", filterCrossProcess1},
    {kCrossProcess2, "CROSS_PROCESS_2", filterCrossProcess2},
    {kVintage, "VINTAGE", filterVintage},
    {kAntique, "ANTIQUE", filterAntique},
    {kEmerald, "EMERALD", filterEmerald},
    {kCountry, "COUNTRY", filterCountry},
    {kOlive, "OLIVE", filterOlive},
    {kPurple, "PURPLE", filterPurple},
    {kHollywood, "HOLLYWOOD", filterHollywood},
    {kCherry, "CHERRY", filterCherry},
};

const FilterEntry* findFilter(int id)
{
    for (const FilterEntry& entry : kFilters)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

} // namespace

RawImage RawImage::fromMat(cv::Mat& image)
{
    CV_Assert(image.type() == CV_8UC4);
    return {image.cols, image.rows, int(image.step[0]), image.data};
}

void applyToneTable(const RawImage& dst, const RawImage& src, const std::array<int, 256>& table)
{
    mapPixels(dst, src, [&table](uint32_t w) {
        return opaqueRgb(uint32_t(table[redOf(w)]), uint32_t(table[greenOf(w)]), uint32_t(table[blueOf(w)]));
    });
}

void applyToneTables(const RawImage& dst, const RawImage& src, const ToneCurveSet& curves)
{
    const auto& t = curves.tables;
    mapPixels(dst, src, [&t](uint32_t w) {
        return opaqueRgb(uint32_t(t[0][redOf(w)]), uint32_t(t[1][greenOf(w)]), uint32_t(t[2][blueOf(w)]));
    });
}

void applyToneTablesAndMaster(const RawImage& dst, const RawImage& src, const ToneCurveSet& curves,
                              const std::array<int, 256>& master)
{
    const auto& t = curves.tables;
    mapPixels(dst, src, [&t, &master](uint32_t w) {
        return opaqueRgb(uint32_t(master[t[0][redOf(w)]]), uint32_t(master[t[1][greenOf(w)]]),
                         uint32_t(master[t[2][blueOf(w)]]));
    });
}

void filterGrayscale1(const RawImage& image)
{
    mapPixels(image, image, [](uint32_t w) {
        const uint32_t y = luminance(w);
        return opaqueRgb(y, y, y);
    });
}

void filterGrayscale2(const RawImage& image)
{
    applyContrastCurve(image);
    mapPixels(image, image, [](uint32_t w) {
        const uint32_t a = (redOf(w) + greenOf(w) + blueOf(w)) / 3;
        return opaqueRgb(a, a, a);
    });
}

void filterSepia1(const RawImage& image)
{
    sepiaInPlace(image);
}

void filterSepia2(const RawImage& image)
{
    applyContrastCurve(image);
    sepiaInPlace(image);
}

void filterAntique(const RawImage& image)
{
    // The blend needs the colours from before the sepia pass.
    std::vector<uint32_t> original(size_t(image.width) * size_t(image.height));
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* row = image.pixels + std::ptrdiff_t(y) * image.bytesPerRow;
        for (int x = 0; x < image.width; ++x)
            original[size_t(y) * size_t(image.width) + size_t(x)] = loadPixel(row + 4 * x);
    }
    sepiaInPlace(image);
    for (int y = 0; y < image.height; ++y) {
        uint8_t* row = image.pixels + std::ptrdiff_t(y) * image.bytesPerRow;
        const uint32_t* before = original.data() + size_t(y) * size_t(image.width);
        for (int x = 0; x < image.width; ++x) {
            const uint32_t u = before[x];
            const uint32_t s = loadPixel(row + 4 * x);
            const uint32_t r = (150 * redOf(u) + 106 * redOf(s)) >> 8;
            const uint32_t g = (150 * greenOf(u) + 106 * greenOf(s)) >> 8;
            const uint32_t b = (150 * blueOf(u) + 106 * blueOf(s)) >> 8;
            storePixel(row + 4 * x, opaqueRgb(r, g, b));
        }
    }
}

void filterCrossProcess1(const RawImage& image) { applyCurveLook(image, kCrossProcess1Look); }
void filterCrossProcess2(const RawImage& image) { applyCurveLook(image, kCrossProcess2Look); }
void filterVintage(const RawImage& image) { applyCurveLook(image, kVintageLook); }
void filterEmerald(const RawImage& image) { applyCurveLook(image, kEmeraldLook); }
void filterCountry(const RawImage& image) { applyCurveLook(image, kCountryLook); }
void filterOlive(const RawImage& image) { applyCurveLook(image, kOliveLook); }
void filterPurple(const RawImage& image) { applyCurveLook(image, kPurpleLook); }
void filterHollywood(const RawImage& image) { applyCurveLook(image, kHollywoodLook); }
void filterCherry(const RawImage& image) { applyCurveLook(image, kCherryLook); }

void applyColorFilter(cv::Mat& image, int filterId)
{
    const FilterEntry* entry = findFilter(filterId);
    if (!entry || !entry->apply || image.empty())
        return;
    entry->apply(RawImage::fromMat(image));
}

int colorFilterIdForKey(const std::string& key)
{
    for (const FilterEntry& entry : kFilters)
        if (key == entry.key)
            return entry.id;
    return -1;
}

const char* colorFilterKey(int id)
{
    const FilterEntry* entry = findFilter(id);
    return entry ? entry->key : nullptr;
}
