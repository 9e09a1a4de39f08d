#include "jpeg_reader.h"

#include "platform/picture_orientation.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstring>
#include <jpeglib.h>
#include <vector>

namespace ravik {
namespace {

// What the reader needs to know before decoding, found by walking the markers.
struct JpegLayout {
    qsizetype heightAt = -1; // where the frame header's height field lies
    bool progressive = false;
    int width = 0;
    int height = 0;
    int maxHSampling = 1;
    int maxVSampling = 1;
    int orientation = 1;
};

int get16(QByteArrayView data, qsizetype at) {
    return uchar(data[at]) << 8 | uchar(data[at + 1]);
}

bool readLayout(QByteArrayView data, JpegLayout* layout) {
    qsizetype at = 2;
    bool sawExif = false;
    while (at + 4 <= data.size()) {
        // Bytes that are no marker between segments (left by a writer, or the end of a segment
        // whose length falls short) are skipped up to the next marker, as libjpeg does.
        if (uchar(data[at]) != 0xFF) {
            ++at;
            continue;
        }
        const uchar marker = uchar(data[at + 1]);
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        const bool standalone = marker == 0x00 || marker == 0x01 || (marker & 0xF8) == 0xD0;
        if (standalone) {
            at += 2; // a stuffed 0xFF, or a marker without a length (TEM, RSTn)
            continue;
        }
        const qsizetype length = get16(data, at + 2);
        if (length < 2 || at + 2 + length > data.size()) {
            return false;
        }
        const QByteArrayView body = data.sliced(at + 4, length - 2);
        if (marker == 0xE1 && !sawExif && body.startsWith(QByteArrayView("Exif\0\0", 6))) {
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
            layout->height = get16(body, 1);
            layout->width = get16(body, 3);
            const int components = uchar(body[5]);
            for (int c = 0; c < components && 6 + c * 3 + 1 < body.size(); ++c) {
                const uchar sampling = uchar(body[6 + c * 3 + 1]);
                layout->maxHSampling = qMax(layout->maxHSampling, sampling >> 4);
                layout->maxVSampling = qMax(layout->maxVSampling, sampling & 0x0F);
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
    QByteArray head;
    QByteArrayView rest;
    bool restGiven = false;
};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr info) {
    auto* source = reinterpret_cast<Source*>(info->src);
    if (!source->restGiven && !source->rest.isEmpty()) {
        source->restGiven = true;
        source->manager.next_input_byte = reinterpret_cast<const JOCTET*>(source->rest.data());
        source->manager.bytes_in_buffer = size_t(source->rest.size());
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

// The region to decode, in stored picture coordinates, with the column window libjpeg is
// asked for around it. Fancy chroma upsampling looks one chroma sample past each edge, so the
// window reaches at least one column beyond the region, rounded up to whole MCUs, and starts
// one MCU before it: then the region's pixels equal those of the whole decode.
struct Window {
    QRect region;
    JDIMENSION left = 0;
    JDIMENSION width = 0;
};

Window windowFor(const JpegLayout& layout, const QRect& region) {
    const int mcuWidth = 8 * layout.maxHSampling;
    const int left = qMax(0, region.left() - mcuWidth);
    int right = region.right() + 1; // one past the region
    if (right < layout.width) {
        right = qMin(layout.width, (right + 1 + mcuWidth - 1) / mcuWidth * mcuWidth);
    }
    return {region, JDIMENSION(left), JDIMENSION(right - left)};
}

// Inverted (Adobe) CMYK as libjpeg gives it: each channel times black, rounded to nearest.
void cmykToRgb(const uchar* in, uchar* out, int pixels) {
    for (int i = 0; i < pixels; ++i, in += 4, out += 4) {
        const unsigned k = in[3];
        for (int c = 0; c < 3; ++c) {
            out[c] = uchar((in[c] * k + 127) / 255);
        }
        out[3] = 0xFF;
    }
}

// Decodes `window` into `picture` (allocated here). Only trivially destructible locals live
// between the setjmp and the libjpeg calls.
bool decodeWindow(jpeg_decompress_struct* info, ErrorManager* errors, Window window,
                  std::vector<JSAMPLE>* row, QImage* picture) {
    if (setjmp(errors->jump)) {
        return false;
    }
    jpeg_read_header(info, TRUE);
    const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    const bool grey = info->jpeg_color_space == JCS_GRAYSCALE;
    info->out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_EXT_RGBX;
    jpeg_start_decompress(info);
    if (window.width < info->output_width) {
        jpeg_crop_scanline(info, &window.left, &window.width);
    }
    const int channels = grey ? 1 : 4;
    row->resize(size_t(info->output_width) * size_t(channels));
    *picture =
        QImage(window.region.size(), grey ? QImage::Format_Grayscale8 : QImage::Format_RGBX8888);
    if (picture->isNull()) {
        return false;
    }
    if (window.region.top() > 0) {
        jpeg_skip_scanlines(info, JDIMENSION(window.region.top()));
    }
    const size_t offset = size_t(window.region.left() - int(window.left)) * size_t(channels);
    for (int y = 0; y < window.region.height(); ++y) {
        JSAMPROW rows[] = {row->data()};
        if (jpeg_read_scanlines(info, rows, 1) != 1) {
            return false;
        }
        uchar* out = picture->scanLine(y);
        if (cmyk) {
            cmykToRgb(row->data() + offset, out, window.region.width());
        } else {
            std::memcpy(out, row->data() + offset, size_t(window.region.width()) * channels);
        }
    }
    return true;
}

} // namespace

bool looksLikeJpeg(QByteArrayView data) {
    return data.startsWith(QByteArrayView("\xFF\xD8\xFF", 3));
}

LoadedPicture readJpeg(QByteArrayView data, const QSize& corner) {
    JpegLayout layout;
    if (!readLayout(data, &layout)) {
        return corruptPicture();
    }
    const auto transformation = orientationTransformation(layout.orientation);
    const QSize stored(layout.width, layout.height);
    const QRect region = storedCorner(stored, transformation, corner);
    if (!corner.isValid() && exceedsDecodeLimit(stored)) {
        return tooLargePicture(stored);
    }

    Source source;
    source.rest = data;
    const int mcuHeight = 8 * layout.maxVSampling;
    const int rowsNeeded = region.bottom() + 1;
    // One more MCU row than needed, so that chroma upsampling of the last needed row sees the
    // row below as in the whole decode.
    const int claimed = (rowsNeeded + mcuHeight - 1) / mcuHeight * mcuHeight + mcuHeight;
    if (layout.progressive && claimed < layout.height) {
        source.head = data.first(layout.heightAt + 2).toByteArray();
        source.head[layout.heightAt] = char(claimed >> 8);
        source.head[layout.heightAt + 1] = char(claimed & 0xFF);
        source.rest = data.sliced(layout.heightAt + 2);
    }
    source.manager.init_source = initSource;
    source.manager.fill_input_buffer = fillInput;
    source.manager.skip_input_data = skipInput;
    source.manager.resync_to_restart = jpeg_resync_to_restart;
    source.manager.term_source = termSource;
    source.manager.next_input_byte = reinterpret_cast<const JOCTET*>(source.head.constData());
    source.manager.bytes_in_buffer = size_t(source.head.size());

    jpeg_decompress_struct info{};
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = failOnError;
    errors.manager.emit_message = ignoreMessage;
    jpeg_create_decompress(&info);
    info.src = &source.manager;
    std::vector<JSAMPLE> row;
    QImage picture;
    const bool decoded = decodeWindow(&info, &errors, windowFor(layout, region), &row, &picture);
    jpeg_destroy_decompress(&info);
    if (!decoded) {
        return corruptPicture();
    }
    return {upright(picture, transformation), {}, std::nullopt};
}

} // namespace ravik
