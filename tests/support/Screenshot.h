// Grabs a widget to "<NIMBALIGHT_SCREENSHOTS>/<name>.png" (the build tree's
// tests/screenshots unless set), for a person to look at. Returns the path.
#pragma once

#include <QString>

class QWidget;

namespace testsupport {

QString saveScreenshot(QWidget* widget, const QString& name);

} // namespace testsupport
