// The photo album: a folder of JPEG files. By default the "Nimbalight"
// folder inside the user's pictures folder (XDG_PICTURES_DIR), made on the
// first write; the user default "PhotoAlbumFolder" names another folder.
// Every write makes a new file and never replaces one.
#pragma once

#include "platform/Image.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform {

inline constexpr char kPhotoAlbumFolderKey[] = "PhotoAlbumFolder";

// The album's folder (not created here).
QString photoAlbumFolder();

// UIImageWriteToSavedPhotosAlbum: the image as JPEG at quality 1.0. Returns
// the new file's path, or an empty string and error on failure.
QString writeImageToSavedPhotosAlbum(const Image& image, QString* error = nullptr);
// The same for JPEG data already encoded (with its metadata).
QString writeJpegDataToSavedPhotosAlbum(const QByteArray& jpeg, QString* error = nullptr);

// The album's photos, oldest name first.
QStringList savedPhotos();

} // namespace platform
