// The built program's command line, run as a user would run it: `convert` without a display,
// its outputs against the window's own code, and every failure leaving outputs untouched.

#include "codec/frame_buffer.h"
#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "fonts/font_job.h"
#include "golden_frames.h"
#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"
#include "test_files.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// Runs a program with no display of any kind, then the extra environment given.
Run runCommand(const QString& program, const QStringList& arguments,
               const QStringList& extraEnvironment = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    for (const QString& setting : extraEnvironment) {
        environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    }
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

Run runProgram(const QStringList& arguments) {
    return runCommand(QStringLiteral(RAVIK_EXECUTABLE), arguments);
}

// The shared objects the program opened, as glibc's dynamic loader reports them under
// LD_DEBUG=files ("file=libQt6Core.so.6 [0];  needed by …"); empty where it reports nothing.
QStringList openedLibraries(const QString& loaderReport) {
    QStringList opened;
    static const QRegularExpression file(QStringLiteral(R"(\bfile=(\S+)\s+\[)"));
    for (const auto& match : file.globalMatch(loaderReport)) {
        opened << match.captured(1);
    }
    return opened;
}

// A frame set whose preview pixels can be told by hand: frame 0 repeats the worked pair's bytes
// 0x13 0x57 0x9B, so even pixels show (0x10, 0x30, 0x50) and odd ones (0x70, 0x90, 0xB0); in
// frame 1 every byte of row y is (y mod 16) × 0x11, a grey of (y mod 16) × 16.
QByteArray handBuiltFrames(int count) {
    QByteArray bytes;
    for (int i = 0; i < kFrameSize; ++i) {
        bytes.append(char("\x13\x57\x9B"[i % 3]));
    }
    for (int y = 0; count > 1 && y < kFrameHeight; ++y) {
        bytes.append(QByteArray(kRowStride, char(y % 16 * 0x11)));
    }
    return bytes;
}

QRgb handBuiltPixel(int frame, int x, int y) {
    if (frame == 0) {
        return x % 2 == 0 ? qRgb(0x10, 0x30, 0x50) : qRgb(0x70, 0x90, 0xB0);
    }
    const int grey = y % 16 * 16;
    return qRgb(grey, grey, grey);
}

// ImageMagick, the other encoder the frame-set and batch tests check against.
const QString kImageMagick = QStringLiteral("/usr/bin/convert");

// A C program that includes the header and checks it against the .bin named on its command
// line: the size macros, sizeof the array, every byte, and for a frame set the first delay.
constexpr char kHeaderCheck[] = R"(#include HEADER
#include <stdio.h>
#include <string.h>
#define CAT(a, b) a##b
#define M(name, suffix) CAT(name, suffix)
static unsigned char file[sizeof NAME + 1];
int main(int argc, char** argv) {
    FILE* in = argc > 1 ? fopen(argv[1], "rb") : NULL;
    if (in == NULL) return 2;
    size_t read = fread(file, 1, sizeof file, in);
    fclose(in);
    if (M(NAME, _WIDTH) != 98 || M(NAME, _HEIGHT) != 67 || M(NAME, _SIZE) != 9849) return 3;
    if (sizeof NAME != FRAMES * 9849 || read != sizeof NAME) return 4;
#ifdef FIRST_DELAY
    if (M(NAME, _DELAYS_MS)[0] != FIRST_DELAY) return 5;
#endif
    return memcmp(file, NAME, sizeof NAME) == 0 ? 0 : 6;
}
)";

QImage colourful(int width, int height) {
    QImage picture(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.setPixel(x, y, qRgba(x * 2, y * 3, (x ^ y) & 0xFF, 255));
        }
    }
    return picture;
}

bool savePicture(const QImage& picture, const QString& path) {
    return QImageWriter(path).write(picture);
}

// The bytes a C text names, in order.
QByteArray bytesOfCText(const QByteArray& text) {
    QByteArray bytes;
    static const QRegularExpression item(QStringLiteral("0x([0-9A-F]{2}),"));
    for (const auto& match : item.globalMatch(QString::fromLatin1(text))) {
        bytes.append(char(match.captured(1).toInt(nullptr, 16)));
    }
    return bytes;
}

// The frame exactly as the window builds it from the same picture and background.
FrameBuffer windowFrame(const QString& picturePath, const QColor& background) {
    const ColorValue color = RGB(background.red(), background.green(), background.blue());
    return convertPicture(LoadPicture(picturePath).picture, {.background = color}).frame;
}

// --- Pictures of any size -------------------------------------------------------------------

// A 7 × 5 picture whose every pixel has its own high nibbles: red x + 1, green y + 2, blue
// (x + 2y) mod 16, each with a low nibble the packing drops.
constexpr int kSheetWidth = 7;
constexpr int kSheetHeight = 5;
QRgb sheetPixel(int x, int y) {
    return qRgb((x + 1) << 4 | 0x9, (y + 2) << 4 | 0x6, ((x + 2 * y) % 16) << 4 | 0xC);
}

// The picture written as a binary PPM by hand, so no encoder of ours or Qt's is involved.
QByteArray sheetPpm() {
    QByteArray ppm = "P6\n" + QByteArray::number(kSheetWidth) + " " +
                     QByteArray::number(kSheetHeight) + "\n255\n";
    for (int y = 0; y < kSheetHeight; ++y) {
        for (int x = 0; x < kSheetWidth; ++x) {
            const QRgb c = sheetPixel(x, y);
            ppm.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
        }
    }
    return ppm;
}

// Nibbles into bytes, high nibble first, a lone last nibble padded with 0: the panel's stream.
QByteArray nibbleBytes(const QList<int>& nibbles) {
    QByteArray bytes;
    for (qsizetype i = 0; i < nibbles.size(); i += 2) {
        bytes.append(char(nibbles[i] << 4 | (i + 1 < nibbles.size() ? nibbles[i + 1] : 0)));
    }
    return bytes;
}

// The sheet cut to `crop`, turned clockwise by `degrees`, then flipped, by index arithmetic:
// the pixel of the source that lands at (u, v) of the result, and the result's size.
struct Shaped {
    int width;
    int height;
    QRgb pixel(int u, int v) const { return source(u, v); }
    std::function<QRgb(int, int)> source;
};
Shaped shapedSheet(QRect crop, int degrees, const QString& flip) {
    const bool quarter = degrees == 90 || degrees == 270;
    const int width = quarter ? crop.height() : crop.width();
    const int height = quarter ? crop.width() : crop.height();
    return {width, height, [=](int u, int v) {
                if (flip == u"horizontal"_s) {
                    u = width - 1 - u;
                } else if (flip == u"vertical"_s) {
                    v = height - 1 - v;
                }
                int x = u;
                int y = v;
                if (degrees == 90) {
                    x = v, y = crop.height() - 1 - u;
                } else if (degrees == 180) {
                    x = crop.width() - 1 - u, y = crop.height() - 1 - v;
                } else if (degrees == 270) {
                    x = crop.width() - 1 - v, y = u;
                }
                return sheetPixel(crop.x() + x, crop.y() + y);
            }};
}

// The packed bytes of the tiles (tileW × tileH, reading order) of a shaped sheet.
QByteArray expectedTiles(const Shaped& shaped, int tileWidth, int tileHeight) {
    QByteArray bytes;
    for (int ty = 0; ty + tileHeight <= shaped.height; ty += tileHeight) {
        for (int tx = 0; tx + tileWidth <= shaped.width; tx += tileWidth) {
            QList<int> nibbles;
            for (int v = 0; v < tileHeight; ++v) {
                for (int u = 0; u < tileWidth; ++u) {
                    const QRgb c = shaped.pixel(tx + u, ty + v);
                    nibbles << qRed(c) / 16 << qGreen(c) / 16 << qBlue(c) / 16;
                }
            }
            bytes += nibbleBytes(nibbles);
        }
    }
    return bytes;
}

// A program that draws tile 1 of the header's tiles with its mask at (3, 5) of a frame of 0x0F
// bytes and checks a drawn pixel (DRAWN_X, DRAWN_Y of the tile, colour DRAWN_RGB) and an undrawn
// one (CLEAR_X, CLEAR_Y, still CLEAR_RGB) through the runtime's own reader.
constexpr char kDrawCheck[] = R"(#include "sprites.h"
#include "ravik_lcd.h"
#include <string.h>
static uint8_t frame[RAVIK_LCD_FRAME_SIZE];
int main(void) {
    memset(frame, 0x0F, sizeof frame);
    if (sprites_COUNT != 4 || sprites_WIDTH != 3 || sprites_HEIGHT != 2) return 2;
    if (sizeof sprites[1] != sprites_SIZE || sizeof sprites_MASK[1] != sprites_MASK_SIZE) return 3;
    ravik_lcd_draw(frame, 3, 5, sprites[1], sprites_WIDTH, sprites_HEIGHT, sprites_MASK[1]);
    if (ravik_lcd_get_pixel(frame, 3 + DRAWN_X, 5 + DRAWN_Y) != DRAWN_RGB) return 4;
    if (ravik_lcd_get_pixel(frame, 3 + CLEAR_X, 5 + CLEAR_Y) != CLEAR_RGB) return 5;
    return 0;
}
)";

} // namespace

class CliTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString picture;
    QString bands; // 98 × 67 of band(y) rows

    QString path(const QString& name) const { return dir.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        picture = path(u"图片 一.png"_s);
        QVERIFY(savePicture(colourful(120, 90), picture));
        bands = path(u"bands.png"_s);
        QVERIFY(savePicture(bandPicture(98, 67, band), bands));
    }

    void outputsMatchTheWindow() {
        const Run run =
            runProgram({u"convert"_s, picture, u"--bin"_s, path(u"f.bin"_s), u"--c-text"_s,
                        path(u"f.c"_s), u"--preview"_s, path(u"p.png"_s)});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QVERIFY(run.out.isEmpty()); // outputs went to files only

        const FrameBuffer frame = windowFrame(picture, QColor(0xF0, 0xF0, 0xF0));
        QCOMPARE(readAll(path(u"f.bin"_s)), QByteArray::fromStdString(frameBytes(frame)));
        QCOMPARE(readAll(path(u"f.c"_s)), QByteArray::fromStdString(formatCArrayText(frame)));

        const QImage preview(path(u"p.png"_s));
        QCOMPARE(preview.size(), QSize(98, 67));
        for (const QPoint p : {QPoint(0, 0), QPoint(1, 0), QPoint(57, 31), QPoint(97, 66)}) {
            const ColorValue decoded = decodePixel(frame, p.x(), p.y());
            QCOMPARE(preview.pixel(p), qRgb(redOf(decoded), greenOf(decoded), blueOf(decoded)));
        }
    }

    // The preview is written in the format its name asks for (told by the file's first bytes),
    // each frame pixel as scale × scale pixels.
    void previewFormatAndScale_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("magic");
        QTest::addColumn<int>("scale");
        QTest::newRow("png") << u"p.png"_s << QByteArray("\x89PNG") << 1;
        QTest::newRow("jpg") << u"p.jpg"_s << QByteArray("\xFF\xD8\xFF") << 1;
        QTest::newRow("bmp, 3×") << u"p.bmp"_s << QByteArray("BM") << 3;
        QTest::newRow("tif, 16×") << u"p.tif"_s << QByteArray("II*\0", 4) << 16;
    }
    void previewFormatAndScale() {
        QFETCH(QString, name);
        QFETCH(QByteArray, magic);
        QFETCH(int, scale);
        const Run run = runProgram({u"convert"_s, picture, u"--preview"_s, path(name),
                                    u"--preview-scale"_s, QString::number(scale)});
        QCOMPARE(run.exitCode, 0);
        const QByteArray bytes = readAll(path(name));
        QVERIFY(bytes.startsWith(magic));
        if (!name.endsWith(u".jpg"_s)) { // JPEG is lossy; the others keep every pixel
            const QImage preview = QImage::fromData(bytes);
            QCOMPARE(preview.size(), QSize(98 * scale, 67 * scale));
            const FrameBuffer frame = windowFrame(picture, QColor(0xF0, 0xF0, 0xF0));
            for (const QPoint p : {QPoint(0, 0), QPoint(1, 0), QPoint(57, 31), QPoint(97, 66)}) {
                const ColorValue c = decodePixel(frame, p.x(), p.y());
                for (const QPoint corner : {QPoint(0, 0), QPoint(scale - 1, scale - 1)}) {
                    QCOMPARE(preview.pixel(p * scale + corner),
                             qRgb(redOf(c), greenOf(c), blueOf(c)));
                }
            }
        }
    }

    void textGoesToStandardOutput_data() {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("no output option") << QStringList{};
        QTest::newRow("--c-text -") << QStringList{u"--c-text"_s, u"-"_s};
    }
    void textGoesToStandardOutput() {
        QFETCH(QStringList, options);
        const Run run = runProgram(QStringList{u"convert"_s, bands} + options);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(bytesOfCText(run.out), bandFrame(band));
        QCOMPARE(run.out.size(), 50477);
    }

    // Every output may be standard output, beside an output to a file; no file named "-"
    // appears.
    void everyOutputCanGoToStandardOutput_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("fileOption"); // the other output, to a file
        QTest::newRow("--bin -") << u"--bin"_s << u"--c-text"_s;
        QTest::newRow("--c-text -") << u"--c-text"_s << u"--bin"_s;
        QTest::newRow("--header -") << u"--header"_s << u"--bin"_s;
        QTest::newRow("--preview - as PNG") << u"--preview"_s << u"--bin"_s;
    }
    void everyOutputCanGoToStandardOutput() {
        QFETCH(QString, option);
        QFETCH(QString, fileOption);
        const QString other = path(u"beside.out"_s);
        const Run run = runProgram({u"convert"_s, bands, option, u"-"_s, fileOption, other});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(u"-"_s));
        const QByteArray written = readAll(other);
        QCOMPARE(fileOption == u"--bin"_s ? written : bytesOfCText(written), bandFrame(band));
        if (option == u"--bin"_s) {
            QCOMPARE(run.out, bandFrame(band));
        } else if (option == u"--preview"_s) {
            QVERIFY(run.out.startsWith("\x89PNG\r\n\x1A\n"));
            const QImage preview = QImage::fromData(run.out, "PNG");
            QCOMPARE(preview.size(), QSize(98, 67));
            const QByteArray bytes = bandFrame(band);
            FrameBuffer frame;
            for (int i = 0; i < kFrameSize; ++i) {
                frame[std::size_t(i)] = std::uint8_t(bytes[i]);
            }
            for (const QPoint p : {QPoint(0, 0), QPoint(1, 0), QPoint(50, 33), QPoint(97, 66)}) {
                const ColorValue c = decodePixel(frame, p.x(), p.y());
                QCOMPARE(preview.pixel(p), qRgb(redOf(c), greenOf(c), blueOf(c)));
            }
        } else {
            QCOMPARE(bytesOfCText(run.out), bandFrame(band));
            QCOMPARE(run.out.contains("static const uint8_t bands[bands_SIZE]"),
                     option == u"--header"_s);
        }
    }

    // No output may replace the input, however it is named; refused as a usage error before
    // anything is written, single conversions, frame sets and batches alike.
    void outputNeverOverwritesItsInput_data() {
        QTest::addColumn<QStringList>("arguments"); // @in: the input, @self: its folder
        const QString in = u"@in"_s;
        QTest::newRow("--bin") << QStringList{in, u"--bin"_s, in};
        QTest::newRow("--c-text") << QStringList{in, u"--c-text"_s, in};
        QTest::newRow("--header") << QStringList{in, u"--header"_s, in};
        QTest::newRow("--preview") << QStringList{in, u"--preview"_s, in};
        QTest::newRow("spelt with ./") << QStringList{in, u"--preview"_s, u"@self/./in.png"_s};
        QTest::newRow("through a symbolic link")
            << QStringList{in, u"--bin"_s, u"@self/link.png"_s};
        QTest::newRow("through a hard link") << QStringList{in, u"--c-text"_s, u"@self/hard.png"_s};
        QTest::newRow("after an output that could be written")
            << QStringList{in, u"--bin"_s, u"@self/new.bin"_s, u"--header"_s, in};
        QTest::newRow("frame set") << QStringList{in, u"--all-frames"_s, u"--bin"_s, in};
        QTest::newRow("batch into a linked folder")
            << QStringList{in, u"--out-dir"_s, u"@self/folder-link"_s, u"--preview"_s};
    }
    void outputNeverOverwritesItsInput() {
#ifndef Q_OS_UNIX
        QSKIP("links made with POSIX calls");
#else
        QFETCH(QStringList, arguments);
        const QString self = path(u"self"_s);
        QDir(self).removeRecursively();
        QVERIFY(QDir().mkpath(self));
        const QString in = self + u"/in.png"_s;
        QVERIFY(savePicture(colourful(20, 10), in));
        const QByteArray original = readAll(in);
        QVERIFY(QFile::link(in, self + u"/link.png"_s));
        QVERIFY(::link(QFile::encodeName(in).constData(),
                       QFile::encodeName(self + u"/hard.png"_s).constData()) == 0);
        QVERIFY(QFile::link(self, self + u"/folder-link"_s));
        const QStringList before = QDir(self).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (QString& argument : arguments) {
            argument.replace(u"@in"_s, in).replace(u"@self"_s, self);
        }
        const Run run = runProgram(QStringList{u"convert"_s} + arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(u"会覆盖输入文件；没有写入任何文件"_s), qPrintable(run.err));
        QCOMPARE(readAll(in), original);
        QCOMPARE(QDir(self).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
#endif
    }

    // Two outputs naming one file, however spelt, are a usage error: the later would silently
    // replace the earlier. Nothing is written, and an existing file is left as it was.
    void outputsNamingOneFileAreRefused_data() {
        QTest::addColumn<QStringList>("outputs"); // @dir: a folder holding old.bin and link.bin
        QTest::newRow("the same name")
            << QStringList{u"--bin"_s, u"@dir/x.out"_s, u"--c-text"_s, u"@dir/x.out"_s};
        QTest::newRow("spelt with ./")
            << QStringList{u"--bin"_s, u"@dir/x.out"_s, u"--header"_s, u"@dir/./x.out"_s};
        QTest::newRow("an existing file through a link")
            << QStringList{u"--bin"_s, u"@dir/old.bin"_s, u"--c-text"_s, u"@dir/link.bin"_s};
        QTest::newRow("preview and mask")
            << QStringList{u"--mask-bin"_s, u"@dir/x.png"_s, u"--preview"_s, u"@dir/x.png"_s};
    }
    void outputsNamingOneFileAreRefused() {
        QFETCH(QStringList, outputs);
        const QString folder = path(u"twice"_s);
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeAll(folder + u"/old.bin"_s, "old"));
        QVERIFY(QFile::link(folder + u"/old.bin"_s, folder + u"/link.bin"_s));
        const QString picture = path(u"twice.png"_s);
        QVERIFY(savePicture(colourful(20, 10), picture));
        for (QString& output : outputs) {
            output.replace(u"@dir"_s, folder);
        }
        const Run run = runProgram(QStringList{u"convert"_s, picture} + outputs);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(u"只会留下后写的那项"_s), qPrintable(run.err));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot),
                 QStringList({u"link.bin"_s, u"old.bin"_s}));
        QCOMPARE(readAll(folder + u"/old.bin"_s), QByteArray("old"));
    }

    // A failed write to standard output (a full disk) is a failure, for help and version too.
    void failedWriteToStandardOutput_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("--help") << QStringList{u"--help"_s};
        QTest::newRow("--version") << QStringList{u"--version"_s};
        QTest::newRow("convert --help") << QStringList{u"convert"_s, u"--help"_s};
        QTest::newRow("C text") << QStringList{u"convert"_s, u"@bands"_s};
        QTest::newRow("--preview -")
            << QStringList{u"convert"_s, u"@bands"_s, u"--preview"_s, u"-"_s};
    }
    void failedWriteToStandardOutput() {
#ifndef Q_OS_LINUX
        QSKIP("needs /dev/full");
#else
        QFETCH(QStringList, arguments);
        arguments.replaceInStrings(u"@bands"_s, bands);
        QProcess process;
        process.setStandardOutputFile(u"/dev/full"_s);
        process.start(QStringLiteral(RAVIK_EXECUTABLE), arguments);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(u"无法写入标准输出：磁盘空间不足"_s), qPrintable(err));
#endif
    }

    void backgroundUnderSmallOrTransparentPictures_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QColor>("background");
        QTest::newRow("default F0F0F0") << QStringList{} << QColor(0xF0, 0xF0, 0xF0);
        QTest::newRow("RRGGBB") << QStringList{u"--background"_s, u"102030"_s}
                                << QColor(0x10, 0x20, 0x30);
        QTest::newRow("#RRGGBB") << QStringList{u"--background"_s, u"#A0b0C0"_s}
                                 << QColor(0xA0, 0xB0, 0xC0);
    }
    void backgroundUnderSmallOrTransparentPictures() {
        QFETCH(QStringList, options);
        QFETCH(QColor, background);
        QImage small(10, 10, QImage::Format_ARGB32);
        small.fill(Qt::transparent);
        small.setPixel(0, 0, qRgba(255, 0, 0, 255));
        const QString smallPath = path(u"small.png"_s);
        QVERIFY(savePicture(small, smallPath));
        const QString bin = path(u"small.bin"_s);
        const Run run = runProgram(QStringList{u"convert"_s, smallPath, u"--bin"_s, bin} + options);
        QCOMPARE(run.exitCode, 0);
        // All background but pixel (0, 0), opaque red: bytes R0G0 = F0 and B0R1 = 0 and the
        // background's red nibble.
        QByteArray expected = flatFrame(background.rgb());
        expected[0] = '\xF0';
        expected[1] = char(background.red() >> 4);
        QCOMPARE(readAll(bin), expected);
    }

    void failuresCreateAndChangeNothing_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString bin = u"keep.bin"_s;
        QTest::newRow("missing picture")
            << QStringList{u"convert"_s, u"@dir/没有.png"_s, u"--bin"_s, bin} << 1
            << u"文件不存在"_s;
        QTest::newRow("a frame file of the wrong size")
            << QStringList{u"convert"_s, u"@dir/keep.bin"_s, u"--bin"_s, u"new.bin"_s} << 1
            << u"帧数据应为 9849 字节或其整数倍，此文件为 12 字节"_s;
        QTest::newRow("output folder missing")
            << QStringList{u"convert"_s, u"@picture"_s,  u"--bin"_s,
                           u"new.bin"_s, u"--preview"_s, u"no/such/p.png"_s}
            << 1 << u"文件夹不存在"_s;
        QTest::newRow("output is a folder")
            << QStringList{u"convert"_s, u"@picture"_s, u"--c-text"_s,
                           u"new.c"_s,   u"--bin"_s,    u"@dir"_s}
            << 1 << u"同名的文件夹"_s;
