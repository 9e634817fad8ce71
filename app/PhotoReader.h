// Reading a photo the user chose, before anything of it is kept: refuses a
// file that is no picture, a damaged or truncated one, one too large to edit
// in memory and one too narrow to give a working image.
#pragma once

#include "platform/Image.h"

#include <QSize>
#include <QString>

enum class PhotoProblem { None, CannotRead, NotAnImage, Damaged, TooLarge, TooSmall };

// The largest photo taken in: 64 megapixels (what the decoder accepts by
// default), and no side above 16384 pixels.
inline constexpr qint64 kMaxPhotoPixels = qint64(8192) * 8192;
inline constexpr int kMaxPhotoSide = 16384;

// The problem a photo of this upright size has: TooLarge above the limits,
// TooSmall when its working image (longer side 400) would be less than one
// pixel wide or high.
PhotoProblem checkPhotoSize(const QSize& size);

// Reads the photo at path (EXIF orientation kept). The size is checked from
// the file's header before it is decoded, so a huge picture costs no memory.
// On failure: a null image, problem set and detail a one-line reason.
platform::Image readPhoto(const QString& path, PhotoProblem* problem, QString* detail = nullptr);

// The string-table key of the alert message for a problem ("" for None).
QString photoProblemKey(PhotoProblem problem);
