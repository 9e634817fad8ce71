// The root view controller: makes the application's window, creates the
// root view in it (which opens the home screen without animation) and
// presents the modal screens (photo picker, camera, settings) over it.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class MainView;

class MainViewController {
public:
    // loadView: the window of 320 x 480 points, the root view filling it,
    // view 1 selected with isBack false. The screens' constructors must be
    // registered first (MainView::registerWorkView).
    MainViewController();
    ~MainViewController();
    MainViewController(const MainViewController&) = delete;
    MainViewController& operator=(const MainViewController&) = delete;

    QWidget* window() const;
    MainView* view() const;

    // presentModalViewController:animated: — screen covers the window (it
    // slides up from the bottom when animated) and takes every touch until it
    // is dismissed. The controller owns it from now on. One at a time: a
    // second one replaces the first.
    void presentModalViewController(QWidget* screen, bool animated);
    // dismissModalViewControllerAnimated: — slides the screen down (when
    // animated) and deletes it once control is back in the event loop, so a
    // screen may ask for its own dismissal from one of its handlers.
    void dismissModalViewControllerAnimated(bool animated);
    // The screen presented now, or null.
    QWidget* modalViewController() const;

private:
    std::unique_ptr<QWidget> m_window;
    MainView* m_view = nullptr;
    QPointer<QWidget> m_modal;
};
