// Loading only the corner the frame needs must give exactly what decoding the whole picture
// gives, for every PNG layout, every EXIF orientation and every format; and broken or huge
// pictures must fail cleanly.

#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"
#include "test_files.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <png.h>
#include <random>
#include <vector>
#include <zlib.h>

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

const QSize kCorner(kFrameWidth, kFrameHeight);

struct PngLayout {
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool transparency = false; // a tRNS chunk
    bool gamma = false;        // a gAMA chunk
    bool interlaced = false;
};

void appendToBuffer(png_structp png, png_bytep data, png_size_t length) {
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

// A PNG of the given layout filled with seeded noise, written with libpng so that every colour
// type and bit depth can be made.
QByteArray noisePng(int width, int height, const PngLayout& layout, unsigned seed) {
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendToBuffer, nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), layout.bitDepth,
                 layout.colorType, layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::mt19937 random(seed);
    std::vector<png_color> palette;
    std::vector<png_byte> alphas;
    if (layout.colorType == PNG_COLOR_TYPE_PALETTE) {
        palette.resize(std::size_t(1) << layout.bitDepth);
        for (png_color& c : palette) {
            c = {png_byte(random()), png_byte(random()), png_byte(random())};
        }
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
        if (layout.transparency) {
            alphas = {0, 128, 255, 40};
            alphas.resize(std::min(alphas.size(), palette.size()));
            png_set_tRNS(png, info, alphas.data(), int(alphas.size()), nullptr);
        }
    } else if (layout.transparency) {
        // A value the noise below hits often, at every depth: 1, or 0x0101 in 16 bits.
        const png_uint_16 value = layout.bitDepth == 16 ? 0x0101 : 1;
        png_color_16 key{};
        key.gray = key.red = key.green = key.blue = value;
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    if (layout.gamma) {
        png_set_gAMA(png, info, 1.0 / 2.2);
    }
    png_write_info(png, info);
    const png_size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<std::vector<png_byte>> rows(static_cast<std::size_t>(height),
                                            std::vector<png_byte>(rowBytes));
    std::vector<png_bytep> rowPointers;
    for (auto& row : rows) {
        for (png_byte& b : row) {
            b = png_byte(random() % 2 == 0 ? 1 : random()); // many exact key values
        }
        rowPointers.push_back(row.data());
    }
    png_write_image(png, rowPointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

QImage wholeDecode(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read();
}

// The pixels as 16-bit RGBA, row by row: a lossless common ground for every format. (Comparing
// QImages would also compare their colour-space labels, which don't touch the pixels.)
QByteArray canonical(const QImage& picture) {
    const QImage wide = picture.convertToFormat(QImage::Format_RGBA64);
    QByteArray bytes;
    for (int y = 0; y < wide.height(); ++y) {
        bytes.append(reinterpret_cast<const char*>(wide.constScanLine(y)),
                     qsizetype(wide.width()) * 8);
    }
    return bytes;
}

FrameBuffer frameOf(const QImage& picture) {
    return convertPicture(picture, {.background = RGB(0x4F, 0x8F, 0xCF)}).frame;
}

// The corner path against the whole-picture path: the same pixels and the same frame.
void compareWithWhole(const QByteArray& data, bool expectCut) {
    const LoadedPicture corner = decodePicture(data, kCorner);
    QVERIFY2(corner.ok(), qPrintable(corner.failure));
    const QImage whole = wholeDecode(data);
    QVERIFY(!whole.isNull());
    const QSize shown = kCorner.boundedTo(whole.size());
    if (expectCut) {
        QCOMPARE(corner.picture.size(), shown); // only the corner was decoded
    }
    QCOMPARE(canonical(corner.picture.copy(QRect(QPoint(), shown))),
             canonical(whole.copy(QRect(QPoint(), shown))));
    QCOMPARE(frameOf(corner.picture), frameOf(whole));
}

// A picture whose every region looks different, so a wrong corner or turn shows.
QImage landmarks(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.setPixel(
                x, y, qRgb(x * 255 / width, y * 255 / height, (x < 30) != (y < 20) ? 230 : 20));
        }
    }
    return picture;
}

// The pixels of a 16-bit RGB PNG as stored, read by libpng with no transformation at all.
QList<QRgba64> sixteenBitPixels(const QByteArray& png) {
    QList<QRgba64> pixels;
    png_structp reader = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(reader);
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    png_set_read_fn(reader, &buffer, [](png_structp p, png_bytep data, png_size_t length) {
        static_cast<QBuffer*>(png_get_io_ptr(p))
            ->read(reinterpret_cast<char*>(data), qint64(length));
    });
    if (setjmp(png_jmpbuf(reader))) {
        png_destroy_read_struct(&reader, &info, nullptr);
        return {};
    }
    png_read_info(reader, info);
    const png_uint_32 width = png_get_image_width(reader, info);
    const png_uint_32 height = png_get_image_height(reader, info);
    std::vector<png_byte> row(png_get_rowbytes(reader, info));
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(reader, row.data(), nullptr);
        for (png_uint_32 x = 0; x < width; ++x) {
            const png_byte* p = row.data() + x * 6; // big-endian 16-bit R G B
            pixels << QRgba64::fromRgba64(quint16(p[0] << 8 | p[1]), quint16(p[2] << 8 | p[3]),
                                          quint16(p[4] << 8 | p[5]), 0xFFFF);
        }
    }
    png_destroy_read_struct(&reader, &info, nullptr);
    return pixels;
}

