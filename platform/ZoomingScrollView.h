// A scroll view that zooms one content view, as the canvas and the effect
// screen need it.
//
// Geometry: the content view has fixed bounds (contentBoundsSize(), in
// points); zooming scales it as a whole, so a point in content coordinates
// (see contentPoint()) is independent of zoom and scrolling. The content
// widget itself is resized to bounds x zoomScale() and must paint scaled by
// zoomScale(); its local widget coordinates divided by the zoom are content
// coordinates.
//
// Input: real touch events (one or more fingers) where the platform has
// them; with a mouse the mouse is one finger, a drag with Ctrl or Shift held
// or the wheel is a two-finger pan, and Ctrl + wheel a pinch.
//
// Touch routing follows the usual scroll-view rules:
// - a touch sequence that starts on the content view is offered to it
//   through touchesShouldBegin(); on YES the content view (when it is a
//   TouchResponder) receives the touches;
// - with delaysContentTouches() the offer waits a short while (or until the
//   fingers lift) so that a quick drag becomes a pan and never reaches the
//   content view;
// - a pan starts once at least panMinimumNumberOfTouches() fingers move
//   (a second finger down starts the two-finger pan / pinch at once); when it
//   starts while the content view has touches, touchesShouldCancelInContentView()
//   decides whether they are cancelled (touchesCancelled) or keep going.
#pragma once

#include "platform/Touch.h"

#include <QElapsedTimer>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QWidget>

#include <map>

class QTimer;
class QVariantAnimation;

namespace platform {

// What a content view implements to receive its touches. Each call gets the
// touches that changed and the event with every finger down.
class TouchResponder {
public:
    virtual ~TouchResponder();
    virtual void touchesBegan(const TouchSet& touches, const TouchEvent& event) = 0;
    virtual void touchesMoved(const TouchSet& touches, const TouchEvent& event) = 0;
    virtual void touchesEnded(const TouchSet& touches, const TouchEvent& event) = 0;
    virtual void touchesCancelled(const TouchSet& touches, const TouchEvent& event) = 0;
};

class ZoomingScrollView : public QWidget {
public:
    explicit ZoomingScrollView(QWidget* parent = nullptr);
    ~ZoomingScrollView() override;

    // The view that zooms (viewForZooming), made a child of this view, with
    // its unzoomed bounds; contentSize() follows it. Not owned beyond Qt's
    // parent ownership.
    void setContentView(QWidget* content, const QSizeF& boundsSize);
    QWidget* contentView() const;
    QSizeF contentBoundsSize() const;
    // bounds x zoom.
    QSizeF contentSize() const;

    // The content view's frame in scroll coordinates (the origin is 0 unless
    // layoutSubviews() moves it); its widget sits at that frame minus
    // contentOffset().
    QRectF contentFrame() const;
    void setContentFrameOrigin(const QPointF& origin);

    QPointF contentOffset() const;
    // Clamped to the scrollable range.
    void setContentOffset(const QPointF& offset, bool animated = false);

    double zoomScale() const;
    // Clamped to [minimumZoomScale, maximumZoomScale]; keeps the visible
    // centre in place.
    void setZoomScale(double scale, bool animated);
    double minimumZoomScale() const;
    double maximumZoomScale() const;
    void setMinimumZoomScale(double scale);
    void setMaximumZoomScale(double scale);
    // Zooms so that rect (content coordinates) fills the view as far as the
    // scale limits allow, centred on the rectangle's centre.
    void zoomToRect(const QRectF& rect, bool animated);
    // True while an animated zoom or scroll runs.
    bool isAnimating() const;

    void setDelaysContentTouches(bool delays);
    bool delaysContentTouches() const;
    // Fingers needed before a drag pans (the pan gesture's minimum).
    void setPanMinimumNumberOfTouches(int count);
    int panMinimumNumberOfTouches() const;

