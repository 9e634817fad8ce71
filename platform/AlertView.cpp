#include "platform/AlertView.h"

#include "platform/ImageButton.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace platform {

namespace {

constexpr int kCardWidth = 270;
constexpr int kPadding = 16;
constexpr int kButtonHeight = 44;

QList<AlertView*>& liveAlerts()
{
    static QList<AlertView*> alerts;
    return alerts;
}

QPixmap solidPixmap(const QColor& color)
{
    QPixmap pixmap(1, 1);
    pixmap.fill(color);
    return pixmap;
}

QWidget* defaultWindow()
{
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && !dynamic_cast<AlertView*>(w))
            return w;
    }
    return nullptr;
}

} // namespace

AlertView::AlertView(const QString& title, const QString& message, const QString& cancelButtonTitle,
                     const QStringList& otherButtonTitles)
    : m_title(title)
    , m_message(message)
{
    m_bHasCancel = !cancelButtonTitle.isEmpty();
    if (m_bHasCancel)
        m_buttonTitles << cancelButtonTitle;
    m_buttonTitles << otherButtonTitles;

    hide();

    m_card = new QWidget(this);
    m_card->setObjectName(QStringLiteral("alertCard"));

    auto makeLabel = [this](const QString& text, int pixelSize, bool bold, const char* name) {
        auto* label = new QLabel(text, m_card);
        label->setObjectName(QLatin1String(name));
        QFont font = label->font();
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        label->setFont(font);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setVisible(!text.isEmpty());
        return label;
    };
    makeLabel(m_title, 17, true, "alertTitle");
    makeLabel(m_message, 14, false, "alertMessage");

    for (int i = 0; i < m_buttonTitles.size(); ++i) {
        auto* button = new ImageButton(m_card);
        button->setText(m_buttonTitles[i]);
        QFont font = button->font();
        font.setPixelSize(17);
        font.setBold(m_bHasCancel && i == 0);
        button->setFont(font);
        button->setTitleColor(QColor(21, 113, 232), ImageButton::Normal);
        button->setBackgroundImage(solidPixmap(QColor(218, 218, 222)), ImageButton::Highlighted);
        button->setTouchUpInsideAction([this, i](ImageButton*) { dismissWithClickedButtonIndex(i); });
        m_buttons.push_back(button);
    }
}

AlertView::~AlertView()
{
    liveAlerts().removeAll(this);
    if (m_window)
        m_window->removeEventFilter(this);
}

void AlertView::setTag(int tag)
{
    m_tag = tag;
}

int AlertView::tag() const
{
    return m_tag;
}

int AlertView::cancelButtonIndex() const
{
    return m_bHasCancel ? 0 : -1;
}

int AlertView::firstOtherButtonIndex() const
{
    const int first = m_bHasCancel ? 1 : 0;
    return first < m_buttonTitles.size() ? first : -1;
}

int AlertView::numberOfButtons() const
{
    return static_cast<int>(m_buttonTitles.size());
}

QString AlertView::buttonTitleAtIndex(int index) const
{
    return index >= 0 && index < m_buttonTitles.size() ? m_buttonTitles[index] : QString();
}

QString AlertView::title() const
{
    return m_title;
}

QString AlertView::message() const
{
    return m_message;
}

void AlertView::setClickedButtonHandler(std::function<void(AlertView*, int)> handler)
{
    m_clicked = std::move(handler);
}

void AlertView::setWillDismissHandler(std::function<void(AlertView*, int)> handler)
{
    m_willDismiss = std::move(handler);
}

void AlertView::show(QWidget* over)
{
    if (m_bShown || m_bDismissed)
        return;
    m_bShown = true;
    QWidget* window = over ? over->window() : defaultWindow();
    if (window) {
        m_window = window;
        setParent(window);
        setGeometry(window->rect());
        window->installEventFilter(this);
    } else {
        // Nothing on screen to lay it over: it becomes a window of its own.
        resize(320, 480);
    }
    layoutCard();
    liveAlerts().append(this);
    raise();
    QWidget::show();
}

