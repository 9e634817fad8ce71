#include "editing/CanvasView.h"

#include "editing/CanvasChildView.h"
#include "platform/ResourceLookup.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include <cmath>

CanvasViewDelegate::~CanvasViewDelegate() = default;

CanvasView::CanvasView(const QRectF& frame, const QSizeF& imageSize, QWidget* parent)
    : platform::ZoomingScrollView(parent)
{
    setGeometry(frame.toRect());
    const QRectF fitted = fitSize(imageSize, frame);
    m_child = new CanvasChildView(QRectF(0, 0, fitted.width(), fitted.height()), this);
    setMaximumZoomScale(4.0);
    setMinimumZoomScale(1.0);
    setContentView(m_child, fitted.size());
    setZoomScale(1.0, false);
    setAlwaysBounceHorizontal(true);
    setAlwaysBounceVertical(true);
    setPanAndZoom(false, true);
}

CanvasView::~CanvasView()
{
    delete m_background;
}

QRectF CanvasView::fitSize(const QSizeF& size, const QRectF& rect)
{
    if (size.width() <= 0 || size.height() <= 0)
        return QRectF(rect.topLeft(), QSizeF(0, 0));
    const double sx = rect.width() / size.width();
    const double sy = rect.height() / size.height();
    if (sx > sy) {
        const double w = std::trunc(size.width() * sy);
        return QRectF(rect.x() + (rect.width() - w) / 2, rect.y(), w, rect.height());
    }
    const double h = std::trunc(size.height() * sx);
    return QRectF(rect.x(), rect.y() + (rect.height() - h) / 2, rect.width(), h);
}

void CanvasView::setCanvasDelegate(CanvasViewDelegate* delegate) { m_delegate = delegate; }
CanvasViewDelegate* CanvasView::canvasDelegate() const { return m_delegate; }

void CanvasView::addBackgroundImageToSuperview()
{
    QWidget* superview = parentWidget();
    if (!superview || m_background)
        return;
    m_background = new QLabel(superview);
    m_background->setScaledContents(true);
    m_background->setPixmap(platform::pixmapResource(QStringLiteral("canvas_bg.png")));
    m_background->setGeometry(geometry());
    m_background->stackUnder(this);
    m_background->show();
}

QWidget* CanvasView::backgroundImageView() const { return m_background; }

void CanvasView::setImage(const QImage& image)
{
    m_image = image;
    m_rcInvalid = QRectF();
    m_child->redrawAll();
}

void CanvasView::setImage(const QImage& image, const QRectF& rect)
{
    m_image = image;
    m_rcInvalid = rect;
    m_child->redrawRect(rect);
}

const QImage& CanvasView::getImage() const { return m_image; }
QRectF CanvasView::rcInvalid() const { return m_rcInvalid; }
CanvasChildView* CanvasView::getContentView() const { return m_child; }
bool CanvasView::getPanAndZoom() const { return m_bPanAndZoom; }
bool CanvasView::passEventToChildInPanZoomMode() const { return m_bPassEventToChildInPanZoomMode; }

QPointF CanvasView::normalizeTouch(const platform::Touch* touch) const
{
    if (!touch)
        return QPointF(0, 0);
    return contentPoint(*touch);
}

void CanvasView::convertTo(int width, QPointF* point) const
{
    Q_ASSERT(point);
    const double boundsWidth = m_child->boundsSize().width();
    if (boundsWidth <= 0)
        return;
    *point *= width / boundsWidth;
}

void CanvasView::setPanAndZoom(bool panAndZoom, bool passEventToChild)
{
    m_bPanAndZoom = panAndZoom;
    m_bPassEventToChildInPanZoomMode = passEventToChild;
    setDelaysContentTouches(panAndZoom);
    setPanMinimumNumberOfTouches(panAndZoom ? 1 : 2);
}

bool CanvasView::touchesShouldBegin(const platform::TouchSet&, const platform::TouchEvent& event, QWidget*)
{
    if (event.allTouches.empty())
        return false;
    const platform::Touch& touch = event.allTouches.front();
    if (touch.tapCount == 2) {
        if (zoomScale() > 1.0) {
            setZoomScale(1.0, true);
        } else {
            const QPointF p = normalizeTouch(&touch);
            zoomToRect(QRectF(p.x() - 1, p.y() - 1, 2, 2), true);
        }
        return false;
    }
    if (m_bPanAndZoom && !m_bPassEventToChildInPanZoomMode)
        return false;
    return event.allTouches.size() == 1;
}

bool CanvasView::touchesShouldCancelInContentView(QWidget*) { return true; }

void CanvasView::layoutSubviews()
{
    // Keep the picture centred on every axis where it is smaller than the view.
    const QSizeF content = contentSize();
    setContentFrameOrigin(QPointF(width() > content.width() ? (width() - content.width()) / 2 : 0,
                                  height() > content.height() ? (height() - content.height()) / 2 : 0));
}

void CanvasView::paintEvent(QPaintEvent*)
{
    // The content view's drop shadow: offset (1, 1), about 3 points soft, 0.7 dark.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(m_child->geometry()).translated(1, 1);
    painter.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        painter.setBrush(QColor(0, 0, 0, static_cast<int>(0.7 * 255 / 4)));
        painter.drawRoundedRect(frame.adjusted(-i, -i, i, i), i, i);
    }
}

void CanvasView::moveEvent(QMoveEvent* event)
{
    ZoomingScrollView::moveEvent(event);
    if (m_background)
        m_background->setGeometry(geometry());
}

void CanvasView::resizeEvent(QResizeEvent* event)
{
    ZoomingScrollView::resizeEvent(event);
    if (m_background)
        m_background->setGeometry(geometry());
}
