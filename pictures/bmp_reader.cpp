// Windows and OS/2 bitmaps: 1/2/4/8-bit palettes (3- or 4-byte entries), 16/24/32-bit pixels
// with or without bit-field masks (alpha masks of V4/V5 headers too), RLE4 and RLE8, bottom-up
// and top-down. Rows are reached by seeking; run-length data is unpacked only as far as the
// wanted rows reach. JPEG- or PNG-compressed bitmaps are left to other readers.

#include "pictures/bmp_reader.h"

#include "pictures/reader.h"
#include "pictures/row_sink.h"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <vector>

namespace ravik {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

using Rgba = std::array<std::uint8_t, 4>;

// One colour channel held in a bit mask of a pixel word.
struct Field {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    static std::optional<Field> of(std::uint32_t mask) {
        Field f{mask, mask != 0 ? std::countr_zero(mask) : 0, std::popcount(mask)};
        const std::uint64_t run = std::uint64_t{mask} >> f.shift;
        if ((run & (run + 1)) != 0) {
            return std::nullopt; // the bits are not one contiguous run
        }
        return f;
    }
    std::uint8_t value(std::uint32_t word, unsigned absent) const {
        return std::uint8_t(bits == 0 ? absent : scaledChannel((word & mask) >> shift, bits));
    }
};

struct Layout {
    std::int64_t width = 0;
    std::int64_t height = 0; // rows stored
    bool bottomUp = true;
    int depth = 0;
    std::uint32_t compression = kRgb;
    std::size_t pixels = 0; // where the pixel data starts
    std::vector<Rgba> palette;
    Field red, green, blue, alpha;

