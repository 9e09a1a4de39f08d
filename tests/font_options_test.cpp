// The font job's choices beyond the first font: fallback fonts (each character from the first
// font that has it, checked against FreeType's own bitmap of that font), one baseline for all of
// them on the panel, the line height the runtime steps by, and the auto-hinter. Expected glyphs
// and rows come from FreeType directly and from the fonts' metrics, never from our own output.

#include "codec/frame_buffer.h"
#include "fonts/char_set.h"
#include "fonts/font_faults.h"
#include "fonts/font_job.h"
#include "fonts/glyph_set.h"
#include "fonts/text_preview.h"

#include <QTest>
#include <cmath>
#include <ft2build.h>
#include <set>
#include FT_FREETYPE_H

using namespace ravik;
using namespace ravik::fonts;
using namespace Qt::StringLiterals;

namespace {

// A font as a row names it: a family, "" for the system's Chinese sans serif, or "cjk:N" for
// face N of the file that one comes from.
FontFile fontFor(const QString& name) {
    if (name.startsWith(u"cjk:"_s)) {
        return FontFile{findFont({}).path, name.mid(4).toInt()};
    }
    return findFont(name.toStdString());
}

std::vector<char32_t> codePoints(const QString& text) {
    std::vector<char32_t> points;
    for (const char32_t c : text.toStdU32String()) {
        points.push_back(c);
    }
    return points;
}

// One face opened by FreeType itself at a pixel size.
class Reference {
public:
    Reference(const FontFile& font, int size) {
        ok_ = FT_Init_FreeType(&library_) == 0 &&
              FT_New_Face(library_, font.path.c_str(), font.face, &face_) == 0 &&
              FT_Set_Pixel_Sizes(face_, 0, FT_UInt(size)) == 0;
    }
    ~Reference() {
        if (face_ != nullptr) {
            FT_Done_Face(face_);
        }
        FT_Done_FreeType(library_);
    }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;

    bool ok() const { return ok_; }
    FT_Face face() const { return face_; }
    int lineHeight() const { return int(std::lround(face_->size->metrics.height / 64.0)); }
    int ascent() const { return int(std::lround(face_->size->metrics.ascender / 64.0)); }
    // The character loaded with these flags and drawn anti-aliased, in the glyph slot.
    const FT_GlyphSlot& load(char32_t c, FT_Int32 flags) {
        FT_Load_Char(face_, c, flags);
        FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_NORMAL);
        return face_->glyph;
    }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    bool ok_ = false;
};

// Whether the rendered glyph is FreeType's bitmap of the character, pixel for pixel.
bool sameAsFreeType(const RenderedGlyph& glyph, Reference& reference, FT_Int32 flags) {
    const FT_GlyphSlot slot = reference.load(glyph.codepoint, flags);
    const FT_Bitmap& bitmap = slot->bitmap;
    if (glyph.width != int(bitmap.width) || glyph.height != int(bitmap.rows) ||
        glyph.left != slot->bitmap_left || glyph.top != slot->bitmap_top ||
        glyph.advance != int(std::lround(slot->advance.x / 64.0))) {
        return false;
    }
    for (unsigned y = 0; y < bitmap.rows; ++y) {
        for (unsigned x = 0; x < bitmap.width; ++x) {
            if (glyph.coverage[y * bitmap.width + x] !=
                bitmap.buffer[int(y) * bitmap.pitch + int(x)]) {
                return false;
            }
        }
    }
    return true;
}

// The panel's pixels that are not the black background, as (x, y).
std::set<std::pair<int, int>> inkOf(const FrameBuffer& frame) {
    std::set<std::pair<int, int>> ink;
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            if (decodePixel(frame, x, y) != RGB(0, 0, 0)) {
                ink.insert({x, y});
            }
        }
    }
    return ink;
}

// The first row of the panel with ink, or -1.
int firstInkRow(const FrameBuffer& frame) {
    const auto ink = inkOf(frame);
    int row = -1;
    for (const auto& [x, y] : ink) {
        row = row < 0 ? y : std::min(row, y);
    }
    return row;
}

