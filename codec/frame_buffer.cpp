#include "frame_buffer.h"

#include <algorithm>
#include <stdexcept>

namespace ravik {

FrameBuffer::FrameBuffer(std::span<const std::uint8_t, kFrameSize> frame) {
    std::copy(frame.begin(), frame.end(), bytes_.begin());
}

void packPixels(std::span<const ColorValue, kPixelCount> pixels, FrameBuffer& frame) {
    // The frame is the packed picture at the panel's size; the spare byte after it stays as it is.
    packPixels(pixels, kFrameWidth, kFrameHeight,
               std::span<std::uint8_t>(frame.bytes_.data(), kFrameSize));
}

ColorValue decodePixel(const FrameBuffer& frame, int x, int y) {
    if (x < 0 || x >= kFrameWidth || y < 0 || y >= kFrameHeight) {
        throw std::out_of_range("pixel outside the frame");
    }
    return decodePixel(frame.frame(), kFrameWidth, x, y);
}

void decodePixels(const FrameBuffer& frame, std::span<ColorValue, kPixelCount> pixels) {
    decodePixels(frame.frame(), kFrameWidth, kFrameHeight, pixels);
}

} // namespace ravik
