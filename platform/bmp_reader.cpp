#include "bmp_reader.h"

#include <bit>
#include <optional>
#include <vector>

namespace ravik {
namespace {

using Fault = PictureRead::Fault;

constexpr qsizetype kFileHeaderBytes = 14;
constexpr quint32 kRgb = 0;
constexpr quint32 kRle8 = 1;
constexpr quint32 kRle4 = 2;
constexpr quint32 kBitFields = 3;
constexpr quint32 kAlphaBitFields = 6;

quint32 le16(const uchar* p) {
    return quint32(p[0]) | quint32(p[1]) << 8;
}
quint32 le32(const uchar* p) {
    return le16(p) | le16(p + 2) << 16;
}

// One colour channel held in a bit mask of a pixel word.
struct Field {
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;

    static std::optional<Field> of(quint32 mask) {
        Field f{mask, mask != 0 ? std::countr_zero(mask) : 0, std::popcount(mask)};
        const quint64 run = quint64{mask} >> f.shift;
        if ((run & (run + 1)) != 0) {
            return std::nullopt; // the bits are not one contiguous run
        }
        return f;
    }
    uint value(quint32 word, uint absent) const {
        return bits == 0 ? absent : scaledChannel((word & mask) >> shift, bits);
    }
};

struct Layout {
    qint64 width = 0;
    qint64 height = 0; // rows stored
    bool bottomUp = true;
    int depth = 0;
    quint32 compression = kRgb;
    qsizetype pixels = 0; // where the pixel data starts
    std::vector<QRgb> palette;
    Field red, green, blue, alpha;
    bool hasAlpha = false;

