#pragma once

// What the format readers of our own (BMP, TGA, TIFF) give back: the picture, or why there is
// none. Each reads only the rows a top-left corner needs when given one.

#include "platform/picture_orientation.h"
#include "platform/picture_rows.h"

#include <QImage>
#include <optional>

namespace ravik {

struct PictureRead {
    enum class Fault { none, corrupt, incomplete, unsupported, tooLarge };
    QImage picture; // straight ARGB32 for 8-bit data, RGBA64 or Grayscale16 for deeper samples
    Fault fault = Fault::none;
    std::optional<ScaledPicture> scaled; // instead of the picture, when a fit was asked for
};

// The picture or the scaled picture the rows hold.
inline PictureRead readRows(PictureRows& rows) {
    if (rows.scaling()) {
        return {QImage(), PictureRead::Fault::none, rows.scaled()};
    }
    return {rows.picture(), PictureRead::Fault::none, std::nullopt};
}

inline PictureRead readFault(PictureRead::Fault fault) {
    return {QImage(), fault, std::nullopt};
}

// The size of the picture actually made for a stored size and a wanted corner (none: all of it).
inline QSize cornerSize(const QSize& shown, const QSize& corner) {
    return corner.isValid() ? corner.boundedTo(shown) : shown;
}

} // namespace ravik