// Pixels over the whole set at coverage level `least` (1 to 15) or more: 1 counts the ink, 15
// the pixels fully on.
std::size_t pixelsFrom(const RenderedFont& font, int least) {
    std::size_t count = 0;
    for (const RenderedGlyph& glyph : font.glyphs) {
        count += std::size_t(std::ranges::count_if(
            glyph.coverage, [least](std::uint8_t c) { return coverageLevel(c) >= least; }));
    }
    return count;
}

} // namespace

class FontOptionsTest : public QObject {
    Q_OBJECT

private slots:
    // Each character comes from the first font that has it, as FreeType draws it in that font at
    // the same size; the set's line height and ascent are the first font's.
    void fallbackTakesEachCharacterFromTheFirstFontWithIt_data() {
        QTest::addColumn<QStringList>("fonts");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("from"); // the font each character comes from
        QTest::newRow("Latin from DejaVu Sans, hanzi from Noto CJK")
            << QStringList{u"DejaVu Sans"_s, QString()} << u"Ag永字"_s << QList<int>{0, 0, 1, 1};
        QTest::newRow("first font has them all")
            << QStringList{QString(), u"DejaVu Sans"_s} << u"Ag永"_s << QList<int>{0, 0, 0};
        QTest::newRow("a fallback that lacks them is passed over")
            << QStringList{u"DejaVu Sans"_s, u"DejaVu Serif"_s, QString()} << u"g永"_s
            << QList<int>{0, 2};
        QTest::newRow("Japanese face of the collection")
            << QStringList{u"DejaVu Sans"_s, u"cjk:0"_s} << u"A直骨"_s << QList<int>{0, 1, 1};
        QTest::newRow("Simplified Chinese face of the collection")
            << QStringList{u"DejaVu Sans"_s, u"cjk:2"_s} << u"A直骨"_s << QList<int>{0, 1, 1};
    }
    void fallbackTakesEachCharacterFromTheFirstFontWithIt() {
        QFETCH(QStringList, fonts);
        QFETCH(QString, text);
        QFETCH(QList<int>, from);
        std::vector<FontFile> files;
        try {
            for (const QString& name : fonts) {
                files.push_back(fontFor(name));
            }
        } catch (const FontError& error) {
            QSKIP(error.what());
        }
        constexpr int kSize = 16;
        const RenderedFont rendered = renderGlyphs(files, codePoints(text), kSize);
        Reference first(files.front(), kSize);
        QVERIFY(first.ok());
        QCOMPARE(rendered.lineHeight, first.lineHeight());
        QCOMPARE(rendered.ascent, first.ascent());
        QCOMPARE(rendered.glyphs.size(), std::size_t(from.size()));
        for (std::size_t i = 0; i < rendered.glyphs.size(); ++i) {
            Reference source(files[std::size_t(from[qsizetype(i)])], kSize);
            QVERIFY(source.ok());
            QVERIFY2(
                sameAsFreeType(rendered.glyphs[i], source, FT_LOAD_TARGET_LIGHT),
                qPrintable(QString::fromStdString(codePointName(rendered.glyphs[i].codepoint))));
        }
    }

    // The faces of a collection draw 直 differently: the face asked for is the one used.
    void collectionFacesDiffer() {
        try {
            const RenderedFont japanese =
                renderGlyphs(fontFor(u"cjk:0"_s), codePoints(u"直"_s), 16);
            const RenderedFont chinese = renderGlyphs(fontFor(u"cjk:2"_s), codePoints(u"直"_s), 16);
            QVERIFY(japanese.glyphs.front().coverage != chinese.glyphs.front().coverage);
        } catch (const FontError& error) {
            QSKIP(error.what());
        }
    }

