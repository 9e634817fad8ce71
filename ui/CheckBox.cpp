#include "ui/CheckBox.h"

#include "platform/AttributedTextLabel.h"
#include "platform/ImageButton.h"
#include "platform/ResourceLookup.h"

#include <QPainter>
#include <QPixmap>

QPixmap checkBoxPixmap(bool checked)
{
    QPixmap pixmap =
        platform::pixmapResource(checked ? QStringLiteral("checkbox_sel.png") : QStringLiteral("checkbox.png"));
    if (!pixmap.isNull())
        return pixmap;
    pixmap = QPixmap(60, 60);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(1, 85, 141), 1.5));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(6, 6, 18, 18), 3, 3);
    if (checked) {
        painter.setPen(QPen(QColor(1, 85, 141), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(QPolygonF({QPointF(10, 15), QPointF(14, 20), QPointF(21, 9)}));
    }
    return pixmap;
}

CheckBox::CheckBox(const QString& text, const QRect& frame, QWidget* parent)
    : QWidget(parent)
{
    setGeometry(frame);
    m_checkButton = new platform::ImageButton(this);
    m_checkButton->setObjectName(QStringLiteral("checkButton"));
    m_checkButton->setGeometry(0, 0, 30, 30);
    m_checkButton->setImage(checkBoxPixmap(false), platform::ImageButton::Normal);
    m_checkButton->setTouchUpInsideAction([this](platform::ImageButton*) { onCheck(); });

    m_label = new platform::AttributedTextLabel(QRect(30, 0, frame.width() - 30, frame.height()), this);
    m_label->setText(text);
    m_label->setTextColor(QColor(1, 85, 141));
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont font = m_label->font();
    font.setPixelSize(14);
    m_label->setFont(font);
}

CheckBox::~CheckBox() = default;

void CheckBox::setListener(std::function<void(CheckBox*)> listener)
{
    m_listener = std::move(listener);
}

bool CheckBox::isChecked() const
{
    return m_bChecked;
}

void CheckBox::setCheck(bool checked)
{
    m_bChecked = checked;
    m_checkButton->setImage(checkBoxPixmap(checked), platform::ImageButton::Normal);
}

platform::ImageButton* CheckBox::checkButton() const
{
    return m_checkButton;
}

platform::AttributedTextLabel* CheckBox::textLabel() const
{
    return m_label;
}

void CheckBox::onCheck()
{
    if (m_listener) {
        const auto listener = m_listener;
        listener(this);
    }
}
