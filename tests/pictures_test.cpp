// The pictures library's shared parts on their own, with no GUI library linked: which reader the
// table gives for which bytes, the orientations turning a stored picture upright, the byte
// readers at the end of their data, and faults put into words.

#include "pictures/bytes.h"
#include "pictures/orientation.h"
#include "pictures/picture_file.h"
#include "pictures/pictures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace ravik;
using namespace Qt::StringLiterals;

namespace {

QByteArray le16(unsigned v) {
    return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
}

// An 18-byte TGA header for a 1 × 1 24-bit picture, then its pixel.
QByteArray tgaPixel() {
    return QByteArray("\0\0\x02", 3) + QByteArray(9, '\0') + le16(1) + le16(1) + "\x18\x20" +
           "\x01\x02\x03";
}

Bytes bytesOf(const QByteArray& data) {
    return {data.constData(), size_t(data.size())};
}

// A stored picture 3 wide and 2 high whose pixels are the letters a–f row by row (in red).
Picture letters() {
    Picture picture(3, 2);
    for (int i = 0; i < 6; ++i) {
        picture.row(i / 3)[4 * (i % 3)] = std::uint8_t('a' + i);
    }
    return picture;
}

// The picture's letters row by row, rows separated by '/'.
QString lettersOf(const Picture& picture) {
    QString out;
    for (int y = 0; y < picture.height(); ++y) {
        if (y > 0) {
            out += u'/';
        }
        for (int x = 0; x < picture.width(); ++x) {
            out += QChar(char16_t(picture.row(y)[4 * x]));
        }
    }
    return out;
}

} // namespace