    // With fallbacks the failure lists only the characters no font has, every one of them.
    void missingListsOnlyWhatNoFontHas_data() {
        QTest::addColumn<QStringList>("fallbacks");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("missing"); // empty: the set is made
        QTest::newRow("no fallback: hanzi and a private-use character")
            << QStringList() << u"A永\uE000字"_s << u"字永\uE000"_s; // in code point order
        QTest::newRow("CJK fallback: only the private-use character")
            << QStringList{u"Noto Sans CJK SC"_s} << u"A永\uE000字"_s << u"\uE000"_s;
        QTest::newRow("two fallbacks, the second has the hanzi")
            << QStringList{u"DejaVu Serif"_s, u"Noto Sans CJK SC"_s} << u"A永\uE000\uE001"_s
            << u"\uE000\uE001"_s;
        QTest::newRow("every character in some font")
            << QStringList{u"Noto Sans CJK SC"_s} << u"A永"_s << QString();
    }
    void missingListsOnlyWhatNoFontHas() {
        QFETCH(QStringList, fallbacks);
        QFETCH(QString, text);
        QFETCH(QString, missing);
        FontJob job;
        job.font = "DejaVu Sans";
        job.literalText = text.toStdString();
        for (const QString& fallback : fallbacks) {
            job.fallbacks.push_back({fallback.toStdString(), 0});
        }
        try {
            for (const FontName& name : job.fallbacks) {
                findFont(name.font);
            }
            findFont(job.font);
        } catch (const FontError& error) {
            QSKIP(error.what());
        }
        const FontJobResult result = runFontJob(job);
        QCOMPARE(result.missing, codePoints(missing));
        QCOMPARE(result.ok(), missing.isEmpty());
        for (const char32_t c : result.missing) {
            QVERIFY2(result.failure.find(codePointName(c)) != std::string::npos,
                     result.failure.c_str());
        }
        // With fallbacks the sentence says they were searched too.
        QCOMPARE(result.failure.find("后备字体中也没有") != std::string::npos,
                 !missing.isEmpty() && !fallbacks.isEmpty());
    }

