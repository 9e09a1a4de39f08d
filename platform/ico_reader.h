#pragma once

// The 32-bit images of an icon file with their alpha as stored. Qt's icon reader premultiplies
// them, which loses the exact colour of partly transparent pixels; every other kind of icon
// image (palettes, masks, PNG) is left to it.

#include "pictures/bytes.h"
#include "pictures/picture.h"

#include <optional>

namespace ravik {

// Image `index` of the icon file with straight alpha, or nothing when it is not an uncompressed
// 32-bit image with an alpha channel that lies wholly within the data.
std::optional<Picture> readIconWithAlpha(Bytes data, int index);

} // namespace ravik
