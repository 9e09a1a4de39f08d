// The firmware runtime through its public functions, each against a model written from what
// runtime/ravik_lcd.h says it does: ravik_lcd_draw (any place, size and mask), set and get pixel,
// ravik_lcd_text (any font and UTF-8, valid or not) and ravik_lcd_unpack / ravik_lcd_stream over
// well-formed token streams. The first byte picks the function; every buffer is exactly as large
// as the header says is enough, so a byte outside it stops the run under AddressSanitizer.

#include "export/text.h"
#include "fuzz_input.h"
#include "runtime/ravik_lcd.h"
#include "runtime_model.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <string>

namespace {

using namespace ravik::fuzz;

constexpr int kWidth = RAVIK_LCD_WIDTH;
constexpr int kHeight = RAVIK_LCD_HEIGHT;

bool insideFrame(std::int64_t x, std::int64_t y) {
    return x >= 0 && x < kWidth && y >= 0 && y < kHeight;
}

std::size_t pixelIndex(std::int64_t x, std::int64_t y) {
    return std::size_t(y * kWidth + x);
}

// A frame of whatever the input gives, a few bytes repeated.
std::vector<std::uint8_t> frameFrom(ByteSource& input) {
    const std::span<const std::uint8_t> pattern = input.bytes(input.byte() % 8);
    std::vector<std::uint8_t> frame(RAVIK_LCD_FRAME_SIZE);
    for (std::size_t i = 0; i < frame.size() && !pattern.empty(); ++i) {
        frame[i] = std::uint8_t(pattern[i % pattern.size()] + i / pattern.size());
    }
    return frame;
}

// A place near the frame, or anywhere an int reaches.
int placeFrom(ByteSource& input, bool anywhere) {
    return int(anywhere ? input.inRange(INT_MIN, INT_MAX) : input.inRange(-140, 140));
}

// `count` bytes of the input, zeros where it ends.
std::vector<std::uint8_t> bytesFrom(ByteSource& input, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    const std::span<const std::uint8_t> given = input.bytes(count);
    std::copy(given.begin(), given.end(), bytes.begin());
    return bytes;
}

void checkDraw(ByteSource& input) {
    const std::uint8_t how = input.byte();
    const bool anywhere = how & 1;
    const bool masked = how & 2;
    const int width = int(input.inRange(-2, 120));
    const int height = int(input.inRange(-2, 80));
    const int x = placeFrom(input, anywhere);
    const int y = placeFrom(input, anywhere);
    const std::size_t pixelCount = width > 0 && height > 0 ? std::size_t(width) * height : 0;
    // A picture of no pixels still gets a byte, so that the pointer is not NULL.
    const std::vector<std::uint8_t> pixels =
        bytesFrom(input, std::max<std::size_t>(1, RAVIK_LCD_PACKED_SIZE(pixelCount, 1)));
    const std::vector<std::uint8_t> mask =
        masked && pixelCount > 0 ? bytesFrom(input, RAVIK_LCD_MASK_SIZE(width, height))
                                 : std::vector<std::uint8_t>{};
    std::vector<std::uint8_t> frame = frameFrom(input);

    ModelPixels expected = unpackModel(frame, std::size_t(kWidth) * kHeight);
    const ModelPixels picture = unpackModel(pixels, pixelCount);
    const std::size_t maskRow = (std::size_t(std::max(width, 0)) + 7) / 8;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const std::int64_t fx = std::int64_t(x) + column;
            const std::int64_t fy = std::int64_t(y) + row;
            const bool drawn =
                !masked ||
                (mask[std::size_t(row) * maskRow + std::size_t(column) / 8] >> (7 - column % 8) &
                 1);
            if (insideFrame(fx, fy) && drawn) {
                expected[pixelIndex(fx, fy)] = picture[std::size_t(row) * width + column];
            }
        }
    }
    ravik_lcd_draw(frame.data(), x, y, pixels.data(), width, height,
                   masked && pixelCount > 0 ? mask.data() : nullptr);
    require(frame == packModel(expected));
    // With nothing to draw into or from, nothing happens.
    ravik_lcd_draw(nullptr, x, y, pixels.data(), width, height, nullptr);
    ravik_lcd_draw(frame.data(), x, y, nullptr, width, height, nullptr);
    require(frame == packModel(expected));
}

