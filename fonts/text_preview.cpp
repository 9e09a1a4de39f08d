#include "fonts/text_preview.h"

#include "runtime/ravik_lcd.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace ravik::fonts {

FrameBuffer previewFrame(const PackedFont& font, std::string_view text,
                         const TextPreview& options) {
    if (const std::string problem = packedFontProblem(font); !problem.empty()) {
        throw std::invalid_argument(problem);
    }
    // The font as the header defines it, checked above to fit every field.
    std::vector<ravik_lcd_glyph> glyphs;
    glyphs.reserve(font.glyphs.size());
    for (const FontGlyph& glyph : font.glyphs) {
        glyphs.push_back(ravik_lcd_glyph{
            static_cast<std::uint32_t>(glyph.codepoint), glyph.offset,
            static_cast<std::uint8_t>(glyph.width), static_cast<std::uint8_t>(glyph.height),
            static_cast<std::int8_t>(glyph.left), static_cast<std::int8_t>(glyph.top),
            static_cast<std::uint8_t>(glyph.advance)});
    }
    const ravik_lcd_font runtimeFont{glyphs.data(),
                                     static_cast<std::uint16_t>(glyphs.size()),
                                     font.bitmaps.data(),
                                     static_cast<std::uint8_t>(font.lineHeight),
                                     static_cast<std::uint8_t>(font.ascent),
                                     static_cast<std::uint8_t>(font.alpha ? 1 : 0)};

    FrameBuffer frame;
    std::vector<ColorValue> fill(kPixelCount, options.background);
    packPixels(std::span<const ColorValue, kPixelCount>(fill.data(), kPixelCount), frame);
    const auto rgb =
        static_cast<std::uint16_t>((redOf(options.color) >> 4) << 8 |
                                   (greenOf(options.color) >> 4) << 4 | blueOf(options.color) >> 4);
    FrameBuffer::Bytes bytes = frame.bytes();
    int y = options.y;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        ravik_lcd_text(bytes.data(), options.x, y, line.c_str(), &runtimeFont, rgb);
        y += font.lineHeight;
        start = end + 1;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        frame[i] = bytes[i];
    }
    return frame;
}

} // namespace ravik::fonts
