// A message with an icon shown over a view that goes away by itself: a
// progress display in custom-view mode, shown animated, hidden animated
// after the duration, removed from the view once hidden. The message owns
// itself; callers keep nothing.
#pragma once

#include <QString>

class QWidget;
namespace platform { class ProgressHud; }

class HUDMessage {
public:
    // showMessage:withImage:inView:duration: — image by resource name;
    // answers the display (for tests), which deletes itself once hidden.
    static platform::ProgressHud* showMessage(const QString& text, const QString& imageName, QWidget* view,
                                              double durationSeconds);

    HUDMessage(const HUDMessage&) = delete;
    HUDMessage& operator=(const HUDMessage&) = delete;

private:
    HUDMessage(const QString& text, const QString& imageName, QWidget* view);
    ~HUDMessage();

    platform::ProgressHud* m_hud = nullptr;
};
