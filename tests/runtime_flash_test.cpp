// The runtime built with its own flash reader, as a chip with unusual flash (or an AVR with
// PROGMEM) builds it: here RAVIK_LCD_READ_BYTE returns the stored byte inverted, and every array
// said to be "where the build keeps its data" is stored inverted, while RAM arrays are stored as
// they are. A read that bypasses the macro, or uses it for RAM, gives the wrong bytes, so each
// result must still be the codec's: pictures and masks from flash or RAM as ravik_lcd_draw_from
// is told, assets (data and offsets), delays and a font's glyphs and bitmaps.

#include "codec/compression.h"
#include "codec/frame_buffer.h"
#include "codec/packed_picture.h"
#include "runtime/ravik_lcd.h"
#include "seeded_noise.h"

#include <QTest>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace ravik;
using ravik::testing::seededNoise;

namespace {

using Bytes = std::vector<std::uint8_t>;

// "Flash" as this build reads it: every byte inverted.
Bytes inFlash(const Bytes& bytes) {
    Bytes flash(bytes);
    for (std::uint8_t& byte : flash) {
        byte = static_cast<std::uint8_t>(~byte);
    }
    return flash;
}

// An array of wider values in "flash": its bytes inverted, in the machine's own order.
template <typename T> std::vector<T> inFlash(const std::vector<T>& values) {
    std::vector<T> flash(values);
    auto* bytes = reinterpret_cast<unsigned char*>(flash.data());
    for (std::size_t i = 0; i < flash.size() * sizeof(T); ++i) {
        bytes[i] = static_cast<unsigned char>(~bytes[i]);
    }
    return flash;
}

bool maskedIn(int x, int y) {
    return (x + y) % 3 != 0;
}

} // namespace

