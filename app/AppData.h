// The editing document: one per visit of the home screen, owned by the root
// view, read and written field by field by the screens and the engine.
#pragma once

#include "app/Bitmap.h"
#include "platform/Image.h"

#include <opencv2/core.hpp>

#include <QUrl>

#include <cstdint>
#include <memory>

class Detector;

// A 2-D affine transform: x' = a x + c y + tx, y' = b x + d y + ty.
struct AffineTransform {
    float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

// The stereo code supplies the deleter, so the document does not link it.
using DetectorDeleter = void (*)(Detector*);
using DetectorPtr = std::unique_ptr<Detector, DetectorDeleter>;

enum BlurType : int32_t { kLensBlur = 2, kMotionBlur = 3 };
enum FadingMode : int32_t { kNoFading = 0, kNaturalFading = 2, kManualFading = 3 };

struct AppData {
    platform::Image m_image;                 // working image, longer side 400, upright
    QUrl m_assetURL;                         // album reference of the full-size photo; empty for camera photos
    std::unique_ptr<Bitmap> m_pBitmap;       // the pixels of m_image, 32-bit
    platform::Image m_depthSizedImage;       // the photo at exactly the depth map's size
    int32_t m_orgWidth = 0;                  // upright full-size photo
    int32_t m_orgHeight = 0;
    int32_t m_width = 0;                     // working image
    int32_t m_height = 0;
    platform::Image m_leftThumb;             // stereo pair at width 250
    platform::Image m_rightThumb;
    AffineTransform m_rightTransform;        // alignment of the right shot
    int32_t m_thumbWidth = 0;
    int32_t m_thumbHeight = 0;
    std::unique_ptr<cv::Mat> m_pDisparity;   // CV_8UC1 thumb-sized, while detection runs
    std::unique_ptr<cv::Mat> m_pDepthMap;    // CV_8UC1, see depthMapSize
    DetectorPtr m_pDetector{nullptr, nullptr};
    int32_t m_fadingMode = kNoFading;        // write through setFadingMode only
    float m_fadingStart = 1.0f;              // top line, fraction of the height
    float m_fadingEnd = 1.0f;                // focus line, fraction of the height
    int32_t m_blurType = kLensBlur;
    float m_blurStrength = 0.01f;            // max radius / target width, 0.001 to 0.025
    float m_edgeFeather = 0.008f;            // depth smoothing / longer side of the map; 0 off
    int32_t m_sidesOrAngle = 0;              // lens: polygon sides (0 disc); motion: degrees 0..180
    int32_t m_sharpen = 0;                   // 0 off, 30 on
    int32_t m_bokehThreshold = -1;           // -1 off, 200 on
    int32_t m_focusDepth = 255;              // the depth value that stays sharp
    int32_t m_filter = 0;                    // 0 none, 5 to 18
    int32_t m_vignette = 0;                  // 0 off, 108 on
    int32_t m_sticker = 0;                   // 0 off, 30 on
    bool m_colorMask = false;

    AppData();
    ~AppData();
    AppData(const AppData&) = delete;
    AppData& operator=(const AppData&) = delete;
};

// The depth map of a document: 2 x working width by
// (2 x working width x full-size height) / full-size width, truncated.
cv::Size depthMapSize(int32_t width, int32_t orgWidth, int32_t orgHeight);
