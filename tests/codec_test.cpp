// The frame layout, packing and decoding, checked against hand-computed bytes.

#include "codec/frame_buffer.h"

#include <QTest>
#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <set>
#include <stdexcept>

using namespace ravik;

namespace {

using Pixels = std::array<ColorValue, kPixelCount>;

Pixels filled(ColorValue color) {
    Pixels pixels;
    pixels.fill(color);
    return pixels;
}

Pixels seededNoise(unsigned seed) {
    std::mt19937 random(seed);
    Pixels pixels;
    for (ColorValue& pixel : pixels) {
        pixel = random() & 0xFFFFFF;
    }
    return pixels;
}

FrameBuffer packed(const Pixels& pixels) {
    FrameBuffer frame;
    packPixels(pixels, frame);
    return frame;
}

using ByteMap = std::map<int, int>;

} // namespace

Q_DECLARE_METATYPE(ByteMap)

class CodecTest : public QObject {
    Q_OBJECT
private slots:
    void freshBufferIsZero() {
        const FrameBuffer frame;
        QCOMPARE(frame.bytes().size(), std::size_t{9850});
        QVERIFY(std::all_of(frame.bytes().begin(), frame.bytes().end(),
                            [](std::uint8_t b) { return b == 0; }));
        QCOMPARE(frame.frame().size(), std::size_t{9849});
    }

