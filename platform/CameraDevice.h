// Whether the device has a camera to take photos with (Qt Multimedia's
// video inputs). Tests and machines without one may state the answer.
#pragma once

#include <optional>

namespace platform {

// isSourceTypeAvailable: camera — true when a video input exists.
bool hasCamera();
// Replaces the answer of hasCamera (nullopt: ask the devices again).
void setCameraAvailableOverride(std::optional<bool> available);

} // namespace platform
