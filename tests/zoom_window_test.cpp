// The zoom window's selection: dragging it out in any direction, snapped and clamped to the
// frame, what the status bar says of it, Escape, and its bytes and mask against pixels packed
// by hand and against the built program's command line.

#include "fakes.h"
#include "test_files.h"
#include "ui/form1.h"
#include "ui/zoom_window.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

constexpr int kPictureWidth = 40;
constexpr int kPictureHeight = 30;

// The test picture's colours, a different mix in each channel so a swapped nibble shows.
int redAt(int x, int y) {
    return (x * 7 + y * 3) & 0xFF;
}
int greenAt(int x, int y) {
    return (x * 11 ^ y * 5) & 0xFF;
}
int blueAt(int x, int y) {
    return (x + y * 13) & 0xFF;
}
// Every fifth pixel along a diagonal is clear, the next two just below and at the drawn
// threshold, the rest opaque.
int alphaAt(int x, int y) {
    constexpr int kAlphas[] = {0, 127, 128, 255, 255};
    return kAlphas[(x + y) % 5];
}

// The picture written by ImageMagick from raw RGBA bytes, so no code of ours encodes it.
QString writePicture(const QString& path, bool translucent) {
    QByteArray raw;
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            raw.append(char(redAt(x, y))).append(char(greenAt(x, y))).append(char(blueAt(x, y)));
            raw.append(char(translucent ? alphaAt(x, y) : 255));
        }
    }
    const QString rawPath = path + u".rgba"_s;
    writeAll(rawPath, raw);
    const bool made =
        run(u"/usr/bin/convert"_s, {u"-size"_s, u"%1x%2"_s.arg(kPictureWidth).arg(kPictureHeight),
                                    u"-depth"_s, u"8"_s, u"rgba:"_s + rawPath, u"PNG32:"_s + path});
    return made ? path : QString();
}

// The nibbles the panel shows at frame pixel (x, y) of the picture at its original size: each
// channel over the default background F0 F0 F0 (c·a + 240·(255 − a)) / 255 to the nearest
// whole, then its high four bits; beyond the picture, the background.
std::array<int, 3> nibblesAt(int x, int y, bool translucent) {
    if (x >= kPictureWidth || y >= kPictureHeight) {
        return {0xF, 0xF, 0xF};
    }
    const int a = translucent ? alphaAt(x, y) : 255;
    const auto over = [a](int c) {
        return int(std::lround((c * a + 240.0 * (255 - a)) / 255));
    };
    return {over(redAt(x, y)) >> 4, over(greenAt(x, y)) >> 4, over(blueAt(x, y)) >> 4};
}

// The rectangle's pixels as the panel takes them: R G B nibbles pixel after pixel, row after
// row, two nibbles a byte, high first, the last byte's low nibble 0 when the count is odd.
QByteArray packedByHand(const QRect& area, bool translucent = false) {
    QByteArray bytes;
    bool high = true;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            for (const int nibble : nibblesAt(x, y, translucent)) {
                if (high) {
                    bytes.append(char(nibble << 4));
                } else {
                    bytes.back() = char(bytes.back() | nibble);
                }
                high = !high;
            }
        }
    }
    return bytes;
}

// One bit a pixel, 1 where alpha ≥ 128, the leftmost in the top bit, rows padded to bytes;
// beyond the picture nothing is drawn.
QByteArray maskByHand(const QRect& area, bool translucent) {
    QByteArray bytes;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int i = 0; i < area.width(); ++i) {
            if (i % 8 == 0) {
                bytes.append('\0');
            }
            const int x = area.left() + i;
            if (x < kPictureWidth && y < kPictureHeight && (!translucent || alphaAt(x, y) >= 128)) {
                bytes.back() = char(bytes.back() | (0x80 >> (i % 8)));
            }
        }
    }
    return bytes;
}

