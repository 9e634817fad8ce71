// Working-image helpers: fitting, scaling, turning upright, the documents
// folder and the lookup of image resources.
#pragma once

#include "platform/Image.h"

#include <QSize>
#include <QString>

// (w, h) with the longer side equal to limit, in proportion, truncated:
// height < width gives (limit, limit * height / width), else
// (limit * width / height, limit).
QSize fitLongestSide(int limit, int width, int height);

// The image drawn upright into w x h with high-quality interpolation; h = 0
// keeps the proportions. An upright image already of that size is returned
// as it is.
platform::Image scaleImage(const platform::Image& image, int w, int h = 0);

// The image with its orientation applied (scaled to its own size).
platform::Image uprightImage(const platform::Image& image);

// Writes image as JPEG at quality 1.0 under name in the documents folder,
// atomically. Returns the path, or an empty string (and error) on failure.
QString saveToDocuments(const platform::Image& image, const QString& name, QString* error = nullptr);
platform::Image loadFromDocuments(const QString& name, QString* error = nullptr);

// Path of an image resource, preferring the "@2x" variant on a
// high-resolution screen and the plain one otherwise, each falling back to
// the other; empty when neither exists.
QString imageResourcePath(const QString& name);
platform::Image imageResource(const QString& name);
