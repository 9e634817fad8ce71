// The alert that reports the chosen button to a completion handler instead
// of a delegate, exactly once.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;
namespace platform { class AlertView; }

class LwAlertView {
public:
    // Shows an alert over over's window; the handler gets the chosen
    // button's index (cancel 0, then the others) and is then released.
    static platform::AlertView* showWithCompletion(const QString& title, const QString& message,
                                                   const QString& cancelButtonTitle,
                                                   const QStringList& otherButtonTitles, QWidget* over,
                                                   std::function<void(int buttonIndex)> completion);
};
