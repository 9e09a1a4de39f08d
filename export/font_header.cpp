#include "export/font_header.h"

#include "export/asset_source.h"
#include "export/c_names.h"
#include "export/glyph_bitmaps.h"

#include <algorithm>
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

// A record's offset has 23 bits; the 24th marks a compressed bitmap.
constexpr std::uint32_t kMaxBitmapOffset = 0x7FFFFF;

} // namespace

// What the glyphs are, for the header's comments: "4-bit coverage, compressed".
std::string fontKind(const PackedFont& font) {
    if (!font.alpha) {
        return "RGB444 pictures";
    }
    const auto compressed = std::ranges::count_if(font.glyphs, &FontGlyph::compressed);
    return std::to_string(font.bpp) + "-bit coverage" +
           (compressed == 0                                    ? ""
            : compressed == std::ptrdiff_t(font.glyphs.size()) ? ", compressed"
                                                               : ", partly compressed");
}

// The plane table: for each plane past the first that has glyphs, the plane and the index of its
// first glyph.
std::vector<std::pair<int, std::size_t>> fontPlanes(const PackedFont& font) {
    std::vector<std::pair<int, std::size_t>> planes;
    for (std::size_t i = 0; i < font.glyphs.size(); ++i) {
        const int plane = static_cast<int>(font.glyphs[i].codepoint >> 16);
        if (plane != 0 && (planes.empty() || planes.back().first != plane)) {
            planes.emplace_back(plane, i);
        }
    }
    return planes;
}

std::vector<std::uint8_t> glyphRecords(const PackedFont& font) {
    std::vector<std::uint8_t> records;
    records.reserve(font.glyphs.size() * kGlyphRecordBytes);
    for (const FontGlyph& glyph : font.glyphs) {
        const std::uint32_t offset = glyph.offset | (glyph.compressed ? 0x800000u : 0u);
        for (const std::uint32_t byte :
             {std::uint32_t(glyph.codepoint), std::uint32_t(glyph.codepoint) >> 8, offset,
              offset >> 8, offset >> 16, std::uint32_t(glyph.width), std::uint32_t(glyph.height),
              std::uint32_t(glyph.left), std::uint32_t(glyph.top), std::uint32_t(glyph.advance)}) {
            records.push_back(static_cast<std::uint8_t>(byte & 0xFF));
        }
    }
    return records;
}

std::vector<std::uint8_t> planeTable(const PackedFont& font) {
    std::vector<std::uint8_t> table;
    for (const auto& [plane, first] : fontPlanes(font)) {
        table.push_back(static_cast<std::uint8_t>(plane));
        table.push_back(static_cast<std::uint8_t>(first & 0xFF));
        table.push_back(static_cast<std::uint8_t>(first >> 8));
    }
    return table;
}

std::uint64_t fontFlashBytes(const PackedFont& font) {
    return font.bitmaps.size() + font.glyphs.size() * kGlyphRecordBytes +
           fontPlanes(font).size() * 3;
}

std::string packedFontProblem(const PackedFont& font) {
    if (font.alpha && font.bpp != 1 && font.bpp != 2 && font.bpp != 4) {
        return "每像素位数 " + std::to_string(font.bpp) + " 无效，只能是 1、2 或 4。";
    }
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
        if (i > 0 && glyph.offset < font.glyphs[i - 1].offset) {
            return who + " 的位图在前一个字符的位图之前：字形须按码位的顺序存放。";
        }
        if (glyph.offset > font.bitmaps.size() || glyph.offset > kMaxBitmapOffset) {
            return who + " 的位图偏移超出字模数据或运行库的范围（8 MB）。";
        }
        if (glyph.compressed && !font.alpha) {
            return who + " 是彩色字形，不能压缩。";
        }
        if (glyph.compressed && glyph.width > kMaxCompressedWidth) {
            return who + " 宽 " + std::to_string(glyph.width) + " 像素，压缩的字形最宽 " +
                   std::to_string(kMaxCompressedWidth) + " 像素。";
        }
    }
    return {};
}

namespace {

std::string fontComment(const std::string& name, const PackedFont& font) {
    return "/* " + name + ": " + std::to_string(font.glyphs.size()) + " glyphs, " + fontKind(font) +
           ", line height " + std::to_string(font.lineHeight) + ", ascent " +
           std::to_string(font.ascent) + ". */\n";
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

    // One glyph record a line: code point, offset, compressed, width, height, left, top, advance.
    text += "static const uint8_t " + name + "_glyphs[" +
            std::to_string(font.glyphs.empty() ? 1 : font.glyphs.size() * kGlyphRecordBytes) + "]" +
            between + "= {\n";
    if (font.glyphs.empty()) {
        text += "    0x00\n";
    }
    for (const FontGlyph& glyph : font.glyphs) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "    RAVIK_LCD_GLYPH(0x%04X, %lu, %d, %d, %d, %d, %d, %d), /* %s */\n",
                      static_cast<unsigned>(glyph.codepoint & 0xFFFF),
                      static_cast<unsigned long>(glyph.offset), glyph.compressed ? 1 : 0,
                      glyph.width, glyph.height, glyph.left, glyph.top, glyph.advance,
                      codePointName(glyph.codepoint).c_str());
        text += line;
    }
    text += "};\n\n";

    const auto planes = fontPlanes(font);
    // A null pointer without <stddef.h>: the header includes only ravik_lcd.h.
    std::string planeArray = "0";
    if (!planes.empty()) {
        planeArray = name + "_planes";
        text += "static const uint8_t " + planeArray + "[" + std::to_string(planes.size() * 3) +
                "]" + between + "= {\n";
        for (const auto& [plane, first] : planes) {
            text += "    " + std::to_string(plane) + ", " + hexByte(std::uint8_t(first & 0xFF)) +
                    ", " + hexByte(std::uint8_t(first >> 8)) + ",\n";
        }
        text += "};\n\n";
    }

    // The runtime's row buffer must hold the widest compressed glyph.
    int widest = 0;
    for (const FontGlyph& glyph : font.glyphs) {
        widest = glyph.compressed ? std::max(widest, glyph.width) : widest;
    }
    if (widest > 0) {
        text += "#if RAVIK_LCD_GLYPH_ROW < " + std::to_string(widest) + "\n#error \"" + name +
                ": compressed glyphs " + std::to_string(widest) +
                " pixels wide need RAVIK_LCD_GLYPH_ROW of at least that\"\n#endif\n\n";
    }

    text += storage + "const ravik_lcd_font " + name + " = {" + name + "_glyphs, " + planeArray +
            ", " + name + "_bitmaps, " + std::to_string(font.bitmaps.size()) + "UL, " +
            std::to_string(font.glyphs.size()) + ", " + std::to_string(planes.size()) + ", " +
            std::to_string(font.lineHeight) + ", " + std::to_string(font.ascent) + ", " +
            std::to_string(font.alpha ? font.bpp : 0) + "};\n";
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
