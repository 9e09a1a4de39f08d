// The frame layout, packing and decoding, checked against hand-computed bytes.

#include "codec/conversion.h"
#include "codec/frame_buffer.h"
#include "codec/packed_picture.h"

#include <QTest>
#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <vector>

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
using Colors = std::vector<ColorValue>;

// Bytes written as hex digits, two to a byte, spaces ignored: the nibble stream as read aloud.
std::vector<std::uint8_t> hexBytes(const char* digits) {
    const QByteArray hex = QByteArray(digits).replace(' ', "");
    const QByteArray raw = QByteArray::fromHex(hex);
    return {raw.begin(), raw.end()};
}

// Colours given as 12-bit 0xRGB values, each nibble widened with a low nibble that packing drops.
Colors twelveBit(std::initializer_list<int> values) {
    Colors colors;
    for (const int v : values) {
        colors.push_back(
            RGB((v >> 8 & 0xF) << 4 | 0x9, (v >> 4 & 0xF) << 4 | 0x6, (v & 0xF) << 4 | 0xF));
    }
    return colors;
}

// A hand-built picture: colours as 0xRRGGBBAA, row by row, held as the RGBA bytes the codec reads.
struct HandPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    RgbaView view() const { return {rgba.data(), width, height, std::ptrdiff_t{width} * 4}; }
};

HandPicture handPicture(int width, int height, const std::vector<std::uint32_t>& rgbaColors) {
    HandPicture picture{width, height, {}};
    for (const std::uint32_t c : rgbaColors) {
        for (const int shift : {24, 16, 8, 0}) {
            picture.rgba.push_back(static_cast<std::uint8_t>(c >> shift & 0xFF));
        }
    }
    return picture;
}

} // namespace

