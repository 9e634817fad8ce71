#include "ui/MessageBox.h"

#include "platform/AttributedTextLabel.h"
#include "platform/ImageButton.h"
#include "platform/Label.h"
#include "platform/ResourceLookup.h"
#include "platform/ViewTag.h"
#include "ui/CheckBox.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPropertyAnimation>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSlideMs = 300;

// The card: the image at its natural size, or a plain white card.
class CardView : public QWidget {
public:
    explicit CardView(QWidget* parent)
        : QWidget(parent)
        , m_image(platform::pixmapResource(QStringLiteral("messagebox.png")))
    {
        const QSizeF size = platform::pixmapPointSize(m_image);
        if (m_image.isNull())
            resize(MessageBox::kDefaultCardWidth, MessageBox::kDefaultCardHeight);
        else
            resize(static_cast<int>(std::lround(size.width())), static_cast<int>(std::lround(size.height())));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (!m_image.isNull()) {
            painter.drawPixmap(QRectF(rect()), m_image, QRectF(m_image.rect()));
            return;
        }
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(120, 120, 120), 1.0));
        painter.setBrush(QColor(250, 250, 250));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    }

private:
    QPixmap m_image;
};

QPixmap optionBackground(const QSize& size)
{
    // Drawn at twice the button's size and used at scale 2.
    QPixmap pixmap(size * 2);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(18, 84, 131));
    painter.drawRoundedRect(QRectF(0, 0, size.width(), size.height()), 10, 10);
    return pixmap;
}

} // namespace

MessageBox::MessageBox(QWidget* parent)
    : QWidget(parent)
    , m_parent(parent)
{
    Q_ASSERT(parent);
    const QRect bounds = parent ? parent->rect() : QRect(0, 0, 320, 480);
    setGeometry(bounds);
    m_msgBoxView = new CardView(this);
    m_msgBoxView->setObjectName(QStringLiteral("messageBoxCard"));
    platform::centerView(m_msgBoxView, bounds.width() / 2.0, bounds.height() / 2.0);

    // Drops in from one box height above its place.
    m_slide = new QPropertyAnimation(this, "pos", this);
    m_slide->setDuration(kSlideMs);
    m_slide->setEasingCurve(QEasingCurve::InOutQuad);
    m_slide->setStartValue(QPoint(bounds.x(), bounds.y() - bounds.height()));
    m_slide->setEndValue(bounds.topLeft());
    move(bounds.x(), bounds.y() - bounds.height());
    raise();
    show();
    m_slide->start();
}

MessageBox::~MessageBox() = default;

void MessageBox::setText(const QString& text, const QString& highlightText, const QRect& frame)
{
    auto* label = new platform::AttributedTextLabel(frame, m_msgBoxView);
    label->setObjectName(QStringLiteral("messageText"));
    QFont font = label->font();
    font.setPixelSize(16);
    font.setBold(true);
    label->setFont(font);
    label->setText(text);
    label->setTextColor(Qt::black);
    label->setHighlight(highlightText, Qt::red);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->show();
}

void MessageBox::addButton(int tag, const QString& imageName, const QString& text, const QRect& frame)
{
    Q_ASSERT_X(m_btnCount < kMaxButtons, "MessageBox::addButton", "at most 10 buttons");
    if (m_btnCount >= kMaxButtons)
        return;
    auto* button = new platform::ImageButton(m_msgBoxView);
    button->setGeometry(frame);
    platform::setViewTag(button, tag);
    if (!imageName.isEmpty()) {
        button->setImage(platform::pixmapResource(imageName), platform::ImageButton::Normal);
        button->setImageEdgeInsets(QMargins(0, -5, 0, 5));
        auto* caption = new platform::Label(text, QRect(-5, frame.height() - 15, frame.width() + 10, 15), button);
        caption->setObjectName(QStringLiteral("caption"));
        caption->setFontSize(10);
        caption->setTextColor(Qt::black);
        caption->setAlignment(Qt::AlignCenter);
        button->setBackgroundImage(optionBackground(frame.size()), platform::ImageButton::Selected);
    } else {
        button->setRoundedRectStyle(true);
        button->setText(text);
        QFont font = button->font();
        font.setPixelSize(15);
        font.setBold(true);
        button->setFont(font);
    }
    button->setTouchUpInsideAction([this](platform::ImageButton* b) { onButtonClicked(b); });
    button->show();
    m_buttons[static_cast<size_t>(m_btnCount++)] = tag;
}

