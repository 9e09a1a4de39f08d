#include "png_corner.h"

#include "platform/picture_rows.h"

#include <QIODevice>
#include <QSysInfo>
#include <csetjmp>
#include <cstring>
#include <png.h>
#include <vector>

namespace ravik {
namespace {

// libpng reports errors by longjmp, so every function below that calls into it keeps only
// trivially destructible locals between its setjmp and the libpng calls.

void readFromDevice(png_structp png, png_bytep data, png_size_t length) {
    auto* device = static_cast<QIODevice*>(png_get_io_ptr(png));
    if (device->read(reinterpret_cast<char*>(data), qint64(length)) != qint64(length)) {
        png_error(png, "unexpected end of file");
    }
}

void ignoreWarning(png_structp, png_const_charp) {}
void failQuietly(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

struct Header {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
    bool transparency = false; // a tRNS chunk
};

bool readHeader(png_structp png, png_infop info, Header* header) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_info(png, info);
    png_get_IHDR(png, info, &header->width, &header->height, &header->bitDepth, &header->colorType,
                 &header->interlace, nullptr, nullptr);
    header->transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    return true;
}

// Asks libpng for rows laid out as the QImage format `format` stores them: 8-bit channels as
// ARGB32/RGB32 words, 16-bit channels as RGBA64/RGBX64 in native byte order.
bool configure(png_structp png, png_infop info, const Header& header, bool alpha,
               png_size_t* rowBytes) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    constexpr bool littleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    png_set_expand(png); // palette to RGB, grey to 8 bits, tRNS to alpha
    if (!(header.colorType & PNG_COLOR_MASK_COLOR)) {
        png_set_gray_to_rgb(png);
    }
    if (header.bitDepth == 16) {
        if (!alpha) {
            png_set_filler(png, 0xFFFF, PNG_FILLER_AFTER);
        }
        if (littleEndian) {
            png_set_swap(png);
        }
    } else {
        if (!alpha) {
            png_set_filler(png, 0xFF, littleEndian ? PNG_FILLER_AFTER : PNG_FILLER_BEFORE);
        }
        if (littleEndian) {
            png_set_bgr(png);
        } else {
            png_set_swap_alpha(png);
        }
    }
    png_read_update_info(png, info);
    *rowBytes = png_get_rowbytes(png, info);
    return true;
}

// The Qt format the configured rows are laid out as.
QImage::Format pixelFormat(const Header& header, bool alpha) {
    if (header.bitDepth == 16) {
        return alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64;
    }
    return alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
}

bool readRows(png_structp png, png_bytep row, png_uint_32 rows, uchar* out,
              qsizetype outBytesPerLine, size_t copyBytes) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    for (png_uint_32 y = 0; y < rows; ++y) {
        png_read_row(png, row, nullptr);
        std::memcpy(out + qsizetype(y) * outBytesPerLine, row, copyBytes);
    }
    return true;
}

// An interlaced picture comes in seven passes, each a sparse grid of the picture's pixels with
// rows of its own width. Reads pass after pass, putting each pixel in place, and stops after
// the pass that brings the last missing pixel of the corner.
bool readInterlacedRows(png_structp png, const Header& header, png_bytep row, QImage* picture,
                        int bytesPerPixel) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    const png_uint_32 width = header.width;
    const png_uint_32 height = header.height;
    int lastPass = 0;
    for (int pass = 0; pass < 7; ++pass) {
        if (PNG_PASS_COLS(width, pass) > 0 && PNG_PASS_ROWS(height, pass) > 0 &&
            PNG_PASS_START_ROW(pass) < png_uint_32(picture->height())) {
            lastPass = pass;
        }
    }
    for (int pass = 0; pass <= lastPass; ++pass) {
        const png_uint_32 columns = PNG_PASS_COLS(width, pass);
        const png_uint_32 rows = PNG_PASS_ROWS(height, pass);
        if (columns == 0 || rows == 0) {
            continue; // libpng skips empty passes
        }
        for (png_uint_32 r = 0; r < rows; ++r) {
            const png_uint_32 y = PNG_ROW_FROM_PASS_ROW(r, pass);
            if (pass == lastPass && y >= png_uint_32(picture->height())) {
                return true;
            }
            png_read_row(png, row, nullptr);
            if (y >= png_uint_32(picture->height())) {
                continue;
            }
            uchar* out = picture->scanLine(int(y));
            for (png_uint_32 c = 0; c < columns; ++c) {
                const png_uint_32 x = PNG_COL_FROM_PASS_COL(c, pass);
                if (x >= png_uint_32(picture->width())) {
                    break;
                }
                std::memcpy(out + x * png_uint_32(bytesPerPixel), row + c * bytesPerPixel,
                            size_t(bytesPerPixel));
            }
        }
    }
    return true;
}

