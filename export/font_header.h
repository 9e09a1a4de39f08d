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

// Bytes of one metrics entry in the runtime's table (RAVIK_LCD_METRICS_SIZE): width, height,
// left, top, advance, form.
inline constexpr std::size_t kGlyphMetricsBytes = 6;

// One glyph as the runtime's record and metrics entry hold it; the bitmap starts at `offset` of
// the font's bitmaps.
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

// Bytes of a group's entry in the runtime's table: its code point (3), its first glyph's index
// (2), where its bitmaps start (3).
inline constexpr std::size_t kGlyphGroupBytes = 8;
// Glyphs a group holds at most: the runtime steps through up to this many records after halving
// the groups.
inline constexpr std::size_t kGlyphsPerGroup = 32;

// The font's tables as the runtime's ravik_lcd_font points at them: glyphs of one box share a
// metrics entry; each record holds the step from the code point before, its bitmap's length and
// its metrics index in as few bytes as the font's largest need; groups hold where their code
// points and bitmaps start.
struct GlyphTables {
    std::vector<std::uint8_t> records; // recordSize bytes a glyph
    std::vector<std::uint8_t> metrics; // kGlyphMetricsBytes an entry
    std::vector<std::uint8_t> groups;  // kGlyphGroupBytes a group
    int recordSize = 2;
    int offsetBits = 0; // bits of a record's length

    std::size_t metricsCount() const { return metrics.size() / kGlyphMetricsBytes; }
    std::size_t groupCount() const { return groups.size() / kGlyphGroupBytes; }
    std::size_t bytes() const { return records.size() + metrics.size() + groups.size(); }
};

// The tables of a font packedFontProblem accepts.
GlyphTables glyphTables(const PackedFont& font);

// The bytes the font's arrays take in flash on any chip: bitmaps, records, metrics and groups.
std::uint64_t fontFlashBytes(const PackedFont& font);

// Why the runtime's fields can't hold the font, in Chinese (bits a pixel not 1, 2 or 4, a
// compressed picture glyph, an offset past 16 MB, a glyph wider or taller than 255, a
// left or top outside -128 to 127, an advance, line height or ascent outside 0 to 255, more than
// 65,535 glyphs, code points not strictly ascending, an offset past the bitmaps, a bitmap past
// 65,535 bytes); empty when they can. Nothing is ever cut to fit.
std::string packedFontProblem(const PackedFont& font);

// The header: an include guard (as headerGuard names it), "ravik_lcd.h", then NAME_bitmaps[],
// NAME_glyphs[] (the records), NAME_metrics[], NAME_groups[], with
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
