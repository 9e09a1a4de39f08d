// The main window: layout, opening pictures through the scripted dialog, and the failures that
// must leave everything as it was.

#include "codec/frame_buffer.h"
#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "export/frame_text_reader.h"
#include "fakes.h"
#include "golden_frames.h"
#include "platform/picture_box.h"
#include "test_files.h"
#include "ui/form1.h"
#include "ui/status_label.h"

#include <QBuffer>
#include <QFontInfo>
#include <QGroupBox>
#include <QImageWriter>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QtEndian>
#include <memory>

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

// Everything the user could tell apart between two moments.
struct Snapshot {
    FrameBuffer frame;
    QImage source;
    QImage preview;
    QString accumulator;
    QString status;
    QString fileName;
    bool operator==(const Snapshot&) const = default;
};

QImage patternPicture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.setPixel(x, y,
                             qRgb((x * 7 + y) & 0xFF, (y * 5) & 0xFF, (x * 3 + y * 11) & 0xFF));
        }
    }
    picture.setPixel(0, 0, qRgb(0x12, 0x34, 0x56));
    picture.setPixel(1, 0, qRgb(0x78, 0x9A, 0xBC));
    return picture;
}

// Qt reads GIF but can't write it: a one-colour GIF whose LZW stream sends a clear code before
// every second pixel, so the code size stays at 3 bits.
QByteArray flatGif(int width, int height, const QColor& color) {
    QByteArray gif("GIF89a", 6);
    auto append16 = [&gif](int v) {
        gif.append(char(v & 0xFF)).append(char(v >> 8));
    };
    append16(width);
    append16(height);
    gif.append(char(0x80)).append('\0').append('\0'); // global table of two colours
    gif.append(char(color.red())).append(char(color.green())).append(char(color.blue()));
    gif.append(QByteArray(3, '\0'));
    gif.append(',');
    append16(0);
    append16(0);
    append16(width);
    append16(height);
    gif.append('\0').append(char(2)); // no local table; minimum code size 2

    constexpr int kClear = 4, kEnd = 5, kBits = 3;
    QByteArray data;
    quint32 buffer = 0;
    int filled = 0;
    auto put = [&](int code) {
        buffer |= quint32(code) << filled;
        filled += kBits;
        while (filled >= 8) {
            data.append(char(buffer & 0xFF));
            buffer >>= 8;
            filled -= 8;
        }
    };
    for (int i = 0; i < width * height; ++i) {
        if (i % 2 == 0) {
            put(kClear);
        }
        put(0);
    }
    put(kEnd);
    if (filled > 0) {
        data.append(char(buffer & 0xFF));
    }
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        gif.append(char(block.size())).append(block);
    }
    gif.append('\0').append(';');
    return gif;
}

