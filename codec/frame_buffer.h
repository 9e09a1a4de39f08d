#pragma once

// The LCD's frame: the packed picture (see packed_picture.h) at the panel's 98 × 67 pixels. With an
// even width, two horizontally neighbouring pixels share three bytes: R G of the even pixel, B of
// the even and R of the odd pixel, G B of the odd pixel. Rows follow each other with no padding or
// header.

#include "codec/packed_picture.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ravik {

inline constexpr int kFrameWidth = 98;
inline constexpr int kFrameHeight = 67;
inline constexpr int kPixelCount = kFrameWidth * kFrameHeight;
inline constexpr int kRowStride = kFrameWidth * 3 / 2; // bytes per row: 49 pairs of three bytes
inline constexpr int kFrameSize = kRowStride * kFrameHeight; // bytes the display takes
inline constexpr int kBufferSize = kFrameSize + 1;           // the buffer keeps one spare byte

static_assert(kFrameWidth % 2 == 0, "rows must hold whole pixel pairs");
static_assert(kRowStride == 147 && kFrameSize == 9849);

// The first of the two bytes that hold parts of pixel (x, y): floor(1.5 x) + 147 y.
constexpr int pixelIndex(int x, int y) {
    return x * 3 / 2 + kRowStride * y;
}

// One frame plus the spare byte. All zero when made; every access is checked against its bounds.
class FrameBuffer {
public:
    using Bytes = std::array<std::uint8_t, kBufferSize>;

    FrameBuffer() = default;
    // A frame holding these bytes, the spare byte zero.
    explicit FrameBuffer(std::span<const std::uint8_t, kFrameSize> frame);

    std::uint8_t operator[](std::size_t index) const { return bytes_.at(index); }
    std::uint8_t& operator[](std::size_t index) { return bytes_.at(index); }

    // The bytes the display takes (everything but the spare byte), for export.
    std::span<const std::uint8_t, kFrameSize> frame() const {
        return std::span<const std::uint8_t, kFrameSize>(bytes_.data(), kFrameSize);
    }
    const Bytes& bytes() const { return bytes_; }

    bool operator==(const FrameBuffer&) const = default;

private:
    friend void packPixels(std::span<const ColorValue, kPixelCount>, FrameBuffer&);
    Bytes bytes_{};
};

// Packs 98 × 67 colours, row by row, into bytes 0 to 9848 of the frame. Each channel keeps its high
// nibble (truncated, never rounded). Every frame byte is rewritten, so nothing of an earlier frame
// survives.
void packPixels(std::span<const ColorValue, kPixelCount> pixels, FrameBuffer& frame);

// The colour the display shows for pixel (x, y): each channel's nibble back in the high four bits,
// so white decodes to (240, 240, 240).
ColorValue decodePixel(const FrameBuffer& frame, int x, int y);

// Decodes every pixel of the frame, row by row.
void decodePixels(const FrameBuffer& frame, std::span<ColorValue, kPixelCount> pixels);

} // namespace ravik
