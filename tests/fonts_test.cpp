// Glyph sets against FreeType's own bitmaps for the same face and size, the character sets, the
// faults, and the header compiled with the firmware runtime as C99: ravik_lcd_text drawing into
// a frame against a composition of the same glyphs made here, pixel by pixel, from the
// definition (coverage blended per nibble, pictures copied).

#include "codec/frame_buffer.h"
#include "export/font_header.h"
#include "export/text.h"
#include "fonts/char_set.h"
#include "fonts/font_faults.h"
#include "fonts/font_job.h"
#include "fonts/glyph_set.h"
#include "fonts/text_preview.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <ft2build.h>
#include <map>
#include <sstream>
#include FT_FREETYPE_H
#ifndef _WIN32
#include <iconv.h>
#endif

using namespace ravik;
using namespace ravik::fonts;

namespace {

using Bytes = std::vector<std::uint8_t>;

void writeFile(const QString& path, const std::string& bytes) {
    std::ofstream file(path.toStdString(), std::ios::binary);
    file << bytes;
}

// The font the tests use: fontconfig's Simplified Chinese sans serif, or nothing.
std::optional<FontFile> systemFont() {
    try {
        return findFont({});
    } catch (const FontError&) {
        return std::nullopt;
    }
}

// Nibble n of a packed stream, high nibble first.
int nibbleAt(const Bytes& bytes, std::size_t start, std::size_t n) {
    const std::uint8_t byte = bytes.at(start + n / 2);
    return n % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

// The frame as 98 × 67 × 3 nibbles, and back: the frame's stream read and written by index.
struct Panel {
    std::vector<int> nibbles = std::vector<int>(kPixelCount * 3);

    int& at(int x, int y, int channel) {
        return nibbles[std::size_t((y * kFrameWidth + x) * 3 + channel)];
    }
    Bytes bytes() const {
        Bytes out(kFrameSize);
        for (std::size_t n = 0; n < nibbles.size(); ++n) {
            out[n / 2] |= std::uint8_t(n % 2 == 0 ? nibbles[n] << 4 : nibbles[n]);
        }
        return out;
    }
};

// A start frame with every nibble different from its neighbours, so blending shows everywhere.
Panel patternPanel() {
    Panel panel;
    for (std::size_t n = 0; n < panel.nibbles.size(); ++n) {
        panel.nibbles[n] = int((n * 7 + n / 5) % 16);
    }
    return panel;
}

// The runtime's 4-bit coverage for FreeType's 8-bit one stored at `bpp` bits, worked out here
// from the header's words: at 1 bit on from half coverage (15) or off; otherwise the nearest of
// the 2^bpp levels, scaled to 0..15 (2 bits: 0, 5, 10, 15).
int storedCoverage(int coverage, int bpp) {
    if (bpp == 1) {
        return coverage >= 128 ? 15 : 0;
    }
    const int top = (1 << bpp) - 1;
    return int(std::lround(coverage * double(top) / 255.0)) * 15 / top;
}

// Walks one string the way the definition says, independently of the runtime: for each pixel of
// each glyph that lies in the frame, draw(glyph, index of the pixel in the glyph, x, y); a missing
// character advances half the line height. Returns the pen.
template <typename Font, typename Draw>
int walkText(const Font& font, const std::vector<char32_t>& text, int x, int y, Draw draw) {
    int pen = x;
    for (char32_t c : text) {
        const auto found =
            std::ranges::find(font.glyphs, c, [](const auto& g) { return g.codepoint; });
        if (found == font.glyphs.end()) {
            pen += font.lineHeight / 2;
            continue;
        }
        for (int row = 0; row < found->height; ++row) {
            for (int column = 0; column < found->width; ++column) {
                const int px = pen + found->left + column;
                const int py = y + font.ascent - found->top + row;
                if (px >= 0 && px < kFrameWidth && py >= 0 && py < kFrameHeight) {
                    draw(*found, std::size_t(row * found->width + column), px, py);
                }
            }
        }
        pen += found->advance;
    }
    return pen;
}

// Draws one string of coverage glyphs as FreeType rendered them (uncropped, from the rendered
// coverage, never from the packed bitmaps), stored at `bpp` bits: returns the pen.
int composeRendered(Panel& panel, const RenderedFont& font, int bpp,
                    const std::vector<char32_t>& text, int x, int y, const int rgb[3]) {
    return walkText(font, text, x, y,
                    [&](const RenderedGlyph& glyph, std::size_t index, int px, int py) {
                        const int a = storedCoverage(glyph.coverage[index], bpp);
                        for (int channel = 0; channel < 3; ++channel) {
                            int& old = panel.at(px, py, channel);
                            old = (rgb[channel] * a + old * (15 - a) + 7) / 15;
                        }
                    });
}

// Draws one string of picture glyphs, copying each pixel's nibbles: returns the pen.
int compose(Panel& panel, const PackedFont& font, const std::vector<char32_t>& text, int x, int y) {
    return walkText(
        font, text, x, y, [&](const FontGlyph& glyph, std::size_t index, int px, int py) {
            for (int channel = 0; channel < 3; ++channel) {
                panel.at(px, py, channel) =
                    nibbleAt(font.bitmaps, glyph.offset, index * 3 + std::size_t(channel));
            }
        });
}

} // namespace

Q_DECLARE_METATYPE(std::vector<char32_t>)

class FontsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void glyphsMatchFreeType_data();
    void glyphsMatchFreeType();
    void colorGlyphsBlendOverBackground();
    void headerDrawsWithTheRuntime_data();
    void headerDrawsWithTheRuntime();
    void compressedDrawsAsPacked_data();
    void compressedDrawsAsPacked();
    void missingCharactersAllReported();
    void characterSets_data();
    void characterSets();
    void gb2312InItsOwnOrder();
    void gb2312AsIconvMapsIt_data();
    void gb2312AsIconvMapsIt();
    void characterSetFaults_data();
    void characterSetFaults();
    void fontFaults();
    void headerRefusesWhatTheRuntimeCannotHold_data();
    void headerRefusesWhatTheRuntimeCannotHold();
    void headerRefusesABitmapPast64KB_data();
    void headerRefusesABitmapPast64KB();
    void glyphTablesGroupTheRecords_data();
    void glyphTablesGroupTheRecords();
    void runtimeFindsEveryGlyph_data();
    void runtimeFindsEveryGlyph();
    void previewDrawsTheText();
    void fontJob_data();
    void fontJob();
    void fontJobFailures_data();
    void fontJobFailures();
    void glyphPixelsAsTheRuntimeDraws_data();
    void glyphPixelsAsTheRuntimeDraws();
    void textPreviewPngSize();
    void familiesAreFoundByName();

private:
    std::optional<FontFile> font_;
};