    qint64 stride() const { return (width * depth + 31) / 32 * 4; }
};

Fault parse(QByteArrayView bytes, Layout* out) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    const qsizetype size = bytes.size();
    if (size < kFileHeaderBytes + 4 || p[0] != 'B' || p[1] != 'M') {
        return Fault::corrupt;
    }
    Layout& l = *out;
    l.pixels = qsizetype(le32(p + 10));
    const quint32 headerBytes = le32(p + 14);
    qsizetype palette = kFileHeaderBytes + headerBytes;
    int entryBytes = 4;
    quint32 colours = 0;
    if (headerBytes == 12) { // OS/2 1.x: 16-bit sizes, 3-byte palette entries
        if (size < 26) {
            return Fault::incomplete;
        }
        l.width = le16(p + 18);
        l.height = le16(p + 20);
        l.depth = int(le16(p + 24));
        entryBytes = 3;
    } else if (headerBytes == 40 || headerBytes == 52 || headerBytes == 56 || headerBytes == 64 ||
               headerBytes == 108 || headerBytes == 124) {
        if (size < kFileHeaderBytes + qsizetype(headerBytes)) {
            return Fault::incomplete;
        }
        l.width = qint32(le32(p + 18));
        const qint32 height = qint32(le32(p + 22));
        l.bottomUp = height > 0;
        l.height = height > 0 ? qint64{height} : -qint64{height};
        l.depth = int(le16(p + 28));
        l.compression = le32(p + 30);
        colours = le32(p + 46);
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
            const auto r = Field::of(le32(p + 54));
            const auto g = Field::of(le32(p + 58));
            const auto b = Field::of(le32(p + 62));
            const auto a = Field::of(alphaMask ? le32(p + 66) : 0);
            if (!r || !g || !b || !a) {
                return Fault::corrupt;
            }
            l.red = *r, l.green = *g, l.blue = *b, l.alpha = *a;
            l.hasAlpha = a->bits != 0;
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
        const qsizetype room = (qMin(l.pixels, size) - palette) / entryBytes;
        const qsizetype wanted =
            colours != 0 ? qsizetype(qMin<quint32>(colours, 256)) : 1 << l.depth;
        if (room < 0) {
            return Fault::incomplete;
        }
        for (qsizetype i = 0; i < qMin(room, wanted); ++i) {
            const uchar* e = p + palette + i * entryBytes;
            l.palette.push_back(qRgb(e[2], e[1], e[0]));
        }
    }
    if (l.pixels < palette || l.pixels > size) {
        return Fault::incomplete;
    }
    return Fault::none;
}

QRgb paletteColour(const Layout& l, uint index) {
    return index < l.palette.size() ? l.palette[index] : qRgb(0, 0, 0);
}

// Unpacks the first `count` pixels of a stored row.
void decodeRow(const Layout& l, const uchar* row, int count, QRgb* out) {
    for (int x = 0; x < count; ++x) {
        switch (l.depth) {
        case 24:
            out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
            break;
        case 16:
        case 32: {
            const quint32 word = l.depth == 16 ? le16(row + 2 * x) : le32(row + 4 * x);
            out[x] = qRgba(int(l.red.value(word, 0)), int(l.green.value(word, 0)),
                           int(l.blue.value(word, 0)), int(l.alpha.value(word, 255)));
            break;
        }
        default: {
            const qint64 bit = qint64{x} * l.depth;
            const uint shift = uint(8 - l.depth - bit % 8);
            out[x] = paletteColour(l, (row[bit / 8] >> shift) & ((1u << l.depth) - 1));
        }
        }
    }
}

Fault readUncompressed(const uchar* data, qsizetype available, const Layout& l, PictureRows& out) {
    if (l.stride() * l.height > available) {
        return Fault::incomplete;
    }
    for (int y = 0; y < out.height(); ++y) {
        if (!out.wanted(y)) {
            continue;
        }
        const qint64 stored = l.bottomUp ? l.height - 1 - y : y;
        decodeRow(l, data + stored * l.stride(), out.width(),
                  reinterpret_cast<QRgb*>(out.scanLine(y)));
    }
    return Fault::none;
}

// RLE data runs from the first stored row; a bottom-up picture's shown top comes last, so it is
// walked through, skipping what lies outside the corner. Pixels the data jumps over are
// transparent, as browsers show them.
Fault readRunLength(const uchar* data, qsizetype available, const Layout& l, PictureRows& out) {
    out.clear();
    const bool four = l.compression == kRle4;
    qint64 x = 0;
    qint64 row = 0; // stored row
    // The shown row of the stored row the data has reached; -1 once it is past the picture.
    const auto shownRow = [&]() -> qint64 {
        return row < l.height ? (l.bottomUp ? l.height - 1 - row : row) : -1;
    };
    const auto wanted = [&] {
        const qint64 y = shownRow();
        return y >= 0 && y < out.height() && out.wanted(int(y));
    };
    const auto put = [&](uint index) {
        if (x < out.width() && wanted()) {
            reinterpret_cast<QRgb*>(out.scanLine(int(shownRow())))[x] = paletteColour(l, index);
        }
        ++x;
    };
    qsizetype pos = 0;
    // A bottom-up walk goes on to the end-of-bitmap mark (passing over anything a delta pushed
    // past the last row), so a cut-off file is noticed; a top-down one stops after the corner.
    while (l.bottomUp || row < out.height()) {
        if (available - pos < 2) {
            return Fault::incomplete;
        }
        const uint count = data[pos];
        const uint value = data[pos + 1];
        pos += 2;
        if (count > 0) { // a run of one index, or of two alternating nibbles
            if (!wanted()) {
                x += count;
                continue;
            }
            for (uint i = 0; i < count; ++i) {
                put(four ? (i % 2 == 0 ? value >> 4 : value & 15) : value);
            }
        } else if (value == 0) { // end of line
            x = 0;
            ++row;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // move right and up
            if (available - pos < 2) {
                return Fault::incomplete;
            }
            x += data[pos];
            row += data[pos + 1];
            pos += 2;
        } else { // `value` indices stored as they are, padded to 16 bits
            const qsizetype length = four ? (value + 1) / 2 : value;
            if (available - pos < length) {
                return Fault::incomplete;
            }
            if (wanted()) {
                for (uint i = 0; i < value; ++i) {
                    const uint byte = data[pos + (four ? i / 2 : i)];
                    put(four ? (i % 2 == 0 ? byte >> 4 : byte & 15) : byte);
                }
            } else {
                x += value;
            }
            pos += length + (length & 1);
        }
    }
    return Fault::none;
}

} // namespace

uint scaledChannel(uint value, int bits) {
    const quint64 largest = (quint64{1} << bits) - 1;
    return uint((quint64{value} * 255 + largest / 2) / largest);
}

PictureRead readBmp(QByteArrayView bytes, const QSize& corner, const ConversionOptions* fit) {
    Layout l;
    if (const Fault fault = parse(bytes, &l); fault != Fault::none) {
        return readFault(fault);
    }
    const QSize size = cornerSize(QSize(int(l.width), int(l.height)), corner);
    if (fit == nullptr && exceedsDecodeLimit(size)) {
        return readFault(Fault::tooLarge);
    }
    PictureRows out = fit != nullptr ? PictureRows(size, QImage::Format_ARGB32, *fit)
                                     : PictureRows(size, QImage::Format_ARGB32);
    if (out.isNull()) {
        return readFault(Fault::tooLarge);
    }
    const auto* data = reinterpret_cast<const uchar*>(bytes.data()) + l.pixels;
    const qsizetype available = bytes.size() - l.pixels;
    const Fault fault = l.compression == kRle8 || l.compression == kRle4
                            ? readRunLength(data, available, l, out)
                            : readUncompressed(data, available, l, out);
    return fault == Fault::none ? readRows(out) : readFault(fault);
}

} // namespace ravik
