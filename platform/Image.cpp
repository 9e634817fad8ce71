#include "platform/Image.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QTransform>

#include <mutex>

namespace platform {

namespace {

// Qt's decoders report a truncated or damaged stream only as a warning and
// still hand back the (partly gray) picture. We catch those warnings while we
// decode, so that such a file is refused instead of silently accepted.
std::mutex g_decodeMutex;
bool g_decodeWarned = false;
QtMessageHandler g_previousHandler = nullptr;

void decodeMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg)
        g_decodeWarned = true;
    else if (g_previousHandler)
        g_previousHandler(type, context, message);
}

// The transform that shows stored pixels upright, for EXIF orientations 1 to 8,
// mapping the unit square of the stored image onto the upright one.
QTransform orientationTransform(int orientation, qreal w, qreal h)
{
    // w, h: the stored pixel size.
    switch (orientation) {
    case 2: return QTransform(-1, 0, 0, 1, w, 0);   // mirrored horizontally
    case 3: return QTransform(-1, 0, 0, -1, w, h);  // turned half round
    case 4: return QTransform(1, 0, 0, -1, 0, h);   // mirrored vertically
    case 5: return QTransform(0, 1, 1, 0, 0, 0);    // transposed
    case 6: return QTransform(0, 1, -1, 0, h, 0);   // turned a quarter clockwise
    case 7: return QTransform(0, -1, -1, 0, h, w);  // transversed
    case 8: return QTransform(0, -1, 1, 0, 0, w);   // turned a quarter anticlockwise
    default: return QTransform();
    }
}

int exifOrientation(QImageIOHandler::Transformations t)
{
    switch (int(t)) {
    case QImageIOHandler::TransformationMirror: return 2;
    case QImageIOHandler::TransformationRotate180: return 3;
    case QImageIOHandler::TransformationFlip: return 4;
    case QImageIOHandler::TransformationFlipAndRotate90: return 5;
    case QImageIOHandler::TransformationRotate90: return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90: return 7;
    case QImageIOHandler::TransformationRotate270: return 8;
    default: return 1;
    }
}

Image decode(QImageReader& reader, QString* error)
{
    reader.setAutoTransform(false);
    const int orientation = exifOrientation(reader.transformation());
    QImage pixels;
    bool warned = false;
    {
        std::lock_guard<std::mutex> lock(g_decodeMutex);
        g_decodeWarned = false;
        g_previousHandler = qInstallMessageHandler(decodeMessageHandler);
        pixels = reader.read();
        qInstallMessageHandler(g_previousHandler);
        warned = g_decodeWarned;
    }
    if (pixels.isNull()) {
        if (error)
            *error = QStringLiteral("cannot decode the picture (%1)").arg(reader.errorString());
        return Image();
    }
    if (warned) {
        if (error)
            *error = QStringLiteral("the picture is truncated or damaged");
        return Image();
    }
    return Image(pixels, orientation);
}

} // namespace

Image::Image(QImage pixels, int orientation)
    : m_pixels(std::move(pixels)), m_orientation(orientation >= 1 && orientation <= 8 ? orientation : 1)
{
}

Image Image::fromFile(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        if (error)
            *error = QStringLiteral("no such file");
        return Image();
    }
    if (!info.isFile() || !info.isReadable()) {
        if (error)
            *error = QStringLiteral("cannot read the file");
        return Image();
    }
    QImageReader reader(path);
    return decode(reader, error);
}

Image Image::fromData(const QByteArray& data, QString* error)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return decode(reader, error);
}

QSize Image::size() const
{
    const QSize s = m_pixels.size();
    return m_orientation >= 5 ? s.transposed() : s;
}

void Image::draw(QPainter& painter, const QRectF& target, bool smooth) const
{
    if (isNull())
        return;
    const qreal w = m_pixels.width(), h = m_pixels.height();
    const QSizeF upright = QSizeF(size());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    // Stored pixels -> upright unit -> target rectangle.
    QTransform toTarget = orientationTransform(m_orientation, w, h);
    toTarget *= QTransform::fromScale(target.width() / upright.width(), target.height() / upright.height());
    toTarget *= QTransform::fromTranslate(target.x(), target.y());
    painter.setTransform(toTarget, true);
    painter.drawImage(QPointF(0, 0), m_pixels);
    painter.restore();
}

QByteArray Image::jpegData(double quality) const
{
    QImage upright = m_pixels;
    if (!isUpright())
        upright = m_pixels.transformed(orientationTransform(m_orientation, m_pixels.width(), m_pixels.height()));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(int(quality * 100.0 + 0.5));
    if (!writer.write(upright.convertToFormat(QImage::Format_RGB32)))
        return QByteArray();
    return bytes;
}

bool Image::writeJpeg(const QString& path, double quality, QString* error) const
{
    const QByteArray bytes = jpegData(quality);
    if (bytes.isEmpty()) {
        if (error)
            *error = QStringLiteral("cannot encode the picture");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace platform
