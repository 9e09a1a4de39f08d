// The firmware runtime (compiled as C99 with the sanitizers) against the codec: drawing the codec's
// packed picture into the codec's frame must give exactly the codec's packing of the two pictures
// composed at that position. Also hand-computed bytes for drawing, masks and single pixels, and the
// runtime's text as the program carries it against the files.

#include "codec/frame_buffer.h"
#include "runtime/ravik_lcd.h"
#include "runtime/runtime_text.h"
#include "seeded_noise.h"

#include <QTest>
#include <climits>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace ravik;
using ravik::testing::seededNoise;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Which pixels of a test picture its mask draws: runs of many lengths, with gaps of a few pixels
// and of more than a byte, so that runs start and end on both halves of a byte.
bool maskedIn(int x, int y) {
    return (x / 9 + y) % 3 != 0 && (x + 2 * y) % 5 != 1;
}

// The mask as firmware takes it: rows padded to whole bytes, the leftmost pixel in the top bit.
Bytes maskBytes(int width, int height) {
    const int stride = (width + 7) / 8;
    Bytes mask(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (maskedIn(x, y)) {
                mask[static_cast<std::size_t>(y * stride + x / 8)] |= 0x80 >> x % 8;
            }
        }
    }
    return mask;
}

// Where the two bytes first differ, for a failure message that points at the pixel.
QByteArray firstDifference(const Bytes& actual, const Bytes& expected) {
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (actual[i] != expected[i]) {
            return QByteArray("byte ") + QByteArray::number(qulonglong(i)) + " (row " +
                   QByteArray::number(qulonglong(i / kRowStride)) + "): got 0x" +
                   QByteArray::number(actual[i], 16) + ", want 0x" +
                   QByteArray::number(expected[i], 16);
        }
    }
    return {};
}

Bytes bytesOf(std::initializer_list<int> values) {
    Bytes bytes;
    for (int value : values) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The nibbles of a decoded colour as 0x0RGB.
// A font written by hand: RAVIK_LCD_GLYPH records (6 bytes, whole offsets) and their
// RAVIK_LCD_METRICS entries.
template <std::size_t GlyphBytes, std::size_t MetricsBytes>
ravik_lcd_font handFont(const std::uint8_t (&glyphs)[GlyphBytes],
                        const std::uint8_t (&metrics)[MetricsBytes], const std::uint8_t* bitmaps,
                        std::size_t bitmapsSize, int lineHeight, int ascent, int bpp) {
    ravik_lcd_font font{};
    font.glyphs = glyphs;
    font.metrics = metrics;
    font.bitmaps = bitmaps;
    font.bitmaps_size = static_cast<std::uint32_t>(bitmapsSize);
    font.count = static_cast<std::uint16_t>(GlyphBytes / 6);
    font.metrics_count = static_cast<std::uint16_t>(MetricsBytes / RAVIK_LCD_METRICS_SIZE);
    font.record_size = 6;
    font.offset_bits = 24;
    font.line_height = static_cast<std::uint8_t>(lineHeight);
    font.ascent = static_cast<std::uint8_t>(ascent);
    font.bpp = static_cast<std::uint8_t>(bpp);
    return font;
}

std::uint16_t nibblesOf(ColorValue color) {
    return static_cast<std::uint16_t>((redOf(color) >> 4) << 8 | (greenOf(color) >> 4) << 4 |
                                      blueOf(color) >> 4);
}

} // namespace

Q_DECLARE_METATYPE(Bytes)

class RuntimeTest : public QObject {
    Q_OBJECT
private slots:
    void sizesAgreeWithTheCodec() {
        QCOMPARE(RAVIK_LCD_WIDTH, kFrameWidth);
        QCOMPARE(RAVIK_LCD_HEIGHT, kFrameHeight);
        QCOMPARE(RAVIK_LCD_ROW_SIZE, kRowStride);
        QCOMPARE(RAVIK_LCD_FRAME_SIZE, kFrameSize);
        for (const auto& [width, height] : {std::pair{1, 1},
                                            {3, 1},
                                            {1, 3},
                                            {7, 5},
                                            {16, 16},
                                            {98, 67},
                                            {1023, 1},
                                            {1024, 1024}}) {
            QCOMPARE(RAVIK_LCD_PACKED_SIZE(width, height), packedSize(width, height));
        }
        QCOMPARE(RAVIK_LCD_MASK_SIZE(1, 1), 1UL);
        QCOMPARE(RAVIK_LCD_MASK_SIZE(8, 3), 3UL);
        QCOMPARE(RAVIK_LCD_MASK_SIZE(9, 2), 4UL);
        QCOMPARE(RAVIK_LCD_MASK_SIZE(1024, 1024), 131072UL);
    }

