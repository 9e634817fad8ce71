// The zoomable canvas: shows one composed image fitted to its area, lets the
// user zoom (1.0 to 4.0 unless raised) and pan, and hands single-finger
// touches to its delegate (the editor). Canvas points are coordinates of the
// content view, which keeps the fitted size whatever the zoom: they are
// independent of zoom and scrolling.
#pragma once

#include "platform/Touch.h"
#include "platform/ZoomingScrollView.h"

#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QSizeF>

class CanvasChildView;
class QLabel;

class CanvasViewDelegate {
public:
    virtual ~CanvasViewDelegate();
    virtual void canvasTouchesBegan(const platform::TouchSet& touches, const platform::TouchEvent& event) = 0;
    virtual void canvasTouchesMoved(const platform::TouchSet& touches, const platform::TouchEvent& event) = 0;
    virtual void canvasTouchesEnded(const platform::TouchSet& touches, const platform::TouchEvent& event) = 0;
    virtual void canvasTouchesCancelled(const platform::TouchSet& touches, const platform::TouchEvent& event) = 0;
};

class CanvasView : public platform::ZoomingScrollView {
public:
    // initWithFrame:andViewSize: — frame in the parent's points; the content
    // view gets imageSize fitted into the frame with enlargement allowed.
    CanvasView(const QRectF& frame, const QSizeF& imageSize, QWidget* parent = nullptr);
    ~CanvasView() override;

    // Fitting (w, h) into rect with enlargement allowed (width rule on a tie).
    static QRectF fitSize(const QSizeF& size, const QRectF& rect);

    void setCanvasDelegate(CanvasViewDelegate* delegate);
    CanvasViewDelegate* canvasDelegate() const;
    // The "canvas_bg.png" view under the canvas, in the canvas's superview.
    void addBackgroundImageToSuperview();

    // Shows image (Format_ARGB32) and redraws the whole content view;
    // rcInvalid becomes all zero.
    void setImage(const QImage& image);
    // Shows image and redraws only rect (canvas points) of the content view.
    void setImage(const QImage& image, const QRectF& rect);
    const QImage& getImage() const;
    QRectF rcInvalid() const;
    CanvasChildView* getContentView() const;
    bool getPanAndZoom() const;

    // The touch's location as a canvas point; (0, 0) for a null touch.
    QPointF normalizeTouch(const platform::Touch* touch) const;
    // Multiplies both coordinates by width / content view width, in place.
    void convertTo(int width, QPointF* point) const;
    void setPanAndZoom(bool panAndZoom, bool passEventToChild);
    bool passEventToChildInPanZoomMode() const;
    // The background view made by addBackgroundImageToSuperview, or null.
    QWidget* backgroundImageView() const;

protected:
    bool touchesShouldBegin(const platform::TouchSet& touches, const platform::TouchEvent& event,
                            QWidget* contentView) override;
    bool touchesShouldCancelInContentView(QWidget* contentView) override;
    void layoutSubviews() override;
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CanvasChildView* m_child = nullptr;
    QImage m_image;
    QRectF m_rcInvalid;
    bool m_bPanAndZoom = false;
    bool m_bPassEventToChildInPanZoomMode = true;
    CanvasViewDelegate* m_delegate = nullptr;
    QPointer<QLabel> m_background;
};
