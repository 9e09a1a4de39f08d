// Compression for flash on a realistic set: for each folder of pictures (each file an asset; an
// animated GIF is one asset of its frames) and a glyph set rendered with the fonts library, the
// bytes stored raw, with RLE, with delta + RLE (animations) and in the copying form (LZ), and the
// runtime's decoder speed on this machine (ravik_lcd_unpack in playback order, and
// ravik_lcd_stream).
// With --each, every picture of a folder on its own, for tools/bench-compression.sh to set beside
// LZ4 and gzip.
// Usage: ravik_compression_bench DIR   (DIR/CATEGORY/*.png|*.gif; tools/bench-compression.sh
// makes the set)
//        ravik_compression_bench --each DIR OUT   (DIR/*.png; tools/make-picture-set.sh makes it)

#include "codec/compression.h"
#include "codec/packed_picture.h"
#include "fonts/glyph_set.h"
#include "pictures/picture_file.h"
#include "runtime/ravik_lcd.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

using namespace ravik;
using namespace ravik::fonts;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Asset {
    int width = 0, height = 0;
    std::vector<Bytes> packed;
};

// A picture's pixels over black (alpha below kDrawnAlpha counts as not drawn), packed; 16-bit
// channels keep their high byte.
Bytes packPicture(const Picture& picture) {
    std::vector<ColorValue> pixels;
    const bool wide = picture.bitsPerChannel() == 16;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            int c[4];
            for (int k = 0; k < 4; ++k) {
                c[k] = wide ? picture.row16(y)[4 * x + k] >> 8 : picture.row(y)[4 * x + k];
            }
            pixels.push_back(c[3] >= kDrawnAlpha ? RGB(c[0], c[1], c[2]) : RGB(0, 0, 0));
        }
    }
    return packPixels(pixels, picture.width(), picture.height());
}

Asset readAsset(const fs::path& path) {
    Asset asset;
    const DecodedFrames frames = readPictureFileFrames(path, ConversionOptions{});
    if (frames.fault.fault != Fault::none) {
        std::fprintf(stderr, "%s: %s\n", path.string().c_str(),
                     faultSentence(frames.fault).c_str());
    }
    for (const Picture& frame : frames.frames) {
        asset.width = frame.width();
        asset.height = frame.height();
        asset.packed.push_back(packPicture(frame));
    }
    return asset;
}

// ASCII and a few hundred common Chinese characters, 16 px, each glyph's 4-bit coverage as a grey
// picture in a cell as large as the largest glyph: a tile sheet of glyphs.
Asset glyphSet(std::size_t* coverageBytes) {
    std::vector<char32_t> set;
    for (char32_t c = 0x21; c < 0x7F; ++c) {
        set.push_back(c);
    }
    for (char32_t c = 0x4E00; set.size() < 400; c += 7) {
        set.push_back(c);
    }
    const RenderedFont font = renderGlyphs(findFont(""), set, 16);
    *coverageBytes = alphaFont(font).bitmaps.size();
    Asset asset;
    for (const RenderedGlyph& g : font.glyphs) {
        asset.width = std::max(asset.width, g.width);
        asset.height = std::max(asset.height, g.height);
    }
    for (const RenderedGlyph& g : font.glyphs) {
        std::vector<ColorValue> cell(std::size_t(asset.width) * std::size_t(asset.height), 0);
        for (int y = 0; y < g.height; ++y) {
            for (int x = 0; x < g.width; ++x) {
                const int level = coverageLevel(g.coverage[std::size_t(y * g.width + x)], 4) * 17;
                cell[std::size_t(y * asset.width + x)] = RGB(level, level, level);
            }
        }
        asset.packed.push_back(packPixels(cell, asset.width, asset.height));
    }
    return asset;
}

// What a palette + RLE scheme would store for a picture of at most 16 colours (a 24-byte palette;
// runs of 3 or more as two bytes, 10-bit length and a 4-bit index; literals one control byte and
// a nibble a pixel), else the RLE size: an estimate, to see whether such a scheme would pay.
std::size_t paletteEstimate(const Bytes& packed, int width, int height, std::size_t rleSize) {
    const std::size_t count = std::size_t(width) * std::size_t(height);
    std::vector<ColorValue> pixels = decodePixels(packed, width, height);
    std::vector<ColorValue> colours = pixels;
    std::ranges::sort(colours);
    colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
    if (colours.size() > 16) {
        return rleSize;
    }
    std::size_t bytes = 24, literal = 0;
    const auto flush = [&] {
        for (; literal > 0; literal -= std::min<std::size_t>(literal, 128)) {
            bytes += 1 + (std::min<std::size_t>(literal, 128) + 1) / 2;
        }
    };
    for (std::size_t i = 0; i < count;) {
        std::size_t end = i + 1;
        while (end < count && pixels[end] == pixels[i] && end - i < 1024) {
            ++end;
        }
        if (end - i >= 3) {
            flush();
            bytes += 2;
        } else {
            literal += end - i;
        }
        i = end;
    }
    flush();
    return std::min(bytes, rleSize);
}

