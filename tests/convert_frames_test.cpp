// `ravik-lcd convert` with frame files read back, C headers compiled, frame sets against
// ImageMagick, and batches.

#include "command_line_tests.h"

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

class ConvertFramesTest : public QObject, Scratch {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(makeScratch()); }

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

    // A frame file's pixels cut, turned and flipped exactly as they are, frame by frame: each
    // nibble of the result is the hand-built frame's at the place the index arithmetic gives,
    // and nothing is scaled or dithered (--dither is given to show it changes nothing).
    void frameFilesCropTurnAndFlipExactly_data() {
        QTest::addColumn<int>("frames");
        QTest::addColumn<QRect>("crop"); // empty: the whole frame
        QTest::addColumn<int>("degrees");
        QTest::addColumn<QString>("flip");
        QTest::newRow("the zoom window's selection")
            << 2 << QRect(40, 17, 43, 26) << 0 << u"none"_s;
        QTest::newRow("odd x, odd width") << 1 << QRect(3, 1, 5, 2) << 0 << u"none"_s;
        QTest::newRow("crop turned a quarter") << 2 << QRect(7, 30, 4, 18) << 90 << u"none"_s;
        QTest::newRow("whole frame turned 270, flipped") << 1 << QRect() << 270 << u"vertical"_s;
        QTest::newRow("frame set turned 180, mirrored")
            << 2 << QRect(0, 10, 7, 20) << 180 << u"horizontal"_s;
    }
    void frameFilesCropTurnAndFlipExactly() {
        QFETCH(int, frames);
        QFETCH(QRect, crop);
        QFETCH(int, degrees);
        QFETCH(QString, flip);
        const QString frameFile = path(u"frames.bin"_s);
        QVERIFY(writeAll(frameFile, handBuiltFrames(frames)));
        QStringList arguments{u"convert"_s, frameFile, u"--rotate"_s, QString::number(degrees),
                              u"--flip"_s,  flip,      u"--dither"_s, u"floyd-steinberg"_s,
                              u"--bin"_s,   u"-"_s};
        if (!crop.isEmpty()) {
            arguments << u"--crop"_s
                      << u"%1,%2,%3,%4"_s.arg(crop.x())
                             .arg(crop.y())
                             .arg(crop.width())
                             .arg(crop.height());
        }
        const Run run = runProgram(arguments);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QRect area = crop.isEmpty() ? QRect(0, 0, kFrameWidth, kFrameHeight) : crop;
        QByteArray expected;
        for (int frame = 0; frame < frames; ++frame) {
            const Shaped shaped = shapedSheet(
                area, degrees, flip, [frame](int x, int y) { return handBuiltPixel(frame, x, y); });
            expected += expectedTiles(shaped, shaped.width, shaped.height);
        }
        QCOMPARE(run.out.size(), expected.size());
        QCOMPARE(run.out.toHex(' '), expected.toHex(' '));
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
        // What would change a frame file's pixels is still refused, naming it.
        const QStringList frame{path(u"frame.bin"_s), u"--bin"_s, path(u"out.bin"_s)};
        QTest::newRow("a frame file at another size")
            << frame + QStringList{u"--size"_s, u"10x10"_s} << 1 << u"帧数据文件"_s;
        QTest::newRow("a frame file's crop at another size")
            << frame + QStringList{u"--crop"_s, u"0,0,4,4"_s, u"--size"_s, u"8x8"_s} << 1
            << u"帧数据文件"_s;
        QTest::newRow("a frame file cut into tiles")
            << frame + QStringList{u"--tiles"_s, u"7x7"_s} << 1 << u"帧数据文件"_s;
        QTest::newRow("a frame file with a key colour")
            << frame + QStringList{u"--key"_s, u"103050"_s} << 1 << u"帧数据文件"_s;
        QTest::newRow("a frame file's crop past the edge")
            << frame + QStringList{u"--crop"_s, u"90,60,10,10"_s} << 1 << u"图片为 98 × 67 像素"_s;
    }
    void refusedFramesAndNames() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QVERIFY(writeAll(path(u"long.bin"_s), QByteArray(kFrameSize + 1, '\x11')));
        QVERIFY(writeAll(path(u"set.bin"_s), QByteArray(4 * kFrameSize + 1, '\x11')));
        QVERIFY(writeAll(path(u"frame.bin"_s), handBuiltFrames(1)));
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
                runOutsideTool(kImageMagick, {u"-delay"_s, u"25"_s, path(u"anim-1.png"_s),
                                              u"-size"_s, u"98x67"_s, u"xc:navy"_s, input});
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
        const Run made = runOutsideTool(
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
            runOutsideTool(kImageMagick, {gif, u"-coalesce"_s, u"PNG32:"_s + path(u"co-%d.png"_s)});
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
            runOutsideTool(kImageMagick, {u"-size"_s, u"20x20"_s, u"-delay"_s, u"0"_s, u"xc:red"_s,
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
        const Run made = runOutsideTool(
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
        QVERIFY2(runOutsideTool(kImageMagick, {good, u"-quality"_s, u"90"_s, jpeg}).exitCode == 0,
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
};

QTEST_GUILESS_MAIN(ConvertFramesTest)
#include "convert_frames_test.moc"
