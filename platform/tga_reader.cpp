#include "tga_reader.h"

#include <vector>

namespace ravik {
namespace {

using Fault = PictureRead::Fault;

constexpr qsizetype kHeaderBytes = 18;

uint le16(const uchar* p) {
    return uint(p[0]) | uint(p[1]) << 8;
}

// Five bits to eight by repeating the top bits, so 0 stays 0 and 31 becomes 255.
uint expand5(uint v) {
    return (v << 3) | (v >> 2);
}

QRgb colour16(uint word, bool alpha) {
    const uint a = alpha ? ((word & 0x8000) != 0 ? 255 : 0) : 255;
    return qRgba(int(expand5((word >> 10) & 31)), int(expand5((word >> 5) & 31)),
                 int(expand5(word & 31)), int(a));
}

// A true-colour sample (stored blue first) of `bits` bits.
QRgb trueColour(const uchar* p, int bits, bool alpha) {
    switch (bits) {
    case 15:
    case 16:
        return colour16(le16(p), alpha && bits == 16);
    case 24:
        return qRgb(p[2], p[1], p[0]);
    default:
        return qRgba(p[2], p[1], p[0], alpha ? p[3] : 255);
    }
}

struct Header {
    int idLength = 0;
    int mapType = 0;
    int type = 0;
    int mapFirst = 0;
    int mapLength = 0;
    int mapBits = 0;
    int width = 0;
    int height = 0;
    int depth = 0;
    int descriptor = 0;