void FontsTest::initTestCase() {
    font_ = systemFont();
}

void FontsTest::glyphsMatchFreeType_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("Noto CJK at 16 px, a space without ink")
        << QString() << 16 << QStringLiteral(u"啊Ag，!j 字");
    QTest::newRow("Noto CJK at 11 px") << QString() << 11 << QStringLiteral(u"齐Wy。");
    QTest::newRow("Noto CJK at 40 px") << QString() << 40 << QStringLiteral(u"龘Q");
    QTest::newRow("DejaVu Sans at 13 px")
        << QStringLiteral("DejaVu Sans") << 13 << QStringLiteral("gjAW@ ");
}

void FontsTest::glyphsMatchFreeType() {
    QFETCH(QString, family);
    QFETCH(int, size);
    QFETCH(QString, text);
    FontFile file;
    try {
        file = findFont(family.toStdString());
    } catch (const FontError& error) {
        QSKIP(error.what());
    }
    std::vector<char32_t> codepoints;
    for (char32_t c : text.toStdU32String()) {
        codepoints.push_back(c);
    }
    const RenderedFont rendered = renderGlyphs(file, codepoints, size);
    const PackedFont packed = alphaFont(rendered);

    // FreeType directly, for the same face and size.
    FT_Library library;
    QCOMPARE(FT_Init_FreeType(&library), 0);
    FT_Face face;
    QCOMPARE(FT_New_Face(library, file.path.c_str(), file.face, &face), 0);
    QCOMPARE(FT_Set_Pixel_Sizes(face, 0, FT_UInt(size)), 0);
    QCOMPARE(packed.lineHeight, int(std::lround(face->size->metrics.height / 64.0)));
    QCOMPARE(packed.ascent, int(std::lround(face->size->metrics.ascender / 64.0)));
    for (char32_t c : codepoints) {
        QCOMPARE(FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT), 0);
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        QCOMPARE(int(bitmap.pixel_mode), int(FT_PIXEL_MODE_GRAY));
        auto found = std::find_if(packed.glyphs.begin(), packed.glyphs.end(),
                                  [&](const FontGlyph& g) { return g.codepoint == c; });
        QVERIFY(found != packed.glyphs.end());
        // The nearest of sixteen levels (coverage 255 is 15, 0 is 0), and the box of the pixels
        // with a level above 0: the glyph is cropped to it.
        const auto levelAt = [&](unsigned x, unsigned y) {
            return int(std::lround(bitmap.buffer[y * unsigned(bitmap.pitch) + x] * 15.0 / 255.0));
        };
        int inkLeft = int(bitmap.width), inkRight = -1, inkTop = int(bitmap.rows), inkBottom = -1;
        for (unsigned y = 0; y < bitmap.rows; ++y) {
            for (unsigned x = 0; x < bitmap.width; ++x) {
                if (levelAt(x, y) != 0) {
                    inkLeft = std::min(inkLeft, int(x));
                    inkRight = std::max(inkRight, int(x));
                    inkTop = std::min(inkTop, int(y));
                    inkBottom = std::max(inkBottom, int(y));
                }
            }
        }
        const bool inked = inkRight >= 0;
        QCOMPARE(found->width, inked ? inkRight - inkLeft + 1 : 0);
        QCOMPARE(found->height, inked ? inkBottom - inkTop + 1 : 0);
        if (inked) {
            QCOMPARE(found->left, face->glyph->bitmap_left + inkLeft);
            QCOMPARE(found->top, face->glyph->bitmap_top - inkTop);
        }
        QCOMPARE(found->advance, int(std::lround(face->glyph->advance.x / 64.0)));
        for (int y = 0; y < found->height; ++y) {
            for (int x = 0; x < found->width; ++x) {
                QCOMPARE(nibbleAt(packed.bitmaps, found->offset, std::size_t(y * found->width + x)),
                         levelAt(unsigned(x + inkLeft), unsigned(y + inkTop)));
            }
        }
        // The next glyph starts at the byte after this one's last nibble.
        const std::size_t end =
            found->offset + (std::size_t(found->width) * std::size_t(found->height) + 1) / 2;
        QVERIFY(found + 1 == packed.glyphs.end() ? end == packed.bitmaps.size()
                                                 : end == (found + 1)->offset);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

void FontsTest::colorGlyphsBlendOverBackground() {
    if (!font_) {
        QSKIP("fontconfig finds no font for sans-serif:lang=zh-cn");
    }
    const std::vector<char32_t> set{U'A', U'永'};
    const RenderedFont rendered = renderGlyphs(*font_, set, 16);
    const ColorValue color = RGB(0xE0, 0x30, 0x9F);
    const ColorValue background = RGB(0x10, 0xC8, 0x44);
    const PackedFont packed = colorFont(rendered, color, background);
    QVERIFY(!packed.alpha);
    for (const RenderedGlyph& glyph : rendered.glyphs) {
        auto entry =
            std::find_if(packed.glyphs.begin(), packed.glyphs.end(),
                         [&](const FontGlyph& g) { return g.codepoint == glyph.codepoint; });
        QVERIFY(entry != packed.glyphs.end());
        const int fg[3] = {0xE0, 0x30, 0x9F};
        const int bg[3] = {0x10, 0xC8, 0x44};
        for (std::size_t p = 0; p < glyph.coverage.size(); ++p) {
            const double a = glyph.coverage[p];
            for (int channel = 0; channel < 3; ++channel) {
                const long blended =
                    std::lround((fg[channel] * a + bg[channel] * (255 - a)) / 255.0);
                QCOMPARE(nibbleAt(packed.bitmaps, entry->offset, p * 3 + std::size_t(channel)),
                         int(blended >> 4));
            }
        }
    }
}

void FontsTest::headerDrawsWithTheRuntime_data() {
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<int>("bpp");
    QTest::addColumn<int>("compression");
    const int none = int(GlyphCompression::None), rle = int(GlyphCompression::Rle),
              smaller = int(GlyphCompression::Auto);
    QTest::newRow("4-bit coverage") << true << 4 << none;
    QTest::newRow("4-bit coverage, compressed") << true << 4 << rle;
    QTest::newRow("2-bit coverage") << true << 2 << none;
    QTest::newRow("2-bit coverage, each glyph the smaller") << true << 2 << smaller;
    QTest::newRow("1-bit coverage") << true << 1 << none;
    QTest::newRow("1-bit coverage, compressed") << true << 1 << rle;
    QTest::newRow("RGB444 font") << false << 4 << none;
}

void FontsTest::headerDrawsWithTheRuntime() {
    QFETCH(bool, alpha);
    QFETCH(int, bpp);
    QFETCH(int, compression);
    if (!font_) {
        QSKIP("fontconfig finds no font for sans-serif:lang=zh-cn");
    }
    if (QByteArray(RAVIK_C_COMPILER).isEmpty()) {
        QSKIP("no C compiler");
    }
    const std::vector<std::string> items{"ascii", "中文字模，。「」"};
    const std::vector<char32_t> set = characterSet(items);
    const RenderedFont rendered = renderGlyphs(*font_, set, 16);
    const PackedFont font = alpha ? alphaFont(rendered, {bpp, GlyphCompression(compression)})
                                  : colorFont(rendered, RGB(0xF0, 0xF0, 0x20), RGB(0x20, 0, 0x40));

    // The strings, where they are drawn, and what they hold.
    struct Case {
        const char* name;
        int x, y;
        std::string utf8;
        std::vector<char32_t> codepoints;
    };
    const std::vector<Case> cases{
        {"Chinese, Latin and punctuation",
         3,
         5,
         "中文 Ab,字模。",
         {U'中', U'文', U' ', U'A', U'b', U',', U'字', U'模', U'。'}},
        {"clipped left and top", -7, -9, "字A「", {U'字', U'A', U'「'}},
        {"clipped right and bottom", 80, 58, "模g」j", {U'模', U'g', U'」', U'j'}},
        {"wholly outside", 200, -100, "中", {U'中'}},
        {"unknown code points",
         1,
         20,
         "A\xE2\x98\x83"
         "B\xF0\x9F\x98\x80"
         "C",
         {U'A', U'☃', U'B', U'😀', U'C'}},
        {"invalid UTF-8",
         1,
         40,
         "A\xE4\xB8"
         "B\xC0\xAF"
         "C\xED\xA0\x80",
         {U'A', 0xFFFD, U'B', 0xFFFD, U'C', 0xFFFD}},
    };

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFile(dir.filePath(QStringLiteral("font.h")), formatFontHeader("test_font", "", font));
    std::ostringstream program;
    program << "#include <stdio.h>\n#include \"font.h\"\n"
               "static const char *const texts[] = {\n";
    for (const Case& c : cases) {
        program << "    \"";
        for (unsigned char ch : c.utf8) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03o", ch);
            program << escaped;
        }
        program << "\",\n";
    }
    program << "};\nstatic const int places[][2] = {\n";
    for (const Case& c : cases) {
        program << "    {" << c.x << ", " << c.y << "},\n";
    }
    program << "};\n"
               "int main(void) {\n"
               "    unsigned i, n;\n"
               "    for (i = 0; i < sizeof texts / sizeof texts[0]; ++i) {\n"
               "        uint8_t frame[RAVIK_LCD_FRAME_SIZE];\n"
               "        int pen;\n"
               "        for (n = 0; n < 2u * RAVIK_LCD_FRAME_SIZE; ++n) {\n"
               "            unsigned v = (n * 7u + n / 5u) % 16u;\n"
               "            if (n % 2u == 0) frame[n / 2] = (uint8_t)(v << 4); else frame[n / 2] "
               "|= (uint8_t)v;\n"
               "        }\n"
               "        pen = ravik_lcd_text(frame, places[i][0], places[i][1], texts[i], "
               "&test_font, 0x0F28);\n"
               "        if (ravik_lcd_text(NULL, places[i][0], places[i][1], texts[i], &test_font, "
               "0) != pen) return 3;\n"
               "        fwrite(frame, 1, sizeof frame, stdout);\n"
               "        printf(\"%06d\", pen);\n"
               "    }\n"
               "    return 0;\n"
               "}\n";
    writeFile(dir.filePath(QStringLiteral("main.c")), program.str());

    QProcess compiler;
    compiler.setProcessChannelMode(QProcess::MergedChannels);
    compiler.start(QStringLiteral(RAVIK_C_COMPILER),
                   {QStringLiteral("-std=c99"), QStringLiteral("-Wall"), QStringLiteral("-Wextra"),
                    QStringLiteral("-Wpedantic"), QStringLiteral("-Werror"),
                    QStringLiteral("-fsanitize=address,undefined"), QStringLiteral("-I"),
                    QStringLiteral(RAVIK_RUNTIME_DIR), dir.filePath(QStringLiteral("main.c")),
                    QStringLiteral(RAVIK_RUNTIME_DIR "/ravik_lcd.c"), QStringLiteral("-o"),
                    dir.filePath(QStringLiteral("draw"))});
    QVERIFY(compiler.waitForFinished(120000));
    QVERIFY2(compiler.exitCode() == 0, compiler.readAll().constData());

    QProcess draw;
    draw.start(dir.filePath(QStringLiteral("draw")), {});
    QVERIFY(draw.waitForFinished(60000));
    QCOMPARE(draw.exitCode(), 0);
    const QByteArray output = draw.readAllStandardOutput();
    const std::size_t record = kFrameSize + 6;
    QCOMPARE(std::size_t(output.size()), record * cases.size());

    const int rgb[3] = {0xF, 0x2, 0x8};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        Panel expected = patternPanel();
        const int pen = alpha
                            ? composeRendered(expected, rendered, bpp, cases[i].codepoints,
                                              cases[i].x, cases[i].y, rgb)
                            : compose(expected, font, cases[i].codepoints, cases[i].x, cases[i].y);
        const Bytes want = expected.bytes();
        const Bytes got(output.begin() + qsizetype(i * record),
                        output.begin() + qsizetype(i * record + kFrameSize));
        for (std::size_t b = 0; b < want.size(); ++b) {
            if (got[b] != want[b]) {
                QFAIL(qPrintable(QStringLiteral("%1: byte %2 (row %3) is 0x%4, want 0x%5")
                                     .arg(QString::fromUtf8(cases[i].name))
                                     .arg(b)
                                     .arg(b / kRowStride)
                                     .arg(got[b], 2, 16, QLatin1Char('0'))
                                     .arg(want[b], 2, 16, QLatin1Char('0'))));
            }
        }
        QCOMPARE(output.mid(qsizetype(i * record + kFrameSize), 6).toInt(), pen);
    }
    // The drawing changed something: the first case is not the untouched pattern.
    QVERIFY(QByteArray(output.constData(), kFrameSize) !=
            QByteArray(reinterpret_cast<const char*>(patternPanel().bytes().data()), kFrameSize));
}

