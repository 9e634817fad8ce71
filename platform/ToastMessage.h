// The toast: a short text laid over a view for a given time, then gone by
// itself. Nothing to keep or release.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace platform {

void showToast(QWidget* over, const QString& text, int durationMs);
// The toasts on screen now (for tests): their texts, oldest first.
QStringList visibleToastTexts();

} // namespace platform
