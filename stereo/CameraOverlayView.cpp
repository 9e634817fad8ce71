#include "stereo/CameraOverlayView.h"

#include "platform/ImageButton.h"
#include "platform/ResourceLookup.h"
#include "stereo/TwoShotCamera.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <cstdint>

namespace {

// The bottom bar's height: the preview area ends this far above the bottom.
constexpr int kBottomBarHeight = 54;
// The buttons' centres lie this far above the bottom edge.
constexpr int kButtonCentreFromBottom = 27;
constexpr int kCancelCentreX = 30;
constexpr int kGridColumns = 4;
constexpr int kGridRows = 6;

int previewWidth(const QSize& overlaySize)
{
    return overlaySize.width();
}

int previewHeight(const QSize& overlaySize)
{
    return overlaySize.height() - kBottomBarHeight;
}

// Multiples of step below limit; none when the step is 0 (a degenerate size).
std::vector<int> multiplesBelow(int step, int limit)
{
    std::vector<int> at;
    if (step <= 0)
        return at;
    for (int v = step; v < limit; v += step)
        at.push_back(v);
    return at;
}

} // namespace

CameraOverlayView::CameraOverlayView(const QRect& frame, TwoShotCamera* camera, QWidget* parent)
    : QWidget(parent), m_camera(camera)
{
    setGeometry(frame);
    // Clear where nothing is drawn: the live picture shows through.
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);

    m_shutterButton = platform::makeImageButton(
        QStringLiteral("shutter.png"), QStringLiteral("shutter_down.png"), 0,
        [this](platform::ImageButton*) {
            if (m_camera)
                m_camera->onClickTakePicture();
        },
        this);
    m_cancelButton = platform::makeImageButton(
        QStringLiteral("camera_cancel.png"), QStringLiteral("camera_cancel_down.png"), 0,
        [this](platform::ImageButton*) {
            if (m_camera)
                m_camera->onClickCancel();
        },
        this);
    placeButtons();
}

CameraOverlayView::~CameraOverlayView() = default;

std::vector<int> CameraOverlayView::gridColumns(const QSize& overlaySize)
{
    const int a = previewWidth(overlaySize);
    return multiplesBelow(a / kGridColumns, a);
}

std::vector<int> CameraOverlayView::gridRows(const QSize& overlaySize)
{
    const int b = previewHeight(overlaySize);
    return multiplesBelow(b / kGridRows, b);
}

QRect CameraOverlayView::ghostRect(const QSize& overlaySize, const QSize& imageSize)
{
    const int a = previewWidth(overlaySize);
    if (imageSize.width() <= 0)
        return QRect();
    return QRect(0, 0, a, int(int64_t(a) * imageSize.height() / imageSize.width()));
}

void CameraOverlayView::placeButtons()
{
    platform::centerView(m_shutterButton, width() / 2.0, height() - kButtonCentreFromBottom);
    platform::centerView(m_cancelButton, kCancelCentreX, height() - kButtonCentreFromBottom);
}

void CameraOverlayView::resizeEvent(QResizeEvent*)
{
    placeButtons();
}

void CameraOverlayView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QSize size = this->size();
    const int a = previewWidth(size);
    const int b = previewHeight(size);

    // 1. The ghost of the first shot, to line the second one up with.
    if (m_camera) {
        const platform::Image& ghost = m_camera->leftImageForDisplay();
        if (!ghost.isNull()) {
            painter.save();
            painter.setOpacity(0.5);
            ghost.draw(painter, QRectF(ghostRect(size, ghost.size())), true);
            painter.restore();
        }
    }

    // 2. The framing grid, over the preview area only.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(0, 255, 0), 1.0));
    for (int x : gridColumns(size))
        painter.drawLine(QPointF(x, 0), QPointF(x, b));
    for (int y : gridRows(size))
        painter.drawLine(QPointF(0, y), QPointF(a, y));

    // 3. The bottom bar, tiled at the image's own size.
    const QPixmap bar = platform::pixmapResource(QStringLiteral("twoshot_camera_bg.png"));
    if (!bar.isNull()) {
        const QSizeF tile = QSizeF(bar.size()) / bar.devicePixelRatio();
        if (tile.width() > 0) {
            const qreal y = size.height() - tile.height();
            for (qreal x = 0; x < size.width(); x += tile.width())
                painter.drawPixmap(QRectF(QPointF(x, y), tile), bar, QRectF(bar.rect()));
        }
    }
}

void CameraOverlayView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void CameraOverlayView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}
