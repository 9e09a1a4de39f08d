// PNG through libpng, row by row from the top, so a corner of a huge picture costs a few rows of
// work and memory; interlaced pictures through the passes that reach into the corner. An eXIf
// chunk before the image data turns the picture, as browsers do.

#include "pictures/orientation.h"
#include "pictures/reader.h"
#include "pictures/row_sink.h"

#include <csetjmp>
#include <cstring>
#include <png.h>
#include <vector>

namespace ravik {
namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1A\n", 8);

// The data of the first chunk of `type` before the image data; empty without one.
Bytes chunkBeforeImage(Bytes png, std::string_view type) {
    constexpr std::size_t kFraming = 12; // length, type and checksum around each chunk's data
    for (std::size_t at = kSignature.size(); png.has(at, kFraming);) {
        const std::uint32_t length = png.be32(at);
        if (png.equals(at + 4, "IDAT") || length > png.size() - at - kFraming) {
            break;
        }
        if (png.equals(at + 4, type)) {
            return png.sliced(at + 8, length);
        }
        at += kFraming + length;
    }
    return {};
}

// The orientation a PNG's eXIf chunk records; 1 without one. As in Chromium and Firefox, only a
// chunk before the image data counts: one after it would turn a picture already being shown.
int pngOrientation(Bytes png) {
    const Bytes exif = chunkBeforeImage(png, "eXIf");
    return exif.isEmpty() ? 1 : exifOrientation(exif);
}

// The reader stops after the rows it needs, so it can't see a file cut off further on; a whole
// file has its closing chunk, checksum included, after its image data.
bool pngIsComplete(Bytes bytes) {
    const std::size_t end = bytes.findLast("IEND");
    const std::size_t data = bytes.find("IDAT");
    return end != Bytes::npos && data != Bytes::npos && end > data && end + 8 <= bytes.size();
}

// libpng reports errors by longjmp, so every function below that calls into it keeps only
// trivially destructible locals between its setjmp and the libpng calls.

struct Input {
    Bytes bytes;
    std::size_t at = 0;
};

void readInput(png_structp png, png_bytep data, png_size_t length) {
    auto* input = static_cast<Input*>(png_get_io_ptr(png));
    if (!input->bytes.has(input->at, length)) {
        png_error(png, "unexpected end of file");
    }
    std::memcpy(data, input->bytes.data() + input->at, length);
    input->at += length;
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
    int bits() const { return bitDepth == 16 ? 16 : 8; }
    int bytesPerPixel() const { return bits() / 2; }
};

// Reads the header and asks libpng for RGBA rows: 8-bit bytes, or 16-bit samples in the
// machine's own byte order.
bool start(png_structp png, png_infop info, Header* header, png_size_t* rowBytes) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_info(png, info);
    png_get_IHDR(png, info, &header->width, &header->height, &header->bitDepth, &header->colorType,
                 &header->interlace, nullptr, nullptr);
    header->transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png); // palette to RGB, grey to 8 bits, tRNS to alpha
    if (!(header->colorType & PNG_COLOR_MASK_COLOR)) {
        png_set_gray_to_rgb(png);
    }
    png_set_filler(png, header->bitDepth == 16 ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
    const std::uint16_t one = 1;
    std::uint8_t first = 0;
    std::memcpy(&first, &one, 1);
    if (header->bitDepth == 16 && first == 1) {
        png_set_swap(png); // PNG's samples are big-endian
    }
    png_read_update_info(png, info);
    *rowBytes = png_get_rowbytes(png, info);
    return true;
}

// Low-depth grey with a colour key: the keyed pixels transparent black, as other readers give
// them (Qt keeps such pictures as a colour table whose transparent entry is transparent black).
void clearTransparent(const Header& header, std::uint8_t* row, int width) {
    if (header.colorType == PNG_COLOR_TYPE_GRAY && header.transparency && header.bitDepth > 1 &&
        header.bitDepth != 16) {
        for (int x = 0; x < width; ++x, row += 4) {
            if (row[3] == 0) {
                std::memset(row, 0, 4);
            }
        }
    }
}

// The first picture->height() rows, each cut to picture->width() pixels.
bool readTopRows(png_structp png, const Header& header, png_bytep row, Picture* picture) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    for (int y = 0; y < picture->height(); ++y) {
        png_read_row(png, row, nullptr);
        std::memcpy(picture->row(y), row, size_t(picture->bytesPerLine()));
        clearTransparent(header, picture->row(y), picture->width());
    }
    return true;
}

