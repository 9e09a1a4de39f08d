// BMP, TGA and TIFF files written by ImageMagick, Pillow and libtiff's tools during the run, read
// back and compared with the master picture they were made from.

#include "pictures/bmp_reader.h"
#include "plain_pictures.h"
#include "test_tools.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace ravik;
using namespace ravik::testing;
using ravik::testing::readAll;
using ravik::testing::writeAll;

namespace {

// Levels that 5-bit channels hold exactly under either widening rule (0, 8, 16 and 31 of 31).
constexpr int kLevels[] = {0, 66, 132, 255};
constexpr int kWidth = 5;
constexpr int kHeight = 4;

Colour masterPixel(int x, int y, bool grey) {
    const int r = kLevels[(x + y) % 4];
    return grey ? colour(r, r, r)
                : colour(r, kLevels[(x * 3 + y) % 4], kLevels[(y * 2 + x + 1) % 4]);
}

// The master as a binary PPM (P6), so every encoder starts from the same known samples.
QByteArray masterPpm(bool grey) {
    QByteArray ppm = QByteArray("P6\n") + QByteArray::number(kWidth) + ' ' +
                     QByteArray::number(kHeight) + "\n255\n";
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const Colour c = masterPixel(x, y, grey);
            ppm.append(char(c >> 24)).append(char(c >> 16 & 0xFF)).append(char(c >> 8 & 0xFF));
        }
    }
    return ppm;
}

} // namespace

class BmpTgaTiffTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(writeAll(dir_.filePath(QStringLiteral("master.ppm")), masterPpm(false)));
        QVERIFY(writeAll(dir_.filePath(QStringLiteral("grey.ppm")), masterPpm(true)));
    }

    void filesFromOtherEncoders_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments"); // {in} and {out} stand for the files
        QTest::addColumn<QByteArray>("suffix");
        QTest::addColumn<bool>("grey");
        QTest::addColumn<int>("orientation"); // TIFF Orientation tag set afterwards; 0 none

        const QString convert = QStringLiteral("/usr/bin/convert");
        const QString python = QStringLiteral("/usr/bin/python3");
        const auto pil = [](const char* save) {
            return QStringList{QStringLiteral("-c"),
                               QStringLiteral("import sys; from PIL import Image; "
                                              "im = Image.open(sys.argv[1]); ") +
                                   QString::fromLatin1(save),
                               QStringLiteral("{in}"), QStringLiteral("{out}")};
        };
        const auto im = [](std::initializer_list<const char*> options, const char* out) {
            QStringList a{QStringLiteral("{in}")};
            for (const char* o : options)
                a << QString::fromLatin1(o);
            return a << QString::fromLatin1(out);
        };
        QTest::newRow("BMP 24-bit, ImageMagick")
            << convert << im({}, "BMP3:{out}") << QByteArray("bmp") << false << 0;
        QTest::newRow("BMP 8-bit palette")
            << convert << im({"-type", "Palette"}, "BMP3:{out}") << QByteArray("bmp") << false << 0;
        QTest::newRow("BMP RLE8") << convert
                                  << im({"-type", "Palette", "-compress", "RLE"}, "BMP3:{out}")
                                  << QByteArray("bmp") << false << 0;
        QTest::newRow("BMP OS/2 core header")
            << convert << im({"-type", "Palette"}, "BMP2:{out}") << QByteArray("bmp") << false << 0;
        QTest::newRow("BMP 5-5-5 bit fields")
            << convert << im({"-define", "bmp:subtype=RGB555"}, "{out}") << QByteArray("bmp")
            << false << 0;
        QTest::newRow("BMP V5 with alpha mask")
            << convert << im({"-alpha", "on"}, "BMP:{out}") << QByteArray("bmp") << false << 0;
        QTest::newRow("BMP Pillow palette")
            << python << pil("im.convert('P', palette=Image.ADAPTIVE).save(sys.argv[2])")
            << QByteArray("bmp") << false << 0;
        // ImageMagick 6 writes TGA rows top first whatever origin it records, so it is told
        // top-left.
        QTest::newRow("TGA 24-bit")
            << convert << im({"-orient", "TopLeft"}, "{out}") << QByteArray("tga") << false << 0;
        QTest::newRow("TGA RLE") << convert
                                 << im({"-orient", "TopLeft", "-compress", "RLE"}, "{out}")
                                 << QByteArray("tga") << false << 0;
        QTest::newRow("TGA colour-mapped")
            << convert << im({"-orient", "TopLeft", "-type", "Palette"}, "{out}")
            << QByteArray("tga") << false << 0;
        QTest::newRow("TGA greyscale")
            << convert << im({"-orient", "TopLeft", "-type", "Grayscale"}, "{out}")
            << QByteArray("tga") << true << 0;
        QTest::newRow("TGA Pillow top-left with ID")
            << python << pil("im.save(sys.argv[2], orientation=1, id_section=b'made by Pillow')")
            << QByteArray("tga") << false << 0;
        QTest::newRow("TGA Pillow bottom-up RLE colour-mapped")
            << python
            << pil("im.convert('P', palette=Image.ADAPTIVE).save(sys.argv[2], "
                   "compression='tga_rle')")
            << QByteArray("tga") << false << 0;
        QTest::newRow("TGA Pillow grey+alpha RLE")
            << python << pil("im.convert('LA').save(sys.argv[2], compression='tga_rle')")
            << QByteArray("tga") << true << 0;
        QTest::newRow("TIFF uncompressed")
            << convert << im({"-compress", "None"}, "{out}") << QByteArray("tif") << false << 0;
        QTest::newRow("TIFF LZW") << convert << im({"-compress", "LZW"}, "{out}")
                                  << QByteArray("tif") << false << 0;
        QTest::newRow("TIFF 16-bit deflate")
            << convert << im({"-depth", "16", "-compress", "Zip"}, "{out}") << QByteArray("tif")
            << false << 0;
        QTest::newRow("TIFF palette")
            << convert << im({"-type", "Palette"}, "{out}") << QByteArray("tif") << false << 0;
        QTest::newRow("TIFF 16-bit grey")
            << convert << im({"-type", "Grayscale", "-depth", "16"}, "{out}") << QByteArray("tif")
            << true << 0;
        QTest::newRow("TIFF tiles (tiffcp)")
            << QStringLiteral("sh")
            << QStringList{QStringLiteral("-c"),
                           QStringLiteral("/usr/bin/convert \"$0\" -compress None \"$1.x.tif\" && "
                                          "tiffcp -t -w 16 -l 16 \"$1.x.tif\" \"$1\""),
                           QStringLiteral("{in}"), QStringLiteral("{out}")}
            << QByteArray("tif") << false << 0;
        for (int o = 2; o <= 8; ++o) {
            QTest::addRow("TIFF orientation %d", o)
                << convert << im({"-compress", "LZW"}, "{out}") << QByteArray("tif") << false << o;
        }
    }

    void filesFromOtherEncoders() {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, suffix);
        QFETCH(bool, grey);
        QFETCH(int, orientation);
        const QString out = dir_.filePath(
            QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_').replace(u'/', u'_') +
            u'.' + QString::fromLatin1(suffix));
        const QString in =
            dir_.filePath(grey ? QStringLiteral("grey.ppm") : QStringLiteral("master.ppm"));
        arguments.replaceInStrings(QStringLiteral("{in}"), in);
        arguments.replaceInStrings(QStringLiteral("{out}"), out);
        QVERIFY2(testing::run(program, arguments), qPrintable(arguments.join(u' ')));
        if (orientation != 0) {
            QVERIFY(testing::run(
                QStringLiteral("tiffset"),
                {QStringLiteral("-s"), QStringLiteral("274"), QString::number(orientation), out}));
        }
        const QByteArray bytes = readAll(out);
        const Read whole = readBytes(bytes, QSize(), suffix);
        QVERIFY2(whole.ok(), qPrintable(whole.failure));
        const bool turned = orientation >= 5;
        QCOMPARE(whole.picture.size(), turned ? QSize(kHeight, kWidth) : QSize(kWidth, kHeight));
        for (int y = 0; y < whole.picture.height(); ++y) {
            for (int x = 0; x < whole.picture.width(); ++x) {
                const QPoint s = testing::storedPixel(orientation, x, y, kWidth, kHeight);
                QCOMPARE(whole.picture.pixelColor(x, y), masterPixel(s.x(), s.y(), grey));
            }
        }
        // The corner reader gives exactly the whole picture's corner.
        const Read corner = readBytes(bytes, QSize(3, 2), suffix);
        QVERIFY(corner.ok());
        QCOMPARE(corner.picture, whole.picture.copy(QRect(0, 0, 3, 2)));
        // Cut off halfway, the file is refused.
        QVERIFY(!readBytes(bytes.left(bytes.size() / 2), QSize(3, 2), suffix).ok());
    }

    // ImageMagick stores 16-bit associated alpha premultiplied: from the straight master below
    // it writes the samples checked here. Over the background each channel is
    // sample + bg · (1 − alpha), with samples and alpha at their top 8 bits and rounded once:
    // round((255 · (P >> 8) + bg · (255 − (A >> 8))) / 255), worked out by hand.
    void associatedAlphaBlendsAsAssociated_data() {
        QTest::addColumn<ColorValue>("background");
        QTest::addColumn<QList<ColorValue>>("shown");
        QTest::newRow("over F0F0F0") << RGB(0xF0, 0xF0, 0xF0)
                                     << QList<ColorValue>{RGB(129, 184, 248), RGB(70, 94, 118),
                                                          RGB(239, 239, 239), RGB(172, 112, 218)};
        QTest::newRow("over 102030") << RGB(0x10, 0x20, 0x30)
                                     << QList<ColorValue>{RGB(17, 80, 152), RGB(15, 43, 71),
                                                          RGB(16, 32, 48), RGB(123, 67, 176)};
    }
    void associatedAlphaBlendsAsAssociated() {
        QFETCH(ColorValue, background);
        QFETCH(QList<ColorValue>, shown);
        // Straight R G B A of four pixels, 16 bits each, as a PAM.
        constexpr quint16 kStraight[4][4] = {{0x1234, 0x8000, 0xFFFF, 0x8000},
                                             {0x0F00, 0x2F80, 0x4F00, 0xC040},
                                             {0x7000, 0x0100, 0x0000, 0x0180},
                                             {0x9A20, 0x4D31, 0xD494, 0xC86A}};
        QByteArray pam("P7\nWIDTH 4\nHEIGHT 1\nDEPTH 4\nMAXVAL 65535\nTUPLTYPE "
                       "RGB_ALPHA\nENDHDR\n");
        for (const auto& pixel : kStraight) {
            for (const quint16 v : pixel) {
                pam.append(char(v >> 8)).append(char(v & 0xFF));
            }
        }
        const QString master = dir_.filePath(QStringLiteral("straight.pam"));
        const QString file = dir_.filePath(QStringLiteral("associated.tif"));
        QVERIFY(writeAll(master, pam));
        QVERIFY(testing::run(QStringLiteral("/usr/bin/convert"),
                             {master, QStringLiteral("-depth"), QStringLiteral("16"),
                              QStringLiteral("-define"), QStringLiteral("tiff:alpha=associated"),
                              QStringLiteral("-compress"), QStringLiteral("None"), file}));
        const QByteArray bytes = readAll(file);
        // The stored samples (little-endian): P = (091A 4000 8000) A = 8000,
        // (0B44 23AC 3B54) C040, (00A8 0002 0000) 0180, (78A9 3C6E A66C) C86A.
        QVERIFY(bytes.contains(QByteArray::fromHex("1a09004000800080"
                                                   "440bac23543b40c0"
                                                   "a800020000008001"
                                                   "a9786e3c6ca66ac8")));
        const DecodedPicture loaded = decodeBytes(bytes, QSize(98, 67), "tif");
        QVERIFY(loaded.ok());
        const Conversion conversion = convertPicture(loaded.picture, {.background = background});
        for (int x = 0; x < 4; ++x) {
            QCOMPARE(conversion.shown[size_t(x)], shown[x]);
        }
    }

    void bitFieldScaling_data() {
        QTest::addColumn<uint>("value");
        QTest::addColumn<int>("bits");
        QTest::addColumn<uint>("expected"); // round(v · 255 / (2ⁿ − 1)) by hand
        QTest::newRow("5-bit 1") << 1u << 5 << 8u;
        QTest::newRow("5-bit 3") << 3u << 5 << 25u;
        QTest::newRow("6-bit 33") << 33u << 6 << 134u;
        QTest::newRow("10-bit 512") << 512u << 10 << 128u;
        QTest::newRow("11-bit full") << 2047u << 11 << 255u;
        QTest::newRow("2-bit 1") << 1u << 2 << 85u;
        QTest::newRow("1-bit 1") << 1u << 1 << 255u;
        QTest::newRow("8-bit unchanged") << 200u << 8 << 200u;
    }

    void bitFieldScaling() {
        QFETCH(uint, value);
        QFETCH(int, bits);
        QFETCH(uint, expected);
        QCOMPARE(scaledChannel(value, bits), expected);
    }

    void cieLabWhite() {
        // Pillow's L*a*b* (255, 128, 128) is L* 100, a* = b* = 0, stored as 255, 0, 0 in the TIFF.
        const QString out = dir_.filePath(QStringLiteral("lab.tif"));
        QVERIFY(testing::run(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import sys; from PIL import Image; "
                            "Image.new('LAB', (3, 2), (255, 128, 128)).save(sys.argv[1])"),
             out}));
        const Read read = readBytes(readAll(out), QSize(98, 67), "tif");
        QVERIFY2(read.ok(), qPrintable(read.failure));
        QCOMPARE(read.picture.pixelColor(2, 1), colour(255, 255, 255));
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(BmpTgaTiffTest)
#include "bmp_tga_tiff_test.moc"
