#include "codec/packed_picture.h"

#include <stdexcept>

namespace ravik {

namespace {

std::size_t pixelCount(int width, int height) {
    if (width < 1 || height < 1) {
        throw std::invalid_argument("a packed picture needs at least one pixel each way");
    }
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

} // namespace

std::size_t packedSize(int width, int height) {
    return (pixelCount(width, height) * 3 + 1) / 2;
}

void packPixels(std::span<const ColorValue> pixels, int width, int height,
                std::span<std::uint8_t> out) {
    const std::size_t count = pixelCount(width, height);
    if (pixels.size() != count) {
        throw std::invalid_argument("pixel count differs from width × height");
    }
    if (out.size() < packedSize(width, height)) {
        throw std::invalid_argument("too few bytes for the packed picture");
    }
    // Rows run on without padding, so the picture packs as one stream of pixel pairs.
    const ColorValue* pixel = pixels.data();
    std::uint8_t* bytes = out.data();
    for (std::size_t pair = 0; pair < count / 2; ++pair) {
        const ColorValue even = *pixel++;
        const ColorValue odd = *pixel++;
        *bytes++ = static_cast<std::uint8_t>((even & 0xF0) | (even >> 12 & 0x0F));
        *bytes++ = static_cast<std::uint8_t>((even >> 16 & 0xF0) | (odd >> 4 & 0x0F));
        *bytes++ = static_cast<std::uint8_t>((odd >> 8 & 0xF0) | (odd >> 20 & 0x0F));
    }
    if (count % 2 != 0) {
        const ColorValue last = *pixel;
        *bytes++ = static_cast<std::uint8_t>((last & 0xF0) | (last >> 12 & 0x0F));
        *bytes = static_cast<std::uint8_t>(last >> 16 & 0xF0);
    }
}

std::vector<std::uint8_t> packPixels(std::span<const ColorValue> pixels, int width, int height) {
    std::vector<std::uint8_t> bytes(packedSize(width, height));
    packPixels(pixels, width, height, bytes);
    return bytes;
}

ColorValue decodePixel(std::span<const std::uint8_t> packed, int width, int x, int y) {
    if (width < 1 || x < 0 || x >= width || y < 0) {
        throw std::out_of_range("pixel outside the picture");
    }
    const std::size_t index =
        static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    const std::size_t first = index * 3 / 2;
    if (first + 1 >= packed.size()) {
        throw std::out_of_range("pixel outside the picture");
    }
    const int high = packed[first];
    const int low = packed[first + 1];
    if (index % 2 == 0) {
        return RGB(high & 0xF0, (high & 0x0F) << 4, low & 0xF0);
    }
    return RGB((high & 0x0F) << 4, low & 0xF0, (low & 0x0F) << 4);
}

void decodePixels(std::span<const std::uint8_t> packed, int width, int height,
                  std::span<ColorValue> out) {
    const std::size_t count = pixelCount(width, height);
    if (packed.size() < packedSize(width, height)) {
        throw std::invalid_argument("too few bytes for the packed picture");
    }
    if (out.size() != count) {
        throw std::invalid_argument("pixel count differs from width × height");
    }
    // The stream read as pairs, as it was packed; a lone last pixel takes two bytes.
    const std::uint8_t* bytes = packed.data();
    ColorValue* pixel = out.data();
    for (std::size_t pair = 0; pair < count / 2; ++pair, bytes += 3) {
        *pixel++ = RGB(bytes[0] & 0xF0, (bytes[0] & 0x0F) << 4, bytes[1] & 0xF0);
        *pixel++ = RGB((bytes[1] & 0x0F) << 4, bytes[2] & 0xF0, (bytes[2] & 0x0F) << 4);
    }
    if (count % 2 != 0) {
        *pixel = RGB(bytes[0] & 0xF0, (bytes[0] & 0x0F) << 4, bytes[1] & 0xF0);
    }
}

std::vector<ColorValue> decodePixels(std::span<const std::uint8_t> packed, int width, int height) {
    std::vector<ColorValue> pixels(pixelCount(width, height));
    decodePixels(packed, width, height, pixels);
    return pixels;
}

std::size_t maskSize(int width, int height) {
    pixelCount(width, height);
    return (static_cast<std::size_t>(width) + 7) / 8 * static_cast<std::size_t>(height);
}

std::vector<std::uint8_t> packMask(const std::vector<bool>& drawn, int width, int height) {
    if (drawn.size() != pixelCount(width, height)) {
        throw std::invalid_argument("pixel count differs from width × height");
    }
    std::vector<std::uint8_t> mask(maskSize(width, height), 0);
    const std::size_t rowBytes = (static_cast<std::size_t>(width) + 7) / 8;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (drawn[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)]) {
                mask[static_cast<std::size_t>(y) * rowBytes + static_cast<std::size_t>(x / 8)] |=
                    static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return mask;
}

} // namespace ravik