void checkPixels(ByteSource& input) {
    std::vector<std::uint8_t> frame = frameFrom(input);
    ModelPixels expected = unpackModel(frame, std::size_t(kWidth) * kHeight);
    while (!input.empty()) {
        const std::uint8_t how = input.byte();
        const int x = placeFrom(input, how & 1);
        const int y = placeFrom(input, how & 1);
        const std::uint16_t rgb = input.word();
        const bool inside = insideFrame(x, y);
        if (how & 2) {
            ravik_lcd_set_pixel(frame.data(), x, y, rgb);
            if (inside) {
                expected[pixelIndex(x, y)] = rgb & 0x0FFF;
            }
        }
        require(ravik_lcd_get_pixel(frame.data(), x, y) ==
                (inside ? expected[pixelIndex(x, y)] : 0));
        require(ravik_lcd_get_pixel(nullptr, x, y) == 0);
        ravik_lcd_set_pixel(nullptr, x, y, rgb);
    }
    require(frame == packModel(expected));
}

// The code points a glyph table and a text pick from: ASCII, hanzi, the replacement character
// and the ends of the range, so that texts find the glyphs often.
char32_t codePointFrom(ByteSource& input) {
    static constexpr char32_t kPool[] = {0x00,   0x01,   0x20,    0x41,    0x42,    0x61,
                                         0x7F,   0x80,   0x7FF,   0x800,   0x4E00,  0x4E2D,
                                         0xFFFD, 0xFFFF, 0x10000, 0x1F600, 0x10FFFF};
    const std::uint8_t pick = input.byte();
    return pick < std::size(kPool) ? kPool[pick] : char32_t(0x20 + pick);
}

// The code points of the text as the header reads them: an invalid sequence (cut short,
// overlong, a surrogate, past U+10FFFF) counts as U+FFFD; one cut short ends at the byte that
// breaks it, which starts the next sequence.
std::vector<char32_t> textModel(const std::string& text) {
    std::vector<char32_t> codes;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = std::uint8_t(text[i]);
        std::size_t length = 0;
        char32_t code = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            codes.push_back(lead);
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, least = 0x10000;
        } else {
            codes.push_back(0xFFFD);
            ++i;
            continue;
        }
        std::size_t k = 1;
        for (; k < length && i + k < text.size() && (std::uint8_t(text[i + k]) & 0xC0) == 0x80;
             ++k) {
            code = code << 6 | (std::uint8_t(text[i + k]) & 0x3F);
        }
        const bool whole = k == length;
        const bool valid =
            whole && code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        codes.push_back(valid ? code : 0xFFFD);
        i += k;
    }
    return codes;
}

// A glyph as its record says, and the font built from the input: records, planes and bitmaps in
// buffers of their exact size.
struct ModelGlyph {
    char32_t codepoint = 0;
    std::uint32_t offset = 0;
    bool compressed = false;
    bool missing = false; // its metrics index lies past the table
    int width = 0, height = 0, left = 0, top = 0, advance = 0;
};

struct ModelFont {
    std::vector<ModelGlyph> glyphs;
    std::vector<std::uint8_t> records;
    std::vector<std::uint8_t> metrics;
    std::vector<std::uint8_t> groups;
    std::vector<std::uint8_t> planes;
    std::vector<std::uint8_t> bitmaps;
    ravik_lcd_font font{};
    bool layoutCorrupt = false; // record_size, offset_bits or groups from the input as they come
};

// Bits that hold every value from 0 to `largest`.
int bitsFor(std::uint32_t largest) {
    return int(std::bit_width(largest));
}

