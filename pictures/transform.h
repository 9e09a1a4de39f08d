#pragma once

// What is done to a picture before it is converted: a rectangle cut out of it, a quarter turn and
// a flip for a panel mounted turned, a sheet cut into tiles, a key colour made transparent. Each
// takes a plain picture and gives a new one; pixels move whole, at any depth.

#include "codec/conversion.h"
#include "pictures/picture.h"

#include <vector>

namespace ravik {

// Whether `area` is not empty and lies wholly inside a picture of `size`.
bool liesInside(const Rect& area, const Size& size);

// The rectangle `area` of the picture. Throws std::invalid_argument unless it lies inside.
Picture crop(const Picture& picture, const Rect& area);

// Turns clockwise.
enum class Rotation { none, quarter, half, threeQuarters };
// Mirrors: horizontal swaps left and right, vertical top and bottom.
enum class Flip { none, horizontal, vertical };

// The same move as the mirror, flip and quarter turn that `upright` makes.
Orientation orientationOf(Rotation rotation, Flip flip);

// The picture turned clockwise by `rotation`, then flipped.
Picture turned(const Picture& picture, Rotation rotation, Flip flip);

// How a sheet cuts into whole tiles, left to right, then top to bottom.
struct TileGrid {
    Size tile;
    int columns = 0;
    int rows = 0;
    Size margin; // pixels left over at the right and at the bottom

    int count() const { return columns * rows; }
    // Where tile `index` (0 to count() − 1) lies in the sheet.
    Rect tileArea(int index) const;
};

// Throws std::invalid_argument for an empty tile.
TileGrid tileGrid(const Size& sheet, const Size& tile);

// The sheet's whole tiles, in reading order; none when a tile is larger than the sheet.
std::vector<Picture> cutTiles(const Picture& sheet, const Size& tile);

// Makes every pixel of exactly `key` (its 8-bit red, green and blue; for deeper samples their top
// 8 bits) wholly transparent, for pictures that have no alpha of their own.
void applyKey(Picture& picture, ColorValue key);

// The transparency mask (see packMask) of the picture converted as `options` say: a box pixel is
// drawn where the picture's alpha there, 8-bit, is at least kDrawnAlpha.
std::vector<std::uint8_t> pictureMask(const Picture& picture, const ConversionOptions& options);

} // namespace ravik
