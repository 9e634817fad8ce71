#include "platform/ImageButton.h"

#include "platform/ResourceLookup.h"
#include "platform/ViewTag.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace platform {

QSizeF pixmapPointSize(const QPixmap& pixmap)
{
    if (pixmap.isNull())
        return QSizeF();
    return QSizeF(pixmap.size()) / pixmap.devicePixelRatio();
}

ImageButton::ImageButton(QWidget* parent)
    : QAbstractButton(parent)
{
    // Phone buttons take no keyboard focus and draw no focus frame.
    setFocusPolicy(Qt::NoFocus);
    m_titleColors[Normal] = Qt::black;
    connect(this, &QAbstractButton::pressed, this, [this] {
        if (m_touchDown)
            m_touchDown(this);
    });
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_touchUpInside)
            m_touchUpInside(this);
    });
}

ImageButton::~ImageButton() = default;

void ImageButton::setImage(const QPixmap& image, State state)
{
    m_images[state] = image;
    update();
}

void ImageButton::setBackgroundImage(const QPixmap& image, State state)
{
    m_backgrounds[state] = image;
    update();
}

QPixmap ImageButton::image(State state) const
{
    return m_images[state];
}

QPixmap ImageButton::backgroundImage(State state) const
{
    return m_backgrounds[state];
}

void ImageButton::setImageEdgeInsets(const QMargins& insets)
{
    m_imageInsets = insets;
    update();
}

QMargins ImageButton::imageEdgeInsets() const
{
    return m_imageInsets;
}

void ImageButton::setAdjustsImageWhenHighlighted(bool on)
{
    m_bAdjustsImageWhenHighlighted = on;
    update();
}

bool ImageButton::adjustsImageWhenHighlighted() const
{
    return m_bAdjustsImageWhenHighlighted;
}

void ImageButton::setSelected(bool selected)
{
    if (m_bSelected == selected)
        return;
    m_bSelected = selected;
    update();
}

bool ImageButton::isSelected() const
{
    return m_bSelected;
}

void ImageButton::setTouchDownAction(std::function<void(ImageButton*)> action)
{
    m_touchDown = std::move(action);
}

void ImageButton::setTouchUpInsideAction(std::function<void(ImageButton*)> action)
{
    m_touchUpInside = std::move(action);
}

ImageButton::State ImageButton::currentState() const
{
    if (isDown())
        return Highlighted;
    return m_bSelected ? Selected : Normal;
}

void ImageButton::setTitleColor(const QColor& color, State state)
{
    m_titleColors[state] = color;
    update();
}

void ImageButton::setRoundedRectStyle(bool on)
{
    m_bRoundedRect = on;
    if (on) {
        m_titleColors[Normal] = QColor(50, 79, 133);
        m_titleColors[Highlighted] = Qt::white;
    }
    update();
}

void ImageButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const State state = currentState();
    const QRectF bounds = rect();

    if (m_bRoundedRect) {
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF card = bounds.adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(QPen(QColor(150, 150, 150), 1.0));
        painter.setBrush(state == Highlighted ? QColor(21, 113, 232) : QColor(255, 255, 255));
        painter.drawRoundedRect(card, 8, 8);
    }

    const QPixmap& background = m_backgrounds[state].isNull() ? m_backgrounds[Normal] : m_backgrounds[state];
    if (!background.isNull())
        painter.drawPixmap(bounds, background, QRectF(background.rect()));

    const bool ownImage = !m_images[state].isNull();
    const QPixmap& image = ownImage ? m_images[state] : m_images[Normal];
    if (!image.isNull()) {
        const QRectF content(bounds.left() + m_imageInsets.left(), bounds.top() + m_imageInsets.top(),
                             bounds.width() - m_imageInsets.left() - m_imageInsets.right(),
                             bounds.height() - m_imageInsets.top() - m_imageInsets.bottom());
        QSizeF size = pixmapPointSize(image);
        if (size.width() > content.width() || size.height() > content.height())
            size.scale(content.size(), Qt::KeepAspectRatio);
        const QRectF target(content.center().x() - size.width() / 2, content.center().y() - size.height() / 2,
                            size.width(), size.height());
        if (state == Highlighted && !ownImage && m_bAdjustsImageWhenHighlighted) {
            // Darken the normal image where it is opaque.
            QPixmap dark(image.size());
            dark.setDevicePixelRatio(image.devicePixelRatio());
            dark.fill(Qt::transparent);
            QPainter p(&dark);
            p.drawPixmap(0, 0, image);
            p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
            p.fillRect(QRectF(QPointF(0, 0), pixmapPointSize(image)), QColor(0, 0, 0, 90));
            p.end();
            painter.drawPixmap(target, dark, QRectF(dark.rect()));
        } else {
            painter.drawPixmap(target, image, QRectF(image.rect()));
        }
    }

    if (!text().isEmpty()) {
        const QColor& color = m_titleColors[state].isValid() ? m_titleColors[state] : m_titleColors[Normal];
        painter.setPen(color);
        painter.setFont(font());
        painter.drawText(bounds, Qt::AlignCenter | Qt::TextSingleLine, text());
    }
}

ImageButton* makeImageButton(const QString& normalImage, const QString& pressedImage, int tag,
                             std::function<void(ImageButton*)> action, QWidget* parent)
{
    auto* button = new ImageButton(parent);
    const QPixmap normal = pixmapResource(normalImage);
    button->setImage(normal, ImageButton::Normal);
    if (!pressedImage.isEmpty()) {
        const QPixmap pressed = pixmapResource(pressedImage);
        button->setImage(pressed, ImageButton::Highlighted);
        button->setImage(pressed, ImageButton::Selected);
    }
    const QSizeF size = pixmapPointSize(normal);
    button->resize(static_cast<int>(std::lround(size.width())), static_cast<int>(std::lround(size.height())));
    setViewTag(button, tag);
    button->setTouchUpInsideAction(std::move(action));
    return button;
}

void centerView(QWidget* view, double x, double y)
{
    view->move(static_cast<int>(x - view->width() / 2.0), static_cast<int>(y - view->height() / 2.0));
}

} // namespace platform