// The stored bytes of a packed bitmap: levels of `bpp` bits, or RGB444 pictures (bpp 0).
std::size_t packedBytes(const ModelGlyph& glyph, int bpp) {
    const std::size_t pixels = std::size_t(glyph.width) * std::size_t(glyph.height);
    return bpp == 0 ? RAVIK_LCD_PACKED_SIZE(pixels, 1) : (pixels * std::size_t(bpp) + 7) / 8;
}

// `how`: bit 0 coverage, bits 1-2 its bits a pixel, bit 3 glyphs compressed (the bitmaps then
// random bytes: corrupt streams), bit 4 the bitmaps cut short, bit 5 grouped records (steps and
// lengths), bit 6 the metrics table cut short, bit 7 the record layout's fields corrupt.
ModelFont fontFrom(ByteSource& input) {
    ModelFont model;
    const std::uint8_t how = input.byte();
    std::vector<char32_t> codes(input.byte() % 9);
    for (char32_t& code : codes) {
        code = codePointFrom(input);
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    const bool alpha = how & 1;
    static constexpr int kBpp[] = {1, 2, 4, 4};
    const int bpp = alpha ? kBpp[how >> 1 & 3] : 0;
    const bool compressed = alpha && (how & 8);
    const bool grouped = how & 32;
    std::vector<std::uint32_t> lengths;
    std::size_t size = 0;
    for (const char32_t code : codes) {
        ModelGlyph glyph;
        glyph.codepoint = code;
        glyph.width = int(input.inRange(0, 24));
        glyph.height = int(input.inRange(0, 24));
        glyph.left = std::int8_t(input.byte());
        glyph.top = std::int8_t(input.byte());
        glyph.advance = input.byte();
        glyph.compressed = compressed;
        // Grouped glyphs lie one after the other, each its length on from the one before.
        const std::size_t length = compressed ? input.inRange(0, 24) : packedBytes(glyph, bpp);
        glyph.offset = std::uint32_t(compressed && !grouped ? input.inRange(0, 64) : size);
        size = compressed && !grouped ? std::max<std::size_t>(size, glyph.offset) + length
                                      : size + length;
        lengths.push_back(std::uint32_t(length));
        model.glyphs.push_back(glyph);
        for (const int byte : {glyph.width, glyph.height, glyph.left, glyph.top, glyph.advance,
                               compressed ? 1 : 0}) {
            model.metrics.push_back(std::uint8_t(byte));
        }
    }
    // The records: each glyph its own metrics entry, above its whole offset, or in a grouped font
    // its length after its step; a group every 1 to 4 glyphs and where a step passes a byte.
    const std::size_t count = model.glyphs.size();
    const std::size_t perGroup = grouped ? input.inRange(1, 4) : 0;
    std::uint32_t largest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        largest = std::max(largest, grouped ? lengths[i] : model.glyphs[i].offset);
    }
    const int offsetBits = bitsFor(largest) + int(input.inRange(0, 2));
    const int fieldBits = offsetBits + bitsFor(std::uint32_t(count));
    const int head = grouped ? 1 : 2;
    const int recordSize = head + std::max(1, (fieldBits + 7) / 8) + int(input.inRange(0, 1));
    std::size_t inGroup = 0;
    char32_t before = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const ModelGlyph& glyph = model.glyphs[i];
        if (grouped && (i == 0 || inGroup == perGroup || glyph.codepoint - before > 0xFF)) {
            for (const std::uint32_t value :
                 {std::uint32_t(glyph.codepoint), std::uint32_t(i), std::uint32_t(glyph.offset)}) {
                const int bytes = model.groups.size() % 8 == 3 ? 2 : 3;
                for (int k = 0; k < bytes; ++k) {
                    model.groups.push_back(std::uint8_t(value >> (8 * k)));
                }
            }
            inGroup = 0;
            before = glyph.codepoint;
        }
        ++inGroup;
        const std::uint64_t field = (grouped ? lengths[i] : glyph.offset) | std::uint64_t(i)
                                                                                << offsetBits;
        const std::uint32_t code =
            grouped ? std::uint32_t(glyph.codepoint - before) : std::uint32_t(glyph.codepoint);
        before = glyph.codepoint;
        for (int k = 0; k < recordSize; ++k) {
            model.records.push_back(
                std::uint8_t(k < head ? code >> (8 * k) : field >> (8 * (k - head))));
        }
    }
    std::size_t metricsCount = count;
    if (how & 64) {
        metricsCount = input.inRange(0, std::uint32_t(count));
        for (std::size_t i = metricsCount; i < count; ++i) {
            model.glyphs[i].missing = true;
        }
        model.metrics.resize(metricsCount * RAVIK_LCD_METRICS_SIZE);
    }
    if (how & 16) {
        size -= std::min<std::size_t>(size, input.inRange(0, 8));
    }
    for (std::size_t i = 0; !grouped && i < model.glyphs.size(); ++i) {
        const int plane = int(model.glyphs[i].codepoint >> 16);
        if (plane != 0 &&
            (model.planes.empty() || model.planes[model.planes.size() - 3] != plane)) {
            model.planes.insert(model.planes.end(),
                                {std::uint8_t(plane), std::uint8_t(i), std::uint8_t(i >> 8)});
        }
    }
    model.records = exactCopy(model.records);
    model.metrics = exactCopy(model.metrics);
    model.planes = exactCopy(model.planes);
    model.bitmaps = exactCopy(bytesFrom(input, size));
    model.font.glyphs = model.records.empty() ? nullptr : model.records.data();
    model.font.metrics = model.metrics.empty() ? nullptr : model.metrics.data();
    model.font.metrics_count = std::uint16_t(metricsCount);
    model.font.record_size = std::uint8_t(recordSize);
    model.font.offset_bits = std::uint8_t(offsetBits);
    if (how & 128) {
        model.layoutCorrupt = true;
        // Record sizes that fit the arrays are theirs: only values out of range; any bytes of
        // the groups.
        if (const std::uint8_t size = input.byte(); size <= head || size > head + 4) {
            model.font.record_size = size;
        }
        model.font.offset_bits = input.byte();
        for (std::uint8_t& byte : model.groups) {
            byte = input.byte();
        }
    }
    model.groups = exactCopy(model.groups);
    model.font.groups = grouped && !model.groups.empty() ? model.groups.data() : nullptr;
    model.font.group_count = std::uint16_t(model.groups.size() / 8);
    model.font.planes = model.planes.empty() ? nullptr : model.planes.data();
    model.font.plane_count = std::uint8_t(model.planes.size() / 3);
    model.font.count = std::uint16_t(model.glyphs.size());
    model.font.bitmaps = model.bitmaps.empty() ? nullptr : model.bitmaps.data();
    model.font.bitmaps_size = std::uint32_t(model.bitmaps.size());
    model.font.line_height = input.byte();
    model.font.ascent = input.byte();
    model.font.bpp = std::uint8_t(bpp);
    return model;
}

