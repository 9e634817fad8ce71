// The canvas's content view: shows the canvas's image scaled into its whole
// area and forwards its touches, unchanged, to the canvas's delegate.
//
// It keeps the picture it shows: a full update replaces it, a partial update
// redraws only the named rectangle of it (the rest keeps what it showed).
#pragma once

#include "platform/ZoomingScrollView.h"

#include <QImage>
#include <QRectF>
#include <QWidget>

class CanvasView;

class CanvasChildView : public QWidget, public platform::TouchResponder {
public:
    // initWithFrame:andParent: — frame in canvas points (its bounds).
    CanvasChildView(const QRectF& frame, CanvasView* parent);
    ~CanvasChildView() override;

    // The unzoomed bounds (the fitted picture size, in canvas points).
    QSizeF boundsSize() const;
    // Redraw from the canvas's image: everything, or only rect (canvas points).
    void redrawAll();
    void redrawRect(const QRectF& rect);
    // What the view shows now, at the image's resolution.
    const QImage& shownImage() const;
    // The widget rectangle of the last redraw request (for tests and tools).
    QRect lastUpdateRect() const;

    void touchesBegan(const platform::TouchSet& touches, const platform::TouchEvent& event) override;
    void touchesMoved(const platform::TouchSet& touches, const platform::TouchEvent& event) override;
    void touchesEnded(const platform::TouchSet& touches, const platform::TouchEvent& event) override;
    void touchesCancelled(const platform::TouchSet& touches, const platform::TouchEvent& event) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect widgetRectFor(const QRectF& canvasRect) const;

    CanvasView* m_parent;
    QSizeF m_bounds;
    QImage m_shown;
    QRect m_lastUpdateRect;
};
