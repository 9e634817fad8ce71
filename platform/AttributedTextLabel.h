// The attributed-text label: a text drawn in its frame with one font and one
// colour, the first occurrence of a highlight string in another colour, a
// horizontal alignment (left, centre, right) and a vertical one (top,
// centre, bottom), wrapped at word boundaries or kept on one line. It never
// takes a touch.
#pragma once

#include <QColor>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <utility>

class QTextLayout;

namespace platform {

class AttributedTextLabel : public QWidget {
public:
    explicit AttributedTextLabel(QWidget* parent = nullptr);
    AttributedTextLabel(const QRect& frame, QWidget* parent);

    void setText(const QString& text);
    QString text() const;
    void setTextColor(const QColor& color);
    QColor textColor() const;
    // The first occurrence of highlight in the text is drawn in color; an
    // empty highlight (or one not found) highlights nothing.
    void setHighlight(const QString& highlight, const QColor& color);
    QString highlight() const;
    // Horizontal and vertical flags together (default top left).
    void setAlignment(Qt::Alignment alignment);
    Qt::Alignment alignment() const;
    // On by default.
    void setWordWrap(bool on);
    bool wordWrap() const;

    // Where the highlighted characters fall in the label, united over their
    // lines; empty when nothing is highlighted.
    QRectF highlightRect() const;
    // The bounding box of the laid-out text in the label.
    QRectF textRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Lays the text out for the label's width; origin is where the layout's
    // (0, 0) falls in the label after the vertical alignment.
    void layoutText(QTextLayout& layout, QPointF& origin) const;
    // The highlighted character range, or start -1.
    std::pair<int, int> highlightRange() const;

    QString m_text;
    QColor m_textColor = Qt::black;
    QString m_highlight;
    QColor m_highlightColor = Qt::red;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignTop;
    bool m_bWordWrap = true;
};

} // namespace platform
