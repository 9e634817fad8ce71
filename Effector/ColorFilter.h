// The colour filters: grayscales, sepias, antique and the tone-curve looks.
// Every filter works in place on 32-bit blue, green, red, alpha pixels,
// processes every pixel and leaves alpha at 255.
#pragma once

#include "Effector/ToneCurveSet.h"

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>

// A view of pixel memory; copying it never copies pixels.
struct RawImage {
    int width = 0;         // pixels
    int height = 0;        // rows
    int bytesPerRow = 0;
    uint8_t* pixels = nullptr;   // first pixel; each pixel is a little-endian word, blue in bits 0-7

    // Over a CV_8UC4 matrix's own pixels (no copy).
    static RawImage fromMat(cv::Mat& image);
};

// Filter identities as stored in the document's m_filter.
enum ColorFilterId : int {
    kNoEffect = 0,
    kGrayscale1 = 5,
    kGrayscale2 = 6,
    kSepia1 = 7,
    kSepia2 = 8,
    kCrossProcess1 = 9,
    kCrossProcess2 = 10,
    kVintage = 11,
    kAntique = 12,
    kEmerald = 13,
    kCountry = 14,
    kOlive = 15,
    kPurple = 16,
    kHollywood = 17,
    kCherry = 18,
};

// Table appliers. dst and src have the same size (they may be the same view).
// Red, green and blue through one table.
void applyToneTable(const RawImage& dst, const RawImage& src, const std::array<int, 256>& table);
// Red through table 0, green through table 1, blue through table 2.
void applyToneTables(const RawImage& dst, const RawImage& src, const ToneCurveSet& curves);
// As applyToneTables, then every colour through the master table.
void applyToneTablesAndMaster(const RawImage& dst, const RawImage& src, const ToneCurveSet& curves,
                              const std::array<int, 256>& master);

// The filters, in place.
void filterGrayscale1(const RawImage& image);
void filterGrayscale2(const RawImage& image);
void filterSepia1(const RawImage& image);
void filterSepia2(const RawImage& image);
void filterCrossProcess1(const RawImage& image);
void filterCrossProcess2(const RawImage& image);
void filterVintage(const RawImage& image);
void filterAntique(const RawImage& image);
void filterEmerald(const RawImage& image);
void filterCountry(const RawImage& image);
void filterOlive(const RawImage& image);
void filterPurple(const RawImage& image);
void filterHollywood(const RawImage& image);
void filterCherry(const RawImage& image);

// The filter `filterId` on a CV_8UC4 image, in place. 0 (and any id that is
// not a filter) leaves the image untouched.
void applyColorFilter(cv::Mat& image, int filterId);

// Label keys of the filters ("NO_EFFECT", "GRAYSCALE_1", ...): the id for a
// key, -1 when it names no filter; the key of an id, nullptr when invalid.
int colorFilterIdForKey(const std::string& key);
const char* colorFilterKey(int id);