// The PNG with its header claiming another size (and a matching checksum).
// Appends each value as four little-endian bytes.
void appendLe32(QByteArray& bytes, std::initializer_list<quint32> values) {
    for (const quint32 value : values) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes += char((value >> shift) & 0xFF);
        }
    }
}

QByteArray claimingSize(QByteArray png, quint32 width, quint32 height) {
    const int fields = png.indexOf("IHDR") + 4;
    const auto put32 = [&png](int at, quint32 value) {
        for (int b = 0; b < 4; ++b) {
            png[at + b] = char(value >> (24 - 8 * b));
        }
    };
    put32(fields, width);
    put32(fields + 4, height);
    put32(fields + 13,
          quint32(::crc32(0, reinterpret_cast<const Bytef*>(png.constData() + fields - 4), 17)));
    return png;
}

} // namespace

Q_DECLARE_METATYPE(PngLayout)

class PictureLoaderTest : public QObject {
    Q_OBJECT
private slots:
    // The JPEG decoder reduces by the largest power of two that still leaves the fit at least one
    // picture pixel per box pixel: 1600 × 1000 by 8 is 200 × 125 (the contained picture is
    // 98 × 61); 700 × 460 by 4 is 175 × 115 (by 8 it would be only 58 rows for cover's 67).
    // EXIF orientation 6 turns it a quarter, reduced as shown.
    void jpegIsDecodedReducedForAFit_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<Fit>("fit");
        QTest::addColumn<QSize>("decoded");
        QTest::newRow("contain by 8") << QSize(1600, 1000) << 1 << Fit::Contain << QSize(200, 125);
        QTest::newRow("stretch by 8") << QSize(1600, 1000) << 1 << Fit::Stretch << QSize(200, 125);
        QTest::newRow("cover by 4") << QSize(700, 460) << 1 << Fit::Cover << QSize(175, 115);
        QTest::newRow("original, the corner")
            << QSize(1600, 1000) << 1 << Fit::Original << QSize(98, 67);
        QTest::newRow("turned, contain by 8")
            << QSize(1600, 1000) << 6 << Fit::Contain << QSize(125, 200);
        QTest::newRow("small, whole") << QSize(150, 90) << 1 << Fit::Contain << QSize(150, 90);
    }
    void jpegIsDecodedReducedForAFit() {
        QFETCH(QSize, size);
        QFETCH(int, orientation);
        QFETCH(Fit, fit);
        QFETCH(QSize, decoded);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("p.jpg"));
        QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/convert"),
                                   {QStringLiteral("-size"),
                                    QStringLiteral("%1x%2").arg(size.width()).arg(size.height()),
                                    QStringLiteral("gradient:red-blue"), file}),
                 0);
        const QByteArray jpeg = withExifOrientation(readAll(file), quint16(orientation));
        const LoadedPicture loaded =
            fit == Fit::Original ? decodeForFit(jpeg, {.fit = fit}) : decodeReducedJpeg(jpeg, fit);
        QVERIFY2(loaded.ok(), qPrintable(loaded.failure));
        QCOMPARE(loaded.picture.size(), decoded);
    }

    // A JPEG whose size the reduction doesn't divide is still reduced by the decoder's own
    // averaging, never by picking every other pixel. Stripes 4 columns wide (black, white) make
    // every 8-column block half white: reduced to 1/8 each block is 127.5, and so is every
    // area-averaged box pixel; a picture sampled at 1/4 with columns skipped would show runs of
    // black and white instead.
    void jpegOfAnOddSizeIsReducedByAveraging() {
        constexpr int kWidth = 1001;
        constexpr int kHeight = 701;
        QByteArray pgm =
            "P5\n" + QByteArray::number(kWidth) + ' ' + QByteArray::number(kHeight) + "\n255\n";
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                pgm.append(char(x / 4 % 2 == 0 ? 0 : 255));
            }
        }
        QTemporaryDir dir;
        const QString source = dir.filePath(u"stripes.pgm"_s);
        const QString file = dir.filePath(u"stripes.jpg"_s);
        QVERIFY(writeAll(source, pgm));
        QVERIFY(run(u"/usr/bin/cjpeg"_s, {u"-quality"_s, u"100"_s, u"-outfile"_s, file, source}));
        const LoadedPicture loaded = decodeForFit(readAll(file), {.fit = Fit::Stretch});
        QVERIFY2(loaded.ok(), qPrintable(loaded.failure));
        const Conversion conversion = convertPicture(loaded, {.fit = Fit::Stretch});
        // The picture's last column (black) is a block of its own, so the box's last column is
        // left out; the rest is grey.
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth - 1; ++x) {
                const int red = redOf(conversion.shown[size_t(y * kFrameWidth + x)]);
                QVERIFY2(red >= 112 && red <= 143,
                         qPrintable(u"%1 at %2, %3"_s.arg(red).arg(x).arg(y)));
            }
        }
    }

    void pngCornerEqualsWholeDecode_data() {
        QTest::addColumn<PngLayout>("layout");
        QTest::addColumn<QSize>("size");
        const QSize large(131, 90);
        const QSize narrow(40, 120);
        const QSize small(33, 21);
        for (int depth : {1, 2, 4, 8, 16}) {
            QTest::addRow("grey %d-bit", depth) << PngLayout{PNG_COLOR_TYPE_GRAY, depth} << large;
            QTest::addRow("grey %d-bit with tRNS", depth)
                << PngLayout{PNG_COLOR_TYPE_GRAY, depth, true} << large;
        }
        for (int depth : {1, 2, 4, 8}) {
            QTest::addRow("palette %d-bit", depth)
                << PngLayout{PNG_COLOR_TYPE_PALETTE, depth} << large;
            QTest::addRow("palette %d-bit with tRNS", depth)
                << PngLayout{PNG_COLOR_TYPE_PALETTE, depth, true} << large;
        }
        for (int depth : {8, 16}) {
            QTest::addRow("grey + alpha %d-bit", depth)
                << PngLayout{PNG_COLOR_TYPE_GRAY_ALPHA, depth} << large;
            QTest::addRow("RGB %d-bit", depth) << PngLayout{PNG_COLOR_TYPE_RGB, depth} << large;
            QTest::addRow("RGBA %d-bit", depth) << PngLayout{PNG_COLOR_TYPE_RGBA, depth} << large;
        }
        QTest::newRow("RGB 8-bit with tRNS") << PngLayout{PNG_COLOR_TYPE_RGB, 8, true} << large;
        QTest::newRow("RGB with gAMA") << PngLayout{PNG_COLOR_TYPE_RGB, 8, false, true} << large;
        QTest::newRow("RGBA 16-bit with gAMA")
            << PngLayout{PNG_COLOR_TYPE_RGBA, 16, false, true} << large;
        QTest::newRow("palette with gAMA and tRNS")
            << PngLayout{PNG_COLOR_TYPE_PALETTE, 8, true, true} << large;
        QTest::newRow("narrow and tall") << PngLayout{PNG_COLOR_TYPE_RGBA, 8} << narrow;
        QTest::newRow("smaller than the frame") << PngLayout{PNG_COLOR_TYPE_RGB, 8} << small;
        QTest::newRow("interlaced")
            << PngLayout{PNG_COLOR_TYPE_RGBA, 8, false, false, true} << large;
        QTest::newRow("interlaced grey 16-bit with tRNS")
            << PngLayout{PNG_COLOR_TYPE_GRAY, 16, true, false, true} << large;
        QTest::newRow("interlaced RGB 16-bit")
            << PngLayout{PNG_COLOR_TYPE_RGB, 16, false, false, true} << large;
        QTest::newRow("interlaced palette 2-bit with tRNS")
            << PngLayout{PNG_COLOR_TYPE_PALETTE, 2, true, false, true} << large;
        QTest::newRow("interlaced, some passes empty")
            << PngLayout{PNG_COLOR_TYPE_RGB, 8, false, false, true} << QSize(3, 2);
    }
    void pngCornerEqualsWholeDecode() {
        QFETCH(PngLayout, layout);
        QFETCH(QSize, size);
        const QByteArray png = noisePng(size.width(), size.height(), layout, 11);
        QVERIFY(!png.isEmpty());
        compareWithWhole(png, true);
    }

    // Qt 6.4 garbles 16-bit colour with a tRNS colour key, so this case is checked against the
    // pixels written: every colour as written, the key colour transparent.
    void sixteenBitColourKey() {
        PngLayout layout{PNG_COLOR_TYPE_RGB, 16, true};
        const QByteArray png = noisePng(120, 80, layout, 21);
        const LoadedPicture corner = decodePicture(png, kCorner);
        QVERIFY2(corner.ok(), qPrintable(corner.failure));
        QCOMPARE(corner.picture.size(), kCorner);
        const QImage wide = corner.picture.convertToFormat(QImage::Format_RGBA64);
        const QList<QRgba64> written = sixteenBitPixels(png);
        int keyed = 0;
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth; ++x) {
                const QRgba64 want = written.at(y * 120 + x);
                const QRgba64 got = reinterpret_cast<const QRgba64*>(wide.constScanLine(y))[x];
                const bool key =
                    want.red() == 0x0101 && want.green() == 0x0101 && want.blue() == 0x0101;
                keyed += key;
                QCOMPARE(got.alpha(), quint16(key ? 0 : 0xFFFF));
                QCOMPARE(got.red(), want.red());
                QCOMPARE(got.green(), want.green());
                QCOMPARE(got.blue(), want.blue());
            }
        }
        QVERIFY(keyed > 0); // the key colour does occur
    }

    void jpegOrientations_data() {
        QTest::addColumn<int>("orientation");
        for (int orientation = 1; orientation <= 8; ++orientation) {
            QTest::addRow("EXIF orientation %d", orientation) << orientation;
        }
    }
    void jpegOrientations() {
        QFETCH(int, orientation);
        const QByteArray jpeg =
            withExifOrientation(encoded(landmarks(230, 170), "jpg", 95), quint16(orientation));
        compareWithWhole(jpeg, true);
    }

    // A PNG's eXIf orientation turns it, as in Chromium and Firefox, when the chunk comes before
    // the image data; after it, it is ignored as those browsers ignore it. Pillow writes the
    // chunk; shown pixels are looked up in the stored picture by the EXIF definitions.
    void pngOrientations_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("afterImageData");
        QTest::addColumn<int>("shownAs"); // the orientation a viewer applies
        for (int orientation = 1; orientation <= 8; ++orientation) {
            QTest::addRow("eXIf orientation %d", orientation)
                << orientation << false << orientation;
        }
        QTest::newRow("eXIf orientation 6 after the image data") << 6 << true << 1;
    }
    void pngOrientations() {
        QFETCH(int, orientation);
        QFETCH(bool, afterImageData);
        QFETCH(int, shownAs);
        QTemporaryDir dir;
        const QImage stored = landmarks(150, 110);
        const QString plain = dir.filePath(QStringLiteral("plain.png"));
        const QString turned = dir.filePath(QStringLiteral("turned.png"));
        QVERIFY(stored.save(plain));
        const char* script = R"(import sys, struct
from PIL import Image
exif = Image.Exif()
exif[0x0112] = int(sys.argv[3])
Image.open(sys.argv[1]).save(sys.argv[2], exif=exif)
if sys.argv[4] == 'after':
    data = open(sys.argv[2], 'rb').read()
    at = data.index(b'eXIf') - 4
    end = at + struct.unpack('>I', data[at:at + 4])[0] + 12
    chunk, data = data[at:end], data[:at] + data[end:]
    iend = data.index(b'IEND') - 4
    open(sys.argv[2], 'wb').write(data[:iend] + chunk + data[iend:])
)";
        QVERIFY(run(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-c"), QString::fromLatin1(script), plain, turned,
                     QString::number(orientation),
                     afterImageData ? QStringLiteral("after") : QStringLiteral("before")}));
        const QByteArray png = readAll(turned);
        QCOMPARE(png.indexOf("eXIf") < png.indexOf("IDAT"), !afterImageData);
        const QSize shownSize = shownAs >= 5 ? stored.size().transposed() : stored.size();
        for (const QSize& corner : {kCorner, QSize()}) {
            const LoadedPicture loaded = decodePicture(png, corner);
            QVERIFY2(loaded.ok(), qPrintable(loaded.failure));
            QCOMPARE(loaded.picture.size(), corner.isValid() ? corner : shownSize);
            for (const QPoint p : {QPoint(0, 0), QPoint(97, 0), QPoint(0, 66), QPoint(40, 25)}) {
                const QPoint from =
                    storedPixel(shownAs, p.x(), p.y(), stored.width(), stored.height());
                QCOMPARE(loaded.picture.pixel(p), stored.pixel(from));
            }
        }
        // A scaling fit reads the rows as stored and turns the small result: the same frame as
        // scaling the picture turned here by index arithmetic.
        QImage upright(shownSize, QImage::Format_RGB32);
        for (int y = 0; y < upright.height(); ++y) {
            for (int x = 0; x < upright.width(); ++x) {
                upright.setPixel(
                    x, y,
                    stored.pixel(storedPixel(shownAs, x, y, stored.width(), stored.height())));
            }
        }
        ConversionOptions options;
        options.fit = Fit::Contain;
        const LoadedPicture scaled = decodeForFit(png, options);
        QVERIFY2(scaled.ok(), qPrintable(scaled.failure));
        QCOMPARE(convertPicture(scaled, options).frame, convertPicture(upright, options).frame);
    }

    void everyFormatAgreesWithTheWholePath_data() {
        QTest::addColumn<QByteArray>("format");
        for (const QByteArray& format : QImageWriter::supportedImageFormats()) {
            if (QImageReader::supportedImageFormats().contains(format)) {
                QTest::newRow(format.constData()) << format;
            }
        }
    }
    void everyFormatAgreesWithTheWholePath() {
        QFETCH(QByteArray, format);
        const QImage picture = landmarks(format == "ico" || format == "cur" ? 128 : 150, 100);
        const QByteArray bytes = encoded(picture, format, 90);
        if (bytes.isEmpty()) {
            QSKIP("this writer can't write such a picture");
        }
        compareWithWhole(bytes, false);
    }

    void brokenPictures_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray png = noisePng(120, 80, PngLayout{}, 3);
        QByteArray badCrc = png;
        badCrc[png.indexOf("IDAT") + 10] = char(badCrc[png.indexOf("IDAT") + 10] ^ 0x5A);
        const QByteArray jpeg = encoded(landmarks(120, 80), "jpg", 90);
        std::mt19937 random(5);
        QByteArray noise(3000, '\0');
        for (char& c : noise) {
            c = char(random());
        }
        QTest::newRow("random bytes") << noise << u"不是可识别的图片格式"_s;
        QTest::newRow("PNG cut in its image data") << png.left(png.size() - 200) << u"不完整"_s;
        QTest::newRow("PNG with damaged image data") << badCrc << u"损坏"_s;
        QTest::newRow("JPEG cut in its scan") << jpeg.left(jpeg.size() - 300) << u"不完整"_s;
        QTest::newRow("only a PNG signature") << png.left(8) << u"图片"_s;
    }
    void brokenPictures() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        for (const QSize& corner : {kCorner, QSize()}) {
            const LoadedPicture loaded = decodePicture(bytes, corner);
            QVERIFY(!loaded.ok());
            QVERIFY(loaded.picture.isNull());
            QVERIFY2(loaded.failure.contains(reason) || !corner.isValid(),
                     qPrintable(loaded.failure));
        }
    }

    // A few hundred bytes that claim 60000 × 60000 pixels: no hang, no huge allocation, and
    // where the picture would have to be decoded whole, a plain "too large".
    void hugeDeclaredSizes() {
        const QByteArray plain = claimingSize(noisePng(8, 8, PngLayout{}, 1), 60000, 60000);
        QVERIFY(plain.size() < 1000);
        const LoadedPicture corner = decodePicture(plain, kCorner);
        QVERIFY(!corner.ok()); // its first rows aren't there
        const LoadedPicture whole = decodePicture(plain);
        QVERIFY2(whole.failure.contains(u"图片太大：60000 × 60000"_s), qPrintable(whole.failure));

        // Interlaced ones too are read only through the passes the corner needs.
        PngLayout interlaced;
        interlaced.interlaced = true;
        const LoadedPicture big =
            decodePicture(claimingSize(noisePng(8, 8, interlaced, 1), 60000, 60000), kCorner);
        QVERIFY(!big.ok());
    }

    // A few bytes that claim billions of pixels a scaling fit would have to average (a BMP's
    // run-length data may end the picture at once; a GIF's canvas may dwarf its frame): a
    // plain "too large" at once, for the corner the few pixels there are.
    void hugeSparsePicturesForAFit_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("suffix");
        QByteArray bmp("BM");
        appendLe32(bmp, {14 + 40 + 4 + 2, 0, 14 + 40 + 4});
        appendLe32(bmp, {40, 40000, 40000});
        bmp += QByteArray("\x01\x00\x08\x00", 4); // one plane, 8 bits a pixel
        appendLe32(bmp, {1, 2, 0, 0, 1, 0});      // RLE8, one colour
        bmp += QByteArray("\x00\x00\xFF\x00", 4); // red
        bmp += QByteArray("\x00\x01", 2);         // end of bitmap
        QTest::newRow("BMP RLE8 ending at once, 40000 × 40000") << bmp << QByteArray("bmp");
        QByteArray tall = bmp;
        tall.replace(18, 8, QByteArray("\x0D\x00\x00\x00\x40\x42\x0F\x00", 8));
        QTest::newRow("BMP RLE8 ending at once, 13 × 1000000") << tall << QByteArray("bmp");
        // No colour table; one pixel, LZW-coded as clear, 0, end in three-bit codes.
        const QByteArray gif("GIF89a\xFF\xFF\xFF\xFF\x00\x00\x00"
                             "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00"
                             "\x02\x02\x44\x01\x00\x3B",
                             13 + 10 + 6);
        QTest::newRow("GIF canvas 65535 × 65535 round one pixel") << gif << QByteArray("gif");
    }
    void hugeSparsePicturesForAFit() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, suffix);
        for (const Fit fit : {Fit::Contain, Fit::Cover, Fit::Stretch}) {
            const LoadedPicture scaled = decodeForFit(bytes, {kDefaultBackground, fit}, suffix);
            QVERIFY2(scaled.failure.contains(u"图片太大"_s), qPrintable(scaled.failure));
            QVERIFY(scaled.isNull());
        }
        const LoadedPicture corner = decodeForFit(bytes, {}, suffix);
        QVERIFY2(corner.ok(), qPrintable(corner.failure));
    }
};

QTEST_GUILESS_MAIN(PictureLoaderTest)
#include "picture_loader_test.moc"