    int kind() const { return type & 7; } // 1 colour-mapped, 2 true colour, 3 grey
    bool runLength() const { return (type & 8) != 0; }
    bool alpha() const { return (descriptor & 15) != 0; }
    bool bottomUp() const { return (descriptor & 0x20) == 0; }
    bool rightToLeft() const { return (descriptor & 0x10) != 0; }
    int pixelBytes() const { return (depth + 7) / 8; }
    qsizetype mapBytes() const {
        return mapType == 1 ? qsizetype{mapLength} * ((mapBits + 7) / 8) : 0;
    }
};

bool validDepth(int bits) {
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

bool parseHeader(QByteArrayView bytes, Header* h) {
    if (bytes.size() < kHeaderBytes) {
        return false;
    }
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    *h = {p[0],
          p[1],
          p[2],
          int(le16(p + 3)),
          int(le16(p + 5)),
          p[7],
          int(le16(p + 12)),
          int(le16(p + 14)),
          p[16],
          p[17]};
    if (h->mapType > 1 || h->width == 0 || h->height == 0 || (h->descriptor & 0xC0) != 0) {
        return false;
    }
    if (h->mapType == 1 && !validDepth(h->mapBits)) {
        return false;
    }
    switch (h->type) {
    case 1:
    case 9:
        return h->mapType == 1 && (h->depth == 8 || h->depth == 16);
    case 2:
    case 10:
        return validDepth(h->depth);
    case 3:
    case 11:
        return h->depth == 8 || h->depth == 16;
    default:
        return false;
    }
}

// Turns one stored pixel into a colour, whatever the kind of picture.
class PixelDecoder {
public:
    PixelDecoder(const Header& h, const uchar* map) : header_(h) {
        if (h.kind() == 1) {
            const int entryBytes = (h.mapBits + 7) / 8;
            palette_.reserve(size_t(h.mapLength));
            for (int i = 0; i < h.mapLength; ++i) {
                palette_.push_back(trueColour(map + i * entryBytes, h.mapBits, h.alpha()));
            }
        }
    }

    QRgb operator()(const uchar* p) const {
        switch (header_.kind()) {
        case 1: {
            const qint64 index = qint64(header_.depth == 8 ? p[0] : le16(p)) - header_.mapFirst;
            // An index outside the map has no colour; black is what other readers show.
            return index >= 0 && index < qint64(palette_.size()) ? palette_[size_t(index)]
                                                                 : qRgb(0, 0, 0);
        }
        case 2:
            return trueColour(p, header_.depth, header_.alpha());
        default:
            return qRgba(p[0], p[0], p[0], header_.depth == 16 && header_.alpha() ? p[1] : 255);
        }
    }

private:
    const Header& header_;
    std::vector<QRgb> palette_;
};

// Where stored pixels land in the picture made: only those within the shown corner are kept.
struct RowPlacement {
    const Header& h;
    PictureRows& out;

    // The output row of a stored row, or -1 when it is not wanted.
    int row(qint64 stored) const {
        const qint64 shown = h.bottomUp() ? h.height - 1 - stored : stored;
        return shown < out.height() && out.wanted(int(shown)) ? int(shown) : -1;
    }
    int column(qint64 stored) const { return int(h.rightToLeft() ? h.width - 1 - stored : stored); }
    void put(qint64 storedRow, qint64 storedColumn, QRgb colour) const {
        const int x = column(storedColumn);
        if (x < out.width()) {
            reinterpret_cast<QRgb*>(out.scanLine(row(storedRow)))[x] = colour;
        }
    }
};

Fault readRaw(const uchar* data, qsizetype available, const Header& h, const PixelDecoder& decode,
              const RowPlacement& place) {
    const qint64 rowBytes = qint64{h.width} * h.pixelBytes();
    if (rowBytes * h.height > available) {
        return Fault::incomplete;
    }
    for (int r = 0; r < h.height; ++r) {
        if (place.row(r) < 0) {
            continue;
        }
        const uchar* row = data + r * rowBytes;
        for (int c = 0; c < h.width; ++c) {
            place.put(r, c, decode(row + qint64{c} * h.pixelBytes()));
        }
    }
    return Fault::none;
}

// Packets may run across rows. Every packet header is visited, so a cut-off stream is noticed,
// but only pixels in wanted rows are decoded.
Fault readRunLength(const uchar* data, qsizetype available, const Header& h,
                    const PixelDecoder& decode, const RowPlacement& place) {
    const qint64 total = qint64{h.width} * h.height;
    const int bytes = h.pixelBytes();
    qsizetype pos = 0;
    for (qint64 i = 0; i < total;) {
        if (pos >= available) {
            return Fault::incomplete;
        }
        const int packet = data[pos++];
        const qint64 count = qMin<qint64>((packet & 0x7F) + 1, total - i);
        const bool run = (packet & 0x80) != 0;
        const qsizetype packetBytes = run ? bytes : qsizetype(count) * bytes;
        if (available - pos < packetBytes) {
            return Fault::incomplete;
        }
        const bool wanted =
            place.row(i / h.width) >= 0 || place.row((i + count - 1) / h.width) >= 0;
        if (wanted) {
            const QRgb runColour = run ? decode(data + pos) : 0;
            for (qint64 k = 0; k < count; ++k) {
                const qint64 r = (i + k) / h.width;
                if (place.row(r) >= 0) {
                    place.put(r, (i + k) % h.width,
                              run ? runColour : decode(data + pos + k * bytes));
                }
            }
        }
        pos += packetBytes;
        i += count;
    }
    return Fault::none;
}

} // namespace

bool looksLikeTga(QByteArrayView bytes) {
    Header header;
    return parseHeader(bytes, &header);
}

PictureRead readTga(QByteArrayView bytes, const QSize& corner, const ConversionOptions* fit) {
    Header h;
    if (!parseHeader(bytes, &h)) {
        return readFault(Fault::corrupt);
    }
    const qsizetype mapStart = kHeaderBytes + h.idLength;
    const qsizetype dataStart = mapStart + h.mapBytes();
    if (dataStart > bytes.size()) {
        return readFault(Fault::incomplete);
    }
    const QSize size = cornerSize(QSize(h.width, h.height), corner);
    if (fit == nullptr && exceedsDecodeLimit(size)) {
        return readFault(Fault::tooLarge);
    }
    const auto* base = reinterpret_cast<const uchar*>(bytes.data());
    const PixelDecoder decode(h, base + mapStart);
    PictureRows out = fit != nullptr ? PictureRows(size, QImage::Format_ARGB32, *fit)
                                     : PictureRows(size, QImage::Format_ARGB32);
    if (out.isNull()) {
        return readFault(Fault::tooLarge);
    }
    const RowPlacement place{h, out};
    const Fault fault = (h.runLength() ? readRunLength : readRaw)(
        base + dataStart, bytes.size() - dataStart, h, decode, place);
    return fault == Fault::none ? readRows(out) : readFault(fault);
}

} // namespace ravik
