#pragma once

// The bitmaps of coverage glyphs as the firmware runtime stores them: levels of 1, 2 or 4 bits
// packed row after row, or the compressed bit stream ravik_lcd_text draws directly (ravik_lcd.h
// describes both). Plain C++ with standard types only.

#include <cstdint>
#include <span>
#include <vector>

namespace ravik {

// How coverage glyphs are stored: packed as they are, every glyph compressed, or each glyph the
// smaller of the two.
enum class GlyphCompression { None, Rle, Auto };

// 8-bit coverage to a level of `bpp` bits (1, 2 or 4): at 1 bit, on from half coverage (128)
// up; otherwise the nearest of the 2^bpp levels n × 255 / (2^bpp - 1). c / 17 (and c / 85) never
// lies halfway between two whole numbers, so there is no tie to break.
constexpr std::uint8_t coverageLevel(std::uint8_t coverage, int bpp = 4) {
    if (bpp == 1) {
        return coverage >= 128 ? 1 : 0;
    }
    const int top = (1 << bpp) - 1;
    return static_cast<std::uint8_t>((coverage * top + 127) / 255);
}

// The runtime's coverage for a level of `bpp` bits: the level scaled to 0..15 (1 bit: 0 or 15;
// 2 bits: 0, 5, 10, 15), then blended as a 4-bit coverage is.
constexpr int levelCoverage(int level, int bpp) {
    return level * 15 / ((1 << bpp) - 1);
}

// Levels (one a pixel, row after row, each below 2^bpp) packed `bpp` bits a pixel, the first
// pixel in the top bits of the first byte, rows not padded, the last byte filled with 0 bits.
std::vector<std::uint8_t> packLevels(std::span<const std::uint8_t> levels, int bpp);

// The widest glyph stored compressed: the runtime decodes a compressed row into a buffer of
// RAVIK_LCD_GLYPH_ROW bytes (64 unless the firmware sets it), so wider glyphs stay packed.
inline constexpr int kMaxCompressedWidth = 64;

// The same levels of a width × height glyph compressed. At 4 bits: each row "as the row above",
// its levels as they are, or runs of pixels as above, of none and of full coverage and literals,
// the shortest such form of each row, each token's kind coded after the kind before; the levels
// taken as they are first, then the control bits from the last bit back. At 1 and 2 bits: each
// pixel arithmetic-coded in the context of its neighbours already known, with the odds ravik_lcd.h
// lists.
std::vector<std::uint8_t> compressLevels(std::span<const std::uint8_t> levels, int width,
                                         int height, int bpp);

} // namespace ravik
