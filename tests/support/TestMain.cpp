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
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    if (!QFontDatabase::families().contains(QStringLiteral("DejaVu Sans"))) {
        std::fprintf(stderr, "The font \"DejaVu Sans\" is missing: install fonts-dejavu-core.\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
