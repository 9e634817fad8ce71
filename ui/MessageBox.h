// The modal message card: a view covering its parent with the card
// ("messagebox.png") in the middle, a text with a highlighted part, option
// buttons that behave as a radio group, an optional "do not show again"
// check box and the closing button (tag 10). It drops in when created and
// slides out when closed, then deletes itself; the close handler gets the
// selected option's tag.
#pragma once

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QPropertyAnimation;
namespace platform { class ImageButton; }

class MessageBox : public QWidget {
public:
    static constexpr int kCloseButtonTag = 10;
    static constexpr int kMaxButtons = 10;
    // The card's size when "messagebox.png" is missing.
    static constexpr int kDefaultCardWidth = 280;
    static constexpr int kDefaultCardHeight = 270;

    // initWithView: — adds itself to parent and drops in (0.3 s).
    explicit MessageBox(QWidget* parent);
    ~MessageBox() override;

    // setText:highlightText:withFrame: — frame on the card; highlight may be empty.
    void setText(const QString& text, const QString& highlightText, const QRect& frame);
    // addButton:imageName:text:withFrame: — an empty image name gives a
    // plain rounded-rectangle button titled with text.
    void addButton(int tag, const QString& imageName, const QString& text, const QRect& frame);
    // setDoNotShowAgain:withFrame:
    void setDoNotShowAgain(const QString& text, const QRect& frame);
    bool isDoNotShowAgainChecked() const;
    // Selects the first button added as if tapped, then keeps the handler.
    void showWithCloseHandler(std::function<void(int selectedTag)> handler);

    // The taps (public for the screens' tests).
    void onButtonClicked(platform::ImageButton* button);
    void onCheckDoNotShowAgain();

    int selectedButton() const;
    platform::ImageButton* buttonWithTag(int tag) const;
    platform::ImageButton* doNotShowAgainButton() const;
    QWidget* cardView() const;
    // The slide out has started.
    bool isClosing() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void closeBox();

    QPointer<QWidget> m_parent;
    QWidget* m_msgBoxView = nullptr;
    std::array<int, kMaxButtons> m_buttons{};
    int m_btnCount = 0;
    int m_selectedBtn = -1;
    bool m_bShowPopup = false;
    std::function<void(int)> m_closeHandler;
    platform::ImageButton* m_checkButton = nullptr;
    QPropertyAnimation* m_slide = nullptr;
    bool m_bClosing = false;
};
