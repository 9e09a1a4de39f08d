#include "fonts/text_preview.h"

#include "export/text.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace ravik::fonts {

RuntimeFont::RuntimeFont(const PackedFont& font) {
    if (const std::string problem = packedFontProblem(font); !problem.empty()) {
        throw std::invalid_argument(problem);
    }
    tables_ = glyphTables(font);
    font_.glyphs = tables_.records.data();
    font_.metrics = tables_.metrics.data();
    font_.groups = tables_.groups.data();
    font_.planes = nullptr;
    font_.bitmaps = font.bitmaps.data();
    font_.bitmaps_size = static_cast<std::uint32_t>(font.bitmaps.size());
    font_.count = static_cast<std::uint16_t>(font.glyphs.size());
    font_.metrics_count = static_cast<std::uint16_t>(tables_.metricsCount());
    font_.group_count = static_cast<std::uint16_t>(tables_.groupCount());
    font_.record_size = static_cast<std::uint8_t>(tables_.recordSize);
    font_.offset_bits = static_cast<std::uint8_t>(tables_.offsetBits);
    font_.plane_count = 0;
    font_.line_height = static_cast<std::uint8_t>(font.lineHeight);
    font_.ascent = static_cast<std::uint8_t>(font.ascent);
    font_.bpp = static_cast<std::uint8_t>(font.alpha ? font.bpp : 0);
}

FrameBuffer previewFrame(const PackedFont& font, std::string_view text,
                         const TextPreview& options) {
    const RuntimeFont runtimeFont(font);
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
        ravik_lcd_text(bytes.data(), options.x, y, line.c_str(), runtimeFont.get(), rgb);
        y += font.lineHeight;
        start = end + 1;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        frame[i] = bytes[i];
    }
    return frame;
}

std::vector<char32_t> charactersNotInFont(const PackedFont& font, std::string_view text) {
    std::vector<char32_t> missing;
    std::set<char32_t> seen;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto [c, length] = utf8At(text, at);
        const bool lineEnd =
            c == U'\n' || (c == U'\r' && (at + 1 == text.size() || text[at + 1] == '\n'));
        at += std::max<std::size_t>(length, 1);
        const char32_t drawn = length == 0 ? U'\uFFFD' : c;
        if (!lineEnd && seen.insert(drawn).second &&
            std::ranges::none_of(font.glyphs, [drawn](const FontGlyph& glyph) {
                return glyph.codepoint == drawn;
            })) {
            missing.push_back(drawn);
        }
    }
    return missing;
}

} // namespace ravik::fonts
