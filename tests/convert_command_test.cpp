// `ravik-lcd convert`, run as a user would run it without a display: its outputs against the
// window's own code, standard output, and every failure leaving outputs untouched.

#include "command_line_tests.h"

#include <QBuffer>
#include <csignal>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

class ConvertCommandTest : public QObject, Scratch {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(makeScratch()); }

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
        // A symbolic link (QFile::link makes a shortcut file on Windows, which is no link).
        std::error_code failed;
        std::filesystem::create_symlink(u"old.bin"_s.toStdU16String(),
                                        (folder + u"/link.bin"_s).toStdU16String(), failed);
        if (failed) {
            QSKIP("no symbolic links here");
        }
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
                                        << 2 << u"F0F0”无效，应为 RRGGBB 或 #RRGGBB"_s;
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
        if (message.contains(u"@dir"_s)) {
            message = QDir::toNativeSeparators(message.replace(u"@dir"_s, dir.path()));
        }
        const QByteArray old("old contents");
        {
            QFile keep(path(u"keep.bin"_s));
            QVERIFY(keep.open(QIODevice::WriteOnly) && keep.write(old) == old.size());
        }
        // Option values that are no file names stay as they are.
        const QStringList valueOptions{u"--background"_s, u"--fit"_s, u"--dither"_s,
                                       u"--preview-scale"_s};
        for (QString& argument : arguments) {
            const qsizetype at = &argument - arguments.data();
            if (at > 0 && valueOptions.contains(arguments[at - 1])) {
                continue;
            }
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
};

QTEST_GUILESS_MAIN(ConvertCommandTest)
#include "convert_command_test.moc"
