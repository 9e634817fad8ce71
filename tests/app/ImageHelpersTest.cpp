#include "app/ImageHelpers.h"

#include "platform/DocumentsFolder.h"
#include "platform/ResourceLookup.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

TEST(ImageHelpersTest, FitLongestSide)
{
    struct Case {
        int width, height;
        QSize expected;
    } cases[] = {
        {3264, 2448, {400, 300}}, {2448, 3264, {300, 400}}, {3000, 3000, {400, 400}},
        {1000, 334, {400, 133}},  {100, 50, {400, 200}},     {1, 1000, {0, 400}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fitLongestSide(400, c.width, c.height), c.expected) << c.width << "x" << c.height;
}

TEST(ImageHelpersTest, ScaleKeepsAnUprightImageOfTheSameSize)
{
    QImage pixels(40, 30, QImage::Format_ARGB32);
    pixels.fill(qRgb(1, 2, 3));
    const platform::Image image(pixels);
    const platform::Image same = scaleImage(image, 40, 30);
    EXPECT_EQ(same.pixels().constBits(), image.pixels().constBits()); // not redrawn

    EXPECT_EQ(scaleImage(image, 20).size(), QSize(20, 15)); // height 0: in proportion
    EXPECT_EQ(scaleImage(image, 10, 10).size(), QSize(10, 10));

    // Upright: a turned image of its own size is redrawn into orientation 1.
    const platform::Image turned(pixels, 8);
    const platform::Image upright = uprightImage(turned);
    EXPECT_TRUE(upright.isUpright());
    EXPECT_EQ(upright.size(), QSize(30, 40));
    EXPECT_EQ(upright.pixels().pixel(5, 5), qRgb(1, 2, 3));
}

TEST(ImageHelpersTest, SavesAndLoadsInTheDocumentsFolder)
{
    QTemporaryDir dir;
    platform::setDocumentsFolder(dir.path());
    QImage pixels(16, 8, QImage::Format_ARGB32);
    pixels.fill(qRgb(200, 100, 50));
    const QString path = saveToDocuments(platform::Image(pixels), QStringLiteral("org.jpg"));
    EXPECT_EQ(path, dir.filePath(QStringLiteral("org.jpg")));
    const platform::Image loaded = loadFromDocuments(QStringLiteral("org.jpg"));
    ASSERT_FALSE(loaded.isNull());
    EXPECT_EQ(loaded.size(), QSize(16, 8));
    const QRgb centre = loaded.pixels().pixel(8, 4);
    EXPECT_NEAR(qRed(centre), 200, 3);
    EXPECT_NEAR(qBlue(centre), 50, 3);
    EXPECT_TRUE(loadFromDocuments(QStringLiteral("absent.jpg")).isNull());

    platform::setDocumentsFolder(dir.filePath(QStringLiteral("file-in-the-way")));
    QFile blocker(dir.filePath(QStringLiteral("file-in-the-way")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    EXPECT_TRUE(saveToDocuments(platform::Image(pixels), QStringLiteral("org.jpg"), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    platform::setDocumentsFolder(QString());
}

TEST(ImageHelpersTest, ResourceLookupPrefersTheVariantOfTheScreen)
{
    QTemporaryDir dir;
    const QString before = platform::resourceFolder();
    platform::setResourceFolder(dir.path());
    auto touch = [&dir](const char* name) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };
    touch("both.png");
    touch("both@2x.png");
    touch("plain.png");
    touch("double@2x.png");

    struct Case {
        bool highResolution;
        const char* name;
        const char* expected; // "" when neither exists
    } cases[] = {
        {true, "both.png", "both@2x.png"},   {false, "both.png", "both.png"},
        {true, "plain.png", "plain.png"},    {false, "double.png", "double@2x.png"},
        {true, "missing.png", ""},
    };
    for (const Case& c : cases) {
        platform::setHighResolutionScreen(c.highResolution);
        const QString expected = *c.expected ? dir.filePath(QString::fromLatin1(c.expected)) : QString();
        EXPECT_EQ(imageResourcePath(QString::fromLatin1(c.name)), expected) << c.name << " " << c.highResolution;
    }
    platform::setHighResolutionScreen(false);
    platform::setResourceFolder(before);
}
