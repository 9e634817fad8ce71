// The strokes of the smart selection: each a path in canvas points with a
// colour value and a brush diameter in pixels. The container owns its strokes.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <memory>
#include <vector>

struct Stroke {
    std::vector<cv::Point2f> points;
    int32_t color = 0;
    int32_t brushSize = 0;
};

struct StrokeContainer {
    std::vector<std::unique_ptr<Stroke>> m_strokes;

    StrokeContainer() = default;
    ~StrokeContainer();
    StrokeContainer(const StrokeContainer&) = delete;
    StrokeContainer& operator=(const StrokeContainer&) = delete;

    // Deletes every stroke and empties the list.
    void clear();
};
