// Our own JPEG, WebP, GIF, interlaced PNG and icon readers against files written by other
// encoders in the test run, with the expected pixels from each file's reference decoder (djpeg,
// dwebp, ImageMagick) or from the lossless master they were made from. The corner must equal
// the whole decode for every chroma subsampling and EXIF orientation; cut-off files are refused.

#include "platform/frame_set_loader.h"
#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"
#include "test_files.h"

#include <QTemporaryDir>
#include <QTest>
#include <random>

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

const QSize kCorner(98, 67);

// Seeded colour noise: every pixel's chroma differs from its neighbours', so any slip in
// chroma upsampling at a crop's edge shows. Each sample is `maxValue` or less.
QImage colourNoise(int width, int height, unsigned seed, bool alpha = false) {
    QImage picture(width, height, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        uchar* line = picture.scanLine(y);
        for (int x = 0; x < width * 4; ++x) {
            line[x] = (x % 4 == 3 && !alpha) ? 0xFF : uchar(random());
        }
    }
    return picture;
}

// A binary PPM (P6) of the picture's colour.
QByteArray ppm(const QImage& picture) {
    QByteArray out = QByteArray("P6\n") + QByteArray::number(picture.width()) + ' ' +
                     QByteArray::number(picture.height()) + "\n255\n";
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < rgb.height(); ++y) {
        out.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    }
    return out;
}

// A binary PGM, PPM or PAM (P5, P6 or P7, 8-bit, as djpeg, dwebp and ImageMagick write them) as a
// QImage.
QImage fromNetpbm(const QByteArray& bytes) {
    QList<QByteArray> fields;
    qsizetype at = 0;
    const bool pam = bytes.startsWith("P7");
    int width = 0;
    int height = 0;
    int channels = 3;
    if (pam) {
        const qsizetype end = bytes.indexOf("ENDHDR\n");
        for (const QByteArray& line : bytes.left(end).split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() == 2 && words[0] == "WIDTH")
                width = words[1].toInt();
            if (words.size() == 2 && words[0] == "HEIGHT")
                height = words[1].toInt();
            if (words.size() == 2 && words[0] == "DEPTH")
                channels = words[1].toInt();
        }
        at = end + 7;
    } else {
        while (fields.size() < 4) {
            while (at < bytes.size() && std::isspace(uchar(bytes[at])))
                ++at;
            const qsizetype start = at;
            while (at < bytes.size() && !std::isspace(uchar(bytes[at])))
                ++at;
            fields << bytes.mid(start, at - start);
        }
        ++at;
        width = fields[1].toInt();
        height = fields[2].toInt();
        channels = fields[0] == "P5" ? 1 : 3;
    }
    if (width <= 0 || height <= 0 || bytes.size() - at < qsizetype(width) * height * channels) {
        return {};
    }
    QImage picture(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y) {
        uchar* out = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const char* in = bytes.constData() + at + (qsizetype(y) * width + x) * channels;
            for (int c = 0; c < 4; ++c) {
                out[x * 4 + c] = c == 3 ? (channels == 4 ? uchar(in[3]) : 0xFF)
                                        : uchar(in[channels == 1 ? 0 : c]);
            }
        }
    }
    return picture;
}

// The shown top-left corner of a stored reference picture under an EXIF orientation.
QImage shownCorner(const QImage& stored, int orientation) {
    const bool turned = orientation >= 5;
    const QSize shown = turned ? stored.size().transposed() : stored.size();
    const QSize size = kCorner.boundedTo(shown);
    QImage corner(size, QImage::Format_RGBA8888);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QPoint from = storedPixel(orientation, x, y, stored.width(), stored.height());
            corner.setPixelColor(x, y, stored.pixelColor(from));
        }
    }
    return corner;
}

// An EXIF block (big-endian TIFF, one entry) giving the orientation, with the "Exif" prefix
// when asked for.
QByteArray exifBlock(quint16 orientation) {
    return QByteArray("MM\x00\x2A\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01", 18) +
           char(0) + char(orientation) + QByteArray(6, '\0');
}

// The first `size` pixels of a loaded picture as 8-bit RGBA, for comparing.
QImage asRgba(const QImage& picture, const QSize& size) {
    return picture.copy(QRect(QPoint(), size)).convertToFormat(QImage::Format_RGBA8888);
}

// Valid damage that leaves a JPEG's pixels as they were.
enum class Damage {
    none,
    strayBytes, // bytes that are no marker before the quantisation tables and before the scan
    shortApp0,  // the JFIF segment's length four short, its last four bytes left as strays
};