void FontsTest::compressedDrawsAsPacked_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("bpp");
    QTest::newRow("12 px, 4 bits") << 12 << 4;
    QTest::newRow("16 px, 4 bits") << 16 << 4;
    QTest::newRow("12 px, 2 bits") << 12 << 2;
    QTest::newRow("16 px, 2 bits") << 16 << 2;
    QTest::newRow("24 px, 2 bits") << 24 << 2;
    QTest::newRow("12 px, 1 bit") << 12 << 1;
    QTest::newRow("16 px, 1 bit") << 16 << 1;
    QTest::newRow("24 px, 1 bit") << 24 << 1;
}

// Every glyph of ASCII and GB2312 level 1, compressed, drawn by the runtime as the same glyph
// packed: whole, and cut by each edge of the frame.
void FontsTest::compressedDrawsAsPacked() {
    QFETCH(int, size);
    QFETCH(int, bpp);
    if (!font_) {
        QSKIP("fontconfig finds no font for sans-serif:lang=zh-cn");
    }
    const std::vector<std::string> items{"ascii", "gb2312-1"};
    const RenderedFont rendered = renderGlyphs(*font_, characterSet(items), size);
    const PackedFont packed = alphaFont(rendered, {bpp, GlyphCompression::None});
    const PackedFont compressed = alphaFont(rendered, {bpp, GlyphCompression::Rle});
    QVERIFY(std::ranges::all_of(compressed.glyphs, &FontGlyph::compressed));
    // The records of 3,850 glyphs, their metrics and group starts: at most 7 bytes a glyph up to
    // 16 px, 8 at 24 px (they were 10).
    QVERIFY(glyphTables(compressed).bytes() <=
            std::size_t(size < 24 ? 7 : 8) * packed.glyphs.size());
    const RuntimeFont plain(packed);
    const RuntimeFont coded(compressed);
    const Bytes start = patternPanel().bytes();
    // Whole, then cut on the left, top, right and bottom.
    const int places[][2] = {{40, 20}, {-5, 20}, {40, -7}, {92, 20}, {40, 58}};
    int differing = 0;
    for (const FontGlyph& glyph : packed.glyphs) {
        const std::string utf8 = utf8Of(glyph.codepoint);
        for (const auto& place : places) {
            Bytes want = start;
            Bytes got = start;
            const int pen =
                ravik_lcd_text(want.data(), place[0], place[1], utf8.c_str(), plain.get(), 0xF28);
            QCOMPARE(
                ravik_lcd_text(got.data(), place[0], place[1], utf8.c_str(), coded.get(), 0xF28),
                pen);
            differing += got != want ? 1 : 0;
        }
    }
    QCOMPARE(differing, 0);
}