    // The proof: the runtime and the codec, two independent paths to the same bytes.
    void drawMatchesTheCodec_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("masked");
        struct Case {
            const char* name;
            int width, height, x, y;
        };
        const Case cases[] = {
            {"1 x 1 at the origin", 1, 1, 0, 0},
            {"1 x 1 at an odd x", 1, 1, 1, 0},
            {"1 x 1 in the last pixel", 1, 1, 97, 66},
            {"3 x 1 at an odd x", 3, 1, 5, 2},
            {"5 x 3 at an even x, rows starting on both halves", 5, 3, 10, 4},
            {"5 x 3 at an odd x", 5, 3, 11, 4},
            {"7 x 5 at an odd x and y", 7, 5, 33, 21},
            {"16 x 16 at an even x", 16, 16, 40, 20},
            {"17 x 9 at an odd x", 17, 9, 41, 20},
            {"1 x 67 column at an odd x", 1, 67, 49, 0},
            {"98 x 1 row", 98, 1, 0, 30},
            {"whole frame at the origin", 98, 67, 0, 0},
            {"whole frame one pixel right", 98, 67, 1, 0},
            {"whole frame one pixel up and left", 98, 67, -1, -1},
            {"clipped at the left by an odd count", 9, 6, -3, 10},
            {"clipped at the left by an even count", 9, 6, -4, 10},
            {"clipped at the top", 9, 6, 20, -5},
            {"clipped at the right from an odd x", 9, 6, 93, 10},
            {"clipped at the right from an even x", 10, 6, 92, 10},
            {"clipped at the bottom", 9, 6, 20, 64},
            {"clipped at the top-left corner", 13, 11, -5, -7},
            {"clipped at the bottom-right corner", 13, 11, 91, 60},
            {"larger than the frame on every side", 120, 80, -11, -7},
            {"larger than the frame from an odd corner", 101, 71, -1, -3},
            {"wholly left", 9, 6, -9, 10},
            {"wholly right", 9, 6, 98, 10},
            {"wholly above", 9, 6, 10, -6},
            {"wholly below", 9, 6, 10, 67},
            {"1024 x 1024 seen through its far corner", 1024, 1024, -1000, -990},
            {"1023 x 700 seen through its middle", 1023, 700, -501, -333},
        };
        for (const Case& c : cases) {
            for (bool masked : {false, true}) {
                const QByteArray name = QByteArray(c.name) + (masked ? ", masked" : "");
                QTest::newRow(name.constData()) << c.width << c.height << c.x << c.y << masked;
            }
        }
    }
    void drawMatchesTheCodec() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(bool, masked);
        const std::vector<ColorValue> background = seededNoise(kFrameWidth, kFrameHeight, 1);
        const std::vector<ColorValue> picture = seededNoise(width, height, 2);

        // The codec's path: compose the colours, then pack the frame.
        std::vector<ColorValue> composed = background;
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                const int fx = x + column;
                const int fy = y + row;
                if (fx >= 0 && fx < kFrameWidth && fy >= 0 && fy < kFrameHeight &&
                    (!masked || maskedIn(column, row))) {
                    composed[static_cast<std::size_t>(fy * kFrameWidth + fx)] =
                        picture[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                                static_cast<std::size_t>(column)];
                }
            }
        }
        const Bytes expected = packPixels(composed, kFrameWidth, kFrameHeight);

        // The runtime's path: pack each, then draw. Every buffer is exactly its size, so that
        // AddressSanitizer sees any byte read or written past it.
        Bytes frame = packPixels(background, kFrameWidth, kFrameHeight);
        QCOMPARE(frame.size(), std::size_t{RAVIK_LCD_FRAME_SIZE});
        const Bytes pixels = packPixels(picture, width, height);
        const Bytes mask = maskBytes(width, height);
        const Bytes before = frame;
        ravik_lcd_draw(frame.data(), x, y, pixels.data(), width, height,
                       masked ? mask.data() : nullptr);

        QVERIFY2(frame == expected, firstDifference(frame, expected).constData());

        // Where ravik_lcd_draw_from is told the arrays lie makes no difference on the host.
        for (const unsigned from : {0u, RAVIK_LCD_PIXELS_IN_RAM, RAVIK_LCD_MASK_IN_RAM,
                                    RAVIK_LCD_PIXELS_IN_RAM | RAVIK_LCD_MASK_IN_RAM}) {
            Bytes drawn = before;
            ravik_lcd_draw_from(drawn.data(), x, y, pixels.data(), width, height,
                                masked ? mask.data() : nullptr, static_cast<std::uint8_t>(from));
            QVERIFY2(drawn == expected, firstDifference(drawn, expected).constData());
        }
    }

    // A 6 x 3 glyph of 4-bit levels 0 15 15 5 10 0 / the same / 10 5 0 0 15 15, compressed by hand
    // from the header's words. Control bits: row 0 "00" tokens: none 1 "110" "10" (a row's first),
    // full 2 "00" "11" (third after none), 2 literals "1" "11" (first after full), as above 1
    // "1" "10" (first after literals); row 1 "1"; row 2 "01": 00110100 01111111 0101, stored
    // from the last byte back, each byte's lowest bit first (00101100 11111110, then 1010 in
    // byte 4's low bits), after the levels 5 10 (the literals) 10 5 0 0 15 15 (row 2):
    // 0x5A 0xA5 0x00 0xFF 0x0A 0xFE 0x2C. Drawn in 0xF0F over a black frame, each pixel is its
    // coverage in red and blue.
    void compressedGlyphHandCoded_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("whole, odd x") << 1 << 4;
        QTest::newRow("whole, even x") << 6 << 0;
        QTest::newRow("cut by the left edge") << -2 << 10;
        QTest::newRow("cut by the top edge") << 20 << -2;
        QTest::newRow("cut by the right edge") << 95 << 30;
        QTest::newRow("cut by the bottom edge") << 50 << 65;
    }
    void compressedGlyphHandCoded() {
        QFETCH(int, x);
        QFETCH(int, y);
        const std::uint8_t glyph[] = {RAVIK_LCD_GLYPH(0x41, 0, 0)};
        const std::uint8_t metrics[] = {RAVIK_LCD_METRICS(6, 3, 0, 5, 4, 1)};
        // Exactly its bytes on the heap, so that a read past them is caught.
        const std::vector<std::uint8_t> data{0x5A, 0xA5, 0x00, 0xFF, 0x0A, 0xFE, 0x2C};
        const ravik_lcd_font font = handFont(glyph, metrics, data.data(), data.size(), 9, 5, 4);
        const int coverage[3][6] = {
            {0, 15, 15, 5, 10, 0}, {0, 15, 15, 5, 10, 0}, {10, 5, 0, 0, 15, 15}};
        Bytes frame(RAVIK_LCD_FRAME_SIZE, 0);
        QCOMPARE(ravik_lcd_text(frame.data(), x, y, "A", &font, 0xF0F), x + 4);
        for (int py = 0; py < RAVIK_LCD_HEIGHT; ++py) {
            for (int px = 0; px < RAVIK_LCD_WIDTH; ++px) {
                const int row = py - y, column = px - x;
                int a = 0;
                if (row >= 0 && row < 3 && column >= 0 && column < 6) {
                    a = coverage[row][column];
                }
                QCOMPARE(ravik_lcd_get_pixel(frame.data(), px, py), std::uint16_t(a << 8 | a));
            }
        }
    }

    // The two streams share the byte where they meet: a 3 x 1 glyph of 4-bit levels A 5 F kept
    // as they are ("01") takes 12 level bits and 2 control bits, two bytes: A5, then F in the top
    // half and the control bits 0, 1 from bit 0 up (0xF2). Drawn in white over black at (x, 7).
    void compressedGlyphSharesAByte_data() {
        QTest::addColumn<int>("x");
        QTest::newRow("even x") << 10;
        QTest::newRow("odd x") << 11;
        QTest::newRow("cut by the left edge") << -1;
    }
    void compressedGlyphSharesAByte() {
        QFETCH(int, x);
        const std::uint8_t glyph[] = {RAVIK_LCD_GLYPH(0x41, 0, 0)};
        const std::uint8_t metrics[] = {RAVIK_LCD_METRICS(3, 1, 0, 1, 4, 1)};
        const std::vector<std::uint8_t> data{0xA5, 0xF2};
        const ravik_lcd_font font = handFont(glyph, metrics, data.data(), data.size(), 9, 1, 4);
        Bytes frame(RAVIK_LCD_FRAME_SIZE, 0);
        QCOMPARE(ravik_lcd_text(frame.data(), x, 7, "A", &font, 0xFFF), x + 4);
        const int coverage[] = {10, 5, 15};
        for (int px = 0; px < RAVIK_LCD_WIDTH; ++px) {
            const int column = px - x;
            const int a = column >= 0 && column < 3 ? coverage[column] : 0;
            QCOMPARE(ravik_lcd_get_pixel(frame.data(), px, 7), std::uint16_t(a << 8 | a << 4 | a));
        }
    }

    // Compressed 1- and 2-bit glyphs coded by hand (export_test works out the same bytes): 7 x 1
    // of 1 1 1 1 1 0 1, 1 x 3 of 0 / 0 / 1 (whose last byte, 0, is left out), and at 2 bits 2 x 1
    // of 3 1 and 3 x 3 of 0 3 3 / 0 3 3 / 2 1 0. Drawn in 0xF0F over a black frame with its
    // top-left at (x, y), whole or cut by an edge, each pixel shows its coverage (1 bit: 15;
    // 2 bits: the level times 5) in red and blue.
    void compressedBitGlyphHandCoded_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("bpp");
        QTest::addColumn<int>("width");
        QTest::addColumn<QByteArray>("levels");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("1 bit, one row coded by its neighbours")
            << QByteArray("\xD6\x30", 2) << 1 << 7 << QByteArray("1111101") << 40 << 20;
        QTest::newRow("1 bit, blank rows before ink")
            << QByteArray("\xFF", 1) << 1 << 1 << QByteArray("001") << 40 << 20;
        QTest::newRow("2 bits, one row coded by its neighbours")
            << QByteArray("\xEE\xC0", 2) << 2 << 2 << QByteArray("31") << 40 << 20;
        const QByteArray steps("\xD4\x74\x80", 3);
        const QByteArray stepLevels("033033210");
        QTest::newRow("2 bits, a repeated row and every step, odd x")
            << steps << 2 << 3 << stepLevels << 41 << 20;
        QTest::newRow("2 bits, cut by the left edge") << steps << 2 << 3 << stepLevels << -2 << 7;
        QTest::newRow("2 bits, cut by the top edge") << steps << 2 << 3 << stepLevels << 50 << -1;
        QTest::newRow("2 bits, cut by the right edge") << steps << 2 << 3 << stepLevels << 96 << 30;
        QTest::newRow("2 bits, cut by the bottom edge")
            << steps << 2 << 3 << stepLevels << 10 << 65;
    }
    void compressedBitGlyphHandCoded() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, bpp);
        QFETCH(int, width);
        QFETCH(QByteArray, levels);
        QFETCH(int, x);
        QFETCH(int, y);
        constexpr int ascent = 5;
        const int height = int(levels.size()) / width;
        const std::uint8_t glyph[] = {RAVIK_LCD_GLYPH(0x41, 0, 0)};
        const std::uint8_t metrics[] = {RAVIK_LCD_METRICS(width, height, 0, ascent, 8, 1)};
        const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
        const ravik_lcd_font font =
            handFont(glyph, metrics, data.data(), data.size(), 9, ascent, std::uint8_t(bpp));
        Bytes frame(RAVIK_LCD_FRAME_SIZE, 0);
        QCOMPARE(ravik_lcd_text(frame.data(), x, y, "A", &font, 0xF0F), x + 8);
        for (int py = 0; py < RAVIK_LCD_HEIGHT; ++py) {
            for (int px = 0; px < RAVIK_LCD_WIDTH; ++px) {
                const int row = py - y, column = px - x;
                int a = 0;
                if (row >= 0 && row < height && column >= 0 && column < width) {
                    a = (levels[row * width + column] - '0') * (bpp == 1 ? 15 : 5);
                }
                QCOMPARE(ravik_lcd_get_pixel(frame.data(), px, py), std::uint16_t(a << 8 | a));
            }
        }
    }

    // Corrupt compressed glyphs of 20 x 4 pixels: whatever their bytes say, the runtime reads none
    // outside them (they lie exactly on the heap, where AddressSanitizer sees a read past them),
    // changes no pixel outside the glyph's box, at (30, 10) and cut by the right edge at (88, 10),
    // and moves the pen by the advance, 21.
    void corruptCompressedGlyph_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("bpp");
        QTest::addColumn<int>("x");
        for (const int x : {30, 88}) {
            const QByteArray at = x == 30 ? ", inside" : ", cut by the right edge";
            // Every count then reads seven 0 bits, which is no count at all.
            QTest::newRow(("zero bits" + at).constData()) << QByteArray(6, '\0') << 4 << x;
            // "1": every row as the one above.
            QTest::newRow(("one bits" + at).constData()) << QByteArray(6, '\xFF') << 2 << x;
            // "00", literals, seven 0 bits, then 11111100: a count past 255, wrapping in a byte.
            QTest::newRow(("count past 255" + at).constData())
                << QByteArray("\xFF\x80\x1F\x20", 4) << 4 << x;
            // "01" on every row: the levels as they are, far more than the byte holds.
            QTest::newRow(("levels cut short" + at).constData())
                << QByteArray("\x55\x55", 2) << 1 << x;
            QTest::newRow(("one byte" + at).constData()) << QByteArray("\x2A", 1) << 4 << x;
            // Arithmetic-coded 2-bit glyphs: a stream that ends at once, bytes of no glyph, and
            // only 0 bits (each pixel then its context's likeliest level).
            QTest::newRow(("2 bits, one byte" + at).constData()) << QByteArray("\x2A", 1) << 2 << x;
            QTest::newRow(("2 bits, bytes of no glyph" + at).constData())
                << QByteArray("\x9C\x31\xE7\x05\x66\xD2", 6) << 2 << x;
            QTest::newRow(("2 bits, zero bits" + at).constData()) << QByteArray(6, '\0') << 2 << x;
        }
    }
    void corruptCompressedGlyph() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, bpp);
        QFETCH(int, x);
        constexpr int y = 10, width = 20, height = 4, top = 3, ascent = 5;
        const std::uint8_t glyph[] = {RAVIK_LCD_GLYPH(0x41, 0, 0)};
        const std::uint8_t metrics[] = {RAVIK_LCD_METRICS(width, height, 0, top, 21, 1)};
        const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
        const ravik_lcd_font font =
            handFont(glyph, metrics, data.data(), data.size(), 12, ascent, std::uint8_t(bpp));
        Bytes frame(RAVIK_LCD_FRAME_SIZE);
        for (std::size_t i = 0; i < frame.size(); ++i) {
            frame[i] = std::uint8_t(i * 37 + 11);
        }
        const Bytes before = frame;
        QCOMPARE(ravik_lcd_text(frame.data(), x, y, "A", &font, 0xFFF), x + 21);
        const int first_row = y + ascent - top;
        for (int py = 0; py < RAVIK_LCD_HEIGHT; ++py) {
            for (int px = 0; px < RAVIK_LCD_WIDTH; ++px) {
                if (py >= first_row && py < first_row + height && px >= x && px < x + width) {
                    continue;
                }
                QCOMPARE(ravik_lcd_get_pixel(frame.data(), px, py),
                         ravik_lcd_get_pixel(before.data(), px, py));
            }
        }
    }

    // A packed glyph wider than the runtime's row buffer (RAVIK_LCD_GLYPH_ROW, 64 bytes), which it
    // decodes a buffer at a time: 80 x 2 levels of 1 or 2 bits, level (7 column + 3 row) mod
    // 2^bpp, packed most significant bits first, rows not padded. Drawn in 0xF0F over a black
    // frame, each pixel shows its coverage (1 bit: 0 or 15; 2 bits: the level times 5) in red and
    // blue.
    void widePackedGlyph_data() {
        QTest::addColumn<int>("bpp");
        QTest::addColumn<int>("x");
        for (const int bpp : {1, 2}) {
            const QByteArray bits = QByteArray::number(bpp) + (bpp == 1 ? " bit" : " bits");
            QTest::newRow((bits + ", whole, odd x").constData()) << bpp << 5;
            QTest::newRow((bits + ", whole, even x").constData()) << bpp << 10;
            QTest::newRow((bits + ", cut by the left edge").constData()) << bpp << -13;
            QTest::newRow((bits + ", cut by the right edge").constData()) << bpp << 31;
        }
    }
    void widePackedGlyph() {
        QFETCH(int, bpp);
        QFETCH(int, x);
        constexpr int width = 80, height = 2, y = 7, top = 5, ascent = 9;
        const auto level = [bpp](int column, int row) {
            return (7 * column + 3 * row) % (1 << bpp);
        };
        std::vector<std::uint8_t> data(static_cast<std::size_t>(width * height * bpp / 8), 0);
        for (int i = 0; i < width * height; ++i) {
            const int bit = i * bpp;
            data[static_cast<std::size_t>(bit / 8)] |=
                static_cast<std::uint8_t>(level(i % width, i / width) << (8 - bpp - bit % 8));
        }
        const std::uint8_t glyph[] = {RAVIK_LCD_GLYPH(0x41, 0, 0)};
        const std::uint8_t metrics[] = {RAVIK_LCD_METRICS(width, height, 0, top, 90, 0)};
        const ravik_lcd_font font =
            handFont(glyph, metrics, data.data(), data.size(), 12, ascent, std::uint8_t(bpp));
        Bytes frame(RAVIK_LCD_FRAME_SIZE, 0);
        QCOMPARE(ravik_lcd_text(frame.data(), x, y, "A", &font, 0xF0F), x + 90);
        const int first_row = y + ascent - top;
        for (int py = 0; py < RAVIK_LCD_HEIGHT; ++py) {
            for (int px = 0; px < RAVIK_LCD_WIDTH; ++px) {
                const int row = py - first_row, column = px - x;
                int a = 0;
                if (row >= 0 && row < height && column >= 0 && column < width) {
                    a = level(column, row) * 15 / ((1 << bpp) - 1);
                }
                QCOMPARE(ravik_lcd_get_pixel(frame.data(), px, py), std::uint16_t(a << 8 | a));
            }
        }
    }

    // Code points past U+FFFF through the plane table: U+0041 (plane 0), U+1F600 and U+1F603
    // (plane 1), U+20001 (plane 2), each advancing by its own amount; U+1F601, U+0001 (whose low
    // 16 bits U+20001 shares) and B are missing and advance half the line height, 10.
    void codePointsPastTheFirstPlane_data() {
        QTest::addColumn<QByteArray>("utf8");
        QTest::addColumn<int>("pen");
        QTest::newRow("plane 0") << QByteArray("A") << 1;
        QTest::newRow("plane 1") << QByteArray("\xF0\x9F\x98\x80\xF0\x9F\x98\x83") << 2 + 3;
        QTest::newRow("plane 2") << QByteArray("\xF0\xA0\x80\x81") << 4;
        QTest::newRow("missing in plane 1") << QByteArray("\xF0\x9F\x98\x81") << 10;
        QTest::newRow("low bits of a plane 2 glyph in plane 0") << QByteArray("\x01") << 10;
        QTest::newRow("plane 3, no entry") << QByteArray("\xF0\xB0\x80\x81") << 10;
        QTest::newRow("all, then a missing B") << QByteArray("A\xF0\x9F\x98\x80\xF0\x9F\x98\x83"
                                                             "\xF0\xA0\x80\x81"
                                                             "B")
                                               << 1 + 2 + 3 + 4 + 10;
    }
    void codePointsPastTheFirstPlane() {
        QFETCH(QByteArray, utf8);
        QFETCH(int, pen);
        const std::uint8_t glyphs[] = {RAVIK_LCD_GLYPH(0x0041, 0, 0), RAVIK_LCD_GLYPH(0xF600, 0, 1),
                                       RAVIK_LCD_GLYPH(0xF603, 0, 2),
                                       RAVIK_LCD_GLYPH(0x0001, 0, 3)};
        const std::uint8_t metrics[] = {
            RAVIK_LCD_METRICS(0, 0, 0, 0, 1, 0), RAVIK_LCD_METRICS(0, 0, 0, 0, 2, 0),
            RAVIK_LCD_METRICS(0, 0, 0, 0, 3, 0), RAVIK_LCD_METRICS(0, 0, 0, 0, 4, 0)};
        const std::uint8_t planes[] = {1, 1, 0, 2, 3, 0};
        const std::uint8_t bitmap[] = {0};
        ravik_lcd_font font = handFont(glyphs, metrics, bitmap, 1, 20, 15, 1);
        font.planes = planes;
        font.plane_count = 2;
        QCOMPARE(ravik_lcd_text(nullptr, 0, 0, utf8.constData(), &font, 0), pen);
    }

    // Three 4-bit glyphs in records of each size the runtime takes, written by hand: A 2 x 1
    // (F 8, advance 3), B 1 x 2 one column in (F over 4, advance 2), C 3 x 1 (8 F 2, advance 4),
    // bitmaps at 0, 1 and 2 of F8 F4 8F 20 (after `pad` bytes), 1, 1 and 2 bytes long. "CAB" in
    // white over black at (10, 5), ascent 4, baseline row 9: C's row 8 at x 10-12, A's at 14-15,
    // B at x 18 rows 7-8, the pen at 19.
    void recordLayouts_data() {
        QTest::addColumn<QByteArray>("records");
        QTest::addColumn<QByteArray>("groups");
        QTest::addColumn<int>("recordSize");
        QTest::addColumn<int>("offsetBits");
        QTest::addColumn<int>("pad");
        const auto bytes = [](std::initializer_list<int> values) {
            QByteArray array;
            for (const int value : values) {
                array.append(char(value));
            }
            return array;
        };
        // Without groups: the code point, then field = offset | metrics index << offsetBits,
        // least significant byte first.
        QTest::newRow("6 bytes, whole offsets")
            << bytes({0x41, 0, 0, 0, 0, 0, 0x42, 0, 1, 0, 0, 1, 0x43, 0, 2, 0, 0, 2})
            << QByteArray() << 6 << 24 << 0;
        QTest::newRow("6 bytes, whole offsets past 64 KB")
            << bytes({0x41, 0, 0, 0, 1, 0, 0x42, 0, 1, 0, 1, 1, 0x43, 0, 2, 0, 1, 2})
            << QByteArray() << 6 << 24 << 0x10000;
        QTest::newRow("3 bytes, offset and index in one byte")
            << bytes({0x41, 0, 0x00, 0x42, 0, 0x05, 0x43, 0, 0x0A}) << QByteArray() << 3 << 2 << 0;
        // Grouped: the step from the code point before, then field = length | index <<
        // offsetBits; a group is its code point (3 bytes), first glyph (2), bitmaps' start (3).
        QTest::newRow("2 bytes, one group, length and index in one byte")
            << bytes({0, 0x01, 1, 0x05, 1, 0x0A}) << bytes({0x41, 0, 0, 0, 0, 0, 0, 0}) << 2 << 2
            << 0;
        QTest::newRow("3 bytes, a group a glyph")
            << bytes({0, 1, 0, 0, 1, 1, 0, 2, 2})
            << bytes({0x41, 0, 0, 0, 0,    0, 0, 0, 0x42, 0, 0, 1,
                      0,    1, 0, 0, 0x43, 0, 0, 2, 0,    2, 0, 0})
            << 3 << 8 << 0;
        QTest::newRow("3 bytes, groups of two, index across bytes")
            << bytes({0, 0x01, 0x00, 1, 0x01, 0x02, 0, 0x02, 0x04})
            << bytes({0x41, 0, 0, 0, 0, 0, 0, 0, 0x43, 0, 0, 2, 0, 2, 0, 0}) << 3 << 9 << 0;
        QTest::newRow("5 bytes, one group starting past 64 KB")
            << bytes({0, 1, 0, 0, 0, 1, 1, 0, 1, 0, 1, 2, 0, 2, 0})
            << bytes({0x41, 0, 0, 0, 0, 0, 0, 1}) << 5 << 16 << 0x10000;
        QTest::newRow("2 bytes, a group starting below the first glyph, steps of 40")
            << bytes({40, 0x01, 1, 0x05, 1, 0x0A}) << bytes({0x19, 0, 0, 0, 0, 0, 0, 0}) << 2 << 2
            << 0;
    }
    void recordLayouts() {
        QFETCH(QByteArray, records);
        QFETCH(QByteArray, groups);
        QFETCH(int, recordSize);
        QFETCH(int, offsetBits);
        QFETCH(int, pad);
        const Bytes glyphs(records.begin(), records.end());
        const Bytes groupTable(groups.begin(), groups.end());
        const std::uint8_t metrics[] = {RAVIK_LCD_METRICS(2, 1, 0, 1, 3, 0),
                                        RAVIK_LCD_METRICS(1, 2, 1, 2, 2, 0),
                                        RAVIK_LCD_METRICS(3, 1, 0, 1, 4, 0)};
        Bytes bitmaps(std::size_t(pad), 0x77);
        bitmaps.insert(bitmaps.end(), {0xF8, 0xF4, 0x8F, 0x20});
        ravik_lcd_font font{};
        font.glyphs = glyphs.data();
        font.metrics = metrics;
        font.groups = groupTable.empty() ? nullptr : groupTable.data();
        font.group_count = std::uint16_t(groupTable.size() / 8);
        font.bitmaps = bitmaps.data();
        font.bitmaps_size = std::uint32_t(bitmaps.size());
        font.count = 3;
        font.metrics_count = 3;
        font.record_size = std::uint8_t(recordSize);
        font.offset_bits = std::uint8_t(offsetBits);
        font.line_height = 12;
        font.ascent = 4;
        font.bpp = 4;
        Bytes frame(RAVIK_LCD_FRAME_SIZE, 0);
        QCOMPARE(ravik_lcd_text(frame.data(), 10, 5, "CAB", &font, 0xFFF), 19);
        const std::map<std::pair<int, int>, int> ink = {{{10, 8}, 8},  {{11, 8}, 15}, {{12, 8}, 2},
                                                        {{14, 8}, 15}, {{15, 8}, 8},  {{18, 7}, 15},
                                                        {{18, 8}, 4}};
        for (int py = 0; py < RAVIK_LCD_HEIGHT; ++py) {
            for (int px = 0; px < RAVIK_LCD_WIDTH; ++px) {
                const auto at = ink.find({px, py});
                const int a = at == ink.end() ? 0 : at->second;
                QCOMPARE(ravik_lcd_get_pixel(frame.data(), px, py),
                         std::uint16_t(a << 8 | a << 4 | a));
            }
        }
    }

    // Lookups in a grouped font of two groups written by hand: U+0020 and U+0021 (group 1, steps
    // 0 and 1), U+4E00, U+4E05 and U+1F600 (group 2 from U+4E00: steps 0 and 5; group 3 from
    // U+1F600), advancing by 1, 2, 3, 4 and 5. Code points before the first group, between
    // glyphs of a group, after a group's last glyph and past the last advance half the line
    // height, 10.
    void groupedLookups_data() {
        QTest::addColumn<QByteArray>("utf8");
        QTest::addColumn<int>("pen");
        QTest::newRow("first glyph") << QByteArray(" ") << 1;
        QTest::newRow("second of a group") << QByteArray("!") << 2;
        QTest::newRow("first of the second group") << QByteArray("\xE4\xB8\x80") << 3;
        QTest::newRow("last of the second group") << QByteArray("\xE4\xB8\x85") << 4;
        QTest::newRow("past U+FFFF, the last glyph") << QByteArray("\xF0\x9F\x98\x80") << 5;
        QTest::newRow("before the first group") << QByteArray("\x1F") << 10;
        QTest::newRow("after a group's last glyph") << QByteArray("\"") << 10;
        QTest::newRow("between glyphs of a group") << QByteArray("\xE4\xB8\x84") << 10;
        QTest::newRow("past the last glyph") << QByteArray("\xF0\x9F\x98\x81") << 10;
        QTest::newRow("low bits of a plane 1 glyph in plane 0") << QByteArray("\xEF\x98\x80") << 10;
        QTest::newRow("all") << QByteArray(" !\xE4\xB8\x80\xE4\xB8\x85\xF0\x9F\x98\x80") << 15;
    }
    void groupedLookups() {
        QFETCH(QByteArray, utf8);
        QFETCH(int, pen);
        // Records: step, metrics index (no length bits: no bitmaps).
        const std::uint8_t glyphs[] = {0, 0, 1, 1, 0, 2, 5, 3, 0, 4};
        const std::uint8_t groups[] = {0x20, 0, 0, 0, 0,    0,    0, 0, 0x00, 0x4E, 0, 2,
                                       0,    0, 0, 0, 0x00, 0xF6, 1, 4, 0,    0,    0, 0};
        const std::uint8_t metrics[] = {
            RAVIK_LCD_METRICS(0, 0, 0, 0, 1, 0), RAVIK_LCD_METRICS(0, 0, 0, 0, 2, 0),
            RAVIK_LCD_METRICS(0, 0, 0, 0, 3, 0), RAVIK_LCD_METRICS(0, 0, 0, 0, 4, 0),
            RAVIK_LCD_METRICS(0, 0, 0, 0, 5, 0)};
        const std::uint8_t bitmap[] = {0};
        ravik_lcd_font font = handFont(glyphs, metrics, bitmap, 1, 20, 15, 4);
        font.groups = groups;
        font.group_count = 3;
        font.count = 5;
        font.record_size = 2;
        font.offset_bits = 0;
        QCOMPARE(ravik_lcd_text(nullptr, 0, 0, utf8.constData(), &font, 0), pen);
    }

    // Record layouts out of range find no glyph: "CAB" advances 3 x 6 (half the line height)
    // and draws nothing; a metrics index past the table loses only that glyph (C: 6 + 3 + 2).
    // Grouped records (one group of the three, each a step and a 4-byte field) take 2 to 5 bytes,
    // their lengths up to 16 bits.
    void recordLayoutsOutOfRange_data() {
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<int>("recordSize");
        QTest::addColumn<int>("offsetBits");
        QTest::addColumn<int>("metricsCount");
        QTest::addColumn<int>("pen");
        QTest::newRow("as written") << false << 6 << 24 << 3 << 10 + 4 + 3 + 2;
        QTest::newRow("record of 2 bytes") << false << 2 << 0 << 3 << 10 + 18;
        QTest::newRow("record of 7 bytes") << false << 7 << 24 << 3 << 10 + 18;
        QTest::newRow("offset of 25 bits") << false << 6 << 25 << 3 << 10 + 18;
        QTest::newRow("offset wider than the field") << false << 3 << 9 << 3 << 10 + 18;
        QTest::newRow("metrics index past the table") << false << 6 << 24 << 2 << 10 + 6 + 3 + 2;
        QTest::newRow("grouped, as written") << true << 5 << 16 << 3 << 10 + 4 + 3 + 2;
        QTest::newRow("grouped record of 1 byte") << true << 1 << 0 << 3 << 10 + 18;
        QTest::newRow("grouped record of 6 bytes") << true << 6 << 24 << 3 << 10 + 18;
        QTest::newRow("grouped, length of 17 bits") << true << 5 << 17 << 3 << 10 + 18;
        QTest::newRow("grouped, length wider than the field") << true << 2 << 9 << 3 << 10 + 18;
    }
    void recordLayoutsOutOfRange() {
        QFETCH(bool, grouped);
        QFETCH(int, recordSize);
        QFETCH(int, offsetBits);
        QFETCH(int, metricsCount);
        QFETCH(int, pen);
        // 7-byte records would read 21 bytes: the table has them, so only the layout's range can
        // refuse it.
        const std::uint8_t flat[21] = {RAVIK_LCD_GLYPH(0x41, 0, 0), RAVIK_LCD_GLYPH(0x42, 1, 1),
                                       RAVIK_LCD_GLYPH(0x43, 2, 2)};
        const std::uint8_t steps[21] = {0, 1, 0, 0, 0, 1, 1, 0, 1, 0, 1, 2, 0, 2, 0};
        const std::uint8_t group[] = {0x41, 0, 0, 0, 0, 0, 0, 0};
        const std::uint8_t metrics[] = {RAVIK_LCD_METRICS(2, 1, 0, 1, 3, 0),
                                        RAVIK_LCD_METRICS(1, 2, 1, 2, 2, 0),
                                        RAVIK_LCD_METRICS(3, 1, 0, 1, 4, 0)};
        const std::uint8_t bitmaps[] = {0xF8, 0xF4, 0x8F, 0x20};
        ravik_lcd_font font = grouped ? handFont(steps, metrics, bitmaps, sizeof bitmaps, 12, 4, 4)
                                      : handFont(flat, metrics, bitmaps, sizeof bitmaps, 12, 4, 4);
        if (grouped) {
            font.groups = group;
            font.group_count = 1;
        }
        font.count = 3;
        font.metrics_count = std::uint16_t(metricsCount);
        font.record_size = std::uint8_t(recordSize);
        font.offset_bits = std::uint8_t(offsetBits);
        const Bytes before(RAVIK_LCD_FRAME_SIZE, 0);
        Bytes frame = before;
        QCOMPARE(ravik_lcd_text(frame.data(), 10, 5, "CAB", &font, 0xFFF), pen);
        QCOMPARE(frame == before, pen == 10 + 18);
    }

    void textAtExtremePositions_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("pen");
        QTest::newRow("x at INT_MAX") << INT_MAX << 10 << 32767;
        QTest::newRow("x at INT_MIN") << INT_MIN << 10 << -32768 + 3 * 5;
        QTest::newRow("x just below 32767") << 32760 << 10 << 32767;
        QTest::newRow("y at INT_MAX") << 10 << INT_MAX << 10 + 3 * 5;
        QTest::newRow("y at INT_MIN") << 10 << INT_MIN << 10 + 3 * 5;
    }
    void textAtExtremePositions() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, pen);
        const std::uint8_t glyph[] = {RAVIK_LCD_GLYPH(0x30, 0, 0)};
        const std::uint8_t metrics[] = {RAVIK_LCD_METRICS(1, 1, -2, 1, 5, 0)};
        const std::uint8_t bitmap[] = {0xF0};
        const ravik_lcd_font font = handFont(glyph, metrics, bitmap, 1, 8, 6, 4);
        const Bytes before(RAVIK_LCD_FRAME_SIZE, 0x55);
        Bytes frame = before;
        QCOMPARE(ravik_lcd_text(frame.data(), x, y, "000", &font, 0xFFF), pen);
        QVERIFY(frame == before);
    }

    // A frame's delay, wherever the build keeps the delays; 0 where there is none.
    void delayHandComputed_data() {
        QTest::addColumn<bool>("withDelays");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("delay");
        QTest::newRow("first frame") << true << 0 << 40;
        QTest::newRow("last frame") << true << 2 << 65535;
        QTest::newRow("past the last frame") << true << 3 << 0;
        QTest::newRow("no delays") << false << 1 << 0;
    }
    void delayHandComputed() {
        QFETCH(bool, withDelays);
        QFETCH(int, index);
        QFETCH(int, delay);
        const std::uint16_t delays[] = {40, 100, 65535};
        ravik_lcd_asset asset{};
        asset.width = 1;
        asset.height = 1;
        asset.count = 3;
        asset.delays_ms = withDelays ? delays : nullptr;
        QCOMPARE(int{ravik_lcd_delay_ms(&asset, static_cast<std::uint16_t>(index))}, delay);
        QCOMPARE(int{ravik_lcd_delay_ms(nullptr, 0)}, 0);
    }

    // Bytes worked out by hand from the packing, over a frame of 0x55 so that every nibble left
    // alone shows.
    void drawHandComputed_data() {
        QTest::addColumn<Bytes>("pixels");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<Bytes>("mask");
        QTest::addColumn<int>("at");
        QTest::addColumn<Bytes>("expected");
        QTest::newRow("1 x 1 at the origin") << bytesOf({0xAB, 0xC0}) << 1 << 1 << 0 << 0 << Bytes()
                                             << 0 << bytesOf({0xAB, 0xC5, 0x55});
        QTest::newRow("1 x 1 at x 1") << bytesOf({0xAB, 0xC0}) << 1 << 1 << 1 << 0 << Bytes() << 0
                                      << bytesOf({0x55, 0x5A, 0xBC});
        QTest::newRow("2 x 1 at x 1, across a pixel pair")
            << bytesOf({0x12, 0x34, 0x56}) << 2 << 1 << 1 << 0 << Bytes() << 0
            << bytesOf({0x55, 0x51, 0x23, 0x45, 0x65, 0x55});
        // 3 x 2: the second row starts in the low nibble of the fifth byte.
        QTest::newRow("3 x 2, first row at row 1")
            << bytesOf({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x12}) << 3 << 2 << 0 << 1
            << Bytes() << 147 << bytesOf({0x12, 0x34, 0x56, 0x78, 0x95, 0x55});
        QTest::newRow("3 x 2, second row at row 2")
            << bytesOf({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x12}) << 3 << 2 << 0 << 1
            << Bytes() << 294 << bytesOf({0xAB, 0xCD, 0xEF, 0x01, 0x25, 0x55});
        QTest::newRow("3 x 1 masked 101")
            << bytesOf({0x12, 0x34, 0x56, 0x78, 0x90}) << 3 << 1 << 0 << 0 << bytesOf({0xA0}) << 0
            << bytesOf({0x12, 0x35, 0x55, 0x78, 0x95, 0x55});
        QTest::newRow("3 x 1 masked 010 at x 1")
            << bytesOf({0x12, 0x34, 0x56, 0x78, 0x90}) << 3 << 1 << 1 << 0 << bytesOf({0x40}) << 0
            << bytesOf({0x55, 0x55, 0x55, 0x45, 0x65, 0x55});
        // 9 x 2, pixel i of the stream is (i, i, i) mod 16; the mask's rows are two bytes each:
        // row 0 draws only its last pixel (8), row 1 only its first (stream pixel 9).
        const Bytes ninePixels = bytesOf({0x00, 0x01, 0x11, 0x22, 0x23, 0x33, 0x44, 0x45, 0x55,
                                          0x66, 0x67, 0x77, 0x88, 0x89, 0x99, 0xAA, 0xAB, 0xBB,
                                          0xCC, 0xCD, 0xDD, 0xEE, 0xEF, 0xFF, 0x00, 0x01, 0x11});
        QTest::newRow("9 x 2 mask rows padded, row 0")
            << ninePixels << 9 << 2 << 0 << 0 << bytesOf({0x00, 0x80, 0x80, 0x00}) << 0
            << bytesOf({0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55,
                        0x88, 0x85, 0x55});
        QTest::newRow("9 x 2 mask rows padded, row 1")
            << ninePixels << 9 << 2 << 0 << 0 << bytesOf({0x00, 0x80, 0x80, 0x00}) << 147
            << bytesOf({0x99, 0x95, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55,
                        0x55, 0x55});
    }
    void drawHandComputed() {
        QFETCH(Bytes, pixels);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(Bytes, mask);
        QFETCH(int, at);
        QFETCH(Bytes, expected);
        Bytes frame(RAVIK_LCD_FRAME_SIZE, 0x55);
        ravik_lcd_draw(frame.data(), x, y, pixels.data(), width, height,
                       mask.empty() ? nullptr : mask.data());
        const Bytes got(frame.begin() + at,
                        frame.begin() + at + static_cast<long>(expected.size()));
        QCOMPARE(got, expected);
    }

    // Calls that must leave the frame as it is: nothing to draw, or nothing of it inside, however
    // far away (no sum of a position and a side may overflow).
    void drawNothing_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("noPixels");
        QTest::newRow("width 0") << 0 << 0 << 0 << 4 << false;
        QTest::newRow("height 0") << 0 << 0 << 4 << 0 << false;
        QTest::newRow("negative width") << 0 << 0 << -4 << 4 << false;
        QTest::newRow("negative height") << 0 << 0 << 4 << INT_MIN << false;
        QTest::newRow("no pixels") << 0 << 0 << 4 << 4 << true;
        QTest::newRow("at INT_MIN, as wide as INT_MAX") << INT_MIN << 0 << INT_MAX << 4 << false;
        QTest::newRow("at INT_MAX, as wide as INT_MAX") << INT_MAX << 0 << INT_MAX << 4 << false;
        QTest::newRow("at INT_MIN, as tall as INT_MAX") << 0 << INT_MIN << 4 << INT_MAX << false;
        QTest::newRow("at INT_MAX, as tall as INT_MAX") << 0 << INT_MAX << 4 << INT_MAX << false;
        QTest::newRow("ending just left of the frame") << -32000 << 0 << 32000 << 4 << false;
    }
    void drawNothing() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, noPixels);
        const Bytes before =
            packPixels(seededNoise(kFrameWidth, kFrameHeight, 3), kFrameWidth, kFrameHeight);
        Bytes frame = before;
        const Bytes pixels(8, 0xAA); // never read: none of these calls has a pixel inside
        ravik_lcd_draw(frame.data(), x, y, noPixels ? nullptr : pixels.data(), width, height,
                       nullptr);
        QVERIFY(frame == before);
        ravik_lcd_draw(nullptr, 0, 0, pixels.data(), 1, 1, nullptr); // no frame: no crash
    }

    void getPixelHandComputed_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("rgb");
        QTest::newRow("even pixel of a pair")
            << 0 << bytesOf({0x13, 0x57, 0x9B}) << 0 << 0 << 0x135;
        QTest::newRow("odd pixel of a pair") << 0 << bytesOf({0x13, 0x57, 0x9B}) << 1 << 0 << 0x79B;
        QTest::newRow("first pixel of row 1") << 147 << bytesOf({0xDE, 0xF0}) << 0 << 1 << 0xDEF;
        QTest::newRow("last pixel") << 9847 << bytesOf({0x5A, 0xBC}) << 97 << 66 << 0xABC;
        QTest::newRow("left of the frame") << 0 << bytesOf({0xFF, 0xFF}) << -1 << 0 << 0;
        QTest::newRow("right of the frame") << 145 << bytesOf({0xFF, 0xFF}) << 98 << 0 << 0;
        QTest::newRow("above the frame") << 0 << bytesOf({0xFF, 0xFF}) << 0 << -1 << 0;
        QTest::newRow("below the frame") << 9847 << bytesOf({0xFF, 0xFF}) << 97 << 67 << 0;
    }
    void getPixelHandComputed() {
        QFETCH(int, offset);
        QFETCH(Bytes, bytes);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, rgb);
        Bytes frame(RAVIK_LCD_FRAME_SIZE, 0);
        std::copy(bytes.begin(), bytes.end(), frame.begin() + offset);
        QCOMPARE(int{ravik_lcd_get_pixel(frame.data(), x, y)}, rgb);
    }

    void getPixelMatchesTheCodec() {
        const Bytes frame =
            packPixels(seededNoise(kFrameWidth, kFrameHeight, 4), kFrameWidth, kFrameHeight);
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth; ++x) {
                QCOMPARE(ravik_lcd_get_pixel(frame.data(), x, y),
                         nibblesOf(decodePixel(frame, kFrameWidth, x, y)));
            }
        }
        QCOMPARE(int{ravik_lcd_get_pixel(nullptr, 0, 0)}, 0);
    }

    void setPixelHandComputed_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("rgb");
        QTest::addColumn<int>("offset");
        QTest::addColumn<Bytes>("expected");
        QTest::newRow("even pixel of a pair")
            << 0 << 0 << 0xABC << 0 << bytesOf({0xAB, 0xC5, 0x55});
        QTest::newRow("odd pixel of a pair") << 1 << 0 << 0xABC << 0 << bytesOf({0x55, 0x5A, 0xBC});
        QTest::newRow("top bits ignored") << 1 << 0 << 0xFABC << 0 << bytesOf({0x55, 0x5A, 0xBC});
        QTest::newRow("last pixel") << 97 << 66 << 0x123 << 9846 << bytesOf({0x55, 0x51, 0x23});
    }
    void setPixelHandComputed() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, rgb);
        QFETCH(int, offset);
        QFETCH(Bytes, expected);
        Bytes frame(RAVIK_LCD_FRAME_SIZE, 0x55);
        ravik_lcd_set_pixel(frame.data(), x, y, static_cast<std::uint16_t>(rgb));
        const Bytes got(frame.begin() + offset,
                        frame.begin() + offset + static_cast<long>(expected.size()));
        QCOMPARE(got, expected);
    }

    // Setting every pixel of a noisy frame to another picture's colours, one by one, gives that
    // picture's packing, with nothing of the first left.
    void setPixelMatchesTheCodec() {
        const std::vector<ColorValue> picture = seededNoise(kFrameWidth, kFrameHeight, 5);
        Bytes frame =
            packPixels(seededNoise(kFrameWidth, kFrameHeight, 6), kFrameWidth, kFrameHeight);
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth; ++x) {
                const ColorValue color = picture[static_cast<std::size_t>(y * kFrameWidth + x)];
                ravik_lcd_set_pixel(frame.data(), x, y,
                                    static_cast<std::uint16_t>((redOf(color) >> 4) << 8 |
                                                               (greenOf(color) >> 4) << 4 |
                                                               blueOf(color) >> 4));
            }
        }
        QVERIFY(frame == packPixels(picture, kFrameWidth, kFrameHeight));
    }

    void setPixelOutsideChangesNothing() {
        const Bytes before =
            packPixels(seededNoise(kFrameWidth, kFrameHeight, 7), kFrameWidth, kFrameHeight);
        Bytes frame = before;
        for (const auto& [x, y] : {std::pair{-1, 0},
                                   {98, 0},
                                   {0, -1},
                                   {0, 67},
                                   {98, 66},
                                   {INT_MIN, INT_MIN},
                                   {INT_MAX, INT_MAX}}) {
            ravik_lcd_set_pixel(frame.data(), x, y, 0xFFF);
        }
        QVERIFY(frame == before);
        ravik_lcd_set_pixel(nullptr, 0, 0, 0xFFF); // no frame: no crash
    }

    // What the program writes out is byte for byte what is installed.
    void embeddedTextsAreTheFiles() {
        const auto files = runtimeFiles();
        QCOMPARE(files.size(), std::size_t{2});
        QCOMPARE(files[0].name, std::string_view("ravik_lcd.h"));
        QCOMPARE(files[1].name, std::string_view("ravik_lcd.c"));
        for (const RuntimeFile& file : files) {
            const std::string onDisk = fileText(RAVIK_RUNTIME_DIR "/" + std::string(file.name));
            QVERIFY2(!onDisk.empty(), file.name.data());
            QVERIFY2(file.text == onDisk, file.name.data());
        }
        QCOMPARE(runtimeHeaderText(), files[0].text);
        QCOMPARE(runtimeSourceText(), files[1].text);
    }
};

QTEST_GUILESS_MAIN(RuntimeTest)
#include "runtime_test.moc"
