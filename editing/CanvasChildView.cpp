#include "editing/CanvasChildView.h"

#include "editing/CanvasView.h"

#include <QPaintEvent>
#include <QPainter>

CanvasChildView::CanvasChildView(const QRectF& frame, CanvasView* parent)
    : QWidget(parent)
    , m_parent(parent)
    , m_bounds(frame.size())
{
    setGeometry(frame.toRect());
    // The picture covers the whole view; nothing below it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CanvasChildView::~CanvasChildView() = default;

QSizeF CanvasChildView::boundsSize() const { return m_bounds; }
const QImage& CanvasChildView::shownImage() const { return m_shown; }
QRect CanvasChildView::lastUpdateRect() const { return m_lastUpdateRect; }

void CanvasChildView::redrawAll()
{
    m_shown = m_parent->getImage();
    m_lastUpdateRect = rect();
    update();
}

void CanvasChildView::redrawRect(const QRectF& rect)
{
    const QImage& image = m_parent->getImage();
    if (m_shown.isNull() || image.isNull() || m_shown.size() != image.size() || m_bounds.width() <= 0) {
        redrawAll();
        return;
    }
    const double toPixels = image.width() / m_bounds.width();
    const QRect pixels = QRectF(rect.topLeft() * toPixels, rect.size() * toPixels).toAlignedRect() & m_shown.rect();
    if (!pixels.isEmpty()) {
        if (m_shown.format() != image.format())
            m_shown = m_shown.convertToFormat(image.format());
        QPainter painter(&m_shown);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(pixels.topLeft(), image, pixels);
    }
    m_lastUpdateRect = widgetRectFor(rect);
    update(m_lastUpdateRect);
}

QRect CanvasChildView::widgetRectFor(const QRectF& canvasRect) const
{
    const double zoom = m_parent->zoomScale();
    // One point more on each side for the smoothing of the scaled picture.
    return QRectF(canvasRect.topLeft() * zoom, canvasRect.size() * zoom).toAlignedRect().adjusted(-1, -1, 1, 1)
        & rect();
}

void CanvasChildView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setClipRegion(event->region());
    const QRectF target(QPointF(0, 0), m_bounds * m_parent->zoomScale());
    if (m_shown.isNull()) {
        painter.fillRect(target, Qt::black);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_shown);
}

void CanvasChildView::touchesBegan(const platform::TouchSet& touches, const platform::TouchEvent& event)
{
    if (CanvasViewDelegate* delegate = m_parent->canvasDelegate())
        delegate->canvasTouchesBegan(touches, event);
}

void CanvasChildView::touchesMoved(const platform::TouchSet& touches, const platform::TouchEvent& event)
{
    if (CanvasViewDelegate* delegate = m_parent->canvasDelegate())
        delegate->canvasTouchesMoved(touches, event);
}

void CanvasChildView::touchesEnded(const platform::TouchSet& touches, const platform::TouchEvent& event)
{
    if (CanvasViewDelegate* delegate = m_parent->canvasDelegate())
        delegate->canvasTouchesEnded(touches, event);
}

void CanvasChildView::touchesCancelled(const platform::TouchSet& touches, const platform::TouchEvent& event)
{
    if (CanvasViewDelegate* delegate = m_parent->canvasDelegate())
        delegate->canvasTouchesCancelled(touches, event);
}
