#include "app/ImageHelpers.h"

#include "platform/DocumentsFolder.h"
#include "platform/ResourceLookup.h"

#include <QPainter>

QSize fitLongestSide(int limit, int width, int height)
{
    if (height < width)
        return QSize(limit, int(int64_t(limit) * height / width));
    return QSize(int(int64_t(limit) * width / height), limit);
}

platform::Image scaleImage(const platform::Image& image, int w, int h)
{
    if (image.isNull())
        return image;
    if (h == 0)
        h = int(int64_t(w) * image.height() / image.width());
    if (image.isUpright() && image.width() == w && image.height() == h)
        return image;
    QImage target(w, h, image.pixels().hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    target.fill(Qt::transparent);
    QPainter painter(&target);
    image.draw(painter, QRectF(0, 0, w, h), true);
    painter.end();
    return platform::Image(target);
}

platform::Image uprightImage(const platform::Image& image)
{
    return scaleImage(image, image.width(), image.height());
}

QString saveToDocuments(const platform::Image& image, const QString& name, QString* error)
{
    const QString path = platform::documentPath(name);
    if (!image.writeJpeg(path, 1.0, error))
        return QString();
    return path;
}

platform::Image loadFromDocuments(const QString& name, QString* error)
{
    return platform::Image::fromFile(platform::documentPath(name), error);
}

QString imageResourcePath(const QString& name)
{
    return platform::imageResourcePath(name);
}

platform::Image imageResource(const QString& name)
{
    const QString path = imageResourcePath(name);
    return path.isEmpty() ? platform::Image() : platform::Image::fromFile(path);
}
