#include "platform/ProgressDisplay.h"

namespace platform {

ProgressDisplay::~ProgressDisplay() = default;

} // namespace platform
