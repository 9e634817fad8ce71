#include "ui/Toolbar.h"

#include "platform/ImageButton.h"
#include "platform/Label.h"
#include "platform/ResourceLookup.h"
#include "platform/ViewTag.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

using platform::ImageButton;

namespace {

const QColor kSelectedBackground(18, 84, 131);

// An image view stretched over its frame; mouse-transparent. Draws a plain
// stand-in while its image is missing.
class DecorationView : public QWidget {
public:
    enum class Fallback { ShadowBelow, ShadowAbove, ArrowUp, ArrowDown };

    DecorationView(const QPixmap& pixmap, Fallback fallback)
        : m_pixmap(pixmap)
        , m_fallback(fallback)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    const QPixmap& pixmap() const { return m_pixmap; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (!m_pixmap.isNull()) {
            painter.drawPixmap(QRectF(rect()), m_pixmap, QRectF(m_pixmap.rect()));
            return;
        }
        painter.setRenderHint(QPainter::Antialiasing);
        switch (m_fallback) {
        case Fallback::ShadowBelow:
        case Fallback::ShadowAbove: {
            const bool below = m_fallback == Fallback::ShadowBelow;
            QLinearGradient gradient(0, below ? 0 : height(), 0, below ? height() : 0);
            gradient.setColorAt(0, QColor(0, 0, 0, 110));
            gradient.setColorAt(1, QColor(0, 0, 0, 0));
            painter.fillRect(rect(), gradient);
            break;
        }
        case Fallback::ArrowUp:
        case Fallback::ArrowDown: {
            const bool up = m_fallback == Fallback::ArrowUp;
            QPainterPath path;
            path.moveTo(0, up ? height() : 0);
            path.lineTo(width() / 2.0, up ? 0 : height());
            path.lineTo(width(), up ? height() : 0);
            path.closeSubpath();
            painter.fillPath(path, QColor(236, 236, 236));
            break;
        }
        }
    }

private:
    QPixmap m_pixmap;
    Fallback m_fallback;
};

// The strip of buttons that do not fit: it scrolls sideways only, so an
// ordinary (vertical) wheel turn scrolls it sideways too.
class StripScrollArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        const QPoint delta = event->angleDelta();
        const int steps = delta.x() != 0 ? delta.x() : delta.y();
        QScrollBar* bar = horizontalScrollBar();
        bar->setValue(bar->value() - steps * bar->singleStep() / 40);
        event->accept();
    }
};

QString pressedImageName(const QString& normal)
{
    // "fg.png" gives "fg_down.png".
    const int dot = normal.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return normal + QStringLiteral("_down");
    return normal.left(dot) + QStringLiteral("_down.") + normal.mid(dot + 1);
}

// A stretchable image: the caps keep their size, the one-point row and
// column after them are stretched over the rest.
void drawStretched(QPainter& painter, const QRectF& target, const QPixmap& pixmap, int leftCap, int topCap)
{
    const qreal dpr = pixmap.devicePixelRatio();
    const qreal sw = pixmap.width() / dpr;
    const qreal sh = pixmap.height() / dpr;
    const qreal l = std::clamp<qreal>(leftCap, 0, sw);
    const qreal t = std::clamp<qreal>(topCap, 0, sh);
    const qreal r = std::max<qreal>(0, sw - l - 1);
    const qreal b = std::max<qreal>(0, sh - t - 1);
    const qreal srcX[4] = {0, l, sw - r, sw};
    const qreal srcY[4] = {0, t, sh - b, sh};
    const qreal dstX[4] = {target.left(), target.left() + l, std::max(target.left() + l, target.right() - r),
                           target.right()};
    const qreal dstY[4] = {target.top(), target.top() + t, std::max(target.top() + t, target.bottom() - b),
                           target.bottom()};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QRectF src(srcX[col] * dpr, srcY[row] * dpr, (srcX[col + 1] - srcX[col]) * dpr,
                             (srcY[row + 1] - srcY[row]) * dpr);
            const QRectF dst(dstX[col], dstY[row], dstX[col + 1] - dstX[col], dstY[row + 1] - dstY[row]);
            if (src.isEmpty() || dst.isEmpty())
                continue;
            painter.drawPixmap(dst, pixmap, src);
        }
    }
}

} // namespace

