// The one conversion path: placing a picture in the box, blending it over the background exactly,
// deep samples keeping their top bits, and the frame packed from what the box shows. Expected
// colours are worked out by hand from the blending rule and the stored samples.

#include "codec/conversion.h"
#include "platform/picture_conversion.h"

#include <QTest>
#include <cmath>

using namespace ravik;

namespace {

constexpr ColorValue kBlack = RGB(0, 0, 0);

QImage opaque8(int width, int height, QRgb color) {
    QImage picture(width, height, QImage::Format_ARGB32);
    picture.fill(color);
    return picture;
}

constexpr QRgb kRed = qRgb(0xE0, 0x10, 0x20);
constexpr QRgb kBlue = qRgb(0x10, 0x30, 0xD0);
constexpr ColorValue kPlainBackground = RGB(0x40, 0x50, 0x60);

ColorValue colorOf(QRgb rgb) {
    return RGB(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

// Left half one colour, right half the other.
QImage split(int width, int height) {
    QImage picture = opaque8(width, height, kRed);
    for (int y = 0; y < height; ++y) {
        for (int x = width / 2; x < width; ++x) {
            picture.setPixel(x, y, kBlue);
        }
    }
    return picture;
}

// One-pixel black and white squares.
QImage checkerboard(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    }
    return picture;
}

// Where a fit puts which colour: the rest of the box is background. The split's colours meet
// where it does.
struct Fill {
    QRect area;
    bool split; // red left of the area's middle, blue right of it; else red throughout
};

double meanBrightness(const FrameBuffer& frame, int size) {
    double sum = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            sum += (decodePixel(frame, x, y) & 0xFF) >> 4;
        }
    }
    return sum * 17 / (size * size);
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

