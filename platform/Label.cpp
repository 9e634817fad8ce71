#include "platform/Label.h"

namespace platform {

Label::Label(const QString& text, const QRect& frame, QWidget* parent)
    : QLabel(text, parent)
{
    setGeometry(frame);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(false);
    // Inside a button a label would take the button's text role; its colour
    // is the window text colour wherever it sits.
    setForegroundRole(QPalette::WindowText);
}

void Label::setFontSize(int pointSize, bool bold)
{
    // Sizes are in points of the screen, which are our logical pixels.
    QFont f = font();
    f.setPixelSize(pointSize);
    f.setBold(bold);
    setFont(f);
}

void Label::setTextColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

QColor Label::textColor() const
{
    return palette().color(QPalette::WindowText);
}

} // namespace platform
