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

class QPixmap;
class QImage;
namespace platform {

// Path of an image resource (in "images/", else at the top level), preferring the "@2x" variant on a
// high-resolution screen and the plain one otherwise, each falling back to
// the other; empty when neither exists.
QString imageResourcePath(const QString& name);
// The image resource as a pixmap whose device pixel ratio is 2 when the
// "@2x" file was found (so its size in points is the plain image's); a null
// pixmap when absent.
QPixmap pixmapResource(const QString& name);

} // namespace platform
