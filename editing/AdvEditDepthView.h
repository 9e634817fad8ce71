// Work screen 4, the smart selection: the user draws a few foreground,
// middle-distance and background strokes (and erases), and after each
// completed stroke the watershed segmentation spreads them over the whole
// photo. The canvas shows the photo with the segments tinted and the strokes
// on top. A stroke that makes two levels touch is taken back with a toast.
// The strokes belong to the root view, so they survive a trip to the effect
// screen; "next" and "paint" write the segmentation into the depth map.
#pragma once

#include "app/MainView.h"
#include "editing/CanvasView.h"
#include "editing/WatershedSegmentation.h"
#include "platform/Image.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSize>

#include <memory>

struct Stroke;
struct StrokeContainer;
class Toolbar;
namespace platform {
class AlertView;
class ImageButton;
} // namespace platform

class AdvEditDepthView : public WorkView, public CanvasViewDelegate {
public:
    // Command tags (toolbar buttons).
    enum Command {
        kCmdHelp = 11,
        kCmdBack = 107,
        kCmdNext = 108,
        kCmdBackground = 200,
        kCmdMiddleDistance = 202,
        kCmdForeground = 203,
        kCmdPanZoom = 204,
        kCmdClear = 206,
        kCmdUndo = 230,
        kCmdEraser = 301,
        kCmdPaint = 302,
    };
    enum { kTopToolbarTag = 120, kBottomToolbarTag = 121 };

    // initWithFrame:andParent: — the document must hold a loaded photo.
    AdvEditDepthView(const QRect& frame, MainView* parent);
    ~AdvEditDepthView() override;

    void onInitialAnimationFinished() override;
    // Automatic (forced false): only while "ShowStrokingHelp" is on.
    void showHelpPopup(bool forced);
    void onCommand(int tag);

    // The composed picture (segments and strokes) to the canvas: only rect
    // (canvas points) is redrawn, or everything when rect is null.
    void invalidateCanvas(const QRectF* rect);
    // Rebuilds the photo-with-segments picture at stroke size.
    void invalidateSegmentImage();
    // The segmentation into the document's depth map.
    void applyToDepthMap();
    void undo();
    void saveLastSuccessfulImage();
    void restoreLastSuccessfulImage();

    // CanvasViewDelegate: stroke capture.
    void canvasTouchesBegan(const platform::TouchSet& touches, const platform::TouchEvent& event) override;
    void canvasTouchesMoved(const platform::TouchSet& touches, const platform::TouchEvent& event) override;
    void canvasTouchesEnded(const platform::TouchSet& touches, const platform::TouchEvent& event) override;
    void canvasTouchesCancelled(const platform::TouchSet& touches, const platform::TouchEvent& event) override;

    // For tests and for the help popups.
    CanvasView* canvas() const { return m_canvas; }
    const WatershedSegmentation& segmentation() const { return *m_segmentation; }
    const QImage& cacheImage() const { return m_cacheImage; }
    int brushColor() const { return m_brushColor; }
    bool hasStrokeInProgress() const { return m_pCurStroke != nullptr; }
    // How often the help popup would have been shown.
    int helpPopupCount() const { return m_helpPopupCount; }

    // Stroke widths at zoom 1, in stroke-image pixels.
    static constexpr int kLevelStrokeSize = 8;
    static constexpr int kEraserStrokeSize = 30;
    static constexpr int kToastMs = 1500;

private:
    void createToolbar();
    void onButtonClicked(platform::ImageButton* button);
    void alertViewClickedButtonAtIndex(platform::AlertView* alert, int buttonIndex);
    void askToConfirm(int tag, const char* titleKey);
    void clearAll();
    void selectTool(int tag);
    // After strokes changed as a whole: segments again (or cleared when no
    // stroke is left), then display and last successful state.
    void resegmentAllStrokes();
    void finishChange();
    QImage composeCanvasImage() const;

    CanvasView* m_canvas = nullptr;
    StrokeContainer* m_pStrokes = nullptr;   // the root view's; not owned
    std::unique_ptr<Stroke> m_pCurStroke;    // the stroke in progress
    int m_brushColor = 255;
    QPointF m_ptPrev;
    cv::Mat m_lastLines;
    cv::Mat m_lastMarker;
    QImage m_lastImage;

    std::unique_ptr<WatershedSegmentation> m_segmentation;
    platform::Image m_guideImage;            // the photo at depth size
    QImage m_pLinesImage;                    // views over the segmentation's
    QImage m_pSegmentsImage;                 // stroke and segment pixels
    QImage m_cacheImage;                     // photo with segments, stroke size
    QSize m_strokeSize;
    int m_helpPopupCount = 0;
};
