#include "app/AppData.h"

AppData::AppData() = default;

// Members release themselves: the images, the Bitmap with its pixels, both
// matrices and the detector (through the deleter the stereo code gave).
AppData::~AppData() = default;

cv::Size depthMapSize(int32_t width, int32_t orgWidth, int32_t orgHeight)
{
    const int64_t columns = int64_t(2) * width;
    const int64_t rows = orgWidth > 0 ? columns * orgHeight / orgWidth : 0;
    return cv::Size(int(columns), int(rows));
}
