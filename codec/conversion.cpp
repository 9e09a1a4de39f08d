#include "conversion.h"

#include <algorithm>

namespace ravik {

FramePixels composeBox(const RgbaView& picture, const ConversionOptions& options) {
    FramePixels shown;
    shown.fill(options.background & 0xFFFFFF);
    const int width = std::min(picture.width, kFrameWidth);
    const int height = std::min(picture.height, kFrameHeight);
    if (picture.data == nullptr || width <= 0 || height <= 0) {
        return shown;
    }
    const int bgRed = redOf(options.background);
    const int bgGreen = greenOf(options.background);
    const int bgBlue = blueOf(options.background);
    for (int y = 0; y < height; ++y) {
        ColorValue* out = shown.data() + std::ptrdiff_t{kFrameWidth} * y;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = picture.pixel(x, y);
            const int alpha = p[3];
            out[x] = alpha == 255
                         ? RGB(p[0], p[1], p[2])
                         : RGB(blendChannel(p[0], alpha, bgRed), blendChannel(p[1], alpha, bgGreen),
                               blendChannel(p[2], alpha, bgBlue));
        }
    }
    return shown;
}

FrameBuffer packBox(const FramePixels& shown, const ConversionOptions&) {
    FrameBuffer frame;
    packPixels(shown, frame);
    return frame;
}

Conversion convertPicture(const RgbaView& picture, const ConversionOptions& options) {
    Conversion conversion;
    conversion.shown = composeBox(picture, options);
    conversion.frame = packBox(conversion.shown, options);
    return conversion;
}

FramePixels previewPixels(const FrameBuffer& frame) {
    FramePixels pixels;
    decodePixels(frame, pixels);
    return pixels;
}

} // namespace ravik
