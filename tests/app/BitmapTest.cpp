#include "app/Bitmap.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <vector>

TEST(BitmapTest, FromASizeOwnsAFourByteBuffer)
{
    const Bitmap bitmap(7, 3);
    EXPECT_EQ(bitmap.width, 7);
    EXPECT_EQ(bitmap.height, 3);
    EXPECT_EQ(bitmap.bytesPerRow, 28);
    EXPECT_EQ(bitmap.bitsPerPixel, 32);
    EXPECT_TRUE(bitmap.ownsData);
    EXPECT_NE(bitmap.data, nullptr);
}

TEST(BitmapTest, WrappingLeavesTheForeignBufferAlone)
{
    std::vector<uint8_t> buffer(5 * 4, 42);
    {
        Bitmap bitmap(5, 4, 5, buffer.data(), 8);
        EXPECT_FALSE(bitmap.ownsData);
        EXPECT_EQ(bitmap.data, buffer.data());
        const QImage gray = bitmap.toImage().pixels();
        EXPECT_EQ(gray.format(), QImage::Format_Grayscale8);
        EXPECT_EQ(gray.size(), QSize(5, 4));
        EXPECT_EQ(qGray(gray.pixel(4, 3)), 42);
    }
    EXPECT_EQ(buffer[0], 42); // still ours, still intact
}

TEST(BitmapTest, FromAnImageIsUprightOpaqueBgraWithoutInterpolation)
{
    // A half-transparent 2 x 1 picture stored turned: orientation 6 shows it 1 x 2.
    QImage stored(2, 1, QImage::Format_ARGB32);
    stored.setPixel(0, 0, qRgba(10, 20, 30, 255));
    stored.setPixel(1, 0, qRgba(200, 100, 50, 255));
    const Bitmap bitmap(platform::Image(stored, 6), true);
    ASSERT_EQ(bitmap.width, 1);
    ASSERT_EQ(bitmap.height, 2);
    EXPECT_EQ(bitmap.bytesPerRow, 4);
    const uint8_t* top = bitmap.data;
    const uint8_t* bottom = bitmap.data + bitmap.bytesPerRow;
    EXPECT_EQ((std::vector<int>{top[0], top[1], top[2], top[3]}), (std::vector<int>{30, 20, 10, 255}));
    EXPECT_EQ((std::vector<int>{bottom[0], bottom[1], bottom[2], bottom[3]}), (std::vector<int>{50, 100, 200, 255}));

    QImage translucent(1, 1, QImage::Format_ARGB32);
    translucent.fill(qRgba(0, 0, 0, 0));
    const Bitmap opaque(platform::Image(translucent), true);
    EXPECT_EQ(opaque.data[3], 255);
}

TEST(BitmapTest, ColourRoundTripKeepsTheBytes)
{
    Bitmap bitmap(2, 2);
    for (int i = 0; i < 16; ++i)
        bitmap.data[i] = uint8_t(i * 15);
    for (int i = 3; i < 16; i += 4)
        bitmap.data[i] = 255;
    const QImage colour = bitmap.toImage().pixels();
    ASSERT_EQ(colour.format(), QImage::Format_ARGB32);
    EXPECT_EQ(colour.pixel(1, 0), qRgba(6 * 15, 5 * 15, 4 * 15, 255));
    const Bitmap again(platform::Image(colour), true);
    EXPECT_EQ(std::vector<uint8_t>(again.data, again.data + 16), std::vector<uint8_t>(bitmap.data, bitmap.data + 16));
}
