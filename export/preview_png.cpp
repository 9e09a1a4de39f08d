#include "preview_png.h"

#include "codec/packed_picture.h"

#include <csetjmp>
#include <limits>
#include <png.h>

namespace ravik {

PreviewRows::PreviewRows(const PictureSet& set, int scale,
                         std::span<const std::vector<std::uint8_t>> masks)
    : set_(set), scale_(scale), masks_(masks),
      row_(std::size_t(set.size.width) * 3 * std::size_t(scale)) {}

std::span<const std::uint8_t> PreviewRows::row(int y) {
    const int frameRow = y / scale_;
    if (frameRow == madeRow_) {
        return row_;
    }
    const int width = set_.size.width;
    const int height = set_.size.height;
    const int picture = frameRow / height;
    if (picture != decodedPicture_) {
        pixels_ = previewPixels(set_.pictures[std::size_t(picture)], set_.size);
        decodedPicture_ = picture;
    }
    const int pictureRow = frameRow % height;
    const ColorValue* in = pixels_.data() + std::size_t(pictureRow) * std::size_t(width);
    // The mask's row: one bit a pixel, the leftmost in the top bit, rows padded to bytes.
    const std::uint8_t* maskRow = masks_.empty()
                                      ? nullptr
                                      : masks_[std::size_t(picture)].data() +
                                            std::size_t(pictureRow) * std::size_t((width + 7) / 8);
    std::uint8_t* out = row_.data();
    for (int x = 0; x < width; ++x, ++in) {
        ColorValue color = *in;
        if (maskRow && (maskRow[x / 8] & (0x80 >> (x % 8))) == 0) {
            color = (x / 4 + pictureRow / 4) % 2 == 0 ? kCheckerLight : kCheckerDark;
        }
        for (int copy = 0; copy < scale_; ++copy) {
            *out++ = std::uint8_t(redOf(color));
            *out++ = std::uint8_t(greenOf(color));
            *out++ = std::uint8_t(blueOf(color));
        }
    }
    madeRow_ = frameRow;
    return row_;
}

namespace {

void appendToBytes(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), length);
}

void flushNothing(png_structp) {}

// libpng's own messages are for developers; a failure becomes our one Chinese message.
void stopOnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void ignoreWarning(png_structp, png_const_charp) {}

// Writes every row; false when libpng gave up. Only trivially destructible locals live between
// the setjmp and the libpng calls, so leaving through longjmp skips no destructor.
bool writePng(png_structp png, png_infop info, PreviewRows& rows, std::string& bytes) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_write_fn(png, &bytes, appendToBytes, flushNothing);
    png_set_IHDR(png, info, png_uint_32(rows.width()), png_uint_32(rows.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < rows.height(); ++y) {
        png_write_row(png, rows.row(y).data());
    }
    png_write_end(png, info);
    return true;
}

} // namespace

std::optional<std::string> previewPng(const PictureSet& set, int scale,
                                      std::span<const std::vector<std::uint8_t>> masks) {
    // PNG sizes are 31-bit.
    constexpr auto kLimit = std::numeric_limits<std::int32_t>::max();
    if (set.pictures.empty() || scale < 1 || !isValidBoxSize(set.size) ||
        set.size.width * scale > kLimit / 3 ||
        set.pictures.size() > std::size_t(kLimit / (set.size.height * scale)) ||
        (!masks.empty() && masks.size() != set.pictures.size())) {
        return std::nullopt;
    }
    for (const std::vector<std::uint8_t>& mask : masks) {
        if (mask.size() != maskSize(set.size.width, set.size.height)) {
            return std::nullopt;
        }
    }
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, stopOnError, ignoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return std::nullopt;
    }
    PreviewRows rows(set, scale, masks);
    std::string bytes;
    const bool written = writePng(png, info, rows, bytes);
    png_destroy_write_struct(&png, &info);
    if (!written) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace ravik
