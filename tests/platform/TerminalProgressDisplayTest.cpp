#include "platform/TerminalProgressDisplay.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {
std::string readAll(std::FILE* f)
{
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    return text;
}
} // namespace

TEST(TerminalProgressDisplayTest, DrawsLabelThenABarPerPercent)
{
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    {
        platform::TerminalProgressDisplay display(f, 10);
        display.setLabelText(QStringLiteral("PREPARING"));
        display.setMode(platform::ProgressDisplay::Mode::Determinate);
        display.setLabelText(QStringLiteral("SAVING"));
        display.setProgress(0.5f);
        display.setProgress(0.501f); // same percent: not redrawn
        display.setProgress(1.0f);
    }
    const std::string text = readAll(f);
    std::fclose(f);
    EXPECT_NE(text.find("\rPREPARING"), std::string::npos) << text;
    EXPECT_NE(text.find("\rSAVING [#####     ]  50%"), std::string::npos) << text;
    EXPECT_NE(text.find("\rSAVING [##########] 100%"), std::string::npos) << text;
    EXPECT_EQ(text.find("50%", text.find("50%") + 1), std::string::npos) << "drawn twice: " << text;
    EXPECT_EQ(text.back(), '\n');
}