Toolbar::Toolbar(const QRectF& frame, QWidget* parent)
    : Toolbar(frame, 0, true, parent)
{
}

Toolbar::Toolbar(const QRectF& frame, int type, bool isTop, QWidget* parent)
    : QWidget(parent)
    , m_type(type)
    , m_bTop(isTop)
    , m_itemSize(frame.size())
{
    setGeometry(QRect(static_cast<int>(std::lround(frame.x())), static_cast<int>(std::lround(frame.y())),
                      static_cast<int>(std::lround(frame.width())), static_cast<int>(std::lround(frame.height()))));
    // The shadow lies below an ordinary top bar and a sub-toolbar that opens
    // upwards, above the others.
    const bool shadowBelow = (m_type == 0) == m_bTop;
    m_shadow = new DecorationView(
        platform::pixmapResource(shadowBelow ? QStringLiteral("toolbar_top_shadow.png")
                                             : QStringLiteral("toolbar_bottom_shadow.png")),
        shadowBelow ? DecorationView::Fallback::ShadowBelow : DecorationView::Fallback::ShadowAbove);
    m_shadow->setObjectName(QStringLiteral("toolbarShadow"));
    adoptDecoration(m_shadow);
    layoutDecorations();
}

Toolbar::~Toolbar()
{
    delete m_shadow.data();
    delete m_arrow.data();
}

void Toolbar::setCmdTarget(std::function<void(ImageButton*)> handler)
{
    m_cmdHandler = std::move(handler);
}

void Toolbar::setItemSize(const QSizeF& size)
{
    m_itemSize = size;
}

QSizeF Toolbar::itemSize() const
{
    return m_itemSize;
}

void Toolbar::setMarginX(int margin)
{
    m_xMargin = margin;
}

int Toolbar::marginX() const
{
    return m_xMargin;
}

void Toolbar::setDestroyOnClick(bool on)
{
    m_destroyOnClick = on;
}

bool Toolbar::destroyOnClick() const
{
    return m_destroyOnClick;
}

void Toolbar::setEvenItemWidth(int n)
{
    Q_ASSERT(n > 0);
    if (n <= 0)
        return;
    m_itemSize = QSizeF((width() - 2.0 * m_xMargin) / n, height());
}

