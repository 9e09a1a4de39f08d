#pragma once

// Reading still WebP pictures (lossy or lossless, with or without alpha) through libwebp's
// cropping decoder: only the rows and columns the displayed corner needs. The EXIF orientation
// in the file's EXIF chunk is applied, as for JPEG.

#include "platform/picture_loader.h"

#include <QByteArrayView>
#include <QSize>

namespace ravik {

// True for a still WebP picture (an animated one is left to Qt's reader).
bool isStillWebp(QByteArrayView data);

// The picture upright, cut to its top-left `corner` when that is valid, else whole.
LoadedPicture readWebp(QByteArrayView data, const QSize& corner);

} // namespace ravik
