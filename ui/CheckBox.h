// A check box with a text: a 30 x 30 box button and the text beside it.
// A tap on the box only tells the listener; the listener decides the new
// state with setCheck (without a listener a tap changes nothing).
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

namespace platform {
class AttributedTextLabel;
class ImageButton;
} // namespace platform

class QPixmap;

// "checkbox_sel.png" (ticked) or "checkbox.png"; a drawn 30 x 30 box when
// the image is missing.
QPixmap checkBoxPixmap(bool checked);

class CheckBox : public QWidget {
public:
    // initWithText:andFrame: — unchecked.
    CheckBox(const QString& text, const QRect& frame, QWidget* parent = nullptr);
    ~CheckBox() override;

    void setListener(std::function<void(CheckBox*)> listener);
    bool isChecked() const;
    void setCheck(bool checked);

    platform::ImageButton* checkButton() const;
    platform::AttributedTextLabel* textLabel() const;

private:
    void onCheck();

    bool m_bChecked = false;
    std::function<void(CheckBox*)> m_listener;
    platform::ImageButton* m_checkButton = nullptr;
    platform::AttributedTextLabel* m_label = nullptr;
};
