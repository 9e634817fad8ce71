// Debug lines for the system log (syslog on this platform). Tests may divert
// them with setSystemLogSink; with NIMBALIGHT_LOG_TO_STDERR set in the
// environment they go to stderr instead, for a developer's terminal.
#pragma once

#include <functional>
#include <string>

namespace platform {

// printf-style; the formatted text goes to the sink unchanged.
void systemLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

using SystemLogSink = std::function<void(const std::string&)>;
// Replaces the sink; an empty function restores syslog. Returns the old sink.
SystemLogSink setSystemLogSink(SystemLogSink sink);

} // namespace platform
