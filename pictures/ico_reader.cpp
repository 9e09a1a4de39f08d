// Windows icons and cursors: a directory of images of one picture at several sizes, each a PNG
// or a BMP without its file header whose height counts the colour rows and the 1-bit mask's.
// Viewers show the largest image (the deepest of equally large ones), so that one is read: PNG
// images by the PNG reader, the others by the BMP reader with a file header put in front, then
// their transparency from the mask, or from the alpha bytes of a 32-bit image that has any.

#include "pictures/reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ravik {
namespace {

constexpr std::size_t kDirectoryBytes = 6;
constexpr std::size_t kEntryBytes = 16;
constexpr std::size_t kBmpFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitFields = 3;
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1A\n";

// One image of the directory, as its own header describes it.
struct IconImage {
    Bytes bytes;
    bool png = false;
    std::int64_t width = 0;
    std::int64_t height = 0;
    int depth = 0;
};

IconImage describe(Bytes file, std::size_t entry) {
    IconImage image;
    const std::size_t start = file.le32(entry + 12);
    image.bytes = file.sliced(start, file.le32(entry + 8));
    image.png = image.bytes.startsWith(kPngSignature);
    if (image.png) {
        image.width = image.bytes.be32(16);
        image.height = image.bytes.be32(20);
        image.depth = 32; // PNG images decode to 32-bit pixels, whatever they store
    } else {
        image.width = std::int32_t(image.bytes.le32(4));
        image.height = std::int32_t(image.bytes.le32(8)) / 2;
        image.depth = int(image.bytes.le16(14));
    }
    return image;
}

// A BMP file for an icon's image: a file header, the image's own header with the height of its
// colour rows alone, then its palette and colour rows as they are.
std::vector<std::uint8_t> bmpFileOf(Bytes image, std::uint32_t pixelOffset, std::int32_t height) {
    std::vector<std::uint8_t> file(kBmpFileHeaderBytes + image.size());
    const auto put32 = [&file](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            file[at + i] = std::uint8_t(value >> (8 * i));
        }
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, std::uint32_t(file.size()));
    put32(10, std::uint32_t(kBmpFileHeaderBytes) + pixelOffset);
    std::memcpy(file.data() + kBmpFileHeaderBytes, image.data(), image.size());
    put32(kBmpFileHeaderBytes + 8, std::uint32_t(height));
    return file;
}

DecodedPicture readBitmap(const IconImage& image, const ReadRequest& request) {
    const Bytes bytes = image.bytes;
    const std::uint32_t headerBytes = bytes.le32(0);
    const std::int32_t storedHeight = std::int32_t(bytes.le32(8));
    const std::uint32_t compression = bytes.le32(16);
    if (!bytes.has(0, kInfoHeaderBytes)) {
        return faulty(Fault::incomplete);
    }
    if (headerBytes < kInfoHeaderBytes || headerBytes > bytes.size()) {
        return faulty(Fault::corrupt);
    }
    // Icons are stored bottom-up, the mask after the colour rows; run-length images would hide
    // where the mask starts.
    if (storedHeight <= 0 || storedHeight % 2 != 0 || image.width <= 0 || image.width > 1 << 16 ||
        image.height > 1 << 16) {
        return faulty(Fault::corrupt);
    }
    if (compression != kRgb && compression != kBitFields) {
        return faulty(Fault::unsupported);
    }
    const int depth = image.depth;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) {
        return faulty(Fault::corrupt);
    }
    const std::uint32_t colours = bytes.le32(32);
    const std::uint32_t paletteEntries =
        depth <= 8 ? (colours != 0 && colours < (1u << depth) ? colours : 1u << depth) : 0;
    const std::uint32_t masks =
        compression == kBitFields && headerBytes == kInfoHeaderBytes ? 12 : 0;
    const std::size_t pixels = std::size_t{headerBytes} + masks + std::size_t{paletteEntries} * 4;
    const std::int64_t width = image.width;
    const std::int64_t height = image.height;
    const std::size_t colourStride = std::size_t((width * depth + 31) / 32 * 4);
    const std::size_t maskStride = std::size_t((width + 31) / 32 * 4);
    const std::size_t mask = pixels + colourStride * std::size_t(height);

    ReadRequest whole = request; // the mask applies to the picture before any fit scales it
    whole.fit = nullptr;
    whole.corner = {};
    const std::vector<std::uint8_t> file =
        bmpFileOf(bytes, std::uint32_t(pixels), std::int32_t(height));
    DecodedPicture decoded = bmpReader().read(Bytes(file.data(), file.size()), whole);
    if (!decoded.ok()) {
        return decoded;
    }
    // Every bitmap image ends in its mask, used or not: without it the image is cut short.
    if (!bytes.has(mask, maskStride * std::size_t(height))) {
        return faulty(Fault::incomplete);
    }
    Picture& picture = decoded.picture;
    // A 32-bit image with any alpha byte set carries its transparency as straight alpha.
    bool anyAlpha = false;
    if (depth == 32 && compression == kRgb) {
        for (std::int64_t y = 0; y < height && !anyAlpha; ++y) {
            const std::uint8_t* in = bytes.data() + pixels + colourStride * std::size_t(y);
            for (std::int64_t x = 0; x < width; ++x) {
                anyAlpha = anyAlpha || in[4 * x + 3] != 0;
            }
        }
    }
    if (anyAlpha) {
        for (std::int64_t y = 0; y < height; ++y) {
            const std::uint8_t* in =
                bytes.data() + pixels + colourStride * std::size_t(height - 1 - y);
            std::uint8_t* out = picture.row(int(y));
            for (std::int64_t x = 0; x < width; ++x) {
                out[4 * x + 3] = in[4 * x + 3];
            }
        }
        return decoded;
    }
    // Mask bit 1: transparent. Rows bottom-up, the leftmost pixel in the top bit.
    for (std::int64_t y = 0; y < height; ++y) {
        const std::uint8_t* in = bytes.data() + mask + maskStride * std::size_t(height - 1 - y);
        std::uint8_t* out = picture.row(int(y));
        for (std::int64_t x = 0; x < width; ++x) {
            if (in[x / 8] >> (7 - x % 8) & 1) {
                out[4 * x + 3] = 0;
            }
        }
    }
    return decoded;
}