// Blends one colour nibble over the frame's by coverage a, as the header gives it.
std::uint16_t blendModel(std::uint16_t colour, std::uint16_t old, int a) {
    std::uint16_t blended = 0;
    for (int shift = 0; shift <= 8; shift += 4) {
        const int c = colour >> shift & 0x0F;
        const int o = old >> shift & 0x0F;
        blended |= std::uint16_t((c * a + o * (15 - a) + 7) / 15 << shift);
    }
    return blended;
}

// Level n of `bpp` bits packed from the top bit of bits[0], scaled to a 4-bit coverage.
int levelModel(std::span<const std::uint8_t> bits, std::size_t n, int bpp) {
    int level = 0;
    for (int k = 0; k < bpp; ++k) {
        const std::size_t bit = n * std::size_t(bpp) + std::size_t(k);
        level = level << 1 | (bits[bit / 8] >> (7 - bit % 8) & 1);
    }
    return level * 15 / ((1 << bpp) - 1);
}

// Draws the text into `expected` as the header describes, returning the pen x. A compressed
// glyph's pixels are not modelled: its box is marked in `anywhere` (pixels it may change).
int textModelDraw(ModelPixels* expected, std::vector<bool>& anywhere, int x, int y,
                  const std::vector<char32_t>& codes, const ModelFont& model, std::uint16_t rgb) {
    const ravik_lcd_font& font = model.font;
    std::int64_t pen = x;
    for (const char32_t code : codes) {
        const auto found = std::find_if(model.glyphs.begin(), model.glyphs.end(),
                                        [&](const ModelGlyph& g) { return g.codepoint == code; });
        if (found == model.glyphs.end() || found->missing) {
            pen += font.line_height / 2;
        } else {
            const ModelGlyph& glyph = *found;
            const bool fits = glyph.offset <= model.bitmaps.size() &&
                              (glyph.compressed ||
                               packedBytes(glyph, font.bpp) <= model.bitmaps.size() - glyph.offset);
            const std::size_t pixels = std::size_t(glyph.width) * glyph.height;
            const std::span<const std::uint8_t> bits =
                fits ? std::span(model.bitmaps).subspan(glyph.offset)
                     : std::span<const std::uint8_t>();
            const ModelPixels colours =
                font.bpp != 0 || !fits ? ModelPixels{} : unpackModel(bits, pixels);
            for (int row = 0; fits && row < glyph.height && expected; ++row) {
                for (int column = 0; column < glyph.width; ++column) {
                    const std::int64_t fx = pen + glyph.left + column;
                    const std::int64_t fy = std::int64_t(y) + font.ascent - glyph.top + row;
                    if (!insideFrame(fx, fy)) {
                        continue;
                    }
                    const std::size_t at = std::size_t(row) * glyph.width + column;
                    std::uint16_t& pixel = (*expected)[pixelIndex(fx, fy)];
                    if (glyph.compressed) {
                        anywhere[pixelIndex(fx, fy)] = true;
                    } else if (font.bpp != 0) {
                        pixel = blendModel(rgb & 0x0FFF, pixel, levelModel(bits, at, font.bpp));
                    } else {
                        pixel = colours[at];
                    }
                }
            }
            pen += glyph.advance;
        }
        // The pen stops at 32767, so the x returned fits a 16-bit int.
        pen = std::min<std::int64_t>(pen, 32767);
    }
    return int(pen);
}