void FontsTest::missingCharactersAllReported() {
    if (!font_) {
        QSKIP("fontconfig finds no font for sans-serif:lang=zh-cn");
    }
    const std::vector<char32_t> set{U'A', 0xE000, U'字', 0x10FFFD};
    try {
        renderGlyphs(*font_, set, 16);
        QFAIL("a font without U+E000 and U+10FFFD rendered them");
    } catch (const FontError& error) {
        QCOMPARE(error.fault(), FontFault::MissingCharacters);
        const std::string message = error.what();
        QVERIFY2(message.find("U+E000") != std::string::npos, message.c_str());
        QVERIFY2(message.find("U+10FFFD") != std::string::npos, message.c_str());
        QVERIFY2(message.find("U+0041") == std::string::npos, message.c_str());
    }
}

void FontsTest::characterSets_data() {
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("count");
    QTest::addColumn<uint>("first");
    QTest::addColumn<uint>("last");
    QTest::newRow("ascii") << QStringList{QStringLiteral("ascii")} << QByteArray() << 95 << 0x20u
                           << 0x7Eu;
    QTest::newRow("gb2312 level 1")
        << QStringList{QStringLiteral("gb2312-1")} << QByteArray() << 3755 << 0x4E00u << 0u;
    QTest::newRow("gb2312") << QStringList{QStringLiteral("gb2312")} << QByteArray() << 6763
                            << 0x4E00u << 0u;
    QTest::newRow("range and literal merged")
        << QStringList{QStringLiteral("U+4E00-U+4E2F"), QStringLiteral("一丁A")} << QByteArray()
        << 49 << 0x41u << 0x4E2Fu;
    QTest::newRow("file with BOM and CRLF")
        << QStringList{QStringLiteral("@FILE")}
        << QByteArray("\xEF\xBB\xBF\xE4\xBD\xA0\xE5\xA5\xBD\r\nAB\r\nA\r\n") << 4 << 0x41u
        << 0x597Du;
    QTest::newRow("sorted and unique")
        << QStringList{QStringLiteral("zyx"), QStringLiteral("U+0078")} << QByteArray() << 3
        << 0x78u << 0x7Au;
}

void FontsTest::characterSets() {
    QFETCH(QStringList, items);
    QFETCH(QByteArray, file);
    QFETCH(int, count);
    QFETCH(uint, first);
    QFETCH(uint, last);
    QTemporaryDir dir;
    std::vector<std::string> args;
    for (const QString& item : items) {
        if (item == QStringLiteral("@FILE")) {
            writeFile(dir.filePath(QStringLiteral("chars.txt")), file.toStdString());
            args.push_back("@" + dir.filePath(QStringLiteral("chars.txt")).toStdString());
        } else {
            args.push_back(item.toStdString());
        }
    }
    const std::vector<char32_t> set = characterSet(args);
    QCOMPARE(int(set.size()), count);
    QVERIFY(std::is_sorted(set.begin(), set.end()));
    QVERIFY(std::adjacent_find(set.begin(), set.end()) == set.end());
    QCOMPARE(uint(set.front()), first);
    if (last != 0) {
        QCOMPARE(uint(set.back()), last);
    }
}