void Toolbar::setImageButtons(const int* tags, const char* const* normals, const char* const* selecteds,
                              const ToolbarHelpString* helpStrings, int count, int rightAlignIndex)
{
    Q_ASSERT(count >= 0 && (count == 0 || tags));
    const int totalWidth = static_cast<int>(count * m_itemSize.width() + 2.0 * m_xMargin);
    QWidget* container = this;
    if (totalWidth > width()) {
        auto* area = new StripScrollArea(this);
        area->setObjectName(QStringLiteral("toolbarScroll"));
        area->setGeometry(0, 0, width(), height());
        area->setFrameShape(QFrame::NoFrame);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setAutoFillBackground(false);
        area->viewport()->setAutoFillBackground(false);
        m_scrollStrip = new QWidget;
        m_scrollStrip->setObjectName(QStringLiteral("toolbarStrip"));
        m_scrollStrip->resize(totalWidth, height());
        area->setWidget(m_scrollStrip);
        area->show();
        container = m_scrollStrip;
    }

    const bool captionsShown = !m_bTop;
    for (int i = 0; i < count; ++i) {
        const int tag = tags[i];
        const bool hasCaption = helpStrings && !helpStrings[i].string.isEmpty();
        if (hasCaption)
            m_helpStrings[tag] = helpStrings[i];

        auto* button = new ImageButton(container);
        if (normals && normals[i]) {
            const QString normal = QString::fromUtf8(normals[i]);
            const QString pressed =
                selecteds && selecteds[i] ? QString::fromUtf8(selecteds[i]) : pressedImageName(normal);
            const QPixmap pressedPixmap = platform::pixmapResource(pressed);
            button->setImage(platform::pixmapResource(normal), ImageButton::Normal);
            button->setImage(pressedPixmap, ImageButton::Highlighted);
            button->setImage(pressedPixmap, ImageButton::Selected);
        }
        platform::setViewTag(button, tag);
        button->setTouchUpInsideAction([this](ImageButton* b) { onCommand(b); });
        button->setTouchDownAction([this](ImageButton* b) { onButtonTouchDown(b); });

        double x;
        if (i < rightAlignIndex || rightAlignIndex < 0)
            x = m_xMargin + i * m_itemSize.width();
        else
            x = rect().x() + width() - m_xMargin - (count - i) * m_itemSize.width();
        const int y = static_cast<int>(0.5 * (height() - m_itemSize.height()));
        const int w = static_cast<int>(m_itemSize.width());
        const int h = static_cast<int>(m_itemSize.height());
        m_buttonFrames[tag] = QRectF(x, y, w, h);
        button->setGeometry(static_cast<int>(std::lround(x)), y, w, h);

        if (captionsShown && hasCaption) {
            button->setImageEdgeInsets(QMargins(0, -5, 0, 5));
            const int labelHeight = m_type == 1 ? 18 : 15;
            auto* label = new platform::Label(helpStrings[i].string, QRect(-5, h - labelHeight, w + 10, labelHeight),
                                              button);
            label->setObjectName(QStringLiteral("caption"));
            label->setAlignment(Qt::AlignCenter);
            label->setFontSize(10);
            label->setTextColor(m_type == 1 ? Qt::black : Qt::white);
        }
        button->show();
    }
}

void Toolbar::setSeparator(const ToolbarSeparator* separators, int count)
{
    m_seps.assign(separators, separators + std::max(0, count));
    update();
}

void Toolbar::setRadio(const int* tags, int count)
{
    m_radioTags.assign(tags, tags + std::max(0, count));
    for (int tag : m_radioTags) {
        if (ImageButton* button = buttonWithTag(tag)) {
            button->setAdjustsImageWhenHighlighted(false);
            setSelectedBtnBgColor(tag, kSelectedBackground);
        }
    }
}

void Toolbar::setToggleButtons(const int* tags, int count)
{
    m_toggleButtonTags.assign(tags, tags + std::max(0, count));
    for (int tag : m_toggleButtonTags) {
        if (ImageButton* button = buttonWithTag(tag)) {
            button->setAdjustsImageWhenHighlighted(false);
            setSelectedBtnBgColor(tag, kSelectedBackground);
        }
    }
}

void Toolbar::selectByTag(int tag, bool selected)
{
    if (ImageButton* button = buttonWithTag(tag)) {
        button->setSelected(selected);
        changeBgColor(button, selected);
    }
}

void Toolbar::setSubToolbarArrowPosition(int x)
{
    if (m_type != 1)
        return;
    delete m_arrow.data();
    const QPixmap pixmap = platform::pixmapResource(m_bTop ? QStringLiteral("toolbar_sub_top_arrow.png")
                                                           : QStringLiteral("toolbar_sub_bottom_arrow.png"));
    auto* arrow = new DecorationView(pixmap, m_bTop ? DecorationView::Fallback::ArrowUp
                                                    : DecorationView::Fallback::ArrowDown);
    arrow->setObjectName(QStringLiteral("toolbarArrow"));
    const QSizeF size = pixmap.isNull() ? QSizeF(20, 12) : platform::pixmapPointSize(pixmap);
    arrow->resize(static_cast<int>(std::lround(size.width())), static_cast<int>(std::lround(size.height())));
    const double arrowX = static_cast<int>(x - pos().x()) - size.width() / 2.0;
    m_arrowOffset = QPoint(static_cast<int>(std::floor(arrowX)), m_bTop ? -11 : height() - 1);
    m_arrow = arrow;
    adoptDecoration(arrow);
    layoutDecorations();
}