void checkText(ByteSource& input) {
    const std::uint8_t how = input.byte();
    const ModelFont model = fontFrom(input);
    // A 16-bit int's range: the pen's promise holds there on every chip.
    const int x = int(input.inRange(-32768, 32767));
    const int y = int(input.inRange(-32768, 32767));
    const std::uint16_t rgb = input.word();
    std::vector<std::uint8_t> frame = frameFrom(input);
    std::string text;
    if (how & 1) { // raw bytes, valid UTF-8 or not, up to the first NUL
        const std::span<const std::uint8_t> raw = input.rest();
        text.assign(raw.begin(), std::find(raw.begin(), raw.end(), 0));
    } else {
        while (!input.empty()) {
            const char32_t code = codePointFrom(input);
            if (code != 0) {
                text += ravik::utf8Of(code);
            }
        }
    }
    const std::vector<char32_t> codes = textModel(text);
    ModelPixels expected = unpackModel(frame, std::size_t(kWidth) * kHeight);
    std::vector<bool> anywhere(expected.size(), false);
    const int pen = textModelDraw(&expected, anywhere, x, y, codes, model, rgb);
    // The text in a buffer of its own size, NUL included.
    const std::vector<char> bytes(text.c_str(), text.c_str() + text.size() + 1);
    if (model.layoutCorrupt) {
        // Any glyphs or none, but nothing read outside the tables (the sanitizer's part).
        ravik_lcd_text(frame.data(), x, y, bytes.data(), &model.font, rgb);
        return;
    }
    require(ravik_lcd_text(frame.data(), x, y, bytes.data(), &model.font, rgb) == pen);
    // A compressed glyph, corrupt or not, changes nothing outside its box.
    ModelPixels drawn = unpackModel(frame, expected.size());
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        if (anywhere[i]) {
            drawn[i] = expected[i];
        }
    }
    require(drawn == expected);
    require(ravik_lcd_text(nullptr, x, y, bytes.data(), &model.font, rgb) == pen);
    require(ravik_lcd_text(frame.data(), x, y, nullptr, &model.font, rgb) == x);
    require(ravik_lcd_text(frame.data(), x, y, bytes.data(), nullptr, rgb) == x);
}

