// Still WebP pictures (lossy or lossless, with or without alpha) through libwebp's cropping
// decoder: only the rows and columns the shown corner needs. The EXIF orientation in the file's
// EXIF chunk is applied, as for JPEG. Animated WebP is left to other readers.

#include "pictures/orientation.h"
#include "pictures/reader.h"

#include <algorithm>
#include <webp/decode.h>

namespace ravik {
namespace {

// The orientation from the RIFF container's EXIF chunk; 1 without one.
int webpOrientation(Bytes data) {
    std::size_t at = 12;
    while (data.has(at, 8)) {
        const std::uint32_t length = data.le32(at + 4);
        if (length > data.size() - at - 8) {
            break;
        }
        if (data.equals(at, "EXIF")) {
            return exifOrientation(data.sliced(at + 8, length));
        }
        at += 8 + std::size_t(length) + (length & 1);
    }
    return 1;
}

// A whole file is as long as its RIFF header says; the cropping decoder stops early and would
// not see a file cut off further on.
bool webpIsComplete(Bytes data) {
    return data.size() >= 12 && std::uint64_t(data.le32(4)) + 8 <= data.size();
}

bool isStillWebp(Bytes data) {
    WebPBitstreamFeatures features;
    return data.size() >= 12 && data.startsWith("RIFF") && data.equals(8, "WEBP") &&
           WebPGetFeatures(data.data(), data.size(), &features) == VP8_STATUS_OK &&
           !features.has_animation;
}

class WebpReader final : public PictureReader {
public:
    std::span<const std::string_view> suffixes() const override {
        static constexpr std::string_view kSuffixes[] = {"webp"};
        return kSuffixes;
    }
    Claim claim(Bytes bytes) const override {
        return isStillWebp(bytes) ? Claim::signature : Claim::no;
    }

    DecodedPicture read(Bytes data, const ReadRequest& request) const override {
        if (!webpIsComplete(data)) {
            return faulty(Fault::incomplete);
        }
        WebPDecoderConfig config;
        if (!WebPInitDecoderConfig(&config) ||
            WebPGetFeatures(data.data(), data.size(), &config.input) != VP8_STATUS_OK) {
            return faulty(Fault::corrupt);
        }
        const Size stored{config.input.width, config.input.height};
        const Orientation orientation = orientationFor(webpOrientation(data));
        // A fit takes the whole picture and scales it after.
        const Size corner = request.fit != nullptr ? Size{} : request.corner;
        const Rect region = storedCorner(stored, orientation, corner);
        if (corner.isEmpty() && exceedsLimit(stored, 4, request.limitBytes)) {
            return faulty(Fault::tooLarge, stored);
        }
        // Chroma upsampling at a crop's right edge differs from the whole decode, so the crop
        // reaches at least two columns past the region; its left edge starts an even column
        // before it (lossy chroma comes in pairs of columns) with one pair to spare.
        const int left = std::max(0, (region.x - 2) & ~1);
        const int right = std::min(stored.width, region.right() + 3);
        const int bottom = std::min(stored.height, region.bottom() + 3);
        const int top = std::max(0, (region.y - 2) & ~1);
        config.options.use_cropping = 1;
        config.options.crop_left = left;
        config.options.crop_top = top;
        config.options.crop_width = right - left;
        config.options.crop_height = bottom - top;

        Picture window(right - left, bottom - top);
        if (window.isNull()) {
            return faulty(Fault::corrupt);
        }
        config.output.colorspace = MODE_RGBA;
        config.output.is_external_memory = 1;
        config.output.u.RGBA.rgba = window.row(0);
        config.output.u.RGBA.stride = int(window.bytesPerLine());
        config.output.u.RGBA.size = size_t(window.bytesPerLine()) * size_t(window.height());
        const VP8StatusCode status = WebPDecode(data.data(), data.size(), &config);
        WebPFreeDecBuffer(&config.output);
        if (status != VP8_STATUS_OK) {
            return faulty(status == VP8_STATUS_NOT_ENOUGH_DATA ? Fault::incomplete
                                                               : Fault::corrupt);
        }
        const Rect inWindow{region.x - left, region.y - top, region.width, region.height};
        return {upright(window.copy(inWindow), orientation), std::nullopt, {}};
    }
};

} // namespace

const PictureReader& webpReader() {
    static const WebpReader reader;
    return reader;
}

} // namespace ravik
