// The effect screen (view 5), for now in a first form: it shows the
// depth-of-field preview of the document (the blur on a worker thread
// behind the progress display, then the two finishing stages) on the
// canvas, under a top toolbar with home and back.
#pragma once

#include "app/MainView.h"

#include <opencv2/core.hpp>

class AsyncTask;
class CanvasView;
class Toolbar;
namespace platform { class AlertView; }

class EffectView : public WorkView {
public:
    enum Command : int { kCmdHome = 106, kCmdBack = 107 };
    static constexpr int kTopToolbarTag = 120;

    // initWithFrame:andParent: — focus reset to 255, one full preview run.
    EffectView(const QRect& frame, MainView* parent);
    ~EffectView() override;

    void onCommand(int tag);

    // The full re-run: blur behind the progress display, then finishing.
    void applyEffectAsync();
    void applyEffect_mainTask(AsyncTask* task);
    void applyEffect_postTask(AsyncTask* task);

    CanvasView* canvas() const { return m_canvas; }
    Toolbar* topToolbar() const { return m_topToolbar; }
    const cv::Mat& depthMap() const { return m_matDepthMap; }
    const cv::Mat& lensBlur() const { return m_matLensBlur; }
    // The number of completed preview runs (for tests).
    int previewRuns() const { return m_previewRuns; }

private:
    Toolbar* m_topToolbar = nullptr;
    CanvasView* m_canvas = nullptr;
    cv::Mat m_matDepthMap;
    cv::Mat m_matLensBlur;
    int m_previewRuns = 0;
};
