#include "platform/CameraDevice.h"

#include <QCameraDevice>
#include <QMediaDevices>

namespace platform {

namespace {
std::optional<bool> g_override;
} // namespace

bool hasCamera()
{
    if (g_override)
        return *g_override;
    return !QMediaDevices::videoInputs().isEmpty();
}

void setCameraAvailableOverride(std::optional<bool> available)
{
    g_override = available;
}

} // namespace platform
