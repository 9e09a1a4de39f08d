#pragma once

// The text on the panel as the firmware draws it: the frame filled with a background colour, the
// text drawn by the runtime's own ravik_lcd_text, line below line. The caller writes it as a
// picture (previewPng in export/).

#include "codec/frame_buffer.h"
#include "export/font_header.h"
#include "runtime/ravik_lcd.h"

#include <string_view>
#include <vector>

namespace ravik::fonts {

// A PackedFont as the runtime reads it: its glyph records, metrics, group offsets and plane table
// laid out as the header lays them out, and the ravik_lcd_font pointing at them. Throws
// std::invalid_argument with packedFontProblem's sentence when the runtime can't hold the font.
class RuntimeFont {
public:
    explicit RuntimeFont(const PackedFont& font);
    RuntimeFont(const RuntimeFont&) = delete;
    RuntimeFont& operator=(const RuntimeFont&) = delete;
    const ravik_lcd_font* get() const { return &font_; }

private:
    GlyphTables tables_;
    ravik_lcd_font font_{};
};

struct TextPreview {
    ColorValue background = RGB(0, 0, 0);
    ColorValue color = RGB(0xFF, 0xFF, 0xFF); // coverage fonts only; the nibbles of each channel
    int x = 0;                                // the first line's top-left
    int y = 0;
};

// Draws UTF-8 `text` (lines split at line feeds, each line_height below the last) in `font`.
// Throws std::invalid_argument with packedFontProblem's sentence when the runtime can't hold the
// font.
FrameBuffer previewFrame(const PackedFont& font, std::string_view text,
                         const TextPreview& options = {});

// The characters of `text` the font has no glyph for, each once in the order they first stand,
// as previewFrame reads the text: line feeds (and a carriage return before one) end lines, and a
// byte that starts no valid UTF-8 sequence counts as U+FFFD, as the runtime counts it. The
// runtime leaves a gap of half a line height for each.
std::vector<char32_t> charactersNotInFont(const PackedFont& font, std::string_view text);

} // namespace ravik::fonts