    // Worked out from the box's 98 : 67 aspect: a 200 × 100 split is 49 rows high when contained
    // ((67 − 49) / 2 = 9 above), and covered it is cropped to round(100 × 98 / 67) = 146 columns
    // from column 27, which still divides at its middle. 50 × 100 contained is round(33.5) = 34
    // wide from x = 32; 300 × 30 is round(9.8) = 10 high from y = 28.
    void fitsPlaceThePicture_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<Fit>("fit");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<bool>("isSplit");
        const QRect box(0, 0, 98, 67);
        QTest::newRow("split, stretched") << split(200, 100) << Fit::Stretch << box << true;
        QTest::newRow("split, contained")
            << split(200, 100) << Fit::Contain << QRect(0, 9, 98, 49) << true;
        QTest::newRow("split, covered") << split(200, 100) << Fit::Cover << box << true;
        QTest::newRow("split, original size")
            << split(200, 100) << Fit::Original << box << false; // the corner is all red
        QTest::newRow("tall, contained")
            << opaque8(50, 100, kRed) << Fit::Contain << QRect(32, 0, 34, 67) << false;
        QTest::newRow("wide, contained")
            << opaque8(300, 30, kRed) << Fit::Contain << QRect(0, 28, 98, 10) << false;
        QTest::newRow("tall, covered") << opaque8(50, 100, kRed) << Fit::Cover << box << false;
        QTest::newRow("small, stretched up") << opaque8(3, 2, kRed) << Fit::Stretch << box << false;
        QTest::newRow("small split, contained up")
            << split(2, 2) << Fit::Contain << QRect(15, 0, 67, 67) << true;
    }
    void fitsPlaceThePicture() {
        QFETCH(QImage, picture);
        QFETCH(Fit, fit);
        QFETCH(QRect, area);
        QFETCH(bool, isSplit);
        const Conversion conversion =
            convertPicture(picture, {.background = kPlainBackground, .fit = fit});
        const int middle = area.x() + area.width() / 2;
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth; ++x) {
                const ColorValue shown = conversion.shown[std::size_t(y * kFrameWidth + x)];
                if (!area.contains(x, y)) {
                    QCOMPARE(shown, kPlainBackground);
                } else if (isSplit && area.width() % 2 == 1 && x == middle) {
                    // An odd width's middle column straddles both halves equally.
                    QCOMPARE(shown,
                             RGB((0xE0 + 0x10 + 1) / 2, (0x10 + 0x30) / 2, (0x20 + 0xD0) / 2));
                } else {
                    QCOMPARE(shown, colorOf(isSplit && x >= middle ? kBlue : kRed));
                }
            }
        }
    }

    // A 196 × 134 picture of 2 × 2 blocks has the box's aspect at twice its size: every scaling
    // fit gives each block as one pixel, and the original size shows the top-left quarter.
    void blocksBecomePixels_data() {
        QTest::addColumn<Fit>("fit");
        QTest::addColumn<int>("blockSize");
        QTest::newRow("contain") << Fit::Contain << 1;
        QTest::newRow("cover") << Fit::Cover << 1;
        QTest::newRow("stretch") << Fit::Stretch << 1;
        QTest::newRow("original") << Fit::Original << 2;
    }
    void blocksBecomePixels() {
        QFETCH(Fit, fit);
        QFETCH(int, blockSize);
        QImage picture(196, 134, QImage::Format_RGB32);
        for (int y = 0; y < 134; ++y) {
            for (int x = 0; x < 196; ++x) {
                picture.setPixel(x, y, qRgb(x / 2 * 2, y / 2 * 3, 77));
            }
        }
        const Conversion conversion = convertPicture(picture, {.fit = fit});
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth; ++x) {
                QCOMPARE(conversion.shown[std::size_t(y * kFrameWidth + x)],
                         RGB(x / blockSize * 2, y / blockSize * 3, 77));
            }
        }
    }

    // Averaging, not sampling: a one-pixel checkerboard comes out as even grey (127.5 rounds to
    // 128), never as stripes; at a ratio that isn't whole, each pixel stays close to it.
    void fineDetailAveragesToGrey_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<Fit>("fit");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("halved") << QSize(196, 134) << Fit::Stretch << 0;
        QTest::newRow("a tenth") << QSize(980, 670) << Fit::Contain << 0;
        QTest::newRow("by 10.2, covered") << QSize(1000, 700) << Fit::Cover << 16;
    }
    void fineDetailAveragesToGrey() {
        QFETCH(QSize, size);
        QFETCH(Fit, fit);
        QFETCH(int, tolerance);
        const Conversion conversion =
            convertPicture(checkerboard(size.width(), size.height()), {.fit = fit});
        for (const ColorValue shown : conversion.shown) {
            QVERIFY2(std::abs(redOf(shown) - 128) <= tolerance, qPrintable(QString::number(shown)));
            QCOMPARE(greenOf(shown), redOf(shown));
        }
    }

    // Transparent parts are blended over the background before averaging: columns of clear
    // white and opaque black over white average to (255 + 0) / 2 = 127.5, so 128. Averaging the
    // straight colours first would give half-clear mid grey, 191 over white.
    void transparencyIsBlendedBeforeAveraging() {
        QImage picture(196, 134, QImage::Format_ARGB32);
        for (int y = 0; y < 134; ++y) {
            for (int x = 0; x < 196; ++x) {
                picture.setPixel(x, y, x % 2 ? qRgba(0, 0, 0, 255) : qRgba(255, 255, 255, 0));
            }
        }
        const Conversion conversion =
            convertPicture(picture, {.background = RGB(255, 255, 255), .fit = Fit::Stretch});
        QCOMPARE(conversion.shown[0], RGB(128, 128, 128));
        QCOMPARE(conversion.shown[kPixelCount - 1], RGB(128, 128, 128));
    }

    // A flat 64 × 64 patch keeps its brightness at the panel's n × 17: 0x80 lies between levels
    // 7 (119) and 8 (136), which truncation turns into 136 everywhere. A value on a level stays.
    void ditheringKeepsTheMeanBrightness_data() {
        QTest::addColumn<Dither>("dither");
        QTest::addColumn<int>("grey");
        QTest::addColumn<double>("expected");
        QTest::addColumn<double>("tolerance");
        QTest::newRow("truncated 0x80") << Dither::None << 0x80 << 136.0 << 0.0;
        QTest::newRow("ordered 0x80") << Dither::Ordered << 0x80 << 128.0 << 1.0;
        QTest::newRow("error diffusion 0x80") << Dither::FloydSteinberg << 0x80 << 128.0 << 1.0;
        QTest::newRow("ordered 0x2B") << Dither::Ordered << 0x2B << 43.0 << 1.0;
        QTest::newRow("error diffusion 0xE5") << Dither::FloydSteinberg << 0xE5 << 229.0 << 1.0;
        QTest::newRow("ordered on level 0x88") << Dither::Ordered << 0x88 << 136.0 << 0.0;
        QTest::newRow("error diffusion on level 0x88")
            << Dither::FloydSteinberg << 0x88 << 136.0 << 0.0;
    }
    void ditheringKeepsTheMeanBrightness() {
        QFETCH(Dither, dither);
        QFETCH(int, grey);
        QFETCH(double, expected);
        QFETCH(double, tolerance);
        // Black is level 0, so the box around the patch hands it no error.
        const Conversion conversion = convertPicture(opaque8(64, 64, qRgb(grey, grey, grey)),
                                                     {.background = kBlack, .dither = dither});
        const double mean = meanBrightness(conversion.frame, 64);
        QVERIFY2(std::abs(mean - expected) <= tolerance, qPrintable(QString::number(mean)));
    }

    // The background is one flat colour whatever the dither: around the placed picture and under
    // its wholly transparent pixels every pixel keeps the background's own nibbles, while the
    // picture, opaque grey 0x80 (7.53 levels) on its left and clear on its right, still mixes
    // levels 7 and 8. Worked out from the box's 98 : 67 aspect: 196 × 66 contained is 98 × 33
    // from y = 17, halving, so its opaque 100 columns become 50; 196 × 268 covered is cropped to
    // 134 rows and halved; 49 × 67 stretched is doubled across. Half-clear grey over F0F0F0 is
    // (128 · 128 + 240 · 127) / 255 = 184 (10.8 levels), still picture: levels 10 and 11.
    void ditheringLeavesTheBackgroundFlat_data() {
        QTest::addColumn<Fit>("fit");
        QTest::addColumn<Dither>("dither");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("opaqueColumns");
        QTest::addColumn<int>("alpha");
        QTest::addColumn<ColorValue>("background");
        QTest::addColumn<QRect>("picture");
        QTest::addColumn<int>("lowerLevel");
        const ColorValue light = kDefaultBackground;
        const ColorValue coloured = RGB(0x47, 0x8B, 0xC3);
        for (const auto& [dither, name] : {std::pair{Dither::Ordered, "ordered"},
                                           std::pair{Dither::FloydSteinberg, "error diffusion"}}) {
            const auto row = [name](const char* what) -> QTestData& {
                return QTest::addRow("%s, %s", name, what);
            };
            row("original size, smaller picture") << Fit::Original << dither << QSize(40, 30) << 20
                                                  << 255 << light << QRect(0, 0, 20, 30) << 7;
            row("contained, bars above and below")
                << Fit::Contain << dither << QSize(196, 66) << 100 << 255 << light
                << QRect(0, 17, 50, 33) << 7;
            row("covered, cropped") << Fit::Cover << dither << QSize(196, 268) << 100 << 255
                                    << light << QRect(0, 0, 50, 67) << 7;
            row("stretched") << Fit::Stretch << dither << QSize(49, 67) << 25 << 255 << light
                             << QRect(0, 0, 50, 67) << 7;
            row("contained over a coloured background")
                << Fit::Contain << dither << QSize(196, 66) << 100 << 255 << coloured
                << QRect(0, 17, 50, 33) << 7;
            row("original size, half-clear picture")
                << Fit::Original << dither << QSize(40, 30) << 20 << 128 << light
                << QRect(0, 0, 20, 30) << 10;
        }
    }
    void ditheringLeavesTheBackgroundFlat() {
        QFETCH(Fit, fit);
        QFETCH(Dither, dither);
        QFETCH(QSize, size);
        QFETCH(int, opaqueColumns);
        QFETCH(int, alpha);
        QFETCH(ColorValue, background);
        QFETCH(QRect, picture);
        QFETCH(int, lowerLevel);
        QImage image(size, QImage::Format_ARGB32);
        image.fill(qRgba(0, 0, 0, 0));
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < opaqueColumns; ++x) {
                image.setPixel(x, y, qRgba(0x80, 0x80, 0x80, alpha));
            }
        }
        const Conversion conversion =
            convertPicture(image, {.background = background, .fit = fit, .dither = dither});
        const ColorValue flat = background & 0xF0F0F0;
        int upper = 0;
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth; ++x) {
                const ColorValue shown = decodePixel(conversion.frame, x, y);
                const QByteArray where = QByteArray::number(x) + ", " + QByteArray::number(y);
                if (!picture.contains(x, y)) {
                    QVERIFY2(shown == flat, where.constData());
                    continue;
                }
                for (const int level :
                     {redOf(shown) >> 4, greenOf(shown) >> 4, blueOf(shown) >> 4}) {
                    QVERIFY2(level == lowerLevel || level == lowerLevel + 1, where.constData());
                    upper += level - lowerLevel;
                }
            }
        }
        // Both levels show: the picture itself is still dithered.
        QVERIFY(upper > 0);
        QVERIFY(upper < 3 * picture.width() * picture.height());
    }

    // The 4 × 4 threshold map puts 0x80 (7.53 levels) on level 8 where its entry is 8 or more
    // (v / 17 + (b + 1/2) / 16 ≥ 8), the same way on every run.
    void orderedDitherFollowsItsMap() {
        constexpr int kMap[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
        const QImage grey = opaque8(98, 67, qRgb(0x80, 0x80, 0x80));
        const ConversionOptions options{.dither = Dither::Ordered};
        const Conversion conversion = convertPicture(grey, options);
        QCOMPARE(convertPicture(grey, options).frame, conversion.frame);
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth; ++x) {
                QCOMPARE(redOf(decodePixel(conversion.frame, x, y)) >> 4,
                         kMap[y % 4][x % 4] >= 8 ? 8 : 7);
            }
        }
    }

    void previewDecodesEachNibbleTimesSixteen() {
        const Conversion conversion = convertPicture(opaque8(98, 67, qRgb(0xFF, 0x7F, 0x10)), {});
        const QImage preview = previewImage(conversion.frame);
        QCOMPARE(preview.size(), QSize(kFrameWidth, kFrameHeight));
        QCOMPARE(preview.pixel(0, 0), qRgb(0xF0, 0x70, 0x10));
        QCOMPARE(preview.pixel(97, 66), qRgb(0xF0, 0x70, 0x10));
        QCOMPARE(panelImage(conversion.frame).pixel(0, 0), qRgb(0xFF, 0x77, 0x11));
    }

    // Rows a sparse picture never wrote are added as wholly transparent without reading them:
    // they blend to the background exactly, show no picture, and make the result translucent.
    void clearRowsBlendToTheBackground_data() {
        QTest::addColumn<Area>("source");
        QTest::addColumn<QList<int>>("clearRows"); // the others are opaque (200, 100, 50)
        QTest::addColumn<ColorValue>("expected");
        QTest::addColumn<bool>("shows");
        QTest::addColumn<bool>("translucent");
        // Background (16, 32, 48); a 4 × 2 source into one 2 × 1 target row.
        QTest::newRow("one clear row of two: the mean")
            << Area{0, 0, 4, 2} << QList<int>{1} << RGB(108, 66, 49) << true << true;
        QTest::newRow("every row clear: the background")
            << Area{0, 0, 4, 2} << QList<int>{0, 1} << RGB(16, 32, 48) << false << true;
        QTest::newRow("a clear row outside the source is ignored")
            << Area{0, 1, 4, 2} << QList<int>{0} << RGB(200, 100, 50) << true << false;
    }
    void clearRowsBlendToTheBackground() {
        QFETCH(Area, source);
        QFETCH(QList<int>, clearRows);
        QFETCH(ColorValue, expected);
        QFETCH(bool, shows);
        QFETCH(bool, translucent);
        AreaAverager averager(source, 2, 1, RGB(16, 32, 48));
        const std::uint8_t opaque[16] = {200, 100, 50, 255, 200, 100, 50, 255,
                                         200, 100, 50, 255, 200, 100, 50, 255};
        for (int y = 0; y < source.y + source.height; ++y) {
            if (clearRows.contains(y)) {
                averager.addClearRow(y);
            } else {
                averager.addRow(y, opaque);
            }
        }
        QCOMPARE(averager.result(), (std::vector<ColorValue>{expected, expected}));
        QCOMPARE(averager.showsPicture(), (std::vector<bool>{shows, shows}));
        QCOMPARE(averager.translucent(), translucent);
    }
};

QTEST_APPLESS_MAIN(ConversionTest)
#include "conversion_test.moc"
