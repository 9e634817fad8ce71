// Entry point of the screen tests: an offscreen QApplication at a device
// pixel ratio of 2, as the program runs (a 320 x 480 screen drawn at
// 640 x 960 pixels, with the "@2x" images).
#include "platform/ResourceLookup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    setenv("HOME", NIMBALIGHT_TEST_HOME, 1);
    setenv("XDG_CONFIG_HOME", NIMBALIGHT_TEST_HOME "/.config", 1);
    setenv("XDG_DATA_HOME", NIMBALIGHT_TEST_HOME "/.local/share", 1);
    setenv("XDG_PICTURES_DIR", NIMBALIGHT_TEST_HOME "/Pictures", 1);
    setenv("XDG_RUNTIME_DIR", NIMBALIGHT_TEST_RUNTIME, 1);
    setenv("NIMBALIGHT_RESOURCES", NIMBALIGHT_TEST_RESOURCES, 0);
    setenv("NIMBALIGHT_SCREENSHOTS", NIMBALIGHT_TEST_SCREENSHOTS, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_SCALE_FACTOR", "2", 0);
    QApplication app(argc, argv);
    if (!QFontDatabase::families().contains(QStringLiteral("DejaVu Sans"))) {
        std::fprintf(stderr, "The font \"DejaVu Sans\" is missing: install fonts-dejavu-core.\n");
        return 1;
    }
    platform::setHighResolutionScreen(app.devicePixelRatio() >= 2.0);
    return RUN_ALL_TESTS();
}
