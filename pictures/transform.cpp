#include "pictures/transform.h"

#include "pictures/orientation.h"

#include <cstring>
#include <stdexcept>

namespace ravik {

namespace {

// Channel `channel` (0 red … 3 alpha) of pixel x of a row, as 8 bits: a 16-bit sample's top byte.
int sample8(const Picture& picture, int y, int x, int channel) {
    if (picture.bitsPerChannel() == 16) {
        return picture.row16(y)[std::ptrdiff_t{4} * x + channel] >> 8;
    }
    return picture.row(y)[std::ptrdiff_t{4} * x + channel];
}

} // namespace

bool liesInside(const Rect& area, const Size& size) {
    return area.width > 0 && area.height > 0 && area.x >= 0 && area.y >= 0 &&
           area.width <= size.width - area.x && area.height <= size.height - area.y;
}

Picture crop(const Picture& picture, const Rect& area) {
    if (!liesInside(area, picture.size())) {
        throw std::invalid_argument("the crop does not lie inside the picture");
    }
    return picture.copy(area);
}

// Turning a quarter after mirroring is flipping after turning, and a half turn is a mirror and a
// flip; so every turn followed by a flip is one of the eight mirror-flip-turn moves.
Orientation orientationOf(Rotation rotation, Flip flip) {
    const bool h = flip == Flip::horizontal;
    const bool v = flip == Flip::vertical;
    switch (rotation) {
    case Rotation::none:
        return {h, v, false};
    case Rotation::quarter:
        return {v, h, true};
    case Rotation::half:
        return {!h, !v, false};
    case Rotation::threeQuarters:
        return {!v, !h, true};
    }
    return {};
}

Picture turned(const Picture& picture, Rotation rotation, Flip flip) {
    return upright(picture, orientationOf(rotation, flip));
}

Rect TileGrid::tileArea(int index) const {
    return {index % columns * tile.width, index / columns * tile.height, tile.width, tile.height};
}

TileGrid tileGrid(const Size& sheet, const Size& tile) {
    if (tile.isEmpty()) {
        throw std::invalid_argument("a tile needs at least one pixel each way");
    }
    const Size whole{std::max(sheet.width, 0), std::max(sheet.height, 0)};
    TileGrid grid{tile, whole.width / tile.width, whole.height / tile.height, {}};
    if (grid.count() == 0) {
        grid.columns = grid.rows = 0; // the whole sheet is margin
    }
    grid.margin = {whole.width - grid.columns * tile.width, whole.height - grid.rows * tile.height};
    return grid;
}

std::vector<Picture> cutTiles(const Picture& sheet, const Size& tile) {
    const TileGrid grid = tileGrid(sheet.size(), tile);
    std::vector<Picture> tiles;
    tiles.reserve(std::size_t(grid.count()));
    for (int i = 0; i < grid.count(); ++i) {
        tiles.push_back(sheet.copy(grid.tileArea(i)));
    }
    return tiles;
}

void applyKey(Picture& picture, ColorValue key) {
    const int bytes = picture.bytesPerPixel();
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (sample8(picture, y, x, 0) == redOf(key) &&
                sample8(picture, y, x, 1) == greenOf(key) &&
                sample8(picture, y, x, 2) == blueOf(key)) {
                // Transparent black: under straight or associated alpha it blends to the
                // background alone.
                std::memset(picture.row(y) + std::ptrdiff_t{x} * bytes, 0, std::size_t(bytes));
            }
        }
    }
}

std::vector<std::uint8_t> pictureMask(const Picture& picture, const ConversionOptions& options) {
    // Only alpha decides, so the picture is read as its 8-bit alphas.
    std::vector<std::uint8_t> rgba(std::size_t(std::max(picture.width(), 0)) *
                                   std::size_t(std::max(picture.height(), 0)) * 4);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            rgba[(std::size_t(y) * std::size_t(picture.width()) + std::size_t(x)) * 4 + 3] =
                static_cast<std::uint8_t>(sample8(picture, y, x, 3));
        }
    }
    const RgbaView view{picture.isNull() ? nullptr : rgba.data(), picture.width(), picture.height(),
                        std::ptrdiff_t{picture.width()} * 4};
    return packMask(drawnPixels(view, options), options.size.width, options.size.height);
}

} // namespace ravik
