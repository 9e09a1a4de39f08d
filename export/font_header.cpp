#include "export/font_header.h"

#include "export/asset_source.h"
#include "export/c_names.h"
#include "export/glyph_bitmaps.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
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

// A group's start has 24 bits, and so has a record's offset at most.
constexpr std::uint32_t kMaxBitmapOffset = 0xFFFFFF;

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

namespace {

// The bits that hold every value from 0 to `largest`.
int bitsFor(std::uint64_t largest) {
    return static_cast<int>(std::bit_width(largest));
}

void appendLittleEndian(std::vector<std::uint8_t>& bytes, std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i) & 0xFF));
    }
}

// Where glyph i's bitmap ends: where the next glyph's starts, the last's at the bitmaps' end.
std::size_t bitmapEnd(const PackedFont& font, std::size_t i) {
    return i + 1 < font.glyphs.size() ? font.glyphs[i + 1].offset : font.bitmaps.size();
}

// The bytes of each glyph's bitmap.
std::vector<std::uint32_t> bitmapLengths(const PackedFont& font) {
    std::vector<std::uint32_t> lengths(font.glyphs.size());
    for (std::size_t i = 0; i < font.glyphs.size(); ++i) {
        lengths[i] = static_cast<std::uint32_t>(bitmapEnd(font, i) - font.glyphs[i].offset);
    }
    return lengths;
}

} // namespace

GlyphTables glyphTables(const PackedFont& font) {
    GlyphTables tables;

    // One metrics entry for each distinct box, in the order of first use.
    std::map<std::array<std::uint8_t, kGlyphMetricsBytes>, std::size_t> entries;
    std::vector<std::size_t> metricsOf;
    metricsOf.reserve(font.glyphs.size());
    for (const FontGlyph& glyph : font.glyphs) {
        const std::array<std::uint8_t, kGlyphMetricsBytes> entry = {
            static_cast<std::uint8_t>(glyph.width),   static_cast<std::uint8_t>(glyph.height),
            static_cast<std::uint8_t>(glyph.left),    static_cast<std::uint8_t>(glyph.top),
            static_cast<std::uint8_t>(glyph.advance), std::uint8_t(glyph.compressed ? 1 : 0)};
        const auto [at, added] = entries.emplace(entry, entries.size());
        if (added) {
            tables.metrics.insert(tables.metrics.end(), entry.begin(), entry.end());
        }
        metricsOf.push_back(at->second);
    }

    // A record: the step from the code point before (1 byte), then the bitmap's length and the
    // metrics index above it in as few whole bytes as the font's largest need.
    const std::vector<std::uint32_t> lengths = bitmapLengths(font);
    const std::uint32_t longest = lengths.empty() ? 0 : *std::ranges::max_element(lengths);
    tables.offsetBits = bitsFor(longest);
    const int indexBits = bitsFor(entries.empty() ? 0 : entries.size() - 1);
    tables.recordSize = 1 + std::max(1, (tables.offsetBits + indexBits + 7) / 8);

    // A new group every kGlyphsPerGroup glyphs, and where a step would pass a byte.
    std::size_t inGroup = 0;
    char32_t before = 0;
    tables.records.reserve(font.glyphs.size() * std::size_t(tables.recordSize));
    for (std::size_t i = 0; i < font.glyphs.size(); ++i) {
        const FontGlyph& glyph = font.glyphs[i];
        if (inGroup == kGlyphsPerGroup || i == 0 || glyph.codepoint - before > 0xFF) {
            appendLittleEndian(tables.groups, glyph.codepoint, 3);
            appendLittleEndian(tables.groups, i, 2);
            appendLittleEndian(tables.groups, glyph.offset, 3);
            inGroup = 0;
            before = glyph.codepoint;
        }
        ++inGroup;
        tables.records.push_back(static_cast<std::uint8_t>(glyph.codepoint - before));
        before = glyph.codepoint;
        appendLittleEndian(tables.records,
                           lengths[i] | std::uint64_t(metricsOf[i]) << tables.offsetBits,
                           tables.recordSize - 1);
    }
    return tables;
}

