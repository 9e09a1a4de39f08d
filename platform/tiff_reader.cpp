#include "tiff_reader.h"

#include <QImageReader>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <tiffio.h>
#include <vector>

namespace ravik {
namespace {

using Fault = PictureRead::Fault;

// libtiff reads from the bytes in memory through these callbacks.
struct Memory {
    QByteArrayView bytes;
    toff_t pos = 0;
};

tmsize_t readMemory(thandle_t handle, void* data, tmsize_t size) {
    auto* m = static_cast<Memory*>(handle);
    const toff_t left = m->pos < toff_t(m->bytes.size()) ? toff_t(m->bytes.size()) - m->pos : 0;
    const tmsize_t n = tmsize_t(std::min<toff_t>(left, toff_t(size)));
    if (n > 0) {
        std::memcpy(data, m->bytes.data() + m->pos, size_t(n));
        m->pos += toff_t(n);
    }
    return n;
}
tmsize_t writeNothing(thandle_t, void*, tmsize_t) {
    return -1;
}
toff_t seekMemory(thandle_t handle, toff_t offset, int whence) {
    auto* m = static_cast<Memory*>(handle);
    const toff_t base = whence == SEEK_CUR   ? m->pos
                        : whence == SEEK_END ? toff_t(m->bytes.size())
                                             : 0;
    m->pos = base + offset;
    return m->pos;
}
int closeNothing(thandle_t) {
    return 0;
}
toff_t memorySize(thandle_t handle) {
    return toff_t(static_cast<Memory*>(handle)->bytes.size());
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

struct Format {
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0, photometric = 0, orientation = ORIENTATION_TOPLEFT;
    uint16_t extra = 0; // 0 none, EXTRASAMPLE_ASSOCALPHA or EXTRASAMPLE_UNASSALPHA
    const uint16_t* map[3] = {};
    int colourSamples() const {
        switch (photometric) {
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_PALETTE:
            return 1;
        case PHOTOMETRIC_SEPARATED:
            return 4;
        default:
            return 3;
        }
    }
    bool transposed() const { return orientation >= ORIENTATION_LEFTTOP; }
};

// CIE L*a*b* (D65 white) to sRGB, 16 bits a channel: L*a*b* → XYZ → linear sRGB → sRGB curve.
void labToRgb(double L, double a, double b, quint16 out[3]) {
    constexpr double kWhite[3] = {0.95047, 1.0, 1.08883};
    const auto inverse = [](double t) {
        return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29);
    };
    const double fy = (L + 16) / 116;
    const double X = kWhite[0] * inverse(fy + a / 500);
    const double Y = kWhite[1] * inverse(fy);
    const double Z = kWhite[2] * inverse(fy - b / 200);
    const double linear[3] = {3.2404542 * X - 1.5371385 * Y - 0.4985314 * Z,
                              -0.9692660 * X + 1.8760108 * Y + 0.0415560 * Z,
                              0.0556434 * X - 0.2040259 * Y + 1.0572252 * Z};
    for (int i = 0; i < 3; ++i) {
        const double c = std::clamp(linear[i], 0.0, 1.0);
        const double v = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
        out[i] = quint16(std::lround(std::clamp(v, 0.0, 1.0) * 65535));
    }
}

// One stored pixel as 16-bit RGBA, from a decoded row of samples.
QRgba64 pixel(const Format& f, const uchar* row, uint32_t x) {
    const auto sample = [&](int i) -> uint {
        const qint64 index = qint64{x} * f.samples + i;
        if (f.bits == 16) {
            quint16 v;
            std::memcpy(&v, row + 2 * index, 2); // libtiff gives native byte order
            return v;
        }
        if (f.bits == 8) {
            return row[index];
        }
        const qint64 bit = index * f.bits;
        return (row[bit / 8] >> (8 - f.bits - bit % 8)) & ((1u << f.bits) - 1);
    };
    const uint top = (1u << f.bits) - 1;
    const auto wide = [&](uint v) {
        return quint16(f.bits == 16 ? v : f.bits == 8 ? v * 257 : v * 65535 / top);
    };
    const quint16 alpha = f.extra != 0 ? wide(sample(f.colourSamples())) : 65535;
    switch (f.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE: {
        const uint v = sample(0);
        const quint16 grey = wide(f.photometric == PHOTOMETRIC_MINISWHITE ? top - v : v);
        return QRgba64::fromRgba64(grey, grey, grey, alpha);
    }
    case PHOTOMETRIC_PALETTE: {
        const uint i = sample(0);
        return QRgba64::fromRgba64(f.map[0][i], f.map[1][i], f.map[2][i], alpha);
    }
    case PHOTOMETRIC_SEPARATED: {
        // (full − C)(full − K) / full, rounded to nearest, at the samples' own depth.
        const quint64 full = f.bits == 16 ? 65535 : 255;
        const quint64 k = full - sample(3);
        const auto ink = [&](int i) {
            return wide(uint(((full - sample(i)) * k + full / 2) / full));
        };
        return QRgba64::fromRgba64(ink(0), ink(1), ink(2), alpha);
    }
    case PHOTOMETRIC_CIELAB: {
        const bool deep = f.bits == 16;
        const double L = sample(0) * 100.0 / (deep ? 65535 : 255);
        const auto chroma = [&](int i) {
            return deep ? qint16(sample(i)) / 256.0 : double(qint8(sample(i)));
        };
        quint16 rgb[3];
        labToRgb(L, chroma(1), chroma(2), rgb);
        return QRgba64::fromRgba64(rgb[0], rgb[1], rgb[2], alpha);
    }
    default:
        return QRgba64::fromRgba64(wide(sample(0)), wide(sample(1)), wide(sample(2)), alpha);
    }
}

Fault parse(TIFF* tif, Format* f) {
    uint16_t planar = PLANARCONFIG_CONTIG, inks = INKSET_CMYK;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &f->width) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &f->height) ||
        !TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &f->photometric)) {
        return Fault::corrupt;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &f->bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &f->samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &f->orientation);
    TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inks);
    uint16_t extraCount = 0;
    uint16_t* extraKinds = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds);
    if (f->width == 0 || f->height == 0 || f->width > 1u << 20 || f->height > 1u << 20) {
        return Fault::corrupt;
    }
    uint16_t format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    const bool known = f->photometric == PHOTOMETRIC_MINISBLACK ||
                       f->photometric == PHOTOMETRIC_MINISWHITE ||
                       f->photometric == PHOTOMETRIC_PALETTE || f->photometric == PHOTOMETRIC_RGB ||
                       f->photometric == PHOTOMETRIC_CIELAB ||
                       (f->photometric == PHOTOMETRIC_SEPARATED && inks == INKSET_CMYK);
    const bool depthOk = f->bits == 8 || f->bits == 16 ||
                         ((f->bits == 1 || f->bits == 2 || f->bits == 4) &&
                          f->colourSamples() == 1 && f->samples == 1);
    if (!known || !depthOk || planar != PLANARCONFIG_CONTIG || format != SAMPLEFORMAT_UINT ||
        f->samples < f->colourSamples() || f->orientation < 1 || f->orientation > 8) {
        return Fault::unsupported;
    }
    if (f->samples > f->colourSamples() && extraCount > 0 &&
        (extraKinds[0] == EXTRASAMPLE_ASSOCALPHA || extraKinds[0] == EXTRASAMPLE_UNASSALPHA)) {
        f->extra = extraKinds[0];
    }
    if (f->photometric == PHOTOMETRIC_PALETTE &&
        !TIFFGetField(tif, TIFFTAG_COLORMAP, &f->map[0], &f->map[1], &f->map[2])) {
        return Fault::corrupt;
    }
    return Fault::none;
}