class RuntimeFlashTest : public QObject {
    Q_OBJECT
private slots:
    // A picture and its mask, each in flash or RAM, drawn at an odd place so that rows start on
    // both halves of a byte: the frame must be the codec's composition.
    void drawReadsEachArrayWhereItIs_data() {
        QTest::addColumn<int>("from");
        QTest::newRow("both in flash (ravik_lcd_draw_from, 0)") << 0;
        QTest::newRow("picture in RAM, mask in flash") << int{RAVIK_LCD_PIXELS_IN_RAM};
        QTest::newRow("picture in flash, mask in RAM") << int{RAVIK_LCD_MASK_IN_RAM};
        QTest::newRow("both in RAM") << int{RAVIK_LCD_PIXELS_IN_RAM | RAVIK_LCD_MASK_IN_RAM};
        QTest::newRow("both in flash (ravik_lcd_draw)") << -1;
    }
    void drawReadsEachArrayWhereItIs() {
        QFETCH(int, from);
        const int width = 13, height = 7, x = 41, y = 9;
        const std::vector<ColorValue> background = seededNoise(kFrameWidth, kFrameHeight, 11);
        const std::vector<ColorValue> picture = seededNoise(width, height, 12);
        std::vector<bool> drawn;
        std::vector<ColorValue> composed = background;
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                drawn.push_back(maskedIn(column, row));
                if (maskedIn(column, row)) {
                    composed[static_cast<std::size_t>((y + row) * kFrameWidth + x + column)] =
                        picture[static_cast<std::size_t>(row * width + column)];
                }
            }
        }
        const Bytes pixels = packPixels(picture, width, height);
        const Bytes mask = packMask(drawn, width, height);
        const bool pixelsInRam = from > 0 && (from & RAVIK_LCD_PIXELS_IN_RAM);
        const bool maskInRam = from > 0 && (from & RAVIK_LCD_MASK_IN_RAM);
        const Bytes givenPixels = pixelsInRam ? pixels : inFlash(pixels);
        const Bytes givenMask = maskInRam ? mask : inFlash(mask);
        Bytes frame = packPixels(background, kFrameWidth, kFrameHeight);
        if (from < 0) {
            ravik_lcd_draw(frame.data(), x, y, givenPixels.data(), width, height, givenMask.data());
        } else {
            ravik_lcd_draw_from(frame.data(), x, y, givenPixels.data(), width, height,
                                givenMask.data(), static_cast<std::uint8_t>(from));
        }
        QVERIFY(frame == packPixels(composed, kFrameWidth, kFrameHeight));
    }

    // Every picture of stored assets, unpacked and streamed, offsets and data from flash: the
    // codec's packing, and the delays as given.
    void assetsAreReadThroughTheReader_data() {
        QTest::addColumn<int>("compression");
        QTest::addColumn<bool>("delta");
        QTest::newRow("raw pictures") << int(Compression::Raw) << false;
        QTest::newRow("runs and literals") << int(Compression::Rle) << false;
        QTest::newRow("delta animation") << int(Compression::Rle) << true;
    }
    void assetsAreReadThroughTheReader() {
        QFETCH(int, compression);
        QFETCH(bool, delta);
        const int width = 21, height = 9;
        std::vector<Bytes> pictures;
        for (unsigned i = 0; i < 3; ++i) {
            // Few colours, so that runs occur, with a moving band, so that frames differ.
            std::vector<ColorValue> colours = seededNoise(width, height, 20 + i);
            for (std::size_t p = 0; p < colours.size(); ++p) {
                if (static_cast<int>(p) % width > static_cast<int>(6 * i)) {
                    colours[p] = 0x30A0F0;
                }
            }
            pictures.push_back(packPixels(colours, width, height));
        }
        const StoredPictures stored =
            storePictures(pictures, width, height, static_cast<Compression>(compression), delta);
        const Bytes data = inFlash(stored.data);
        const std::vector<std::uint32_t> offsets = inFlash(stored.offsets);
        const std::vector<std::uint16_t> delays = inFlash(std::vector<std::uint16_t>{40, 300, 7});
        const ravik_lcd_asset asset = {static_cast<std::uint16_t>(width),
                                       static_cast<std::uint16_t>(height),
                                       3,
                                       static_cast<std::uint32_t>(stored.size),
                                       static_cast<std::uint32_t>(stored.data.size()),
                                       static_cast<std::uint8_t>(delta),
                                       static_cast<std::uint8_t>(compression),
                                       nullptr,
                                       delays.data(),
                                       data.data(),
                                       offsets.data()};
        Bytes out(stored.size, 0x5A);
        for (std::uint16_t i = 0; i < 3; ++i) {
            ravik_lcd_unpack(&asset, i, out.data());
            QVERIFY2(out == pictures[i], QByteArray::number(i).constData());
            if (!delta || i == 0) {
                Bytes streamed;
                ravik_lcd_stream(
                    &asset, i,
                    [](const std::uint8_t* bytes, std::uint16_t n, void* ctx) {
                        auto* into = static_cast<Bytes*>(ctx);
                        into->insert(into->end(), bytes, bytes + n);
                    },
                    &streamed);
                QVERIFY(streamed == pictures[i]);
            }
        }
        QCOMPARE(ravik_lcd_delay_ms(&asset, 0), std::uint16_t{40});
        QCOMPARE(ravik_lcd_delay_ms(&asset, 1), std::uint16_t{300});
        QCOMPARE(ravik_lcd_delay_ms(&asset, 2), std::uint16_t{7});
        QCOMPARE(ravik_lcd_delay_ms(&asset, 3), std::uint16_t{0}); // past the last frame
    }

    // A glyph table, metrics and bitmap in flash: a 2 x 1 coverage glyph, full then 8, at an odd x
    // over a black frame: the first pixel the colour, the second blended; the pen moved by the
    // advance.
    void textReadsTheFontThroughTheReader() {
        const Bytes glyphs = inFlash(Bytes{RAVIK_LCD_GLYPH(0x41, 0, 0)});
        const Bytes metrics = inFlash(Bytes{RAVIK_LCD_METRICS(2, 1, 0, 1, 3, 0)});
        const Bytes bitmaps = inFlash(Bytes{0xF8});
        ravik_lcd_font font{};
        font.glyphs = glyphs.data();
        font.metrics = metrics.data();
        font.bitmaps = bitmaps.data();
        font.bitmaps_size = 1;
        font.count = 1;
        font.metrics_count = 1;
        font.record_size = 6;
        font.offset_bits = 24;
        font.line_height = 4;
        font.ascent = 1;
        font.bpp = 4;
        Bytes frame(RAVIK_LCD_FRAME_SIZE, 0);
        QCOMPARE(ravik_lcd_text(frame.data(), 1, 0, "A", &font, 0xF0F), 4);
        // Pixel 1: R in byte 1's low nibble, G B in byte 2 = F, 0F. Pixel 2, coverage 8 over 0:
        // red and blue (15 * 8 + 0 * 7 + 7) / 15 = 8, green (0 + 7) / 15 = 0: R G = 0x80, B = 8.
        QCOMPARE(frame[0], std::uint8_t{0x00});
        QCOMPARE(frame[1], std::uint8_t{0x0F});
        QCOMPARE(frame[2], std::uint8_t{0x0F});
        QCOMPARE(frame[3], std::uint8_t{0x80});
        QCOMPARE(frame[4], std::uint8_t{0x80});
    }
};

QTEST_GUILESS_MAIN(RuntimeFlashTest)
#include "runtime_flash_test.moc"