    // A fallback glyph stands on the first font's baseline: the panel's ink is where FreeType's
    // bitmaps put it, each font's own bitmap top measured up from the first font's ascent.
    void fallbackGlyphsShareTheBaseline_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("y");
        QTest::newRow("16 px at the top") << 16 << 0;
        QTest::newRow("12 px lower down") << 12 << 20;
        QTest::newRow("24 px") << 24 << 3;
    }
    void fallbackGlyphsShareTheBaseline() {
        QFETCH(int, size);
        QFETCH(int, y);
        FontJob job;
        job.font = "DejaVu Sans";
        job.fallbacks = {{"Noto Sans CJK SC", 0}};
        job.literalText = "Ag永j字";
        job.pixelSize = size;
        FontFile latin;
        FontFile hanzi;
        try {
            latin = findFont(job.font);
            hanzi = findFont(job.fallbacks.front().font);
        } catch (const FontError& error) {
            QSKIP(error.what());
        }
        const FontJobResult made = runFontJob(job);
        QVERIFY2(made.ok(), made.failure.c_str());
        const FrameBuffer frame = previewFrame(made.font, job.literalText, {.x = 1, .y = y});

        // The same line composed from FreeType's bitmaps: the pen from advance to advance.
        Reference first(latin, size);
        Reference second(hanzi, size);
        QVERIFY(first.ok() && second.ok());
        std::set<std::pair<int, int>> expected;
        int pen = 1;
        for (const char32_t c : codePoints(QString::fromStdString(job.literalText))) {
            Reference& source = c < 0x100 ? first : second;
            const FT_GlyphSlot slot = source.load(c, FT_LOAD_TARGET_LIGHT);
            for (unsigned row = 0; row < slot->bitmap.rows; ++row) {
                for (unsigned column = 0; column < slot->bitmap.width; ++column) {
                    const int coverage =
                        slot->bitmap.buffer[int(row) * slot->bitmap.pitch + int(column)];
                    const int px = pen + slot->bitmap_left + int(column);
                    const int py = y + first.ascent() - slot->bitmap_top + int(row);
                    if (coverageLevel(std::uint8_t(coverage)) > 0 && px >= 0 && px < kFrameWidth &&
                        py >= 0 && py < kFrameHeight) {
                        expected.insert({px, py});
                    }
                }
            }
            pen += int(std::lround(slot->advance.x / 64.0));
        }
        QVERIFY(!expected.empty());
        QVERIFY(inkOf(frame) == expected);
    }

    // The runtime's second line starts line_height rows below the first: the font's own by
    // default, the one asked for otherwise; the baseline stays the ascent below each line's top.
    void lineHeightMovesTheSecondLine_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("lineHeight"); // 0: the font's own
        QTest::newRow("the font's own at 16 px") << 16 << 0;
        QTest::newRow("tighter than the font's") << 16 << 17;
        QTest::newRow("looser than the font's") << 16 << 30;
        QTest::newRow("one row") << 12 << 1;
    }
    void lineHeightMovesTheSecondLine() {
        QFETCH(int, size);
        QFETCH(int, lineHeight);
        FontFile file;
        try {
            file = findFont({});
        } catch (const FontError& error) {
            QSKIP(error.what());
        }
        FontJob job;
        job.literalText = "永";
        job.pixelSize = size;
        job.lineHeight = lineHeight;
        const FontJobResult made = runFontJob(job);
        QVERIFY2(made.ok(), made.failure.c_str());
        Reference reference(file, size);
        QVERIFY(reference.ok());
        const int step = lineHeight > 0 ? lineHeight : reference.lineHeight();
        QCOMPARE(made.font.lineHeight, step);
        QCOMPARE(made.font.ascent, reference.ascent());

        const int top = firstInkRow(previewFrame(made.font, "永"));
        const FT_GlyphSlot slot = reference.load(U'永', FT_LOAD_TARGET_LIGHT);
        int firstRow = 0; // of the bitmap with ink
        while (firstRow < int(slot->bitmap.rows) &&
               std::all_of(slot->bitmap.buffer + firstRow * slot->bitmap.pitch,
                           slot->bitmap.buffer + firstRow * slot->bitmap.pitch + slot->bitmap.width,
                           [](unsigned char c) { return coverageLevel(c) == 0; })) {
            ++firstRow;
        }
        QCOMPARE(top, reference.ascent() - slot->bitmap_top + firstRow);
        QCOMPARE(firstInkRow(previewFrame(made.font, "\n永")), top + step);
    }

    // The auto-hinter gives other bitmaps than light hinting, with at least a quarter of the ink
    // fully on where light hinting has far less, and they are FreeType's forced auto-hinter
    // fitting for 1-bit, drawn anti-aliased.
    void autoHintingSnapsStems_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("12 px") << 12;
        QTest::newRow("16 px") << 16;
    }
    void autoHintingSnapsStems() {
        QFETCH(int, size);
        FontFile file;
        try {
            file = findFont({});
        } catch (const FontError& error) {
            QSKIP(error.what());
        }
        const std::vector<std::string> items{"gb2312-1"};
        const std::vector<char32_t> hanzi = characterSet(items);
        const RenderedFont light = renderGlyphs(file, hanzi, size, Hinting::Light);
        const RenderedFont autoHinted = renderGlyphs(file, hanzi, size, Hinting::Auto);
        QVERIFY(pixelsFrom(autoHinted, 15) > pixelsFrom(light, 15));
        QVERIFY(pixelsFrom(autoHinted, 15) * 4 >= pixelsFrom(autoHinted, 1));
        Reference reference(file, size);
        QVERIFY(reference.ok());
        for (std::size_t i = 0; i < hanzi.size(); i += 97) {
            QVERIFY(sameAsFreeType(autoHinted.glyphs[i], reference,
                                   FT_LOAD_FORCE_AUTOHINT | FT_LOAD_TARGET_MONO));
        }
    }
};

QTEST_GUILESS_MAIN(FontOptionsTest)
#include "font_options_test.moc"
