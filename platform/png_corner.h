#pragma once

// Reading only the top-left corner of a PNG: libpng decodes the file row by row from the top, so
// a corner of a huge picture costs a few rows of work and memory instead of the whole picture.

#include "codec/conversion.h"

#include <QImage>
#include <QSize>
#include <optional>

class QIODevice;

namespace ravik {

struct PngCorner {
    QImage picture;  // the corner, in the pixel format Qt's own PNG reader would give the whole
    bool ok = false; // false: the data is broken
};

// Reads the top-left `corner` of the PNG on device (positioned at its start); an interlaced one
// through the passes that reach into the corner. Gives nothing when libpng can't start. The
// pixels equal that reader's, except where it is wrong: Qt 6.4 lays 16-bit colour with a tRNS
// colour key out 6 bytes apart in an 8-byte format; here those pixels come out right.
std::optional<PngCorner> readPngCorner(QIODevice& device, const QSize& corner);

struct PngScaled {
    ScaledPicture picture;
    bool ok = false; // false: the data is broken
};

// Reads the whole PNG on device (positioned at its start) row by row into a scaling fit, with
// the pixels readPngCorner gives, so its size doesn't matter. Gives nothing when libpng can't
// start or the picture is interlaced: its passes fill the picture in everywhere at once, so it
// needs a whole-picture buffer anyway.
// `orientation` (from an eXIf chunk) turns the scaled result upright.
std::optional<PngScaled> scalePng(QIODevice& device, const ConversionOptions& fit,
                                   Orientation orientation = {});

} // namespace ravik
