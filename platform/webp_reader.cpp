#include "webp_reader.h"

#include "platform/picture_orientation.h"

#include <webp/decode.h>

namespace ravik {
namespace {

quint32 get32(QByteArrayView data, qsizetype at) {
    const auto* p = reinterpret_cast<const uchar*>(data.data() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

// The orientation from the RIFF container's EXIF chunk; 1 without one.
int webpOrientation(QByteArrayView data) {
    qsizetype at = 12;
    while (at + 8 <= data.size()) {
        const quint32 length = get32(data, at + 4);
        if (length > quint32(data.size() - at - 8)) {
            break;
        }
        if (data.sliced(at, 4) == QByteArrayView("EXIF")) {
            return exifOrientation(data.sliced(at + 8, length));
        }
        at += 8 + qsizetype(length) + (length & 1);
    }
    return 1;
}

// A whole file is as long as its RIFF header says; the cropping decoder stops early and would
// not see a file cut off further on.
bool webpIsComplete(QByteArrayView data) {
    return data.size() >= 12 && qint64(get32(data, 4)) + 8 <= data.size();
}

} // namespace

bool isStillWebp(QByteArrayView data) {
    WebPBitstreamFeatures features;
    return data.size() >= 12 && data.startsWith("RIFF") && data.sliced(8, 4) == "WEBP" &&
           WebPGetFeatures(reinterpret_cast<const uint8_t*>(data.data()), size_t(data.size()),
                           &features) == VP8_STATUS_OK &&
           !features.has_animation;
}

LoadedPicture readWebp(QByteArrayView data, const QSize& corner) {
    if (!webpIsComplete(data)) {
        return incompletePicture();
    }
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config) ||
        WebPGetFeatures(reinterpret_cast<const uint8_t*>(data.data()), size_t(data.size()),
                        &config.input) != VP8_STATUS_OK) {
        return corruptPicture();
    }
    const QSize stored(config.input.width, config.input.height);
    const auto transformation = orientationTransformation(webpOrientation(data));
    const QRect region = storedCorner(stored, transformation, corner);
    if (!corner.isValid() && exceedsDecodeLimit(stored)) {
        return tooLargePicture(stored);
    }
    // Chroma upsampling at a crop's right edge differs from the whole decode, so the crop
    // reaches at least two columns past the region; its left edge starts an even column
    // before it (lossy chroma comes in pairs of columns) with one pair to spare.
    const int left = qMax(0, (region.left() - 2) & ~1);
    const int right = qMin(stored.width(), region.right() + 3);
    const int bottom = qMin(stored.height(), region.bottom() + 3);
    const int top = qMax(0, (region.top() - 2) & ~1);
    config.options.use_cropping = 1;
    config.options.crop_left = left;
    config.options.crop_top = top;
    config.options.crop_width = right - left;
    config.options.crop_height = bottom - top;

    const bool alpha = config.input.has_alpha;
    QImage window(right - left, bottom - top,
                  alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    if (window.isNull()) {
        return corruptPicture();
    }
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = window.bits();
    config.output.u.RGBA.stride = int(window.bytesPerLine());
    config.output.u.RGBA.size = size_t(window.sizeInBytes());
    const VP8StatusCode status =
        WebPDecode(reinterpret_cast<const uint8_t*>(data.data()), size_t(data.size()), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) {
        return status == VP8_STATUS_NOT_ENOUGH_DATA ? incompletePicture() : corruptPicture();
    }
    const QImage picture = window.copy(region.translated(-left, -top));
    return {upright(picture, transformation), {}, std::nullopt};
}

} // namespace ravik
