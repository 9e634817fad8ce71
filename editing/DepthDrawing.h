// The manual painting's drawing: a CV_8UC4 matrix the size of the depth map
// whose pixels are B, G, R, A = 0, 0, 255, d with d the depth value (255
// near, 85 middle distance, 0 far). Shown as ARGB32 it is pure red with
// opacity d / 255; only the fourth byte carries meaning, so a cleared pixel
// (0, 0, 0, 0) means background as well.
//
// Strokes hold canvas points (the zoom-independent coordinates of the
// fitted picture); they are turned into drawing pixels by the factor
// columns / canvasWidth on both axes, since the drawing has the picture's
// proportions.
#pragma once

#include <opencv2/core.hpp>

struct Stroke;
struct StrokeContainer;

// The drawing pixel for a depth value (0 to 255).
cv::Vec4b drawingPixel(int depth);

// drawing = (0, 0, 255, depth) everywhere. depthMap CV_8UC1; drawing CV_8UC4
// of the same size, written in place (it may be a header over a foreign
// buffer).
void copyDepthMapToDrawing(const cv::Mat& depthMap, cv::Mat& drawing);
// depthMap = the drawing's fourth byte everywhere; same sizes, in place.
void applyDrawingToDepthMap(const cv::Mat& drawing, cv::Mat& depthMap);

// A canvas point as a drawing pixel: both coordinates times
// columns / canvasWidth, truncated towards zero.
cv::Point canvasPointToPixel(const cv::Point2f& canvasPoint, double canvasWidth, int columns);

// One anti-aliased line of the given thickness (>= 1; round ends) from
// `from` to `to` (drawing pixels) in the colour drawingPixel(depth). The
// anti-aliasing blends all four bytes at the border, so the depth byte takes
// intermediate values there. A zero-length segment paints a dot.
void drawDepthSegment(cv::Mat& drawing, const cv::Point& from, const cv::Point& to, int depth, int thickness);

// The segments of one stroke (point 0 to 1, 1 to 2, ...) with its colour and
// brush size; a stroke of fewer than two points draws nothing.
void drawStroke(cv::Mat& drawing, const Stroke& stroke, double canvasWidth);

// Replay: base copied into drawing, then every stroke, oldest first.
// base is CV_8UC4 of the drawing's size.
void replayStrokes(const cv::Mat& base, const StrokeContainer& strokes, double canvasWidth, cv::Mat& drawing);