// A file cut off anywhere leaves some strip or tile reaching past its end.
bool complete(TIFF* tif, toff_t size) {
    const uint32_t count = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    for (uint32_t i = 0; i < count; ++i) {
        int error = 0;
        const uint64_t offset = TIFFGetStrileOffsetWithErr(tif, i, &error);
        const uint64_t length = TIFFGetStrileByteCountWithErr(tif, i, &error);
        if (error != 0 || offset > size || length > size - offset) {
            return false;
        }
    }
    return true;
}

// The stored pixel shown at (x, y) in a picture shown `shownWidth` × `shownHeight`.
QPoint storedPoint(const Format& f, int x, int y) {
    const int w = int(f.width), h = int(f.height);
    switch (f.orientation) {
    case ORIENTATION_TOPRIGHT:
        return {w - 1 - x, y};
    case ORIENTATION_BOTRIGHT:
        return {w - 1 - x, h - 1 - y};
    case ORIENTATION_BOTLEFT:
        return {x, h - 1 - y};
    case ORIENTATION_LEFTTOP:
        return {y, x};
    case ORIENTATION_RIGHTTOP:
        return {y, h - 1 - x};
    case ORIENTATION_RIGHTBOT:
        return {w - 1 - y, h - 1 - x};
    case ORIENTATION_LEFTBOT:
        return {w - 1 - y, x};
    default:
        return {x, y};
    }
}

