#pragma once

// What our own picture readers share: the EXIF orientation a file asks for, where the displayed
// corner lies in the stored picture, turning a decoded corner upright, and the common failures.

#include "platform/picture_loader.h"

#include <QByteArrayView>
#include <QImage>
#include <QImageIOHandler>
#include <QRect>
#include <QSize>

namespace ravik {

// The orientation (1–8) recorded in an EXIF block (a TIFF structure, with or without the
// "Exif\0\0" prefix); 1 when there is none or it can't be read.
int exifOrientation(QByteArrayView exif);

// The orientation as the mirror, flip and quarter turn that show the picture upright.
QImageIOHandler::Transformations orientationTransformation(int orientation);

// The stored rectangle that becomes the displayed top-left `corner` after `transformation`;
// the whole stored picture when `corner` is invalid.
QRect storedCorner(const QSize& stored, QImageIOHandler::Transformations transformation,
                   const QSize& corner);

// The decoded stored region turned upright: mirrored, flipped, then turned a quarter clockwise.
QImage upright(const QImage& stored, QImageIOHandler::Transformations transformation);

// Whole pictures beyond Qt's allocation limit are refused, as Qt's own readers do.
bool exceedsDecodeLimit(const QSize& size, qint64 bytesPerPixel = 4);

LoadedPicture corruptPicture();
LoadedPicture incompletePicture();
LoadedPicture tooLargePicture(const QSize& size);

} // namespace ravik
