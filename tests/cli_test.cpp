// The built program's command line, run as a user would run it: `convert` without a display,
// its outputs against the window's own code, and every failure leaving outputs untouched.

#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"
#include "test_files.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// Runs the program with no display of any kind.
Run runProgram(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(RAVIK_EXECUTABLE), arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

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

// The frame exactly as the window builds it from the same picture and background.
FrameBuffer windowFrame(const QString& picturePath, const QColor& background) {
    const ColorValue color = RGB(background.red(), background.green(), background.blue());
    return convertPicture(LoadPicture(picturePath).picture, {.background = color}).frame;
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString picture;

    QString path(const QString& name) const { return dir.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        picture = path(u"图片 一.png"_s);
        QVERIFY(savePicture(colourful(120, 90), picture));
    }

    void outputsMatchTheWindow() {
        const Run run =
            runProgram({u"convert"_s, picture, u"--bin"_s, path(u"f.bin"_s), u"--c-text"_s,
                        path(u"f.c"_s), u"--preview"_s, path(u"p.png"_s)});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QVERIFY(run.out.isEmpty()); // outputs went to files only

        const FrameBuffer frame = windowFrame(picture, QColor(0xF0, 0xF0, 0xF0));
        QCOMPARE(readAll(path(u"f.bin"_s)), frameBytes(frame));
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
        QTest::newRow("no extension, 16×") << u"preview"_s << QByteArray("\x89PNG") << 16;
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
        const Run run = runProgram(QStringList{u"convert"_s, picture} + options);
        QCOMPARE(run.exitCode, 0);
        const FrameBuffer frame = windowFrame(picture, QColor(0xF0, 0xF0, 0xF0));
        QCOMPARE(run.out, QByteArray::fromStdString(formatCArrayText(frame)));
        QCOMPARE(run.out.size(), 50477);
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
        const QByteArray bytes = readAll(bin);
        QCOMPARE(bytes, frameBytes(windowFrame(smallPath, background)));
        // Pixel (2, 0) is transparent and pixel (60, 60) uncovered: both show the background.
        QCOMPARE(bytes.size(), kFrameSize);
        FrameBuffer frame;
        for (int i = 0; i < kFrameSize; ++i) {
            frame[std::size_t(i)] = std::uint8_t(bytes[i]);
        }
        const ColorValue expected =
            RGB(background.red(), background.green(), background.blue()) & 0xF0F0F0;
        QCOMPARE(decodePixel(frame, 2, 0), expected);
        QCOMPARE(decodePixel(frame, 60, 60), expected);
        QCOMPARE(decodePixel(frame, 0, 0), RGB(0xF0, 0, 0));
    }

    void failuresCreateAndChangeNothing_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString bin = u"keep.bin"_s;
        QTest::newRow("missing picture")
            << QStringList{u"convert"_s, u"@dir/没有.png"_s, u"--bin"_s, bin} << 1
            << u"文件不存在"_s;
        QTest::newRow("not a picture")
            << QStringList{u"convert"_s, u"@dir/keep.bin"_s, u"--bin"_s, u"new.bin"_s} << 1
            << u"不是可识别的图片格式"_s;
        QTest::newRow("output folder missing")
            << QStringList{u"convert"_s, u"@picture"_s,  u"--bin"_s,
                           u"new.bin"_s, u"--preview"_s, u"no/such/p.png"_s}
            << 1 << u"文件夹不存在"_s;
        QTest::newRow("output is a folder")
            << QStringList{u"convert"_s, u"@picture"_s, u"--c-text"_s,
                           u"new.c"_s,   u"--bin"_s,    u"@dir"_s}
            << 1 << u"同名的文件夹"_s;
        QTest::newRow("full disk") << QStringList{u"convert"_s, u"@picture"_s, u"--bin"_s,
                                                  u"new.bin"_s, u"--c-text"_s, u"/dev/full"_s}
                                   << 1 << u"磁盘空间不足"_s;
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
                               bin,          u"--preview-scale"_s, scale}
                << 2 << u"无效，应为 1 到 16 的整数"_s;
        }
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
            if (::geteuid() == 0) {
                QSKIP("root reads every file");
            }
            QFile::setPermissions(target, QFileDevice::WriteOwner);
        }
        const QString bin = path(u"bad-out.bin"_s);
        const Run run = runProgram({u"convert"_s, target, u"--bin"_s, bin});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(reason), qPrintable(run.err));
        QVERIFY2(run.err.contains(QDir::toNativeSeparators(target)), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(bin));
    }

    // A write that fails part-way (a 4 KiB file-size limit on the process) keeps the old file.
    void failingWriteKeepsTheOldFile() {
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
    }

    void readOnlyPlace() {
        // Nothing can be created in /proc, not even by root.
        const Run run = runProgram({u"convert"_s, picture, u"--bin"_s, u"/proc/ravik-frame.bin"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"/proc/ravik-frame.bin"_s), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(u"/proc/ravik-frame.bin"_s));
    }

    void binaryToStandardOutputThroughItsDevice() {
        const Run run = runProgram({u"convert"_s, picture, u"--bin"_s, u"/dev/stdout"_s});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, frameBytes(windowFrame(picture, QColor(0xF0, 0xF0, 0xF0))));
    }

    void versionAndHelp() {
        const Run version = runProgram({u"--version"_s});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QByteArray("Ravik_LCD 1.00\n"));

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
};

QTEST_GUILESS_MAIN(CliTest)
#include "cli_test.moc"
