// JPEG through libjpeg-turbo, only as far as the shown corner needs: the columns it covers, and
// for pictures whose corner lies at the top, only the first rows, even for progressive files.
// For the scaling fits, decoded reduced (1/2, 1/4, 1/8) inside the decoder and scaled row by
// row. EXIF orientation is applied; CMYK pictures come out as RGB.

#include "pictures/jpeg_reader.h"

#include "pictures/orientation.h"
#include "pictures/reader.h"
#include "pictures/row_sink.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstring>
#include <jpeglib.h>
#include <string>
#include <vector>

namespace ravik {
namespace {

// A whole file ends its scan data with an end-of-image marker, and no scan starts after it; an
// embedded thumbnail's own markers come before the main scan, so they don't count.
bool jpegIsComplete(Bytes bytes) {
    const std::string_view startOfScan("\xFF\xDA", 2);
    const std::size_t end = bytes.findLast(std::string_view("\xFF\xD9", 2));
    if (end == Bytes::npos) {
        return false;
    }
    const std::size_t firstScan = bytes.find(startOfScan);
    return firstScan != Bytes::npos && firstScan < end &&
           bytes.find(startOfScan, end) == Bytes::npos;
}

// What the reader needs to know before decoding, found by walking the markers.
struct JpegLayout {
    std::size_t heightAt = 0; // where the frame header's height field lies
    bool progressive = false;
    int width = 0;
    int height = 0;
    int maxHSampling = 1;
    int maxVSampling = 1;
    int orientation = 1;
};

bool readLayout(Bytes data, JpegLayout* layout) {
    std::size_t at = 2;
    bool sawExif = false;
    while (data.has(at, 4)) {
        // Bytes that are no marker between segments (left by a writer, or the end of a segment
        // whose length falls short) are skipped up to the next marker, as libjpeg does.
        if (data.u8(at) != 0xFF) {
            ++at;
            continue;
        }
        const std::uint8_t marker = data.u8(at + 1);
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        const bool standalone = marker == 0x00 || marker == 0x01 || (marker & 0xF8) == 0xD0;
        if (standalone) {
            at += 2; // a stuffed 0xFF, or a marker without a length (TEM, RSTn)
            continue;
        }
        const std::size_t length = data.be16(at + 2);
        if (length < 2 || !data.has(at + 2, length)) {
            return false;
        }
        const Bytes body = data.sliced(at + 4, length - 2);
        if (marker == 0xE1 && !sawExif && body.startsWith(std::string_view("Exif\0\0", 6))) {
            sawExif = true; // the first EXIF block counts, as for other viewers
            layout->orientation = exifOrientation(body);
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (body.size() < 6) {
                return false;
            }
            layout->heightAt = at + 5;
            layout->progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA;
            layout->height = int(body.be16(1));
            layout->width = int(body.be16(3));
            const int components = body.u8(5);
            for (int c = 0; c < components && body.has(6 + std::size_t(c) * 3 + 1, 1); ++c) {
                const std::uint8_t sampling = body.u8(6 + std::size_t(c) * 3 + 1);
                layout->maxHSampling = std::max(layout->maxHSampling, sampling >> 4);
                layout->maxVSampling = std::max(layout->maxVSampling, sampling & 0x0F);
            }
            return layout->width > 0 && layout->height > 0;
        }
        if (marker == 0xDA) {
            return false; // a scan before any frame header
        }
        at += 2 + length;
    }
    return false;
}

// The data as libjpeg sees it: first a patched copy of the headers (a frame header that may
// claim fewer rows), then the rest of the file as it is. A progressive file claiming only its
// first rows is decoded into a coefficient buffer that small; libjpeg skips the unused rest of
// every scan on its way to the next marker.
struct Source {
    jpeg_source_mgr manager{};
    std::string head;
    Bytes rest;
    bool restGiven = false;
};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr info) {
    auto* source = reinterpret_cast<Source*>(info->src);
    if (!source->restGiven && !source->rest.isEmpty()) {
        source->restGiven = true;
        source->manager.next_input_byte = source->rest.data();
        source->manager.bytes_in_buffer = source->rest.size();
        return TRUE;
    }
    // Past the end: an end-of-image marker, as libjpeg's own memory source gives.
    static const JOCTET kEnd[] = {0xFF, JPEG_EOI};
    info->err->num_warnings++;
    source->manager.next_input_byte = kEnd;
    source->manager.bytes_in_buffer = sizeof kEnd;
    return TRUE;
}

void skipInput(j_decompress_ptr info, long count) {
    auto* source = reinterpret_cast<Source*>(info->src);
    while (count > long(source->manager.bytes_in_buffer)) {
        count -= long(source->manager.bytes_in_buffer);
        fillInput(info);
    }
    source->manager.next_input_byte += count;
    source->manager.bytes_in_buffer -= size_t(count);
}

struct ErrorManager {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
};

void failOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void ignoreMessage(j_common_ptr, int) {}

// The region to decode, in stored picture coordinates, with the column window libjpeg is asked
// for around it. Fancy chroma upsampling looks one chroma sample past each edge, so the window
// reaches at least one column beyond the region, rounded up to whole MCUs, and starts one MCU
// before it: then the region's pixels equal those of the whole decode.
struct Window {
    Rect region;
    JDIMENSION left = 0;
    JDIMENSION width = 0;
};

Window windowFor(const JpegLayout& layout, const Rect& region) {
    const int mcuWidth = 8 * layout.maxHSampling;
    const int left = std::max(0, region.x - mcuWidth);
    int right = region.x + region.width; // one past the region
    if (right < layout.width) {
        right = std::min(layout.width, (right + 1 + mcuWidth - 1) / mcuWidth * mcuWidth);
    }
    return {region, JDIMENSION(left), JDIMENSION(right - left)};
}

// Decoded samples as RGBA: grey spread to the three colours; inverted (Adobe) CMYK as libjpeg
// gives it, each channel times black, rounded to nearest.
void toRgba(J_COLOR_SPACE space, const std::uint8_t* in, std::uint8_t* out, int pixels) {
    for (int i = 0; i < pixels; ++i, out += 4) {
        if (space == JCS_GRAYSCALE) {
            out[0] = out[1] = out[2] = in[i];
        } else if (space == JCS_CMYK) {
            const unsigned k = in[4 * i + 3];
            for (int c = 0; c < 3; ++c) {
                out[c] = std::uint8_t((in[4 * i + c] * k + 127) / 255);
            }
        } else {
            std::memcpy(out, in + 4 * i, 3);
        }
        out[3] = 0xFF;
    }
}

// Starts decoding: the colour space the rows come in, and with `reduction` above 1 the
// picture reduced that much inside the decoder.
void startDecoding(jpeg_decompress_struct* info, int reduction) {
    jpeg_read_header(info, TRUE);
    const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    const bool grey = info->jpeg_color_space == JCS_GRAYSCALE;
    info->out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_EXT_RGBX;
    if (reduction > 1) {
        // As image viewers decode a reduced preview: the fast transform, plain upsampling.
        info->scale_num = 1;
        info->scale_denom = unsigned(reduction);
        info->dct_method = JDCT_IFAST;
        info->do_fancy_upsampling = FALSE;
    }
    jpeg_start_decompress(info);
}

// Decodes `window` into `picture` (allocated here). Only trivially destructible locals live
// between the setjmp and the libjpeg calls.
bool decodeWindow(jpeg_decompress_struct* info, ErrorManager* errors, Window window,
                  std::vector<JSAMPLE>* row, Picture* picture) {
    if (setjmp(errors->jump)) {
        return false;
    }
    startDecoding(info, 1);
    if (window.width < info->output_width) {
        jpeg_crop_scanline(info, &window.left, &window.width);
    }
    row->resize(size_t(info->output_width) * size_t(info->output_components));
    *picture = Picture(window.region.width, window.region.height);
    if (picture->isNull()) {
        return false;
    }
    if (window.region.y > 0) {
        jpeg_skip_scanlines(info, JDIMENSION(window.region.y));
    }
    const size_t offset =
        size_t(window.region.x - int(window.left)) * size_t(info->output_components);
    for (int y = 0; y < window.region.height; ++y) {
        JSAMPROW rows[] = {row->data()};
        if (jpeg_read_scanlines(info, rows, 1) != 1) {
            return false;
        }
        toRgba(info->out_color_space, row->data() + offset, picture->row(y), window.region.width);
    }
    return true;
}

// Decodes the whole picture reduced by `reduction` into the fit's rows, or with no fit into a
// whole picture as stored.
bool decodeReduced(jpeg_decompress_struct* info, ErrorManager* errors, int reduction,
                   const ConversionOptions* fit, Orientation orientation, std::vector<JSAMPLE>* row,
                   std::optional<RowSink>* rows) {
    if (setjmp(errors->jump)) {
        return false;
    }
    startDecoding(info, reduction);
    const Size size{int(info->output_width), int(info->output_height)};
    if (fit != nullptr) {
        rows->emplace(size, *fit, orientation);
    } else {
        rows->emplace(size);
    }
    if ((*rows)->isNull()) {
        return false;
    }
    row->resize(size_t(info->output_width) * size_t(info->output_components));
    for (int y = 0; y < size.height; ++y) {
        JSAMPROW samples[] = {row->data()};
        if (jpeg_read_scanlines(info, samples, 1) != 1) {
            return false;
        }
        if ((*rows)->wanted(y)) {
            toRgba(info->out_color_space, row->data(), (*rows)->row(y), size.width);
        }
    }
    return true;
}

// The largest reduction the decoder offers (1/8, 1/4, 1/2) that still leaves the fit at least
// one picture pixel for each pixel it puts in the box, so the averaging that follows always
// shrinks.
int jpegReduction(const Size& shown, Fit fit, BoxSize box) {
    for (const int divisor : {8, 4, 2}) {
        const int width = (shown.width + divisor - 1) / divisor;
        const int height = (shown.height + divisor - 1) / divisor;
        const Placement placement = placeFit(fit, width, height, box);
        if (placement.source.width >= placement.target.width &&
            placement.source.height >= placement.target.height) {
            return divisor;
        }
    }
    return 1;
}

class Decompressor {
public:
    explicit Decompressor(Source* source) {
        info.err = jpeg_std_error(&errors.manager);
        errors.manager.error_exit = failOnError;
        errors.manager.emit_message = ignoreMessage;
        jpeg_create_decompress(&info);
        source->manager.init_source = initSource;
        source->manager.fill_input_buffer = fillInput;
        source->manager.skip_input_data = skipInput;
        source->manager.resync_to_restart = jpeg_resync_to_restart;
        source->manager.term_source = termSource;
        source->manager.next_input_byte = reinterpret_cast<const JOCTET*>(source->head.data());
        source->manager.bytes_in_buffer = source->head.size();
        if (source->head.empty()) {
            source->manager.next_input_byte = source->rest.data();
            source->manager.bytes_in_buffer = source->rest.size();
            source->restGiven = true;
        }
        info.src = &source->manager;
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    jpeg_decompress_struct info{};
    ErrorManager errors;
};

DecodedPicture readReduced(Bytes data, const ReadRequest& request, const Size& stored,
                           const Orientation& orientation, Fit fit);

class JpegReader final : public PictureReader {
public:
    std::span<const std::string_view> suffixes() const override {
        static constexpr std::string_view kSuffixes[] = {"jpg", "jpeg", "jpe", "jfif"};
        return kSuffixes;
    }
    Claim claim(Bytes bytes) const override {
        return bytes.startsWith("\xFF\xD8\xFF") ? Claim::signature : Claim::no;
    }