void AlertView::dismissWithClickedButtonIndex(int index)
{
    if (m_bDismissed)
        return;
    m_bDismissed = true;
    // The handlers may show another alert or tear down the screen below;
    // this one is gone from the list of visible alerts first.
    liveAlerts().removeAll(this);
    auto clicked = std::move(m_clicked);
    auto willDismiss = std::move(m_willDismiss);
    m_clicked = nullptr;
    m_willDismiss = nullptr;
    QPointer<AlertView> self(this);
    if (clicked)
        clicked(this, index);
    if (self && willDismiss)
        willDismiss(this, index);
    if (self) {
        hide();
        deleteLater();
    }
}

QAbstractButton* AlertView::buttonAtIndex(int index) const
{
    return index >= 0 && index < static_cast<int>(m_buttons.size()) ? m_buttons[static_cast<size_t>(index)] : nullptr;
}

QWidget* AlertView::cardView() const
{
    return m_card;
}

QList<AlertView*> AlertView::visibleAlerts()
{
    return liveAlerts();
}

void AlertView::layoutCard()
{
    const int cardWidth = std::min(kCardWidth, std::max(120, width() - 2 * kPadding));
    const int textWidth = cardWidth - 2 * kPadding;
    int y = kPadding + 4;
    for (const char* name : {"alertTitle", "alertMessage"}) {
        auto* label = m_card->findChild<QLabel*>(QLatin1String(name));
        if (!label || label->text().isEmpty())
            continue;
        const QRect needed = QFontMetrics(label->font())
                                 .boundingRect(QRect(0, 0, textWidth, 10000), Qt::TextWordWrap | Qt::AlignHCenter,
                                               label->text());
        label->setGeometry(kPadding, y, textWidth, needed.height());
        y += needed.height() + 6;
    }
    y += kPadding - 6;

    const int count = static_cast<int>(m_buttons.size());
    if (count == 2) {
        // Side by side, the cancel button (index 0) on the left.
        const int half = cardWidth / 2;
        m_buttons[0]->setGeometry(0, y + 1, half, kButtonHeight - 1);
        m_buttons[1]->setGeometry(half + 1, y + 1, cardWidth - half - 1, kButtonHeight - 1);
        y += kButtonHeight;
    } else {
        // Stacked; the cancel button last.
        std::vector<int> order;
        for (int i = m_bHasCancel ? 1 : 0; i < count; ++i)
            order.push_back(i);
        if (m_bHasCancel)
            order.push_back(0);
        for (int index : order) {
            m_buttons[static_cast<size_t>(index)]->setGeometry(0, y + 1, cardWidth, kButtonHeight - 1);
            y += kButtonHeight;
        }
    }
    m_card->setGeometry((width() - cardWidth) / 2, (height() - y) / 2, cardWidth, y);
}

bool AlertView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Resize) {
        setGeometry(m_window->rect());
        layoutCard();
    }
    return QWidget::eventFilter(watched, event);
}

void AlertView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 100));
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = m_card->geometry();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(246, 246, 248));
    painter.drawRoundedRect(card, 12, 12);
    // Hairlines above and between the buttons.
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (QAbstractButton* button : m_buttons) {
        const QRectF b = QRectF(button->geometry()).translated(card.topLeft());
        painter.fillRect(QRectF(b.left(), b.top() - 1, b.width(), 1), QColor(200, 200, 204));
        if (b.left() > card.left())
            painter.fillRect(QRectF(b.left() - 1, b.top(), 1, b.height()), QColor(200, 200, 204));
    }
}

// The alert is modal: whatever reaches it goes no further. (Touches are
// not taken as touches, so that they reach the buttons as mouse presses.)
void AlertView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void AlertView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void AlertView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void AlertView::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void AlertView::wheelEvent(QWheelEvent* event)
{
    event->accept();
}

} // namespace platform
