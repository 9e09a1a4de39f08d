// TIFF through libtiff: grey (1–16 bits, either polarity), palette, RGB, CMYK and CIELab, 8 or
// 16 bits a sample, interleaved, in strips or tiles with any compression libtiff has, turned as
// the Orientation tag says. Only the strips or tiles holding the stored pixels that land in the
// corner are decoded; for a fit, the picture is scaled band by band. The samples come out as
// 16-bit RGBA (8-bit samples v as v · 257, so their top 8 bits are v); associated alpha stays
// associated. Other layouts are left to other readers.

#include "pictures/orientation.h"
#include "pictures/reader.h"
#include "pictures/row_sink.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <tiffio.h>
#include <vector>

namespace ravik {
namespace {

bool looksLikeTiff(Bytes bytes) {
    return bytes.startsWith(std::string_view("II*\0", 4)) ||
           bytes.startsWith(std::string_view("MM\0*", 4));
}

// libtiff reads from the bytes in memory through these callbacks.
struct Memory {
    Bytes bytes;
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
void labToRgb(double L, double a, double b, std::uint16_t out[3]) {
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
        out[i] = std::uint16_t(std::lround(std::clamp(v, 0.0, 1.0) * 65535));
    }
}

using Rgba16 = std::array<std::uint16_t, 4>;

// One stored pixel as 16-bit RGBA, from a decoded row of samples.
Rgba16 pixel(const Format& f, const std::uint8_t* row, uint32_t x) {
    const auto sample = [&](int i) -> unsigned {
        const std::int64_t index = std::int64_t{x} * f.samples + i;
        if (f.bits == 16) {
            std::uint16_t v;
            std::memcpy(&v, row + 2 * index, 2); // libtiff gives native byte order
            return v;
        }
        if (f.bits == 8) {
            return row[index];
        }
        const std::int64_t bit = index * f.bits;
        return (row[bit / 8] >> (8 - f.bits - bit % 8)) & ((1u << f.bits) - 1);
    };
    const unsigned top = (1u << f.bits) - 1;
    const auto wide = [&](unsigned v) {
        return std::uint16_t(f.bits == 16 ? v : f.bits == 8 ? v * 257 : v * 65535 / top);
    };
    const std::uint16_t alpha = f.extra != 0 ? wide(sample(f.colourSamples())) : 65535;
    switch (f.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE: {
        const unsigned v = sample(0);
        const std::uint16_t grey = wide(f.photometric == PHOTOMETRIC_MINISWHITE ? top - v : v);
        return Rgba16{grey, grey, grey, alpha};
    }
    case PHOTOMETRIC_PALETTE: {
        const unsigned i = sample(0);
        return Rgba16{f.map[0][i], f.map[1][i], f.map[2][i], alpha};
    }
    case PHOTOMETRIC_SEPARATED: {
        // (full − C)(full − K) / full, rounded to nearest, at the samples' own depth.
        const std::uint64_t full = f.bits == 16 ? 65535 : 255;
        const std::uint64_t k = full - sample(3);
        const auto ink = [&](int i) {
            return wide(unsigned(((full - sample(i)) * k + full / 2) / full));
        };
        return Rgba16{ink(0), ink(1), ink(2), alpha};
    }
    case PHOTOMETRIC_CIELAB: {
        const bool deep = f.bits == 16;
        const double L = sample(0) * 100.0 / (deep ? 65535 : 255);
        const auto chroma = [&](int i) {
            return deep ? std::int16_t(sample(i)) / 256.0 : double(std::int8_t(sample(i)));
        };
        std::uint16_t rgb[3];
        labToRgb(L, chroma(1), chroma(2), rgb);
        return Rgba16{rgb[0], rgb[1], rgb[2], alpha};
    }
    default:
        return Rgba16{wide(sample(0)), wide(sample(1)), wide(sample(2)), alpha};
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

// Whether the first directory's colour map reaches past the end of the file. libtiff drops a
// colour map it can't read and takes the picture as grey, so a palette file cut inside its map
// would otherwise be shown in grey instead of being refused.
bool colourMapCutShort(TIFF* tif, Bytes bytes) {
    const bool big = TIFFIsBigTIFF(tif) != 0;
    const bool be = TIFFIsBigEndian(tif) != 0;
    const auto u16 = [&](std::uint64_t at) {
        return be ? bytes.be16(at) : bytes.le16(at);
    };
    const auto u32 = [&](std::uint64_t at) {
        return be ? bytes.be32(at) : bytes.le32(at);
    };
    const auto u64 = [&](std::uint64_t at) {
        return be ? std::uint64_t{u32(at)} << 32 | u32(at + 4)
                  : std::uint64_t{u32(at + 4)} << 32 | u32(at);
    };
    const std::uint64_t directory = TIFFCurrentDirOffset(tif);
    const std::uint64_t count = big ? u64(directory) : u16(directory);
    const std::uint64_t first = directory + (big ? 8 : 2);
    const std::uint64_t entryBytes = big ? 20 : 12;
    for (std::uint64_t i = 0; i < count && first + i * entryBytes < bytes.size(); ++i) {
        const std::uint64_t entry = first + i * entryBytes;
        if (u16(entry) != TIFFTAG_COLORMAP) {
            continue;
        }
        // SHORT values, stored in the entry itself when they fit there.
        const std::uint64_t values = big ? u64(entry + 4) : u32(entry + 4);
        const std::uint64_t size = values * 2;
        if (size <= (big ? 8u : 4u)) {
            return false;
        }
        const std::uint64_t offset = big ? u64(entry + 12) : u32(entry + 8);
        return offset > bytes.size() || size > bytes.size() - offset;
    }
    return false;
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

// Decodes the strips or tiles that cover `region` (stored coordinates) into 16-bit pixels, one
// band of strips or tiles at a time, handing each row of the region to `takeRow(y, pixels)`.
template <typename TakeRow>
Fault readRegion(TIFF* tif, const Format& f, const Rect& region, std::int64_t limitBytes,
                 TakeRow takeRow) {
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
    const std::int64_t rowBytes = (std::int64_t{blockWidth} * f.samples * f.bits + 7) / 8;
    if (blockBytes <= 0 || rowBytes * blockHeight > blockBytes) {
        return Fault::corrupt;
    }
    // The header alone sets how large a decoded strip or tile is; one beyond what a whole
    // picture may take is not allocated on its word.
    if (limitBytes > 0 && blockBytes > limitBytes) {
        return Fault::tooLarge;
    }
    std::vector<std::uint8_t> block(static_cast<size_t>(blockBytes));
    std::vector<Rgba16> band;
    for (uint32_t top = uint32_t(region.y) / blockHeight * blockHeight;
         top <= uint32_t(region.bottom()); top += blockHeight) {
        const uint32_t y0 = std::max<uint32_t>(top, uint32_t(region.y));
        const uint32_t y1 = std::min<uint32_t>(top + blockHeight - 1, uint32_t(region.bottom()));
        band.assign(size_t(y1 - y0 + 1) * size_t(region.width), Rgba16{});
        for (uint32_t left = uint32_t(region.x) / blockWidth * blockWidth;
             left <= uint32_t(region.right()); left += blockWidth) {
            const tmsize_t got =
                tiled ? TIFFReadEncodedTile(tif, TIFFComputeTile(tif, left, top, 0, 0),
                                            block.data(), blockBytes)
                      : TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, top, 0), block.data(),
                                             blockBytes);
            if (got < 0) {
                return Fault::corrupt;
            }
            const uint32_t x0 = std::max<uint32_t>(left, uint32_t(region.x));
            const uint32_t x1 = std::min<uint32_t>(left + blockWidth - 1, uint32_t(region.right()));
            for (uint32_t y = y0; y <= y1; ++y) {
                if (std::int64_t{y - top + 1} * rowBytes > got) {
                    return Fault::incomplete;
                }
                const std::uint8_t* row = block.data() + std::int64_t{y - top} * rowBytes;
                for (uint32_t x = x0; x <= x1; ++x) {
                    band[size_t(y - y0) * size_t(region.width) + (x - uint32_t(region.x))] =
                        pixel(f, row, x - left);
                }
            }
        }
        for (uint32_t y = y0; y <= y1; ++y) {
            takeRow(int(y), band.data() + size_t(y - y0) * size_t(region.width));
        }
    }
    return Fault::none;
}

class TiffReader final : public PictureReader {
public:
    std::span<const std::string_view> suffixes() const override {
        static constexpr std::string_view kSuffixes[] = {"tif", "tiff"};
        return kSuffixes;
    }
    Claim claim(Bytes bytes) const override {
        return looksLikeTiff(bytes) ? Claim::signature : Claim::no;
    }

    DecodedPicture read(Bytes bytes, const ReadRequest& request) const override {
        TIFFSetErrorHandler(nullptr); // failures are reported by return values
        TIFFSetWarningHandler(nullptr);
        Memory memory{bytes};
        const std::unique_ptr<TIFF, TiffCloser> tif(
            TIFFClientOpen("picture", "rm", &memory, readMemory, writeNothing, seekMemory,
                           closeNothing, memorySize, nullptr, nullptr));
        if (!tif) {
            return faulty(Fault::incomplete);
        }
        Format f;
        if (const Fault fault = parse(tif.get(), &f); fault != Fault::none) {
            return faulty(fault);
        }
        if (!complete(tif.get(), toff_t(bytes.size())) || colourMapCutShort(tif.get(), bytes)) {
            return faulty(Fault::incomplete);
        }
        const Size stored{int(f.width), int(f.height)};
        const Picture::Alpha alpha = f.extra == EXTRASAMPLE_ASSOCALPHA ? Picture::Alpha::associated
                                                                       : Picture::Alpha::straight;
        const Orientation orientation = orientationFor(int(f.orientation));
        if (request.fit != nullptr) {
            // Stored rows go to the scaler as they are decoded; it turns the small result upright.
            RowSink rows(stored, *request.fit, orientation, 16, alpha);
            if (rows.isNull()) {
                return faulty(Fault::tooLarge, stored);
            }
            const Area source = rows.wantedRows();
            if (source.height <= 0) {
                return rows.result();
            }
            const Rect region{0, source.y, stored.width, source.height};
            const Fault fault =
                readRegion(tif.get(), f, region, request.limitBytes, [&](int y, const Rgba16* row) {
                    std::memcpy(rows.row(y), row, size_t(region.width) * sizeof(Rgba16));
                });
            return fault == Fault::none ? rows.result() : faulty(fault);
        }
        const Size size = cornerOf(shownSize(stored, orientation), request.corner);
        if (exceedsLimit(size, 16, request.limitBytes)) {
            return faulty(Fault::tooLarge);
        }
        const Rect region = storedCorner(stored, orientation, request.corner);
        Picture part(region.width, region.height, 16, alpha);
        if (part.isNull()) {
            return faulty(Fault::tooLarge);
        }
        const Fault fault =
            readRegion(tif.get(), f, region, request.limitBytes, [&](int y, const Rgba16* row) {
                std::memcpy(part.row(y - region.y), row, size_t(region.width) * sizeof(Rgba16));
            });
        if (fault != Fault::none) {
            return faulty(fault);
        }
        return {upright(part, orientation), std::nullopt, {}};
    }
};

} // namespace

const PictureReader& tiffReader() {
    static const TiffReader reader;
    return reader;
}

} // namespace ravik
