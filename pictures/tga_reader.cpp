// Truevision TGA: true colour (15/16/24/32 bits), colour-mapped (8/16-bit indices into
// 15/16/24/32-bit maps) and greyscale (with or without alpha), raw or run-length encoded, in any
// of the four origins. TGA has no signature: a file is taken by its TGA 2.0 footer, or by its
// suffix, when its header is one this reader reads. Run-length data is walked to its end to tell
// a cut-off file, but only the needed rows are unpacked.

#include "pictures/reader.h"
#include "pictures/row_sink.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace ravik {
namespace {

constexpr std::size_t kHeaderBytes = 18;

using Rgba = std::array<std::uint8_t, 4>;

// Five bits to eight by repeating the top bits, so 0 stays 0 and 31 becomes 255.
std::uint8_t expand5(unsigned v) {
    return std::uint8_t((v << 3) | (v >> 2));
}

Rgba colour16(unsigned word, bool alpha) {
    const std::uint8_t a = alpha ? ((word & 0x8000) != 0 ? 255 : 0) : 255;
    return {expand5((word >> 10) & 31), expand5((word >> 5) & 31), expand5(word & 31), a};
}

// A true-colour sample (stored blue first) of `bits` bits.
Rgba trueColour(Bytes p, int bits, bool alpha) {
    switch (bits) {
    case 15:
    case 16:
        return colour16(p.le16(0), alpha && bits == 16);
    case 24:
        return {p.u8(2), p.u8(1), p.u8(0), 0xFF};
    default:
        return {p.u8(2), p.u8(1), p.u8(0), alpha ? p.u8(3) : std::uint8_t(255)};
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
    std::size_t mapBytes() const {
        return mapType == 1 ? std::size_t(mapLength) * std::size_t((mapBits + 7) / 8) : 0;
    }
};

bool validDepth(int bits) {
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

bool parseHeader(Bytes bytes, Header* h) {
    if (bytes.size() < kHeaderBytes) {
        return false;
    }
    *h = {bytes.u8(0),        bytes.u8(1), bytes.u8(2),         int(bytes.le16(3)),
          int(bytes.le16(5)), bytes.u8(7), int(bytes.le16(12)), int(bytes.le16(14)),
          bytes.u8(16),       bytes.u8(17)};
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

// A TGA 2.0 file ends with this footer, the nearest thing the format has to a signature.
bool hasTgaFooter(Bytes bytes) {
    return bytes.endsWith(std::string_view("TRUEVISION-XFILE.\0", 18));
}

// Turns one stored pixel into a colour, whatever the kind of picture.
class PixelDecoder {
public:
    PixelDecoder(const Header& h, Bytes map) : header_(h) {
        if (h.kind() == 1) {
            const std::size_t entryBytes = std::size_t((h.mapBits + 7) / 8);
            palette_.reserve(size_t(h.mapLength));
            for (int i = 0; i < h.mapLength; ++i) {
                palette_.push_back(
                    trueColour(map.sliced(size_t(i) * entryBytes), h.mapBits, h.alpha()));
            }
        }
    }

    Rgba operator()(Bytes p) const {
        switch (header_.kind()) {
        case 1: {
            const std::int64_t index =
                std::int64_t(header_.depth == 8 ? p.u8(0) : p.le16(0)) - header_.mapFirst;
            // An index outside the map has no colour; black is what other readers show.
            return index >= 0 && index < std::int64_t(palette_.size()) ? palette_[size_t(index)]
                                                                       : Rgba{0, 0, 0, 0xFF};
        }
        case 2:
            return trueColour(p, header_.depth, header_.alpha());
        default: {
            const std::uint8_t grey = p.u8(0);
            return {grey, grey, grey,
                    header_.depth == 16 && header_.alpha() ? p.u8(1) : std::uint8_t(255)};
        }
        }
    }

private:
    const Header& header_;
    std::vector<Rgba> palette_;
};

// Where stored pixels land in the picture made: only those within the shown corner are kept.
struct RowPlacement {
    const Header& h;
    RowSink& out;

    // The output row of a stored row, or -1 when it is not wanted.
    int row(std::int64_t stored) const {
        const std::int64_t shown = h.bottomUp() ? h.height - 1 - stored : stored;
        return shown < out.height() && out.wanted(int(shown)) ? int(shown) : -1;
    }
    int column(std::int64_t stored) const {
        return int(h.rightToLeft() ? h.width - 1 - stored : stored);
    }
    void put(std::int64_t storedRow, std::int64_t storedColumn, const Rgba& colour) const {
        const int x = column(storedColumn);
        if (x < out.width()) {
            std::memcpy(out.row(row(storedRow)) + 4 * x, colour.data(), 4);
        }
    }
};

Fault readRaw(Bytes data, const Header& h, const PixelDecoder& decode, const RowPlacement& place) {
    const std::int64_t rowBytes = std::int64_t{h.width} * h.pixelBytes();
    if (rowBytes * h.height > std::int64_t(data.size())) {
        return Fault::incomplete;
    }
    for (int r = 0; r < h.height; ++r) {
        if (place.row(r) < 0) {
            continue;
        }
        const Bytes row = data.sliced(size_t(r * rowBytes), size_t(rowBytes));
        for (int c = 0; c < h.width; ++c) {
            place.put(r, c, decode(row.sliced(size_t(c) * size_t(h.pixelBytes()))));
        }
    }
    return Fault::none;
}

// Packets may run across rows. Every packet header is visited, so a cut-off stream is noticed,
// but only pixels in wanted rows are decoded.
Fault readRunLength(Bytes data, const Header& h, const PixelDecoder& decode,
                    const RowPlacement& place) {
    const std::int64_t total = std::int64_t{h.width} * h.height;
    const std::size_t bytes = size_t(h.pixelBytes());
    std::size_t pos = 0;
    for (std::int64_t i = 0; i < total;) {
        if (pos >= data.size()) {
            return Fault::incomplete;
        }
        const int packet = data.u8(pos++);
        const std::int64_t count = std::min<std::int64_t>((packet & 0x7F) + 1, total - i);
        const bool run = (packet & 0x80) != 0;
        const std::size_t packetBytes = run ? bytes : size_t(count) * bytes;
        if (!data.has(pos, packetBytes)) {
            return Fault::incomplete;
        }
        const bool wanted =
            place.row(i / h.width) >= 0 || place.row((i + count - 1) / h.width) >= 0;
        if (wanted) {
            const Rgba runColour = run ? decode(data.sliced(pos)) : Rgba{};
            for (std::int64_t k = 0; k < count; ++k) {
                const std::int64_t r = (i + k) / h.width;
                if (place.row(r) >= 0) {
                    place.put(r, (i + k) % h.width,
                              run ? runColour : decode(data.sliced(pos + size_t(k) * bytes)));
                }
            }
        }
        pos += packetBytes;
        i += count;
    }
    return Fault::none;
}

class TgaReader final : public PictureReader {
public:
    std::span<const std::string_view> suffixes() const override {
        static constexpr std::string_view kSuffixes[] = {"tga"};
        return kSuffixes;
    }
    Claim claim(Bytes bytes) const override {
        Header header;
        if (!parseHeader(bytes, &header)) {
            return Claim::no;
        }
        return hasTgaFooter(bytes) ? Claim::signature : Claim::ifSuffix;
    }

    DecodedPicture read(Bytes bytes, const ReadRequest& request) const override {
        Header h;
        if (!parseHeader(bytes, &h)) {
            return faulty(Fault::corrupt);
        }
        const std::size_t mapStart = kHeaderBytes + size_t(h.idLength);
        const std::size_t dataStart = mapStart + h.mapBytes();
        if (dataStart > bytes.size()) {
            return faulty(Fault::incomplete);
        }
        const Size size = cornerOf({h.width, h.height}, request.corner);
        if (request.fit == nullptr && exceedsLimit(size, 4, request.limitBytes)) {
            return faulty(Fault::tooLarge);
        }
        const PixelDecoder decode(h, bytes.sliced(mapStart, h.mapBytes()));
        RowSink out = request.fit != nullptr ? RowSink(size, *request.fit) : RowSink(size);
        if (out.isNull()) {
            return faulty(Fault::tooLarge);
        }
        const RowPlacement place{h, out};
        const Bytes data = bytes.sliced(dataStart);
        const Fault fault =
            h.runLength() ? readRunLength(data, h, decode, place) : readRaw(data, h, decode, place);
        return fault == Fault::none ? out.result() : faulty(fault);
    }
};

} // namespace

const PictureReader& tgaReader() {
    static const TgaReader reader;
    return reader;
}

} // namespace ravik