void FontsTest::gb2312InItsOwnOrder() {
    // Level 1 runs by pinyin from 啊 to 座; level 2 by radical, ending in 齄.
    const std::vector<char32_t> level1 = gb2312Hanzi(16, 55);
    QCOMPARE(int(level1.size()), 3755);
    QCOMPARE(uint(level1.front()), 0x554Au);
    QCOMPARE(uint(level1.back()), 0x5EA7u);
    const std::vector<char32_t> all = gb2312Hanzi(16, 87);
    QCOMPARE(int(all.size()), 6763);
    QCOMPARE(uint(all.front()), 0x554Au);
    QCOMPARE(uint(all.back()), 0x9F44u);
}

void FontsTest::gb2312AsIconvMapsIt_data() {
    QTest::addColumn<int>("firstRow");
    QTest::addColumn<int>("lastRow");
    QTest::newRow("level 1") << 16 << 55;
    QTest::newRow("level 2") << 56 << 87;
    QTest::newRow("row 55, five short") << 55 << 55;
    QTest::newRow("rows across the levels") << 54 << 57;
}

// The table against the C library's own GB2312 converter, position by position.
void FontsTest::gb2312AsIconvMapsIt() {
#ifdef _WIN32
    QSKIP("no iconv on Windows");
#else
    QFETCH(int, firstRow);
    QFETCH(int, lastRow);
    const iconv_t converter = iconv_open("UTF-32LE", "GB2312");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        QSKIP("the C library's iconv has no GB2312");
    }
    std::vector<char32_t> expected;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = 1; column <= 94; ++column) {
            char in[2] = {char(0xA0 + row), char(0xA0 + column)};
            unsigned char out[4] = {};
            char* inPointer = in;
            char* outPointer = reinterpret_cast<char*>(out);
            std::size_t inLeft = sizeof in;
            std::size_t outLeft = sizeof out;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
            if (iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) != std::size_t(-1) &&
                outLeft == 0) {
                expected.push_back(char32_t(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24));
            }
        }
    }
    iconv_close(converter);
    const std::vector<char32_t> table = gb2312Hanzi(firstRow, lastRow);
    QCOMPARE(table.size(), expected.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        QCOMPARE(uint(table[i]), uint(expected[i]));
    }
#endif
}

void FontsTest::characterSetFaults_data() {
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<int>("fault");
    QTest::newRow("range backwards")
        << QByteArray("U+4E2F-U+4E00") << int(FontFault::BadCharacterSet);
    QTest::newRow("range past U+10FFFF")
        << QByteArray("U+10FFFF-U+110000") << int(FontFault::BadCharacterSet);
    QTest::newRow("range not hexadecimal")
        << QByteArray("U+4G00") << int(FontFault::BadCharacterSet);
    QTest::newRow("literal not UTF-8") << QByteArray("A\xC3") << int(FontFault::InvalidUtf8);
    QTest::newRow("literal surrogate") << QByteArray("\xED\xA0\x80") << int(FontFault::InvalidUtf8);
    QTest::newRow("file not UTF-8") << QByteArray("@BAD") << int(FontFault::InvalidUtf8);
    QTest::newRow("file missing") << QByteArray("@/nonexistent/chars.txt")
                                  << int(FontFault::CharacterFileError);
    QTest::newRow("only line ends") << QByteArray("\r\n") << int(FontFault::BadCharacterSet);
}

void FontsTest::characterSetFaults() {
    QFETCH(QByteArray, item);
    QFETCH(int, fault);
    QTemporaryDir dir;
    std::string argument = item.toStdString();
    if (argument == "@BAD") {
        argument = "@" + dir.filePath(QStringLiteral("bad.txt")).toStdString();
        writeFile(dir.filePath(QStringLiteral("bad.txt")), "AB\xFF\xFE");
    }
    try {
        characterSet(std::vector<std::string>{argument});
        QFAIL("accepted");
    } catch (const FontError& error) {
        QCOMPARE(int(error.fault()), fault);
        if (argument.front() == '@') {
            // The message names the file, as the system writes paths.
            const QString named =
                QDir::toNativeSeparators(QString::fromStdString(argument.substr(1)));
            QVERIFY2(QString::fromUtf8(error.what()).contains(named), error.what());
        }
    }
}

void FontsTest::fontFaults() {
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("not-a-font.ttf")), "plain text, no font\n");
    const auto faultOf = [](auto&& call) -> int {
        try {
            call();
        } catch (const FontError& error) {
            return int(error.fault());
        }
        return -1;
    };
    QCOMPARE(faultOf([&] { findFont("/nonexistent/font.ttf"); }), int(FontFault::FontNotFound));
    QCOMPARE(faultOf([&] { findFont("NoSuchFamily Qzx"); }), int(FontFault::FontNotFound));
    const std::string notAFont = dir.filePath(QStringLiteral("not-a-font.ttf")).toStdString();
    QCOMPARE(faultOf([&] { renderGlyphs(findFont(notAFont), std::vector<char32_t>{U'A'}, 16); }),
             int(FontFault::NotAFont));
    if (!font_) {
        QSKIP("fontconfig finds no font for sans-serif:lang=zh-cn");
    }
    QCOMPARE(faultOf([&] {
                 renderGlyphs(FontFile{font_->path, 999}, std::vector<char32_t>{U'A'}, 16);
             }),
             int(FontFault::FaceOutOfRange));
    QCOMPARE(faultOf([&] { renderGlyphs(*font_, std::vector<char32_t>{U'A'}, 0); }),
             int(FontFault::SizeUnavailable));
}