// Qt keeps low-depth grey with a colour key as a colour table whose transparent entry is
// transparent black; match it, so both readers give the same pixels.
void clearTransparent(const Header& header, uchar* row, int width) {
    if (header.colorType == PNG_COLOR_TYPE_GRAY && header.transparency && header.bitDepth > 1 &&
        header.bitDepth != 16) {
        auto* line = reinterpret_cast<QRgb*>(row);
        for (int x = 0; x < width; ++x) {
            if (qAlpha(line[x]) == 0) {
                line[x] = 0;
            }
        }
    }
}

// Reads every row of a non-interlaced picture into `rows`, skipping the pixels of rows it
// doesn't want (libpng must still inflate them).
bool readAllRows(png_structp png, const Header& header, png_bytep scratch, PictureRows* rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    for (png_uint_32 y = 0; y < header.height; ++y) {
        if (!rows->wanted(int(y))) {
            png_read_row(png, scratch, nullptr);
            continue;
        }
        uchar* row = rows->scanLine(int(y));
        png_read_row(png, row, nullptr);
        clearTransparent(header, row, rows->width());
    }
    return true;
}

class PngReader {
public:
    PngReader()
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failQuietly, ignoreWarning)),
          info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {
        if (png_ != nullptr) {
            // libpng reads these chunks whole into memory at the length their header claims, and
            // only warns when that is absurd (1.4 GB from a 90-byte file); the pixels need none
            // of them (eXIf is read from the bytes), so they are passed over unread.
            static const png_byte kUnused[] = "eXIf\0iCCP\0iTXt\0sPLT\0tEXt\0zTXt";
            png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, kUnused, 6);
        }
    }
    ~PngReader() { png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool valid() const { return png_ != nullptr && info_ != nullptr; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_;
    png_infop info_;
};

} // namespace

std::optional<PngCorner> readPngCorner(QIODevice& device, const QSize& corner) {
    PngReader reader;
    if (!reader.valid()) {
        return std::nullopt;
    }
    png_set_read_fn(reader.png(), &device, readFromDevice);

    Header header;
    if (!readHeader(reader.png(), reader.info(), &header)) {
        return PngCorner{};
    }
    const bool sixteenBit = header.bitDepth == 16;
    const bool interlaced = header.interlace != PNG_INTERLACE_NONE;
    const bool alpha = (header.colorType & PNG_COLOR_MASK_ALPHA) || header.transparency;
    png_size_t rowBytes = 0;
    if (!configure(reader.png(), reader.info(), header, alpha, &rowBytes)) {
        return PngCorner{};
    }

    const QImage::Format format = pixelFormat(header, alpha);
    const int width = int(qMin<png_uint_32>(header.width, png_uint_32(corner.width())));
    const int height = int(qMin<png_uint_32>(header.height, png_uint_32(corner.height())));
    QImage picture(width, height, format);
    if (picture.isNull()) {
        return PngCorner{};
    }
    std::vector<png_byte> row(rowBytes);
    const int bytesPerPixel = sixteenBit ? 8 : 4;
    const size_t copyBytes = size_t(width) * size_t(bytesPerPixel);
    if (copyBytes > rowBytes) {
        return PngCorner{};
    }
    const bool read =
        interlaced ? readInterlacedRows(reader.png(), header, row.data(), &picture, bytesPerPixel)
                   : readRows(reader.png(), row.data(), png_uint_32(height), picture.bits(),
                              picture.bytesPerLine(), copyBytes);
    if (!read) {
        return PngCorner{};
    }
    for (int y = 0; y < height; ++y) {
        clearTransparent(header, picture.scanLine(y), width);
    }
    return PngCorner{picture, true};
}

std::optional<PngScaled> scalePng(QIODevice& device, const ConversionOptions& fit,
                                  Orientation orientation) {
    PngReader reader;
    if (!reader.valid()) {
        return std::nullopt;
    }
    png_set_read_fn(reader.png(), &device, readFromDevice);
    Header header;
    if (!readHeader(reader.png(), reader.info(), &header)) {
        return PngScaled{};
    }
    if (header.interlace != PNG_INTERLACE_NONE) {
        return std::nullopt;
    }
    const bool alpha = (header.colorType & PNG_COLOR_MASK_ALPHA) || header.transparency;
    png_size_t rowBytes = 0;
    if (!configure(reader.png(), reader.info(), header, alpha, &rowBytes)) {
        return PngScaled{};
    }
    PictureRows rows(QSize(int(header.width), int(header.height)), pixelFormat(header, alpha), fit,
                     orientation);
    const int bytesPerPixel = header.bitDepth == 16 ? 8 : 4;
    if (rows.isNull() || rowBytes != png_size_t(header.width) * png_size_t(bytesPerPixel)) {
        return PngScaled{};
    }
    std::vector<png_byte> scratch(rowBytes);
    if (!readAllRows(reader.png(), header, scratch.data(), &rows)) {
        return PngScaled{};
    }
    return PngScaled{rows.scaled(), true};
}

} // namespace ravik
