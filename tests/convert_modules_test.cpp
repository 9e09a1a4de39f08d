// What `ravik-lcd convert` loads: no GUI library for frame files and previews it writes itself,
// no Qt library linked, a clear message without its modules; previews' pixels and a batch's
// progress on a terminal.

#include "command_line_tests.h"

#include <QStandardPaths>

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

class ConvertModulesTest : public QObject, Scratch {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(makeScratch()); }

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
        QList<QStringList> needingModules{
            {u"convert"_s, xpm, u"--bin"_s, alone.filePath(u"picture.bin"_s)},
            {u"convert"_s, alone.filePath(u"in.bin"_s), u"--bin"_s,
             alone.filePath(u"picture.bin"_s), u"--preview"_s, alone.filePath(u"out.jpg"_s)}};
#ifndef Q_OS_WIN // where the window's failure also shows in a message box, waiting for a click
        needingModules.append(QStringList());
#endif
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
        const Run size =
            runOutsideTool(u"/usr/bin/identify"_s, {u"-format"_s, u"%w %h %z"_s, target});
        QCOMPARE(size.out, u"%1 %2 8"_s.arg(width).arg(height).toLatin1());
        const Run rgb = runOutsideTool(kImageMagick, {target, u"-depth"_s, u"8"_s, u"rgb:-"_s});
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
};

QTEST_GUILESS_MAIN(ConvertModulesTest)
#include "convert_modules_test.moc"
