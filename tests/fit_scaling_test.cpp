// The scaling fits read a picture row by row into the averager. That must give exactly the box
// the whole-picture path gives, for every reader, layout and orientation, and must take
// pictures far beyond the whole-picture decode limit.

#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"
#include "test_files.h"

#include <QTemporaryDir>
#include <QTest>
#include <png.h>
#include <random>
#include <vector>

using namespace ravik;
using namespace ravik::testing;

namespace {

// Seeded noise with every kind of alpha: opaque, clear and partly transparent pixels.
QImage noise(int width, int height) {
    QImage picture(width, height, QImage::Format_ARGB32);
    std::mt19937 random(unsigned(width * 7919 + height));
    constexpr int kAlphas[] = {255, 255, 255, 0, 128, 40};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.setPixel(x, y,
                             qRgba(int(random() % 256), int(random() % 256), int(random() % 256),
                                   kAlphas[random() % 6]));
        }
    }
    return picture;
}

// A PNG of `rows` bands, each band height × width of one 16-bit colour, written row by row so
// that the test itself never holds the picture.
bool writeBandedPng(const QString& path, int width, const QList<QPair<int, QRgba64>>& bands) {
    FILE* file = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (file == nullptr) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(std::size_t(width) * 6);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    int height = 0;
    for (const auto& band : bands) {
        height += band.first;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 16, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (const auto& [rows, colour] : bands) {
        const quint16 samples[] = {colour.red(), colour.green(), colour.blue()};
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                row[std::size_t(x) * 6 + std::size_t(c) * 2] = png_byte(samples[c] >> 8);
                row[std::size_t(x) * 6 + std::size_t(c) * 2 + 1] = png_byte(samples[c] & 0xFF);
            }
        }
        for (int r = 0; r < rows; ++r) {
            png_write_row(png, row.data());
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

} // namespace

class FitScalingTest : public QObject {
    Q_OBJECT
private slots:
    // An 8000 × 6000 16-bit PNG (384 MB as a whole picture, far past the decode limit): the top
    // 3000 rows 12·34·56 (high bytes), the rest F0·80·20, low bytes FF so only the high bytes
    // count. Contain and stretch split box row 33 evenly (6000 / 67 rows each, centred on row
    // 3000): (A + B) / 2 = 81·5A·3B. Cover takes rows 265 to 5733 (5469 = 8000 · 67 / 98); box
    // row 33 covers [180477, 185946) in 67ths of a row, the bands meeting at 2735 · 67 =
    // 183245: weights 2768 and 2701, so (2768 A + 2701 B) / 5469 rounds to 80·5A·3B.
    // Contain is 89 wide (8000 · 67 / 6000), 4 columns of background on the left.
    void hugePngScalesToTheHandComputedBox_data() {
        QTest::addColumn<Fit>("fit");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("width");
        QTest::addColumn<ColorValue>("middle");
        QTest::newRow("contain") << Fit::Contain << 4 << 89 << RGB(0x81, 0x5A, 0x3B);
        QTest::newRow("cover") << Fit::Cover << 0 << 98 << RGB(0x80, 0x5A, 0x3B);
        QTest::newRow("stretch") << Fit::Stretch << 0 << 98 << RGB(0x81, 0x5A, 0x3B);
    }
    void hugePngScalesToTheHandComputedBox() {
        QFETCH(Fit, fit);
        QFETCH(int, left);
        QFETCH(int, width);
        QFETCH(ColorValue, middle);
        static QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("huge.png"));
        if (!QFile::exists(path)) {
            QVERIFY(writeBandedPng(path, 8000,
                                   {{3000, QRgba64::fromRgba64(0x12FF, 0x34FF, 0x56FF, 0xFFFF)},
                                    {3000, QRgba64::fromRgba64(0xF0FF, 0x80FF, 0x20FF, 0xFFFF)}}));
        }
        const ConversionOptions options{.background = RGB(0x10, 0x20, 0x30), .fit = fit};
        const LoadedPicture loaded = loadForFit(path, options);
        QVERIFY2(loaded.ok(), qPrintable(loaded.failure));
        const Conversion conversion = convertPicture(loaded, options);

        FramePixels expected;
        for (int y = 0; y < kFrameHeight; ++y) {
            const ColorValue band = y < 33    ? RGB(0x12, 0x34, 0x56)
                                    : y == 33 ? middle
                                              : RGB(0xF0, 0x80, 0x20);
            for (int x = 0; x < kFrameWidth; ++x) {
                expected[std::size_t(y * kFrameWidth + x)] =
                    x >= left && x < left + width ? band : RGB(0x10, 0x20, 0x30);
            }
        }
        QCOMPARE(conversion.shown, expected);
        // The frame holds each channel's high nibble.
        FramePixels nibbles = expected;
        for (ColorValue& c : nibbles) {
            c &= 0xF0F0F0;
        }
        QCOMPARE(previewPixels(conversion.frame), nibbles);
    }

    // Pictures made by ImageMagick from the same noise, read for each scaling fit: the row-by-row
    // path gives the very box of decoding the whole picture first and scaling that.
    void rowByRowEqualsWholePicture_data() {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QStringList>("options"); // ImageMagick's, for the written file
        QTest::addColumn<QSize>("size");
        const QList<QPair<const char*, QStringList>> formats = {
            {"png", {}},
            {"png", {QStringLiteral("-depth"), QStringLiteral("16")}},
            {"png", {QStringLiteral("-type"), QStringLiteral("Palette")}},
            {"png", {QStringLiteral("-interlace"), QStringLiteral("PNG")}},
            {"gif", {}},
            {"gif", {QStringLiteral("-interlace"), QStringLiteral("GIF")}},
            {"bmp", {}},
            {"bmp",
             {QStringLiteral("-type"), QStringLiteral("Palette"), QStringLiteral("-compress"),
              QStringLiteral("RLE")}},
            {"tga", {QStringLiteral("-compress"), QStringLiteral("RLE")}},
            {"tif", {QStringLiteral("-compress"), QStringLiteral("LZW")}},
            {"tif", {QStringLiteral("-depth"), QStringLiteral("16")}},
            {"tif", {QStringLiteral("-orient"), QStringLiteral("RightTop")}},
            {"tif", {QStringLiteral("-orient"), QStringLiteral("LeftBottom")}},
            {"tif", {QStringLiteral("-orient"), QStringLiteral("BottomRight")}},
            {"tif", {QStringLiteral("-orient"), QStringLiteral("LeftTop")}},
            {"jpg", {}},
        };
        for (const auto& [suffix, options] : formats) {
            for (const QSize size : {QSize(131, 90), QSize(40, 120), QSize(300, 7)}) {
                QTest::addRow("%s %s %dx%d", suffix, qPrintable(options.join(u' ')), size.width(),
                              size.height())
                    << QString::fromLatin1(suffix) << options << size;
            }
        }
    }
    void rowByRowEqualsWholePicture() {
        QFETCH(QString, suffix);
        QFETCH(QStringList, options);
        QFETCH(QSize, size);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("noise.png"));
        QVERIFY(noise(size.width(), size.height()).save(source));
        const QString file = dir.filePath(QStringLiteral("picture.") + suffix);
        if (suffix == u"bmp" && options.isEmpty()) {
            options << QStringLiteral("-alpha") << QStringLiteral("off");
        }
        QVERIFY(run(QStringLiteral("/usr/bin/convert"),
                    QStringList{source} + options + QStringList{file}));
        const QByteArray data = readAll(file);
        const QByteArray hint = suffix.toLatin1();
        for (const Fit fit : {Fit::Contain, Fit::Cover, Fit::Stretch}) {
            const ConversionOptions wanted{.background = RGB(0x30, 0xC0, 0x60), .fit = fit};
            const LoadedPicture scaled = decodeForFit(data, wanted, hint);
            QVERIFY2(scaled.ok(), qPrintable(scaled.failure));
            QVERIFY(scaled.scaled.has_value());
            // The whole-picture path: the reduced JPEG, or the whole picture otherwise.
            const LoadedPicture whole = suffix == u"jpg" ? decodeReducedJpeg(data, fit)
                                                         : decodePicture(data, QSize(), hint);
            QVERIFY2(whole.ok() && !whole.picture.isNull(), qPrintable(whole.failure));
            const Conversion expected = convertPicture(whole.picture, wanted);
            const Conversion actual = convertPicture(scaled, wanted);
            QCOMPARE(actual.shown, expected.shown);
            QCOMPARE(actual.frame, expected.frame);
        }
    }

    // Opaque pictures scale to the same colours over any background, so only the box around them
    // changes; a translucent one says it must be scaled again.
    void backgroundOfAScaledPicture() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.png"));
        QImage opaque(200, 100, QImage::Format_RGB32);
        opaque.fill(qRgb(0x40, 0x80, 0xC0));
        QVERIFY(opaque.save(path));
        const LoadedPicture loaded = loadForFit(path, {.fit = Fit::Contain});
        QVERIFY(loaded.scaled.has_value());
        QVERIFY(!loaded.scaled->translucent);
        const Conversion other =
            convertPicture(loaded, {.background = RGB(0, 0, 0), .fit = Fit::Contain});
        QCOMPARE(other.shown[0], RGB(0, 0, 0));                              // above the picture
        QCOMPARE(other.shown[33 * kFrameWidth + 50], RGB(0x40, 0x80, 0xC0)); // inside

        QVERIFY(noise(200, 100).save(path));
        QVERIFY(loadForFit(path, {.fit = Fit::Contain}).scaled->translucent);
    }
};

QTEST_MAIN(FitScalingTest)
#include "fit_scaling_test.moc"
