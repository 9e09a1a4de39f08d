#pragma once

// Reading TIFF pictures through libtiff: grey (1–16 bits, either polarity), palette, RGB, CMYK and
// CIELab, 8 or 16 bits a sample, interleaved, in strips or tiles with any compression libtiff
// has, turned as the Orientation tag says. Other layouts are left to other readers.

#include "platform/picture_read.h"

#include <QByteArrayView>
#include <QSize>

namespace ravik {

// True for the TIFF byte-order signatures ("II*\0", "MM\0*").
bool looksLikeTiff(QByteArrayView bytes);

// The picture as shown, or only its top-left `corner` when that is valid: then only the strips
// or tiles holding the stored pixels that land in the corner are decoded. The samples come out
// as 16-bit RGBA (8-bit samples v as v · 257, so their top 8 bits are v).
// With a scaling `fit`, the picture scaled band by band instead, whatever its size.
PictureRead readTiff(QByteArrayView bytes, const QSize& corner = QSize(),
                     const ConversionOptions* fit = nullptr);

} // namespace ravik