void FontsTest::headerRefusesWhatTheRuntimeCannotHold_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("advance");
    QTest::addColumn<int>("ascent");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("fits");
    QTest::newRow("largest that fits") << 255 << -128 << 255 << 255 << 65535 << true;
    QTest::newRow("glyph 256 wide") << 256 << 0 << 10 << 10 << 1 << false;
    QTest::newRow("left -129") << 10 << -129 << 10 << 10 << 1 << false;
    QTest::newRow("advance 256") << 10 << 0 << 256 << 10 << 1 << false;
    QTest::newRow("ascent 256") << 10 << 0 << 10 << 256 << 1 << false;
    QTest::newRow("65,536 glyphs") << 1 << 0 << 1 << 10 << 65536 << false;
}

void FontsTest::headerRefusesWhatTheRuntimeCannotHold() {
    QFETCH(int, width);
    QFETCH(int, left);
    QFETCH(int, advance);
    QFETCH(int, ascent);
    QFETCH(int, count);
    QFETCH(bool, fits);
    PackedFont font;
    font.lineHeight = 10;
    font.ascent = ascent;
    for (int i = 0; i < count; ++i) {
        font.glyphs.push_back(FontGlyph{char32_t(0x20 + i), 0, i == 0 ? width : 1, 1,
                                        i == 0 ? left : 0, 0, i == 0 ? advance : 1});
    }
    bool threw = false;
    try {
        formatFontHeader("f", "", font);
    } catch (const std::invalid_argument& error) {
        threw = true;
        QVERIFY(!std::string(error.what()).empty());
    }
    QCOMPARE(threw, !fits);
}

// A record holds a bitmap's length in at most 16 bits: a 255 x 255 glyph of 4-bit levels
// (32,513 bytes) fits, one of RGB444 pixels (ceil(255 × 255 × 3 / 2) = 97,538 bytes) does not.
void FontsTest::headerRefusesABitmapPast64KB_data() {
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<bool>("fits");
    QTest::newRow("4-bit levels") << true << 32513 << true;
    QTest::newRow("RGB444 pixels") << false << 97538 << false;
}

void FontsTest::headerRefusesABitmapPast64KB() {
    QFETCH(bool, alpha);
    QFETCH(int, bytes);
    QFETCH(bool, fits);
    PackedFont font;
    font.lineHeight = 255;
    font.ascent = 200;
    font.alpha = alpha;
    font.glyphs.push_back(FontGlyph{U'A', 0, 255, 255, 0, 100, 255});
    font.bitmaps.assign(std::size_t(bytes), 0);
    QCOMPARE(packedFontProblem(font).empty(), fits);
}

// The grouped records, worked by hand. Glyphs from U+0041 on, one code point apart (then `jump`
// more from the third on), `spacing` bytes apart: that many bytes long (the last up to the
// bitmaps' end), even ones 2 x 1 and odd ones 1 x 2, so two metrics entries (1 index bit). A
// record is the step, then length | index << offsetBits; a group its code point, first glyph and
// bitmaps' start. Three glyphs 1 byte apart: 2 bits, 2-byte records, one group. 40 glyphs 256
// apart: 9 + 1 bits, 3-byte records, a new group at glyph 32 (U+0061, bitmaps at 0x2000). A step
// of 255 stays in the group, one of 256 starts a new one.
void FontsTest::glyphTablesGroupTheRecords_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<int>("jump");
    QTest::addColumn<int>("recordSize");
    QTest::addColumn<int>("offsetBits");
    QTest::addColumn<QByteArray>("groups");
    QTest::addColumn<int>("probe");             // a glyph whose record is checked
    QTest::addColumn<QByteArray>("probeBytes"); // its record
    QTest::addColumn<int>("bytes");             // records, metrics, groups
    QTest::newRow("three glyphs, one group")
        << 3 << 1 << 0 << 2 << 1 << QByteArray("\x41\0\0\0\0\0\0\0", 8) << 1
        << QByteArray("\x01\x03", 2) << 6 + 12 + 8;
    QTest::newRow("40 glyphs, groups of 32")
        << 40 << 256 << 0 << 3 << 9 << QByteArray("\x41\0\0\0\0\0\0\0\x61\0\0\x20\0\0\x20\0", 16)
        << 32 << QByteArray("\0\0\x01", 3) << 120 + 12 + 16;
    QTest::newRow("a step of 255 in the group")
        << 3 << 1 << 254 << 2 << 1 << QByteArray("\x41\0\0\0\0\0\0\0", 8) << 2
        << QByteArray("\xFF\x01", 2) << 6 + 12 + 8;
    QTest::newRow("a step of 256 starts a group")
        << 3 << 1 << 255 << 2 << 1 << QByteArray("\x41\0\0\0\0\0\0\0\x42\x01\0\x02\0\x02\0\0", 16)
        << 2 << QByteArray("\0\x01", 2) << 6 + 12 + 16;
}

void FontsTest::glyphTablesGroupTheRecords() {
    QFETCH(int, count);
    QFETCH(int, spacing);
    QFETCH(int, jump);
    QFETCH(int, recordSize);
    QFETCH(int, offsetBits);
    QFETCH(QByteArray, groups);
    QFETCH(int, probe);
    QFETCH(QByteArray, probeBytes);
    QFETCH(int, bytes);
    PackedFont font;
    font.lineHeight = 20;
    font.ascent = 16;
    font.bitmaps.assign(std::size_t(count * spacing), 0);
    for (int i = 0; i < count; ++i) {
        const bool even = i % 2 == 0;
        font.glyphs.push_back(FontGlyph{char32_t(0x41 + i + (i >= 2 ? jump : 0)),
                                        std::uint32_t(i * spacing), even ? 2 : 1, even ? 1 : 2, 0,
                                        1, 3});
    }
    const GlyphTables tables = glyphTables(font);
    QCOMPARE(tables.recordSize, recordSize);
    QCOMPARE(tables.offsetBits, offsetBits);
    QCOMPARE(tables.metricsCount(), std::size_t(2));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(tables.groups.data()),
                        qsizetype(tables.groups.size())),
             groups);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(tables.records.data()) + probe * recordSize,
                        recordSize),
             probeBytes);
    QCOMPARE(tables.bytes(), std::size_t(bytes));
    QCOMPARE(fontFlashBytes(font), std::uint64_t(count * spacing + bytes));
}