const QString kCornerNote = u"只显示左上角 98 × 67；右键可缩放"_s;

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<FakePlatform> platform;
    ScriptedFileDialog* dialog = nullptr;
    RecordingAlerts* alerts = nullptr;
    FakeClipboard* clipboard = nullptr;
    std::unique_ptr<Form1> form;

    template <typename T> T* control(const char* name) const {
        T* widget = form->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }
    PictureBox* picture1() const { return control<PictureBox>("Picture1"); }
    PictureBox* picture3() const { return control<PictureBox>("Picture3"); }
    QString status() const { return control<QLabel>("Label3")->text(); }

    Snapshot snapshot() const {
        return {form->frameBuffer(),
                picture1()->surface().image(),
                picture3()->surface().image(),
                form->textAccumulator(),
                status(),
                dialog->FileName()};
    }

    QString save(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!writeAll(path, bytes)) {
            qFatal("could not write %s", qPrintable(path));
        }
        return path;
    }

    void open(const QString& path) {
        dialog->answer(path);
        form->Command1_Click();
    }

    // The colour behind a small or transparent picture, the same whatever the desktop's theme.
    static ColorValue background() { return RGB(0xF0, 0xF0, 0xF0); }

    bool dragEnter(QMimeData& data) {
        QDragEnterEvent event(QPoint(60, 60), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        event.setAccepted(false);
        QCoreApplication::sendEvent(form.get(), &event);
        return event.isAccepted();
    }
    void drop(QMimeData& data) {
        QDropEvent event(QPointF(60, 60), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.get(), &event);
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        platform = std::make_unique<FakePlatform>();
        dialog = &platform->dialog;
        alerts = &platform->alerts;
        clipboard = &platform->clipboard;
        form = std::make_unique<Form1>(platform->services());
    }
    void cleanup() {
        QCOMPARE(dialog->unscripted, 0);
        form.reset();
        platform.reset();
    }

    // --- what the user sees ---------------------------------------------------------------

    void windowFrame() {
        QCOMPARE(form->windowTitle(), QStringLiteral(u"Ravik液晶显示器取模助手"));
        QCOMPARE(form->size(), QSize(248, 264));
        QCOMPARE(form->minimumSize(), form->maximumSize()); // not resizable
        const Qt::WindowFlags flags = form->windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        const QString window = QStringLiteral("Form1");
        const QString frame = QStringLiteral("Frame1");
        QTest::newRow("Label1") << u"Label1"_s << window << QRect(16, 16, 81, 17)
                                << u"打开的图片："_s;
        QTest::newRow("Label2") << u"Label2"_s << window << QRect(128, 16, 97, 17)
                                << u"取模效果预揽："_s;
        QTest::newRow("Picture1") << u"Picture1"_s << window << QRect(16, 40, 102, 71) << QString();
        QTest::newRow("Picture3") << u"Picture3"_s << window << QRect(128, 40, 102, 71)
                                  << QString();
        QTest::newRow("Frame1") << u"Frame1"_s << window << QRect(16, 120, 217, 129) << u"Frame1"_s;
        QTest::newRow("Command1") << u"Command1"_s << frame << QRect(8, 24, 97, 25)
                                  << u"打开文件"_s;
        QTest::newRow("Command2") << u"Command2"_s << frame << QRect(112, 24, 89, 25) << u"取模"_s;
        QTest::newRow("Command4") << u"Command4"_s << frame << QRect(8, 56, 97, 25)
                                  << u"保存为bin文件"_s;
        QTest::newRow("Command3") << u"Command3"_s << frame << QRect(112, 56, 89, 25)
                                  << u"关于本程序"_s;
        QTest::newRow("Label3") << u"Label3"_s << frame << QRect(8, 96, 193, 25)
                                << u"*注：取模后自动复制到剪贴板"_s;
        QTest::newRow("Text1") << u"Text1"_s << window << QRect(128, 464, 529, 217) << u"Text1"_s;
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        QWidget* widget = form->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QCOMPARE(widget->geometry(), geometry);
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QCOMPARE(label->text(), caption);
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QCOMPARE(button->text(), caption);
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            QCOMPARE(box->title(), caption);
        } else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
            QCOMPARE(edit->toPlainText(), caption);
        }
    }

    void pictureBoxesHaveA98By67InnerArea() {
        for (PictureBox* box : {picture1(), picture3()}) {
            QCOMPARE(box->contentsRect(), QRect(2, 2, 98, 67));
            QCOMPARE(box->Point(0, 0), background());
            QCOMPARE(box->Point(97, 66), background());
            QCOMPARE(box->Point(98, 0), PictureSurface::kOutside);
        }
    }

    void focusOrderStartsAtTheHiddenTextBox() {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QWidget* text1 = control<QWidget>("Text1");
        QCOMPARE(QApplication::focusWidget(), text1);
        QVERIFY(text1->y() >= form->height()); // outside the client area
        const QStringList expected = {u"Text1"_s,    u"Command3"_s, u"Command4"_s, u"Command2"_s,
                                      u"Command1"_s, u"Picture3"_s, u"Picture1"_s};
        QStringList order;
        QWidget* widget = text1;
        for (int i = 0; i < expected.size(); ++i) {
            order << widget->objectName();
            widget = widget->nextInFocusChain();
            while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty()) {
                widget = widget->nextInFocusChain();
            }
        }
        QCOMPARE(order, expected);
    }

    // The keyboard is not trapped in the hidden text box: Tab moves on along the focus order.
    void tabLeavesTheHiddenTextBox_data() {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QString>("next");
        QTest::newRow("Tab") << Qt::KeyboardModifiers() << u"Command3"_s;
        QTest::newRow("Shift+Tab") << Qt::KeyboardModifiers(Qt::ShiftModifier) << u"Picture1"_s;
    }
    void tabLeavesTheHiddenTextBox() {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QString, next);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        auto* text1 = control<QPlainTextEdit>("Text1");
        QCOMPARE(QApplication::focusWidget(), text1);
        QTest::keyClick(text1, Qt::Key_Tab, modifiers);
        QCOMPARE(QApplication::focusWidget()->objectName(), next);
        QCOMPARE(text1->toPlainText(), u"Text1"_s);
    }

    // The Menu key or a right click on the hidden text box would open its edit menu beside the
    // window, where the box lies: no menu opens.
    void hiddenTextBoxOpensNoMenu_data() {
        QTest::addColumn<bool>("keyboard");
        QTest::newRow("Menu key") << true;
        QTest::newRow("right click") << false;
    }
    void hiddenTextBoxOpensNoMenu() {
        QFETCH(bool, keyboard);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        auto* text1 = control<QPlainTextEdit>("Text1");
        QWidget* target = keyboard ? static_cast<QWidget*>(text1) : text1->viewport();
        // A menu runs its own event loop: look for it from there, and close it.
        bool opened = false;
        QTimer::singleShot(0, this, [&opened] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                opened = true;
                popup->close();
            }
        });
        const QPoint at(5, 5);
        QContextMenuEvent event(keyboard ? QContextMenuEvent::Keyboard : QContextMenuEvent::Mouse,
                                at, target->mapToGlobal(at));
        QCoreApplication::sendEvent(target, &event);
        QTest::qWait(10);
        QVERIFY(!opened);
    }

    // --- opening pictures -----------------------------------------------------------------

    void openPackedTopLeftCorner() {
        // Bands in the corner, black beyond it, and the worked pair at the start.
        QImage picture = bandPicture(150, 90, band);
        for (int y = 0; y < 90; ++y) {
            for (int x = 0; x < 150; ++x) {
                if (x >= 98 || y >= 67) {
                    picture.setPixel(x, y, qRgb(0, 0, 0));
                }
            }
        }
        picture.setPixel(0, 0, qRgb(0x12, 0x34, 0x56));
        picture.setPixel(1, 0, qRgb(0x78, 0x9A, 0xBC));
        const QString path = save(QStringLiteral("pattern.png"), encoded(picture, "png"));
        open(path);

        QVERIFY(alerts->warnings.isEmpty());
        QByteArray expected = bandFrame(band);
        expected.replace(0, 3, QByteArray("\x13\x57\x9B", 3)); // the worked pair
        QCOMPARE(QByteArray::fromStdString(frameBytes(form->frameBuffer())), expected);
        for (const QPoint p : {QPoint(0, 0), QPoint(1, 0), QPoint(50, 33), QPoint(97, 66)}) {
            const QRgb c = picture.pixel(p);
            QCOMPARE(picture1()->Point(p.x(), p.y()), RGB(qRed(c), qGreen(c), qBlue(c)));
            QCOMPARE(picture3()->Point(p.x(), p.y()), RGB(qRed(c), qGreen(c), qBlue(c)) & 0xF0F0F0);
        }
        QCOMPARE(status(), u"已打开"_s + QDir::toNativeSeparators(path) + u"\n"_s + kCornerNote);
        QCOMPARE(dialog->FileName(), path);
    }

    void everyFormatReachesTheFrame_data() {
        QTest::addColumn<QByteArray>("format");
        for (const char* format : {"png", "bmp", "jpg", "gif", "tiff", "webp", "ico", "tga"}) {
            QTest::newRow(format) << QByteArray(format);
        }
    }
    void everyFormatReachesTheFrame() {
        QFETCH(QByteArray, format);
        if (!QImageWriter::supportedImageFormats().contains(format) && format != "tga" &&
            format != "gif") {
            QSKIP("no writer for this format here");
        }
        // A flat colour well inside its nibbles survives lossy encoders.
        const QColor color(0x88, 0x48, 0xC8);
        QImage picture(98, 67, QImage::Format_RGB32);
        picture.fill(color);
        QByteArray bytes;
        if (format == "tga") {
            // Qt reads TGA but can't write it: an uncompressed 24-bit, top-left-origin file.
            bytes = QByteArray("\0\0\x02\0\0\0\0\0\0\0\0\0", 12);
            bytes.append(char(98)).append('\0').append(char(67)).append('\0');
            bytes.append(char(24)).append(char(0x20));
            for (int i = 0; i < 98 * 67; ++i) {
                bytes.append(char(0xC8)).append(char(0x48)).append(char(0x88));
            }
            bytes.append(QByteArray(8, '\0')).append("TRUEVISION-XFILE.").append('\0');
        } else if (format == "gif") {
            bytes = flatGif(98, 67, color);
        } else {
            bytes = encoded(picture, format, 95);
        }
        open(save(QStringLiteral("flat.") + QString::fromLatin1(format), bytes));
        QVERIFY2(alerts->warnings.isEmpty(), qPrintable(alerts->warnings.value(0).text));
        QCOMPARE(QByteArray::fromStdString(frameBytes(form->frameBuffer())),
                 flatFrame(color.rgb())); // 84 C8 4C …
    }

    void exifOrientationIsShownUpright() {
        // Stored 40 × 20, bottom-left quadrant red, the rest blue. Orientation 6 turns it a
        // quarter clockwise: shown 20 × 40, its top row starts with ten red pixels.
        QImage stored(40, 20, QImage::Format_RGB32);
        stored.fill(Qt::blue);
        for (int y = 10; y < 20; ++y) {
            for (int x = 0; x < 20; ++x) {
                stored.setPixel(x, y, qRgb(255, 0, 0));
            }
        }
        open(save(QStringLiteral("turned.jpg"),
                  withExifOrientation(encoded(stored, "jpg", 100), 6)));
        QVERIFY(alerts->warnings.isEmpty());
        const auto isRed = [](ColorValue c) {
            return redOf(c) > 200 && blueOf(c) < 60;
        };
        const auto isBlue = [](ColorValue c) {
            return blueOf(c) > 200 && redOf(c) < 60;
        };
        QVERIFY(isRed(picture1()->Point(2, 2)));
        QVERIFY(isBlue(picture1()->Point(15, 2)));
        QVERIFY(isBlue(picture1()->Point(5, 35)));
        QCOMPARE(picture1()->Point(25, 2), background()); // only 20 wide once upright
        QCOMPARE(picture1()->Point(5, 45), background());
    }

    void smallerPictureStandsOnTheBackground() {
        QImage picture(10, 6, QImage::Format_RGB32);
        picture.fill(qRgb(255, 255, 255));
        open(save(QStringLiteral("small.png"), encoded(picture, "png")));
        QCOMPARE(picture1()->Point(9, 5), RGB(255, 255, 255));
        QCOMPARE(picture1()->Point(10, 5), background());
        QCOMPARE(picture1()->Point(50, 50), background());
        // Background everywhere but the first five white pairs (15 bytes) of rows 0 to 5.
        const ColorValue bg = background();
        QByteArray expected = flatFrame(qRgb(redOf(bg), greenOf(bg), blueOf(bg)));
        for (int y = 0; y < 6; ++y) {
            expected.replace(147 * y, 15, QByteArray(15, '\xFF'));
        }
        QCOMPARE(QByteArray::fromStdString(frameBytes(form->frameBuffer())), expected);
        QCOMPARE(picture3()->Point(60, 60), background() & 0xF0F0F0);
    }

    void transparencyShowsTheBackground() {
        QImage picture(98, 67, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        picture.setPixel(1, 0, qRgba(0, 0, 0, 255));
        picture.setPixel(2, 0, qRgba(0, 0, 0, 128));
        open(save(QStringLiteral("alpha.png"), encoded(picture, "png")));
        const ColorValue bg = background();
        QCOMPARE(picture1()->Point(0, 0), bg);
        QCOMPARE(picture1()->Point(1, 0), RGB(0, 0, 0));
        const ColorValue half = picture1()->Point(2, 0);
        QVERIFY(qAbs(redOf(half) - redOf(bg) / 2) <= 2);
        QVERIFY(qAbs(blueOf(half) - blueOf(bg) / 2) <= 2);
    }

    // What the boxes don't show of a picture is named below the message and in the source
    // box's tooltip: the frames after the first, and beyond the top-left corner at the original
    // size (as the picture is shown, after its EXIF turn).
    void openedPictureNamesWhatIsNotShown_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("note");
        const auto png = [](int w, int h) {
            return encoded(patternPicture(w, h), "png");
        };
        QTest::newRow("exactly the box") << u"box.png"_s << png(98, 67) << QString();
        QTest::newRow("one column too wide") << u"wide.png"_s << png(99, 67) << kCornerNote;
        QTest::newRow("one row too tall") << u"tall.png"_s << png(98, 68) << kCornerNote;
        QTest::newRow("80 × 60 turned upright to 60 × 80")
            << u"turned.jpg"_s << withExifOrientation(encoded(patternPicture(80, 60), "jpg"), 6)
            << kCornerNote;
        // Animations written by ImageMagick and libwebp's gif2webp.
        const QString gif = dir.filePath(u"three.gif"_s);
        QVERIFY(run(u"/usr/bin/convert"_s, {u"-delay"_s, u"10"_s, u"-size"_s, u"20x20"_s,
                                            u"xc:red"_s, u"xc:lime"_s, u"xc:blue"_s, gif}));
        const QString webp = dir.filePath(u"three.webp"_s);
        QVERIFY(run(u"/usr/bin/gif2webp"_s, {u"-quiet"_s, gif, u"-o"_s, webp}));
        const QString still = dir.filePath(u"still.gif"_s);
        QVERIFY(run(u"/usr/bin/convert"_s, {u"-size"_s, u"20x20"_s, u"xc:red"_s, still}));
        QTest::newRow("animated GIF") << u"anim.gif"_s << readAll(gif) << u"动画共 3 帧"_s;
        QTest::newRow("animated WebP") << u"anim.webp"_s << readAll(webp) << u"动画共 3 帧"_s;
        QTest::newRow("GIF of one frame") << u"one.gif"_s << readAll(still) << QString();
        const QString big = dir.filePath(u"big.gif"_s);
        QVERIFY(run(u"/usr/bin/convert"_s, {u"-delay"_s, u"10"_s, u"-size"_s, u"120x80"_s,
                                            u"xc:red"_s, u"xc:lime"_s, big}));
        QTest::newRow("animated GIF beyond the box")
            << u"big anim.gif"_s << readAll(big) << u"动画共 2 帧；"_s + kCornerNote;
    }
    void openedPictureNamesWhatIsNotShown() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, note);
        QVERIFY(!bytes.isEmpty());
        const QString path = save(name, bytes);
        open(path);
        QVERIFY(alerts->warnings.isEmpty());
        const QString message = u"已打开"_s + QDir::toNativeSeparators(path);
        QCOMPARE(status(), note.isEmpty() ? message : message + u'\n' + note);
        QVERIFY(picture1()->toolTip().startsWith(note));
        QVERIFY(picture1()->toolTip().contains(u"右键"_s));
        // Scaled, the whole picture is shown: only the frames are left to name.
        QVERIFY(form->setFit(Fit::Contain));
        QVERIFY(!status().contains(u"左上角"_s));
        QCOMPARE(status().contains(u"动画共"_s), note.contains(u"动画共"_s));
        QVERIFY(form->setFit(Fit::Original));
        QCOMPARE(status().endsWith(kCornerNote), note.endsWith(kCornerNote));
    }

    void secondPictureReplacesTheFirst() {
        QImage white(98, 67, QImage::Format_RGB32);
        white.fill(Qt::white);
        open(save(QStringLiteral("white.png"), encoded(white, "png")));
        open(save(QStringLiteral("bands.bmp"), encoded(bandPicture(98, 67, band), "bmp")));
        QCOMPARE(QByteArray::fromStdString(frameBytes(form->frameBuffer())), bandFrame(band));
    }

    void chineseNameWithSpaces() {
        QImage picture(98, 67, QImage::Format_RGB32);
        picture.fill(qRgb(0x30, 0x60, 0x90));
        const QString path =
            save(QStringLiteral(u"我的 图片/测试 图 1.png"), encoded(picture, "png"));
        open(path);
        QVERIFY(alerts->warnings.isEmpty());
        QCOMPARE(picture1()->Point(40, 40), RGB(0x30, 0x60, 0x90));
        QVERIFY(status().endsWith(QDir::toNativeSeparators(path)));
    }

    void longPathIsShortenedInTheMiddle() {
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::black);
        const QString path = save(QStringLiteral("a_rather_long_folder_name/another_long_folder/"
                                                 "yet_another_level_of_folders/final_picture.png"),
                                  encoded(picture, "png"));
        open(path);
        auto* label = control<StatusLabel>("Label3");
        // The full text stays the label's text, the path as the system writes it.
        QCOMPARE(label->text(), u"已打开"_s + QDir::toNativeSeparators(path));
        QCOMPARE(label->toolTip(), label->text());
        const StatusLabel::Layout layout = label->shownLayout();
        const QStringList& lines = layout.lines;
        QVERIFY(!lines.isEmpty());
        QVERIFY(lines.first().startsWith(u"已打开"_s));
        QVERIFY(lines.last().endsWith(QStringLiteral("final_picture.png")));
        QVERIFY(lines.join(QString()).contains(u'…'));
        const QFontMetrics metrics(layout.font);
        for (const QString& line : lines) {
            QVERIFY(metrics.horizontalAdvance(line) <= label->contentsRect().width());
        }
    }

    // Lines lie at least the font's line spacing apart, their ink wholly inside the status line
    // and clear of each other, so an underscore is neither drawn over by the next line nor cut.
    void statusLinesKeepTheirUnderscores_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("whole");
        const QString name = u"测试图片_最终版本_v2.jpg"_s;
        QTest::newRow("one line") << name << true;
        QTest::newRow("wrapped onto two lines") << u"已打开/home/user/"_s + name << true;
        QTest::newRow("shortened in the middle")
            << u"已打开/"_s + u"很长的文件夹_名字/"_s.repeated(8) + name << false;
        QTest::newRow("two messages") << u"已打开"_s + name + u"\n动画共 12 帧"_s << true;
    }
    void statusLinesKeepTheirUnderscores() {
        QFETCH(QString, text);
        QFETCH(bool, whole);
        auto* label = control<StatusLabel>("Label3");
        label->setText(text);
        const StatusLabel::Layout layout = label->shownLayout();
        const QFontMetrics metrics(layout.font);
        const QRect area = label->contentsRect();
        QCOMPARE(layout.baselines.size(), layout.lines.size());
        QVERIFY(!layout.lines.isEmpty());
        // What each line draws, Chinese fallback glyphs included, lies inside the label and
        // clear of the next line's: a glyph drawn over an underscore wipes it out.
        auto ink = [&](qsizetype i) {
            return metrics.tightBoundingRect(layout.lines[i]).translated(0, layout.baselines[i]);
        };
        QVERIFY(ink(0).top() >= area.top());
        QVERIFY2(ink(layout.lines.size() - 1).bottom() <= area.bottom(),
                 qPrintable(layout.lines.join(u'|')));
        for (qsizetype i = 1; i < layout.baselines.size(); ++i) {
            QVERIFY(layout.baselines[i] - layout.baselines[i - 1] >= metrics.lineSpacing());
            QVERIFY2(ink(i - 1).bottom() < ink(i).top(), qPrintable(layout.lines.join(u'|')));
        }
        QVERIFY(QFontInfo(layout.font).pixelSize() >= StatusLabel::kSmallestPixelSize);
        const QString shown = layout.lines.join(QString());
        if (whole) {
            QCOMPARE(shown, QString(text).remove(u'\n'));
        } else {
            QVERIFY(shown.startsWith(u"已打开/"_s));
            QVERIFY(shown.endsWith(u"测试图片_最终版本_v2.jpg"_s));
        }
    }

    void shortStatusHasNoTooltip() {
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::black);
        open(save(QStringLiteral("a.png"), encoded(picture, "png")));
        auto* label = control<StatusLabel>("Label3");
        if (!label->fits(label->text())) {
            QSKIP("the temporary folder's path is too long for this check");
        }
        QVERIFY(label->toolTip().isEmpty());
        QVERIFY(!label->shownLines().join(QString()).contains(u'…'));
    }

    // --- failures change nothing ----------------------------------------------------------

    void badPictureChangesNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QImage picture = patternPicture(98, 67);
        const QByteArray png = encoded(picture, "png");
        const QByteArray jpeg = encoded(picture, "jpg", 90);
        QTest::newRow("missing file") << u"missing.png"_s << QByteArray() << u"文件不存在"_s;
        QTest::newRow("empty file") << u"empty.png"_s << QByteArray("") << u"文件是空的"_s;
        QTest::newRow("not a picture") << u"notes.jpg"_s << QByteArray("just some text, no picture")
                                       << u"不是可识别的图片格式"_s;
        QTest::newRow("folder") << u"folder.png"_s << QByteArray() << u"文件夹"_s;
        QTest::newRow("truncated png") << u"cut.png"_s << png.left(png.size() / 2) << u"不完整"_s;
        QTest::newRow("truncated jpeg")
            << u"cut.jpg"_s << jpeg.left(jpeg.size() * 2 / 3) << u"不完整"_s;
    }
    void badPictureChangesNothing() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);

        // A good picture and a text block first, so there is state to keep.
        open(save(QStringLiteral("good.png"), encoded(patternPicture(98, 67), "png")));
        form->Command2_Click();
        const Snapshot before = snapshot();

        QString path = dir.filePath(name);
        if (QTest::currentDataTag() == QByteArray("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else if (!bytes.isNull()) {
            path = save(name, bytes);
        }
        open(path);

        QCOMPARE(alerts->warnings.size(), 1);
        const QString text = alerts->warnings.first().text;
        QVERIFY2(text.contains(QDir::toNativeSeparators(path)), qPrintable(text));
        QVERIFY2(text.contains(reason), qPrintable(text));
        QVERIFY(snapshot() == before);
    }

    void cancelChangesNothing() {
        dialog->cancel(); // the very first open, with no file ever chosen
        const Snapshot initial = snapshot();
        form->Command1_Click();
        QVERIFY(snapshot() == initial);

        open(save(QStringLiteral("good.png"), encoded(patternPicture(98, 67), "png")));
        form->Command2_Click();
        const Snapshot before = snapshot();
        dialog->cancel();
        form->Command1_Click();
        QVERIFY(snapshot() == before);
        QVERIFY(alerts->warnings.isEmpty());
    }

    void openDialogAlwaysOffersPictures() {
        const QString path =
            save(QStringLiteral("sub/good.png"), encoded(patternPicture(98, 67), "png"));
        open(path);
        dialog->cancel(); // a save, which sets the *.bin filter
        form->Command4_Click();
        dialog->cancel();
        form->Command1_Click();

        QCOMPARE(dialog->shown.size(), 3);
        const auto& first = dialog->shown[0];
        const auto& later = dialog->shown[2];
        QCOMPARE(first.mode, FileDialog::Mode::Open);
        QCOMPARE(later.mode, FileDialog::Mode::Open);
        for (const auto& shown : {first, later}) {
            QCOMPARE(shown.nameFilters.size(), 3);
            const QString pictures = shown.nameFilters[0];
            QVERIFY2(pictures.startsWith(u"图片文件 ("_s), qPrintable(pictures));
            for (const char* pattern : {"*.png", "*.jpg", "*.jpeg", "*.bmp", "*.gif"}) {
                QVERIFY2(pictures.contains(QLatin1String(pattern)), pattern);
            }
            QVERIFY(!pictures.contains(QStringLiteral("*.bin")));
            QCOMPARE(shown.nameFilters[1], u"帧数据 (*.bin *.c *.h *.txt)"_s);
            QCOMPARE(shown.nameFilters[2], u"所有文件 (*)"_s);
        }
        QCOMPARE(later.startPath, QFileInfo(path).absolutePath()); // the last file's folder
    }

    // --- "取模" -------------------------------------------------------------------------------

    void copyPutsOneBlockOnTheClipboard() {
        open(save(QStringLiteral("good.png"), encoded(patternPicture(98, 67), "png")));
        const QString expected = QString::fromStdString(formatCArrayText(form->frameBuffer()));
        QVERIFY(expected.startsWith(u"0x13,0x57,0x9B,"_s));

        for (int press = 1; press <= 2; ++press) {
            form->Command2_Click();
            QCOMPARE(clipboard->calls, press);
            QCOMPARE(clipboard->text.size(), 50477);
            QCOMPARE(clipboard->text, expected);
            // The text box keeps lines, not line-end characters.
            QCOMPARE(control<QPlainTextEdit>("Text1")->toPlainText(),
                     QString(expected).replace(u"\r\n"_s, u"\n"_s));
            QCOMPARE(form->textAccumulator(), expected);
            QCOMPARE(status(), u"已完成，取模数据已放到剪贴板，为c语言格式，请在IDE里粘贴"_s);
        }
        QVERIFY(alerts->warnings.isEmpty());

        // Opening a picture empties the accumulator again.
        open(save(QStringLiteral("other.png"), encoded(patternPicture(120, 70), "png")));
        QVERIFY(form->textAccumulator().isEmpty());
    }

    void copyBeforeAnyPictureGivesTheZeroFrame() {
        form->Command2_Click();
        QCOMPARE(clipboard->text.size(), 50477);
        QCOMPARE(clipboard->text.count(u"0x00,"_s), 9849);
    }

    void refusedClipboardIsReportedNotClaimed() {
        clipboard->refuse = true;
        const QString before = status();
        form->Command2_Click();
        QCOMPARE(status(), before);
        QCOMPARE(alerts->warnings.size(), 1);
        QVERIFY(alerts->warnings.first().text.contains(u"剪贴板"_s));
    }

    // --- "保存为bin文件" ----------------------------------------------------------------------

    void saveWritesTheFrame() {
        const QString picture =
            save(QStringLiteral("photo.jpg"), encoded(patternPicture(98, 67), "jpg", 90));
        const QByteArray pictureBytes = readAll(picture);
        open(picture);
        const QString statusBefore = status();
        const QString target = dir.filePath(QStringLiteral("photo.bin"));
        dialog->answer(target);
        form->Command4_Click();

        const auto& shown = dialog->shown.last();
        QCOMPARE(shown.mode, FileDialog::Mode::Save);
        QCOMPARE(shown.nameFilters, QStringList{u"*.bin"_s});
        QCOMPARE(dialog->Filter(), u"*.bin|*.bin"_s);
        // The picture's own name is never proposed as the target.
        QCOMPARE(shown.startPath, target);
        QCOMPARE(readAll(picture), pictureBytes);

        QCOMPARE(readAll(target), QByteArray::fromStdString(frameBytes(form->frameBuffer())));
        QVERIFY(status() != statusBefore);
        QCOMPARE(status(), u"已保存"_s + QDir::toNativeSeparators(target)); // as "已打开" is
        QCOMPARE(dialog->FileName(), target);
        QVERIFY(alerts->warnings.isEmpty());

        // The next save proposes the .bin as it is.
        dialog->cancel();
        form->Command4_Click();
        QCOMPARE(dialog->shown.last().startPath, target);
    }

    void saveBeforeAnyPictureWritesZeros() {
        const QString target = dir.filePath(QStringLiteral(u"帧 数据"));
        dialog->answer(target); // typed without .bin: used as typed
        form->Command4_Click();
        QCOMPARE(dialog->shown.last().startPath, QString());
        QCOMPARE(readAll(target), QByteArray(9849, '\0'));
    }

    void cancelledSaveWritesNothing() {
        open(save(QStringLiteral("good.png"), encoded(patternPicture(98, 67), "png")));
        const QStringList before = QDir(dir.path()).entryList(QDir::Files);
        dialog->cancel();
        form->Command4_Click();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
        QCOMPARE(dialog->FileName(), dir.filePath(QStringLiteral("good.png")));
    }

    void failedSaveKeepsTheFileAndTheWindow_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder of that name") << u"@dir/taken.bin"_s << u"文件夹"_s;
        QTest::newRow("missing folder") << u"@dir/no/such/f.bin"_s << u"文件夹不存在"_s;
