#pragma once

// Reading the first frame of a GIF through giflib, line by line, only as far down as the
// top-left corner reaches (for interlaced files: through the pass that brings its last row).
// The frame is shown as viewers show it: placed on the logical screen at its own position,
// with the screen around it and the transparent colour index transparent.

#include "platform/picture_loader.h"

#include <QByteArrayView>
#include <QSize>
#include <gif_lib.h>

namespace ravik {

// True for data starting like a GIF file.
bool looksLikeGif(QByteArrayView data);

// The colour table the image just read is drawn with: its own, else the file's, else the
// default one for files without any: black and white (index 1 white, every other index black).
const ColorMapObject* activeColourTable(const GifFileType& gif);

// The first frame, cut to its top-left `corner` when that is valid, else whole; with a scaling
// `fit`, scaled line by line instead, whatever its size.
LoadedPicture readGif(QByteArrayView data, const QSize& corner,
                      const ConversionOptions* fit = nullptr);

} // namespace ravik
