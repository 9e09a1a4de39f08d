#pragma once

// Reading Windows and OS/2 bitmaps: 1/2/4/8-bit palettes (3- or 4-byte entries), 16/24/32-bit
// pixels with or without bit-field masks (alpha masks of V4/V5 headers too), RLE4 and RLE8,
// bottom-up and top-down. JPEG- or PNG-compressed bitmaps are left to other readers.

#include "platform/picture_read.h"

#include <QByteArrayView>
#include <QSize>

namespace ravik {

// A bit-field channel of n bits with value v becomes round(v · 255 / (2ⁿ − 1)): the nearest
// 8-bit level, so 0 and the largest value stay black and full, and 8-bit fields are unchanged.
uint scaledChannel(uint value, int bits);

// The picture as shown (top row first), or only its top-left `corner` when that is valid. Rows
// are reached by seeking; run-length data is unpacked only as far as the wanted rows reach.
// With a scaling `fit`, the picture scaled row by row instead, whatever its size.
PictureRead readBmp(QByteArrayView bytes, const QSize& corner = QSize(),
                    const ConversionOptions* fit = nullptr);

} // namespace ravik
