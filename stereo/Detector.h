// The stereo depth detector: matches the two aligned thumbnails of a stereo
// pair and turns the left disparity map into the document's depth map
// (nearer objects shift more between the shots and become brighter: 255
// near, 0 far).
#pragma once

#include <opencv2/core.hpp>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

struct AppData;
struct Bitmap;
namespace platform { class Image; }

class Detector {
public:
    // left and right: non-null images of the same size. Each becomes an
    // owned 32-bit Bitmap (opaque) with a CV_8UC4 header over its pixels and
    // a CV_8UC1 gray copy (cv::COLOR_BGRA2GRAY).
    Detector(const platform::Image& left, const platform::Image& right);
    ~Detector();
    Detector(const Detector&) = delete;
    Detector& operator=(const Detector&) = delete;

    // Matches the gray images (graph cuts with occlusions, automatic weights)
    // and fills output, an existing CV_8UC1 matrix of height x width, with
    // the nearness of each left pixel: disparity magnitude m gives
    // m x 256 / numberOfDisparities, rounded and saturated (1 -> 10,
    // 10 -> 102, 24 -> 246 for 25); occluded pixels give 0. progress hears
    // the share done (0 to 1); leftDisparity, when given, receives the
    // matcher's raw left map (CV_16SC1: -m, or kStereoOccluded).
    void detect(int numberOfDisparities, int maxIters, cv::Mat& output,
                const std::function<void(float)>& progress = {}, cv::Mat* leftDisparity = nullptr);

    const cv::Mat& leftGray() const { return *m_pLeftGray; }
    const cv::Mat& rightGray() const { return *m_pRightGray; }
    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }

private:
    std::unique_ptr<Bitmap> m_pLeftBitmap;
    std::unique_ptr<Bitmap> m_pRightBitmap;
    std::unique_ptr<cv::Mat> m_pLeftMat;   // CV_8UC4 over m_pLeftBitmap's pixels
    std::unique_ptr<cv::Mat> m_pRightMat;  // CV_8UC4 over m_pRightBitmap's pixels
    std::unique_ptr<cv::Mat> m_pLeftGray;
    std::unique_ptr<cv::Mat> m_pRightGray;
    int32_t m_width = 0;
    int32_t m_height = 0;
};

// The deleter the document's DetectorPtr is built with.
void deleteDetector(Detector* detector);

// leftDisparity (CV_16SC1, see Detector::detect) into 8-bit nearness
// (output becomes CV_8UC1 of its size): scale -256 / numberOfDisparities,
// rounded to nearest, saturated to 0..255, so occluded pixels give 0.
void nearnessFromDisparity(const cv::Mat& leftDisparity, cv::Mat& output, int numberOfDisparities);

// The contrast stretch of an 8-bit map: lo and hi are the values at which
// the running share of pixels, counted from 0 up and from 255 down, first
// exceeds 10 percent (share as float count / N, then x 100 in double);
// cut = lo + 255 - hi levels fall outside. The table sends values below lo
// to 0, above hi to 255, and lo..hi in order onto the levels 0..255 that
// remain after skipping s(k) = int((k + 1) / (cut + 1) x 256), k < cut
// (cut 3 skips 64, 128 and 192). With cut > 230 (a nearly uniform map) the
// stretch is not applied.
struct ContrastStretch {
    int lo = 0, hi = 255, cut = 0;
    bool applies = false;
    std::array<uint8_t, 256> table{};
};
ContrastStretch contrastStretchFor(const cv::Mat& map);
// Applies contrastStretchFor(map) in place (CV_8UC1).
void stretchContrast(cv::Mat& map);

// The closing of the nearness map: dilations, then as many erosions, of
// int(columns x 0.02) steps (5 for 250 columns, 4 for 249).
int closingSteps(int columns);
// The Gaussian smoothing after it: closing steps when odd, else one more.
int smoothingKernelSize(int closingSteps);

struct StereoDetectionOptions {
    std::function<void(float)> progress;  // share of the matching done, from the calling thread
    cv::Mat* leftDisparity = nullptr;     // receives the raw left map when given
};

// The detection step (a background task's main step). Without a right
// thumbnail it does nothing. Otherwise: any earlier detector is destroyed;
// the right thumbnail is drawn through m_rightTransform into a cleared
// thumbnail-sized buffer (uncovered areas stay black); a Detector of the
// left thumbnail and that image goes into m_pDetector; m_pDisparity
// (thumbnail-sized CV_8UC1) receives its nearness for 25 disparities and
// 1 iteration, stretched, closed and smoothed; m_pDepthMap (which must
// exist) is replaced by it scaled nearest-neighbour to the depth map's size.
void runStereoDetection(AppData& doc, const StereoDetectionOptions& options = {});

// The release step (the completion step): destroys m_pDetector and
// m_pDisparity and sets both to null.
void releaseStereoDetection(AppData& doc);
