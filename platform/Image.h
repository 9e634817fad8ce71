// The platform image: decoded pixels plus the orientation they are to be shown in.
//
// A photo read from a file keeps its pixels as stored and remembers its EXIF
// orientation (1 to 8); size() answers the upright size, as the photo is to be
// seen. Drawing applies the orientation, so drawing an image into a canvas of
// its own size ("upright image") turns any orientation into orientation 1.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;

namespace platform {

class Image {
public:
    Image() = default;
    // Wraps pixels that are shown with the given EXIF orientation (1 = upright).
    explicit Image(QImage pixels, int orientation = 1);

    // Reads a picture in any format Qt reads, keeping its EXIF orientation.
    // A missing, truncated or undecodable file gives a null image and, when
    // error is given, a one-line reason.
    static Image fromFile(const QString& path, QString* error = nullptr);
    static Image fromData(const QByteArray& data, QString* error = nullptr);

    bool isNull() const { return m_pixels.isNull(); }
    // Upright size in pixels: width and height swap for orientations 5 to 8.
    QSize size() const;
    int width() const { return size().width(); }
    int height() const { return size().height(); }
    QSize pixelSize() const { return m_pixels.size(); }
    int orientation() const { return m_orientation; }
    bool isUpright() const { return m_orientation == 1; }
    const QImage& pixels() const { return m_pixels; }

    // Draws the image, upright, into target. smooth picks high-quality
    // interpolation; otherwise pixels are sampled nearest-neighbour.
    void draw(QPainter& painter, const QRectF& target, bool smooth) const;

    // JPEG at quality 0.0 to 1.0 (1.0 is the encoder's 100), upright pixels.
    QByteArray jpegData(double quality) const;
    // Writes jpegData(quality) to path through a temporary file and a rename.
    bool writeJpeg(const QString& path, double quality, QString* error = nullptr) const;

private:
    QImage m_pixels;
    int m_orientation = 1;
};

} // namespace platform
