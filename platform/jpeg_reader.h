#pragma once

// Reading JPEG pictures through libjpeg-turbo, only as far as the displayed corner needs: the
// columns it covers, and for pictures whose corner lies at the top, only the first rows, even
// for progressive files. EXIF orientation is applied; CMYK pictures come out as RGB.

#include "platform/picture_loader.h"

#include <QByteArrayView>
#include <QSize>

namespace ravik {

// True for data starting like a JPEG file.
bool looksLikeJpeg(QByteArrayView data);

// The picture upright, cut to its top-left `corner` when that is valid, else whole.
LoadedPicture readJpeg(QByteArrayView data, const QSize& corner);

} // namespace ravik