    DecodedPicture read(Bytes data, const ReadRequest& request) const override {
        if (!jpegIsComplete(data)) {
            return faulty(Fault::incomplete);
        }
        JpegLayout layout;
        if (!readLayout(data, &layout)) {
            return faulty(Fault::corrupt);
        }
        const Orientation orientation = orientationFor(layout.orientation);
        const Size stored{layout.width, layout.height};
        if (request.fit != nullptr) {
            return readReduced(data, request, stored, orientation, request.fit->fit);
        }
        const Rect region = storedCorner(stored, orientation, request.corner);
        if (request.corner.isEmpty() && exceedsLimit(stored, 4, request.limitBytes)) {
            return faulty(Fault::tooLarge, stored);
        }
        Source source;
        source.rest = data;
        const int mcuHeight = 8 * layout.maxVSampling;
        const int rowsNeeded = region.y + region.height;
        // One more MCU row than needed, so that chroma upsampling of the last needed row sees
        // the row below as in the whole decode.
        const int claimed = (rowsNeeded + mcuHeight - 1) / mcuHeight * mcuHeight + mcuHeight;
        if (layout.progressive && claimed < layout.height) {
            source.head.assign(data.chars(), layout.heightAt + 2);
            source.head[layout.heightAt] = char(claimed >> 8);
            source.head[layout.heightAt + 1] = char(claimed & 0xFF);
            source.rest = data.sliced(layout.heightAt + 2);
        }
        Decompressor decompressor(&source);
        std::vector<JSAMPLE> row;
        Picture picture;
        if (!decodeWindow(&decompressor.info, &decompressor.errors, windowFor(layout, region), &row,
                          &picture)) {
            return faulty(Fault::corrupt);
        }
        return {upright(picture, orientation), std::nullopt, {}};
    }
};

DecodedPicture readReduced(Bytes data, const ReadRequest& request, const Size& stored,
                           const Orientation& orientation, Fit fit) {
    const BoxSize box = request.fit != nullptr ? request.fit->size : kFrameBox;
    const int reduction = jpegReduction(shownSize(stored, orientation), fit, box);
    if (reduction == 1 && exceedsLimit(stored, 4, request.limitBytes)) {
        return faulty(Fault::tooLarge, stored);
    }
    Source source;
    source.rest = data;
    Decompressor decompressor(&source);
    std::vector<JSAMPLE> row;
    std::optional<RowSink> rows;
    if (!decodeReduced(&decompressor.info, &decompressor.errors, reduction, request.fit,
                       orientation, &row, &rows)) {
        return faulty(Fault::corrupt);
    }
    DecodedPicture decoded = rows->result();
    if (!decoded.scaled) {
        decoded.picture = upright(decoded.picture, orientation);
    }
    return decoded;
}

} // namespace

DecodedPicture readReducedJpeg(Bytes data, Fit fit, std::int64_t limitBytes) {
    if (!jpegIsComplete(data)) {
        return faulty(Fault::incomplete);
    }
    JpegLayout layout;
    if (!readLayout(data, &layout)) {
        return faulty(Fault::corrupt);
    }
    ReadRequest request;
    request.limitBytes = limitBytes;
    return readReduced(data, request, {layout.width, layout.height},
                       orientationFor(layout.orientation), fit);
}

const PictureReader& jpegReader() {
    static const JpegReader reader;
    return reader;
}

} // namespace ravik