std::uint64_t fontFlashBytes(const PackedFont& font) {
    return font.bitmaps.size() + glyphTables(font).bytes();
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
            return who + " 的位图偏移超出字模数据或运行库的范围（16 MB）。";
        }
        // A record's field holds the length and the metrics index in 32 bits; 16 bits of
        // length always leave room for the index.
        const std::size_t end = bitmapEnd(font, i);
        if (end >= glyph.offset && end - glyph.offset > 0xFFFF) {
            return who + " 的位图有 " + std::to_string(end - glyph.offset) +
                   " 字节，运行库的字形最多 65535 字节，请减小字号。";
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

// `static const uint8_t NAME[] = {...};` with `perLine` bytes a line, each line followed by
// comment(line) when given; an empty array gets one byte, since C has no empty arrays.
void appendByteArray(std::string& text, const std::string& name, const std::string& between,
                     const std::vector<std::uint8_t>& bytes, std::size_t perLine,
                     const std::function<std::string(std::size_t)>& comment) {
    text += "static const uint8_t " + name + "[" +
            std::to_string(std::max<std::size_t>(bytes.size(), 1)) + "]" + between + "= {\n";
    if (bytes.empty()) {
        text += "    0x00\n";
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text += i % perLine == 0 ? "    " : " ";
        text += hexByte(bytes[i]);
        text += ",";
        if (i % perLine == perLine - 1 || i + 1 == bytes.size()) {
            if (comment) {
                text += " /* ";
                text += comment(i / perLine);
                text += " */";
            }
            text += "\n";
        }
    }
    text += "};\n\n";
}

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

    // The bitmaps first, sixteen bytes a line.
    appendByteArray(text, name + "_bitmaps", between, font.bitmaps, 16, {});
    const GlyphTables tables = glyphTables(font);
    // One record a line, named by its code point; then the metrics, one entry a line.
    appendByteArray(text, name + "_glyphs", between, tables.records, std::size_t(tables.recordSize),
                    [&](std::size_t line) { return codePointName(font.glyphs[line].codepoint); });
    text += "static const uint8_t " + name + "_metrics[" +
            std::to_string(std::max<std::size_t>(tables.metrics.size(), 1)) + "]" + between +
            "= {\n";
    if (tables.metrics.empty()) {
        text += "    0x00\n";
    }
    for (std::size_t at = 0; at < tables.metrics.size(); at += kGlyphMetricsBytes) {
        char line[96];
        std::snprintf(line, sizeof line, "    RAVIK_LCD_METRICS(%d, %d, %d, %d, %d, %d),\n",
                      tables.metrics[at], tables.metrics[at + 1],
                      std::int8_t(tables.metrics[at + 2]), std::int8_t(tables.metrics[at + 3]),
                      tables.metrics[at + 4], tables.metrics[at + 5]);
        text += line;
    }
    text += "};\n\n";
    appendByteArray(text, name + "_groups", between, tables.groups, kGlyphGroupBytes, {});

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

    // Every code point lies in a group: the plane table stays empty (0).
    text += storage + "const ravik_lcd_font " + name + " = {" + name + "_glyphs, " + name +
            "_metrics, " + name + "_groups, 0, " + name + "_bitmaps, " +
            std::to_string(font.bitmaps.size()) + "UL, " + std::to_string(font.glyphs.size()) +
            ", " + std::to_string(tables.metricsCount()) + ", " +
            std::to_string(tables.groupCount()) + ", " + std::to_string(tables.recordSize) + ", " +
            std::to_string(tables.offsetBits) + ", 0, " + std::to_string(font.lineHeight) + ", " +
            std::to_string(font.ascent) + ", " + std::to_string(font.alpha ? font.bpp : 0) + "};\n";
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