class IcoReader final : public PictureReader {
public:
    std::span<const std::string_view> suffixes() const override {
        static constexpr std::string_view kSuffixes[] = {"ico", "cur"};
        return kSuffixes;
    }
    // A reserved zero, the type (1 icon, 2 cursor) and at least one image: weak alone, so an
    // icon is claimed by signature only when its first entry's reserved byte is zero too.
    Claim claim(Bytes bytes) const override {
        const std::uint32_t type = bytes.le16(2);
        if (bytes.size() < kDirectoryBytes || bytes.le16(0) != 0 || (type != 1 && type != 2) ||
            bytes.le16(4) == 0) {
            return Claim::no;
        }
        return !bytes.has(kDirectoryBytes, 4) || bytes.u8(kDirectoryBytes + 3) == 0
                   ? Claim::signature
                   : Claim::ifSuffix;
    }

    DecodedPicture read(Bytes bytes, const ReadRequest& request) const override {
        const std::size_t count = bytes.le16(4);
        const std::size_t directoryEnd = kDirectoryBytes + kEntryBytes * count;
        if (!bytes.has(0, directoryEnd)) {
            // A directory running into its own first image is no directory at all.
            const bool overlaps = bytes.has(kDirectoryBytes, kEntryBytes) &&
                                  bytes.le32(kDirectoryBytes + 12) < directoryEnd;
            return faulty(overlaps ? Fault::corrupt : Fault::incomplete);
        }
        IconImage best;
        std::int64_t bestScore = -1;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t entry = kDirectoryBytes + kEntryBytes * i;
            // Any image running past the end: the file was cut short.
            if (!bytes.has(bytes.le32(entry + 12), bytes.le32(entry + 8))) {
                return faulty(Fault::incomplete);
            }
            const IconImage image = describe(bytes, entry);
            const std::int64_t score = std::clamp<std::int64_t>(image.width, 0, 1 << 16) *
                                           std::clamp<std::int64_t>(image.height, 0, 1 << 16) * 64 +
                                       std::clamp(image.depth, 0, 63);
            if (score > bestScore) {
                bestScore = score;
                best = image;
            }
        }
        if (best.bytes.isEmpty()) {
            return faulty(Fault::corrupt);
        }
        if (best.png) {
            return pngReader().read(best.bytes, request);
        }
        return readBitmap(best, request);
    }
};

} // namespace

const PictureReader& icoReader() {
    static const IcoReader reader;
    return reader;
}

} // namespace ravik
