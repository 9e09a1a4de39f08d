#pragma once

// Reading Truevision TGA pictures: true colour (15/16/24/32 bits), colour-mapped (8/16-bit
// indices into 15/16/24/32-bit maps) and greyscale (with or without alpha), raw or run-length
// encoded, in any of the four origins.

#include "platform/picture_read.h"

#include <QByteArrayView>
#include <QSize>

namespace ravik {

// True when the bytes start like a TGA header of a kind readTga takes (TGA has no signature).
bool looksLikeTga(QByteArrayView bytes);

// The picture as shown, or only its top-left `corner` when that is valid. Run-length data is
// walked to its end to tell a cut-off file, but only the needed rows are unpacked.
// With a scaling `fit`, the picture scaled row by row instead, whatever its size.
PictureRead readTga(QByteArrayView bytes, const QSize& corner = QSize(),
                    const ConversionOptions* fit = nullptr);

} // namespace ravik