// The runtime finds every glyph of the tool's tables, and nothing else: 1 x 1 glyphs whose
// levels, advances and bitmap lengths (a byte and 0 to 6 of padding) vary, over code points in
// ASCII, hanzi, steps of 255 and 256 and planes past U+FFFF. Each glyph alone draws its level at
// its place and moves the pen by its advance; a code point between, before or after them moves it
// by half the line height.
void FontsTest::runtimeFindsEveryGlyph_data() {
    QTest::addColumn<std::vector<char32_t>>("codes");
    std::vector<char32_t> asciiAndHanzi;
    for (char32_t code = 0x20; code < 0x7F; ++code) {
        asciiAndHanzi.push_back(code);
    }
    for (char32_t code = 0x4E00; code < 0x4E00 + 3 * 100; code += 3) {
        asciiAndHanzi.push_back(code);
    }
    QTest::newRow("ASCII and every third hanzi") << asciiAndHanzi;
    QTest::newRow("steps of 255 and 256")
        << std::vector<char32_t>{0x21, 0x21 + 255, 0x21 + 255 + 256, 0x21 + 255 + 256 + 255};
    std::vector<char32_t> planes{0xFFFE, 0xFFFF, 0x10000, 0x10001, 0x1F600, 0x20000, 0x10FFFF};
    QTest::newRow("planes past U+FFFF") << planes;
    QTest::newRow("one glyph") << std::vector<char32_t>{0x4E2D};
}

void FontsTest::runtimeFindsEveryGlyph() {
    QFETCH(std::vector<char32_t>, codes);
    PackedFont font;
    font.lineHeight = 20;
    font.ascent = 5;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const auto level = std::uint8_t(1 + i % 15);
        font.glyphs.push_back(FontGlyph{codes[i], std::uint32_t(font.bitmaps.size()), 1, 1,
                                        int(i % 3), 2, int(1 + i % 50)});
        font.bitmaps.push_back(std::uint8_t(level << 4));
        font.bitmaps.insert(font.bitmaps.end(), i * 5 % 7, 0x55);
    }
    const RuntimeFont runtime(font);
    const auto textOf = [](char32_t code) {
        return QString::fromUcs4(&code, 1).toUtf8();
    };
    for (std::size_t i = 0; i < codes.size(); ++i) {
        Bytes bytes(RAVIK_LCD_FRAME_SIZE, 0);
        const FontGlyph& glyph = font.glyphs[i];
        QCOMPARE(ravik_lcd_text(bytes.data(), 10, 10, textOf(codes[i]).constData(), runtime.get(),
                                0xFFF),
                 10 + glyph.advance);
        const int level = font.bitmaps[glyph.offset] >> 4;
        QCOMPARE(ravik_lcd_get_pixel(bytes.data(), 10 + glyph.left, 10 + font.ascent - glyph.top),
                 std::uint16_t(level << 8 | level << 4 | level));
    }
    std::vector<char32_t> missing{0x1F, 0x4E01, 0x10FFFE, 0x1F5FF};
    for (const char32_t code : codes) {
        missing.push_back(code + 1);
        missing.push_back(code - 1);
    }
    for (const char32_t code : missing) {
        if (code < 1 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
            std::ranges::find(codes, code) != codes.end()) {
            continue;
        }
        QCOMPARE(ravik_lcd_text(nullptr, 10, 10, textOf(code).constData(), runtime.get(), 0xFFF),
                 10 + font.lineHeight / 2);
    }
}

void FontsTest::previewDrawsTheText() {
    if (!font_) {
        QSKIP("fontconfig finds no font for sans-serif:lang=zh-cn");
    }
    const std::vector<char32_t> set{U'I', U'字'};
    const RenderedFont rendered = renderGlyphs(*font_, set, 16);
    const PackedFont font = alphaFont(rendered, {1, GlyphCompression::Rle});
    TextPreview options;
    options.background = RGB(0x10, 0x20, 0x30);
    options.color = RGB(0xFF, 0xFF, 0xFF);
    const FrameBuffer frame = previewFrame(font, "I\n字", options);
    // Every pixel is the background or lies under a glyph of one of the two lines; full coverage
    // shows the colour's nibbles.
    Panel expected;
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            expected.at(x, y, 0) = 1;
            expected.at(x, y, 1) = 2;
            expected.at(x, y, 2) = 3;
        }
    }
    const int white[3] = {15, 15, 15};
    composeRendered(expected, rendered, 1, {U'I'}, 0, 0, white);
    composeRendered(expected, rendered, 1, {U'字'}, 0, font.lineHeight, white);
    const Bytes want = expected.bytes();
    QVERIFY(std::equal(want.begin(), want.end(), frame.frame().begin()));
}

void FontsTest::fontJob_data() {
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QString>("codepoints"); // the set the job must hold, in order
    QTest::newRow("typed text, coverage") << QStringList() << QStringLiteral(u"你好，世界") << true
                                          << QString() << QStringLiteral(u"世你好界，");
    QTest::newRow("typed set names are letters")
        << QStringList() << QStringLiteral("ascii") << true << QString() << QStringLiteral("acis");
    QTest::newRow("items and text merge, colour")
        << QStringList{QStringLiteral("U+0041-U+0043")} << QStringLiteral(u"B字\r\n") << false
        << QStringLiteral("PROGMEM") << QStringLiteral(u"ABC字");
}

void FontsTest::fontJob() {
    QFETCH(QStringList, items);
    QFETCH(QString, text);
    QFETCH(bool, alpha);
    QFETCH(QString, attribute);
    QFETCH(QString, codepoints);
    if (!font_) {
        QSKIP("fontconfig finds no font for sans-serif:lang=zh-cn");
    }
    FontJob job;
    for (const QString& item : items) {
        job.chars.push_back(item.toStdString());
    }
    job.literalText = text.toStdString();
    job.alpha = alpha;
    job.color = RGB(0xFF, 0x80, 0x00);
    job.background = RGB(0x00, 0x00, 0x40);
    job.pixelSize = 14;
    job.name = "label_font";
    job.attribute = attribute.toStdString();
    const FontJobResult result = runFontJob(job);
    QVERIFY2(result.ok(), result.failure.c_str());

    std::vector<char32_t> expected;
    for (char32_t c : codepoints.toStdU32String()) {
        expected.push_back(c);
    }
    QCOMPARE(result.font.glyphs.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(result.font.glyphs[i].codepoint, expected[i]);
    }
    QCOMPARE(result.font.alpha, alpha);
    // The same bytes as the library's steps taken one by one for the same choices.
    const RenderedFont rendered = renderGlyphs(*font_, expected, 14);
    const PackedFont direct =
        alpha ? alphaFont(rendered) : colorFont(rendered, job.color, job.background);
    QVERIFY(result.font.bitmaps == direct.bitmaps);
    QCOMPARE(result.header, formatFontHeader("label_font", job.attribute, direct));
    QVERIFY(result.header.find("ravik_lcd_font label_font") != std::string::npos);
}

