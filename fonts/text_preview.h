#pragma once

// The text on the panel as the firmware draws it: the frame filled with a background colour, the
// text drawn by the runtime's own ravik_lcd_text, line below line. The caller writes it as a
// picture (previewPng in export/).

#include "codec/frame_buffer.h"
#include "export/font_header.h"

#include <string_view>

namespace ravik::fonts {

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

} // namespace ravik::fonts
