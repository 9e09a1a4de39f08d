#include "fonts/font_job.h"

#include "codec/packed_picture.h"
#include "export/c_header.h"
#include "export/preview_png.h"
#include "fonts/char_set.h"
#include "fonts/font_faults.h"

#include <algorithm>
#include <stdexcept>

namespace ravik::fonts {

std::vector<char32_t> jobCharacters(const FontJob& job) {
    std::vector<char32_t> set;
    if (!job.chars.empty()) {
        set = characterSet(job.chars);
    }
    if (!decodeUtf8(job.literalText, set)) {
        throw FontError(FontFault::InvalidUtf8, "输入的文字");
    }
    std::sort(set.begin(), set.end());
    set.erase(std::unique(set.begin(), set.end()), set.end());
    if (set.empty()) {
        throw FontError(FontFault::BadCharacterSet, "没有任何字符");
    }
    return set;
}

FontJobResult runFontJob(const FontJob& job) {
    FontJobResult result;
    // The name and attribute first: they cost nothing, and a bad one would waste a long render.
    if (std::string problem = identifierProblem(job.name); !problem.empty()) {
        result.failure = std::move(problem);
        return result;
    }
    if (std::string problem = attributeProblem(job.attribute); !problem.empty()) {
        result.failure = std::move(problem);
        return result;
    }
    try {
        const std::vector<char32_t> set = jobCharacters(job);
        // Every character becomes a glyph, and the runtime counts glyphs in 16 bits: refused
        // before a long render rather than after it.
        constexpr std::size_t kMaxGlyphs = 65535;
        if (set.size() > kMaxGlyphs) {
            throw FontError(FontFault::BadCharacterSet, "共 " + std::to_string(set.size()) +
                                                            " 个字符，运行库的字体最多容纳 " +
                                                            std::to_string(kMaxGlyphs) + " 个");
        }
        std::vector<FontFile> files{findFont(job.font, job.face)};
        for (const FontName& fallback : job.fallbacks) {
            files.push_back(findFont(fallback.font, fallback.face));
        }
        RenderedFont rendered = renderGlyphs(files, set, job.pixelSize, job.hinting);
        if (job.lineHeight > 0) {
            rendered.lineHeight = job.lineHeight;
        }
        PackedFont font =
            job.alpha ? alphaFont(rendered) : colorFont(rendered, job.color, job.background);
        result.header = formatFontHeader(job.name, job.attribute, font);
        result.font = std::move(font);
    } catch (const FontError& error) {
        result.failure = error.what();
        result.missing = error.characters();
    } catch (const std::invalid_argument& error) {
        // The font doesn't fit the runtime's fields (formatFontHeader says which).
        result.failure = error.what();
    }
    return result;
}

std::optional<std::string> textPreviewPng(const PackedFont& font, std::string_view text,
                                          const TextPreview& options, int scale) {
    if (scale < 1) {
        return std::nullopt;
    }
    const FrameBuffer frame = previewFrame(font, text, options);
    return previewPng(frameSet(std::span<const FrameBuffer>(&frame, 1), PictureSet::Kind::single),
                      scale);
}

std::vector<ColorValue> glyphPixels(const PackedFont& font, std::size_t index, ColorValue color,
                                    ColorValue background) {
    const FontGlyph& glyph = font.glyphs.at(index);
    const std::size_t count =
        static_cast<std::size_t>(glyph.width) * static_cast<std::size_t>(glyph.height);
    if (count == 0) {
        return {};
    }
    const std::span<const std::uint8_t> bytes =
        std::span<const std::uint8_t>(font.bitmaps).subspan(glyph.offset);
    if (!font.alpha) {
        return decodePixels(bytes, glyph.width, glyph.height);
    }
    if (bytes.size() < (count + 1) / 2) {
        throw std::invalid_argument("glyph bitmap past the font's bitmaps");
    }
    // The runtime's blend of the colour's nibble over the background's by coverage a (0 to 15).
    const auto blend = [](int c, int old, int a) {
        return (c * a + old * (15 - a) + 7) / 15;
    };
    std::vector<ColorValue> pixels(count);
    for (std::size_t n = 0; n < count; ++n) {
        const int a = n % 2 == 0 ? bytes[n / 2] >> 4 : bytes[n / 2] & 0x0F;
        pixels[n] = RGB(blend(redOf(color) >> 4, redOf(background) >> 4, a) << 4,
                        blend(greenOf(color) >> 4, greenOf(background) >> 4, a) << 4,
                        blend(blueOf(color) >> 4, blueOf(background) >> 4, a) << 4);
    }
    return pixels;
}

} // namespace ravik::fonts
