// A plain text label: one font size, one colour, an alignment, optional word
// wrap; it never takes a touch (taps go to the view below it, the button it
// captions, for example).
#pragma once

#include <QColor>
#include <QLabel>
#include <QRect>

namespace platform {

class Label : public QLabel {
public:
    Label(const QString& text, const QRect& frame, QWidget* parent = nullptr);

    // The system font at this size in points; bold when asked.
    void setFontSize(int pointSize, bool bold = false);
    void setTextColor(const QColor& color);
    QColor textColor() const;
};

} // namespace platform
