#include "platform/Image.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

namespace {

// A 3 x 2 picture whose pixels tell where they are: red at (0, 0), green at
// (2, 0), blue at (0, 1), the rest white.
QImage marker()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(Qt::white);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(2, 0, qRgb(0, 255, 0));
    image.setPixel(0, 1, qRgb(0, 0, 255));
    return image;
}

QImage drawnUpright(const platform::Image& image)
{
    QImage target(image.size(), QImage::Format_ARGB32);
    target.fill(Qt::black);
    QPainter painter(&target);
    image.draw(painter, QRectF(QPointF(0, 0), QSizeF(image.size())), false);
    return target;
}

QByteArray encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(100);
    EXPECT_TRUE(writer.write(image));
    return bytes;
}

// A JPEG with an EXIF block that holds only the orientation tag, as a camera
// writes it: APP1 "Exif", a little-endian TIFF header and one IFD entry.
QByteArray withExifOrientation(const QByteArray& jpeg, int orientation)
{
    const char app1[] = {'\xff', '\xe1', 0, 34, 'E', 'x', 'i', 'f', 0, 0,
                         'I', 'I', 42, 0, 8, 0, 0, 0,
                         1, 0,
                         0x12, 0x01, 3, 0, 1, 0, 0, 0, char(orientation), 0, 0, 0,
                         0, 0, 0, 0};
    return jpeg.left(2) + QByteArray(app1, sizeof app1) + jpeg.mid(2);
}

} // namespace

TEST(ImageTest, DrawingAppliesEveryOrientation)
{
    // For each EXIF orientation, where the stored pixel (0, 0) lands upright.
    struct Case {
        int orientation;
        QSize size;
        QPoint redAt;
    } cases[] = {
        {1, {3, 2}, {0, 0}}, {2, {3, 2}, {2, 0}}, {3, {3, 2}, {2, 1}}, {4, {3, 2}, {0, 1}},
        {5, {2, 3}, {0, 0}}, {6, {2, 3}, {1, 0}}, {7, {2, 3}, {1, 2}}, {8, {2, 3}, {0, 2}},
    };
    for (const Case& c : cases) {
        const platform::Image image(marker(), c.orientation);
        EXPECT_EQ(image.size(), c.size) << "orientation " << c.orientation;
        const QImage upright = drawnUpright(image);
        EXPECT_EQ(upright.pixel(c.redAt), qRgb(255, 0, 0)) << "orientation " << c.orientation;
    }
    // Orientation 6 (a quarter clockwise): the stored left column becomes the top row.
    const QImage turned = drawnUpright(platform::Image(marker(), 6));
    EXPECT_EQ(turned.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(turned.pixel(1, 2), qRgb(0, 255, 0));
}

TEST(ImageTest, ReadingKeepsTheExifOrientation)
{
    QImage big = marker().scaled(60, 40);
    const platform::Image image = platform::Image::fromData(withExifOrientation(encode(big, "jpeg"), 6));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.orientation(), 6);
    EXPECT_EQ(image.pixelSize(), QSize(60, 40));
    EXPECT_EQ(image.size(), QSize(40, 60));
    // Encoding writes upright pixels with no orientation left to apply.
    const platform::Image again = platform::Image::fromData(image.jpegData(1.0));
    EXPECT_EQ(again.orientation(), 1);
    EXPECT_EQ(again.size(), QSize(40, 60));
}

TEST(ImageTest, BadFilesAreRefusedWithAReason)
{
    QTemporaryDir dir;
    const QImage picture = marker().scaled(64, 48);
    struct Case {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"truncated.jpg", encode(picture, "jpeg").left(encode(picture, "jpeg").size() / 2)},
        {"truncated.png", encode(picture, "png").left(encode(picture, "png").size() / 2)},
        {"garbage.jpg", QByteArray("this is not a picture at all")},
        {"empty.png", QByteArray()},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        QString error;
        EXPECT_TRUE(platform::Image::fromFile(path, &error).isNull()) << c.name;
        EXPECT_FALSE(error.isEmpty()) << c.name;
    }
    QString error;
    EXPECT_TRUE(platform::Image::fromFile(dir.filePath(QStringLiteral("missing.jpg")), &error).isNull());
    EXPECT_EQ(error, QStringLiteral("no such file"));
}

TEST(ImageTest, WriteJpegIsAtomicAndReportsFailure)
{
    QTemporaryDir dir;
    const platform::Image image(marker().scaled(32, 16));
    const QString path = dir.filePath(QStringLiteral("out.jpg"));
    ASSERT_TRUE(image.writeJpeg(path, 1.0));
    EXPECT_EQ(platform::Image::fromFile(path).size(), QSize(32, 16));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no temporary left behind

    QString error;
    EXPECT_FALSE(image.writeJpeg(dir.filePath(QStringLiteral("no/such/folder/out.jpg")), 1.0, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(ImageTest, QualityChangesTheEncoding)
{
    QImage noise(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            noise.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x ^ y) * 4 % 256));
    const platform::Image image(noise);
    EXPECT_GT(image.jpegData(1.0).size(), image.jpegData(0.3).size());
}