Q_DECLARE_METATYPE(ByteMap)
Q_DECLARE_METATYPE(Colors)
Q_DECLARE_METATYPE(HandPicture)
Q_DECLARE_METATYPE(ConversionOptions)
Q_DECLARE_METATYPE(Area)

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

    // Small pictures packed by hand: the nibbles R G B of each pixel in reading order, two to a
    // byte, a last lone nibble followed by 0.
    void packedPictures_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<Colors>("pixels");
        QTest::addColumn<std::vector<std::uint8_t>>("expected");
        QTest::newRow("1 × 1: one lone nibble padded")
            << 1 << 1 << twelveBit({0xABC}) << hexBytes("AB C0");
        QTest::newRow("3 × 1: odd count ends in a half byte")
            << 3 << 1 << twelveBit({0x135, 0x79B, 0xDF1}) << hexBytes("13 57 9B DF 10");
        QTest::newRow("1 × 3: a column packs as the same stream")
            << 1 << 3 << twelveBit({0x135, 0x79B, 0xDF1}) << hexBytes("13 57 9B DF 10");
        QTest::newRow("2 × 2: two whole pairs")
            << 2 << 2 << twelveBit({0x123, 0x456, 0x789, 0xABC}) << hexBytes("12 34 56 78 9A BC");
        QTest::newRow("3 × 3: rows continue mid-byte")
            << 3 << 3 << twelveBit({0x00F, 0x10F, 0x20F, 0x30F, 0x40F, 0x50F, 0x60F, 0x70F, 0x80F})
            << hexBytes("00 F1 0F 20 F3 0F 40 F5 0F 60 F7 0F 80 F0");
        QTest::newRow("5 × 1: white and black alternate")
            << 5 << 1 << twelveBit({0xFFF, 0x000, 0xFFF, 0x000, 0xFFF})
            << hexBytes("FF F0 00 FF F0 00 FF F0");
    }
    void packedPictures() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(Colors, pixels);
        QFETCH(std::vector<std::uint8_t>, expected);
        QCOMPARE(packedSize(width, height), expected.size());
        const std::vector<std::uint8_t> bytes = packPixels(pixels, width, height);
        QCOMPARE(bytes, expected);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const ColorValue given = pixels[static_cast<std::size_t>(y * width + x)];
                QCOMPARE(decodePixel(bytes, width, x, y), given & 0xF0F0F0);
            }
        }
        Colors decoded = decodePixels(bytes, width, height);
        for (ColorValue& c : decoded) {
            c |= RGB(0x9, 0x6, 0xF); // the low nibbles packing dropped
        }
        QCOMPARE(decoded, pixels);
    }

    void packedSizes_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("size");
        QTest::newRow("1 × 1") << 1 << 1 << 2;
        QTest::newRow("3 × 1") << 3 << 1 << 5;
        QTest::newRow("16 × 16") << 16 << 16 << 384;
        QTest::newRow("7 × 9") << 7 << 9 << 95; // 189 nibbles
        QTest::newRow("98 × 67: the frame") << 98 << 67 << 9849;
        QTest::newRow("1024 × 1024") << 1024 << 1024 << 1572864;
        QTest::newRow("1023 × 1023") << 1023 << 1023 << 1569794; // 3139587 nibbles
    }
    void packedSizes() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, size);
        QCOMPARE(packedSize(width, height), static_cast<std::size_t>(size));
    }

    // Packing into a longer buffer writes its own bytes only, every one of them.
    void packIntoLeavesTheRestAlone() {
        std::vector<std::uint8_t> out(8, 0x55);
        packPixels(twelveBit({0xABC}), 1, 1, out);
        QCOMPARE(out, hexBytes("AB C0 55 55 55 55 55 55"));
    }

    void packedPictureFaults() {
        const Colors three = twelveBit({0x111, 0x222, 0x333});
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, packPixels(three, 2, 2));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, packPixels(three, 0, 3));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, packedSize(-1, 3));
        std::vector<std::uint8_t> short4(4);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, packPixels(three, 3, 1, short4));
        const std::vector<std::uint8_t> bytes = packPixels(three, 3, 1);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, decodePixel(bytes, 3, 3, 0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, decodePixel(bytes, 3, -1, 0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, decodePixel(bytes, 3, 0, 1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, decodePixel(bytes, 1, 0, 3));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, decodePixels(bytes, 2, 2));
        Colors two(2);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, decodePixels(bytes, 3, 1, two));
    }

    // The 98 × 67 picture is the frame: row y all one colour (r, g, b) is 49 times the bytes
    // rg br gb, rows one after another.
    void fullSizePictureIsTheFrame() {
        const auto rowColor = [](int y) {
            return RGB((y * 37) & 0xFF, (y * 11 + 0x40) & 0xFF, (255 - y * 3) & 0xFF);
        };
        Colors pixels;
        std::vector<std::uint8_t> expected;
        for (int y = 0; y < 67; ++y) {
            const ColorValue c = rowColor(y);
            const int r = redOf(c) >> 4, g = greenOf(c) >> 4, b = blueOf(c) >> 4;
            for (int pair = 0; pair < 49; ++pair) {
                expected.push_back(static_cast<std::uint8_t>(r << 4 | g));
                expected.push_back(static_cast<std::uint8_t>(b << 4 | r));
                expected.push_back(static_cast<std::uint8_t>(g << 4 | b));
            }
            pixels.insert(pixels.end(), 98, c);
        }
        QCOMPARE(packPixels(pixels, 98, 67), expected);
        FrameBuffer frame;
        frame[kFrameSize] = 0x5A; // the spare byte is the frame's own
        packPixels(std::span<const ColorValue, kPixelCount>(pixels.data(), kPixelCount), frame);
        QVERIFY(std::equal(frame.frame().begin(), frame.frame().end(), expected.begin()));
        QCOMPARE(frame[kFrameSize], std::uint8_t{0x5A});
    }

    // Conversion into boxes other than the frame, the bytes worked out by hand from the fit's
    // placement, the area average, the Bayer thresholds and the error shares.
    void convertAtAnySize_data() {
        QTest::addColumn<HandPicture>("picture");
        QTest::addColumn<ConversionOptions>("options");
        QTest::addColumn<std::vector<std::uint8_t>>("expected");
        const ColorValue grey = RGB(0xAB, 0xCD, 0xEF);
        // Picture 135 79B, background ACE: 135 79B ACE / ACE ACE ACE.
        QTest::newRow("original: smaller picture over the background, 3 × 2")
            << handPicture(2, 1, {0x123456FF, 0x789ABCFF})
            << ConversionOptions{.background = grey, .size = {3, 2}}
            << hexBytes("13 57 9B AC EA CE AC EA CE");
        // Only the top-left 2 × 1 of a 3 × 2 picture lands in the box.
        QTest::newRow("original: larger picture keeps its corner, 2 × 1")
            << handPicture(3, 2, {0x102030FF, 0x405060FF, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0})
            << ConversionOptions{.size = {2, 1}} << hexBytes("12 34 56");
        // Half-transparent white over black: 255 × 128 / 255 = 128 each channel.
        QTest::newRow("original: alpha blended over the background, 1 × 1")
            << handPicture(1, 1, {0xFFFFFF80})
            << ConversionOptions{.background = RGB(0, 0, 0), .size = {1, 1}} << hexBytes("88 80");
        // Mean red (16 + 48 + 80 + 112) / 4 = 64, green 128, blue (240 + 240) / 4 = 120.
        QTest::newRow("stretch: 2 × 2 averaged into 1 × 1")
            << handPicture(2, 2, {0x1080F0FF, 0x3080F0FF, 0x508000FF, 0x708000FF})
            << ConversionOptions{.fit = Fit::Stretch, .size = {1, 1}} << hexBytes("48 70");
        // 4 × 1 into 2 × 3: two columns of one row, centred; each averages two pixels.
        QTest::newRow("contain: wide picture centred in 2 × 3")
            << handPicture(4, 1, {0x200000FF, 0x400000FF, 0x006000FF, 0x002000FF})
            << ConversionOptions{.background = RGB(0xF0, 0xF0, 0xF0),
                                 .fit = Fit::Contain,
                                 .size = {2, 3}}
            << hexBytes("FF FF FF 30 00 40 FF FF FF");
        // 4 × 2 into 1 × 1 takes the centred 2 × 2: red (16 + 32 + 48 + 64) / 4 = 40, green 240.
        QTest::newRow("cover: centre columns of 4 × 2 into 1 × 1")
            << handPicture(4, 2,
                           {0xFFFFFFFF, 0x10F000FF, 0x20F000FF, 0xFFFFFFFF, 0xFFFFFFFF, 0x30F000FF,
                            0x40F000FF, 0xFFFFFFFF})
            << ConversionOptions{.fit = Fit::Cover, .size = {1, 1}} << hexBytes("2F 00");
        // Grey 144 lies halfway between levels 8 and 9; level = (32 × 144 + 17 (2b + 1)) / 544
        // gives 9 where the Bayer value b is 8, 10, 12 or 14 and 8 where it is 0, 2, 4 or 6:
        // row 0 (b 0 8 2) 8 9 8, row 1 (b 12 4 14) 9 8 9.
        QTest::newRow("ordered dither at 3 × 2")
            << handPicture(3, 2, std::vector<std::uint32_t>(6, 0x909090FF))
            << ConversionOptions{.dither = Dither::Ordered, .size = {3, 2}}
            << hexBytes("88 89 99 88 89 99 88 89 99");
        // Pixel 0 wants 16 × 144 = 2304 sixteenths, shows level 8 (2176), hands 7/16 of 128 = 56
        // ahead; pixel 1 wants 2360, rounds to level 9.
        QTest::newRow("Floyd-Steinberg at 2 × 1")
            << handPicture(2, 1, {0x909090FF, 0x909090FF})
            << ConversionOptions{.dither = Dither::FloydSteinberg, .size = {2, 1}}
            << hexBytes("88 89 99");
        // In a column the error goes down: 5/16 of 128 = 40, so 2344 rounds to level 9.
        QTest::newRow("Floyd-Steinberg at 1 × 2")
            << handPicture(1, 2, {0x909090FF, 0x909090FF})
            << ConversionOptions{.dither = Dither::FloydSteinberg, .size = {1, 2}}
            << hexBytes("88 89 99");
        // One picture pixel of grey 144 in a 3 × 2 box whose background is the same grey: the
        // picture pixel dithers to 8; the background keeps its truncated 9 everywhere, even where
        // the dither would have given 8.
        for (const auto& [name, dither] :
             {std::pair{"ordered dither leaves the background flat", Dither::Ordered},
              std::pair{"Floyd-Steinberg leaves the background flat", Dither::FloydSteinberg}}) {
            QTest::newRow(name) << handPicture(1, 1, {0x909090FF})
                                << ConversionOptions{.background = RGB(144, 144, 144),
                                                     .dither = dither,
                                                     .size = {3, 2}}
                                << hexBytes("88 89 99 99 99 99 99 99 99");
        }
    }
    void convertAtAnySize() {
        QFETCH(HandPicture, picture);
        QFETCH(ConversionOptions, options);
        QFETCH(std::vector<std::uint8_t>, expected);
        const PackedConversion converted = convertPacked(picture.view(), options);
        QCOMPARE(converted.size, options.size);
        QCOMPARE(converted.shown.size(), options.size.pixelCount());
        QCOMPARE(converted.packed, expected);
    }

    void placeFitInAnyBox_data() {
        QTest::addColumn<int>("fit");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("boxWidth");
        QTest::addColumn<int>("boxHeight");
        QTest::addColumn<Area>("source");
        QTest::addColumn<Area>("target");
        QTest::newRow("original larger than the box")
            << int(Fit::Original) << 5 << 5 << 3 << 2 << Area{0, 0, 3, 2} << Area{0, 0, 3, 2};
        QTest::newRow("contain wide: 4 × 1 in 2 × 3")
            << int(Fit::Contain) << 4 << 1 << 2 << 3 << Area{0, 0, 4, 1} << Area{0, 1, 2, 1};
        // 10 × 40 in 16 × 16: width 16 × 10 / 40 = 4, centred at (16 - 4) / 2 = 6.
        QTest::newRow("contain tall: 10 × 40 in 16 × 16")
            << int(Fit::Contain) << 10 << 40 << 16 << 16 << Area{0, 0, 10, 40} << Area{6, 0, 4, 16};
        // 100 × 10 covering 16 × 16 takes a 10 × 10 square from x = 45.
        QTest::newRow("cover wide: 100 × 10 in 16 × 16")
            << int(Fit::Cover) << 100 << 10 << 16 << 16 << Area{45, 0, 10, 10}
            << Area{0, 0, 16, 16};
        QTest::newRow("stretch into 1024 × 1")
            << int(Fit::Stretch) << 3 << 7 << 1024 << 1 << Area{0, 0, 3, 7} << Area{0, 0, 1024, 1};
    }
    void placeFitInAnyBox() {
        QFETCH(int, fit);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, boxWidth);
        QFETCH(int, boxHeight);
        QFETCH(Area, source);
        QFETCH(Area, target);
        const Placement placement = placeFit(Fit(fit), width, height, {boxWidth, boxHeight});
        QCOMPARE(placement.source, source);
        QCOMPARE(placement.target, target);
    }

    // A picture stored on its side and turned upright while it is scaled lands where the upright
    // picture would: a 1 × 4 column turned clockwise is the 4 × 1 row read bottom to top.
    void turnedPictureScaledIntoAnyBox() {
        const HandPicture stored =
            handPicture(1, 4, {0x002000FF, 0x006000FF, 0x400000FF, 0x200000FF});
        FitScaler scaler(Fit::Contain, 1, 4, {.turned = true}, RGB(0xF0, 0xF0, 0xF0), {2, 3});
        for (int y = 0; y < 4; ++y) {
            scaler.addRow(y, stored.view().pixel(0, y));
        }
        const ScaledPicture scaled = scaler.result();
        QCOMPARE(scaled.box, (BoxSize{2, 3}));
        const PackedConversion converted =
            convertPacked(scaled, {.background = RGB(0xF0, 0xF0, 0xF0), .size = {2, 3}});
        QCOMPARE(converted.packed, hexBytes("FF FF FF 30 00 40 FF FF FF"));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, convertPacked(scaled, {}));
    }

    void boxSizeLimits_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("valid");
        QTest::newRow("1 × 1") << 1 << 1 << true;
        QTest::newRow("1024 × 1024") << 1024 << 1024 << true;
        QTest::newRow("0 × 5") << 0 << 5 << false;
        QTest::newRow("5 × 0") << 5 << 0 << false;
        QTest::newRow("1025 × 1") << 1025 << 1 << false;
        QTest::newRow("-3 × 4") << -3 << 4 << false;
    }
    void boxSizeLimits() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, valid);
        const HandPicture white = handPicture(1, 1, {0xFFFFFFFF});
        const ConversionOptions options{.dither = Dither::FloydSteinberg, .size = {width, height}};
        QCOMPARE(isValidBoxSize(options.size), valid);
        if (!valid) {
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, convertPacked(white.view(), options));
            return;
        }
        const PackedConversion converted = convertPacked(white.view(), options);
        QCOMPARE(converted.packed.size(), packedSize(width, height));
        QCOMPARE(converted.packed[0], std::uint8_t{0xFF}); // the white pixel, top left
    }

    // The frame's own entry points are the 98 × 67 case and refuse any other size.
    void frameEntryPointsKeepToTheFrame() {
        const HandPicture picture = handPicture(2, 1, {0x123456FF, 0x789ABCFF});
        const Conversion frame = convertPicture(picture.view(), {});
        const PackedConversion packed = convertPacked(picture.view(), {});
        QVERIFY(
            std::equal(packed.packed.begin(), packed.packed.end(), frame.frame.frame().begin()));
        QCOMPARE(frame.frame[0], std::uint8_t{0x13});
        QCOMPARE(frame.frame[2], std::uint8_t{0x9B});
        QCOMPARE(frame.frame[3], std::uint8_t{0xFF}); // the default background, F0 F0 F0
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 convertPicture(picture.view(), {.size = {16, 16}}));
    }

    // The previews of a packed picture: nibble n as n × 16, and at the panel's brightness n × 17.
    void previewsAtAnySize() {
        const std::vector<std::uint8_t> packed = hexBytes("13 57 9B DF 10");
        QCOMPARE(previewPixels(packed, {3, 1}),
                 (Colors{RGB(0x10, 0x30, 0x50), RGB(0x70, 0x90, 0xB0), RGB(0xD0, 0xF0, 0x10)}));
        QCOMPARE(panelPixels(packed, {1, 3}),
                 (Colors{RGB(0x11, 0x33, 0x55), RGB(0x77, 0x99, 0xBB), RGB(0xDD, 0xFF, 0x11)}));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, previewPixels(packed, {2, 2}));
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
