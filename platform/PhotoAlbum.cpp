#include "platform/PhotoAlbum.h"

#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace platform {

QString photoAlbumFolder()
{
    const QString chosen = UserDefaults::stringForKey(QString::fromLatin1(kPhotoAlbumFolderKey));
    if (!chosen.isEmpty())
        return chosen;
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        pictures = QDir::homePath() + QStringLiteral("/Pictures");
    return pictures + QStringLiteral("/Nimbalight");
}

QString writeJpegDataToSavedPhotosAlbum(const QByteArray& jpeg, QString* error)
{
    if (jpeg.isEmpty()) {
        if (error)
            *error = QStringLiteral("there is no picture to write");
        return QString();
    }
    const QString folder = photoAlbumFolder();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot make the album folder %1").arg(folder);
        return QString();
    }
    // Named by time, with a counter for several photos within one
    // millisecond; an existing file is never touched.
    const QString stem = QStringLiteral("IMG_") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmsszzz"));
    for (int n = 0; n < 1000; ++n) {
        const QString name = n == 0 ? stem + QStringLiteral(".jpg") : QStringLiteral("%1_%2.jpg").arg(stem).arg(n);
        const QString path = folder + QLatin1Char('/') + name;
        QFile file(path);
        // NewOnly refuses an existing file atomically.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.exists())
                continue;
            if (error)
                *error = file.errorString();
            return QString();
        }
        if (file.write(jpeg) != jpeg.size() || !file.flush()) {
            if (error)
                *error = file.errorString();
            file.close();
            file.remove();
            return QString();
        }
        file.close();
        return path;
    }
    if (error)
        *error = QStringLiteral("too many photos with the same time in %1").arg(folder);
    return QString();
}

QString writeImageToSavedPhotosAlbum(const Image& image, QString* error)
{
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("there is no picture to write");
        return QString();
    }
    const QByteArray jpeg = image.jpegData(1.0);
    if (jpeg.isEmpty()) {
        if (error)
            *error = QStringLiteral("cannot encode the picture");
        return QString();
    }
    return writeJpegDataToSavedPhotosAlbum(jpeg, error);
}

QStringList savedPhotos()
{
    QDir dir(photoAlbumFolder());
    QStringList paths;
    for (const QString& name : dir.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

} // namespace platform
