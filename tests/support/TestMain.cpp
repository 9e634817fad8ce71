// Test entry point: an offscreen Qt application, so that image plugins,
// painting and fonts behave as in the program.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // A home, settings, data and runtime folder of the tests' own, so that
    // nothing a test writes touches the user's; the child processes that
    // tool tests start inherit them.
    setenv("HOME", NIMBALIGHT_TEST_HOME, 1);
    setenv("XDG_CONFIG_HOME", NIMBALIGHT_TEST_HOME "/.config", 1);
    setenv("XDG_DATA_HOME", NIMBALIGHT_TEST_HOME "/.local/share", 1);
    setenv("XDG_RUNTIME_DIR", NIMBALIGHT_TEST_RUNTIME, 1);
    setenv("NIMBALIGHT_RESOURCES", NIMBALIGHT_TEST_RESOURCES, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    if (!QFontDatabase::families().contains(QStringLiteral("DejaVu Sans"))) {
        std::fprintf(stderr, "The font \"DejaVu Sans\" is missing: install fonts-dejavu-core.\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
