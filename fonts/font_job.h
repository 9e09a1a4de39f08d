#pragma once

// One glyph set from start to finish: the characters gathered, the font found and rendered, the
// glyphs packed as coverage or as pictures, and the header written. The window and the command
// line both make their fonts here, so the same choices give the same bytes.

#include "codec/frame_buffer.h"
#include "export/font_header.h"
#include "fonts/glyph_set.h"
#include "fonts/text_preview.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ravik::fonts {

struct FontJob {
    std::string font; // a font file, a family name, or empty for the system's Chinese sans serif
    int face = 0;
    int pixelSize = 16;
    // Character set items as characterSet reads them (`ascii`, `gb2312-1`, `@FILE`, ranges…).
    std::vector<std::string> chars;
    // UTF-8 text whose characters are taken as they stand, never read as a set's name: what a
    // user typed ("ascii" here is five letters).
    std::string literalText;
    bool alpha = true;        // coverage levels; otherwise `color` over `background` as pictures
    CoverageOptions coverage; // bits a pixel and compression of coverage glyphs
    ColorValue color = RGB(0xFF, 0xFF, 0xFF);
    ColorValue background = RGB(0, 0, 0);
    Hinting hinting = Hinting::Light;
    // Where the characters the font lacks come from, in turn: each from the first that has it.
    std::vector<FontName> fallbacks;
    // The rows from one line's top to the next's, 0 for the font's own; the baseline stays the
    // font's ascent below the line's top whatever it is.
    int lineHeight = 0;
    std::string name = "font";
    std::string attribute;
};

struct FontJobResult {
    PackedFont font;
    std::string header;
    // Why nothing was made, in Chinese; empty when the font and header are there.
    std::string failure;
    // Every character the font lacks, when that is the failure; the sentence names the first few.
    std::vector<char32_t> missing;

    bool ok() const { return failure.empty(); }
};

// The sorted, unique code points of the job's items and literal text. Throws FontError.
std::vector<char32_t> jobCharacters(const FontJob& job);

// Runs the job; never throws for a fault of the input (a missing character, a bad file, no font,
// a bad name), which comes back as `failure`.
FontJobResult runFontJob(const FontJob& job);

// The text drawn on the panel as the runtime draws it, as the bytes of a PNG file with each panel
// pixel scale × scale pixels; nothing when the picture can't be made (a scale below 1 or a
// picture too large). Throws std::invalid_argument as previewFrame does.
std::optional<std::string> textPreviewPng(const PackedFont& font, std::string_view text,
                                          const TextPreview& options, int scale);

// Glyph `index` of the font as the panel shows it, row by row, drawn by the runtime itself: a
// coverage glyph blended over `background` in `color`, a picture glyph as it is packed. Each
// channel's nibble n comes back as n × 16, as the panel previews show it. Throws
// std::invalid_argument when the runtime can't hold the font.
std::vector<ColorValue> glyphPixels(const PackedFont& font, std::size_t index, ColorValue color,
                                    ColorValue background);

} // namespace ravik::fonts
