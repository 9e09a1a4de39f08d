// The picture loader's Qt side: formats the pictures library leaves to Qt's readers (XPM and the
// rest) read through the same corner path as our own, giving what Qt's whole decode gives; and
// icons, which the window loads through it, blend their straight alpha.

#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"
#include "test_files.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

const QSize kCorner(kFrameWidth, kFrameHeight);

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

} // namespace

class PictureLoaderTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }

private slots:
    // Every format Qt both writes and reads, through the loader's corner path against Qt's own
    // whole decode: the same pixels and the same frame.
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
        const LoadedPicture corner = decodePicture(bytes, kCorner);
        QVERIFY2(corner.ok(), qPrintable(corner.failure));
        const QImage whole = wholeDecode(bytes);
        QVERIFY(!whole.isNull());
        const QSize shown = kCorner.boundedTo(whole.size());
        QCOMPARE(canonical(corner.picture.copy(QRect(QPoint(), shown))),
                 canonical(whole.copy(QRect(QPoint(), shown))));
        const ConversionOptions options{.background = RGB(0x4F, 0x8F, 0xCF)};
        QCOMPARE(convertPicture(corner.picture, options).frame,
                 convertPicture(whole, options).frame);
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
        QVERIFY(dir_.isValid());
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
};

QTEST_GUILESS_MAIN(PictureLoaderTest)
#include "picture_loader_test.moc"
