// Loading a photo into the document at the sizes the system works with: the
// main step of the home screen's load task.
#pragma once

#include "platform/Image.h"

#include <QString>
#include <QUrl>

struct AppData;

// Fills doc from photo (any orientation): "org.jpg" written upright at full
// size, the 400-pixel working image and its pixels, the empty depth map and
// the depth-sized image; for a stereo pair (right not null) also the two
// 250-pixel thumbnails. Returns false, with error, when "org.jpg" cannot be
// written; the document is then left unchanged.
bool loadPhotoIntoDocument(AppData& doc, const platform::Image& photo, const platform::Image& right,
                           const QUrl& assetURL, QString* error = nullptr);
