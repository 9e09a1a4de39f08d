#pragma once

// Turning a picture into a frame. The picture is placed into the 98 × 67 box from its top-left
// corner at its own size, blended over the background where it is transparent or smaller than
// the box; the box's colours are then packed into the frame. The window, the command line, the
// fuzzer and the tests all convert through here, so the same picture and options give the same
// bytes everywhere.

#include "codec/frame_buffer.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace ravik {

// The colour behind a smaller or transparent picture, whatever the desktop's theme.
inline constexpr ColorValue kDefaultBackground = RGB(0xF0, 0xF0, 0xF0);

// A picture's pixels as 8-bit red, green, blue and alpha bytes (straight, not premultiplied
// alpha), row after row. Deeper samples are brought to 8 bits by keeping their top bits.
struct RgbaView {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t bytesPerLine = 0;

    const std::uint8_t* pixel(int x, int y) const {
        return data + y * bytesPerLine + std::ptrdiff_t{4} * x;
    }
};

// The 98 × 67 colours of the box, row by row.
using FramePixels = std::array<ColorValue, kPixelCount>;

struct ConversionOptions {
    ColorValue background = kDefaultBackground;

    bool operator==(const ConversionOptions&) const = default;
};

// One channel blended over the background, exact at 8 bits: the nearest whole value to
// (c·a + bg·(255 − a)) / 255. The numerator over 255 never lies halfway, so no tie arises.
constexpr int blendChannel(int channel, int alpha, int background) {
    return (channel * alpha + background * (255 - alpha) + 127) / 255;
}

// What the box shows: the picture placed and blended over the background.
FramePixels composeBox(const RgbaView& picture, const ConversionOptions& options);

// The frame for the colours a box shows.
FrameBuffer packBox(const FramePixels& shown, const ConversionOptions& options);

// Both steps: the box's colours and the frame packed from them.
struct Conversion {
    FramePixels shown{};
    FrameBuffer frame;
};
Conversion convertPicture(const RgbaView& picture, const ConversionOptions& options);

// The frame decoded as the preview draws it: each nibble n back as n × 16.
FramePixels previewPixels(const FrameBuffer& frame);

} // namespace ravik
