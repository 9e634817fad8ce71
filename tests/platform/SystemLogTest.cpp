#include "platform/SystemLog.h"

#include <gtest/gtest.h>

TEST(SystemLogTest, FormatsIntoTheInstalledSink)
{
    std::string seen;
    platform::setSystemLogSink([&seen](const std::string& line) { seen += line; });
    platform::systemLog("Elpased : %lf secs\n", 0.25);
    platform::setSystemLogSink({});
    EXPECT_EQ(seen, "Elpased : 0.250000 secs\n");
    platform::systemLog("after the sink is gone: %d\n", 1); // goes to syslog, not to seen
    EXPECT_EQ(seen, "Elpased : 0.250000 secs\n");
}