QByteArray damagedJpeg(QByteArray jpeg, Damage damage) {
    switch (damage) {
    case Damage::none:
        break;
    case Damage::strayBytes:
        jpeg.insert(jpeg.indexOf("\xFF\xDA"), QByteArray("\x00\x12\x34\x56", 4));
        jpeg.insert(jpeg.indexOf("\xFF\xDB"), QByteArray("\x7F\x00\x41", 3));
        break;
    case Damage::shortApp0: {
        const qsizetype app0 = jpeg.indexOf(QByteArrayView("\xFF\xE0\x00\x10JFIF\x00", 9));
        if (app0 < 0) {
            return {}; // no JFIF segment to damage
        }
        jpeg[app0 + 3] = char(0x10 - 4);
        break;
    }
    }
    return jpeg;
}

// A 4 × 1 GIF with no colour table anywhere, its pixels colour indices 0, 1, 2 and 255, and a
// graphic control extension making `transparent` (0 to 255) transparent when given. The image
// data are 9-bit LZW codes, least significant bit first: clear, the four indices, end.
QByteArray tablelessGif(int transparent = -1) {
    QByteArray gif("GIF89a\x04\x00\x01\x00\x00\x00\x00", 13); // no global table
    if (transparent >= 0) {
        gif.append("\x21\xF9\x04\x01\x00\x00", 6).append(char(transparent)).append('\0');
    }
    gif.append("\x2C\x00\x00\x00\x00\x04\x00\x01\x00\x00", 10); // no local table
    quint64 bits = 0;
    int count = 0;
    for (const quint64 code : {256, 0, 1, 2, 255, 257}) {
        bits |= code << count;
        count += 9;
    }
    QByteArray data;
    for (; count > 0; count -= 8, bits >>= 8) {
        data.append(char(bits & 0xFF));
    }
    return gif.append(char(8)).append(char(data.size())).append(data).append('\0').append(';');
}

void compareCorner(const QByteArray& file, const QImage& expected) {
    const LoadedPicture corner = decodePicture(file, kCorner);
    QVERIFY2(corner.ok(), qPrintable(corner.failure));
    QCOMPARE(corner.picture.size(), expected.size());
    QCOMPARE(asRgba(corner.picture, expected.size()), expected);
    const LoadedPicture whole = decodePicture(file);
    QVERIFY2(whole.ok(), qPrintable(whole.failure));
    QCOMPARE(asRgba(whole.picture, expected.size()), expected);
}

} // namespace

Q_DECLARE_METATYPE(Damage)

class FormatReadersTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }

    // The picture a reference decoder writes: `arguments`, the output file (after `prefix`),
    // then `input` when given.
    QImage decodedBy(const QString& tool, QStringList arguments, const QString& input,
                     const QString& prefix = {}) const {
        const QString out = path(u"reference.pnm"_s);
        arguments << prefix + out;
        if (!input.isEmpty()) {
            arguments << input;
        }
        return run(tool, arguments) ? fromNetpbm(readAll(out)) : QImage();
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(writeAll(path(u"noise.ppm"_s), ppm(colourNoise(203, 157, 7))));
    }

    void jpegMatchesDjpeg_data() {
        QTest::addColumn<QString>("sampling");
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<Damage>("damage");
        for (const QString& sampling : {u"1x1"_s, u"2x1"_s, u"2x2"_s}) {
            for (const bool progressive : {false, true}) {
                for (int orientation = 1; orientation <= 8; ++orientation) {
                    QTest::addRow("%s %s, orientation %d", qPrintable(sampling),
                                  progressive ? "progressive" : "baseline", orientation)
                        << sampling << progressive << orientation << Damage::none;
                }
            }
        }
        QTest::newRow("2x2 progressive with restart markers")
            << u"2x2 -restart 1"_s << true << 1 << Damage::none;
        QTest::newRow("grey") << u"grey"_s << false << 1 << Damage::none;
        QTest::newRow("grey progressive, orientation 6") << u"grey"_s << true << 6 << Damage::none;
        // Viewers show these; libjpeg only warns about the bytes it skips.
        QTest::newRow("stray bytes between segments")
            << u"2x2"_s << false << 1 << Damage::strayBytes;
        QTest::newRow("stray bytes between segments, progressive, orientation 6")
            << u"2x1"_s << true << 6 << Damage::strayBytes;
        QTest::newRow("APP0 segment cut short") << u"1x1"_s << false << 1 << Damage::shortApp0;
    }
    void jpegMatchesDjpeg() {
        QFETCH(QString, sampling);
        QFETCH(bool, progressive);
        QFETCH(int, orientation);
        QFETCH(Damage, damage);
        QStringList arguments{u"-quality"_s, u"90"_s};
        arguments << (sampling == u"grey"_s ? QStringList{u"-grayscale"_s}
                                            : (u"-sample "_s + sampling).split(u' '));
        if (progressive) {
            arguments << u"-progressive"_s;
        }
        const QString plain = path(u"plain.jpg"_s);
        arguments << u"-outfile"_s << plain << path(u"noise.ppm"_s);
        QVERIFY(run(u"cjpeg"_s, arguments));
        const QByteArray jpeg = readAll(plain);
        const QString file = path(u"picture.jpg"_s);
        QVERIFY(writeAll(file, withExifOrientation(jpeg, quint16(orientation))));
        const QImage reference = decodedBy(u"djpeg"_s, {u"-pnm"_s, u"-outfile"_s}, file);
        QVERIFY(!reference.isNull());
        const QByteArray damaged = damagedJpeg(readAll(file), damage);
        compareCorner(damaged, shownCorner(reference, orientation));
        // Cut off at its end, it is still refused.
        QVERIFY(!decodePicture(damaged.left(damaged.size() - 1), kCorner).ok());
    }

    // Adobe CMYK as ImageMagick writes it; djpeg multiplies it out rounded to nearest.
    void cmykJpeg() {
        const QString file = path(u"cmyk.jpg"_s);
        QVERIFY(run(u"/usr/bin/convert"_s, {path(u"noise.ppm"_s), u"-colorspace"_s, u"CMYK"_s,
                                            u"-quality"_s, u"95"_s, file}));
        const QImage reference = decodedBy(u"djpeg"_s, {u"-pnm"_s, u"-outfile"_s}, file);
        QVERIFY(!reference.isNull());
        compareCorner(readAll(file), shownCorner(reference, 1));
    }

    void webpMatchesDwebp_data() {
        QTest::addColumn<bool>("lossless");
        QTest::addColumn<bool>("alpha");
        QTest::addColumn<int>("orientation");
        for (int orientation = 1; orientation <= 8; ++orientation) {
            QTest::addRow("lossy, orientation %d", orientation) << false << false << orientation;
        }
        QTest::newRow("lossy with alpha") << false << true << 1;
        QTest::newRow("lossless") << true << false << 1;
        QTest::newRow("lossless with alpha, orientation 6") << true << true << 6;
    }
    void webpMatchesDwebp() {
        QFETCH(bool, lossless);
        QFETCH(bool, alpha);
        QFETCH(int, orientation);
        const QImage master = colourNoise(203, 157, 9, alpha);
        QVERIFY(writeAll(path(u"master.png"_s), encoded(master, "png")));
        QStringList arguments{u"-quiet"_s, path(u"master.png"_s), u"-o"_s, path(u"plain.webp"_s)};
        arguments << (lossless ? QStringList{u"-lossless"_s} : QStringList{u"-q"_s, u"80"_s});
        if (alpha) {
            arguments << u"-exact"_s;
        }
        QVERIFY(run(u"cwebp"_s, arguments));
        const QString file = path(u"picture.webp"_s);
        QVERIFY(writeAll(path(u"orientation.exif"_s), exifBlock(quint16(orientation))));
        QVERIFY(run(u"webpmux"_s, {u"-set"_s, u"exif"_s, path(u"orientation.exif"_s),
                                   path(u"plain.webp"_s), u"-o"_s, file}));
        const QImage reference = decodedBy(u"dwebp"_s, {u"-quiet"_s, u"-pam"_s, file, u"-o"_s}, {});
        QVERIFY(!reference.isNull());
        if (lossless) {
            QCOMPARE(reference, master.convertToFormat(QImage::Format_RGBA8888));
        }
        compareCorner(readAll(file), shownCorner(reference, orientation));
    }

    void gifMatchesImageMagick_data() {
        QTest::addColumn<bool>("interlaced");
        QTest::addColumn<bool>("transparent");
        QTest::newRow("plain") << false << false;
        QTest::newRow("interlaced") << true << false;
        QTest::newRow("interlaced with a transparent colour") << true << true;
    }
    void gifMatchesImageMagick() {
        QFETCH(bool, interlaced);
        QFETCH(bool, transparent);
        const QString file = path(u"picture.gif"_s);
        QStringList arguments{path(u"noise.ppm"_s), u"-colors"_s, u"200"_s};
        if (transparent) {
            arguments << u"-fuzz"_s << u"30%"_s << u"-transparent"_s << u"#808080"_s;
        }
        arguments << u"-interlace"_s << (interlaced ? u"GIF"_s : u"None"_s) << file;
        QVERIFY(run(u"/usr/bin/convert"_s, arguments));
        const QImage reference =
            decodedBy(u"/usr/bin/convert"_s, {file, u"-depth"_s, u"8"_s}, {}, u"pam:"_s);
        QVERIFY(!reference.isNull());
        QImage expected = shownCorner(reference, 1);
        int clear = 0;
        for (int y = 0; y < expected.height(); ++y) {
            for (int x = 0; x < expected.width(); ++x) {
                if (expected.pixelColor(x, y).alpha() == 0) {
                    expected.setPixelColor(x, y, Qt::transparent); // its colour doesn't count
                    ++clear;
                }
            }
        }
        QCOMPARE(clear > 0, transparent);
        compareCorner(readAll(file), expected);
    }

    // A GIF whose first image covers only part of its logical screen: the rest is transparent.
    void gifImageInsideItsScreen() {
        const QString file = path(u"placed.gif"_s);
        QVERIFY(run(u"/usr/bin/convert"_s, {u"-size"_s, u"20x10"_s, u"xc:#FF0000"_s, u"-repage"_s,
                                            u"120x80+30+5"_s, file}));
        const LoadedPicture loaded = decodePicture(readAll(file), kCorner);
        QVERIFY2(loaded.ok(), qPrintable(loaded.failure));
        QCOMPARE(loaded.picture.size(), kCorner);
        QCOMPARE(loaded.picture.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(loaded.picture.pixelColor(29, 5).alpha(), 0);
        QCOMPARE(loaded.picture.pixelColor(30, 5), QColor(255, 0, 0));
        QCOMPARE(loaded.picture.pixelColor(49, 14), QColor(255, 0, 0));
        QCOMPARE(loaded.picture.pixelColor(50, 14).alpha(), 0);
        QCOMPARE(loaded.picture.pixelColor(49, 15).alpha(), 0);
    }

    // Interlaced PNGs written by ImageMagick against the master they were made from; 16-bit
    // samples keep all their bits.
    void interlacedPngMatchesMaster_data() {
        QTest::addColumn<int>("depth");
        QTest::newRow("8-bit") << 8;
        QTest::newRow("16-bit") << 16;
    }
    void interlacedPngMatchesMaster() {
        QFETCH(int, depth);
        QImage master(131, 90, QImage::Format_RGBA64);
        std::mt19937 random(depth);
        for (int y = 0; y < master.height(); ++y) {
            auto* line = reinterpret_cast<quint16*>(master.scanLine(y));
            for (int i = 0; i < master.width() * 4; ++i) {
                const quint16 v = quint16(random());
                line[i] = i % 4 == 3 ? 0xFFFF : depth == 16 ? v : quint16((v & 0xFF) * 257);
            }
        }
        QVERIFY(writeAll(path(u"master.tif"_s), encoded(master, "tiff")));
        const QString file = path(u"adam7.png"_s);
        QVERIFY(
            run(u"/usr/bin/convert"_s, {path(u"master.tif"_s), u"-depth"_s, QString::number(depth),
                                        u"-interlace"_s, u"PNG"_s, u"-alpha"_s, u"off"_s, file}));
        const QByteArray png = readAll(file);
        QCOMPARE(uchar(png[28]), uchar(1)); // the header's interlace method: Adam7
        const LoadedPicture loaded = decodePicture(png, kCorner);
        QVERIFY2(loaded.ok(), qPrintable(loaded.failure));
        QCOMPARE(loaded.picture.size(), kCorner);
        QCOMPARE(loaded.picture.convertToFormat(QImage::Format_RGBA64),
                 master.copy(QRect(QPoint(), kCorner)));
    }

    // Without any colour table a GIF is drawn in black and white: index 0 black, 1 white, the
    // rest black; the first-frame reader and the frame-set loader agree.
    void gifWithoutColourTable_data() {
        QTest::addColumn<int>("transparent");
        QTest::addColumn<QList<QColor>>("expected");
        const QColor black(0, 0, 0);
        const QColor white(255, 255, 255);
        QTest::newRow("no transparency") << -1 << QList<QColor>{black, white, black, black};
        QTest::newRow("index 1 transparent")
            << 1 << QList<QColor>{black, QColor(Qt::transparent), black, black};
    }
    void gifWithoutColourTable() {
        QFETCH(int, transparent);
        QFETCH(QList<QColor>, expected);
        const QByteArray gif = tablelessGif(transparent);
        const QString file = path(u"no-table.gif"_s);
        QVERIFY(writeAll(file, gif));
        const LoadedPicture loaded = decodePicture(gif, kCorner);
        QVERIFY2(loaded.ok(), qPrintable(loaded.failure));
        const LoadedFrameSet set = LoadFrameSet(file);
        QVERIFY2(set.ok(), qPrintable(set.failure));
        QCOMPARE(set.frames.size(), 1);
        for (const QImage& picture : {loaded.picture, set.frames.first()}) {
            QCOMPARE(picture.size(), QSize(4, 1));
            for (int x = 0; x < 4; ++x) {
                const QColor got = picture.pixelColor(x, 0);
                QCOMPARE(got.alpha(), expected[x].alpha());
                if (got.alpha() != 0) {
                    QCOMPARE(got.rgb(), expected[x].rgb());
                }
            }
        }
    }

    // A GIF cut short is refused with the same sentence whether its first frame or every frame
    // is read: both come from one reader.
    void gifCutShortSaysTheSameForFrameSets_data() {
        QTest::addColumn<int>("missing"); // bytes cut off its end
        QTest::newRow("trailer missing") << 1;
        QTest::newRow("cut in the image data") << 4;
    }
    void gifCutShortSaysTheSameForFrameSets() {
        QFETCH(int, missing);
        const QByteArray gif = tablelessGif(-1);
        const QString file = path(u"cut.gif"_s);
        QVERIFY(writeAll(file, gif.left(gif.size() - missing)));
        const LoadedPicture single = LoadPicture(file);
        const LoadedFrameSet set = LoadFrameSet(file);
        QCOMPARE(single.failure, u"图片数据不完整，文件可能只下载或复制了一部分"_s);
        QCOMPARE(set.failure, single.failure);
    }

    // An icon whose image has partial alpha (ImageMagick writes it as a 32-bit image with the
    // samples as given), over the default background F0F0F0: each channel is
    // round((c·a + 240·(255 − a)) / 255), worked out by hand. Premultiplying first moves every
    // one of these a step.
    void iconBlendsStraightAlpha_data() {
        QTest::addColumn<QColor>("stored");
        QTest::addColumn<QColor>("shown");
        QTest::newRow("half transparent") << QColor(15, 47, 79, 128) << QColor(127, 143, 159);
        QTest::newRow("three quarters opaque") << QColor(26, 90, 0, 191) << QColor(80, 128, 60);
        QTest::newRow("nearly clear") << QColor(113, 120, 127, 1) << QColor(240, 240, 240);
    }
    void iconBlendsStraightAlpha() {
        QFETCH(QColor, stored);
        QFETCH(QColor, shown);
        QImage master(2, 2, QImage::Format_RGBA8888);
        master.fill(stored);
        QVERIFY(writeAll(path(u"partial.png"_s), encoded(master, "png")));
        const QString file = path(u"partial.ico"_s);
        QVERIFY(run(u"/usr/bin/convert"_s, {path(u"partial.png"_s), file}));
        const QByteArray icon = readAll(file);
        // The file holds the samples as B G R A.
        QVERIFY(icon.contains(QByteArray(1, char(stored.blue())) + char(stored.green()) +
                              char(stored.red()) + char(stored.alpha())));
        const LoadedPicture loaded = decodePicture(icon, kCorner, "ico");
        QVERIFY2(loaded.ok(), qPrintable(loaded.failure));
        const Conversion conversion = convertPicture(loaded.picture, {});
        const ColorValue expected = RGB(shown.red(), shown.green(), shown.blue());
        QCOMPARE(conversion.shown[0], expected);
        QCOMPARE(conversion.shown[kFrameWidth + 1], expected);
    }

    // Three sizes in one icon, each a colour of its own: the largest is the one shown.
    void iconShowsItsLargestSize() {
        const QString file = path(u"sizes.ico"_s);
        QVERIFY(run(u"/usr/bin/convert"_s,
                    {u"-size"_s, u"16x16"_s, u"xc:#FF0000"_s, u"-size"_s, u"48x48"_s,
                     u"xc:#00FF00"_s, u"-size"_s, u"32x32"_s, u"xc:#0000FF"_s, file}));
        const LoadedPicture loaded = decodePicture(readAll(file), kCorner, "ico");
        QVERIFY2(loaded.ok(), qPrintable(loaded.failure));
        QCOMPARE(loaded.picture.size(), QSize(48, 48));
        QCOMPARE(loaded.picture.pixelColor(47, 47), QColor(0, 255, 0));
    }

    void cutOffFilesAreRefused_data() {
        QTest::addColumn<QStringList>("make"); // a tool and its arguments; %1 is the output
        QTest::newRow("baseline JPEG") << QStringList{u"cjpeg"_s, u"-outfile"_s, u"%1"_s};
        QTest::newRow("progressive JPEG")
            << QStringList{u"cjpeg"_s, u"-progressive"_s, u"-outfile"_s, u"%1"_s};
        QTest::newRow("WebP") << QStringList{u"cwebp"_s, u"-quiet"_s, u"-o"_s, u"%1"_s};
        QTest::newRow("lossless WebP")
            << QStringList{u"cwebp"_s, u"-quiet"_s, u"-lossless"_s, u"-o"_s, u"%1"_s};
        QTest::newRow("GIF") << QStringList{u"/usr/bin/convert"_s, u"gif:%1"_s};
        QTest::newRow("interlaced GIF")
            << QStringList{u"/usr/bin/convert"_s, u"-interlace"_s, u"GIF"_s, u"gif:%1"_s};
        QTest::newRow("interlaced PNG")
            << QStringList{u"/usr/bin/convert"_s, u"-interlace"_s, u"PNG"_s, u"png:%1"_s};
    }
    void cutOffFilesAreRefused() {
        QFETCH(QStringList, make);
        const QString file = path(u"whole"_s);
        QStringList arguments = make.mid(1);
        for (QString& argument : arguments) {
            argument.replace(u"%1"_s, file);
        }
        arguments.insert(make.first() == u"/usr/bin/convert"_s ? 0 : arguments.size(),
                         path(u"noise.ppm"_s));
        QVERIFY(run(make.first(), arguments));
        const QByteArray whole = readAll(file);
        QVERIFY(whole.size() > 1000);
        QVERIFY(decodePicture(whole, kCorner).ok());
        for (const qsizetype cut : {whole.size() * 3 / 4, whole.size() - 1}) {
            const LoadedPicture loaded = decodePicture(whole.left(cut), kCorner);
            QVERIFY2(!loaded.ok(), qPrintable(u"cut at %1 of %2"_s.arg(cut).arg(whole.size())));
            QVERIFY(loaded.picture.isNull());
        }
    }

    // A few bytes a frame can claim a whole canvas each: a set whose frames would not fit in
    // memory is refused with a message, and its corners (all the original size needs) still load.
    void hugeGifFrameSets_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("reason");
        QTest::newRow("canvas 65535 × 65535") << 65535 << 65535 << 1 << u"图片太大"_s;
        QTest::newRow("600 one-pixel frames on 1000 × 1000")
            << 1000 << 1000 << 600 << u"动画太大：269 帧 1000 × 1000 像素"_s;
    }
    void hugeGifFrameSets() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, frames);
        QFETCH(QString, reason);
        // No colour table; each frame one pixel, LZW-coded as clear, 0, end in three-bit codes.
        QByteArray gif("GIF89a");
        gif += char(width & 0xFF);
        gif += char(width >> 8);
        gif += char(height & 0xFF);
        gif += char(height >> 8);
        gif += QByteArray(3, '\0');
        for (int i = 0; i < frames; ++i) {
            gif += QByteArray("\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0", 15);
        }
        gif += '\x3B';
        const QString file = path(u"huge-set.gif"_s);
        QVERIFY(writeAll(file, gif));
        const LoadedFrameSet scaled = LoadFrameSet(file, {kDefaultBackground, Fit::Contain});
        QVERIFY2(scaled.failure.contains(reason), qPrintable(scaled.failure));
        QVERIFY(scaled.frames.isEmpty());
        const LoadedFrameSet corners = LoadFrameSet(file);
        QVERIFY2(corners.ok(), qPrintable(corners.failure));
        QCOMPARE(corners.frames.size(), frames);
    }
};

QTEST_GUILESS_MAIN(FormatReadersTest)
#include "format_readers_test.moc"