// An interlaced picture comes in seven passes, each a sparse grid of the picture's pixels with
// rows of its own width. Reads pass after pass, putting each pixel in place, and stops after
// the pass that brings the last missing pixel of the picture's top rows.
bool readInterlacedRows(png_structp png, const Header& header, png_bytep row, Picture* picture) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    const png_uint_32 width = header.width;
    const png_uint_32 height = header.height;
    const png_uint_32 rowsWanted = png_uint_32(picture->height());
    const int bytesPerPixel = header.bytesPerPixel();
    int lastPass = 0;
    for (int pass = 0; pass < 7; ++pass) {
        if (PNG_PASS_COLS(width, pass) > 0 && PNG_PASS_ROWS(height, pass) > 0 &&
            PNG_PASS_START_ROW(pass) < rowsWanted) {
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
            if (pass == lastPass && y >= rowsWanted) {
                break;
            }
            png_read_row(png, row, nullptr);
            if (y >= rowsWanted) {
                continue;
            }
            std::uint8_t* out = picture->row(int(y));
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
    for (int y = 0; y < picture->height(); ++y) {
        clearTransparent(header, picture->row(y), picture->width());
    }
    return true;
}

// Every row of a non-interlaced picture into `rows`, skipping the pixels of rows it doesn't
// want (libpng must still inflate them).
bool readAllRows(png_structp png, const Header& header, png_bytep scratch, RowSink* rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    for (png_uint_32 y = 0; y < header.height; ++y) {
        if (!rows->wanted(int(y))) {
            png_read_row(png, scratch, nullptr);
            continue;
        }
        std::uint8_t* row = rows->row(int(y));
        png_read_row(png, row, nullptr);
        clearTransparent(header, row, rows->width());
    }
    return true;
}

class Decoder {
public:
    Decoder()
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failQuietly, ignoreWarning)),
          info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {}
    ~Decoder() { png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    bool valid() const { return png_ != nullptr && info_ != nullptr; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_;
    png_infop info_;
};

class PngReader final : public PictureReader {
public:
    std::span<const std::string_view> suffixes() const override {
        static constexpr std::string_view kSuffixes[] = {"png"};
        return kSuffixes;
    }
    Claim claim(Bytes bytes) const override {
        return bytes.startsWith(kSignature) ? Claim::signature : Claim::no;
    }

    // An animated PNG announces its frames before the image data; its still picture is ours.
    Frames frames(Bytes bytes) const override {
        return chunkBeforeImage(bytes, "acTL").isEmpty() ? Frames::still : Frames::leftToOthers;
    }

    DecodedPicture read(Bytes bytes, const ReadRequest& request) const override {
        if (!pngIsComplete(bytes)) {
            return faulty(Fault::incomplete);
        }
        const Orientation orientation = orientationFor(pngOrientation(bytes));
        Decoder decoder;
        if (!decoder.valid()) {
            return faulty(Fault::corrupt);
        }
        Input input{bytes};
        png_set_read_fn(decoder.png(), &input, readInput);
        Header header;
        png_size_t rowBytes = 0;
        if (!start(decoder.png(), decoder.info(), &header, &rowBytes) ||
            rowBytes != png_size_t(header.width) * png_size_t(header.bytesPerPixel()) ||
            header.width > 0x7FFFFFFF || header.height > 0x7FFFFFFF) {
            return faulty(Fault::corrupt);
        }
        const Size stored{int(header.width), int(header.height)};
        std::vector<png_byte> row(rowBytes);
        const bool interlaced = header.interlace != PNG_INTERLACE_NONE;
        if (request.fit != nullptr && !interlaced) {
            RowSink rows(stored, *request.fit, orientation, header.bits());
            if (rows.isNull()) {
                return faulty(Fault::tooLarge, stored);
            }
            if (!readAllRows(decoder.png(), header, row.data(), &rows)) {
                return faulty(Fault::corrupt);
            }
            return rows.result();
        }
        // An interlaced picture's passes fill it in everywhere at once, so a fit gets it whole.
        if (request.corner.isEmpty() && exceedsLimit(stored, 4, request.limitBytes)) {
            return faulty(Fault::tooLarge, stored);
        }
        const Rect region = storedCorner(stored, orientation, request.corner);
        Picture top(region.x + region.width, region.y + region.height, header.bits());
        if (top.isNull()) {
            return faulty(Fault::corrupt);
        }
        const bool read = interlaced ? readInterlacedRows(decoder.png(), header, row.data(), &top)
                                     : readTopRows(decoder.png(), header, row.data(), &top);
        if (!read) {
            return faulty(Fault::corrupt);
        }
        const bool wholeRows = region.x == 0 && region.y == 0;
        return {upright(wholeRows ? top : top.copy(region), orientation), std::nullopt, {}};
    }
};

} // namespace

const PictureReader& pngReader() {
    static const PngReader reader;
    return reader;
}

} // namespace ravik