#ifndef Q_OS_WIN // devices and /proc are Linux's
        QTest::newRow("full disk") << u"/dev/full"_s << u"磁盘空间不足"_s;
        QTest::newRow("read-only place") << u"/proc/ravik-frame.bin"_s << u"文件"_s;
#endif
    }
    void failedSaveKeepsTheFileAndTheWindow() {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        target.replace(u"@dir"_s, dir.path());
        open(save(QStringLiteral("good.png"), encoded(patternPicture(98, 67), "png")));
        form->Command2_Click();
        const Snapshot before = snapshot();
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("taken.bin")));
        dialog->answer(target);
        form->Command4_Click();

        QCOMPARE(alerts->warnings.size(), 1);
        const QString text = alerts->warnings.first().text;
        QVERIFY2(text.contains(QDir::toNativeSeparators(target)), qPrintable(text));
        QVERIFY2(text.contains(reason), qPrintable(text));
        QVERIFY(snapshot() == before);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("taken.bin"))).isDir());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("no"))));
    }

    // --- dropping files on the window ---------------------------------------------------

    void droppedPictureOpensLikeTheDialog() {
        form->Command2_Click(); // some text, which opening must clear
        const QString path =
            save(QStringLiteral(u"拖放 图.png"), encoded(patternPicture(98, 67), "png"));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QVERIFY(dragEnter(data));
        drop(data);
        QVERIFY(alerts->warnings.isEmpty());
        QCOMPARE(dialog->FileName(), path);
        QVERIFY(form->textAccumulator().isEmpty());
        QCOMPARE(form->frameBuffer()[0], std::uint8_t{0x13});
        QCOMPARE(status(), u"已打开"_s + QDir::toNativeSeparators(path));
        QVERIFY(dialog->shown.isEmpty()); // no dialog involved
    }

    void droppedBadPictureIsReported() {
        open(save(QStringLiteral("good.png"), encoded(patternPicture(98, 67), "png")));
        const Snapshot before = snapshot();
        QMimeData data;
        data.setUrls(
            {QUrl::fromLocalFile(save(QStringLiteral("frame.png"), QByteArray(9849, 'x')))});
        QVERIFY(dragEnter(data)); // any one file is taken; the picture loader judges it
        drop(data);
        QCOMPARE(alerts->warnings.size(), 1);
        QVERIFY(snapshot() == before);
    }

    void dropsOtherThanOneFileAreRefused_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("several files") << 0;
        QTest::newRow("text") << 1;
        QTest::newRow("folder") << 2;
        QTest::newRow("web address") << 3;
    }
    void dropsOtherThanOneFileAreRefused() {
        QFETCH(int, kind);
        const QString a = save(QStringLiteral("a.png"), encoded(patternPicture(98, 67), "png"));
        const QString b = save(QStringLiteral("b.png"), encoded(patternPicture(98, 67), "png"));
        QMimeData data;
        switch (kind) {
        case 0:
            data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
            break;
        case 1:
            data.setText(a);
            break;
        case 2:
            data.setUrls({QUrl::fromLocalFile(dir.path())});
            break;
        default:
            data.setUrls({QUrl(u"https://example.com/a.png"_s)});
        }
        const Snapshot before = snapshot();
        QVERIFY(!dragEnter(data));
        drop(data);
        QVERIFY(snapshot() == before);
        QVERIFY(alerts->warnings.isEmpty());
    }

    // --- frames read back, pasting, the picture boxes' menu ----------------------------------

    // A frame from its description: pixel (x, y) has red x mod 16, green y mod 16, blue 15.
    static FrameBuffer describedFrame() {
        FrameBuffer frame;
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth; x += 2) {
                const int i = pixelIndex(x, y);
                const int r0 = x % 16, g0 = y % 16, r1 = (x + 1) % 16;
                frame[std::size_t(i)] = std::uint8_t(r0 << 4 | g0);
                frame[std::size_t(i + 1)] = std::uint8_t(15 << 4 | r1);
                frame[std::size_t(i + 2)] = std::uint8_t(g0 << 4 | 15);
            }
        }
        return frame;
    }

    void shownFrameIs(const FrameBuffer& frame) {
        QVERIFY(form->frameBuffer().frame().size() == frame.frame().size());
        QVERIFY(std::equal(frame.frame().begin(), frame.frame().end(),
                           form->frameBuffer().frame().begin()));
        for (const QPoint p : {QPoint(0, 0), QPoint(17, 3), QPoint(97, 66)}) {
            const ColorValue expected = RGB(p.x() % 16 * 16, p.y() % 16 * 16, 0xF0);
            QCOMPARE(picture3()->Point(p.x(), p.y()), expected);
            QCOMPARE(picture1()->Point(p.x(), p.y()), expected); // decoded in the source box too
        }
        QVERIFY(form->textAccumulator().isEmpty());
    }

    // Another frame: every byte inverted.
    static FrameBuffer invertedFrame() {
        FrameBuffer frame = describedFrame();
        for (int i = 0; i < kFrameSize; ++i) {
            frame[std::size_t(i)] = std::uint8_t(~frame[std::size_t(i)]);
        }
        return frame;
    }

    // Frame sets show their first frame, and the status line says how many there are.
    void opensFrameFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("via");
        QTest::addColumn<QString>("note");
        const FrameBuffer frame = describedFrame();
        const QByteArray text = QByteArray::fromStdString(formatCArrayText(frame));
        const QByteArray other = QByteArray::fromStdString(formatCArrayText(invertedFrame()));
        QTest::newRow(".bin by 打开文件")
            << u"屏幕.bin"_s << QByteArray::fromStdString(frameBytes(frame)) << u"dialog"_s
            << QString();
        QTest::newRow("C text by 打开文件") << u"frame.txt"_s << text << u"dialog"_s << QString();
        QTest::newRow("array in a .c file, dropped")
            << u"logo.c"_s << "const unsigned char logo[] = {\n" + text + "};\n"
            << u"drop"_s << QString();
        QTest::newRow(".h as the command line opens it")
            << u"f.h"_s << text << u"open"_s << QString();
        QTest::newRow(".bin of three frames by 打开文件")
            << u"动画.bin"_s
            << QByteArray::fromStdString(frameBytes(frame)) +
                   QByteArray::fromStdString(frameBytes(invertedFrame())) +
                   QByteArray::fromStdString(frameBytes(frame))
            << u"dialog"_s << u"\n帧数据共 3 帧，显示第 1 帧"_s;
        QTest::newRow("two-level initialiser in a .c file, dropped")
            << u"anim.c"_s
            << "const unsigned char anim[2][9849] = {\n  {\n" + text + "  }, {\n" + other +
                   "  }\n};\n"
            << u"drop"_s << u"\n帧数据共 2 帧，显示第 1 帧"_s;
        QTest::newRow("one frame in two levels of braces")
            << u"one.h"_s << "{ {" + text + "} }" << u"open"_s << u"\n帧数据共 1 帧，显示第 1 帧"_s;
    }
    void opensFrameFiles() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, via);
        QFETCH(QString, note);
        const QString path = save(name, bytes);
        if (via == u"dialog"_s) {
            open(path);
        } else if (via == u"drop"_s) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            QVERIFY(dragEnter(data));
            drop(data);
        } else {
            QVERIFY(form->openFile(path));
        }
        QVERIFY(alerts->warnings.isEmpty());
        shownFrameIs(describedFrame());
        QCOMPARE(status(), u"已打开"_s + QDir::toNativeSeparators(path) + note);
        // Saving proposes the frame file itself, or a .bin beside C text.
        dialog->cancel();
        form->Command4_Click();
        const QFileInfo info(path);
        QCOMPARE(dialog->shown.constLast().startPath,
                 info.path() + u'/' + info.completeBaseName() + u".bin"_s);
    }

    void refusedFrameFilesChangeNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("one byte too many")
            << u"long.bin"_s << QByteArray(kFrameSize + 1, '\x12')
            << u"帧数据应为 9849 字节或其整数倍，此文件为 9850 字节"_s;
        QTest::newRow("three frames but one byte")
            << u"short.bin"_s << QByteArray(3 * kFrameSize - 1, '\x12')
            << u"帧数据应为 9849 字节或其整数倍，此文件为 29546 字节"_s;
        QTest::newRow("a frame of a set one value short")
            << u"set.c"_s
            << "{ {" + QByteArray::fromStdString(formatCArrayText(describedFrame())) + "},\n{" +
                   QByteArray::fromStdString(formatCArrayText(describedFrame())).mid(5) + "} }"
            << u"第 2 帧（第 618 行起）应为 9849 个数值，此处有 9848 个"_s;
        QTest::newRow("a value out of range") << u"bad.c"_s << QByteArray("{ 0x00,\n 300 }")
                                              << u"第 2 行的数值 300 超出 0–255 的范围"_s;
    }
    void refusedFrameFilesChangeNothing() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        open(save(u"start.png"_s, encoded(patternPicture(98, 67), "png")));
        form->Command2_Click();
        const Snapshot before = snapshot();
        open(save(name, bytes));
        QCOMPARE(alerts->warnings.size(), 1);
        QVERIFY2(alerts->warnings[0].text.contains(reason), qPrintable(alerts->warnings[0].text));
        QVERIFY(snapshot() == before);
    }

    void pastes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("withImage");
        QTest::addColumn<QString>("status");
        const QString text = QString::fromStdString(formatCArrayText(describedFrame()));
        const QString other = QString::fromStdString(formatCArrayText(invertedFrame()));
        QTest::newRow("frame text") << text << false << u"已从剪贴板读取帧数据"_s;
        QTest::newRow("frame set text, one frame after another")
            << text + other << false << u"已从剪贴板读取帧数据\n帧数据共 2 帧，显示第 1 帧"_s;
        QTest::newRow("a picture, with text beside it")
            << u"<img src=x>"_s << true << u"已从剪贴板读取图片\n"_s + kCornerNote;
    }
    void pastes() {
        QFETCH(QString, text);
        QFETCH(bool, withImage);
        QFETCH(QString, status);
        clipboard->heldText = text;
        if (withImage) {
            clipboard->heldImage = patternPicture(120, 80);
        }
        // Ctrl+V where the focus is: on the hidden Text1, which must not swallow it.
        QTest::keyClick(control<QPlainTextEdit>("Text1"), Qt::Key_V, Qt::ControlModifier);
        QVERIFY(alerts->warnings.isEmpty());
        QCOMPARE(this->status(), status);
        if (withImage) {
            // As opening it: pixel (0, 0) of the pattern is 12 34 56, packed to its nibbles.
            QCOMPARE(form->frameBuffer()[0], std::uint8_t(0x13));
            QCOMPARE(picture1()->Point(0, 0), RGB(0x12, 0x34, 0x56));
        } else {
            shownFrameIs(describedFrame());
        }
    }

    void refusedPasteChangesNothing() {
        open(save(u"start.png"_s, encoded(patternPicture(98, 67), "png")));
        const Snapshot before = snapshot();
        for (const QString& text : {QString(), u"0x01, 0x02"_s}) {
            clipboard->heldText = text;
            form->pasteFromClipboard();
        }
        QCOMPARE(alerts->warnings.size(), 2);
        QVERIFY(alerts->warnings[1].text.contains(u"此文本有 2 个"_s));
        QVERIFY(snapshot() == before);
    }

    // A pasted frame or picture has no file: its declaration and its .bin get a neutral name,
    // not the name of the file opened before it; once saved, it is named after its .bin.
    void pastedFrameTakesNoStaleName_data() {
        QTest::addColumn<bool>("picture");
        QTest::newRow("frame text") << false;
        QTest::newRow("picture") << true;
    }
    void pastedFrameTakesNoStaleName() {
        QFETCH(bool, picture);
        open(save(u"logo.png"_s, encoded(patternPicture(98, 67), "png")));
        if (picture) {
            clipboard->heldImage = patternPicture(40, 30);
        } else {
            clipboard->heldText = QString::fromStdString(formatCArrayText(describedFrame()));
        }
        form->pasteFromClipboard();
        QVERIFY(alerts->warnings.isEmpty());

        form->copyCDeclaration();
        QVERIFY2(clipboard->text.contains(u"static const uint8_t frame[frame_SIZE] = {"_s),
                 qPrintable(clipboard->text.left(300)));
        QVERIFY(!clipboard->text.contains(u"logo"_s));

        const QString target = dir.filePath(u"frame.bin"_s);
        const QString chosen = dir.filePath(u"splash.bin"_s);
        dialog->answer(chosen);
        form->Command4_Click();
        QCOMPARE(dialog->shown.constLast().startPath, target);
        QCOMPARE(readAll(chosen), QByteArray::fromStdString(frameBytes(form->frameBuffer())));
        form->copyCDeclaration();
        QVERIFY(clipboard->text.contains(u"static const uint8_t splash[splash_SIZE] = {"_s));
    }

    // The boxes say what a right click (and, on the preview, a double click) offers.
    void pictureBoxesNameTheirMenu() {
        for (PictureBox* box : {picture1(), picture3()}) {
            for (const QString& offer :
                 {u"右键"_s, u"缩放方式"_s, u"抖动"_s, u"放大预览"_s, u"复制为 C 数组声明"_s}) {
                QVERIFY2(box->toolTip().contains(offer), qPrintable(box->objectName()));
            }
        }
        QVERIFY(picture3()->toolTip().contains(u"双击"_s));
    }

    void menuCopiesTheCDeclaration() {
        open(save(u"启动 logo.png"_s, encoded(patternPicture(98, 67), "png")));
        form->Command2_Click();
        const QString plainText = form->textAccumulator();
        QMenu menu;
        form->fillPictureMenu(menu);
        QAction* copy = nullptr;
        for (QAction* action : menu.actions()) {
            copy = action->text() == u"复制为 C 数组声明"_s ? action : copy;
        }
        QVERIFY(copy != nullptr);
        copy->trigger();
        QVERIFY(clipboard->text.contains(u"static const uint8_t logo[logo_SIZE] = {"_s));
        const QByteArray header = clipboard->text.toUtf8();
        const FrameReading back = readFrameText(header.toStdString());
        QVERIFY2(back.ok(), back.failure.c_str());
        QCOMPARE(back.frames.size(), std::size_t{1});
        QVERIFY(back.frames.front() == form->frameBuffer());
        QCOMPARE(form->textAccumulator(), plainText); // "取模" keeps its own text
        for (PictureBox* box : {picture1(), picture3()}) {
            QCOMPARE(box->contextMenuPolicy(), Qt::CustomContextMenu);
        }
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