// Decodes the strips or tiles that cover `region` (stored coordinates) into 16-bit pixels, one
// band of strips or tiles at a time, handing each row of the region to `takeRow(y, pixels)`.
template <typename TakeRow>
Fault readRegion(TIFF* tif, const Format& f, const QRect& region, TakeRow takeRow) {
    const bool tiled = TIFFIsTiled(tif);
    uint32_t blockWidth = f.width, blockHeight = 0;
    if (tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &blockWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &blockHeight);
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &blockHeight);
        blockHeight = std::min(blockHeight, f.height);
    }
    if (blockWidth == 0 || blockHeight == 0) {
        return Fault::corrupt;
    }
    const tmsize_t blockBytes = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
    const qint64 rowBytes = (qint64{blockWidth} * f.samples * f.bits + 7) / 8;
    if (blockBytes <= 0 || rowBytes * blockHeight > blockBytes) {
        return Fault::corrupt;
    }
    // The header alone sets how large a decoded strip or tile is; one beyond what a whole
    // picture may take is not allocated on its word.
    const qint64 limitBytes = qint64{QImageReader::allocationLimit()} * 1024 * 1024;
    if (limitBytes > 0 && blockBytes > limitBytes) {
        return Fault::tooLarge;
    }
    std::vector<uchar> block(static_cast<size_t>(blockBytes));
    std::vector<QRgba64> band;
    for (uint32_t top = uint32_t(region.top()) / blockHeight * blockHeight;
         top <= uint32_t(region.bottom()); top += blockHeight) {
        const uint32_t y0 = std::max<uint32_t>(top, uint32_t(region.top()));
        const uint32_t y1 = std::min<uint32_t>(top + blockHeight - 1, uint32_t(region.bottom()));
        band.assign(size_t(y1 - y0 + 1) * size_t(region.width()), QRgba64());
        for (uint32_t left = uint32_t(region.left()) / blockWidth * blockWidth;
             left <= uint32_t(region.right()); left += blockWidth) {
            const tmsize_t got =
                tiled ? TIFFReadEncodedTile(tif, TIFFComputeTile(tif, left, top, 0, 0),
                                            block.data(), blockBytes)
                      : TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, top, 0), block.data(),
                                             blockBytes);
            if (got < 0) {
                return Fault::corrupt;
            }
            const uint32_t x0 = std::max<uint32_t>(left, uint32_t(region.left()));
            const uint32_t x1 = std::min<uint32_t>(left + blockWidth - 1, uint32_t(region.right()));
            for (uint32_t y = y0; y <= y1; ++y) {
                if (qint64{y - top + 1} * rowBytes > got) {
                    return Fault::incomplete;
                }
                const uchar* row = block.data() + qint64{y - top} * rowBytes;
                for (uint32_t x = x0; x <= x1; ++x) {
                    band[size_t(y - y0) * size_t(region.width()) + (x - uint32_t(region.left()))] =
                        pixel(f, row, x - left);
                }
            }
        }
        for (uint32_t y = y0; y <= y1; ++y) {
            takeRow(int(y), band.data() + size_t(y - y0) * size_t(region.width()));
        }
    }
    return Fault::none;
}

} // namespace

