// Our own TGA and BMP readers against files written by ImageMagick and Pillow in the test run
// from a master with known pixels, and against files built here byte by byte from the formats'
// documented layouts where no encoder writes the variant. The corner must equal the whole
// decode; cut-off files are refused.

#include "plain_pictures.h"
#include "test_tools.h"

#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <cmath>

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

const QSize kCorner(98, 67);
const QSize kMaster(131, 90);

// The master: 199 colours (so that palette encoders keep every one exactly), each pixel's
// colour differing from its neighbours'; with `alpha`, each colour has an alpha of its own.
// With fewer `colours`, or channels of fewer `bits` (red, green, blue, alpha), each sample is
// one of 2ⁿ levels k: as written, ⌈k · 255 / (2ⁿ − 1)⌉, which ImageMagick stores as
// ⌊v · (2ⁿ − 1) / 255⌋ = k; as `decoded`, round(k · 255 / (2ⁿ − 1)).
Pixels master(bool alpha, int colours = 199, std::array<int, 4> bits = {8, 8, 8, 8},
              bool decoded = false) {
    Pixels picture(kMaster);
    const auto level = [decoded](unsigned v, int n) {
        const double max = (1 << n) - 1;
        const double k = std::round(v * max / 255.0);
        return uchar(decoded ? std::lround(k * 255.0 / max)
                             : std::lround(std::ceil(k * 255.0 / max)));
    };
    for (int y = 0; y < kMaster.height(); ++y) {
        uchar* line = picture.scanLine(y);
        for (int x = 0; x < kMaster.width(); ++x) {
            const unsigned i = unsigned(x * 7 + y * 13) % unsigned(colours);
            line[x * 4] = level(uchar(i * 53), bits[0]);
            line[x * 4 + 1] = level(uchar(i * 97 + 11), bits[1]);
            line[x * 4 + 2] = level(uchar(i * 31 + 200), bits[2]);
            line[x * 4 + 3] = alpha ? level(uchar(i * 41 + 3), bits[3]) : 0xFF;
        }
    }
    return picture;
}

Pixels grey(const Pixels& picture) {
    Pixels out = picture;
    for (int y = 0; y < out.height(); ++y) {
        uchar* line = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x) {
            line[x * 4 + 1] = line[x * 4 + 2] = line[x * 4];
        }
    }
    return out;
}

// A PAM (P7) of the picture, as ImageMagick and Pillow read it.
QByteArray pam(const Pixels& picture) {
    QByteArray out = "P7\nWIDTH " + QByteArray::number(picture.width()) + "\nHEIGHT " +
                     QByteArray::number(picture.height()) +
                     "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (int y = 0; y < picture.height(); ++y) {
        out.append(reinterpret_cast<const char*>(picture.constScanLine(y)), picture.width() * 4);
    }
    return out;
}

// The picture mirrored left-right and/or flipped top-bottom.
Pixels turned(const Pixels& picture, bool mirror, bool flip) {
    return picture.mirrored(mirror, flip);
}

void compareReads(const QByteArray& file, const QByteArray& hint, const Pixels& expected) {
    const Read whole = readBytes(file, QSize(), hint);
    QVERIFY2(whole.ok(), qPrintable(whole.failure));
    QCOMPARE(whole.picture, expected);
    const Read corner = readBytes(file, kCorner, hint);
    QVERIFY2(corner.ok(), qPrintable(corner.failure));
    QCOMPARE(corner.picture, expected.copy(QRect(QPoint(), kCorner.boundedTo(expected.size()))));
}

void putLe(QByteArray& out, quint32 v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(char(v >> (8 * i) & 0xFF));
    }
}

// A TGA file from its documented layout: the 18-byte header, the image ID, the colour map,
// then the pixels as given.
QByteArray tga(int type, int depth, int descriptor, const QByteArray& id, int mapBits,
               const QByteArray& map, const QByteArray& pixels, int width, int height) {
    QByteArray out;
    const int mapLength = mapBits ? int(map.size() / ((mapBits + 7) / 8)) : 0;
    out.append(char(id.size())).append(char(mapBits ? 1 : 0)).append(char(type));
    putLe(out, 0, 2);
    putLe(out, quint32(mapLength), 2);
    out.append(char(mapBits));
    putLe(out, 0, 4);
    putLe(out, quint32(width), 2);
    putLe(out, quint32(height), 2);
    out.append(char(depth)).append(char(descriptor));
    return out + id + map + pixels;
}

