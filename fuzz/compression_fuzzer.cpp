// The compression encoder and the runtime's decoder. With the first byte even: pictures made
// from the input (runs, changes between frames and noise), stored raw, as runs and literals, in
// the copying form or whichever is smaller, whole or as a delta animation, then unpacked and
// streamed by ravik_lcd_unpack / ravik_lcd_stream, which must give every picture back byte for
// byte. With it odd: the rest of the input as the stored data itself, read as either token form,
// corrupt or not, which the decoder must cut off where it ends, reading nothing past `stored`
// bytes, writing nothing past `size` and copying nothing from before the picture's start, and
// unpack and stream must agree. Pictures are up to 250 pixels wide, past the copies' history.

#include "codec/compression.h"
#include "codec/packed_picture.h"
#include "fuzz_input.h"
#include "runtime/ravik_lcd.h"
#include "runtime_model.h"

#include <algorithm>

namespace {

using namespace ravik;
using namespace ravik::fuzz;

// Pixels in spans: a byte with its top bit set repeats the last colour up to 128 times, any other
// starts a new colour from the next two bytes.
ModelPixels pictureFrom(ByteSource& input, std::size_t count) {
    ModelPixels pixels;
    std::uint16_t colour = 0;
    while (pixels.size() < count) {
        const std::uint8_t step = input.byte();
        if (step & 0x80) {
            pixels.insert(pixels.end(),
                          std::min<std::size_t>((step & 0x7F) + 1u, count - pixels.size()), colour);
        } else {
            colour = std::uint16_t((step << 8 | input.word()) & 0x0FFF);
            pixels.push_back(colour);
        }
    }
    return pixels;
}

// The picture before with a few spans changed, as a later frame of an animation.
ModelPixels changedFrom(ByteSource& input, ModelPixels pixels) {
    for (int changes = input.byte() % 8; changes > 0; --changes) {
        const auto at = std::size_t(input.inRange(0, std::int64_t(pixels.size()) - 1));
        const auto length = std::min(std::size_t(input.inRange(1, 300)), pixels.size() - at);
        const ModelPixels span = pictureFrom(input, length);
        std::copy(span.begin(), span.end(), pixels.begin() + std::ptrdiff_t(at));
    }
    return pixels;
}

ravik_lcd_asset assetOf(std::uint16_t width, std::uint16_t height, std::size_t count,
                        std::size_t size, bool delta, Compression compression,
                        const std::vector<std::uint8_t>& data,
                        const std::vector<std::uint32_t>& offsets) {
    return {width,
            height,
            std::uint16_t(count),
            std::uint32_t(size),
            std::uint32_t(data.size()),
            delta,
            std::uint8_t(compression),
            nullptr,
            nullptr,
            data.empty() ? nullptr : data.data(),
            offsets.data()};
}

// Bits 2 and 4 of the first byte: raw, runs and literals (bit 2, as the seeds were made), the
// copying form (bit 4), or the smaller of the two (both).
Compression compressionOf(std::uint8_t how) {
    constexpr Compression kForms[] = {Compression::Raw, Compression::Rle, Compression::Lz,
                                      Compression::Auto};
    return kForms[(how >> 2 & 1) | (how >> 3 & 2)];
}

void checkRoundTrip(ByteSource& input, std::uint8_t how) {
    const bool delta = how & 2;
    const Compression compression = compressionOf(how);
    const auto width = std::uint16_t(input.inRange(1, 250));
    // At most about 6,000 pixels a picture: the cheapest parse takes its time per pixel.
    const auto height = std::uint16_t(input.inRange(1, std::max(1, 6000 / width)));
    const std::size_t pixelCount = std::size_t(width) * height;
    std::vector<std::vector<std::uint8_t>> pictures;
    ModelPixels pixels = pictureFrom(input, pixelCount);
    pictures.push_back(packModel(pixels));
    for (int more = input.byte() % 4; more > 0; --more) {
        pixels = how & 8 ? changedFrom(input, pixels) : pictureFrom(input, pixelCount);
        pictures.push_back(packModel(pixels));
    }
    const StoredPictures stored = storePictures(pictures, width, height, compression, delta);
    require(compression == Compression::Auto ? stored.compression != Compression::Raw
                                             : stored.compression == compression);
    const std::size_t size = packedSize(width, height);
    require(stored.size == size && stored.width == width && stored.height == height);
    require(stored.offsets.size() == pictures.size() + 1 && stored.offsets.front() == 0 &&
            stored.offsets.back() == stored.data.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        // Never larger than raw.
        require(stored.offsets[i] <= stored.offsets[i + 1] &&
                stored.offsets[i + 1] - stored.offsets[i] <= size);
    }

    const std::vector<std::uint8_t> data = exactCopy(stored.data);
    const ravik_lcd_asset asset = assetOf(width, height, pictures.size(), size, delta,
                                          stored.compression, data, stored.offsets);
    std::vector<std::uint8_t> out(size, 0xA5);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        ravik_lcd_unpack(&asset, std::uint16_t(i), out.data());
        require(out == pictures[i]);
        Streamed streamed;
        ravik_lcd_stream(&asset, std::uint16_t(i), collectStreamed, &streamed);
        require(!streamed.badPiece);
        require(delta && i > 0 ? streamed.bytes.empty() : streamed.bytes == pictures[i]);
    }
    // The encoder's tokens of each picture alone decode to it too.
    if (!delta) {
        for (const std::vector<std::uint8_t>& picture : pictures) {
            const bool copying = how & 16;
            const std::vector<std::uint8_t> tokens = exactCopy(
                copying ? lzTokens(picture, width, height) : rleTokens(picture, width, height));
            if (tokens.size() == size) {
                continue; // that length reads as raw
            }
            const std::vector<std::uint32_t> offsets{0, std::uint32_t(tokens.size())};
            const ravik_lcd_asset one =
                assetOf(width, height, 1, size, false, copying ? Compression::Lz : Compression::Rle,
                        tokens, offsets);
            std::fill(out.begin(), out.end(), 0x5A);
            ravik_lcd_unpack(&one, 0, out.data());
            require(out == picture);
            Streamed streamed;
            ravik_lcd_stream(&one, 0, collectStreamed, &streamed);
            require(!streamed.badPiece && streamed.bytes == picture);
        }
    }
}

