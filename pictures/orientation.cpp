#include "orientation.h"

#include <algorithm>
#include <cstring>

namespace ravik {
namespace {

struct Point {
    int x;
    int y;
};

// The stored pixel shown at (x, y): the quarter turn undone first (shown (x, y) came from
// (y, height − 1 − x)), then the mirror and the flip.
Point storedPoint(const Size& stored, const Orientation& o, int x, int y) {
    Point p = o.turned ? Point{y, stored.height - 1 - x} : Point{x, y};
    if (o.mirrored) {
        p.x = stored.width - 1 - p.x;
    }
    if (o.flipped) {
        p.y = stored.height - 1 - p.y;
    }
    return p;
}

} // namespace

int exifOrientation(Bytes exif) {
    if (exif.startsWith(std::string_view("Exif\0\0", 6))) {
        exif = exif.sliced(6);
    }
    if (exif.size() < 8) {
        return 1;
    }
    const bool little = exif.startsWith("II");
    if (!little && !exif.startsWith("MM")) {
        return 1;
    }
    const auto get16 = [&](std::size_t at) {
        return little ? exif.le16(at) : exif.be16(at);
    };
    const auto get32 = [&](std::size_t at) {
        return little ? exif.le32(at) : exif.be32(at);
    };
    const std::uint32_t ifd = get32(4);
    if (!exif.has(ifd, 2)) {
        return 1;
    }
    const unsigned entries = get16(ifd);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t entry = std::size_t(ifd) + 2 + std::size_t(i) * 12;
        if (!exif.has(entry, 12)) {
            break;
        }
        if (get16(entry) == 0x0112 && get16(entry + 2) == 3) {
            const unsigned value = get16(entry + 8);
            return value >= 1 && value <= 8 ? int(value) : 1;
        }
    }
    return 1;
}

Orientation orientationFor(int value) {
    switch (value) {
    case 2:
        return {true, false, false};
    case 3:
        return {true, true, false};
    case 4:
        return {false, true, false};
    case 5:
        return {false, true, true};
    case 6:
        return {false, false, true};
    case 7:
        return {true, false, true};
    case 8:
        return {true, true, true};
    default:
        return {};
    }
}

Size shownSize(const Size& stored, const Orientation& orientation) {
    return orientation.turned ? Size{stored.height, stored.width} : stored;
}

Rect storedCorner(const Size& stored, const Orientation& orientation, const Size& corner) {
    if (corner.isEmpty()) {
        return {0, 0, stored.width, stored.height};
    }
    const Size wanted = cornerOf(shownSize(stored, orientation), corner);
    const Point a = storedPoint(stored, orientation, 0, 0);
    const Point b = storedPoint(stored, orientation, wanted.width - 1, wanted.height - 1);
    const int left = std::min(a.x, b.x);
    const int top = std::min(a.y, b.y);
    return {left, top, std::max(a.x, b.x) - left + 1, std::max(a.y, b.y) - top + 1};
}

Picture upright(const Picture& stored, const Orientation& orientation) {
    if (!orientation.mirrored && !orientation.flipped && !orientation.turned) {
        return stored;
    }
    const Size size = shownSize(stored.size(), orientation);
    Picture shown(size.width, size.height, stored.bitsPerChannel(), stored.alpha());
    if (shown.isNull()) {
        return {};
    }
    const int bytes = stored.bytesPerPixel();
    for (int y = 0; y < size.height; ++y) {
        std::uint8_t* out = shown.row(y);
        for (int x = 0; x < size.width; ++x) {
            const Point p = storedPoint(stored.size(), orientation, x, y);
            std::memcpy(out + std::ptrdiff_t{x} * bytes,
                        stored.row(p.y) + std::ptrdiff_t{p.x} * bytes, size_t(bytes));
        }
    }
    return shown;
}

} // namespace ravik
