// The main screen as the application sees it: its scale (device pixels per
// point; 2 on a high-resolution screen) and its size in points.
#pragma once

#include <QSize>

namespace platform {

// The device pixel ratio of the primary screen; 1 when there is none.
double mainScreenScale();
QSize mainScreenSize();
// The application's screen, in points: 320 x 480.
constexpr QSize kAppScreenSize(320, 480);

} // namespace platform