void Toolbar::showHelpString(int, bool)
{
    // Captions are drawn under the buttons; nothing pops up on demand.
}

int Toolbar::type() const
{
    return m_type;
}

bool Toolbar::isTop() const
{
    return m_bTop;
}

ImageButton* Toolbar::buttonWithTag(int tag) const
{
    // The bar's own tag (a sub-toolbar carries its opening button's) is not
    // one of its buttons: only the buttons are searched.
    for (ImageButton* button : findChildren<ImageButton*>()) {
        if (platform::viewTag(button) == tag)
            return button;
    }
    return nullptr;
}

QString Toolbar::helpString(int tag) const
{
    const auto it = m_helpStrings.find(tag);
    return it == m_helpStrings.end() ? QString() : it->second.string;
}

QWidget* Toolbar::scrollStrip() const
{
    return m_scrollStrip;
}

void Toolbar::setSelectedBtnBgColor(int tag, const QColor& color)
{
    ImageButton* button = buttonWithTag(tag);
    if (!button)
        return;
    const int w = static_cast<int>(m_itemSize.width());
    const int h = static_cast<int>(m_itemSize.height());
    if (w <= 0 || h <= 0)
        return;
    const qreal dpr = std::max<qreal>(1.0, devicePixelRatioF());
    QPixmap pixmap(static_cast<int>(std::lround(w * dpr)), static_cast<int>(std::lround(h * dpr)));
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(QRectF(1, 1, w - 2, h - 2), 5, 5);
    painter.end();
    button->setBackgroundImage(pixmap, ImageButton::Selected);
}

void Toolbar::changeBgColor(ImageButton* button, bool selected)
{
    if (!button)
        return;
    button->setBackgroundImage(selected ? button->backgroundImage(ImageButton::Selected) : QPixmap(),
                               ImageButton::Normal);
    if (m_type == 1 && !button->children().isEmpty()) {
        if (auto* caption = qobject_cast<QLabel*>(button->children().last())) {
            QPalette palette = caption->palette();
            palette.setColor(QPalette::WindowText, selected ? Qt::white : Qt::black);
            caption->setPalette(palette);
        }
    }
}

void Toolbar::onCommand(ImageButton* button)
{
    showHelpString(platform::viewTag(button), true);
    // On the next turn of the event loop, through the application object:
    // the handler may well delete this bar (a screen change).
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [self = QPointer<Toolbar>(this), target = QPointer<ImageButton>(button)] {
                           if (!self || !target || !self->m_cmdHandler)
                               return;
                           const auto handler = self->m_cmdHandler;
                           handler(target.data());
                       });
}

void Toolbar::onButtonTouchDown(ImageButton* button)
{
    const int tag = platform::viewTag(button);
    if (isRadioTag(tag)) {
        for (int other : m_radioTags) {
            if (ImageButton* b = buttonWithTag(other)) {
                b->setSelected(b == button);
                changeBgColor(b, b == button);
            }
        }
        // A radio button among duplicates of its tag stays selected.
        button->setSelected(true);
        changeBgColor(button, true);
    } else if (isToggleTag(tag)) {
        button->setSelected(!button->isSelected());
        changeBgColor(button, button->isSelected());
    }
}

QRectF Toolbar::buttonFrame(int tag) const
{
    const auto it = m_buttonFrames.find(tag);
    return it == m_buttonFrames.end() ? QRectF() : it->second;
}

QWidget* Toolbar::shadowView() const
{
    return m_shadow;
}

QWidget* Toolbar::arrowView() const
{
    return m_arrow;
}

void Toolbar::setOpacity(qreal opacity)
{
    m_opacity = std::clamp<qreal>(opacity, 0.0, 1.0);
    for (QWidget* w : {static_cast<QWidget*>(this), m_shadow.data(), m_arrow.data()}) {
        if (!w)
            continue;
        if (m_opacity >= 1.0) {
            w->setGraphicsEffect(nullptr);
            continue;
        }
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(w->graphicsEffect());
        if (!effect) {
            effect = new QGraphicsOpacityEffect(w);
            w->setGraphicsEffect(effect);
        }
        effect->setOpacity(m_opacity);
    }
}