void checkUnpack(ByteSource& input) {
    const std::uint8_t how = input.byte();
    const bool delta = how & 1;
    const auto width = std::uint16_t(input.inRange(1, 64));
    const auto height = std::uint16_t(input.inRange(1, 64));
    const auto count = std::uint16_t(input.inRange(1, 3));
    const std::size_t pixelCount = std::size_t(width) * height;
    const std::size_t size = RAVIK_LCD_PACKED_SIZE(width, height);

    // Picture 0 raw (the pad nibble 0, as packed) or tokens; the others tokens.
    std::vector<std::uint8_t> data;
    std::vector<std::uint32_t> offsets{0};
    for (std::uint16_t i = 0; i < count; ++i) {
        std::vector<std::uint8_t> stored;
        if (i == 0 && how & 2) {
            stored = packModel(unpackModel(bytesFrom(input, size), pixelCount));
        } else {
            stored = tokensFrom(input, pixelCount);
        }
        data.insert(data.end(), stored.begin(), stored.end());
        offsets.push_back(std::uint32_t(data.size()));
    }
    const std::vector<std::uint8_t> stored = exactCopy(data);
    const ravik_lcd_asset asset{width,
                                height,
                                count,
                                std::uint32_t(size),
                                std::uint32_t(stored.size()),
                                delta,
                                RAVIK_LCD_RLE,
                                nullptr,
                                nullptr,
                                stored.empty() ? nullptr : stored.data(),
                                offsets.data()};

    std::vector<std::uint8_t> out(size, std::uint8_t(how));
    ModelPixels previous(pixelCount, 0);
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::span<const std::uint8_t> picture =
            std::span(data).subspan(offsets[i], offsets[i + 1] - offsets[i]);
        const bool overPrevious = delta && i > 0;
        std::vector<std::uint8_t> expected =
            decodeModel(picture, size, overPrevious ? previous : ModelPixels(pixelCount, 0));
        // A token stream that happens to be `size` bytes long is a raw picture, whose last byte's
        // low nibble (no pixel's when the count is odd) may be anything; a delta frame over it
        // need not clear it.
        const bool padMayStay = overPrevious && pixelCount % 2 == 1 && (out.back() & 0x0F) != 0;
        if (!overPrevious) {
            std::fill(out.begin(), out.end(), std::uint8_t(how ^ i));
        }
        ravik_lcd_unpack(&asset, i, out.data());
        if (padMayStay) {
            // Compared without that nibble on both sides: a raw delta frame brings its own.
            out.back() &= 0xF0;
            expected.back() &= 0xF0;
        }
        require(out == expected);
        previous = unpackModel(out, pixelCount);

        Streamed streamed;
        ravik_lcd_stream(&asset, i, collectStreamed, &streamed);
        require(!streamed.badPiece);
        require(overPrevious ? streamed.bytes.empty() : streamed.bytes == expected);
    }
    // Past the last picture, or with nothing to read or write, nothing is written.
    const std::vector<std::uint8_t> before = out;
    ravik_lcd_unpack(&asset, count, out.data());
    ravik_lcd_unpack(nullptr, 0, out.data());
    ravik_lcd_unpack(&asset, 0, nullptr);
    require(out == before);
    Streamed past;
    ravik_lcd_stream(&asset, count, collectStreamed, &past);
    ravik_lcd_stream(nullptr, 0, collectStreamed, &past);
    require(past.bytes.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteSource input({data, size});
    switch (input.byte() % 4) {
    case 0:
        checkDraw(input);
        break;
    case 1:
        checkPixels(input);
        break;
    case 2:
        checkText(input);
        break;
    default:
        checkUnpack(input);
        break;
    }
    return 0;
}
