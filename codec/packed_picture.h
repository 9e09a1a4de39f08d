#pragma once

// The panel's one packing, at any size: a width × height picture of 12-bit colour is a continuous
// nibble stream R G B, pixel after pixel, row after row, high nibble first in each byte. Rows are
// not padded: a row of odd width ends in the middle of a byte and the next row carries on there.
// Two neighbouring pixels of the stream share three bytes (R G, B R, G B); when the pixel count is
// odd, the last byte's low nibble is 0. This is the stream the controller takes after a
// width × height window is set; the 98 × 67 frame is this picture at the panel's own size.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ravik {

// A colour as 0x00BBGGRR: red in the low byte, green in the second, blue in the third.
using ColorValue = std::uint32_t;

constexpr ColorValue RGB(int red, int green, int blue) {
    return static_cast<ColorValue>(red & 0xFF) | static_cast<ColorValue>(green & 0xFF) << 8 |
           static_cast<ColorValue>(blue & 0xFF) << 16;
}
constexpr int redOf(ColorValue c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int greenOf(ColorValue c) {
    return static_cast<int>(c >> 8 & 0xFF);
}
constexpr int blueOf(ColorValue c) {
    return static_cast<int>(c >> 16 & 0xFF);
}

// Bytes of a packed width × height picture: ⌈width · height · 3 / 2⌉. Throws
// std::invalid_argument unless both sides are at least 1.
std::size_t packedSize(int width, int height);

// Packs width × height colours, row by row, each channel keeping its high nibble (truncated,
// never rounded). Throws std::invalid_argument when the count of pixels is not width × height.
std::vector<std::uint8_t> packPixels(std::span<const ColorValue> pixels, int width, int height);

// The same into the first packedSize(width, height) bytes of `out`, every one of them rewritten;
// bytes after them are left alone. Throws std::invalid_argument when `out` is shorter.
void packPixels(std::span<const ColorValue> pixels, int width, int height,
                std::span<std::uint8_t> out);

// The colour the panel shows for pixel (x, y) of a packed picture `width` pixels wide: each
// channel's nibble back in the high four bits, so white decodes to (240, 240, 240). Throws
// std::out_of_range when x is outside the row or the pixel lies outside `packed`.
ColorValue decodePixel(std::span<const std::uint8_t> packed, int width, int x, int y);

// Every pixel of a packed width × height picture, row by row. Throws std::invalid_argument when
// `packed` holds fewer than packedSize(width, height) bytes.
std::vector<ColorValue> decodePixels(std::span<const std::uint8_t> packed, int width, int height);
// The same into `out`, which must hold width × height colours (else std::invalid_argument).
void decodePixels(std::span<const std::uint8_t> packed, int width, int height,
                  std::span<ColorValue> out);

// The transparency mask beside a packed picture: one bit a pixel, 1 where the pixel is drawn,
// the leftmost pixel of a row in the top bit, each row padded to whole bytes with 0 bits. The
// packed pixels don't change with it: they are the picture over its background.
inline constexpr int kDrawnAlpha = 128; // a pixel is drawn from this alpha up

// Bytes of the mask of a width × height picture: ⌈width / 8⌉ a row. Throws
// std::invalid_argument unless both sides are at least 1.
std::size_t maskSize(int width, int height);

// The mask for `drawn`, width × height flags row by row. Throws std::invalid_argument when the
// count differs.
std::vector<std::uint8_t> packMask(const std::vector<bool>& drawn, int width, int height);

} // namespace ravik
