// The images behind the smart selection and the operations on them: strokes
// rendered into a stroke image and a marker mask, the marker mask labelled
// by connected painted regions, the photo segmented from those labels with
// the marker-based watershed, and the result turned into a segment image and
// into the depth map. No widgets: everything here is cv::Mat.
//
// Sizes:
//   depth size   the document's depth map; the segmentation input and the
//                segment image.
//   stroke size  1.5 x the canvas display size (truncated); the stroke
//                image and the marker mask. Markers live there rather than
//                at depth size so that drawing and contour extraction stay
//                cheap; only the label image is scaled up (nearest
//                neighbour, so region numbers are never blended).
//
// Encodings (bytes in memory order):
//   stroke image CV_8UC4  (v, v, v, 255) where a level stroke of value v
//                         passed, (0, 0, 0, 0) where the eraser passed or
//                         nothing did.
//   marker mask  CV_8UC1  255 under a level stroke, 0 elsewhere.
//   segments     CV_8UC4  (0, 0, 255, v) for a pixel of a region of level v
//                         (red at opacity v/255, as the manual painting);
//                         (0, 0, 0, 0) where nothing was decided.
// Level values: 255 foreground, 85 middle distance, 0 background; -1 eraser.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

struct StrokeContainer;

// Stroke size for a display size in points: (int(w * 1.5), int(h * 1.5)).
cv::Size watershedStrokeSize(double displayWidth, double displayHeight);

// A canvas point as a pixel of an image with the given column count, as the
// canvas converts it (both axes scaled by columns / contentWidth), then
// truncated toward zero.
cv::Point canvasPointToPixel(cv::Point2f canvasPoint, int columns, double contentWidth);

// Labels the painted regions of marker (CV_8UC1, zero / non-zero) into
// labels (CV_32SC1, marker's size, 0 outside every region): region k
// (1-based) gets k, its holes stay 0, and labelTable[k - 1] is its level,
// read from the first byte of lines (CV_8UC4, marker's size). Answers false
// when a region holds two levels (strokes of different levels touch); labels
// and labelTable are then unusable. No painted pixel: true, labelTable empty.
bool labelStrokeRegions(const cv::Mat& marker, const cv::Mat& lines, cv::Mat& labels,
                        std::vector<int32_t>& labelTable);

// The watershed result (CV_32SC1: region numbers 1..k, -1 on boundaries)
// written into segments (CV_8UC4, same size; overwritten entirely). A
// boundary pixel takes the first neighbour that is not a boundary, in the
// order below, above, right, left (neighbours outside the image skipped);
// with none it stays (0, 0, 0, 0), as the image corners do.
void segmentsFromWatershed(const cv::Mat& watershedLabels, const std::vector<int32_t>& labelTable,
                           cv::Mat& segments);

struct WatershedSegmentation {
    int m_watershedPreprocess = 0;  // 0: the photo goes in unchanged (the only mode)
    cv::Mat m_img8u3c;              // CV_8UC3, depth size: the photo in B, G, R
    cv::Mat m_lines;                // CV_8UC4, stroke size: the stroke image
    cv::Mat m_marker;               // CV_8UC1, stroke size: the marker mask
    cv::Mat m_segments;             // CV_8UC4, depth size: the segment image
    double m_contentWidth = 0;      // width of the canvas content view, in canvas points

    // depthSizedImage: CV_8UC4 (B, G, R, ignored) at the depth map's size.
    // strokeSize: see watershedStrokeSize; contentWidth > 0: the canvas
    // content view's width, for converting canvas points. Stroke image,
    // marker mask and segment image start all zero.
    WatershedSegmentation(const cv::Mat& depthSizedImage, cv::Size strokeSize, double contentWidth);

    // Keeps the mode and prepares the segmentation input from the photo.
    void setWatershedPreprocess(int mode, const cv::Mat& depthSizedImage);

    // One segment of a stroke from a to b (canvas points) into the stroke
    // image and the marker mask: an 8-connected line of the given thickness
    // (stroke pixels, at least 1) with round ends, the same footprint in
    // both. color: a level value, or -1 for the eraser.
    void drawStrokeSegment(cv::Point2f a, cv::Point2f b, int color, int brushSize);
    // Clears stroke image and marker mask, then draws every stroke of the
    // container, oldest first (a stroke of fewer than two points draws nothing).
    void drawAllStrokes(const StrokeContainer& strokes);
    void clearStrokes();

    // Segments the photo from the marker mask into m_segments. False when
    // strokes of different levels touch: m_segments is then left as it was.
    // With no painted pixel at all answers true and keeps m_segments as it was.
    bool watershed();
    void clearSegments();

    // depthMap (CV_8UC1, depth size) = the segments' fourth byte: 255, 85 or
    // 0, and 0 where nothing was decided.
    void applyToDepthMap(cv::Mat& depthMap) const;
};
