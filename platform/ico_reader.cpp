#include "ico_reader.h"

namespace ravik {
namespace {

constexpr std::size_t kDirectoryBytes = 6;
constexpr std::size_t kEntryBytes = 16;
constexpr std::uint32_t kInfoHeaderBytes = 40;

} // namespace

std::optional<Picture> readIconWithAlpha(Bytes data, int index) {
    const std::size_t entry = kDirectoryBytes + kEntryBytes * std::size_t(index < 0 ? 0 : index);
    if (index < 0 || !data.has(entry, kEntryBytes) || data.le16(0) != 0 || data.le16(2) != 1 ||
        data.le16(4) <= unsigned(index)) {
        return std::nullopt;
    }
    // The image: a BMP info header whose height counts both the colour rows and the mask's,
    // then the colour rows bottom-up, four bytes a pixel (B G R A), then the mask.
    const std::size_t start = data.le32(entry + 12);
    if (!data.has(start, kInfoHeaderBytes)) {
        return std::nullopt;
    }
    const Bytes header = data.sliced(start);
    const std::uint32_t headerBytes = header.le32(0);
    const std::int64_t width = std::int32_t(header.le32(4));
    const std::int64_t doubled = std::int32_t(header.le32(8));
    const bool plain = header.le16(14) == 32 && header.le32(16) == 0 && header.le32(32) == 0;
    if (headerBytes < kInfoHeaderBytes || !plain || width <= 0 || doubled <= 0 ||
        doubled % 2 != 0) {
        return std::nullopt;
    }
    const std::int64_t height = doubled / 2;
    const std::size_t pixels = start + headerBytes;
    if (width > std::int64_t(data.size() / 4) || height > std::int64_t(data.size()) ||
        !data.has(pixels, size_t(width * height * 4))) {
        return std::nullopt;
    }
    Picture picture{int(width), int(height)};
    if (picture.isNull()) {
        return std::nullopt;
    }
    bool anyAlpha = false;
    for (std::int64_t y = 0; y < height; ++y) {
        const std::uint8_t* in = data.data() + pixels + size_t((height - 1 - y) * width * 4);
        std::uint8_t* out = picture.row(int(y));
        for (std::int64_t x = 0; x < width; ++x, in += 4, out += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = in[3];
            anyAlpha = anyAlpha || in[3] != 0;
        }
    }
    // With every alpha byte zero the mask says what is transparent; Qt's reader applies it.
    if (!anyAlpha) {
        return std::nullopt;
    }
    return picture;
}

} // namespace ravik
