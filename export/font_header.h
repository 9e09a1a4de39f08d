#pragma once

// A glyph set as a C header for the firmware runtime: `static const ravik_lcd_font NAME` with its
// glyph table (ascending by code point) and the bitmaps, in the types ravik_lcd.h declares. Plain
// C++ with standard types only.

#include <cstdint>
#include <string>
#include <vector>

namespace ravik {

// One glyph as the runtime's ravik_lcd_glyph holds it; the bitmap starts at `offset` of the
// font's bitmaps.
struct FontGlyph {
    char32_t codepoint = 0;
    std::uint32_t offset = 0;
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    int advance = 0;
};

// A font as the runtime's ravik_lcd_font holds it: glyphs ascending by code point, each bitmap
// 4-bit coverage (alpha) or a packed RGB444 picture.
struct PackedFont {
    std::vector<FontGlyph> glyphs;
    std::vector<std::uint8_t> bitmaps;
    int lineHeight = 0;
    int ascent = 0;
    bool alpha = true;
};

// Why the runtime's fields can't hold the font, in Chinese (a glyph wider or taller than 255, a
// left or top outside -128 to 127, an advance, line height or ascent outside 0 to 255, more than
// 65,535 glyphs, code points not strictly ascending, an offset past the bitmaps); empty when they
// can. Nothing is ever cut to fit.
std::string packedFontProblem(const PackedFont& font);

// The header: an include guard (as headerGuard names it), "ravik_lcd.h", then NAME_glyphs[] and
// NAME_bitmaps[] with `attribute` (e.g. PROGMEM, or a section) between each array's declarator and
// its initialiser, then `static const ravik_lcd_font NAME`. Throws std::invalid_argument with
// packedFontProblem's text when the font doesn't fit the runtime's fields. The name and attribute
// are used as given.
std::string formatFontHeader(const std::string& name, const std::string& attribute,
                             const PackedFont& font);

// The same arrays for a source file whose header declares the font: no #include, the arrays
// static, `const ravik_lcd_font NAME` visible to other files. Throws as formatFontHeader does.
std::string formatFontDefinition(const std::string& name, const std::string& attribute,
                                 const PackedFont& font);

} // namespace ravik
