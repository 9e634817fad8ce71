#include "platform/AttributedTextLabel.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace platform {

AttributedTextLabel::AttributedTextLabel(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

AttributedTextLabel::AttributedTextLabel(const QRect& frame, QWidget* parent)
    : AttributedTextLabel(parent)
{
    setGeometry(frame);
}

void AttributedTextLabel::setText(const QString& text)
{
    m_text = text;
    update();
}

QString AttributedTextLabel::text() const
{
    return m_text;
}

void AttributedTextLabel::setTextColor(const QColor& color)
{
    m_textColor = color;
    update();
}

QColor AttributedTextLabel::textColor() const
{
    return m_textColor;
}

void AttributedTextLabel::setHighlight(const QString& highlight, const QColor& color)
{
    m_highlight = highlight;
    m_highlightColor = color;
    update();
}

QString AttributedTextLabel::highlight() const
{
    return m_highlight;
}

void AttributedTextLabel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

Qt::Alignment AttributedTextLabel::alignment() const
{
    return m_alignment;
}

void AttributedTextLabel::setWordWrap(bool on)
{
    m_bWordWrap = on;
    update();
}

bool AttributedTextLabel::wordWrap() const
{
    return m_bWordWrap;
}

std::pair<int, int> AttributedTextLabel::highlightRange() const
{
    if (m_highlight.isEmpty())
        return {-1, 0};
    const int start = static_cast<int>(m_text.indexOf(m_highlight));
    return {start, start < 0 ? 0 : static_cast<int>(m_highlight.size())};
}

void AttributedTextLabel::layoutText(QTextLayout& layout, QPointF& origin) const
{
    QString text = m_text;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    layout.setText(text);
    layout.setFont(font());
    QTextOption option;
    option.setAlignment(m_alignment & Qt::AlignHorizontal_Mask);
    option.setWrapMode(m_bWordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    layout.setTextOption(option);

    const auto [start, length] = highlightRange();
    if (start >= 0) {
        QTextLayout::FormatRange range;
        range.start = start;
        range.length = length;
        range.format.setForeground(m_highlightColor);
        layout.setFormats({range});
    }

    layout.beginLayout();
    qreal y = 0;
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width());
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();

    qreal top = 0;
    if (m_alignment & Qt::AlignVCenter)
        top = (height() - y) / 2;
    else if (m_alignment & Qt::AlignBottom)
        top = height() - y;
    origin = QPointF(0, top);
}

QRectF AttributedTextLabel::highlightRect() const
{
    const auto [start, length] = highlightRange();
    if (start < 0)
        return QRectF();
    QTextLayout layout;
    QPointF origin;
    layoutText(layout, origin);
    QRectF united;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const int a = std::max(start, line.textStart());
        const int b = std::min(start + length, line.textStart() + line.textLength());
        if (a >= b)
            continue;
        const qreal x1 = line.cursorToX(a);
        const qreal x2 = line.cursorToX(b);
        const QRectF part(std::min(x1, x2), line.y(), std::abs(x2 - x1), line.height());
        united = united.isNull() ? part : united.united(part);
    }
    return united.translated(origin);
}

QRectF AttributedTextLabel::textRect() const
{
    QTextLayout layout;
    QPointF origin;
    layoutText(layout, origin);
    QRectF united;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const QRectF part(line.x() + line.cursorToX(line.textStart()), line.y(), line.naturalTextWidth(),
                          line.height());
        united = united.isNull() ? part : united.united(part);
    }
    return united.translated(origin);
}

void AttributedTextLabel::paintEvent(QPaintEvent*)
{
    if (m_text.isEmpty())
        return;
    QTextLayout layout;
    QPointF origin;
    layoutText(layout, origin);
    QPainter painter(this);
    painter.setClipRect(rect());
    painter.setPen(m_textColor);
    layout.draw(&painter, origin);
}

void AttributedTextLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        update();
    QWidget::changeEvent(event);
}

} // namespace platform