// The bytes of the array `name` in C text: its initialiser's 0xHH values, in order.
QByteArray arrayBytes(const QString& text, const QString& name) {
    const QRegularExpression declaration(u"\\b"_s + QRegularExpression::escape(name) +
                                         u"\\[[^\\]]*\\][^=;]*=\\s*\\{([^}]*)\\}"_s);
    const QRegularExpressionMatch found = declaration.match(text);
    if (!found.hasMatch()) {
        return {};
    }
    QByteArray bytes;
    static const QRegularExpression hex(u"0x([0-9A-Fa-f]{2})"_s);
    for (const QRegularExpressionMatch& value : hex.globalMatch(found.captured(1))) {
        bytes.append(char(value.captured(1).toInt(nullptr, 16)));
    }
    return bytes;
}

QByteArray asBytes(const std::vector<std::uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

class ZoomWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString opaquePicture;
    QString translucentPicture;
    std::unique_ptr<FakePlatform> platform;
    std::unique_ptr<Form1> form;

    ZoomWindow* openZoomWindow(const QString& picture) {
        if (!form->openPicture(picture)) {
            return nullptr;
        }
        form->showZoomWindow();
        return form->zoomWindow();
    }

    QString selectionLabelText(ZoomWindow* window) {
        auto* label = window->findChild<QLabel*>(u"selectionLabel"_s);
        return label != nullptr && label->isVisibleTo(window) ? label->text() : QString();
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        opaquePicture = writePicture(dir.filePath(u"opaque.png"_s), false);
        translucentPicture = writePicture(dir.filePath(u"sprite.png"_s), true);
        QVERIFY(!opaquePicture.isEmpty() && !translucentPicture.isEmpty());
    }
    void init() {
        platform = std::make_unique<FakePlatform>();
        form = std::make_unique<Form1>(platform->services());
    }
    void cleanup() {
        form.reset();
        platform.reset();
    }

    // A drag with the mouse, from the middle of one frame pixel to a point of the picture,
    // selects the pixels between, whichever way it goes, within the frame.
    void dragSelects_data() {
        QTest::addColumn<int>("zoom");
        QTest::addColumn<bool>("grid");
        QTest::addColumn<QPoint>("fromPixel");
        QTest::addColumn<QPoint>("to"); // on the picture
        QTest::addColumn<QRect>("selected");
        QTest::addColumn<QString>("status");
        // 7 × 4 = 28 pixels, 42 bytes.
        QTest::newRow("odd x, left to right")
            << 4 << false << QPoint(3, 5) << QPoint(9 * 4 + 2, 8 * 4 + 2) << QRect(3, 5, 7, 4)
            << u"选区 3, 5, 7 × 4　42 字节"_s;
        // 10 × 9 = 90 pixels, 135 bytes.
        QTest::newRow("right to left, bottom to top")
            << 4 << false << QPoint(20, 30) << QPoint(11 * 4 + 1, 22 * 4 + 1)
            << QRect(11, 22, 10, 9) << u"选区 11, 22, 10 × 9　135 字节"_s;
        // 8 × 7 = 56 pixels, 84 bytes.
        QTest::newRow("clamped past the right and bottom")
            << 4 << false << QPoint(90, 60) << QPoint(2000, 2000) << QRect(90, 60, 8, 7)
            << u"选区 90, 60, 8 × 7　84 字节"_s;
        // 6 × 5 = 30 pixels, 45 bytes.
        QTest::newRow("clamped past the left and top")
            << 4 << false << QPoint(5, 4) << QPoint(-40, -40) << QRect(0, 0, 6, 5)
            << u"选区 0, 0, 6 × 5　45 字节"_s;
        // One pixel: three nibbles in two bytes.
        QTest::newRow("single pixel")
            << 12 << false << QPoint(7, 7) << QPoint(7 * 12 + 11, 7 * 12 + 11) << QRect(7, 7, 1, 1)
            << u"选区 7, 7, 1 × 1　2 字节"_s;
        // Pitch 6: pixel 13 starts at 78; ending on the grid line after pixel 16 keeps 16.
        // 4 × 3 = 12 pixels, 18 bytes.
        QTest::newRow("on the grid") << 5 << true << QPoint(13, 2) << QPoint(16 * 6 + 5, 4 * 6 + 5)
                                     << QRect(13, 2, 4, 3) << u"选区 13, 2, 4 × 3　18 字节"_s;
    }
    void dragSelects() {
        QFETCH(int, zoom);
        QFETCH(bool, grid);
        QFETCH(QPoint, fromPixel);
        QFETCH(QPoint, to);
        QFETCH(QRect, selected);
        QFETCH(QString, status);
        ZoomWindow* window = openZoomWindow(opaquePicture);
        QVERIFY(window != nullptr);
        window->setZoom(zoom);
        window->setGrid(grid);
        auto* canvas = window->findChild<QLabel*>(u"zoomCanvas"_s);
        QVERIFY(canvas != nullptr);
        const int pitch = zoom + (grid ? 1 : 0);
        const QPoint from = fromPixel * pitch + QPoint(zoom / 2, zoom / 2);
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        QTest::mouseMove(canvas, to);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
        QCOMPARE(window->selection(), selected);
        QCOMPARE(selectionLabelText(window), status);
        QCOMPARE(window->selectionOnPicture(), QRect(selected.x() * pitch, selected.y() * pitch,
                                                     selected.width() * pitch - (grid ? 1 : 0),
                                                     selected.height() * pitch - (grid ? 1 : 0)));
    }

    // A click without a drag clears the selection; so does Escape, which closes the window only
    // once nothing is selected.
    void clickAndEscapeClear() {
        ZoomWindow* window = openZoomWindow(opaquePicture);
        QVERIFY(window != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->setZoom(4);
        auto* canvas = window->findChild<QLabel*>(u"zoomCanvas"_s);
        window->setSelection(QRect(2, 2, 5, 5));
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(30, 30));
        QVERIFY(window->selection().isEmpty());
        QCOMPARE(selectionLabelText(window), QString());

        window->setSelection(QRect(2, 2, 5, 5));
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(window->selection().isEmpty());
        QVERIFY(window->isVisible());
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }

    // Selecting shows the status bar's selection text without taking room from the picture: a
    // window that showed it whole still does.
    void selectingKeepsThePictureWhole() {
        if (QGuiApplication::platformName() == u"minimal"_s) {
            QSKIP("Qt's minimal platform never resizes a window once shown");
        }
        ZoomWindow* window = openZoomWindow(opaquePicture);
        QVERIFY(window != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->setZoom(5);
        auto* view = window->findChild<QScrollArea*>();
        QVERIFY(view != nullptr);
        QTRY_COMPARE(view->viewport()->size(), window->picture().size());
        window->setSelection(QRect(1, 1, 5, 5));
        QTest::qWait(50); // let the layout settle
        QCOMPARE(view->viewport()->size(), window->picture().size());
    }

    // The context menu offers copying and saving, only with a selection.
    void menuNeedsASelection() {
        ZoomWindow* window = openZoomWindow(opaquePicture);
        QVERIFY(window != nullptr);
        auto* copy = window->findChild<QAction*>(u"copySelectionAction"_s);
        auto* save = window->findChild<QAction*>(u"saveSelectionAction"_s);
        QVERIFY(copy != nullptr && save != nullptr);
        QMenu menu;
        window->fillSelectionMenu(menu);
        QCOMPARE(menu.actions(), (QList<QAction*>{copy, save}));
        QCOMPARE(copy->text(), u"复制选区为 C 数组声明"_s);
        QCOMPARE(save->text(), u"选区另存为 bin 文件…"_s);
        QVERIFY(!copy->isEnabled() && !save->isEnabled());
        window->setSelection(QRect(1, 1, 2, 2));
        QVERIFY(copy->isEnabled() && save->isEnabled());
    }

    // The saved .bin holds the frame's pixels in the rectangle, packed as the panel takes them.
    void savedBinHoldsTheRectangle_data() {
        QTest::addColumn<QRect>("area");
        QTest::newRow("odd x, even count") << QRect(3, 5, 7, 4);
        QTest::newRow("odd count, half a byte left") << QRect(1, 2, 3, 3);
        QTest::newRow("single pixel") << QRect(0, 0, 1, 1);
        QTest::newRow("past the picture, the background") << QRect(35, 25, 10, 8);
        QTest::newRow("the whole frame") << QRect(0, 0, kFrameWidth, kFrameHeight);
    }
    void savedBinHoldsTheRectangle() {
        QFETCH(QRect, area);
        ZoomWindow* window = openZoomWindow(opaquePicture);
        QVERIFY(window != nullptr);
        window->setSelection(area);
        const QString bin = dir.filePath(u"selection.bin"_s);
        QFile::remove(bin);
        platform->dialog.answer(bin);
        window->findChild<QAction*>(u"saveSelectionAction"_s)->trigger();
        QVERIFY(platform->alerts.warnings.isEmpty());
        QCOMPARE(readAll(bin).toHex(' '), packedByHand(area).toHex(' '));
        // Offered as a .bin named after the picture and the rectangle.
        QCOMPARE(platform->dialog.shown.size(), 1);
        QVERIFY(platform->dialog.shown.front().startPath.endsWith(
            u"opaque_%1_%2_%3x%4.bin"_s.arg(area.x())
                .arg(area.y())
                .arg(area.width())
                .arg(area.height())));
    }

    // A save that fails says why and leaves what was there.
    void failedSaveChangesNothing() {
        ZoomWindow* window = openZoomWindow(opaquePicture);
        QVERIFY(window != nullptr);
        window->setSelection(QRect(0, 0, 4, 4));
        const QString blocked = dir.filePath(u"no-such-folder/selection.bin"_s);
        platform->dialog.answer(blocked);
        window->saveSelection();
        QCOMPARE(platform->alerts.warnings.size(), 1);
        QCOMPARE(platform->alerts.warnings.front().title, u"选区另存为 bin 文件"_s);
        QVERIFY(!QFile::exists(blocked));
        QCOMPARE(window->selection(), QRect(0, 0, 4, 4));
    }

    // The mask goes with a selection only when some pixel in it is not wholly opaque; the
    // background beyond the picture is not drawn.
    void maskOnlyWithTransparency_data() {
        QTest::addColumn<bool>("translucent");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<bool>("masked");
        QTest::newRow("opaque picture") << false << QRect(3, 5, 7, 4) << false;
        QTest::newRow("translucent picture") << true << QRect(3, 5, 11, 4) << true;
        // (x + y) % 5 is 3 or 4 on both pixels: opaque.
        QTest::newRow("opaque part of a translucent picture") << true << QRect(3, 0, 2, 1) << false;
        QTest::newRow("opaque picture and the background beyond")
            << false << QRect(38, 28, 4, 4) << false;
        // The background beyond the picture is not drawn.
        QTest::newRow("translucent picture and the background beyond")
            << true << QRect(36, 26, 6, 6) << true;
    }
    void maskOnlyWithTransparency() {
        QFETCH(bool, translucent);
        QFETCH(QRect, area);
        QFETCH(bool, masked);
        ZoomWindow* window = openZoomWindow(translucent ? translucentPicture : opaquePicture);
        QVERIFY(window != nullptr);
        window->setSelection(area);
        QCOMPARE(window->selectionHasTransparency(), masked);
        const QString pixels = u"选区 %1, %2, %3 × %4　%5 字节"_s.arg(area.x())
                                   .arg(area.y())
                                   .arg(area.width())
                                   .arg(area.height())
                                   .arg((area.width() * area.height() * 3 + 1) / 2);
        if (!masked) {
            QVERIFY(window->selectionMask().empty());
            QCOMPARE(selectionLabelText(window), pixels);
            return;
        }
        const QByteArray mask = maskByHand(area, translucent);
        QCOMPARE(asBytes(window->selectionMask()).toHex(' '), mask.toHex(' '));
        QCOMPARE(selectionLabelText(window), pixels + u" + 掩码 %1 字节"_s.arg(mask.size()));
    }

    // Scaled into the box, a translucent picture still gives its selection a mask, in which the
    // background beside the picture (40 × 30 contained in 98 × 67 leaves columns on both sides)
    // is not drawn; an opaque one gives none, background or not.
    void scaledPictureMask_data() {
        QTest::addColumn<bool>("translucent");
        QTest::newRow("opaque") << false;
        QTest::newRow("translucent") << true;
    }
    void scaledPictureMask() {
        QFETCH(bool, translucent);
        QVERIFY(form->setFit(Fit::Contain));
        ZoomWindow* window = openZoomWindow(translucent ? translucentPicture : opaquePicture);
        QVERIFY(window != nullptr);
        window->setSelection(QRect(0, 0, kFrameWidth, kFrameHeight));
        QCOMPARE(window->selectionHasTransparency(), translucent);
        if (translucent) {
            const std::vector<std::uint8_t> mask = window->selectionMask();
            QCOMPARE(mask.size(), std::size_t((kFrameWidth + 7) / 8 * kFrameHeight));
            QCOMPARE(mask.front() & 0x80, 0); // the background at (0, 0)
            QVERIFY(std::any_of(mask.begin(), mask.end(), [](std::uint8_t b) { return b != 0; }));
        }
    }

    // The copied header declares the rectangle's pixels at its size, and its mask when some
    // pixel of the picture in it is not wholly opaque.
    void copiedHeaderHoldsTheRectangle_data() {
        QTest::addColumn<bool>("translucent");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<bool>("masked");
        QTest::newRow("opaque, odd x and width") << false << QRect(5, 3, 9, 5) << false;
        QTest::newRow("translucent, blended pixels and a mask")
            << true << QRect(5, 3, 9, 5) << true;
        QTest::newRow("translucent picture and the background beyond")
            << true << QRect(33, 25, 12, 9) << true;
    }
    void copiedHeaderHoldsTheRectangle() {
        QFETCH(bool, translucent);
        QFETCH(QRect, area);
        QFETCH(bool, masked);
        ZoomWindow* window = openZoomWindow(translucent ? translucentPicture : opaquePicture);
        QVERIFY(window != nullptr);
        window->setSelection(area);
        auto* copy = window->findChild<QAction*>(u"copySelectionAction"_s);
        QVERIFY(copy != nullptr && copy->isEnabled());
        copy->trigger();
        QVERIFY(platform->alerts.warnings.isEmpty());
        const QString header = platform->clipboard.text;
        const QString name = u"%1_%2_%3_%4x%5"_s.arg(translucent ? u"sprite"_s : u"opaque"_s)
                                 .arg(area.x())
                                 .arg(area.y())
                                 .arg(area.width())
                                 .arg(area.height());
        QVERIFY2(header.contains(u"#define %1_WIDTH %2\n"_s.arg(name).arg(area.width())),
                 qPrintable(header));
        QVERIFY(header.contains(u"#define %1_HEIGHT %2\n"_s.arg(name).arg(area.height())));
        QCOMPARE(arrayBytes(header, name).toHex(' '), packedByHand(area, translucent).toHex(' '));
        QCOMPARE(header.contains(name + u"_MASK"_s), masked);
        if (masked) {
            QCOMPARE(arrayBytes(header, name + u"_MASK"_s).toHex(' '),
                     maskByHand(area, translucent).toHex(' '));
        }
    }

    // A clipboard that refuses the text is reported; the selection stays.
    void refusedCopyIsReported() {
        ZoomWindow* window = openZoomWindow(opaquePicture);
        QVERIFY(window != nullptr);
        window->setSelection(QRect(1, 1, 3, 3));
        platform->clipboard.refuse = true;
        window->copySelection();
        QCOMPARE(platform->alerts.warnings.size(), 1);
        QCOMPARE(platform->alerts.warnings.front().title, u"复制选区为 C 数组声明"_s);
        QCOMPARE(window->selection(), QRect(1, 1, 3, 3));
    }

    // With the original size and no dither, the selection gives what the command line gives for
    // the same rectangle of the picture, pixels and mask.
    void sameBytesAsTheCommandLine_data() {
        QTest::addColumn<bool>("translucent");
        QTest::addColumn<QRect>("area");
        QTest::newRow("odd x, even count") << false << QRect(3, 5, 7, 4);
        QTest::newRow("odd count") << false << QRect(1, 2, 3, 3);
        QTest::newRow("translucent, with its mask") << true << QRect(5, 3, 9, 5);
    }
    void sameBytesAsTheCommandLine() {
        QFETCH(bool, translucent);
        QFETCH(QRect, area);
        const QString picture = translucent ? translucentPicture : opaquePicture;
        const QString bin = dir.filePath(u"crop.bin"_s);
        const QString maskBin = dir.filePath(u"crop-mask.bin"_s);
        QFile::remove(bin);
        QFile::remove(maskBin);
        QStringList arguments{
            u"convert"_s,
            picture,
            u"--crop"_s,
            u"%1,%2,%3,%4"_s.arg(area.x()).arg(area.y()).arg(area.width()).arg(area.height()),
            u"--bin"_s,
            bin};
        if (translucent) {
            arguments << u"--mask-bin"_s << maskBin;
        }
        QProcess process;
        process.start(QStringLiteral(RAVIK_EXECUTABLE), arguments);
        QVERIFY(process.waitForFinished(60000));
        if (process.exitCode() == 2) {
            QSKIP("the command line does not take --crop yet");
        }
        QCOMPARE(process.exitCode(), 0);
        ZoomWindow* window = openZoomWindow(picture);
        QVERIFY(window != nullptr);
        window->setSelection(area);
        QCOMPARE(asBytes(window->selectionBytes()).toHex(' '), readAll(bin).toHex(' '));
        if (translucent) {
            QCOMPARE(asBytes(window->selectionMask()).toHex(' '), readAll(maskBin).toHex(' '));
        }
    }

    // A selection on a dithered frame, read back from its frame file, is what `convert --crop`
    // of that frame file gives: the frame's own pixels, neither scaled nor dithered again.
    void frameFileCropGivesTheSelection_data() {
        QTest::addColumn<QString>("dither");
        QTest::addColumn<QRect>("area");
        QTest::newRow("error diffusion, odd x") << u"floyd-steinberg"_s << QRect(3, 5, 7, 4);
        QTest::newRow("ordered, odd count") << u"ordered"_s << QRect(1, 2, 3, 3);
        QTest::newRow("error diffusion, past the picture")
            << u"floyd-steinberg"_s << QRect(30, 17, 43, 26);
    }
    void frameFileCropGivesTheSelection() {
        QFETCH(QString, dither);
        QFETCH(QRect, area);
        const QString frame = dir.filePath(u"dithered.bin"_s);
        const QString bin = dir.filePath(u"selection-of-frame.bin"_s);
        QFile::remove(frame);
        QFile::remove(bin);
        QProcess made;
        made.start(QStringLiteral(RAVIK_EXECUTABLE),
                   {u"convert"_s, opaquePicture, u"--dither"_s, dither, u"--bin"_s, frame});
        QVERIFY(made.waitForFinished(60000));
        QCOMPARE(made.exitCode(), 0);
        QProcess cropped;
        cropped.start(
            QStringLiteral(RAVIK_EXECUTABLE),
            {u"convert"_s, frame, u"--crop"_s,
             u"%1,%2,%3,%4"_s.arg(area.x()).arg(area.y()).arg(area.width()).arg(area.height()),
             u"--bin"_s, bin});
        QVERIFY(cropped.waitForFinished(60000));
        QVERIFY2(cropped.exitCode() == 0, cropped.readAllStandardError().constData());
        QVERIFY(form->openFile(frame));
        form->showZoomWindow();
        ZoomWindow* window = form->zoomWindow();
        QVERIFY(window != nullptr);
        window->setSelection(area);
        QCOMPARE(window->selection(), area);
        QCOMPARE(asBytes(window->selectionBytes()).toHex(' '), readAll(bin).toHex(' '));
    }
};

QTEST_MAIN(ZoomWindowTest)
#include "zoom_window_test.moc"
