#include "app/Bitmap.h"

#include <QPainter>

#include <cstring>

Bitmap::Bitmap(int32_t w, int32_t h)
    : width(w), height(h), bytesPerRow(4 * w), bitsPerPixel(32),
      data(new uint8_t[size_t(4) * size_t(w) * size_t(h)]), ownsData(true)
{
}

Bitmap::Bitmap(int32_t w, int32_t h, int32_t stride, uint8_t* buffer, int32_t bits)
    : width(w), height(h), bytesPerRow(stride), bitsPerPixel(bits), data(buffer), ownsData(false)
{
}

Bitmap::Bitmap(const platform::Image& image, bool owns)
    : width(image.width()), height(image.height()), bytesPerRow(4 * image.width()), bitsPerPixel(32),
      data(new uint8_t[size_t(4) * size_t(image.width()) * size_t(image.height())]), ownsData(owns)
{
    // Draw into a QImage that shares our buffer: opaque black first, so that
    // transparent parts of the picture come out opaque.
    QImage target(data, width, height, bytesPerRow, QImage::Format_ARGB32);
    target.fill(Qt::black);
    QPainter painter(&target);
    image.draw(painter, QRectF(0, 0, width, height), false);
    painter.end();
    for (int y = 0; y < height; ++y) {
        uint8_t* row = data + size_t(y) * size_t(bytesPerRow);
        for (int x = 0; x < width; ++x)
            row[4 * x + 3] = 255;
    }
}

Bitmap::~Bitmap()
{
    if (ownsData)
        delete[] data;
}

platform::Image Bitmap::toImage() const
{
    if (bitsPerPixel == 8) {
        QImage gray(data, width, height, bytesPerRow, QImage::Format_Grayscale8);
        return platform::Image(gray.copy());
    }
    QImage colour(data, width, height, bytesPerRow, QImage::Format_ARGB32);
    return platform::Image(colour.copy());
}
