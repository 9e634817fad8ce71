#include "platform/SystemLog.h"

#include <syslog.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace platform {

namespace {
std::mutex g_mutex;
SystemLogSink g_sink;
} // namespace

void systemLog(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::vector<char> text(size_t(length > 0 ? length : 0) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);

    std::lock_guard<std::mutex> lock(g_mutex);
    static const bool toStderr = std::getenv("NIMBALIGHT_LOG_TO_STDERR") != nullptr;
    if (g_sink)
        g_sink(std::string(text.data()));
    else if (toStderr)
        std::fputs(text.data(), stderr);
    else
        syslog(LOG_DEBUG, "%s", text.data());
}

SystemLogSink setSystemLogSink(SystemLogSink sink)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    SystemLogSink old = std::move(g_sink);
    g_sink = std::move(sink);
    return old;
}

} // namespace platform