bool looksLikeTiff(QByteArrayView bytes) {
    return bytes.startsWith(QByteArrayView("II*\0", 4)) ||
           bytes.startsWith(QByteArrayView("MM\0*", 4));
}

PictureRead readTiff(QByteArrayView bytes, const QSize& corner, const ConversionOptions* fit) {
    TIFFSetErrorHandler(nullptr); // failures are reported by return values
    TIFFSetWarningHandler(nullptr);
    Memory memory{bytes};
    const std::unique_ptr<TIFF, TiffCloser> tif(
        TIFFClientOpen("picture", "rm", &memory, readMemory, writeNothing, seekMemory, closeNothing,
                       memorySize, nullptr, nullptr));
    if (!tif) {
        return readFault(looksLikeTiff(bytes) ? Fault::incomplete : Fault::corrupt);
    }
    Format f;
    if (const Fault fault = parse(tif.get(), &f); fault != Fault::none) {
        return readFault(fault);
    }
    if (!complete(tif.get(), toff_t(bytes.size()))) {
        return readFault(Fault::incomplete);
    }
    const QSize stored(int(f.width), int(f.height));
    const QImage::Format format = f.extra == EXTRASAMPLE_ASSOCALPHA
                                      ? QImage::Format_RGBA64_Premultiplied
                                      : QImage::Format_RGBA64;
    if (fit != nullptr) {
        // Stored rows go to the scaler as they are decoded; it turns the small result upright.
        PictureRows rows(stored, format, *fit,
                         orientationOf(orientationTransformation(int(f.orientation))));
        if (rows.isNull()) {
            return readFault(Fault::tooLarge);
        }
        const Area source = rows.wantedRows();
        if (source.height <= 0) {
            return readRows(rows);
        }
        const QRect region(0, source.y, stored.width(), source.height);
        const Fault fault = readRegion(tif.get(), f, region, [&](int y, const QRgba64* row) {
            std::copy_n(row, region.width(), reinterpret_cast<QRgba64*>(rows.scanLine(y)));
        });
        return fault == Fault::none ? readRows(rows) : readFault(fault);
    }
    const QSize size = cornerSize(f.transposed() ? stored.transposed() : stored, corner);
    if (exceedsDecodeLimit(size, 16)) {
        return readFault(Fault::tooLarge);
    }
    const QRect region =
        QRect(storedPoint(f, 0, 0), QSize(1, 1))
            .united(QRect(storedPoint(f, size.width() - 1, size.height() - 1), QSize(1, 1)));
    std::vector<QRgba64> pixels(size_t(region.width()) * size_t(region.height()));
    const Fault fault = readRegion(tif.get(), f, region, [&](int y, const QRgba64* row) {
        std::copy_n(row, region.width(),
                    pixels.begin() + std::ptrdiff_t{y - region.top()} * region.width());
    });
    if (fault != Fault::none) {
        return readFault(fault);
    }
    QImage out(size, format);
    if (out.isNull()) {
        return readFault(Fault::tooLarge);
    }
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgba64*>(out.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const QPoint p = storedPoint(f, x, y) - region.topLeft();
            line[x] = pixels[size_t(p.y()) * size_t(region.width()) + size_t(p.x())];
        }
    }
    return {out, Fault::none, std::nullopt};
}

} // namespace ravik