qreal Toolbar::opacity() const
{
    return m_opacity;
}

void Toolbar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF bounds = rect();
    if (m_type == 0) {
        const QPixmap background = platform::pixmapResource(QStringLiteral("toolbar_bg_44.png"));
        if (!background.isNull()) {
            painter.drawTiledPixmap(bounds, background);
        } else {
            QLinearGradient gradient(0, 0, 0, bounds.height());
            gradient.setColorAt(0, QColor(72, 72, 72));
            gradient.setColorAt(1, QColor(28, 28, 28));
            painter.fillRect(bounds, gradient);
        }
    } else {
        const QPixmap background = platform::pixmapResource(QStringLiteral("toolbar_sub_bg.png"));
        if (!background.isNull()) {
            const QSizeF size = platform::pixmapPointSize(background);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            drawStretched(painter, bounds, background, static_cast<int>(size.width() / 2 - 1),
                          static_cast<int>(size.height() / 2 - 1));
        } else {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(QColor(170, 170, 170), 1.0));
            painter.setBrush(QColor(236, 236, 236));
            painter.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
            painter.setRenderHint(QPainter::Antialiasing, false);
        }
    }

    // Hairlines one point wide, centred on x as the bar's coordinates count.
    auto vline = [&](double x, const QColor& color) { painter.fillRect(QRectF(x - 0.5, 0, 1, bounds.height()), color); };
    for (const ToolbarSeparator& sep : m_seps) {
        if (!buttonWithTag(sep.tag))
            continue;
        const QRectF frame = buttonFrame(sep.tag);
        const double x = sep.offset + (sep.side == 1 ? static_cast<int>(frame.x() + frame.width())
                                                     : static_cast<int>(frame.x() - 2));
        vline(x, m_type == 0 ? QColor(15, 15, 14) : QColor(160, 160, 160));
        vline(x + 1, m_type == 0 ? QColor(64, 64, 64) : QColor(255, 255, 255));
    }

    if (m_type == 0) {
        const double y = m_bTop ? static_cast<int>(bounds.bottom()) : 0;
        painter.fillRect(QRectF(0, y - 0.5, bounds.width(), 1), Qt::black);
    }
}

void Toolbar::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    layoutDecorations();
}

void Toolbar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutDecorations();
}

void Toolbar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    layoutDecorations();
}

bool Toolbar::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        adoptDecoration(m_shadow);
        adoptDecoration(m_arrow);
        layoutDecorations();
        break;
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
    case QEvent::ZOrderChange:
        for (QWidget* w : {m_shadow.data(), m_arrow.data()}) {
            if (w && w->parentWidget() && w->parentWidget() == parentWidget()) {
                w->setVisible(!isHidden());
                w->stackUnder(this);
            }
        }
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void Toolbar::layoutDecorations()
{
    if (m_shadow) {
        const bool below = (m_type == 0) == m_bTop;
        m_shadow->setGeometry(x(), below ? y() + height() : y() - 4, width(), 4);
    }
    if (m_arrow)
        m_arrow->move(pos() + m_arrowOffset);
}

void Toolbar::adoptDecoration(QWidget* decoration)
{
    if (!decoration)
        return;
    QWidget* parent = parentWidget();
    if (decoration->parentWidget() != parent)
        decoration->setParent(parent);
    if (!parent) {
        decoration->hide();
        return;
    }
    decoration->setVisible(!isHidden());
    decoration->stackUnder(this);
}

bool Toolbar::isRadioTag(int tag) const
{
    return std::find(m_radioTags.begin(), m_radioTags.end(), tag) != m_radioTags.end();
}

bool Toolbar::isToggleTag(int tag) const
{
    return std::find(m_toggleButtonTags.begin(), m_toggleButtonTags.end(), tag) != m_toggleButtonTags.end();
}