void FontsTest::fontJobFailures_data() {
    QTest::addColumn<QString>("font");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QString>("said"); // a part of the message
    QTest::newRow("missing characters")
        << QString() << QStringLiteral(u"A\uE000字") << QStringLiteral("f") << QString()
        << QStringLiteral("U+E000");
    QTest::newRow("no such font file")
        << QStringLiteral("/nonexistent/none.ttf") << QStringLiteral("A") << QStringLiteral("f")
        << QString() << QStringLiteral(u"找不到字体");
    QTest::newRow("no characters") << QString() << QStringLiteral("\r\n") << QStringLiteral("f")
                                   << QString() << QStringLiteral(u"没有任何字符");
    QTest::newRow("name not an identifier")
        << QString() << QStringLiteral("A") << QStringLiteral("1font") << QString() << QString();
    QTest::newRow("attribute ends the declaration")
        << QString() << QStringLiteral("A") << QStringLiteral("f") << QStringLiteral("; int x")
        << QString();
}

void FontsTest::fontJobFailures() {
    QFETCH(QString, font);
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(QString, attribute);
    QFETCH(QString, said);
    if (!font_ && font.isEmpty()) {
        QSKIP("fontconfig finds no font for sans-serif:lang=zh-cn");
    }
    FontJob job;
    job.font = font.toStdString();
    job.literalText = text.toStdString();
    job.name = name.toStdString();
    job.attribute = attribute.toStdString();
    const FontJobResult result = runFontJob(job);
    QVERIFY(!result.ok());
    QVERIFY(result.header.empty());
    QVERIFY(result.font.glyphs.empty());
    const QString message = QString::fromStdString(result.failure);
    QVERIFY2(message.contains(said), qPrintable(message));
    // Every failure is a sentence in Chinese.
    QVERIFY2(std::any_of(message.begin(), message.end(),
                         [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; }),
             qPrintable(message));
}

void FontsTest::glyphPixelsAsTheRuntimeDraws_data() {
    QTest::addColumn<bool>("alpha");
    QTest::newRow("coverage glyph") << true;
    QTest::newRow("picture glyph") << false;
}

// The window's enlarged glyphs against the runtime drawing the same glyph into a frame.
void FontsTest::glyphPixelsAsTheRuntimeDraws() {
    QFETCH(bool, alpha);
    if (!font_) {
        QSKIP("fontconfig finds no font for sans-serif:lang=zh-cn");
    }
    const std::vector<char32_t> set{U'永'};
    const RenderedFont rendered = renderGlyphs(*font_, set, 20);
    const ColorValue color = RGB(0xE0, 0x30, 0x90);
    const ColorValue background = RGB(0x10, 0xC0, 0x40);
    const PackedFont font = alpha ? alphaFont(rendered) : colorFont(rendered, color, background);
    TextPreview options;
    options.background = background;
    options.color = color;
    options.x = 10;
    options.y = 10;
    const FrameBuffer frame = previewFrame(font, "永", options);
    const FontGlyph& glyph = font.glyphs.at(0);
    const std::vector<ColorValue> pixels = glyphPixels(font, 0, color, background);
    QCOMPARE(pixels.size(), std::size_t(glyph.width * glyph.height));
    int inked = 0;
    for (int row = 0; row < glyph.height; ++row) {
        for (int column = 0; column < glyph.width; ++column) {
            const ColorValue shown = pixels[std::size_t(row * glyph.width + column)];
            QCOMPARE(shown, decodePixel(frame, options.x + glyph.left + column,
                                        options.y + font.ascent - glyph.top + row));
            inked += shown != RGB(0x10, 0xC0, 0x40) ? 1 : 0;
        }
    }
    QVERIFY(inked > 10);
}

void FontsTest::textPreviewPngSize() {
    if (!font_) {
        QSKIP("fontconfig finds no font for sans-serif:lang=zh-cn");
    }
    const std::vector<char32_t> set{U'A'};
    const PackedFont font = alphaFont(renderGlyphs(*font_, set, 16));
    QVERIFY(!textPreviewPng(font, "A", {}, 0));
    const std::optional<std::string> png = textPreviewPng(font, "A", {}, 3);
    QVERIFY(png);
    // The signature, then IHDR's width and height, big-endian, from the file's first bytes.
    QCOMPARE(png->substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
    const auto word = [&](std::size_t at) {
        return std::uint32_t(std::uint8_t((*png)[at])) << 24 |
               std::uint32_t(std::uint8_t((*png)[at + 1])) << 16 |
               std::uint32_t(std::uint8_t((*png)[at + 2])) << 8 | std::uint8_t((*png)[at + 3]);
    };
    QCOMPARE(png->substr(12, 4), std::string("IHDR"));
    QCOMPARE(word(16), std::uint32_t(98 * 3));
    QCOMPARE(word(20), std::uint32_t(67 * 3));
}

// The window offers these families; each must be a name findFont takes.
void FontsTest::familiesAreFoundByName() {
    const std::vector<std::string> families = fontFamilies();
    if (families.empty()) {
        QSKIP("fontconfig lists no outline fonts");
    }
    QVERIFY(std::is_sorted(families.begin(), families.end()));
    QVERIFY(std::adjacent_find(families.begin(), families.end()) == families.end());
    const std::size_t step = std::max<std::size_t>(1, families.size() / 8);
    for (std::size_t i = 0; i < families.size(); i += step) {
        try {
            const FontFile file = findFont(families[i]);
            QVERIFY2(!file.path.empty(), families[i].c_str());
        } catch (const FontError& error) {
            QFAIL(error.what());
        }
    }
}

QTEST_GUILESS_MAIN(FontsTest)
#include "fonts_test.moc"
