#include "export/font_header.h"

#include "export/asset_source.h"
#include "export/c_names.h"

#include <cstdio>
#include <stdexcept>

namespace ravik {

namespace {

std::string hexByte(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::string codePointName(char32_t codepoint) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(codepoint));
    return text;
}

bool inRange(int value, int low, int high) {
    return value >= low && value <= high;
}

} // namespace

std::string packedFontProblem(const PackedFont& font) {
    if (font.glyphs.size() > 65535) {
        return "字模中有 " + std::to_string(font.glyphs.size()) +
               " 个字符，运行库的字体最多容纳 65535 个。";
    }
    if (!inRange(font.lineHeight, 0, 255) || !inRange(font.ascent, 0, 255)) {
        return "行高 " + std::to_string(font.lineHeight) + "、基线上高 " +
               std::to_string(font.ascent) + " 超出运行库字体的范围（0–255），请减小字号。";
    }
    for (std::size_t i = 0; i < font.glyphs.size(); ++i) {
        const FontGlyph& glyph = font.glyphs[i];
        const std::string who = "字符 " + codePointName(glyph.codepoint);
        if (i > 0 && glyph.codepoint <= font.glyphs[i - 1].codepoint) {
            return who + " 未按码位升序排列或重复出现。";
        }
        if (!inRange(glyph.width, 0, 255) || !inRange(glyph.height, 0, 255)) {
            return who + " 的字形为 " + std::to_string(glyph.width) + " × " +
                   std::to_string(glyph.height) + " 像素，运行库的字形最大 255 × 255，请减小字号。";
        }
        if (!inRange(glyph.left, -128, 127) || !inRange(glyph.top, -128, 127)) {
            return who + " 的字形偏移（" + std::to_string(glyph.left) + ", " +
                   std::to_string(glyph.top) + "）超出运行库的范围（-128–127），请减小字号。";
        }
        if (!inRange(glyph.advance, 0, 255)) {
            return who + " 的步进 " + std::to_string(glyph.advance) +
                   " 像素超出运行库的范围（0–255），请减小字号。";
        }
        if (glyph.offset > font.bitmaps.size()) {
            return who + " 的位图偏移超出字模数据。";
        }
    }
    return {};
}

namespace {

std::string fontComment(const std::string& name, const PackedFont& font) {
    return "/* " + name + ": " + std::to_string(font.glyphs.size()) + " glyphs, " +
           (font.alpha ? "4-bit coverage" : "RGB444 pictures") + ", line height " +
           std::to_string(font.lineHeight) + ", ascent " + std::to_string(font.ascent) + ". */\n";
}

// The bitmaps, the glyph table and the font, the font `static` or not (`storage`).
void appendFontArrays(std::string& text, const std::string& name, const std::string& attribute,
                      const PackedFont& font, const std::string& storage) {
    if (const std::string problem = packedFontProblem(font); !problem.empty()) {
        throw std::invalid_argument(problem);
    }
    const std::string between = attribute.empty() ? std::string(" ") : " " + attribute + " ";
    text.reserve(text.size() + font.bitmaps.size() * 6 + font.glyphs.size() * 48 + 512);

    // The bitmaps first, sixteen bytes a line; an empty font still gets one byte, since C has no
    // empty arrays.
    text += "static const uint8_t " + name + "_bitmaps[" +
            std::to_string(font.bitmaps.empty() ? 1 : font.bitmaps.size()) + "]" + between +
            "= {\n";
    if (font.bitmaps.empty()) {
        text += "    0x00\n";
    }
    for (std::size_t i = 0; i < font.bitmaps.size(); ++i) {
        text += i % 16 == 0 ? "    " : " ";
        text += hexByte(font.bitmaps[i]);
        text += ",";
        if (i % 16 == 15 || i + 1 == font.bitmaps.size()) {
            text += "\n";
        }
    }
    text += "};\n\n";

    // One glyph a line: code point, offset, width, height, left, top, advance.
    text += "static const ravik_lcd_glyph " + name + "_glyphs[" +
            std::to_string(font.glyphs.empty() ? 1 : font.glyphs.size()) + "]" + between + "= {\n";
    if (font.glyphs.empty()) {
        text += "    {0, 0, 0, 0, 0, 0, 0}\n";
    }
    for (const FontGlyph& glyph : font.glyphs) {
        char line[128];
        std::snprintf(line, sizeof line, "    {0x%04XUL, %luUL, %d, %d, %d, %d, %d}, /* %s */\n",
                      static_cast<unsigned>(glyph.codepoint),
                      static_cast<unsigned long>(glyph.offset), glyph.width, glyph.height,
                      glyph.left, glyph.top, glyph.advance, codePointName(glyph.codepoint).c_str());
        text += line;
    }
    text += "};\n\n";

    text += storage + "const ravik_lcd_font " + name + " = {" + name + "_glyphs, " +
            std::to_string(font.glyphs.size()) + ", " + name + "_bitmaps, " +
            std::to_string(font.lineHeight) + ", " + std::to_string(font.ascent) + ", " +
            (font.alpha ? "1" : "0") + "};\n";
}

} // namespace

std::string formatFontHeader(const std::string& name, const std::string& attribute,
                             const PackedFont& font) {
    if (const std::string problem = packedFontProblem(font); !problem.empty()) {
        throw std::invalid_argument(problem);
    }
    const std::string guard = headerGuard(name);
    std::string text = fontComment(name, font) + "#ifndef " + guard + "\n#define " + guard +
                       "\n\n#include \"ravik_lcd.h\"\n" + attributeIncludes(attribute) + "\n";
    appendFontArrays(text, name, attribute, font, "static ");
    return text + "\n#endif /* " + guard + " */\n";
}

std::string formatFontDefinition(const std::string& name, const std::string& attribute,
                                 const PackedFont& font) {
    std::string text = fontComment(name, font);
    appendFontArrays(text, name, attribute, font, "");
    return text;
}

} // namespace ravik
