// A custom button of images: a foreground image and a background image per
// state (normal, highlighted while pressed, selected), edge insets for the
// image, an optional caption label as its last child, and two actions:
// touch down and touch up inside.
//
// The state drawn is Highlighted while pressed, else Selected when selected,
// else Normal; a state without its own image (or background) falls back to
// the normal one. The image keeps its size in points and is centred in the
// frame less the insets (shrunk to fit when larger); the background is
// stretched over the whole frame. An optional title (QAbstractButton::text)
// is drawn centred, for the plain rounded-rectangle buttons.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QMargins>
#include <QPixmap>

#include <array>
#include <functional>

namespace platform {

class ImageButton : public QAbstractButton {
public:
    enum State { Normal = 0, Highlighted = 1, Selected = 2 };

    explicit ImageButton(QWidget* parent = nullptr);
    ~ImageButton() override;

    void setImage(const QPixmap& image, State state);
    void setBackgroundImage(const QPixmap& image, State state);
    QPixmap image(State state) const;
    QPixmap backgroundImage(State state) const;
    // Shifts the image inside the frame (top -5, bottom 5 moves it up 5).
    void setImageEdgeInsets(const QMargins& insets);
    QMargins imageEdgeInsets() const;
    // Darken the image while pressed (on by default); only where the
    // highlighted state has no image of its own.
    void setAdjustsImageWhenHighlighted(bool on);
    bool adjustsImageWhenHighlighted() const;

    void setSelected(bool selected);
    bool isSelected() const;

    void setTouchDownAction(std::function<void(ImageButton*)> action);
    void setTouchUpInsideAction(std::function<void(ImageButton*)> action);

    // The state drawn now (see above).
    State currentState() const;

    // The title's colour per state (falls back to the normal one).
    void setTitleColor(const QColor& color, State state);
    // The system's plain rounded-rectangle button: a white card with a grey
    // border under the background image, a blue title; blue while pressed.
    void setRoundedRectStyle(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<QPixmap, 3> m_images;
    std::array<QPixmap, 3> m_backgrounds;
    std::array<QColor, 3> m_titleColors;
    QMargins m_imageInsets;
    bool m_bAdjustsImageWhenHighlighted = true;
    bool m_bSelected = false;
    bool m_bRoundedRect = false;
    std::function<void(ImageButton*)> m_touchDown;
    std::function<void(ImageButton*)> m_touchUpInside;
};

// The image button of the home screen and the message boxes: frame = the
// normal image's size (in points), the pressed image for the highlighted and
// the selected state, the tag, the action on touch up inside. Images are
// looked up as resources (see pixmapResource). An empty pressed name means
// none.
ImageButton* makeImageButton(const QString& normalImage, const QString& pressedImage, int tag,
                             std::function<void(ImageButton*)> action, QWidget* parent = nullptr);

// Centre view at (x, y): origin (int(x - width / 2), int(y - height / 2)).
void centerView(QWidget* view, double x, double y);

// The size of a pixmap in points (its pixels over its device pixel ratio).
QSizeF pixmapPointSize(const QPixmap& pixmap);

} // namespace platform
