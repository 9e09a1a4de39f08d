#pragma once

// Glyph sets from any font: the font found by path or through fontconfig, its glyphs rendered by
// FreeType at an em size in pixels, and turned into the runtime's two kinds of bitmap. Plain C++
// (no Qt); every fault is a FontError.

#include "codec/packed_picture.h"
#include "export/font_header.h"
#include "export/glyph_bitmaps.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ravik::fonts {

// A font file and the face in it (collections such as .ttc hold several).
struct FontFile {
    std::string path;
    int face = 0;
};

// A font as the user names it, before it is found: what findFont takes.
struct FontName {
    std::string font; // a file, a family, or empty for the system's Chinese sans serif
    int face = 0;

    bool operator==(const FontName&) const = default;
};

// The family fontconfig is asked for when no font is named: the system's Simplified Chinese
// sans serif (Noto Sans CJK SC on Debian).
inline constexpr const char* kDefaultFontPattern = "sans-serif:lang=zh-cn";

// `font` is a font file's path (an existing file, or anything ending in a font suffix or
// holding a '/'), a family name fontconfig knows, or empty for kDefaultFontPattern's match.
// `face` picks a face of a collection. Throws FontError (FontNotFound, NotAFont,
// FaceOutOfRange).
FontFile findFont(const std::string& font, int face = 0);

// The families of the installed outline fonts as fontconfig names them, sorted, each once: what
// findFont takes by name.
std::vector<std::string> fontFamilies();

// How FreeType fits outlines to the pixel grid.
enum class Hinting {
    Light, // vertical only, shapes kept (FT_LOAD_TARGET_LIGHT): the default
    Full,  // the font's own or the auto-hinter at full strength (FT_LOAD_TARGET_NORMAL)
    None,  // unhinted outlines
    // FreeType's auto-hinter even where the font has hints of its own, fitting the outline as for
    // a 1-bit panel (stems snapped to whole pixels across as well as up and down), then drawn
    // anti-aliased: FT_LOAD_FORCE_AUTOHINT | FT_LOAD_TARGET_MONO, FT_RENDER_MODE_NORMAL. The
    // normal and light targets leave hanzi stems a fraction of a pixel wide at small sizes.
    Auto,
};

// A glyph as FreeType renders it: the bitmap's size and place relative to the pen on the
// baseline, the advance rounded to whole pixels, and 8-bit coverage row by row.
struct RenderedGlyph {
    char32_t codepoint = 0;
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    int advance = 0;
    std::vector<std::uint8_t> coverage;
};

struct RenderedFont {
    int lineHeight = 0; // the first font's size metrics, rounded to whole pixels
    int ascent = 0;
    std::vector<RenderedGlyph> glyphs; // in the order of the code points asked for
};

// Renders the code points at `pixelSize` pixels to the em (FT_Set_Pixel_Sizes(face, 0, px)),
// anti-aliased. Characters the font lacks are all reported at once (MissingCharacters, each as
// U+XXXX and the character). Throws FontError also for NotAFont, FaceOutOfRange, SizeUnavailable,
// UnsupportedGlyph.
RenderedFont renderGlyphs(const FontFile& font, std::span<const char32_t> codepoints, int pixelSize,
                          Hinting hinting = Hinting::Light);

// The same from a first font and its fallbacks: each code point from the first font in `fonts`
// that has it, every font at `pixelSize` to the em, on the first font's baseline (its ascent and
// line height are the set's). MissingCharacters lists only what no font has.
RenderedFont renderGlyphs(std::span<const FontFile> fonts, std::span<const char32_t> codepoints,
                          int pixelSize, Hinting hinting = Hinting::Light);

// How coverage glyphs are stored: bits a pixel (1, 2 or 4) and compression.
struct CoverageOptions {
    int bpp = 4;
    GlyphCompression compression = GlyphCompression::None;
};

// Coverage glyphs: each glyph's levels (coverageLevel at options.bpp) cropped to its ink, so no
// border row or column is empty (a glyph without ink is 0 × 0 and only advances), then packed or
// compressed as glyph_bitmaps.h makes them; each glyph starts at a whole byte. Glyphs sorted by
// code point.
PackedFont alphaFont(const RenderedFont& font, const CoverageOptions& options = {});

// Picture glyphs: each pixel `color` over `background` by the coverage, blended exactly at 8
// bits, then packed as any picture is.
PackedFont colorFont(const RenderedFont& font, ColorValue color, ColorValue background);

} // namespace ravik::fonts