// A BMP file with a 40-byte header from its documented layout; `extra` (bit-field masks or a
// palette) follows the header, then the pixels.
QByteArray bmp(int width, int height, int bits, int compression, const QByteArray& extra,
               const QByteArray& pixels) {
    QByteArray header;
    putLe(header, 40, 4);
    putLe(header, quint32(width), 4);
    putLe(header, quint32(height), 4);
    putLe(header, 1, 2);
    putLe(header, quint32(bits), 2);
    putLe(header, quint32(compression), 4);
    header.append(QByteArray(20, '\0'));
    QByteArray out("BM");
    putLe(out, quint32(14 + header.size() + extra.size() + pixels.size()), 4);
    putLe(out, 0, 4);
    putLe(out, quint32(14 + header.size() + extra.size()), 4);
    return out + header + extra + pixels;
}

QByteArray le32s(std::initializer_list<quint32> values) {
    QByteArray out;
    for (const quint32 v : values) {
        putLe(out, v, 4);
    }
    return out;
}

// A palette of 4-byte entries: entry i is (16·i, 255 − 16·i, i).
QByteArray palette16() {
    QByteArray out;
    for (int i = 0; i < 16; ++i) {
        out.append(char(i)).append(char(255 - 16 * i)).append(char(16 * i)).append('\0');
    }
    return out;
}

Colour entry(int i) {
    return colour(16 * i, 255 - 16 * i, i);
}

} // namespace

class TgaBmpTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }

    // The master as `tool` writes it: ImageMagick's convert with `arguments` before the output,
    // or Pillow's save() with `arguments` as keyword arguments after converting to a mode.
    QByteArray written(const QString& tool, const QString& arguments, const QString& out,
                       bool alpha) {
        const QString in = path(alpha ? u"alpha.pam"_s : u"opaque.pam"_s);
        const QString file = path(out);
        if (tool == u"magick"_s) {
            QStringList list{in};
            if (!arguments.isEmpty()) {
                list << arguments.split(u' ');
            }
            return run(u"/usr/bin/convert"_s, list << file) ? readAll(file) : QByteArray();
        }
        const QString script =
            u"from PIL import Image\nImage.frombytes('RGBA', (%1, %2), "
            u"open('%3', 'rb').read()[-%4:]).convert(%5).save('%6')"_s.arg(kMaster.width())
                .arg(kMaster.height())
                .arg(in)
                .arg(kMaster.width() * kMaster.height() * 4)
                .arg(arguments.section(u';', 0, 0), file);
        const QString saved =
            script.left(script.size() - 1) + u", "_s + arguments.section(u';', 1) + u")"_s;
        return run(u"/usr/bin/python3"_s, {u"-c"_s, arguments.contains(u';') ? saved : script})
                   ? readAll(file)
                   : QByteArray();
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(writeAll(path(u"opaque.pam"_s), pam(master(false))));
        QVERIFY(writeAll(path(u"alpha.pam"_s), pam(master(true))));
    }

    void tgaFromEncoders_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("alpha");
        QTest::addColumn<bool>("isGrey");
        QTest::addColumn<int>("type");
        const auto row = [](const char* name, const QString& tool, const QString& arguments,
                            bool alpha, bool isGrey, int type) {
            QTest::newRow(name) << tool << arguments << alpha << isGrey << type;
        };
        // ImageMagick stores the master's first row first and only marks the origin.
        row("ImageMagick 24-bit", u"magick"_s, u"-alpha off"_s, false, false, 2);
        row("ImageMagick top-left", u"magick"_s, u"-alpha off -orient TopLeft"_s, false, false, 2);
        row("ImageMagick top-right", u"magick"_s, u"-alpha off -orient TopRight"_s, false, false,
            2);
        row("ImageMagick bottom-right", u"magick"_s, u"-alpha off -orient BottomRight"_s, false,
            false, 2);
        row("ImageMagick RLE", u"magick"_s, u"-alpha off -compress RLE"_s, false, false, 10);
        row("ImageMagick RLE top-right", u"magick"_s,
            u"-alpha off -compress RLE -orient TopRight"_s, false, false, 10);
        row("ImageMagick 32-bit RLE", u"magick"_s, u"-compress RLE"_s, true, false, 10);
        row("ImageMagick 32-bit", u"magick"_s, u"-compress None"_s, true, false, 2);
        row("ImageMagick colour-mapped", u"magick"_s, u"-alpha off -type Palette"_s, false, false,
            1);
        row("ImageMagick colour-mapped RLE", u"magick"_s,
            u"-alpha off -type Palette -compress RLE"_s, false, false, 9);
        row("ImageMagick greyscale", u"magick"_s, u"-alpha off -type Grayscale"_s, false, true, 3);
        row("ImageMagick greyscale RLE", u"magick"_s, u"-alpha off -type Grayscale -compress RLE"_s,
            false, true, 11);
        row("Pillow RGB RLE", u"pillow"_s, u"'RGB';rle=True"_s, false, false, 10);
        row("Pillow RGBA", u"pillow"_s, u"'RGBA'"_s, true, false, 2);
        row("Pillow RGBA RLE", u"pillow"_s, u"'RGBA';rle=True"_s, true, false, 10);
        row("Pillow greyscale RLE", u"pillow"_s, u"'L';rle=True"_s, false, true, 11);
        row("Pillow grey with alpha", u"pillow"_s, u"'LA'"_s, true, true, 3);
        row("Pillow grey with alpha RLE", u"pillow"_s, u"'LA';rle=True"_s, true, true, 11);
        row("Pillow with an image ID", u"pillow"_s, u"'RGB';id_section=b'made by Pillow'"_s, false,
            false, 2);
    }
    void tgaFromEncoders() {
        QFETCH(QString, tool);
        QFETCH(QString, arguments);
        QFETCH(bool, alpha);
        QFETCH(bool, isGrey);
        QFETCH(int, type);
        // The grey master's red channel holds its grey level, as both encoders keep it for
        // a picture that is already grey.
        Pixels source = master(alpha);
        if (isGrey) {
            source = grey(source);
            QVERIFY(writeAll(path(alpha ? u"alpha.pam"_s : u"opaque.pam"_s), pam(source)));
        }
        const QByteArray file = written(tool, arguments, u"picture.tga"_s, alpha);
        if (isGrey) {
            QVERIFY(writeAll(path(alpha ? u"alpha.pam"_s : u"opaque.pam"_s), pam(master(alpha))));
        }
        QVERIFY(file.size() > 18);
        QCOMPARE(int(file[2]), type);
        const int descriptor = uchar(file[17]);
        // Pillow stores rows in the order its origin bits say; ImageMagick always stores the
        // master's first row first.
        const Pixels expected =
            tool == u"magick"_s ? turned(source, descriptor & 0x10, !(descriptor & 0x20)) : source;
        compareReads(file, "tga", expected);
        if (tool == u"magick"_s) {
            for (const qsizetype cut : {file.size() * 3 / 4, file.size() - 1}) {
                const Read loaded = readBytes(file.left(cut), kCorner, "tga");
                QCOMPARE(loaded.failure, u"图片数据不完整，文件可能只下载或复制了一部分"_s);
            }
        }
    }

    // Variants no encoder here writes, from TGA's documented layout: 16-bit 5-5-5-1 pixels and
    // colour maps, whose 5-bit channels widen to 8 bits by bit replication (31 → 255,
    // 16 → 132, 1 → 8), the attribute bit being alpha only when alpha bits are declared; 32-bit
    // map entries; an image-ID field in front of the map.
    void tgaHandBuilt_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<Colour>>("expected"); // a 2 × 1 picture
        QByteArray pixels5551;
        putLe(pixels5551, 0x8000 | 31 << 10 | 16 << 5 | 1, 2);
        putLe(pixels5551, 0x0000 | 1 << 10 | 31 << 5 | 16, 2);
        QTest::newRow("16-bit with an alpha bit")
            << tga(2, 16, 0x21, {}, 0, {}, pixels5551, 2, 1)
            << QList<Colour>{colour(255, 132, 8), colour(8, 255, 132, 0)};
        QTest::newRow("16-bit, attribute bit not alpha")
            << tga(2, 16, 0x20, {}, 0, {}, pixels5551, 2, 1)
            << QList<Colour>{colour(255, 132, 8), colour(8, 255, 132)};
        QTest::newRow("15-bit") << tga(2, 15, 0x20, {}, 0, {}, pixels5551, 2, 1)
                                << QList<Colour>{colour(255, 132, 8), colour(8, 255, 132)};
        QTest::newRow("16-bit map entries, image ID")
            << tga(1, 8, 0x21, "an image ID", 16, pixels5551, QByteArray("\x01\x00", 2), 2, 1)
            << QList<Colour>{colour(8, 255, 132, 0), colour(255, 132, 8)};
        QTest::newRow("32-bit map entries, bottom-right origin")
            << tga(1, 8, 0x18, {}, 32, QByteArray("\x10\x20\x30\x40\x50\x60\x70\x80", 8),
                   QByteArray("\x00\x01", 2), 2, 1)
            << QList<Colour>{colour(0x70, 0x60, 0x50, 0x80), colour(0x30, 0x20, 0x10, 0x40)};
        QTest::newRow("RLE packet spanning rows")
            << tga(10, 24, 0x20, {}, 0, {}, QByteArray("\x81\x01\x02\x03", 4), 1, 2)
            << QList<Colour>{colour(3, 2, 1), colour(3, 2, 1)};
    }
    void tgaHandBuilt() {
        QFETCH(QByteArray, file);
        QFETCH(QList<Colour>, expected);
        const Read loaded = readBytes(file, kCorner, "tga");
        QVERIFY2(loaded.ok(), qPrintable(loaded.failure));
        const Pixels picture = loaded.picture;
        QCOMPARE(picture.width() * picture.height(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(picture.pixelColor(i % picture.width(), i / picture.width()), expected[i]);
        }
    }

    void tgaFooterWithoutSuffix() {
        const QByteArray footer = QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.\0", 18);
        const QByteArray file =
            tga(2, 24, 0x20, {}, 0, {}, QByteArray("\x01\x02\x03", 3), 1, 1) + footer;
        const Read loaded = readBytes(file, kCorner);
        QVERIFY2(loaded.ok(), qPrintable(loaded.failure));
        QCOMPARE(loaded.picture.pixelColor(0, 0), colour(3, 2, 1));
    }
    void bmpFromEncoders_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("alpha");
        QTest::addColumn<int>("colours");
        QTest::addColumn<QList<int>>("bits"); // red, green, blue, alpha
        QTest::addColumn<int>("depth");       // as the file's header gives it
        const QList<int> eight{8, 8, 8, 8};
        const auto row = [](const char* name, const QString& tool, const QString& arguments,
                            bool alpha, int colours, const QList<int>& bits, int depth) {
            QTest::newRow(name) << tool << arguments << alpha << colours << bits << depth;
        };
        row("ImageMagick 24-bit V5", u"magick"_s, u"-type TrueColor"_s, false, 199, eight, 24);
        row("ImageMagick 24-bit info header", u"magick"_s,
            u"-type TrueColor -define bmp:format=bmp3"_s, false, 199, eight, 24);
        row("ImageMagick 32-bit with alpha", u"magick"_s, u"-type TrueColorAlpha"_s, true, 199,
            eight, 32);
        row("ImageMagick 8-bit palette", u"magick"_s, u"-type Palette -compress None"_s, false, 199,
            eight, 8);
        row("ImageMagick RLE8", u"magick"_s, u"-type Palette -compress RLE"_s, false, 199, eight,
            8);
        row("ImageMagick 4-bit palette", u"magick"_s, u"-type Palette"_s, false, 16, eight, 4);
        row("ImageMagick 1-bit palette", u"magick"_s, u"-type Palette"_s, false, 2, eight, 1);
        row("ImageMagick OS/2 24-bit", u"magick"_s, u"-type TrueColor -define bmp:format=bmp2"_s,
            false, 199, eight, 24);
        row("ImageMagick OS/2 palette", u"magick"_s, u"-type Palette -define bmp:format=bmp2"_s,
            false, 199, eight, 8);
        row("ImageMagick 5-6-5", u"magick"_s, u"-alpha off -define bmp:subtype=RGB565"_s, false,
            199, {5, 6, 5, 8}, 16);
        row("ImageMagick 5-5-5", u"magick"_s, u"-alpha off -define bmp:subtype=RGB555"_s, false,
            199, {5, 5, 5, 8}, 16);
        row("ImageMagick 4-4-4-4", u"magick"_s, u"-define bmp:subtype=ARGB4444"_s, true, 199,
            {4, 4, 4, 4}, 16);
        row("Pillow RGB", u"pillow"_s, u"'RGB'"_s, false, 199, eight, 24);
    }
    void bmpFromEncoders() {
        QFETCH(QString, tool);
        QFETCH(QString, arguments);
        QFETCH(bool, alpha);
        QFETCH(int, colours);
        QFETCH(QList<int>, bits);
        QFETCH(int, depth);
        const Pixels source = master(alpha, colours, {bits[0], bits[1], bits[2], bits[3]});
        const QString in = path(alpha ? u"alpha.pam"_s : u"opaque.pam"_s);
        QVERIFY(writeAll(in, pam(source)));
        const QByteArray file = written(tool, arguments, u"picture.bmp"_s, alpha);
        QVERIFY(writeAll(in, pam(master(alpha))));
        QVERIFY(file.size() > 30);
        const bool core = uchar(file[14]) == 12;
        QCOMPARE(int(uchar(file[core ? 24 : 28])), depth);
        compareReads(file, {}, master(alpha, colours, {bits[0], bits[1], bits[2], bits[3]}, true));
        for (const qsizetype cut : {file.size() * 3 / 4, file.size() - 1}) {
            const Read loaded = readBytes(file.left(cut), kCorner);
            QCOMPARE(loaded.failure, u"图片数据不完整，文件可能只下载或复制了一部分"_s);
        }
    }

    // Rows stored top-down (a negative height): the same file as ImageMagick's bottom-up one,
    // rows put in the other order.
    void bmpTopDown() {
        QVERIFY(writeAll(path(u"opaque.pam"_s), pam(master(false))));
        const QByteArray bottomUp =
            written(u"magick"_s, u"-type TrueColor -define bmp:format=bmp3"_s, u"up.bmp"_s, false);
        const int offset = int(uchar(bottomUp[10]) | uchar(bottomUp[11]) << 8);
        const int rowSize = (kMaster.width() * 3 + 3) / 4 * 4;
        QByteArray topDown = bottomUp.left(offset);
        topDown.replace(22, 4, le32s({quint32(-kMaster.height())}));
        for (int row = kMaster.height() - 1; row >= 0; --row) {
            topDown.append(bottomUp.mid(offset + row * rowSize, rowSize));
        }
        compareReads(topDown, {}, master(false));
    }

    // Variants no encoder here writes, built from the documented layout: bit fields of unusual
    // widths, each field n bits wide scaled to 8 bits as round(v · 255 / (2ⁿ − 1)); RLE with
    // deltas, ends of lines and absolute runs, skipped pixels left transparent.
    void bmpHandBuilt_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<Colour>>("expected"); // the rows from the top
        QTest::addColumn<int>("width");
        // 11-11-10: red 1024/2047 → 127.56, green 1/2047 → 0.12, blue 512/1023 → 127.62.
        QTest::newRow("11-11-10 bit fields")
            << bmp(2, 1, 32, 3, le32s({0xFFE00000, 0x001FFC00, 0x000003FF}),
                   le32s({1024u << 21 | 1u << 10 | 512u, 2047u << 21 | 2047u << 10 | 1023u}))
            << QList<Colour>{colour(128, 0, 128), colour(255, 255, 255)} << 2;
        // 10-10-10-2 with alpha: 341/1023 → 85.0, 682/1023 → 170.0; alpha 1/3 → 85, 2/3 → 170.
        QTest::newRow("10-10-10-2 bit fields with alpha")
            << bmp(2, 1, 32, 6, le32s({0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}),
                   le32s({1u << 30 | 341u << 20 | 682u << 10 | 1023u,
                          2u << 30 | 0u << 20 | 1023u << 10 | 341u}))
            << QList<Colour>{colour(85, 170, 255, 85), colour(0, 255, 85, 170)} << 2;
        // 3-3-2 in 16 bits: 5/7 → 182.14, 2/3 → 170.
        QTest::newRow("3-3-2 bit fields")
            << bmp(1, 1, 16, 3, le32s({0xE0, 0x1C, 0x03}), QByteArray("\xB6\x00\x00\x00", 4))
            << QList<Colour>{colour(182, 182, 170)} << 1;
        // Stored from the bottom: 3 × entry 1 and an end of line; an absolute run 0, 1, 2 and
        // 1 × entry 0; a delta one to the right, 1 × entry 2, the end of the bitmap.
        QTest::newRow("RLE8 with a delta and ends of lines")
            << bmp(4, 3, 8, 1, palette16(),
                   QByteArray("\x03\x01\x00\x00"
                              "\x00\x03\x00\x01\x02\x00\x01\x00\x00\x00"
                              "\x00\x02\x01\x00\x01\x02\x00\x01",
                              22))
            << QList<Colour>{kTransparent, entry(2), kTransparent, kTransparent,
                             entry(0),     entry(1), entry(2),     entry(0),
                             entry(1),     entry(1), entry(1),     kTransparent}
            << 4;
        QTest::newRow("RLE4 runs and an absolute run")
            << bmp(4, 2, 4, 2, palette16(),
                   QByteArray("\x04\x12\x00\x00\x00\x03\x12\x30\x00\x01", 10))
            << QList<Colour>{entry(1), entry(2), entry(3), kTransparent,
                             entry(1), entry(2), entry(1), entry(2)}
            << 4;
        QTest::newRow("RLE8 with a delta past the last row")
            << bmp(2, 1, 8, 1, palette16(), QByteArray("\x00\x02\x00\x05\x02\x01\x00\x01", 8))
            << QList<Colour>{kTransparent, kTransparent} << 2;
        QTest::newRow("4-bit, index outside a short palette")
            << bmp(2, 1, 4, 0, palette16().left(8), QByteArray("\x1F\x00\x00\x00", 4))
            << QList<Colour>{entry(1), colour(0, 0, 0)} << 2;
    }
    void bmpHandBuilt() {
        QFETCH(QByteArray, file);
        QFETCH(QList<Colour>, expected);
        QFETCH(int, width);
        const Read loaded = readBytes(file, kCorner);
        QVERIFY2(loaded.ok(), qPrintable(loaded.failure));
        QCOMPARE(loaded.picture.size(), QSize(width, int(expected.size()) / width));
        for (int i = 0; i < expected.size(); ++i) {
            const Colour got = loaded.picture.pixelColor(i % width, i / width);
            QCOMPARE(alphaOf(got) == 0 ? kTransparent : got, expected[i]);
        }
        QVERIFY(!readBytes(file.left(file.size() - 1), kCorner).ok());
    }
    // Every prefix of small files of each layout is refused, never read past its end (the
    // sanitizers watch), and the whole file reads.
    void everyPrefixRefused_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("out");
        QTest::newRow("TGA RLE") << u"-compress RLE"_s << u"small.tga"_s;
        QTest::newRow("TGA colour-mapped") << u"-type Palette"_s << u"small.tga"_s;
        QTest::newRow("BMP RLE8") << u"-type Palette -compress RLE"_s << u"small.bmp"_s;
        QTest::newRow("BMP bit fields") << u"-define bmp:subtype=ARGB4444"_s << u"small.bmp"_s;
        QTest::newRow("BMP OS/2") << u"-type Palette -define bmp:format=bmp2"_s << u"small.bmp"_s;
    }
    void everyPrefixRefused() {
        QFETCH(QString, arguments);
        QFETCH(QString, out);
        QStringList list{path(u"alpha.pam"_s), u"-crop"_s, u"9x7+0+0"_s, u"+repage"_s};
        list << arguments.split(u' ') << path(out);
        QVERIFY(run(u"/usr/bin/convert"_s, list));
        const QByteArray file = readAll(path(out));
        const QByteArray hint = out.section(u'.', 1).toLatin1();
        QVERIFY(readBytes(file, kCorner, hint).ok());
        for (qsizetype cut = 0; cut < file.size(); ++cut) {
            QVERIFY2(!readBytes(file.left(cut), kCorner, hint).ok(),
                     qPrintable(QString::number(cut)));
        }
    }
};

QTEST_GUILESS_MAIN(TgaBmpTest)
#include "tga_bmp_test.moc"
