#include "Effector/Fading.h"

#include "app/AppData.h"

#include <cstdlib>

float findNaturalFocusLine(const cv::Mat& depth)
{
    CV_Assert(depth.type() == CV_8UC1);
    for (int y = depth.rows - 1; y >= 0; --y) {
        const uint8_t* row = depth.ptr<uint8_t>(y);
        for (int x = 0; x < depth.cols; ++x) {
            if (row[x] == 255)
                // A one-row map has no second row to measure against: its
                // only row is the top, so the line is there.
                return depth.rows > 1 ? float(y) / float(depth.rows - 1) : 0.0f;
        }
    }
    return 1.0f;
}

void applyFading(cv::Mat& depth, float top, float focus)
{
    CV_Assert(depth.type() == CV_8UC1);
    const int rows = depth.rows;
    const int topRow = int(top * float(rows));
    const int focusRow = int(focus * float(rows));
    const int span = focusRow - topRow;
    // A top line below the focus line would ramp the wrong way and overflow
    // the 8-bit values; such lines leave the map as it is, like lines that
    // are less than a row apart.
    if (span < 1 || rows < 1)
        return;
    for (int y = topRow < 0 ? 0 : topRow; y < rows; ++y) {
        int value;
        if (y <= focusRow) {
            value = ((y - topRow) * 255) / span;
        } else {
            value = 255 - ((y - focusRow) * 255) / span;
            if (value < 0)
                value = 0;
        }
        if (value == 0)
            continue;
        uint8_t* row = depth.ptr<uint8_t>(y);
        for (int x = 0; x < depth.cols; ++x) {
            if (row[x] == 0)
                row[x] = uint8_t(value);
        }
    }
}

void setFadingMode(AppData& doc, int mode, float top, float focus)
{
    doc.m_fadingMode = mode;
    if (mode == kNaturalFading) {
        CV_Assert(doc.m_pDepthMap);
        doc.m_fadingEnd = findNaturalFocusLine(*doc.m_pDepthMap);
        doc.m_fadingStart = doc.m_fadingEnd - 0.5f;
        if (doc.m_fadingStart < 0.0f)
            doc.m_fadingStart = 0.0f;
    } else if (mode == kManualFading) {
        doc.m_fadingStart = top;
        doc.m_fadingEnd = focus;
    }
}