    void setAlwaysBounceHorizontal(bool on);
    void setAlwaysBounceVertical(bool on);
    bool alwaysBounceHorizontal() const;
    bool alwaysBounceVertical() const;

    // The touch's location in content coordinates (zoom-independent).
    QPointF contentPoint(const Touch& touch) const;
    // A point of this view in content coordinates.
    QPointF contentPointFromView(const QPointF& viewPoint) const;

    // Durations: how long a touch is held back in delaysContentTouches mode,
    // and how long animated zooms and scrolls run.
    static constexpr int kContentTouchDelayMs = 150;
    static constexpr int kAnimationMs = 250;
    // Movement (points) after which a drag is a pan rather than a tap.
    static constexpr double kPanThreshold = 10.0;

protected:
    // Asked once per touch sequence that starts on the content view, when the
    // touches are about to be handed to it. Default YES.
    virtual bool touchesShouldBegin(const TouchSet& touches, const TouchEvent& event, QWidget* contentView);
    // Asked when a pan or pinch starts while the content view has touches.
    // Default YES.
    virtual bool touchesShouldCancelInContentView(QWidget* contentView);
    // Called after any change of size, zoom or offset, before the content
    // widget is placed; subclasses may move the content frame here.
    virtual void layoutSubviews();
    virtual void scrollViewDidZoom();
    virtual void scrollViewDidScroll();

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    enum class Phase { Idle, Pending, Content, Scrolling, Ignored };
    struct Finger {
        QPointF viewPos;   // in this view's points
        QPointF startPos;
    };

    void applyLayout();
    QPointF clampOffset(const QPointF& offset, double zoom) const;
    void setZoomAndOffset(double zoom, const QPointF& offset);
    void animateTo(double zoom, const QPointF& offset);
    void stopAnimation();
    QPointF fingerCentroid(bool atTouchDown) const;
    double fingerSpread(bool atTouchDown) const;

    bool handleMouse(QWidget* receiver, QEvent* event);
    bool handleTouch(QWidget* receiver, QEvent* event);
    void fingersDown(const std::map<int, QPointF>& down, int tapCount, bool forcePan);
    void fingersMoved(const std::map<int, QPointF>& moved);
    void fingersUp(const std::map<int, QPointF>& up);
    void cancelAll();
    void offerToContent();
    void beginScrolling(bool fromTouchDown);
    void resetGestureAnchor(bool fromTouchDown);
    void applyScrollMove();
    Touch makeTouch(int id, const QPointF& viewPos) const;
    TouchSet touchesFor(const std::map<int, QPointF>& points) const;
    TouchEvent currentEvent() const;
    TouchResponder* responder() const;
    int tapCountFor(const QPointF& viewPos, qint64 timestamp) const;

    QWidget* m_content = nullptr;
    QSizeF m_bounds;
    QPointF m_contentOrigin;
    QPointF m_offset;
    double m_zoom = 1.0;
    double m_minZoom = 1.0;
    double m_maxZoom = 1.0;
    bool m_delaysContentTouches = true;
    int m_panMinTouches = 1;
    bool m_bounceH = false;
    bool m_bounceV = false;

    Phase m_phase = Phase::Idle;
    std::map<int, Finger> m_fingers;
    std::map<int, QPointF> m_contentFingers;  // fingers handed to the content view
    int m_tapCount = 1;
    bool m_forcePan = false;
    bool m_cancelRefused = false;  // the content view kept its touches this sequence
    bool m_mouseDown = false;
    QTimer* m_delayTimer = nullptr;
    // Pan / pinch anchor: the content point under the fingers' centroid and
    // the zoom and spread when the finger set last changed.
    QPointF m_anchorContent;
    double m_anchorZoom = 1.0;
    double m_anchorSpread = 0.0;

    // Double-tap detection.
    QElapsedTimer m_clock;
    qint64 m_lastTapTime = -1;
    QPointF m_lastTapPos;
    bool m_sequenceMoved = false;

    QVariantAnimation* m_animation = nullptr;
};

} // namespace platform