    std::int64_t stride() const { return (width * depth + 31) / 32 * 4; }
};

Fault parse(Bytes bytes, Layout* out) {
    const std::size_t size = bytes.size();
    if (size < kFileHeaderBytes + 4 || !bytes.startsWith("BM")) {
        return Fault::corrupt;
    }
    Layout& l = *out;
    l.pixels = bytes.le32(10);
    const std::uint32_t headerBytes = bytes.le32(14);
    std::size_t palette = kFileHeaderBytes + headerBytes;
    std::size_t entryBytes = 4;
    std::uint32_t colours = 0;
    if (headerBytes == 12) { // OS/2 1.x: 16-bit sizes, 3-byte palette entries
        if (size < 26) {
            return Fault::incomplete;
        }
        l.width = bytes.le16(18);
        l.height = bytes.le16(20);
        l.depth = int(bytes.le16(24));
        entryBytes = 3;
    } else if (headerBytes == 40 || headerBytes == 52 || headerBytes == 56 || headerBytes == 64 ||
               headerBytes == 108 || headerBytes == 124) {
        if (size < kFileHeaderBytes + headerBytes) {
            return Fault::incomplete;
        }
        l.width = std::int32_t(bytes.le32(18));
        const std::int32_t height = std::int32_t(bytes.le32(22));
        l.bottomUp = height > 0;
        l.height = height > 0 ? std::int64_t{height} : -std::int64_t{height};
        l.depth = int(bytes.le16(28));
        l.compression = bytes.le32(30);
        colours = bytes.le32(46);
        const bool fields = l.compression == kBitFields || l.compression == kAlphaBitFields;
        if (headerBytes == 64 && l.compression > kRle4) {
            return Fault::unsupported; // OS/2 2.x Huffman and RLE24
        }
        if (headerBytes == 40 && fields) {
            palette += l.compression == kBitFields ? 12 : 16; // the masks follow the header
        }
        if (fields) {
            if (size < palette || (l.depth != 16 && l.depth != 32)) {
                return size < palette ? Fault::incomplete : Fault::corrupt;
            }
            const bool alphaMask = headerBytes >= 56 || l.compression == kAlphaBitFields;
            const auto r = Field::of(bytes.le32(54));
            const auto g = Field::of(bytes.le32(58));
            const auto b = Field::of(bytes.le32(62));
            const auto a = Field::of(alphaMask ? bytes.le32(66) : 0);
            if (!r || !g || !b || !a) {
                return Fault::corrupt;
            }
            l.red = *r, l.green = *g, l.blue = *b, l.alpha = *a;
        } else if (l.compression != kRgb && l.compression != kRle8 && l.compression != kRle4) {
            return Fault::unsupported; // embedded JPEG or PNG
        }
    } else {
        return Fault::corrupt;
    }
    if (l.width <= 0 || l.height <= 0 || l.width > 1 << 20 || l.height > 1 << 20) {
        return Fault::corrupt;
    }
    if (l.compression == kRgb && l.depth == 16) {
        l.red = *Field::of(0x7C00), l.green = *Field::of(0x03E0), l.blue = *Field::of(0x001F);
    } else if (l.compression == kRgb && l.depth == 32) {
        l.red = *Field::of(0xFF0000), l.green = *Field::of(0xFF00), l.blue = *Field::of(0xFF);
    }
    const bool indexed = l.depth == 1 || l.depth == 2 || l.depth == 4 || l.depth == 8;
    if ((l.compression == kRle8 && l.depth != 8) || (l.compression == kRle4 && l.depth != 4) ||
        (!indexed && l.depth != 16 && l.depth != 24 && l.depth != 32)) {
        return Fault::corrupt;
    }
    if (indexed) {
        const std::size_t end = std::min(l.pixels, size);
        if (end < palette) {
            return Fault::incomplete;
        }
        const std::size_t room = (end - palette) / entryBytes;
        const std::size_t wanted =
            colours != 0 ? std::min<std::uint32_t>(colours, 256) : std::size_t{1} << l.depth;
        for (std::size_t i = 0; i < std::min(room, wanted); ++i) {
            const std::size_t e = palette + i * entryBytes;
            l.palette.push_back({bytes.u8(e + 2), bytes.u8(e + 1), bytes.u8(e), 0xFF});
        }
    }
    if (l.pixels < palette || l.pixels > size) {
        return Fault::incomplete;
    }
    return Fault::none;
}

Rgba paletteColour(const Layout& l, unsigned index) {
    return index < l.palette.size() ? l.palette[index] : Rgba{0, 0, 0, 0xFF};
}

void put(std::uint8_t* out, int x, const Rgba& colour) {
    std::copy(colour.begin(), colour.end(), out + 4 * x);
}

// Unpacks the first `count` pixels of a stored row.
void decodeRow(const Layout& l, Bytes row, int count, std::uint8_t* out) {
    for (int x = 0; x < count; ++x) {
        switch (l.depth) {
        case 24:
            put(out, x, {row.u8(3 * x + 2), row.u8(3 * x + 1), row.u8(3 * x), 0xFF});
            break;
        case 16:
        case 32: {
            const std::uint32_t word = l.depth == 16 ? row.le16(2 * x) : row.le32(4 * x);
            put(out, x,
                {l.red.value(word, 0), l.green.value(word, 0), l.blue.value(word, 0),
                 l.alpha.value(word, 255)});
            break;
        }
        default: {
            const std::int64_t bit = std::int64_t{x} * l.depth;
            const unsigned shift = unsigned(8 - l.depth - bit % 8);
            put(out, x,
                paletteColour(l, (row.u8(size_t(bit / 8)) >> shift) & ((1u << l.depth) - 1)));
        }
        }
    }
}

Fault readUncompressed(Bytes data, const Layout& l, RowSink& out) {
    if (l.stride() * l.height > std::int64_t(data.size())) {
        return Fault::incomplete;
    }
    for (int y = 0; y < out.height(); ++y) {
        if (!out.wanted(y)) {
            continue;
        }
        const std::int64_t stored = l.bottomUp ? l.height - 1 - y : y;
        decodeRow(l, data.sliced(size_t(stored * l.stride()), size_t(l.stride())), out.width(),
                  out.row(y));
    }
    return Fault::none;
}

// RLE data runs from the first stored row; a bottom-up picture's shown top comes last, so it is
// walked through, skipping what lies outside the corner. Pixels the data jumps over are
// transparent, as browsers show them.
Fault readRunLength(Bytes data, const Layout& l, RowSink& out) {
    const bool four = l.compression == kRle4;
    std::int64_t x = 0;
    std::int64_t row = 0; // stored row
    // The shown row of the stored row the data has reached; -1 once it is past the picture.
    const auto shownRow = [&]() -> std::int64_t {
        return row < l.height ? (l.bottomUp ? l.height - 1 - row : row) : -1;
    };
    const auto wanted = [&] {
        const std::int64_t y = shownRow();
        return y >= 0 && y < out.height() && out.wanted(int(y));
    };
    const auto putIndex = [&](unsigned index) {
        if (x < out.width() && wanted()) {
            put(out.row(int(shownRow())), int(x), paletteColour(l, index));
        }
        ++x;
    };
    std::size_t pos = 0;
    // A bottom-up walk goes on to the end-of-bitmap mark (passing over anything a delta pushed
    // past the last row), so a cut-off file is noticed; a top-down one stops after the corner.
    while (l.bottomUp || row < out.height()) {
        if (!data.has(pos, 2)) {
            return Fault::incomplete;
        }
        const unsigned count = data.u8(pos);
        const unsigned value = data.u8(pos + 1);
        pos += 2;
        if (count > 0) { // a run of one index, or of two alternating nibbles
            if (!wanted()) {
                x += count;
                continue;
            }
            for (unsigned i = 0; i < count; ++i) {
                putIndex(four ? (i % 2 == 0 ? value >> 4 : value & 15) : value);
            }
        } else if (value == 0) { // end of line
            x = 0;
            ++row;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // move right and up
            if (!data.has(pos, 2)) {
                return Fault::incomplete;
            }
            x += data.u8(pos);
            row += data.u8(pos + 1);
            pos += 2;
        } else { // `value` indices stored as they are, padded to 16 bits
            const std::size_t length = four ? (value + 1) / 2 : value;
            if (!data.has(pos, length)) {
                return Fault::incomplete;
            }
            if (wanted()) {
                for (unsigned i = 0; i < value; ++i) {
                    const unsigned byte = data.u8(pos + (four ? i / 2 : i));
                    putIndex(four ? (i % 2 == 0 ? byte >> 4 : byte & 15) : byte);
                }
            } else {
                x += value;
            }
            pos += length + (length & 1);
        }
    }
    return Fault::none;
}

class BmpReader final : public PictureReader {
public:
    std::span<const std::string_view> suffixes() const override {
        static constexpr std::string_view kSuffixes[] = {"bmp", "dib"};
        return kSuffixes;
    }
    Claim claim(Bytes bytes) const override {
        return bytes.startsWith("BM") ? Claim::signature : Claim::no;
    }

    DecodedPicture read(Bytes bytes, const ReadRequest& request) const override {
        Layout l;
        if (const Fault fault = parse(bytes, &l); fault != Fault::none) {
            return faulty(fault);
        }
        const Size size = cornerOf({int(l.width), int(l.height)}, request.corner);
        if (request.fit == nullptr && exceedsLimit(size, 4, request.limitBytes)) {
            return faulty(Fault::tooLarge);
        }
        RowSink out = request.fit != nullptr ? RowSink(size, *request.fit) : RowSink(size);
        if (out.isNull()) {
            return faulty(Fault::tooLarge);
        }
        const Bytes data = bytes.sliced(l.pixels);
        const Fault fault = l.compression == kRle8 || l.compression == kRle4
                                ? readRunLength(data, l, out)
                                : readUncompressed(data, l, out);
        return fault == Fault::none ? out.result() : faulty(fault);
    }
};

} // namespace

unsigned scaledChannel(unsigned value, int bits) {
    const std::uint64_t largest = (std::uint64_t{1} << bits) - 1;
    return unsigned((std::uint64_t{value} * 255 + largest / 2) / largest);
}

const PictureReader& bmpReader() {
    static const BmpReader reader;
    return reader;
}

} // namespace ravik