ravik_lcd_asset runtimeAsset(const StoredPictures& s) {
    ravik_lcd_asset a{};
    a.width = std::uint16_t(s.width);
    a.height = std::uint16_t(s.height);
    a.count = std::uint16_t(s.offsets.size() - 1);
    a.size = std::uint32_t(s.size);
    a.stored = std::uint32_t(s.data.size());
    a.delta = s.delta;
    a.compression = std::uint8_t(s.compression);
    a.data = s.data.data();
    a.offsets = s.offsets.data();
    return a;
}

void sink(const std::uint8_t* bytes, std::uint16_t n, void* ctx) {
    auto* sum = static_cast<unsigned*>(ctx);
    *sum += bytes[n - 1];
}

// Seconds per unpacked byte: every picture of every asset decoded in playback order, repeated
// until at least 0.2 s have passed.
template <typename Decode>
double secondsPerByte(const std::vector<StoredPictures>& set, Decode decode) {
    using Clock = std::chrono::steady_clock;
    std::size_t bytes = 0;
    const auto start = Clock::now();
    double seconds = 0;
    do {
        for (const StoredPictures& s : set) {
            const ravik_lcd_asset a = runtimeAsset(s);
            Bytes out(s.size);
            for (std::uint16_t i = 0; i < a.count; ++i) {
                decode(a, i, out);
                bytes += s.size;
            }
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    } while (seconds < 0.2);
    return seconds / double(bytes);
}

struct Row {
    std::size_t assets = 0, pictures = 0, raw = 0, rle = 0, lz = 0, delta = 0, palette = 0;
    std::vector<StoredPictures> best;   // what firmware would store: the smaller of rle and delta
    std::vector<StoredPictures> copies; // the copying form, delta for animations where smaller
};

void print(const std::string& name, const Row& row, std::size_t pictureBytes) {
    const double unpack =
        secondsPerByte(row.best, [](const ravik_lcd_asset& a, std::uint16_t i, Bytes& out) {
            ravik_lcd_unpack(&a, i, out.data());
        });
    const bool anyDelta =
        std::ranges::any_of(row.best, [](const StoredPictures& s) { return s.delta; });
    double stream = 0;
    if (!anyDelta) {
        stream = secondsPerByte(row.best, [](const ravik_lcd_asset& a, std::uint16_t i, Bytes&) {
            unsigned sum = 0;
            ravik_lcd_stream(&a, i, sink, &sum);
        });
    }
    const auto share = [&](std::size_t n) {
        char text[40];
        std::snprintf(text, sizeof text, "%zu (%.1f%%)", n, 100.0 * double(n) / double(row.raw));
        return std::string(text);
    };
    char streamText[32] = "-";
    if (stream > 0) {
        std::snprintf(streamText, sizeof streamText, "%.0f", 1e-6 / stream);
    }
    const double unpackCopies =
        secondsPerByte(row.copies, [](const ravik_lcd_asset& a, std::uint16_t i, Bytes& out) {
            ravik_lcd_unpack(&a, i, out.data());
        });
    std::printf("%-12s %6zu %8zu %9zu %18s %18s %18s %18s %12.0f %12s %10.1f %10.0f\n",
                name.c_str(), row.assets, row.pictures, row.raw, share(row.rle).c_str(),
                share(row.delta).c_str(), share(row.lz).c_str(), share(row.palette).c_str(),
                1e-6 / unpack, streamText, unpack * double(pictureBytes) * 1e6,
                1e-6 / unpackCopies);
}

void add(Row& row, const Asset& asset, bool animation) {
    if (asset.packed.empty()) {
        return;
    }
    const StoredPictures raw =
        storePictures(asset.packed, asset.width, asset.height, Compression::Raw, false);
    const StoredPictures rle =
        storePictures(asset.packed, asset.width, asset.height, Compression::Rle, false);
    ++row.assets;
    row.pictures += asset.packed.size();
    row.raw += raw.data.size();
    row.rle += rle.data.size();
    for (std::size_t i = 0; i < asset.packed.size(); ++i) {
        row.palette += paletteEstimate(asset.packed[i], asset.width, asset.height,
                                       rle.offsets[i + 1] - rle.offsets[i]);
    }
    StoredPictures lz =
        storePictures(asset.packed, asset.width, asset.height, Compression::Lz, false);
    if (animation && asset.packed.size() > 1) {
        StoredPictures lzDelta =
            storePictures(asset.packed, asset.width, asset.height, Compression::Lz, true);
        if (lzDelta.data.size() < lz.data.size()) {
            lz = std::move(lzDelta);
        }
    }
    row.lz += lz.data.size();
    row.copies.push_back(std::move(lz));
    if (animation && asset.packed.size() > 1) {
        const StoredPictures delta =
            storePictures(asset.packed, asset.width, asset.height, Compression::Rle, true);
        row.delta += delta.data.size();
        row.best.push_back(delta.data.size() < rle.data.size() ? delta : rle);
    } else {
        row.delta += rle.data.size();
        row.best.push_back(rle);
    }
}

// Whether unpack and stream give picture `index`'s packed bytes back.
bool decodesTo(const StoredPictures& stored, const Bytes& packed) {
    const ravik_lcd_asset a = runtimeAsset(stored);
    Bytes out(stored.size, 0xA5);
    ravik_lcd_unpack(&a, 0, out.data());
    Bytes streamed;
    ravik_lcd_stream(
        &a, 0,
        [](const std::uint8_t* bytes, std::uint16_t n, void* ctx) {
            auto* to = static_cast<Bytes*>(ctx);
            to->insert(to->end(), bytes, bytes + n);
        },
        &streamed);
    return out == packed && streamed == packed;
}

// Each picture of DIR on its own (the first frame of a file): its packed bytes written to
// OUT/NAME.packed for other compressors, and a line "NAME raw rle lz auto" of the bytes each form
// stores, checked through the runtime's unpack and stream.
int eachPicture(const fs::path& dir, const fs::path& out) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& file : fs::directory_iterator(dir)) {
        files.push_back(file.path());
    }
    std::ranges::sort(files);
    int faults = 0;
    for (const fs::path& file : files) {
        Asset asset = readAsset(file);
        if (asset.packed.empty()) {
            continue;
        }
        asset.packed.resize(1);
        const Bytes& packed = asset.packed[0];
        std::FILE* f = std::fopen((out / (file.stem().string() + ".packed")).c_str(), "wb");
        if (f == nullptr || std::fwrite(packed.data(), 1, packed.size(), f) != packed.size()) {
            std::fprintf(stderr, "can't write %s.packed\n", file.stem().c_str());
            return 1;
        }
        std::fclose(f);
        std::printf("%s", file.stem().c_str());
        for (const Compression form :
             {Compression::Raw, Compression::Rle, Compression::Lz, Compression::Auto}) {
            const StoredPictures stored =
                storePictures(asset.packed, asset.width, asset.height, form, false);
            if (!decodesTo(stored, packed)) {
                std::fprintf(stderr, "%s: form %d does not decode to its picture\n",
                             file.stem().c_str(), int(form));
                ++faults;
            }
            std::printf(" %zu", stored.data.size());
        }
        std::printf("\n");
    }
    return faults == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--each") {
        return eachPicture(argv[2], argv[3]);
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR | --each DIR OUT\n", argv[0]);
        return 2;
    }
    std::printf("%-12s %6s %8s %9s %18s %18s %18s %18s %12s %12s %10s %10s\n", "set", "assets",
                "pictures", "raw B", "rle B (of raw)", "delta+rle B", "lz B (delta too)",
                "palette+rle est.", "unpack MB/s", "stream MB/s", "us/frame*", "lz MB/s");
    std::map<std::string, std::vector<fs::path>> sets;
    for (const fs::directory_entry& folder : fs::directory_iterator(argv[1])) {
        if (folder.is_directory()) {
            for (const fs::directory_entry& file : fs::directory_iterator(folder.path())) {
                sets[folder.path().filename().string()].push_back(file.path());
            }
        }
    }
    Row all;
    for (auto& [name, files] : sets) {
        std::ranges::sort(files);
        Row row;
        for (const fs::path& file : files) {
            const Asset asset = readAsset(file);
            add(row, asset, true);
            add(all, asset, true);
        }
        print(name, row, RAVIK_LCD_FRAME_SIZE);
    }
    std::size_t coverageBytes = 0;
    Row glyphs;
    const Asset set = glyphSet(&coverageBytes);
    add(glyphs, set, false);
    add(all, set, false);
    print("glyphs", glyphs, RAVIK_LCD_FRAME_SIZE);
    print("all", all, RAVIK_LCD_FRAME_SIZE);
    std::printf("\n* microseconds to unpack 9849 bytes (one 98 x 67 frame) at that speed.\n"
                "glyphs: %zu glyphs in %d x %d cells, grey 12-bit; as the runtime's 4-bit "
                "coverage font they take %zu bytes.\n",
                set.packed.size(), set.width, set.height, coverageBytes);
    return 0;
}
