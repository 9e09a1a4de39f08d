// The window's conversion choices: the picture boxes' menu, the same bytes as the command line
// for every fit and dither, the background dialog, and the enlarged preview's pixels.

#include "codec/conversion.h"
#include "export/binary_file.h"
#include "fakes.h"
#include "test_files.h"
#include "ui/form1.h"
#include "ui/zoom_window.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

QByteArray commandLineFrame(const QString& picture, const QStringList& options,
                            const QString& binPath) {
    QProcess process;
    process.start(QStringLiteral(RAVIK_EXECUTABLE),
                  QStringList{u"convert"_s, picture, u"--bin"_s, binPath} + options);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        return {};
    }
    return readAll(binPath);
}

QStringList actionTexts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        if (!action->isSeparator()) {
            texts << action->text();
        }
    }
    return texts;
}

} // namespace

class FitWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString picture;
    std::unique_ptr<FakePlatform> platform;
    std::unique_ptr<Form1> form;

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        // A photo-like JPEG written by ImageMagick, wider than the box, so every fit differs.
        picture = dir.filePath(u"photo.jpg"_s);
        QVERIFY(
            run(u"/usr/bin/convert"_s, {u"-size"_s, u"900x500"_s, u"gradient:#ff8040-#2040c0"_s,
                                        u"-swirl"_s, u"200"_s, u"-quality"_s, u"90"_s, picture}));
    }
    void init() {
        platform = std::make_unique<FakePlatform>();
        form = std::make_unique<Form1>(platform->services());
    }
    void cleanup() {
        form.reset();
        platform.reset();
    }

    void menuOffersTheChoices() {
        QMenu menu;
        form->fillPictureMenu(menu);
        QCOMPARE(actionTexts(menu),
                 (QStringList{u"缩放方式"_s, u"抖动"_s, u"底色…"_s, u"放大预览"_s, u"字模…"_s,
                              u"复制为 C 数组声明"_s}));
        QCOMPARE(actionTexts(*menu.actions()[0]->menu()),
                 (QStringList{u"原始尺寸"_s, u"等比缩放"_s, u"填满裁切"_s, u"拉伸"_s}));
        QCOMPARE(actionTexts(*menu.actions()[1]->menu()),
                 (QStringList{u"无"_s, u"有序"_s, u"误差扩散"_s}));
        // Choosing from the menu converts again.
        QVERIFY(form->openPicture(picture));
        const FrameBuffer original = form->frameBuffer();
        menu.actions()[0]->menu()->actions()[2]->trigger();
        QCOMPARE(form->conversionOptions().fit, Fit::Cover);
        QVERIFY(form->frameBuffer() != original);
    }

    void windowAndCommandLineGiveTheSameBytes_data() {
        QTest::addColumn<Fit>("fit");
        QTest::addColumn<Dither>("dither");
        QTest::addColumn<QStringList>("options");
        const std::pair<Fit, QString> fits[] = {{Fit::Original, u"original"_s},
                                                {Fit::Contain, u"contain"_s},
                                                {Fit::Cover, u"cover"_s},
                                                {Fit::Stretch, u"stretch"_s}};
        const std::pair<Dither, QString> dithers[] = {
            {Dither::None, u"none"_s},
            {Dither::Ordered, u"ordered"_s},
            {Dither::FloydSteinberg, u"floyd-steinberg"_s}};
        for (const auto& [fit, fitName] : fits) {
            for (const auto& [dither, ditherName] : dithers) {
                QTest::addRow("%s, %s", qPrintable(fitName), qPrintable(ditherName))
                    << fit << dither << QStringList{u"--fit"_s, fitName, u"--dither"_s, ditherName};
            }
        }
    }
    void windowAndCommandLineGiveTheSameBytes() {
        QFETCH(Fit, fit);
        QFETCH(Dither, dither);
        QFETCH(QStringList, options);
        QVERIFY(form->openPicture(picture));
        QVERIFY(form->setFit(fit));
        form->setDither(dither);
        const QByteArray bytes = commandLineFrame(picture, options, dir.filePath(u"f.bin"_s));
        QCOMPARE(bytes.size(), qsizetype{kFrameSize});
        QCOMPARE(bytes, QByteArray::fromStdString(frameBytes(form->frameBuffer())));
        // A later "取模" takes the new frame.
        form->Command2_Click();
        QCOMPARE(platform->clipboard.text, form->textAccumulator());
    }

    // A frame read back has no picture behind it: a later choice must not overwrite it.
    void choicesLeaveAFrameReadBackAlone() {
        QVERIFY(form->openPicture(picture));
        const QString bin = dir.filePath(u"kept.bin"_s);
        QByteArray bytes(kFrameSize, '\x5A');
        QFile file(bin);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QVERIFY(form->openFrameFile(bin));
        form->setDither(Dither::Ordered);
        QVERIFY(form->setFit(Fit::Contain));
        form->setBackground(RGB(0, 0, 0));
        QCOMPARE(QByteArray::fromStdString(frameBytes(form->frameBuffer())), bytes);
    }

    // The dialog starts from the current background; a cancel changes nothing.
    void backgroundIsChosenInTheDialog() {
        QImage small(10, 10, QImage::Format_RGB32);
        small.fill(Qt::black);
        const QString path = dir.filePath(u"small.png"_s);
        QVERIFY(small.save(path));
        QVERIFY(form->openPicture(path));
        platform->colorDialog.answers = {RGB(0x20, 0xA0, 0x50), std::nullopt};
        form->chooseBackground();
        QCOMPARE(platform->colorDialog.offered.value(0), kDefaultBackground);
        QCOMPARE(decodePixel(form->frameBuffer(), 50, 50), RGB(0x20, 0xA0, 0x50));
        // The status line names the colour chosen, as --background takes it.
        const QString status = form->findChild<QLabel*>(u"Label3"_s)->text();
        QVERIFY2(status.contains(u"底色：#20A050"_s), qPrintable(status));
        const FrameBuffer chosen = form->frameBuffer();
        form->chooseBackground();
        QCOMPARE(platform->colorDialog.offered.value(1), RGB(0x20, 0xA0, 0x50));
        QCOMPARE(form->frameBuffer(), chosen);
    }

    // A fit needs the picture again; if its file is gone, the window keeps what it had.
    void fitWhosePictureIsGoneChangesNothing() {
        const QString path = dir.filePath(u"gone.jpg"_s);
        QVERIFY(QFile::copy(picture, path));
        QVERIFY(form->openPicture(path));
        const FrameBuffer before = form->frameBuffer();
        QVERIFY(QFile::remove(path));
        QVERIFY(!form->setFit(Fit::Contain));
        QCOMPARE(form->conversionOptions().fit, Fit::Original);
        QCOMPARE(form->frameBuffer(), before);
        QCOMPARE(platform->alerts.warnings.size(), 1);
        QVERIFY(platform->alerts.warnings[0].text.contains(u"文件不存在"_s));
    }

    // Each frame pixel is a zoom × zoom square; the grid puts one line between squares.
    void zoomWindowShowsTheFramePixelForPixel_data() {
        QTest::addColumn<int>("zoom");
        QTest::addColumn<bool>("grid");
        QTest::addColumn<bool>("panel");
        QTest::newRow("2×") << 2 << false << false;
        QTest::newRow("2× with grid") << 2 << true << false;
        QTest::newRow("5× with grid, panel brightness") << 5 << true << true;
    }
    void zoomWindowShowsTheFramePixelForPixel() {
        QFETCH(int, zoom);
        QFETCH(bool, grid);
        QFETCH(bool, panel);
        QVERIFY(form->openPicture(picture));
        form->showZoomWindow();
        ZoomWindow* window = form->zoomWindow();
        QVERIFY(window != nullptr);
        window->setZoom(zoom);
        window->setGrid(grid);
        window->setLevels(panel ? ZoomWindow::Levels::Panel : ZoomWindow::Levels::Preview);
        // It follows a new frame.
        QVERIFY(form->setFit(Fit::Stretch));
        const FrameBuffer& frame = form->frameBuffer();
        const int pitch = zoom + (grid ? 1 : 0);
        QCOMPARE(window->picture().size(),
                 QSize(98 * pitch - (grid ? 1 : 0), 67 * pitch - (grid ? 1 : 0)));
        for (int y = 0; y < window->picture().height(); ++y) {
            for (int x = 0; x < window->picture().width(); ++x) {
                const QRgb shown = window->picture().pixel(x, y);
                if (x % pitch == zoom || y % pitch == zoom) {
                    QCOMPARE(shown, qRgb(0x60, 0x60, 0x60)); // a grid line
                    continue;
                }
                const ColorValue c = decodePixel(frame, x / pitch, y / pitch);
                const int extra = panel ? 1 : 0; // n × 17 is n × 16 + n
                QCOMPARE(shown, qRgb(redOf(c) + extra * (redOf(c) >> 4),
                                     greenOf(c) + extra * (greenOf(c) >> 4),
                                     blueOf(c) + extra * (blueOf(c) >> 4)));
            }
        }
    }

    // Zoomed past what the area holds, the window stays within the area and the picture scrolls;
    // the zoom asked for is kept, grid or not.
    void zoomWindowStaysWithinTheArea_data() {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<bool>("grid");
        // A 1280 × 800 screen less a panel and the window's frame.
        QTest::newRow("11× on a 1280 × 800 screen") << QSize(1264, 752) << 11 << false;
        QTest::newRow("12× with the grid") << QSize(1264, 752) << 12 << true;
        QTest::newRow("6× on a 640 × 480 screen") << QSize(624, 432) << 6 << false;
    }
    void zoomWindowStaysWithinTheArea() {
        QFETCH(QSize, area);
        QFETCH(int, zoom);
        QFETCH(bool, grid);
        QVERIFY(form->openPicture(picture));
        form->showZoomWindow();
        ZoomWindow* window = form->zoomWindow();
        window->fitInto(area);
        window->setZoom(zoom);
        window->setGrid(grid);
        QCOMPARE(window->zoom(), zoom);
        window->layout()->activate();
        QCoreApplication::processEvents();
        QVERIFY2(window->width() <= area.width() && window->height() <= area.height(),
                 qPrintable(u"%1 × %2"_s.arg(window->width()).arg(window->height())));
        const int pitch = zoom + (grid ? 1 : 0);
        QCOMPARE(window->picture().size(), QSize(98 * pitch, 67 * pitch) - QSize(grid, grid));
        // Every part of the picture can be scrolled to.
        auto* view = window->findChild<QScrollArea*>();
        QVERIFY(view != nullptr);
        QCOMPARE(view->horizontalScrollBar()->maximum(),
                 qMax(0, window->picture().width() - view->viewport()->width()));
        QCOMPARE(view->verticalScrollBar()->maximum(),
                 qMax(0, window->picture().height() - view->viewport()->height()));
    }

    // Turning the grid on keeps the zoom, even where the window then no longer shows it whole.
    void gridKeepsTheZoom() {
        QVERIFY(form->openPicture(picture));
        form->showZoomWindow();
        ZoomWindow* window = form->zoomWindow();
        const QSize area(1264, 752);
        window->fitInto(area);
        const int zoom = window->zoom();
        QCOMPARE(zoom, window->largestZoomWithin(area));
        window->setGrid(true);
        QCOMPARE(window->zoom(), zoom);
        QVERIFY(window->largestZoomWithin(area) < zoom); // the grid made the picture larger
        QVERIFY(window->width() <= area.width() && window->height() <= area.height());
        window->setGrid(false);
        QCOMPARE(window->zoom(), zoom);
    }

    // Ticking the grid keeps the window's size: the picture grows inside it, scrolled as needed.
    void gridLeavesTheWindowsSize() {
        QVERIFY(form->openPicture(picture));
        form->showZoomWindow();
        ZoomWindow* window = form->zoomWindow();
        window->fitInto(QSize(1264, 752));
        window->setZoom(8);
        QCoreApplication::processEvents();
        const QSize before = window->size();
        window->setGrid(true);
        QCoreApplication::processEvents();
        QCOMPARE(window->size(), before);
        QCOMPARE(window->picture().width(), 98 * 9 - 1);
    }

    // Where the screen has room for the whole picture, it shows without scroll bars; where it
    // has room one way only, only the other way scrolls.
    void roomyZoomHasNoScrollBars_data() {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<bool>("grid");
        QTest::addColumn<bool>("vertical"); // a vertical scroll bar expected
        QTest::newRow("10× on a 1920 × 1080 screen") << QSize(1904, 1032) << 10 << false << false;
        QTest::newRow("10× with the grid") << QSize(1904, 1032) << 10 << true << false;
        QTest::newRow("12× on a 1920 × 1080 screen") << QSize(1904, 1032) << 12 << false << false;
        QTest::newRow("10× on a 1920 × 720 screen") << QSize(1904, 672) << 10 << false << true;
    }
    void roomyZoomHasNoScrollBars() {
        QFETCH(QSize, area);
        QFETCH(int, zoom);
        QFETCH(bool, grid);
        QFETCH(bool, vertical);
        QVERIFY(form->openPicture(picture));
        form->showZoomWindow();
        ZoomWindow* window = form->zoomWindow();
        window->fitInto(area);
        window->setGrid(grid);
        window->setZoom(zoom - 1);
        window->setZoom(zoom);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCoreApplication::processEvents();
        auto* view = window->findChild<QScrollArea*>();
        QVERIFY(view != nullptr);
        QVERIFY2(
            !view->horizontalScrollBar()->isVisible() &&
                view->verticalScrollBar()->isVisible() == vertical,
            qPrintable(u"window %1 × %2, viewport %3 × %4, picture %5 × %6"_s.arg(window->width())
                           .arg(window->height())
                           .arg(view->viewport()->width())
                           .arg(view->viewport()->height())
                           .arg(window->picture().width())
                           .arg(window->picture().height())));
    }

    // Ctrl+plus and Ctrl+minus zoom as soon as the window is open, wherever the keyboard is.
    void zoomKeysNeedNoClick_data() {
        QTest::addColumn<bool>("mainWindowActive");
        QTest::newRow("the zoom window active") << false;
        QTest::newRow("the main window still active") << true;
    }
    void zoomKeysNeedNoClick() {
        QFETCH(bool, mainWindowActive);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->showZoomWindow();
        ZoomWindow* window = form->zoomWindow();
        window->setZoom(4);
        QWidget* target = window;
        if (mainWindowActive) {
            form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(form.get()));
            target = form.get();
        } else {
            QVERIFY(QTest::qWaitForWindowActive(window));
            target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : window;
        }
        QTest::keyClick(target, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(window->zoom(), 5);
        QTest::keyClick(target, Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(window->zoom(), 3);
    }

    // The zoom is a control that shows and sets it.
    void zoomIsAControl() {
        form->showZoomWindow();
        ZoomWindow* window = form->zoomWindow();
        auto* box = window->findChild<QSpinBox*>(u"zoomBox"_s);
        QVERIFY(box != nullptr);
        QCOMPARE(box->minimum(), ZoomWindow::kMinZoom);
        QCOMPARE(box->maximum(), ZoomWindow::kMaxZoom);
        window->setZoom(7);
        QCOMPARE(box->value(), 7);
        box->setValue(3);
        QCOMPARE(window->zoom(), 3);
        QCOMPARE(window->picture().width(), 98 * 3);
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(window->zoom(), 4);
    }

    // Escape closes the window, wherever the focus is in it.
    void escapeClosesTheZoomWindow_data() {
        QTest::addColumn<QString>("focus");
        QTest::newRow("the window") << QString();
        QTest::newRow("the zoom box") << u"zoomBox"_s;
    }
    void escapeClosesTheZoomWindow() {
        QFETCH(QString, focus);
        form->showZoomWindow();
        ZoomWindow* window = form->zoomWindow();
        QVERIFY(window->isVisible());
        QWidget* target = focus.isEmpty() ? window : window->findChild<QWidget*>(focus);
        QVERIFY(target != nullptr);
        QTest::keyClick(target, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        form->showZoomWindow(); // and it opens again
        QVERIFY(form->zoomWindow()->isVisible());
    }

    // The status bar names the pixel under the mouse: pixel (3, 1) begins at byte
    // floor(1.5 × 3) + 147 = 151.
    void zoomWindowNamesThePixelUnderTheMouse() {
        QImage picture(98, 67, QImage::Format_RGB32);
        picture.fill(qRgb(0x9F, 0xA0, 0x3C));
        const QString path = dir.filePath(u"flat.png"_s);
        QVERIFY(picture.save(path));
        QVERIFY(form->openPicture(path));
        form->showZoomWindow();
        ZoomWindow* window = form->zoomWindow();
        window->setZoom(4);
        window->setGrid(true);
        window->describePixelAt({3 * 5 + 1, 1 * 5 + 3});
        QCOMPARE(window->statusText(), u"x = 3，y = 1　字节序号 151　红 9　绿 A　蓝 3"_s);
        QCOMPARE(window->framePixelAt({4, 0}), QPoint(-1, -1)); // the grid line after pixel 0
        window->setZoom(99);
        QCOMPARE(window->zoom(), ZoomWindow::kMaxZoom);
        QVERIFY(window->largestZoomWithin({4000, 4000}) == ZoomWindow::kMaxZoom);
        QVERIFY(window->largestZoomWithin({300, 200}) == ZoomWindow::kMinZoom);
    }
};

QTEST_MAIN(FitWindowTest)
#include "fit_window_test.moc"
