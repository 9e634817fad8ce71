// Background fading: background pixels (depth exactly 0) become a ground
// plane that ramps from 0 at a top line to 255 at a focus line and back to 0
// the same distance below it. Lines are fractions of the height.
#pragma once

#include <opencv2/core.hpp>

struct AppData;

// The lowest row holding a 255 pixel, scanning up from the bottom row, as
// row / (rows - 1); 1.0 when there is none (and for a one-row map holding one).
float findNaturalFocusLine(const cv::Mat& depth);

// In place on a CV_8UC1 map. Lines less than one row apart, and a top line
// below the focus line, leave the map unchanged.
void applyFading(cv::Mat& depth, float top, float focus);

// The only writer of m_fadingMode, m_fadingStart and m_fadingEnd after
// construction: 0 stores the mode; 2 (natural) takes the lines from the
// document's depth map; 3 (manual) stores top and focus.
void setFadingMode(AppData& doc, int mode, float top, float focus);