#ifdef Q_OS_LINUX
        QTest::newRow("full disk") << QStringList{u"convert"_s, u"@picture"_s, u"--bin"_s,
                                                  u"new.bin"_s, u"--c-text"_s, u"/dev/full"_s}
                                   << 1 << u"磁盘空间不足"_s;
#endif
        QTest::newRow("bad background") << QStringList{u"convert"_s, u"@picture"_s,     u"--bin"_s,
                                                       bin,          u"--background"_s, u"F0F0"_s}
                                        << 2 << u"底色"_s;
        QTest::newRow("unknown fit")
            << QStringList{u"convert"_s, u"@picture"_s, u"--bin"_s, bin, u"--fit"_s, u"zoom"_s} << 2
            << u"无效，应为 original|contain|cover|stretch"_s;
        QTest::newRow("unknown dither")
            << QStringList{u"convert"_s, u"@picture"_s, u"--bin"_s, bin, u"--dither"_s, u"fs"_s}
            << 2 << u"无效，应为 none|ordered|floyd-steinberg"_s;
        for (const QString& scale : {u"0"_s, u"17"_s, u"2x"_s}) {
            QTest::addRow("preview scale %s", qPrintable(scale))
                << QStringList{u"convert"_s, u"@picture"_s,        u"--preview"_s,
                               u"new.png"_s, u"--preview-scale"_s, scale}
                << 2 << u"无效，应为 1 到 16 的整数"_s;
        }
        QTest::newRow("two outputs on standard output")
            << QStringList{u"convert"_s, u"@picture"_s, u"--bin"_s, u"-"_s, u"--header"_s, u"-"_s}
            << 2 << u"--bin、--header 都指定了标准输出"_s;
        for (const QString& name : {u"p.gif"_s, u"p.xyz"_s, u"preview"_s}) {
            QTest::addRow("preview named %s", qPrintable(name))
                << QStringList{u"convert"_s, u"@picture"_s,  u"--bin"_s,
                               u"new.bin"_s, u"--preview"_s, name}
                << 2 << u"的扩展名不是可写入的图片格式"_s;
        }
        QTest::newRow("preview scale without a preview")
            << QStringList{u"convert"_s, u"@picture"_s,        u"--bin"_s,
                           u"new.bin"_s, u"--preview-scale"_s, u"2"_s}
            << 2 << u"--preview-scale 只用于 --preview"_s;
        QTest::newRow("batch folder is a file")
            << QStringList{u"convert"_s, u"@picture"_s, u"--out-dir"_s, u"keep.bin"_s, u"--bin"_s}
            << 1 << u"无法创建输出文件夹“@dir/keep.bin”：已有同名的文件，不是文件夹"_s;
        QTest::newRow("batch folder under a file")
            << QStringList{u"convert"_s, u"@picture"_s, u"--out-dir"_s, u"keep.bin/frames"_s,
                           u"--bin"_s}
            << 1 << u"路径中的“keep.bin”不是文件夹"_s;
        QTest::newRow("unknown option named as typed")
            << QStringList{u"convert"_s, u"@picture"_s, u"--bni"_s, bin} << 2
            << u"未知选项“--bni”"_s;
        QTest::newRow("missing value, in Chinese")
            << QStringList{u"convert"_s, u"@picture"_s, u"--bin"_s} << 2
            << u"选项“--bin”缺少参数"_s;
        QTest::newRow("no picture")
            << QStringList{u"convert"_s, u"--bin"_s, bin} << 2 << u"缺少要转换的图片"_s;
        QTest::newRow("two pictures") << QStringList{u"convert"_s, u"@picture"_s, u"@picture"_s}
                                      << 2 << u"只能转换一张图片"_s;
    }
    void failuresCreateAndChangeNothing() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        message.replace(u"@dir"_s, QDir::toNativeSeparators(dir.path()));
        const QByteArray old("old contents");
        {
            QFile keep(path(u"keep.bin"_s));
            QVERIFY(keep.open(QIODevice::WriteOnly) && keep.write(old) == old.size());
        }
        for (QString& argument : arguments) {
            if (argument == u"@picture"_s) {
                argument = picture;
            } else if (argument.startsWith(u"@dir"_s)) {
                argument.replace(u"@dir"_s, dir.path());
            } else if (!argument.startsWith(u'-') && argument != u"convert"_s &&
                       !QDir::isAbsolutePath(argument)) {
                argument = path(argument);
            }
        }
        const QStringList before =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        const Run run = runProgram(arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        if (exitCode == 1) {
            // The message names the file at fault.
            const bool namesAFile =
                std::any_of(arguments.begin(), arguments.end(), [&](const QString& a) {
                    return a.contains(u'/') && run.err.contains(QDir::toNativeSeparators(a));
                });
            QVERIFY2(namesAFile, qPrintable(run.err));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QCOMPARE(readAll(path(u"keep.bin"_s)), old);
    }

    // Every kind of bad picture: a clear message naming the file, exit 1, no output.
    void badPictures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QByteArray png;
        QBuffer pngBuffer(&png);
        pngBuffer.open(QIODevice::WriteOnly);
        colourful(200, 150).save(&pngBuffer, "PNG");
        QByteArray jpeg;
        QBuffer jpegBuffer(&jpeg);
        jpegBuffer.open(QIODevice::WriteOnly);
        colourful(200, 150).save(&jpegBuffer, "JPEG");
        QByteArray noise(4096, '\0');
        for (int i = 0; i < noise.size(); ++i) {
            noise[i] = char((i * 7919) ^ (i >> 3));
        }
        QTest::newRow("empty file") << u"空.png"_s << QByteArray("") << u"文件是空的"_s;
        QTest::newRow("random bytes named .jpg")
            << u"noise.jpg"_s << noise << u"不是可识别的图片格式"_s;
        QTest::newRow("truncated PNG") << u"cut.png"_s << png.left(png.size() / 3) << u"图片数据"_s;
        QTest::newRow("truncated JPEG")
            << u"cut.jpg"_s << jpeg.left(jpeg.size() / 2) << u"不完整"_s;
        QTest::newRow("a renamed frame file")
            << u"frame.png"_s << QByteArray(9849, '\x37') << u"不是可识别的图片格式"_s;
        QTest::newRow("random bytes named .txt")
            << u"noise.txt"_s << noise << u"不是图片或帧数据"_s;
        QTest::newRow("GBK prose named .txt")
            << u"便条.txt"_s << QByteArray("\xC4\xE3\xBA\xC3\xA3\xAC\xCA\xC0\xBD\xE7\r\n")
            << u"不是图片或帧数据"_s;
        // An icon claiming 65535 images, cut short: Qt's reader complains about each one.
        QByteArray icon;
        if (run(kImageMagick, {u"-size"_s, u"256x256"_s, u"xc:red"_s, path(u"whole.ico"_s)})) {
            icon = readAll(path(u"whole.ico"_s)).left(124);
            icon[4] = icon[5] = '\xFF';
        }
        QTest::newRow("icon claiming 65535 images, 124 bytes")
            << u"broken.ico"_s << icon << u"图片数据无效或已损坏"_s;
        QTest::newRow("folder") << u"文件夹.png"_s << QByteArray() << u"文件夹"_s;
        QTest::newRow("no read permission") << u"locked.png"_s << png << u"没有读取权限"_s;
    }
    void badPictures() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString target = path(name);
        if (bytes.isNull()) {
            QVERIFY(QDir().mkpath(target));
        } else {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        if (name == u"locked.png"_s) {
#ifdef Q_OS_UNIX
            if (::geteuid() == 0) {
                QSKIP("root reads every file");
            }
#else
            QSKIP("file permissions are Unix ones");
#endif
            QFile::setPermissions(target, QFileDevice::WriteOwner);
        }
        const QString bin = path(u"bad-out.bin"_s);
        const Run run = runProgram({u"convert"_s, target, u"--bin"_s, bin});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(reason), qPrintable(run.err.left(2000)));
        // Our one message, and nothing the image libraries had to say.
        QCOMPARE(run.err.count(u'\n'), 1);
        QVERIFY2(run.err.contains(QDir::toNativeSeparators(target)), qPrintable(run.err));
        QVERIFY2(!run.err.contains(QChar::ReplacementCharacter), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(bin));
    }

    // A broken PNG read whole (interlaced, for a scaling fit) gives our one message: libpng's own
    // English errors stay unprinted.
    void brokenWholePng_data() {
        QTest::addColumn<QString>("fit");
        QTest::newRow("contain") << u"contain"_s;
        QTest::newRow("cover") << u"cover"_s;
        QTest::newRow("stretch") << u"stretch"_s;
    }
    void brokenWholePng() {
        QFETCH(QString, fit);
        const QString source = path(u"interlaced.png"_s);
        QVERIFY(run(kImageMagick, {u"-size"_s, u"60x40"_s, u"gradient:red-blue"_s, u"-interlace"_s,
                                   u"PNG"_s, source}));
        QByteArray png = readAll(source);
        // Damaged image data: libpng finds the first IDAT's checksum wrong.
        const qsizetype idat = png.indexOf("IDAT");
        QVERIFY(idat > 0);
        png[idat + 6] = char(png[idat + 6] ^ 0x55);
        const QString target = path(u"broken-whole.png"_s);
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(png) == png.size());
        file.close();
        const Run run = runProgram(
            {u"convert"_s, target, u"--fit"_s, fit, u"--bin"_s, path(u"broken-whole.bin"_s)});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.count(u'\n'), 1);
        QVERIFY2(run.err.contains(u"图片数据无效或已损坏"_s), qPrintable(run.err));
    }

    // A JPEG with bytes that are no marker between its segments opens as in viewers, for every
    // fit, and the decoder's warnings about them stay unprinted.
    void strayBytesInAJpeg_data() {
        QTest::addColumn<QString>("fit");
        QTest::newRow("original") << u"original"_s;
        QTest::newRow("contain, reduced decode") << u"contain"_s;
    }
    void strayBytesInAJpeg() {
        QFETCH(QString, fit);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(colourful(400, 300).save(&buffer, "JPEG"));
        jpeg.insert(jpeg.indexOf("\xFF\xDB"), QByteArray("\x7F\x00\x41", 3));
        const QString file = path(u"stray.jpg"_s);
        QVERIFY(writeAll(file, jpeg));
        const Run run =
            runProgram({u"convert"_s, file, u"--fit"_s, fit, u"--bin"_s, path(u"stray.bin"_s)});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QCOMPARE(QFileInfo(path(u"stray.bin"_s)).size(), qint64(kFrameSize));
    }

    // A write that fails part-way (a 4 KiB file-size limit on the process) keeps the old file.
    void failingWriteKeepsTheOldFile() {
#ifndef Q_OS_UNIX
        QSKIP("needs setrlimit in the child process");
#else
        const QString bin = path(u"old.bin"_s);
        const QByteArray old(100, 'o');
        {
            QFile file(bin);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
        }
        QProcess process;
        process.setChildProcessModifier([] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        process.start(QStringLiteral(RAVIK_EXECUTABLE), {u"convert"_s, picture, u"--bin"_s, bin});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(
            QString::fromUtf8(process.readAllStandardError()).contains(u"文件超出了允许的大小"_s));
        QCOMPARE(readAll(bin), old);
#endif
    }

    void readOnlyPlace() {
#ifndef Q_OS_LINUX
        QSKIP("needs /proc");
#endif
        // Nothing can be created in /proc, not even by root.
        const Run run = runProgram({u"convert"_s, picture, u"--bin"_s, u"/proc/ravik-frame.bin"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"/proc/ravik-frame.bin"_s), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(u"/proc/ravik-frame.bin"_s));
    }

    void binaryToStandardOutputThroughItsDevice() {
#ifndef Q_OS_LINUX
        QSKIP("needs /dev/stdout");
#endif
        const Run run = runProgram({u"convert"_s, bands, u"--bin"_s, u"/dev/stdout"_s});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, bandFrame(band));
    }

    void versionAndHelp() {
        const Run version = runProgram({u"--version"_s});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QByteArray("ravik-lcd 1.00\n"));

        const Run help = runProgram({u"--help"_s});
        QCOMPARE(help.exitCode, 0);
        const QString text = QString::fromUtf8(help.out);
        QVERIFY(text.contains(u"用法"_s));
        QVERIFY(text.contains(u"ravik-lcd convert"_s));
        QVERIFY(text.contains(u"--background"_s));
        QCOMPARE(runProgram({u"convert"_s, u"--help"_s}).out, help.out);
    }

    void windowWithoutDisplayExplainsItself() {
        const Run run = runProgram({picture});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"没有可用的图形显示"_s), qPrintable(run.err));
    }

    // --- frames read back, headers, frame sets, batches ----------------------------------

    void frameRoundTrip() {
        const FrameBuffer frame = windowFrame(picture, QColor(0xF0, 0xF0, 0xF0));
        const QList<QStringList> steps = {
            {picture, u"--bin"_s, path(u"round.bin"_s)},
            {path(u"round.bin"_s), u"--c-text"_s, path(u"round.txt"_s)},
            {path(u"round.txt"_s), u"--bin"_s, path(u"again.bin"_s), u"--header"_s,
             path(u"round.h"_s)},
            {path(u"round.h"_s), u"--bin"_s, path(u"from-header.bin"_s), u"--preview"_s,
             path(u"round.png"_s)},
        };
        for (const QStringList& step : steps) {
            const Run run = runProgram(QStringList{u"convert"_s} + step);
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        }
        for (const QString& name : {u"round.bin"_s, u"again.bin"_s, u"from-header.bin"_s}) {
            QCOMPARE(readAll(path(name)), QByteArray::fromStdString(frameBytes(frame)));
        }
        const QImage preview(path(u"round.png"_s));
        const ColorValue decoded = decodePixel(frame, 57, 31);
        QCOMPARE(preview.pixel(57, 31), qRgb(redOf(decoded), greenOf(decoded), blueOf(decoded)));
    }

    // A frame set read back is written out as a set again, as --all-frames wrote it: three
    // hand-built frames (byte i of frame k is (7 i + i / 256 + 85 k) mod 256) through a header,
    // the header back to a .bin, C text and a preview strip, the text back to a .bin and a
    // header. Frame 2's pixel (0, 0) is bytes 0xAA 0xB1: 0xA0 0xA0 0xB0 in the preview. A .bin
    // has no delays: the header gives 0 for each frame.
    void frameSetsRoundTrip() {
        QByteArray frames;
        for (int k = 0; k < 3; ++k) {
            for (int i = 0; i < kFrameSize; ++i) {
                frames.append(char((i * 7 + i / 256 + 85 * k) & 0xFF));
            }
        }
        QVERIFY(writeAll(path(u"walk.bin"_s), frames));
        const QList<QStringList> steps = {
            {path(u"walk.bin"_s), u"--header"_s, path(u"walk.h"_s)},
            {path(u"walk.h"_s), u"--bin"_s, path(u"from-header.bin"_s), u"--c-text"_s,
             path(u"walk.txt"_s), u"--preview"_s, path(u"walk.png"_s)},
            {path(u"walk.txt"_s), u"--bin"_s, path(u"from-text.bin"_s), u"--header"_s,
             path(u"again/walk.h"_s)},
        };
        QVERIFY(QDir(dir.path()).mkpath(u"again"_s));
        for (const QStringList& step : steps) {
            const Run run = runProgram(QStringList{u"convert"_s} + step);
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        }
        const QByteArray header = readAll(path(u"walk.h"_s));
        QVERIFY(header.contains("#define walk_FRAMES 3\n"));
        QVERIFY(header.contains("walk[walk_FRAMES][walk_SIZE] = {"));
        QCOMPARE(readAll(path(u"again/walk.h"_s)), header);
        QVERIFY(readAll(path(u"from-header.bin"_s)) == frames);
        QVERIFY(readAll(path(u"from-text.bin"_s)) == frames);
        QVERIFY(bytesOfCText(readAll(path(u"walk.txt"_s))) == frames);
        const QImage preview(path(u"walk.png"_s));
        QCOMPARE(preview.size(), QSize(kFrameWidth, 3 * kFrameHeight));
        QCOMPARE(preview.pixel(0, 2 * kFrameHeight), qRgb(0xA0, 0xA0, 0xB0));

        // Delays given by hand in the header are written back as they were.
        QByteArray timed = header;
        QCOMPARE(timed.count("\n    0, 0, 0,\n"), 1);
        timed.replace("\n    0, 0, 0,\n", "\n    40, 80, 65535,\n");
        QVERIFY(writeAll(path(u"timed.h"_s), timed));
        const Run run = runProgram({u"convert"_s, path(u"timed.h"_s), u"--name"_s, u"walk"_s,
                                    u"--header"_s, path(u"timed-again.h"_s)});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(readAll(path(u"timed-again.h"_s)), timed);
    }

    void refusedFramesAndNames_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("a frame file one byte long")
            << QStringList{path(u"long.bin"_s), u"--bin"_s, path(u"out.bin"_s)} << 1
            << u"帧数据应为 9849 字节或其整数倍，此文件为 9850 字节"_s;
        QTest::newRow("four frames and one byte")
            << QStringList{path(u"set.bin"_s), u"--header"_s, path(u"out.h"_s)} << 1
            << u"帧数据应为 9849 字节或其整数倍，此文件为 39397 字节"_s;
        QTest::newRow("a name that is no identifier")
            << QStringList{picture, u"--header"_s, path(u"out.h"_s), u"--name"_s, u"2logo"_s} << 2
            << u"不是合法的 C 标识符"_s;
        QTest::newRow("a keyword as name")
            << QStringList{picture, u"--header"_s, path(u"out.h"_s), u"--name"_s, u"void"_s} << 2
            << u"是 C 语言的关键字"_s;
        QTest::newRow("an attribute that ends the declaration")
            << QStringList{picture, u"--header"_s, path(u"out.h"_s), u"--attribute"_s, u"; int x"_s}
            << 2 << u"不能含换行、花括号、分号或注释"_s;
    }
    void refusedFramesAndNames() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QVERIFY(writeAll(path(u"long.bin"_s), QByteArray(kFrameSize + 1, '\x11')));
        QVERIFY(writeAll(path(u"set.bin"_s), QByteArray(4 * kFrameSize + 1, '\x11')));
        const Run run = runProgram(QStringList{u"convert"_s} + arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(path(u"out.bin"_s)) && !QFile::exists(path(u"out.h"_s)));
    }

    void headersCompile_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("defines");
        QTest::newRow("one frame, named, with an attribute")
            << QStringList{u"--name"_s, u"splash"_s, u"--attribute"_s,
                           u"__attribute__((aligned(4)))"_s}
            << QStringList{u"-DNAME=splash"_s, u"-DFRAMES=1"_s};
        QTest::newRow("one frame named after a Chinese file name")
            << QStringList{} << QStringList{u"-DNAME=u542f_u52a8_u753b_u9762"_s, u"-DFRAMES=1"_s};
        // ImageMagick's -delay counts hundredths of a second: 25 is 250 ms.
        QTest::newRow("frame set")
            << QStringList{u"--all-frames"_s}
            << QStringList{u"-DNAME=anim"_s, u"-DFRAMES=anim_FRAMES"_s, u"-DFIRST_DELAY=250"_s};
    }
    void headersCompile() {
        QFETCH(QStringList, options);
        QFETCH(QStringList, defines);
        if (QStringLiteral(RAVIK_C_COMPILER).isEmpty()) {
            QSKIP("no C compiler found at configure time");
        }
        QString input = picture;
        if (options.contains(u"--all-frames"_s)) {
            input = path(u"anim.gif"_s);
            QVERIFY(savePicture(colourful(120, 90), path(u"anim-1.png"_s)));
            const Run made =
                runCommand(kImageMagick, {u"-delay"_s, u"25"_s, path(u"anim-1.png"_s), u"-size"_s,
                                          u"98x67"_s, u"xc:navy"_s, input});
            QVERIFY2(made.exitCode == 0, qPrintable(made.err));
        } else if (!options.contains(u"--name"_s)) {
            input = path(u"启动画面.png"_s);
            QVERIFY(savePicture(colourful(40, 30), input));
        }
        const QString header = path(u"frame.h"_s);
        const Run run = runProgram(QStringList{u"convert"_s, input, u"--header"_s, header,
                                               u"--bin"_s, path(u"frame.bin"_s)} +
                                   options);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(writeAll(path(u"check.c"_s), kHeaderCheck));
        const QString program = path(u"check"_s);
        const Run compiled = runCommand(
            QStringLiteral(RAVIK_C_COMPILER),
            QStringList{u"-std=c99"_s, u"-Wall"_s, u"-Wextra"_s, u"-pedantic"_s, u"-Werror"_s,
                        u"-DHEADER=\"frame.h\""_s, u"-o"_s, program, path(u"check.c"_s)} +
                defines);
        QVERIFY2(compiled.exitCode == 0, qPrintable(compiled.err));
        QCOMPARE(runCommand(program, {path(u"frame.bin"_s)}).exitCode, 0);
    }

    // Each frame composed as a viewer shows it, disposal included: as ImageMagick's -coalesce
    // composes the same file.
    void frameSetMatchesImageMagick() {
        const QString gif = path(u"disposal.gif"_s);
        const Run made = runCommand(
            kImageMagick, {u"-delay"_s,    u"10"_s,         u"-size"_s, u"100x70"_s, u"xc:red"_s,
                           u"-dispose"_s,  u"background"_s, u"("_s,     u"-size"_s,  u"40x30"_s,
                           u"xc:lime"_s,   u"-set"_s,       u"page"_s,  u"+10+10"_s, u")"_s,
                           u"-dispose"_s,  u"previous"_s,   u"("_s,     u"-size"_s,  u"30x20"_s,
                           u"xc:blue"_s,   u"-set"_s,       u"page"_s,  u"+30+25"_s, u")"_s,
                           u"-dispose"_s,  u"none"_s,       u"("_s,     u"-size"_s,  u"20x20"_s,
                           u"xc:yellow"_s, u"-set"_s,       u"page"_s,  u"+60+40"_s, u")"_s,
                           u"-loop"_s,     u"0"_s,          gif});
        QVERIFY2(made.exitCode == 0, qPrintable(made.err));
        const Run coalesced =
            runCommand(kImageMagick, {gif, u"-coalesce"_s, u"PNG32:"_s + path(u"co-%d.png"_s)});
        QVERIFY2(coalesced.exitCode == 0, qPrintable(coalesced.err));

        const Run run =
            runProgram({u"convert"_s, gif, u"--all-frames"_s, u"--bin"_s, path(u"frames.bin"_s)});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QByteArray expected;
        for (int i = 0; i < 4; ++i) {
            const QString frame = path(u"co-%1.png"_s.arg(i));
            QVERIFY(QFile::exists(frame));
            expected +=
                QByteArray::fromStdString(frameBytes(windowFrame(frame, QColor(0xF0, 0xF0, 0xF0))));
        }
        QCOMPARE(readAll(path(u"frames.bin"_s)).size(), 4 * kFrameSize);
        QVERIFY(readAll(path(u"frames.bin"_s)) == expected);
    }

    // Delays as a browser shows them: ImageMagick's -delay counts hundredths of a second, and
    // Chromium and Firefox show 0 and 10 ms as 100 ms but 20 ms as it is.
    void frameDelaysAsViewersShowThem() {
        const QString gif = path(u"delays.gif"_s);
        const Run made =
            runCommand(kImageMagick, {u"-size"_s, u"20x20"_s, u"-delay"_s, u"0"_s, u"xc:red"_s,
                                      u"-delay"_s, u"1"_s, u"xc:lime"_s, u"-delay"_s, u"2"_s,
                                      u"xc:blue"_s, u"-delay"_s, u"150"_s, u"xc:white"_s, gif});
        QVERIFY2(made.exitCode == 0, qPrintable(made.err));
        const QString header = path(u"delays.h"_s);
        const Run run = runProgram({u"convert"_s, gif, u"--all-frames"_s, u"--header"_s, header});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        static const QRegularExpression delays(
            QStringLiteral(R"(_DELAYS_MS\[\w+\] = \{\s*([^}]*)\})"));
        const auto match = delays.match(QString::fromLatin1(readAll(header)));
        QVERIFY(match.hasMatch());
        QCOMPARE(match.captured(1).simplified(), u"100, 100, 20, 1500,"_s);
    }

    // A scaling fit gets whole frames: the right half of a 196 × 134 frame lands in the box.
    void frameSetsScaleWithTheFit() {
        const QString gif = path(u"halves.gif"_s);
        const Run made = runCommand(
            kImageMagick, {u"-delay"_s, u"10"_s, u"("_s, u"-size"_s, u"98x134"_s, u"xc:red"_s,
                           u"-size"_s, u"98x134"_s, u"xc:blue"_s, u"+append"_s, u")"_s, u"("_s,
                           u"-size"_s, u"196x134"_s, u"xc:lime"_s, u")"_s, gif});
        QVERIFY2(made.exitCode == 0, qPrintable(made.err));
        const QString bin = path(u"halves.bin"_s);
        const Run run = runProgram(
            {u"convert"_s, gif, u"--all-frames"_s, u"--fit"_s, u"contain"_s, u"--bin"_s, bin});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QByteArray bytes = readAll(bin);
        QCOMPARE(bytes.size(), 2 * kFrameSize);
        FrameBuffer first;
        for (int i = 0; i < kFrameSize; ++i) {
            first[std::size_t(i)] = std::uint8_t(bytes[i]);
        }
        QCOMPARE(decodePixel(first, 10, 30), RGB(0xF0, 0, 0));
        QCOMPARE(decodePixel(first, 90, 30), RGB(0, 0, 0xF0));
    }

    void batchReportsBadPicturesAndWritesTheRest() {
        const QString good = path(u"in-a a.png"_s);
        QVERIFY(savePicture(colourful(64, 48), good));
        const QString jpeg = path(u"b.jpg"_s);
        QVERIFY2(runCommand(kImageMagick, {good, u"-quality"_s, u"90"_s, jpeg}).exitCode == 0,
                 "ImageMagick could not write the JPEG");
        const QString bad = path(u"broken.png"_s);
        QVERIFY(writeAll(bad, QByteArray("\x89PNG\r\n\x1a\n not really", 19)));
        const QString outDir = path(u"batch-out"_s);
        const Run run = runProgram(
            {u"convert"_s, good, bad, jpeg, u"--out-dir"_s, outDir, u"--bin"_s, u"--header"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"broken.png"_s), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        const QColor background(0xF0, 0xF0, 0xF0);
        QCOMPARE(readAll(outDir + u"/in-a a.bin"_s),
                 QByteArray::fromStdString(frameBytes(windowFrame(good, background))));
        QCOMPARE(readAll(outDir + u"/b.bin"_s),
                 QByteArray::fromStdString(frameBytes(windowFrame(jpeg, background))));
        QVERIFY(readAll(outDir + u"/b.h"_s).contains("static const uint8_t b[b_SIZE] = {"));
        QVERIFY(!QFile::exists(outDir + u"/broken.bin"_s));
        QVERIFY(!QFile::exists(outDir + u"/broken.h"_s));
    }

    void batchRefusesClashingNamesBeforeWriting() {
        QDir().mkpath(path(u"sub"_s));
        QVERIFY(savePicture(colourful(10, 10), path(u"sub/Logo.jpg"_s)));
        QVERIFY(savePicture(colourful(10, 10), path(u"logo.png"_s)));
        const QString outDir = path(u"clash-out"_s);
        const Run run = runProgram({u"convert"_s, path(u"logo.png"_s), path(u"sub/Logo.jpg"_s),
                                    u"--out-dir"_s, outDir, u"--bin"_s});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(u"基本名相同"_s), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(outDir));
    }

    void batchOutputIsTheSameOnOneThreadOrMany() {
        QStringList inputs;
        for (int i = 0; i < 12; ++i) {
            const QString name = path(u"many-%1.%2"_s.arg(i).arg(i % 2 ? u"jpg"_s : u"png"_s));
            QVERIFY(savePicture(colourful(80 + i * 5, 60 + i * 3), name));
            inputs << name;
        }
        QList<QByteArray> outputs;
        for (const QString& jobs : {u"1"_s, u"8"_s}) {
            const QString outDir = path(u"jobs-"_s + jobs);
            const Run run = runProgram(QStringList{u"convert"_s} + inputs +
                                       QStringList{u"--out-dir"_s, outDir, u"--jobs"_s, jobs,
                                                   u"--bin"_s, u"--c-text"_s, u"--preview"_s});
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
            QVERIFY(run.err.isEmpty()); // no progress line when stderr is not a terminal
            QByteArray all;
            const QDir out(outDir);
            const QStringList files = out.entryList(QDir::Files, QDir::Name);
            QCOMPARE(files.size(), 3 * inputs.size());
            for (const QString& file : files) {
                all += file.toUtf8() + '\0' + readAll(out.filePath(file));
            }
            outputs << all;
        }
        QVERIFY(outputs[0] == outputs[1]);
    }

    // --- what convert loads and writes without Qt Gui ---------------------------------------

    // Frame files in and .bin, C text, headers or PNG previews out need no GUI library: the
    // dynamic loader names every library the program opens. A picture still needs Qt Gui
    // (through the picture module) but never Qt Widgets.
    void loadsNoGuiLibraryWithoutNeed_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("forbidden");
        // The program links no Qt at all; only a module would bring Qt in.
        const QStringList noGui{u"libQt6Core"_s, u"libQt6Gui"_s, u"libQt6Widgets"_s,
                                u"ravik-lcd-pictures"_s, u"ravik-lcd-window"_s};
        QTest::newRow("bin to bin") << QStringList{u"in.bin"_s, u"--bin"_s, u"o.bin"_s} << noGui;
        QTest::newRow("bin to C text")
            << QStringList{u"in.bin"_s, u"--c-text"_s, u"o.txt"_s} << noGui;
        QTest::newRow("bin to header")
            << QStringList{u"in.bin"_s, u"--header"_s, u"o.h"_s} << noGui;
        QTest::newRow("bin to PNG preview, 4×")
            << QStringList{u"in.bin"_s, u"--preview"_s, u"o.png"_s, u"--preview-scale"_s, u"4"_s}
            << noGui;
        QTest::newRow("PNG preview on standard output")
            << QStringList{u"in.bin"_s, u"--preview"_s, u"-"_s} << noGui;
        QTest::newRow("C text to every output")
            << QStringList{u"in.txt"_s,   u"--bin"_s, u"p.bin"_s,     u"--c-text"_s, u"p.txt"_s,
                           u"--header"_s, u"p.h"_s,   u"--preview"_s, u"p.png"_s}
            << noGui;
        QTest::newRow("C text on standard output") << QStringList{u"in.bin"_s} << noGui;
        QTest::newRow("batch of frame files")
            << QStringList{u"in.bin"_s, u"two.txt"_s,  u"--out-dir"_s, u"out"_s,
                           u"--bin"_s,  u"--c-text"_s, u"--header"_s,  u"--preview"_s}
            << noGui;
        // Formats our own readers take need no Qt Gui either, whatever the fit; only a format
        // left to Qt's readers (XPM) loads the picture module, and never Qt Widgets.
        QTest::newRow("PNG picture")
            << QStringList{u"bands.png"_s, u"--bin"_s, u"q.bin"_s} << noGui;
        QTest::newRow("PNG picture, frame on standard output")
            << QStringList{u"bands.png"_s, u"--bin"_s, u"-"_s} << noGui;
        QTest::newRow("JPEG scaled to fit")
            << QStringList{u"bands.jpg"_s, u"--fit"_s, u"contain"_s, u"--bin"_s, u"q.bin"_s}
            << noGui;
        QTest::newRow("GIF, every frame")
            << QStringList{u"bands.gif"_s, u"--all-frames"_s, u"--header"_s, u"q.h"_s} << noGui;
        QTest::newRow("picture only Qt reads")
            << QStringList{u"bands.xpm"_s, u"--bin"_s, u"q.bin"_s}
            << QStringList{u"libQt6Widgets"_s, u"ravik-lcd-window"_s};
    }
    void loadsNoGuiLibraryWithoutNeed() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, forbidden);
        QTemporaryDir work;
        QVERIFY(writeAll(work.filePath(u"in.bin"_s), handBuiltFrames(1)));
        const QByteArray zeroText = QByteArray::fromStdString(formatCArrayText(FrameBuffer{}));
        QVERIFY(writeAll(work.filePath(u"in.txt"_s), zeroText));
        QVERIFY(writeAll(work.filePath(u"two.txt"_s), zeroText));
        QVERIFY(QFile::copy(bands, work.filePath(u"bands.png"_s)));
        const QImage picture(bands);
        for (const char* format : {"jpg", "xpm"}) {
            const QString name = u"bands."_s + QLatin1StringView(format);
            QVERIFY(picture.save(work.filePath(name), format));
        }
        QVERIFY(run(kImageMagick, {bands, work.filePath(u"bands.gif"_s)}));
        QStringList inWork;
        for (const QString& argument : arguments) {
            inWork << (argument.contains(u'.') || argument == u"out" ? work.filePath(argument)
                                                                     : argument);
        }
        const Run run = runCommand(QStringLiteral(RAVIK_EXECUTABLE),
                                   QStringList{u"convert"_s} + inWork, {u"LD_DEBUG=files"_s});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err.right(500)));
        const QStringList opened = openedLibraries(run.err);
        if (opened.filter(u"libc.so"_s).isEmpty()) {
            QSKIP("the dynamic loader does not say which libraries it opens");
        }
        for (const QString& library : forbidden) {
            QVERIFY2(opened.filter(library).isEmpty(),
                     qPrintable(library + u" was loaded: "_s + opened.join(u' ')));
        }
    }

    // The program's own dynamic section names no Qt or font library: they come in only with a
    // module.
    void linksNoQtLibrary() {
#ifndef Q_OS_LINUX
        QSKIP("reads an ELF dynamic section");
#else
        const QString readelf = QStandardPaths::findExecutable(u"readelf"_s);
        if (readelf.isEmpty()) {
            QSKIP("readelf is not installed");
        }
        const Run dynamic = runCommand(readelf, {u"-d"_s, QStringLiteral(RAVIK_EXECUTABLE)});
        QCOMPARE(dynamic.exitCode, 0);
        static const QRegularExpression needed(QStringLiteral(R"(\(NEEDED\).*\[(\S+)\])"));
        QStringList libraries;
        for (const auto& match : needed.globalMatch(QString::fromUtf8(dynamic.out))) {
            libraries << match.captured(1);
        }
        QVERIFY2(!libraries.filter(u"libc.so"_s).isEmpty(), dynamic.out.constData());
        QVERIFY2(!libraries.filter(u"libpng"_s).isEmpty(), qPrintable(libraries.join(u' ')));
        // Neither Qt nor the font libraries, which only `font`'s module loads.
        for (const QString& kept : {u"Qt"_s, u"freetype"_s, u"fontconfig"_s}) {
            QVERIFY2(libraries.filter(kept, Qt::CaseInsensitive).isEmpty(),
                     qPrintable(libraries.join(u' ')));
        }
#endif
    }

    // The program copied away from its modules still converts frame files and pictures our own
    // readers take to every output but a JPEG preview; a picture only Qt reads, a JPEG preview
    // and the window say which module is missing, and write nothing.
    void withoutItsModules() {
        QTemporaryDir alone;
        const QString program = alone.filePath(u"ravik-lcd"_s);
        QVERIFY(QFile::copy(QStringLiteral(RAVIK_EXECUTABLE), program));
        QVERIFY(writeAll(alone.filePath(u"in.bin"_s), handBuiltFrames(1)));
        const Run frame = runCommand(program, {u"convert"_s, alone.filePath(u"in.bin"_s),
                                               u"--header"_s, alone.filePath(u"out.h"_s),
                                               u"--preview"_s, alone.filePath(u"out.png"_s)});
        QVERIFY2(frame.exitCode == 0, qPrintable(frame.err));
        QVERIFY(QFile::exists(alone.filePath(u"out.png"_s)));
        const Run png = runCommand(program, {u"convert"_s, bands, u"--fit"_s, u"contain"_s,
                                             u"--bin"_s, alone.filePath(u"png.bin"_s)});
        QVERIFY2(png.exitCode == 0, qPrintable(png.err));
        QVERIFY(QFile::exists(alone.filePath(u"png.bin"_s)));
        const Run piped = runCommand(program, {u"convert"_s, bands, u"--bin"_s, u"-"_s});
        QVERIFY2(piped.exitCode == 0, qPrintable(piped.err));
        QCOMPARE(piped.out.size(), kFrameSize);

        const QString xpm = alone.filePath(u"bands.xpm"_s);
        QVERIFY(QImage(bands).save(xpm, "xpm"));
        const QList<QStringList> needingModules{
            {u"convert"_s, xpm, u"--bin"_s, alone.filePath(u"picture.bin"_s)},
            {u"convert"_s, alone.filePath(u"in.bin"_s), u"--bin"_s,
             alone.filePath(u"picture.bin"_s), u"--preview"_s, alone.filePath(u"out.jpg"_s)},
            {}};
        for (const QStringList& arguments : needingModules) {
            const Run run = runCommand(program, arguments, {u"QT_QPA_PLATFORM=offscreen"_s});
            QVERIFY(run.exitCode != 0);
            QVERIFY2(run.err.contains(u"无法载入程序模块“ravik-lcd-"_s), qPrintable(run.err));
            QVERIFY(!QFile::exists(alone.filePath(u"picture.bin"_s)));
        }
    }

    // The PNG preview read back by ImageMagick, every pixel against the frames' hand-told
    // colours: each frame pixel as scale × scale pixels, a set's frames one below the other.
    void pngPreviewHasTheShownPixels_data() {
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("output");
        QTest::newRow("one frame") << 1 << 1 << u"one.png"_s;
        QTest::newRow("one frame on standard output") << 1 << 2 << u"-"_s;
        QTest::newRow("two frames, 3×") << 2 << 3 << u"two.png"_s;
        QTest::newRow("two frames, 16×") << 2 << 16 << u"big.png"_s;
    }
    void pngPreviewHasTheShownPixels() {
        QFETCH(int, frames);
        QFETCH(int, scale);
        QFETCH(QString, output);
        const QString input = path(u"shown-%1.bin"_s.arg(frames));
        QVERIFY(writeAll(input, handBuiltFrames(frames)));
        const QString target = output == u"-" ? path(u"piped.png"_s) : path(output);
        const Run run =
            runProgram({u"convert"_s, input, u"--preview"_s, output == u"-" ? output : target,
                        u"--preview-scale"_s, QString::number(scale)});
        QCOMPARE(run.exitCode, 0);
        if (output == u"-") {
            QVERIFY(writeAll(target, run.out));
        }
        const int width = kFrameWidth * scale;
        const int height = kFrameHeight * scale * frames;
        const Run size = runCommand(u"/usr/bin/identify"_s, {u"-format"_s, u"%w %h %z"_s, target});
        QCOMPARE(size.out, u"%1 %2 8"_s.arg(width).arg(height).toLatin1());
        const Run rgb = runCommand(kImageMagick, {target, u"-depth"_s, u"8"_s, u"rgb:-"_s});
        QCOMPARE(rgb.out.size(), qsizetype(width) * height * 3);
        const auto* in = reinterpret_cast<const uchar*>(rgb.out.constData());
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x, in += 3) {
                const int frameY = y / scale;
                const QRgb expected =
                    handBuiltPixel(frameY / kFrameHeight, x / scale, frameY % kFrameHeight);
                if (qRgb(in[0], in[1], in[2]) != expected) {
                    QFAIL(qPrintable(
                        u"pixel (%1, %2) is %3 %4 %5"_s.arg(x).arg(y).arg(in[0]).arg(in[1]).arg(
                            in[2])));
                }
            }
        }
    }

    // On a terminal the batch shows "[done/total] file" on stderr; `script` gives it one.
    void batchShowsProgressOnATerminal() {
        const QString script = QStandardPaths::findExecutable(u"script"_s);
        if (script.isEmpty()) {
            QSKIP("no script(1) to run the program on a terminal");
        }
        QVERIFY(savePicture(colourful(20, 20), path(u"tty-a.png"_s)));
        QVERIFY(savePicture(colourful(30, 20), path(u"tty-b.png"_s)));
        const QString command = u"'%1' convert '%2' '%3' --out-dir '%4' --bin"_s.arg(
            QStringLiteral(RAVIK_EXECUTABLE), path(u"tty-a.png"_s), path(u"tty-b.png"_s),
            path(u"tty-out"_s));
        const Run run = runCommand(script, {u"-qec"_s, command, u"/dev/null"_s});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains("[2/2] "), run.out.constData());
        QVERIFY(QFile::exists(path(u"tty-out/tty-b.bin"_s)));
    }
    // --- Pictures of any size, cut, turned and tiled ----------------------------------------

    void shapedPictures_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QRect>("crop");
        QTest::addColumn<int>("degrees");
        QTest::addColumn<QString>("flip");
        QTest::addColumn<QSize>("tile");     // empty: the whole shaped picture
        QTest::addColumn<QString>("margin"); // what stderr says of the margin; empty: nothing
        const QRect whole(0, 0, kSheetWidth, kSheetHeight);
        QTest::newRow("whole picture at its own size")
            << QStringList{u"--size"_s, u"7x5"_s} << whole << 0 << u"none"_s << QSize() << u""_s;
        QTest::newRow("crop gives its own pixels")
            << QStringList{u"--crop"_s, u"1,1,3,2"_s} << QRect(1, 1, 3, 2) << 0 << u"none"_s
            << QSize() << u""_s;
        QTest::newRow("1 x 1 crop") << QStringList{u"--crop"_s, u"6,4,1,1"_s} << QRect(6, 4, 1, 1)
                                    << 0 << u"none"_s << QSize() << u""_s;
        for (const int degrees : {90, 180, 270}) {
            QTest::addRow("rotate %d", degrees)
                << QStringList{u"--rotate"_s, QString::number(degrees), u"--size"_s,
                               degrees == 180 ? u"7x5"_s : u"5x7"_s}
                << whole << degrees << u"none"_s << QSize() << u""_s;
        }
        for (const QString& flip : {u"horizontal"_s, u"vertical"_s}) {
            QTest::addRow("flip %s", qPrintable(flip))
                << QStringList{u"--size"_s, u"7x5"_s, u"--flip"_s, flip} << whole << 0 << flip
                << QSize() << u""_s;
        }
        QTest::newRow("crop, rotate 90, flip horizontal (flip after the turn)")
            << QStringList{u"--crop"_s, u"2,0,5,3"_s, u"--rotate"_s,
                           u"90"_s,     u"--flip"_s,  u"horizontal"_s}
            << QRect(2, 0, 5, 3) << 90 << u"horizontal"_s << QSize() << u""_s;
        QTest::newRow("tiles of odd size with a margin")
            << QStringList{u"--tiles"_s, u"3x2"_s} << whole << 0 << u"none"_s << QSize(3, 2)
            << u"右边余下 1 像素、下边余下 1 像素"_s;
        QTest::newRow("crop, rotate 270, flip vertical, tiles")
            << QStringList{u"--crop"_s, u"1,0,6,5"_s,  u"--rotate"_s, u"270"_s,
                           u"--flip"_s, u"vertical"_s, u"--tiles"_s,  u"5x2"_s}
            << QRect(1, 0, 6, 5) << 270 << u"vertical"_s << QSize(5, 2) << u""_s;
        QTest::newRow("tiles with a margin only at the bottom")
            << QStringList{u"--crop"_s, u"0,0,6,5"_s, u"--tiles"_s, u"3x2"_s} << QRect(0, 0, 6, 5)
            << 0 << u"none"_s << QSize(3, 2) << u"右边余下 0 像素、下边余下 1 像素"_s;
        QTest::newRow("1 x 1 tiles, no margin")
            << QStringList{u"--crop"_s, u"0,0,2,2"_s, u"--tiles"_s, u"1x1"_s} << QRect(0, 0, 2, 2)
            << 0 << u"none"_s << QSize(1, 1) << u""_s;
    }
    void shapedPictures() {
        QFETCH(QStringList, options);
        QFETCH(QRect, crop);
        QFETCH(int, degrees);
        QFETCH(QString, flip);
        QFETCH(QSize, tile);
        QFETCH(QString, margin);
        const QString sheet = path(u"sheet.ppm"_s);
        QVERIFY(writeAll(sheet, sheetPpm()));
        const Shaped shaped = shapedSheet(crop, degrees, flip);
        const QSize piece = tile.isEmpty() ? QSize(shaped.width, shaped.height) : tile;
        const QByteArray expected = expectedTiles(shaped, piece.width(), piece.height());
        const Run run = runProgram(QStringList{u"convert"_s, sheet, u"--bin"_s, u"-"_s} + options);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(run.out.toHex(' '), expected.toHex(' '));
        if (margin.isEmpty()) {
            QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        } else {
            QVERIFY2(run.err.contains(margin), qPrintable(run.err));
        }
        // The header says the same size and count, and holds the same bytes.
        const Run header = runProgram(
            QStringList{u"convert"_s, sheet, u"--header"_s, u"-"_s, u"--name"_s, u"s"_s} + options);
        QCOMPARE(header.exitCode, 0);
        QVERIFY(header.out.contains("#define s_WIDTH " + QByteArray::number(piece.width()) + "\n"));
        QVERIFY(
            header.out.contains("#define s_HEIGHT " + QByteArray::number(piece.height()) + "\n"));
        const int onePicture = (piece.width() * piece.height() * 3 + 1) / 2;
        QVERIFY(header.out.contains("#define s_SIZE " + QByteArray::number(onePicture) + "\n"));
        QCOMPARE(header.out.contains("#define s_COUNT " +
                                     QByteArray::number(expected.size() / onePicture) + "\n"),
                 !tile.isEmpty());
        QCOMPARE(bytesOfCText(header.out), expected);
    }

    // Worked by hand: the 1 × 1 crop at (2, 1) is red 3, green 3, blue 4 of the sheet, packed
    // into 0x33 0x40; 98 × 67 with none of the options stays the frame's 9849 bytes.
    void handPackedSmallPictures() {
        const QString sheet = path(u"sheet.ppm"_s);
        QVERIFY(writeAll(sheet, sheetPpm()));
        Run run = runProgram({u"convert"_s, sheet, u"--crop"_s, u"2,1,1,1"_s, u"--bin"_s, u"-"_s});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QByteArray("\x33\x40", 2));
        // Pixels (1, 0) and (2, 0) turned half round: (2, 0) first. R3 G2 B2, R2 G2 B1.
        run = runProgram({u"convert"_s, sheet, u"--crop"_s, u"1,0,2,1"_s, u"--rotate"_s, u"180"_s,
                          u"--bin"_s, u"-"_s});
        QCOMPARE(run.out, QByteArray("\x32\x22\x21", 3));
        run = runProgram({u"convert"_s, bands, u"--size"_s, u"98x67"_s, u"--bin"_s, u"-"_s});
        QCOMPARE(run.out, bandFrame(band));
    }

    // --size scales with the fit as the frame does: a flat colour stays flat at any size, and a
    // smaller picture stands on the background.
    void sizeWithFitAndBackground_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("expected");
        // 5 × 3 pixels: 15 of R1 G2 B3, 23 bytes (the last low nibble 0).
        QByteArray flat;
        for (int i = 0; i < 22; ++i) {
            flat.append("\x12\x31\x23"[i % 3]);
        }
        flat.append('\x30');
        QTest::newRow("stretched down")
            << QStringList{u"--size"_s, u"5x3"_s, u"--fit"_s, u"stretch"_s} << flat;
        QTest::newRow("corner at its own size") << QStringList{u"--size"_s, u"5x3"_s} << flat;
        // 2 × 2 picture in a 3 × 1 box: two pixels of it, then the background (F0F0F0 → F F F).
        QTest::newRow("larger box than the picture")
            << QStringList{u"--size"_s, u"3x1"_s,    u"--background"_s,
                           u"F0F0F0"_s, u"--crop"_s, u"0,0,2,1"_s}
            << QByteArray("\x12\x31\x23\xFF\xF0", 5);
    }
    void sizeWithFitAndBackground() {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, expected);
        QByteArray ppm = "P6\n20 12\n255\n";
        for (int i = 0; i < 20 * 12; ++i) {
            ppm.append("\x1A\x2B\x3C", 3);
        }
        const QString flat = path(u"flat.ppm"_s);
        QVERIFY(writeAll(flat, ppm));
        const Run run = runProgram(QStringList{u"convert"_s, flat, u"--bin"_s, u"-"_s} + options);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(run.out.toHex(' '), expected.toHex(' '));
    }

    // Masks: a pixel is drawn from alpha 128 up; --key makes its colour wholly transparent and
    // the background shows there. One bit a pixel, rows padded, the leftmost in the top bit.
    void masks_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("mask");
        QTest::addColumn<QByteArray>("pixels"); // empty: not checked
        // Row 0 alphas 0, 127, 128, 255, 200, 10, 255, 255, 128 (9 wide: two bytes a row),
        // row 1 all 255 but the first.
        QTest::newRow("alpha") << QStringList{u"--size"_s, u"9x2"_s}
                               << QByteArray("\x3B\x80\x7F\x80", 4) << QByteArray();
        QTest::newRow("alpha, flipped")
            << QStringList{u"--size"_s, u"9x2"_s, u"--flip"_s, u"horizontal"_s}
            << QByteArray("\xEE\x00\xFF\x00", 4) << QByteArray();
        QTest::newRow("alpha, 2 x 2 tiles with a margin")
            << QStringList{u"--tiles"_s, u"2x2"_s}
            << QByteArray("\x00\x40\xC0\xC0\x80\xC0\xC0\xC0", 8) << QByteArray();
    }
    void masks() {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, mask);
        QImage picture(9, 2, QImage::Format_ARGB32);
        const int alphas[9] = {0, 127, 128, 255, 200, 10, 255, 255, 128};
        for (int x = 0; x < 9; ++x) {
            picture.setPixel(x, 0, qRgba(0x80, 0x40, 0x20, alphas[x]));
            picture.setPixel(x, 1, qRgba(0x80, 0x40, 0x20, x == 0 ? 0 : 255));
        }
        const QString input = path(u"alpha.png"_s);
        QVERIFY(savePicture(picture, input));
        const Run run =
            runProgram(QStringList{u"convert"_s, input, u"--mask-bin"_s, u"-"_s} + options);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(run.out.toHex(' '), mask.toHex(' '));
    }

    void keyColour() {
        // 3 × 1, opaque: magenta, R1 G2 B3 (0x102030), magenta; keyed over a black background.
        const QString input = path(u"keyed.ppm"_s);
        QVERIFY(writeAll(input,
                         QByteArray("P6\n3 1\n255\n\xFF\x00\xFF\x10\x20\x30\xFF\x00\xFF", 11 + 9)));
        const Run run = runProgram({u"convert"_s, input, u"--key"_s, u"#ff00ff"_s,
                                    u"--background"_s, u"000000"_s, u"--size"_s, u"3x1"_s,
                                    u"--mask-bin"_s, path(u"keyed.mask"_s), u"--bin"_s, u"-"_s});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(readAll(path(u"keyed.mask"_s)), QByteArray("\x40", 1));
        QCOMPARE(run.out.toHex(' '), QByteArray("\x00\x01\x23\x00\x00", 5).toHex(' '));
        // Without --mask the key still leaves the background there.
        const Run plain = runProgram({u"convert"_s, input, u"--key"_s, u"FF00FF"_s, u"--size"_s,
                                      u"3x1"_s, u"--bin"_s, u"-"_s});
        QCOMPARE(plain.out.toHex(' '), QByteArray("\xFF\xF1\x23\xFF\xF0", 5).toHex(' '));
    }

    // A header of tiles with masks, compiled with the firmware runtime and drawn by it.
    void tilesDrawnByTheRuntime() {
        if (QStringLiteral(RAVIK_C_COMPILER).isEmpty()) {
            QSKIP("no C compiler found at configure time");
        }
        // The sheet's crop 0,0,6,4 cut into 3 × 2 tiles; tile 1 is x 3–5, y 0–1. Its mask
        // comes from --key: sheet pixel (4, 1), R5 G3 B6 = (0x59, 0x36, 0x6C), is keyed.
        const QString sheet = path(u"sheet.ppm"_s);
        QVERIFY(writeAll(sheet, sheetPpm()));
        const Run run = runProgram({u"convert"_s, sheet, u"--crop"_s, u"0,0,6,4"_s, u"--tiles"_s,
                                    u"3x2"_s, u"--key"_s, u"59366C"_s, u"--mask"_s, u"--header"_s,
                                    path(u"sprites.h"_s), u"--name"_s, u"sprites"_s});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(writeAll(path(u"draw.c"_s), kDrawCheck));
        const QString program = path(u"draw"_s);
        const QString runtime = QStringLiteral(RAVIK_RUNTIME_DIR);
        // Drawn: tile pixel (2, 0) is sheet (5, 0): R6 G2 B5.
        const Run compiled = runCommand(
            QStringLiteral(RAVIK_C_COMPILER),
            {u"-std=c99"_s, u"-Wall"_s, u"-Wextra"_s, u"-pedantic"_s, u"-Werror"_s,
             u"-I"_s + dir.path(), u"-I"_s + runtime, u"-DDRAWN_X=2"_s, u"-DDRAWN_Y=0"_s,
             u"-DDRAWN_RGB=0x625"_s, u"-DCLEAR_X=1"_s, u"-DCLEAR_Y=1"_s,
             // Frame pixel (4, 6) starts at nibble 3 · (4 + 98 · 6), an even one: 0, F, 0.
             u"-DCLEAR_RGB=0x0F0"_s, u"-o"_s, program, path(u"draw.c"_s),
             runtime + u"/ravik_lcd.c"_s});
        QVERIFY2(compiled.exitCode == 0, qPrintable(compiled.err));
        QCOMPARE(runCommand(program, {}).exitCode, 0);
    }

    // Frame sets at another size: each frame's corner, packed at that size.
    void frameSetAtAnotherSize() {
        const QString anim = path(u"two.gif"_s);
        const Run made = runCommand(kImageMagick,
                                    {u"-size"_s, u"6x4"_s, u"xc:#102030"_s, u"xc:#405060"_s, anim});
        QVERIFY2(made.exitCode == 0, qPrintable(made.err));
        const Run run = runProgram(
            {u"convert"_s, anim, u"--all-frames"_s, u"--size"_s, u"4x3"_s, u"--bin"_s, u"-"_s});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QByteArray expected;
        for (const char* triple : {"\x12\x31\x23", "\x45\x64\x56"}) {
            for (int i = 0; i < 6; ++i) {
                expected.append(triple, 3);
            }
        }
        QCOMPARE(run.out.toHex(' '), expected.toHex(' '));
        const Run header = runProgram({u"convert"_s, anim, u"--all-frames"_s, u"--size"_s, u"4x3"_s,
                                       u"--header"_s, u"-"_s, u"--name"_s, u"a"_s});
        QVERIFY(header.out.contains("#define a_SIZE 18\n#define a_FRAMES 2\n"));
        QCOMPARE(bytesOfCText(header.out.left(header.out.indexOf("DELAYS"))), expected);
    }

    void shapingUsageErrors_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("named"); // the option and the value the message names
        const auto row = [](const char* name, QStringList options, QString named) {
            QTest::newRow(name) << options << named;
        };
        row("size of zero", {u"--size"_s, u"0x5"_s}, u"--size 的值“0x5”"_s);
        row("size without height", {u"--size"_s, u"98"_s}, u"--size 的值“98”"_s);
        row("size too large", {u"--size"_s, u"1025x1"_s}, u"--size 的值“1025x1”"_s);
        row("rotate 45", {u"--rotate"_s, u"45"_s}, u"--rotate 的值“45”"_s);
        row("rotate 360", {u"--rotate"_s, u"360"_s}, u"--rotate 的值“360”"_s);
        row("flip diagonal", {u"--flip"_s, u"diagonal"_s}, u"--flip 的值“diagonal”"_s);
        row("crop of three numbers", {u"--crop"_s, u"1,2,3"_s}, u"--crop 的值“1,2,3”"_s);
        row("crop of five numbers", {u"--crop"_s, u"1,2,3,4,5"_s}, u"--crop 的值“1,2,3,4,5”"_s);
        row("crop of no width", {u"--crop"_s, u"0,0,0,4"_s}, u"--crop 的值“0,0,0,4”"_s);
        row("crop at a negative x", {u"--crop"_s, u"-1,0,2,2"_s}, u"--crop 的值“-1,0,2,2”"_s);
        row("key not hex", {u"--key"_s, u"12345G"_s}, u"--key 的值“12345G”"_s);
        row("tiles of zero", {u"--tiles"_s, u"0x8"_s}, u"--tiles 的值“0x8”"_s);
        row("tiles with all frames", {u"--tiles"_s, u"2x2"_s, u"--all-frames"_s},
            u"--tiles 不能与 --all-frames"_s);
        row("mask and binary both on standard output",
            {u"--mask-bin"_s, u"-"_s, u"--bin"_s, u"-"_s}, u"--bin、--mask-bin"_s);
    }
    void shapingUsageErrors() {
        QFETCH(QStringList, options);
        QFETCH(QString, named);
        const QString output = path(u"never.h"_s);
        QFile::remove(output);
        for (const bool batch : {false, true}) {
            if (batch && options.contains(u"-"_s)) {
                continue; // a batch writes no standard output
            }
            QStringList arguments{u"convert"_s, picture};
            arguments += batch ? QStringList{u"--out-dir"_s, path(u"never"_s), u"--header"_s}
                               : QStringList{u"--header"_s, output};
            const Run run = runProgram(arguments + options);
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.contains(named), qPrintable(run.err));
            QVERIFY(!QFile::exists(output));
            QVERIFY(!QFileInfo::exists(path(u"never"_s)));
        }
    }

    // A rectangle outside the picture is a failure that gives the picture's size, and nothing
    // is written; so is a tile larger than the sheet.
    void outOfPictureCropWritesNothing_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("message");
        QTest::newRow("crop past the right edge")
            << QStringList{u"--crop"_s, u"5,0,3,2"_s} << u"图片为 7 × 5 像素"_s;
        QTest::newRow("crop below the bottom")
            << QStringList{u"--crop"_s, u"0,5,1,1"_s} << u"图片为 7 × 5 像素"_s;
        QTest::newRow("tile larger than the sheet")
            << QStringList{u"--tiles"_s, u"8x2"_s} << u"7 × 5 像素"_s;
    }
    void outOfPictureCropWritesNothing() {
        QFETCH(QStringList, options);
        QFETCH(QString, message);
        const QString sheet = path(u"sheet.ppm"_s);
        QVERIFY(writeAll(sheet, sheetPpm()));
        QVERIFY(writeAll(path(u"kept.bin"_s), "old"));
        const Run run = runProgram(QStringList{u"convert"_s, sheet, u"--bin"_s, path(u"kept.bin"_s),
                                               u"--header"_s, path(u"new.h"_s)} +
                                   options);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(readAll(path(u"kept.bin"_s)), QByteArray("old"));
        QVERIFY(!QFile::exists(path(u"new.h"_s)));
    }

    // A batch applies the same shaping to every input and writes each one's masks beside it.
    void batchTilesAndMasks() {
        const QString sheet = path(u"sheet.ppm"_s);
        QVERIFY(writeAll(sheet, sheetPpm()));
        const QString second = path(u"second.ppm"_s);
        QVERIFY(writeAll(second, sheetPpm()));
        const QString out = path(u"tiles-out"_s);
        const Run run = runProgram({u"convert"_s, sheet, second, u"--out-dir"_s, out, u"--bin"_s,
                                    u"--mask-bin"_s, u"--tiles"_s, u"3x2"_s, u"--jobs"_s, u"2"_s});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.err.count(u"右边余下 1 像素、下边余下 1 像素"_s) == 2, qPrintable(run.err));
        const QByteArray expected =
            expectedTiles(shapedSheet({0, 0, kSheetWidth, kSheetHeight}, 0, u"none"_s), 3, 2);
        for (const QString& name : {u"sheet"_s, u"second"_s}) {
            QCOMPARE(readAll(out + u"/"_s + name + u".bin"_s), expected);
            // Four opaque 3 × 2 tiles: each row 1110 0000.
            QCOMPARE(readAll(out + u"/"_s + name + u".mask"_s), QByteArray(8, '\xE0'));
        }
    }

    // `font` writes the header the font job makes for the same choices (the window makes its
    // fonts there too), and a preview of the panel's size times the scale.
    void fontCommandWritesTheJobsHeader_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("alpha");
        QTest::addColumn<QString>("color"); // RRGGBB; empty: the default
        QTest::newRow("coverage") << QStringList{u"--alpha"_s} << true << QString();
        QTest::newRow("colours") << QStringList{u"--color"_s, u"FFCC00"_s, u"--background"_s,
                                                u"102030"_s}
                                 << false << u"FFCC00"_s;
    }
    void fontCommandWritesTheJobsHeader() {
        QFETCH(QStringList, options);
        QFETCH(bool, alpha);
        QFETCH(QString, color);
        fonts::FontJob job;
        job.pixelSize = 14;
        job.chars = {"ascii", "你好，世界"};
        job.alpha = alpha;
        job.name = "ui_text";
        if (!color.isEmpty()) {
            job.color = RGB(0xFF, 0xCC, 0x00);
            job.background = RGB(0x10, 0x20, 0x30);
        }
        const fonts::FontJobResult expected = fonts::runFontJob(job);
        if (!expected.ok()) {
            QSKIP(
                qPrintable(u"no font for the test: "_s + QString::fromStdString(expected.failure)));
        }
        const QString header = path(u"ui_text.h"_s);
        const QString preview = path(u"text.png"_s);
        const Run run = runProgram(
            QStringList{u"font"_s, u"--size"_s, u"14"_s, u"--chars"_s, u"ascii"_s, u"--chars"_s,
                        u"你好，世界"_s, u"--header"_s, header, u"--preview"_s, preview,
                        u"--text"_s, u"你好 Hi"_s, u"--preview-scale"_s, u"3"_s} +
            options);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(readAll(header).toStdString(), expected.header);
        // The PNG's header: its width and height, big-endian, at bytes 16 and 20.
        const QByteArray png = readAll(preview);
        QVERIFY(png.startsWith("\x89PNG"));
        const auto be32 = [&png](int at) {
            return quint32(uchar(png[at])) << 24 | quint32(uchar(png[at + 1])) << 16 |
                   quint32(uchar(png[at + 2])) << 8 | uchar(png[at + 3]);
        };
        QCOMPARE(be32(16), quint32(kFrameWidth * 3));
        QCOMPARE(be32(20), quint32(kFrameHeight * 3));
    }

    // Mistakes in `font`'s command line: exit 2 and a message naming them; a character the font
    // lacks: exit 1 naming its code point. Nothing is written either way.
    void fontCommandRefuses_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QStringList base{u"font"_s, u"--chars"_s, u"ab"_s, u"--header"_s, u"refused.h"_s};
        QTest::newRow("no size") << base << 2 << u"--size"_s;
        QTest::newRow("size too small") << base + QStringList{u"--size"_s, u"2"_s} << 2 << u"“2”"_s;
        QTest::newRow("size not a number")
            << base + QStringList{u"--size"_s, u"16px"_s} << 2 << u"“16px”"_s;
        QTest::newRow("size twice")
            << base + QStringList{u"--size"_s, u"16"_s, u"--size"_s, u"12"_s} << 2 << u"--size"_s;
        QTest::newRow("no characters")
            << QStringList{u"font"_s, u"--size"_s, u"16"_s, u"--header"_s, u"refused.h"_s} << 2
            << u"--chars"_s;
        QTest::newRow("no output")
            << QStringList{u"font"_s, u"--size"_s, u"16"_s, u"--chars"_s, u"ab"_s} << 2
            << u"--header"_s;
        QTest::newRow("coverage with a background")
            << base +
                   QStringList{u"--size"_s, u"16"_s, u"--alpha"_s, u"--background"_s, u"000000"_s}
            << 2 << u"--background"_s;
        QTest::newRow("bad colour")
            << base + QStringList{u"--size"_s, u"16"_s, u"--color"_s, u"12345G"_s} << 2
            << u"12345G"_s;
        QTest::newRow("preview without text")
            << base + QStringList{u"--size"_s, u"16"_s, u"--preview"_s, u"refused.png"_s} << 2
            << u"--text"_s;
        QTest::newRow("unknown hinting")
            << base + QStringList{u"--size"_s, u"16"_s, u"--hinting"_s, u"strong"_s} << 2
            << u"strong"_s;
        QTest::newRow("bad array name")
            << base + QStringList{u"--size"_s, u"16"_s, u"--name"_s, u"2font"_s} << 2 << u"2font"_s;
        QTest::newRow("unknown option")
            << base + QStringList{u"--size"_s, u"16"_s, u"--bold"_s} << 2 << u"--bold"_s;
        QTest::newRow("a character the font lacks")
            << base + QStringList{u"--size"_s, u"16"_s, u"--chars"_s, u"U+E000"_s} << 1
            << u"U+E000"_s;
    }
    void fontCommandRefuses() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QDir::setCurrent(dir.path());
        const Run run = runCommand(QStringLiteral(RAVIK_EXECUTABLE), arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(path(u"refused.h"_s)));
        QVERIFY(!QFile::exists(path(u"refused.png"_s)));
    }

    // `runtime DIR` writes the runtime as it stands in the source, making the folder.
    void runtimeWritesItsFiles() {
        const QString folder = path(u"固件/lcd"_s);
        const Run run = runProgram({u"runtime"_s, folder});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        for (const QString& name : {u"ravik_lcd.h"_s, u"ravik_lcd.c"_s}) {
            QCOMPARE(readAll(folder + u"/"_s + name),
                     readAll(QStringLiteral(RAVIK_RUNTIME_DIR) + u"/"_s + name));
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
        QVERIFY(writeAll(path(u"plain-file"_s), "x"));
        const Run blocked = runProgram({u"runtime"_s, path(u"plain-file"_s) + u"/sub"_s});
        QCOMPARE(blocked.exitCode, 1);
        QVERIFY(!blocked.err.isEmpty());
        QCOMPARE(runProgram({u"runtime"_s}).exitCode, 2);
        QCOMPARE(runProgram({u"runtime"_s, u"a"_s, u"b"_s}).exitCode, 2);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "cli_test.moc"
