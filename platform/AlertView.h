// The alert: a title, a message and buttons, laid over the window of the
// view it is shown over (modal: it takes every touch). It owns itself while
// shown and deletes itself after a button was chosen. Button indexes: the
// cancel button is 0 when there is one, the other buttons follow in order.
//
// Two buttons sit side by side (the cancel button on the left); one or more
// than two are stacked, the cancel button last. The handlers run at most
// once, for the first button chosen.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <vector>

class QAbstractButton;

namespace platform {

class AlertView : public QWidget {
public:
    AlertView(const QString& title, const QString& message, const QString& cancelButtonTitle,
              const QStringList& otherButtonTitles);
    ~AlertView() override;

    void setTag(int tag);
    int tag() const;
    // -1 when there is no cancel button.
    int cancelButtonIndex() const;
    // -1 when there are no other buttons.
    int firstOtherButtonIndex() const;
    int numberOfButtons() const;
    QString buttonTitleAtIndex(int index) const;
    QString title() const;
    QString message() const;

    // The delegate, as two calls in this order when a button is chosen.
    void setClickedButtonHandler(std::function<void(AlertView*, int buttonIndex)> handler);
    void setWillDismissHandler(std::function<void(AlertView*, int buttonIndex)> handler);

    // Lays the alert over over's window (the active window when null).
    void show(QWidget* over = nullptr);
    // What a tap on button index does: calls the handlers, then closes.
    void dismissWithClickedButtonIndex(int index);

    // The button widget of an index (for tests: click it), or null.
    QAbstractButton* buttonAtIndex(int index) const;
    // The card in the middle (title, message, buttons).
    QWidget* cardView() const;

    // The alerts on screen now, oldest first (for tests and for callers that
    // must not stack them).
    static QList<AlertView*> visibleAlerts();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void layoutCard();

    QString m_title;
    QString m_message;
    QStringList m_buttonTitles;  // in index order
    bool m_bHasCancel = false;
    int m_tag = 0;
    bool m_bShown = false;
    bool m_bDismissed = false;
    QPointer<QWidget> m_window;
    QWidget* m_card = nullptr;
    std::vector<QAbstractButton*> m_buttons;  // in index order
    std::function<void(AlertView*, int)> m_clicked;
    std::function<void(AlertView*, int)> m_willDismiss;
};

} // namespace platform
