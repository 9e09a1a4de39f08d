#include "preview_png.h"

#include <csetjmp>
#include <limits>
#include <png.h>

namespace ravik {

PreviewRows::PreviewRows(std::span<const FrameBuffer> frames, int scale)
    : frames_(frames), scale_(scale), row_(std::size_t(kFrameWidth) * 3 * std::size_t(scale)) {}

std::span<const std::uint8_t> PreviewRows::row(int y) {
    const int frameRow = y / scale_;
    if (frameRow == madeRow_) {
        return row_;
    }
    const int frame = frameRow / kFrameHeight;
    if (frame != decodedFrame_) {
        pixels_ = previewPixels(frames_[std::size_t(frame)]);
        decodedFrame_ = frame;
    }
    const ColorValue* in = pixels_.data() + std::size_t(frameRow % kFrameHeight) * kFrameWidth;
    std::uint8_t* out = row_.data();
    for (int x = 0; x < kFrameWidth; ++x, ++in) {
        for (int copy = 0; copy < scale_; ++copy) {
            *out++ = std::uint8_t(redOf(*in));
            *out++ = std::uint8_t(greenOf(*in));
            *out++ = std::uint8_t(blueOf(*in));
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

std::optional<std::string> previewPng(std::span<const FrameBuffer> frames, int scale) {
    // PNG sizes are 31-bit.
    constexpr auto kLimit = std::numeric_limits<std::int32_t>::max();
    if (frames.empty() || scale < 1 || kFrameWidth * scale > kLimit / 3 ||
        frames.size() > std::size_t(kLimit / (kFrameHeight * scale))) {
        return std::nullopt;
    }
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, stopOnError, ignoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return std::nullopt;
    }
    PreviewRows rows(frames, scale);
    std::string bytes;
    const bool written = writePng(png, info, rows, bytes);
    png_destroy_write_struct(&png, &info);
    if (!written) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace ravik
