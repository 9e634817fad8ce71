// Bundle resources (images, string tables, help pictures). They live in the
// resources folder: NIMBALIGHT_RESOURCES when set, else "share/nimbalight"
// beside the program's folder, else the source tree's resources/.
#pragma once

#include <QString>

namespace platform {

QString resourceFolder();
void setResourceFolder(const QString& path);

// Path of a resource by name ("undo.png", "strings/en.json"); empty when absent.
QString resourcePath(const QString& name);

// The process-wide flag that picks double-resolution ("@2x") images.
bool highResolutionScreen();
void setHighResolutionScreen(bool on);

} // namespace platform
