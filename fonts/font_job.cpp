#include "fonts/font_job.h"

#include "codec/packed_picture.h"
#include "export/c_header.h"
#include "export/preview_png.h"
#include "export/text.h"
#include "fonts/char_set.h"
#include "fonts/font_faults.h"
#include "runtime/ravik_lcd.h"

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
        PackedFont font = job.alpha ? alphaFont(rendered, job.coverage)
                                    : colorFont(rendered, job.color, job.background);
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
    const RuntimeFont runtimeFont(font);
    std::vector<ColorValue> pixels(static_cast<std::size_t>(glyph.width) *
                                   static_cast<std::size_t>(glyph.height));
    // The glyph alone, in UTF-8, drawn a frame's worth at a time: a glyph may be larger than the
    // panel, and the runtime clips it to the frame.
    const std::string utf8 = utf8Of(glyph.codepoint);
    const auto rgb = static_cast<std::uint16_t>((redOf(color) >> 4) << 8 |
                                                (greenOf(color) >> 4) << 4 | blueOf(color) >> 4);
    std::vector<ColorValue> fill(kPixelCount, background);
    FrameBuffer frame;
    for (int top = 0; top < glyph.height; top += kFrameHeight) {
        for (int left = 0; left < glyph.width; left += kFrameWidth) {
            packPixels(std::span<const ColorValue, kPixelCount>(fill.data(), kPixelCount), frame);
            FrameBuffer::Bytes bytes = frame.bytes();
            // The pen and line that put the glyph's pixel (left, top) at the frame's corner.
            ravik_lcd_text(bytes.data(), -left - glyph.left, -top - font.ascent + glyph.top,
                           utf8.c_str(), runtimeFont.get(), rgb);
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                frame[i] = bytes[i];
            }
            for (int y = top; y < std::min(glyph.height, top + kFrameHeight); ++y) {
                for (int x = left; x < std::min(glyph.width, left + kFrameWidth); ++x) {
                    pixels[static_cast<std::size_t>(y * glyph.width + x)] =
                        decodePixel(frame, x - left, y - top);
                }
            }
        }
    }
    return pixels;
}

} // namespace ravik::fonts