class PicturesTest : public QObject {
    Q_OBJECT

private slots:
    // Strongest signature first; TGA, with no signature, only by its footer or its suffix.
    void readerForBytes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("suffix");
        QTest::addColumn<QString>("reader"); // the first suffix of the reader expected, or none
        const QByteArray footer = QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.\0", 18);
        QTest::newRow("PNG") << QByteArray("\x89PNG\r\n\x1A\n", 8) << QByteArray() << u"png"_s;
        QTest::newRow("PNG named .tga")
            << QByteArray("\x89PNG\r\n\x1A\n", 8) << QByteArray("tga") << u"png"_s;
        QTest::newRow("JPEG") << QByteArray("\xFF\xD8\xFF\xE0", 4) << QByteArray() << u"jpg"_s;
        QTest::newRow("GIF87a") << QByteArray("GIF87a") << QByteArray() << u"gif"_s;
        QTest::newRow("GIF89a") << QByteArray("GIF89a") << QByteArray() << u"gif"_s;
        QTest::newRow("GIF8 of no version") << QByteArray("GIF88a") << QByteArray() << QString();
        QTest::newRow("TIFF, little-endian") << QByteArray("II*\0", 4) << QByteArray() << u"tif"_s;
        QTest::newRow("TIFF, big-endian") << QByteArray("MM\0*", 4) << QByteArray() << u"tif"_s;
        QTest::newRow("BMP") << QByteArray("BM") << QByteArray() << u"bmp"_s;
        QTest::newRow("TGA without its suffix") << tgaPixel() << QByteArray() << QString();
        QTest::newRow("TGA with its suffix") << tgaPixel() << QByteArray("tga") << u"tga"_s;
        QTest::newRow("TGA with its footer") << tgaPixel() + footer << QByteArray() << u"tga"_s;
        QTest::newRow("TGA suffix, no TGA header")
            << QByteArray("just some text") << QByteArray("tga") << QString();
        QTest::newRow("RIFF that is no WebP")
            << QByteArray("RIFF\x04\0\0\0WAVE", 12) << QByteArray("webp") << QString();
        QTest::newRow("nothing") << QByteArray() << QByteArray() << QString();
    }
    void readerForBytes() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, suffix);
        QFETCH(QString, reader);
        const std::string_view hint(suffix.constData(), size_t(suffix.size()));
        const PictureReader* found = readerFor(bytesOf(bytes), hint);
        if (reader.isEmpty()) {
            QCOMPARE(found, nullptr);
            QCOMPARE(readPicture(bytesOf(bytes), {}, hint).fault.fault, Fault::unrecognised);
            return;
        }
        QVERIFY(found != nullptr);
        QCOMPARE(QString::fromStdString(std::string(found->suffixes().front())), reader);
    }

    // Stored a b c / d e f, shown as the EXIF and TIFF orientations 1–8 ask.
    void orientationsTurnUpright_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QString>("shown");
        QTest::newRow("1 as stored") << 1 << u"abc/def"_s;
        QTest::newRow("2 mirrored") << 2 << u"cba/fed"_s;
        QTest::newRow("3 half a turn") << 3 << u"fed/cba"_s;
        QTest::newRow("4 flipped") << 4 << u"def/abc"_s;
        QTest::newRow("5 transposed") << 5 << u"ad/be/cf"_s;
        QTest::newRow("6 a quarter clockwise") << 6 << u"da/eb/fc"_s;
        QTest::newRow("7 transversed") << 7 << u"fc/eb/da"_s;
        QTest::newRow("8 a quarter anticlockwise") << 8 << u"cf/be/ad"_s;
        QTest::newRow("0 counts as 1") << 0 << u"abc/def"_s;
        QTest::newRow("9 counts as 1") << 9 << u"abc/def"_s;
    }
    void orientationsTurnUpright() {
        QFETCH(int, orientation);
        QFETCH(QString, shown);
        const Orientation turn = orientationFor(orientation);
        const Picture stored = letters();
        QCOMPARE(lettersOf(upright(stored, turn)), shown);
        // The stored pixel that becomes the shown top-left one, alone.
        const Rect corner = storedCorner(stored.size(), turn, {1, 1});
        QCOMPARE(lettersOf(stored.copy(corner)), shown.left(1));
        // The shown top row's stored pixels, turned, are the shown top row.
        const Size shownSize = turn.turned ? Size{2, 3} : Size{3, 2};
        const Rect top = storedCorner(stored.size(), turn, {shownSize.width, 1});
        QCOMPARE(lettersOf(upright(stored.copy(top), turn)), shown.section(u'/', 0, 0));
    }

    void exifOrientation_data() {
        QTest::addColumn<QByteArray>("exif");
        QTest::addColumn<int>("orientation");
        // One IFD entry: tag 0x0112, type SHORT, count 1, the value.
        const QByteArray little = QByteArray("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 18);
        const QByteArray big = QByteArray("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01", 18);
        QTest::newRow("little-endian 6") << little + QByteArray("\x06\0\0\0", 4) << 6;
        QTest::newRow("big-endian 8") << big + QByteArray("\0\x08\0\0", 4) << 8;
        QTest::newRow("with the Exif prefix")
            << QByteArray("Exif\0\0", 6) + little + QByteArray("\x03\0\0\0", 4) << 3;
        QTest::newRow("value out of range") << little + QByteArray("\x09\0\0\0", 4) << 1;
        QTest::newRow("entry cut short") << little + QByteArray("\x06", 1) << 1;
        QTest::newRow("IFD past the end") << QByteArray("II*\0\xFF\0\0\0", 8) << 1;
        QTest::newRow("no byte order") << QByteArray("XX*\0\x08\0\0\0", 8) << 1;
    }
    void exifOrientation() {
        QFETCH(QByteArray, exif);
        QFETCH(int, orientation);
        QCOMPARE(ravik::exifOrientation(bytesOf(exif)), orientation);
    }

    // Reads past the end give zeros, however far past, and never wrap around.
    void byteReadersStayInside() {
        const QByteArray data("\x01\x02\x03\x04\x05", 5);
        const Bytes bytes = bytesOf(data);
        QCOMPARE(bytes.le16(0), 0x0201u);
        QCOMPARE(bytes.be16(0), 0x0102u);
        QCOMPARE(bytes.le32(1), 0x05040302u);
        QCOMPARE(bytes.be32(1), 0x02030405u);
        QCOMPARE(bytes.le32(2), 0u);
        QCOMPARE(bytes.be16(4), 0u);
        QCOMPARE(bytes.u8(5), std::uint8_t(0));
        QVERIFY(bytes.has(0, 5));
        QVERIFY(!bytes.has(1, 5));
        QVERIFY(!bytes.has(6, 0));
        QVERIFY(!bytes.has(2, std::size_t(-1)));
        QCOMPARE(bytes.le32(std::size_t(-2)), 0u);
        QCOMPARE(bytes.sliced(4).size(), std::size_t(1));
        QCOMPARE(bytes.sliced(9).size(), std::size_t(0));
    }

    // Files: why one can't be read, and the suffix (in any case) as the hint for TGA.
    void pictureFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents"); // none: the name is a folder or missing
        QTest::addColumn<int>("fault");
        QTest::newRow("missing") << u"missing.png"_s << QByteArray() << int(Fault::notFound);
        QTest::newRow("folder") << u"folder.png"_s << QByteArray() << int(Fault::folder);
        QTest::newRow("empty") << u"empty.png"_s << QByteArray("") << int(Fault::empty);
#ifdef Q_OS_UNIX
        // Neither is read: a pipe with no writer would block for ever, /dev/zero never ends
        // (and its size of 0 must not make it "empty").
        QTest::newRow("a pipe") << u"fifo.png"_s << QByteArray() << int(Fault::notRegularFile);
        QTest::newRow("/dev/zero") << u"/dev/zero"_s << QByteArray() << int(Fault::notRegularFile);
#endif
        QTest::newRow("TGA by its suffix") << u"pixel.tga"_s << tgaPixel() << int(Fault::none);
        QTest::newRow("TGA by its suffix in capitals")
            << u"PIXEL.TGA"_s << tgaPixel() << int(Fault::none);
        QTest::newRow("TGA without its suffix")
            << u"pixel.bin"_s << tgaPixel() << int(Fault::unrecognised);
    }
    void pictureFiles() {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QFETCH(int, fault);
        QTemporaryDir dir;
        const QString path = name.startsWith(u'/') ? name : dir.filePath(name);
        if (name.startsWith(u"folder")) {
            QVERIFY(QDir(dir.path()).mkdir(name));
#ifdef Q_OS_UNIX
        } else if (name.startsWith(u"fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif
        } else if (!contents.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(contents), contents.size());
        }
        const DecodedPicture read = readPictureFile(QFile::encodeName(path).toStdString());
        QCOMPARE(int(read.fault.fault), fault);
        if (read.ok()) {
            // The one pixel, stored blue first.
            QCOMPARE(read.picture.size(), (Size{1, 1}));
            QCOMPARE(read.picture.row(0)[0], std::uint8_t(3));
            QCOMPARE(read.picture.row(0)[2], std::uint8_t(1));
            QCOMPARE(read.picture.row(0)[3], std::uint8_t(255));
        }
    }

    // Frames counted from a GIF's blocks without decoding, against the frames the decoder gives;
    // -1: broken, nothing counted.
    void frameCounts_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        const QByteArray screen("GIF89a\x01\0\x01\0\x80\0\0\0\0\0\xff\xff\xff", 19);
        const QByteArray image("\x2c\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0", 15);
        // A graphic control extension: 1/100 s delay, before an image.
        const QByteArray control("\x21\xf9\x04\0\x01\0\0\0", 8);
        QTest::newRow("one image") << screen + image + ";" << 1;
        QTest::newRow("three images with extensions")
            << screen + control + image + control + image + image + ";" << 3;
        QTest::newRow("cut off in an image") << screen + image + image.left(12) << -1;
    }
    void frameCounts() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        const Bytes data(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                         std::size_t(bytes.size()));
        QCOMPARE(countFrames(data).value_or(-1), count);
        if (count > 0) {
            QCOMPARE(int(readFrames(data, {}).frames.size()), count);
        }
    }

    void faultsInWords_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("cut short") << int(Fault::incomplete) << 0 << 0
                                   << u"图片数据不完整，文件可能只下载或复制了一部分"_s;
        QTest::newRow("too large, size known")
            << int(Fault::tooLarge) << 70000 << 3
            << u"图片太大：70000 × 3 像素，超出了可以解码的大小"_s;
        QTest::newRow("too large, size unknown")
            << int(Fault::tooLarge) << 0 << 0 << u"图片太大，超出了可以解码的大小"_s;
        QTest::newRow("a folder") << int(Fault::folder) << 0 << 0 << u"是文件夹，不是图片文件"_s;
        QTest::newRow("a pipe or device")
            << int(Fault::notRegularFile) << 0 << 0
            << u"不是普通文件（而是管道、设备等），不能作为图片读取"_s;
    }
    void faultsInWords() {
        QFETCH(int, fault);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, sentence);
        const PictureFault described{Fault(fault), {width, height}};
        QCOMPARE(QString::fromStdString(faultSentence(described)), sentence);
    }
};

QTEST_APPLESS_MAIN(PicturesTest)
#include "pictures_test.moc"
