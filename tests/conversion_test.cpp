// The one conversion path: placing a picture in the box, blending it over the background exactly,
// deep samples keeping their top bits, and the frame packed from what the box shows. Expected
// colours are worked out by hand from the blending rule and the stored samples.

#include "codec/conversion.h"
#include "platform/picture_conversion.h"

#include <QTest>

using namespace ravik;

namespace {

constexpr ColorValue kBlack = RGB(0, 0, 0);

QImage opaque8(int width, int height, QRgb color) {
    QImage picture(width, height, QImage::Format_ARGB32);
    picture.fill(color);
    return picture;
}

} // namespace

class ConversionTest : public QObject {
    Q_OBJECT

private slots:
    // (c·a + bg·(255 − a)) / 255, rounded to nearest.
    void blendingIsExactAtEightBits_data() {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("alpha");
        QTest::addColumn<int>("background");
        QTest::addColumn<int>("expected");
        QTest::newRow("opaque keeps the channel") << 0x9A << 255 << 0xF0 << 0x9A;
        QTest::newRow("transparent shows the background") << 0x9A << 0 << 0xF0 << 0xF0;
        QTest::newRow("half of white over black, 128.0") << 255 << 128 << 0 << 128;
        QTest::newRow("7.97 rounds up to 8") << 16 << 127 << 0 << 8;
        QTest::newRow("224.3 rounds down") << 200 << 100 << 240 << 224;
        QTest::newRow("16.06 crosses into nibble 1") << 32 << 128 << 0 << 16;
        QTest::newRow("a faint black over white, 254") << 0 << 1 << 255 << 254;
    }
    void blendingIsExactAtEightBits() {
        QFETCH(int, channel);
        QFETCH(int, alpha);
        QFETCH(int, background);
        QFETCH(int, expected);
        QCOMPARE(blendChannel(channel, alpha, background), expected);

        QImage picture(1, 1, QImage::Format_ARGB32);
        picture.setPixel(0, 0, qRgba(channel, 0, 0, alpha));
        const Conversion conversion =
            convertPicture(picture, {.background = RGB(background, 0, 0)});
        QCOMPARE(redOf(conversion.shown[0]), expected);
        QCOMPARE(conversion.frame[0] >> 4, expected >> 4);
    }

    // A deep sample keeps its top bits: 0x9000 is nibble 9, where rounding v / 257 gives 8.
    void deepSamplesKeepTheirTopBits_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<ColorValue>("shown");
        QImage rgb64(2, 1, QImage::Format_RGBX64);
        rgb64.setPixelColor(0, 0, QColor::fromRgba64(0x9000, 0x0FFF, 0xFFFF));
        QTest::newRow("16-bit RGB") << rgb64 << RGB(0x90, 0x0F, 0xFF);
        QImage grey16(2, 1, QImage::Format_Grayscale16);
        reinterpret_cast<quint16*>(grey16.scanLine(0))[0] = 0x90FF;
        QTest::newRow("16-bit grey") << grey16 << RGB(0x90, 0x90, 0x90);
        QImage rgba64(2, 1, QImage::Format_RGBA64);
        rgba64.setPixelColor(0, 0, QColor::fromRgba64(0x20FF, 0, 0, 0x80FF));
        // Top bytes 0x20 and alpha 0x80 over black: 32 · 128 / 255 = 16.06.
        QTest::newRow("16-bit RGBA over black") << rgba64 << RGB(16, 0, 0);
    }
    void deepSamplesKeepTheirTopBits() {
        QFETCH(QImage, picture);
        QFETCH(ColorValue, shown);
        const Conversion conversion = convertPicture(picture, {.background = kBlack});
        QCOMPARE(conversion.shown[0], shown);
    }

    void pictureSitsInTheTopLeftCorner_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("coveredWidth");
        QTest::addColumn<int>("coveredHeight");
        QTest::newRow("smaller than the box") << QSize(10, 5) << 10 << 5;
        QTest::newRow("exactly the box") << QSize(98, 67) << 98 << 67;
        QTest::newRow("larger than the box") << QSize(300, 200) << 98 << 67;
        QTest::newRow("one row") << QSize(500, 1) << 98 << 1;
    }
    void pictureSitsInTheTopLeftCorner() {
        QFETCH(QSize, size);
        QFETCH(int, coveredWidth);
        QFETCH(int, coveredHeight);
        const ColorValue background = RGB(0x12, 0x34, 0x56);
        const Conversion conversion =
            convertPicture(opaque8(size.width(), size.height(), qRgb(0xAB, 0xCD, 0xEF)),
                           {.background = background});
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth; ++x) {
                const bool covered = x < coveredWidth && y < coveredHeight;
                QCOMPARE(conversion.shown[std::size_t(y * kFrameWidth + x)],
                         covered ? RGB(0xAB, 0xCD, 0xEF) : background);
            }
        }
    }

    // No picture at all: every byte is the background's nibbles, here 1 2 3 repeated.
    void emptyBoxIsTheBackground() {
        const Conversion conversion =
            convertPicture(QImage(), {.background = RGB(0x1F, 0x2F, 0x3F)});
        for (int i = 0; i < kFrameSize; i += 3) {
            QCOMPARE(conversion.frame[std::size_t(i)], 0x12);
            QCOMPARE(conversion.frame[std::size_t(i + 1)], 0x31);
            QCOMPARE(conversion.frame[std::size_t(i + 2)], 0x23);
        }
    }

    void previewDecodesEachNibbleTimesSixteen() {
        const Conversion conversion = convertPicture(opaque8(98, 67, qRgb(0xFF, 0x7F, 0x10)), {});
        const QImage preview = previewImage(conversion.frame);
        QCOMPARE(preview.size(), QSize(kFrameWidth, kFrameHeight));
        QCOMPARE(preview.pixel(0, 0), qRgb(0xF0, 0x70, 0x10));
        QCOMPARE(preview.pixel(97, 66), qRgb(0xF0, 0x70, 0x10));
    }
};

QTEST_APPLESS_MAIN(ConversionTest)
#include "conversion_test.moc"
