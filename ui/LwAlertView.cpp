#include "ui/LwAlertView.h"

#include "platform/AlertView.h"

#include <memory>

platform::AlertView* LwAlertView::showWithCompletion(const QString& title, const QString& message,
                                                     const QString& cancelButtonTitle,
                                                     const QStringList& otherButtonTitles, QWidget* over,
                                                     std::function<void(int buttonIndex)> completion)
{
    auto* alert = new platform::AlertView(title, message, cancelButtonTitle, otherButtonTitles);
    // The handler is released right after its one call.
    auto stored = std::make_shared<std::function<void(int)>>(std::move(completion));
    alert->setWillDismissHandler([stored](platform::AlertView*, int index) {
        if (!*stored)
            return;
        const auto handler = std::move(*stored);
        *stored = nullptr;
        handler(index);
    });
    alert->show(over);
    return alert;
}
