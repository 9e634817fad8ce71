// Work screen 3: manual depth painting. The user paints the depth map with a
// round brush in three levels (foreground 255, middle distance 85,
// background 0) over the photo on the zoomable canvas; the painting shows
// as a red veil at half opacity. Every stroke is kept so strokes can be
// undone one by one. Nothing reaches the document's depth map until "next".
#pragma once

#include "app/MainView.h"
#include "app/StrokeContainer.h"
#include "editing/CanvasView.h"

#include <opencv2/core.hpp>

#include <QImage>
#include <QPointF>

#include <memory>

struct Bitmap;
class SubToolbarMgr;
class Toolbar;
namespace platform {
class AlertView;
class ImageButton;
} // namespace platform

class FreeEditDepthView : public WorkView, public CanvasViewDelegate {
public:
    // Tool and command tags.
    enum Tag {
        kBackTag = 107,
        kNextTag = 108,
        kTopToolbarTag = 120,
        kBottomToolbarTag = 121,
        kBackgroundTag = 200,
        kMiddleTag = 202,
        kForegroundTag = 203,
        kPanZoomTag = 204,
        kClearTag = 206,
        kBrushSizeTag = 210,
        kToStrokingTag = 211,
        kBrushSize1Tag = 220,
        kBrushSize2Tag = 221,
        kBrushSize3Tag = 222,
        kBrushSize4Tag = 223,
        kUndoTag = 230,
    };

    // initWithFrame:andParent:
    FreeEditDepthView(const QRect& frame, MainView* parent);
    ~FreeEditDepthView() override;

    void onInitialAnimationFinished() override;
    void showHelpPopup();
    void onCommand(int tag);
    void onButtonClicked(platform::ImageButton* button);
    void alertViewClickedButtonAtIndex(platform::AlertView* alert, int buttonIndex);

    void canvasTouchesBegan(const platform::TouchSet& touches, const platform::TouchEvent& event) override;
    void canvasTouchesMoved(const platform::TouchSet& touches, const platform::TouchEvent& event) override;
    void canvasTouchesEnded(const platform::TouchSet& touches, const platform::TouchEvent& event) override;
    void canvasTouchesCancelled(const platform::TouchSet& touches, const platform::TouchEvent& event) override;

    // Composes the photo and the drawing (at the working size) and shows it:
    // only rect (canvas points) when given, else everything.
    void invalidateCanvas(const QRectF* rect);
    void drawStrokeSegment(const QPointF& from, const QPointF& to, int color, int brushSize);
    void drawAllStrokes();
    void undo();
    void copyDepthMapToDrawing();
    void applyDrawingToDepthMap();
    void saveLastSuccessfulImage();
    void restoreLastSuccessfulImage();

    // State, as the tests see it.
    CanvasView* canvas() const { return m_canvas; }
    Toolbar* topToolbar() const { return m_topToolbar; }
    Toolbar* bottomToolbar() const { return m_bottomToolbar; }
    SubToolbarMgr* subToolbarMgr() const { return m_subToolbarMgr.get(); }
    int brushSize() const { return m_brushSize; }
    int brushSizeButtonTag() const { return m_brushSizeButtonTag; }
    int brushGray() const { return m_brushGray; }
    const StrokeContainer& strokes() const { return m_strokes; }
    const Stroke* currentStroke() const { return m_pCurStroke.get(); }
    const cv::Mat& drawing() const { return *m_pDrawing; }
    const QImage& lastImage() const { return m_lastImage; }

private:
    void createToolbar();
    Toolbar* createBrushSizeToolbar(int x);
    void askWorkWillBeLost(const char* titleKey, int alertTag);
    void closeSubToolbar();
    void dropStrokeInProgress();
    double canvasWidth() const;

    std::unique_ptr<Bitmap> m_pDrawingBmp;
    std::unique_ptr<cv::Mat> m_pDrawing;  // header over m_pDrawingBmp's pixels
    QImage m_drawingImg;                  // over the same pixels
    // What a replay starts from: the depth map as opened, or nothing after Clear.
    cv::Mat m_replayBase;
    CanvasView* m_canvas = nullptr;
    Toolbar* m_topToolbar = nullptr;
    Toolbar* m_bottomToolbar = nullptr;
    std::unique_ptr<SubToolbarMgr> m_subToolbarMgr;
    int m_brushSizeButtonTag = kBrushSize3Tag;
    int m_brushSize = 60;
    int m_brushGray = 255;
    bool m_bShowOrg = true;
    QPointF m_ptPrev;
    QImage m_lastImage;
    cv::Mat m_lastDrawing;
    QImage m_lastSuccessfulImage;
    StrokeContainer m_strokes;
    std::unique_ptr<Stroke> m_pCurStroke;
};