    void accessIsBoundsChecked() {
        FrameBuffer frame;
        frame[9849] = 7; // the spare byte exists...
        QCOMPARE(frame[9849], std::uint8_t{7});
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, frame[9850]); // ...and nothing past it
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, decodePixel(frame, 98, 0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, decodePixel(frame, 0, -1));
    }

    void pixelIndex_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("index");
        QTest::newRow("first pixel") << 0 << 0 << 0;
        QTest::newRow("second pixel") << 1 << 0 << 1;
        QTest::newRow("second pair") << 2 << 0 << 3;
        QTest::newRow("end of row 0") << 97 << 0 << 145;
        QTest::newRow("start of row 1") << 0 << 1 << 147;
        QTest::newRow("start of row 66") << 0 << 66 << 9702;
        QTest::newRow("last pixel") << 97 << 66 << 9847;
    }
    void pixelIndex() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, index);
        QCOMPARE(ravik::pixelIndex(x, y), index);
    }

    // A single lit pixel in a black frame shows exactly which nibbles the pixel owns.
    void singlePixelPlacement_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<ByteMap>("expected");
        QTest::newRow("(0, 0): byte 0 and high nibble of byte 1")
            << 0 << 0 << ByteMap{{0, 0xAB}, {1, 0xC0}};
        QTest::newRow("(1, 0): low nibble of byte 1 and byte 2")
            << 1 << 0 << ByteMap{{1, 0x0A}, {2, 0xBC}};
        QTest::newRow("(0, 1): starts at byte 147") << 0 << 1 << ByteMap{{147, 0xAB}, {148, 0xC0}};
        QTest::newRow("(97, 66): low nibble of 9847 and byte 9848")
            << 97 << 66 << ByteMap{{9847, 0x0A}, {9848, 0xBC}};
    }
    void singlePixelPlacement() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(ByteMap, expected);
        Pixels pixels = filled(0);
        pixels[static_cast<std::size_t>(y * kFrameWidth + x)] = RGB(0xA5, 0xB6, 0xC7);
        const FrameBuffer frame = packed(pixels);
        for (int i = 0; i < kBufferSize; ++i) {
            const auto it = expected.find(i);
            const int want = it == expected.end() ? 0 : it->second;
            if (frame[static_cast<std::size_t>(i)] != want) {
                QFAIL(qPrintable(QStringLiteral("byte %1 is 0x%2, expected 0x%3")
                                     .arg(i)
                                     .arg(frame[static_cast<std::size_t>(i)], 2, 16, QChar(u'0'))
                                     .arg(want, 2, 16, QChar(u'0'))));
            }
        }
        QCOMPARE(decodePixel(frame, x, y), RGB(0xA0, 0xB0, 0xC0));
    }

    void workedPair() {
        Pixels pixels = filled(0);
        pixels[0] = RGB(0x12, 0x34, 0x56);
        pixels[1] = RGB(0x78, 0x9A, 0xBC);
        const FrameBuffer frame = packed(pixels);
        QCOMPARE(frame[0], std::uint8_t{0x13});
        QCOMPARE(frame[1], std::uint8_t{0x57});
        QCOMPARE(frame[2], std::uint8_t{0x9B});
    }

    void channelsAreTruncatedNotRounded() {
        const FrameBuffer frame = packed(filled(RGB(0x1F, 0x2F, 0x3F)));
        // Nibbles 1 2 3 1 2 3 ...: 0x12, 0x31, 0x23 per pair.
        QCOMPARE(frame[0], std::uint8_t{0x12});
        QCOMPARE(frame[1], std::uint8_t{0x31});
        QCOMPARE(frame[2], std::uint8_t{0x23});
        QCOMPARE(decodePixel(frame, 5, 5), RGB(0x10, 0x20, 0x30));
    }

    void uniformFrames_data() {
        QTest::addColumn<ColorValue>("color");
        QTest::addColumn<QByteArray>("pattern");
        QTest::newRow("white") << RGB(255, 255, 255) << QByteArray("\xFF\xFF\xFF", 3);
        QTest::newRow("red") << RGB(255, 0, 0) << QByteArray("\xF0\x0F\x00", 3);
        QTest::newRow("green") << RGB(0, 255, 0) << QByteArray("\x0F\x00\xF0", 3);
        QTest::newRow("blue") << RGB(0, 0, 255) << QByteArray("\x00\xF0\x0F", 3);
        QTest::newRow("below 16 is black") << RGB(15, 15, 15) << QByteArray("\x00\x00\x00", 3);
    }
    void uniformFrames() {
        QFETCH(ColorValue, color);
        QFETCH(QByteArray, pattern);
        const FrameBuffer frame = packed(filled(color));
        for (int i = 0; i < kFrameSize; ++i) {
            QCOMPARE(frame[static_cast<std::size_t>(i)], static_cast<std::uint8_t>(pattern[i % 3]));
        }
        QCOMPARE(frame[kFrameSize], std::uint8_t{0}); // the spare byte is never written
    }

    void secondConversionLeavesNoTrace() {
        FrameBuffer frame;
        packPixels(filled(RGB(255, 255, 255)), frame);
        const Pixels second = seededNoise(7);
        packPixels(second, frame);
        QCOMPARE(frame, packed(second));
        packPixels(filled(0), frame);
        QCOMPARE(frame, FrameBuffer{});
    }

    void decodeInvertsPackUpToTheLowNibbles() {
        const Pixels pixels = seededNoise(42);
        const FrameBuffer frame = packed(pixels);
        Pixels decoded{};
        decodePixels(frame, decoded);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            QCOMPARE(decoded[i], pixels[i] & 0xF0F0F0);
        }
    }

    void whiteDecodesTo240() {
        Pixels decoded{};
        decodePixels(packed(filled(RGB(255, 255, 255))), decoded);
        QVERIFY(std::all_of(decoded.begin(), decoded.end(),
                            [](ColorValue c) { return c == RGB(240, 240, 240); }));
    }

    void redGradientDecodesAsSixteenBands() {
        Pixels pixels{};
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth; ++x) {
                pixels[static_cast<std::size_t>(y * kFrameWidth + x)] =
                    RGB(x * 255 / (kFrameWidth - 1), 0, 0);
            }
        }
        const FrameBuffer frame = packed(pixels);
        std::set<int> bands;
        for (int x = 0; x < kFrameWidth; ++x) {
            const ColorValue c = decodePixel(frame, x, 10);
            QCOMPARE(greenOf(c), 0);
            QCOMPARE(redOf(c) % 16, 0);
            bands.insert(redOf(c));
        }
        QCOMPARE(bands.size(), std::size_t{16});
        QCOMPARE(*bands.begin(), 0);
        QCOMPARE(*bands.rbegin(), 240);
    }
};

QTEST_APPLESS_MAIN(CodecTest)
#include "codec_test.moc"
