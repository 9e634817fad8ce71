#include "platform/Screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace platform {

double mainScreenScale()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

QSize mainScreenSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : kAppScreenSize;
}

} // namespace platform