void checkCorrupt(ByteSource& input, std::uint8_t how) {
    const bool delta = how & 2;
    const auto width = std::uint16_t(input.inRange(1, 250));
    const auto height = std::uint16_t(input.inRange(1, 80));
    const auto count = std::size_t(input.inRange(1, 3));
    // Where each picture starts, ascending; the last ends with the data.
    std::vector<std::uint32_t> cuts(count - 1);
    for (std::uint32_t& cut : cuts) {
        cut = input.word();
    }
    const std::vector<std::uint8_t> data = exactCopy(input.rest());
    for (std::uint32_t& cut : cuts) {
        cut = std::uint32_t(data.empty() ? 0 : cut % (data.size() + 1));
    }
    std::sort(cuts.begin(), cuts.end());
    std::vector<std::uint32_t> offsets{0};
    offsets.insert(offsets.end(), cuts.begin(), cuts.end());
    offsets.push_back(std::uint32_t(data.size()));

    const std::size_t size = RAVIK_LCD_PACKED_SIZE(width, height);
    const ravik_lcd_asset asset =
        assetOf(width, height, count, size, delta, how & 16 ? Compression::Lz : Compression::Rle,
                data, offsets);
    std::vector<std::uint8_t> out(size, 0xA5);
    std::vector<std::uint8_t> again(size, 0x5A);
    for (std::size_t i = 0; i < count; ++i) {
        const auto index = std::uint16_t(i);
        ravik_lcd_unpack(&asset, index, out.data());
        Streamed streamed;
        ravik_lcd_stream(&asset, index, collectStreamed, &streamed);
        require(!streamed.badPiece);
        if (delta && i > 0) {
            require(streamed.bytes.empty());
            continue;
        }
        // A whole picture leaves nothing of what the buffer held, and the stream is its bytes.
        ravik_lcd_unpack(&asset, index, again.data());
        require(out == again);
        require(streamed.bytes == out);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteSource input({data, size});
    const std::uint8_t how = input.byte();
    if (how & 1) {
        checkCorrupt(input, how);
    } else {
        checkRoundTrip(input, how);
    }
    return 0;
}
