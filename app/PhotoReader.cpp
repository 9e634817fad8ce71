#include "app/PhotoReader.h"

#include "app/ImageHelpers.h"

#include <QFileInfo>
#include <QImageReader>

#include <algorithm>

PhotoProblem checkPhotoSize(const QSize& size)
{
    if (size.width() <= 0 || size.height() <= 0)
        return PhotoProblem::TooSmall;
    if (qint64(size.width()) * size.height() > kMaxPhotoPixels || std::max(size.width(), size.height()) > kMaxPhotoSide)
        return PhotoProblem::TooLarge;
    const QSize working = fitLongestSide(400, size.width(), size.height());
    if (working.width() < 1 || working.height() < 1)
        return PhotoProblem::TooSmall;
    return PhotoProblem::None;
}

platform::Image readPhoto(const QString& path, PhotoProblem* problem, QString* detail)
{
    auto fail = [&](PhotoProblem p, const QString& reason) {
        if (problem)
            *problem = p;
        if (detail)
            *detail = reason;
        return platform::Image();
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(PhotoProblem::CannotRead, QStringLiteral("no such file"));
    if (!info.isFile() || !info.isReadable())
        return fail(PhotoProblem::CannotRead, QStringLiteral("the file cannot be read"));
    {
        QImageReader reader(path);
        if (!reader.canRead())
            return fail(PhotoProblem::NotAnImage, QStringLiteral("the file is not a picture"));
        const QSize stored = reader.size();
        if (stored.isValid()) {
            const PhotoProblem p = checkPhotoSize(stored);
            if (p != PhotoProblem::None)
                return fail(p, QStringLiteral("the picture is %1 x %2 pixels").arg(stored.width()).arg(stored.height()));
        }
    }
    QString error;
    platform::Image image = platform::Image::fromFile(path, &error);
    if (image.isNull())
        return fail(PhotoProblem::Damaged, error);
    const PhotoProblem p = checkPhotoSize(image.size());
    if (p != PhotoProblem::None)
        return fail(p, QStringLiteral("the picture is %1 x %2 pixels").arg(image.width()).arg(image.height()));
    if (problem)
        *problem = PhotoProblem::None;
    return image;
}

QString photoProblemKey(PhotoProblem problem)
{
    switch (problem) {
    case PhotoProblem::None: return QString();
    case PhotoProblem::CannotRead: return QStringLiteral("PHOTO_CANNOT_READ");
    case PhotoProblem::NotAnImage: return QStringLiteral("PHOTO_NOT_AN_IMAGE");
    case PhotoProblem::Damaged: return QStringLiteral("PHOTO_DAMAGED");
    case PhotoProblem::TooLarge: return QStringLiteral("PHOTO_TOO_LARGE");
    case PhotoProblem::TooSmall: return QStringLiteral("PHOTO_TOO_SMALL");
    }
    return QString();
}
