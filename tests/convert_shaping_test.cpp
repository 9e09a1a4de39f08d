// `ravik-lcd convert` on pictures of any size, cut, turned, flipped, tiled, keyed and masked,
// against bytes packed by hand and the firmware runtime's drawing.

#include "command_line_tests.h"

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

// 9 × 2 pixels of 80 40 20: row 0 of alphas 0, 127, 128, 255, 200, 10, 255, 255, 128, row 1
// opaque but its first pixel, which is clear.
QImage alphaPicture() {
    QImage picture(9, 2, QImage::Format_ARGB32);
    const int alphas[9] = {0, 127, 128, 255, 200, 10, 255, 255, 128};
    for (int x = 0; x < 9; ++x) {
        picture.setPixel(x, 0, qRgba(0x80, 0x40, 0x20, alphas[x]));
        picture.setPixel(x, 1, qRgba(0x80, 0x40, 0x20, x == 0 ? 0 : 255));
    }
    return picture;
}

} // namespace

class ConvertShapingTest : public QObject, Scratch {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(makeScratch()); }

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
        const QString input = path(u"alpha.png"_s);
        QVERIFY(savePicture(alphaPicture(), input));
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

    // With --mask or --key, the preview shows the pixels the mask leaves out over a checkerboard
    // of 4 × 4 panel pixels, light grey (C0) where x / 4 + y / 4 is even, dark (80) where odd,
    // each pixel scale × scale; without them it is the picture over the background, as before.
    // Each row of `shown` is a panel row: L light, D dark, P the picture's own colour, B the
    // background F0 F0 F0, '.' a blended pixel not checked.
    void maskedPreview_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("batch");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QRgb>("own");
        QTest::addColumn<QStringList>("shown");
        // alpha.png: row 0 alphas 0, 127, 128, 255, 200, 10, 255, 255, 128; row 1 all 255 but
        // the first; colour 80 40 20.
        const QStringList alphaShown{u"LL.P.DPP."_s, u"LPPPPPPPP"_s};
        const QRgb brown = qRgb(0x80, 0x40, 0x20);
        QTest::newRow("mask, preview alone")
            << u"alpha.png"_s << QStringList{u"--mask"_s, u"--size"_s, u"9x2"_s} << false << 1
            << brown << alphaShown;
        QTest::newRow("mask with a header, scale 3")
            << u"alpha.png"_s
            << QStringList{u"--mask"_s,    u"--size"_s,          u"9x2"_s, u"--header"_s,
                           path(u"m.h"_s), u"--preview-scale"_s, u"3"_s}
            << false << 3 << brown << alphaShown;
        QTest::newRow("no mask: the background")
            << u"alpha.png"_s << QStringList{u"--size"_s, u"9x2"_s} << false << 1 << brown
            << QStringList{u"B..P..PP."_s, u"BPPPPPPPP"_s};
        // keyed.ppm: magenta, 10 20 30, magenta.
        QTest::newRow("key") << u"keyed.ppm"_s
                             << QStringList{u"--key"_s, u"FF00FF"_s,          u"--size"_s,
                                            u"3x1"_s,   u"--preview-scale"_s, u"2"_s}
                             << false << 2 << qRgb(0x10, 0x20, 0x30) << QStringList{u"LPL"_s};
        QTest::newRow("batch with a mask")
            << u"alpha.png"_s << QStringList{u"--mask"_s, u"--size"_s, u"9x2"_s} << true << 1
            << brown << alphaShown;
    }
    void maskedPreview() {
        QFETCH(QString, input);
        QFETCH(QStringList, options);
        QFETCH(bool, batch);
        QFETCH(int, scale);
        QFETCH(QRgb, own);
        QFETCH(QStringList, shown);
        QVERIFY(savePicture(alphaPicture(), path(u"alpha.png"_s)));
        QVERIFY(writeAll(path(u"keyed.ppm"_s),
                         QByteArray("P6\n3 1\n255\n\xFF\x00\xFF\x10\x20\x30\xFF\x00\xFF", 11 + 9)));
        const QString outDir = path(u"masked-previews"_s);
        const QString preview =
            batch ? outDir + u"/"_s + QFileInfo(input).completeBaseName() + u".png"_s
                  : path(u"masked.png"_s);
        QFile::remove(preview);
        const QStringList outputs = batch ? QStringList{u"--out-dir"_s, outDir, u"--preview"_s}
                                          : QStringList{u"--preview"_s, preview};
        const Run run = runProgram(QStringList{u"convert"_s, path(input)} + outputs + options);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QImage image(preview);
        QCOMPARE(image.size(), QSize(shown.front().size() * scale, shown.size() * scale));
        for (int y = 0; y < shown.size(); ++y) {
            for (int x = 0; x < shown[y].size(); ++x) {
                const QChar kind = shown[y][x];
                const QRgb expected = kind == u'L'   ? qRgb(0xC0, 0xC0, 0xC0)
                                      : kind == u'D' ? qRgb(0x80, 0x80, 0x80)
                                      : kind == u'B' ? qRgb(0xF0, 0xF0, 0xF0)
                                                     : own;
                if (kind == u'.') {
                    continue;
                }
                for (const QPoint corner : {QPoint(x * scale, y * scale),
                                            QPoint(x * scale + scale - 1, y * scale + scale - 1)}) {
                    QVERIFY2(image.pixel(corner) == (expected | 0xFF000000),
                             qPrintable(u"panel pixel %1,%2 is %3"_s.arg(x).arg(y).arg(
                                 image.pixel(corner), 8, 16)));
                }
            }
        }
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
        const Run made = runOutsideTool(
            kImageMagick, {u"-size"_s, u"6x4"_s, u"xc:#102030"_s, u"xc:#405060"_s, anim});
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
};

QTEST_GUILESS_MAIN(ConvertShapingTest)
#include "convert_shaping_test.moc"
