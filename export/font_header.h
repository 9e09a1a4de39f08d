#pragma once

// A glyph set as a C header for the firmware runtime: `static const ravik_lcd_font NAME` with its
// glyph table (ascending by code point) and the bitmaps, in the types ravik_lcd.h declares. Plain
// C++ with standard types only.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ravik {

// Bytes of one glyph record in the runtime's table (RAVIK_LCD_GLYPH_SIZE), its code point
// included, on every chip.
inline constexpr std::size_t kGlyphRecordBytes = 10;

// One glyph as the runtime's glyph record holds it; the bitmap starts at `offset` of the font's
// bitmaps.
struct FontGlyph {
    char32_t codepoint = 0;
    std::uint32_t offset = 0;
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    int advance = 0;
    bool compressed = false; // a coverage glyph stored as the compressed bit stream
};

// A font as the runtime's ravik_lcd_font holds it: glyphs ascending by code point, each bitmap
// coverage levels of `bpp` bits (alpha), packed or compressed, or a packed RGB444 picture.
struct PackedFont {
    std::vector<FontGlyph> glyphs;
    std::vector<std::uint8_t> bitmaps;
    int lineHeight = 0;
    int ascent = 0;
    bool alpha = true;
    int bpp = 4; // bits of a coverage level: 1, 2 or 4
};

// What the glyphs are, as the headers' comments say it: "4-bit coverage, compressed",
// "RGB444 pictures".
std::string fontKind(const PackedFont& font);

// The plane table: for each plane past the first that has glyphs, the plane and the index of its
// first glyph (three bytes each in the header).
std::vector<std::pair<int, std::size_t>> fontPlanes(const PackedFont& font);

// The glyph records (kGlyphRecordBytes each) and the plane table's bytes, as the header's arrays
// hold them, for drawing with the runtime in the program itself.
std::vector<std::uint8_t> glyphRecords(const PackedFont& font);
std::vector<std::uint8_t> planeTable(const PackedFont& font);

// The bytes the font's arrays take in flash on any chip: bitmaps, glyph records and planes.
std::uint64_t fontFlashBytes(const PackedFont& font);

// Why the runtime's fields can't hold the font, in Chinese (bits a pixel not 1, 2 or 4, a
// compressed picture glyph, an offset past 8 MB, a glyph wider or taller than 255, a
// left or top outside -128 to 127, an advance, line height or ascent outside 0 to 255, more than
// 65,535 glyphs, code points not strictly ascending, an offset past the bitmaps); empty when they
// can. Nothing is ever cut to fit.
std::string packedFontProblem(const PackedFont& font);

// The header: an include guard (as headerGuard names it), "ravik_lcd.h", then NAME_bitmaps[],
// NAME_glyphs[] (RAVIK_LCD_GLYPH records) and, for code points past U+FFFF, NAME_planes[], with
// `attribute` (e.g. PROGMEM, or a section) between each array's declarator and its initialiser,
// then `static const ravik_lcd_font NAME`. Throws std::invalid_argument with packedFontProblem's
// text when the font doesn't fit the runtime's fields. The name and attribute are used as given.
std::string formatFontHeader(const std::string& name, const std::string& attribute,
                             const PackedFont& font);

// The same arrays for a source file whose header declares the font: no #include, the arrays
// static, `const ravik_lcd_font NAME` visible to other files. Throws as formatFontHeader does.
std::string formatFontDefinition(const std::string& name, const std::string& attribute,
                                 const PackedFont& font);

} // namespace ravik