void MessageBox::setDoNotShowAgain(const QString& text, const QRect& frame)
{
    m_bShowPopup = true;
    delete m_checkButton;
    m_checkButton = new platform::ImageButton(m_msgBoxView);
    m_checkButton->setObjectName(QStringLiteral("doNotShowAgain"));
    m_checkButton->setGeometry(frame.x(), frame.y(), 30, 30);
    m_checkButton->setImage(checkBoxPixmap(false), platform::ImageButton::Normal);
    m_checkButton->setTouchUpInsideAction([this](platform::ImageButton*) { onCheckDoNotShowAgain(); });
    m_checkButton->show();

    // The text keeps to the card (widgets clip their children): it wraps
    // rather than run over the card's right edge.
    QRect textFrame = frame.translated(30, 6);
    textFrame.setWidth(std::max(30, std::min(textFrame.width(), m_msgBoxView->width() - 10 - textFrame.x())));
    auto* label = new platform::AttributedTextLabel(textFrame, m_msgBoxView);
    label->setObjectName(QStringLiteral("doNotShowAgainText"));
    QFont font = label->font();
    font.setPixelSize(11);
    label->setFont(font);
    label->setText(text);
    label->setTextColor(QColor(1, 85, 141));
    label->show();
}

bool MessageBox::isDoNotShowAgainChecked() const
{
    return !m_bShowPopup;
}

void MessageBox::onCheckDoNotShowAgain()
{
    m_bShowPopup = !m_bShowPopup;
    if (m_checkButton)
        m_checkButton->setImage(checkBoxPixmap(!m_bShowPopup), platform::ImageButton::Normal);
}

void MessageBox::showWithCloseHandler(std::function<void(int)> handler)
{
    // A closing button added first closes the box here, before the handler
    // is kept: callers add the options first.
    if (m_btnCount > 0)
        onButtonClicked(buttonWithTag(m_buttons[0]));
    m_closeHandler = std::move(handler);
}

void MessageBox::onButtonClicked(platform::ImageButton* button)
{
    if (!button || m_bClosing)
        return;
    const int tag = platform::viewTag(button);
    if (tag == kCloseButtonTag) {
        closeBox();
        return;
    }
    m_selectedBtn = tag;
    for (int i = 0; i < m_btnCount; ++i) {
        platform::ImageButton* b = buttonWithTag(m_buttons[static_cast<size_t>(i)]);
        if (!b)
            continue;
        const bool selected = platform::viewTag(b) == tag;
        b->setSelected(selected);
        b->setBackgroundImage(selected ? b->backgroundImage(platform::ImageButton::Selected) : QPixmap(),
                              platform::ImageButton::Normal);
        if (!b->children().isEmpty()) {
            if (auto* caption = qobject_cast<QLabel*>(b->children().last())) {
                QPalette palette = caption->palette();
                palette.setColor(QPalette::WindowText, selected ? Qt::white : Qt::black);
                caption->setPalette(palette);
            }
        }
    }
}

void MessageBox::closeBox()
{
    // Once: a second tap during the slide out must not run the handler again.
    m_bClosing = true;
    if (m_closeHandler) {
        const auto handler = std::move(m_closeHandler);
        m_closeHandler = nullptr;
        handler(m_selectedBtn);
    }
    m_slide->stop();
    m_slide->setStartValue(pos());
    m_slide->setEndValue(QPoint(pos().x(), pos().y() - height()));
    connect(m_slide, &QPropertyAnimation::finished, this, [this] {
        hide();
        deleteLater();
    });
    m_slide->start();
}

int MessageBox::selectedButton() const
{
    return m_selectedBtn;
}

platform::ImageButton* MessageBox::buttonWithTag(int tag) const
{
    for (auto* b : m_msgBoxView->findChildren<platform::ImageButton*>(Qt::FindDirectChildrenOnly)) {
        if (b != m_checkButton && platform::viewTag(b) == tag)
            return b;
    }
    return nullptr;
}

platform::ImageButton* MessageBox::doNotShowAgainButton() const
{
    return m_checkButton;
}

QWidget* MessageBox::cardView() const
{
    return m_msgBoxView;
}

bool MessageBox::isClosing() const
{
    return m_bClosing;
}

// Modal: taps outside the card stop here.
void MessageBox::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void MessageBox::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void MessageBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void MessageBox::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void MessageBox::wheelEvent(QWheelEvent* event)
{
    event->accept();
}
