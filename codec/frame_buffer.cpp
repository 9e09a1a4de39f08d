#include "frame_buffer.h"

#include <stdexcept>

namespace ravik {

void packPixels(std::span<const ColorValue, kPixelCount> pixels, FrameBuffer& frame) {
    // Indices below are in range by construction (the last pair ends at kFrameSize - 1), so the
    // loop writes the array directly instead of through the checked accessor.
    auto& out = frame.bytes_;
    const ColorValue* pixel = pixels.data();
    for (int y = 0; y < kFrameHeight; ++y) {
        std::uint8_t* row = out.data() + static_cast<std::size_t>(kRowStride) * y;
        for (int pair = 0; pair < kFrameWidth / 2; ++pair) {
            const ColorValue even = *pixel++;
            const ColorValue odd = *pixel++;
            std::uint8_t* bytes = row + 3 * pair;
            bytes[0] = static_cast<std::uint8_t>((even & 0xF0) | (even >> 12 & 0x0F));
            bytes[1] = static_cast<std::uint8_t>((even >> 16 & 0xF0) | (odd >> 4 & 0x0F));
            bytes[2] = static_cast<std::uint8_t>((odd >> 8 & 0xF0) | (odd >> 20 & 0x0F));
        }
    }
}

ColorValue decodePixel(const FrameBuffer& frame, int x, int y) {
    if (x < 0 || x >= kFrameWidth || y < 0 || y >= kFrameHeight) {
        throw std::out_of_range("pixel outside the frame");
    }
    const auto& bytes = frame.bytes();
    const std::size_t i = static_cast<std::size_t>(pixelIndex(x, y));
    const int first = bytes[i];
    const int second = bytes[i + 1];
    if (x % 2 == 0) {
        return RGB(first & 0xF0, (first & 0x0F) << 4, second & 0xF0);
    }
    return RGB((first & 0x0F) << 4, second & 0xF0, (second & 0x0F) << 4);
}

void decodePixels(const FrameBuffer& frame, std::span<ColorValue, kPixelCount> pixels) {
    ColorValue* out = pixels.data();
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            *out++ = decodePixel(frame, x, y);
        }
    }
}

} // namespace ravik
