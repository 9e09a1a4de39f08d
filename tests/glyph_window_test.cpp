// The 字模 window against the font job: what the choices make, what is copied and saved, how a
// failure leaves the last font, and the menu entry that opens the window.

#include "fakes.h"
#include "fonts/font_faults.h"
#include "fonts/font_job.h"
#include "ui/form1.h"
#include "ui/glyph_window.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace ravik;
using namespace Qt::Literals::StringLiterals;

namespace {

// Digits in threes with commas, written out here from the decimal digits: 842476 → "842,476".
QString grouped(std::size_t value) {
    std::string digits = std::to_string(value);
    for (int at = int(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(std::size_t(at), 1, ',');
    }
    return QString::fromStdString(digits);
}

// The x of the first and the last column with a pixel of the cells' grey grid lines.
std::pair<int, int> gridLineExtent(const QImage& image, int rows) {
    int first = image.width();
    int last = -1;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == qRgb(0x80, 0x80, 0x80)) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
    }
    return {first, last};
}

} // namespace

class GlyphWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        try {
            fonts::findFont({});
        } catch (const fonts::FontError& error) {
            QSKIP(error.what());
        }
    }

    void init() {
        platform = std::make_unique<testing::FakePlatform>();
        window = std::make_unique<GlyphWindow>(platform->services());
        settle();
    }

    void cleanup() { window.reset(); }

    void choicesUpdateTheGlyphs_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("quickSet"); // index in the quick set box
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("count");
        QTest::newRow("typed text, repeats counted once") << u"字字A A"_s << 0 << 16 << 3;
        QTest::newRow("a larger size") << u"字A"_s << 0 << 40 << 2;
        QTest::newRow("ASCII added to typed hanzi") << u"字a"_s << 1 << 12 << 96;
        QTest::newRow("ASCII at a size past a thousand bytes") << u"字a"_s << 1 << 20 << 96;
    }

    void choicesUpdateTheGlyphs() {
        QFETCH(QString, text);
        QFETCH(int, quickSet);
        QFETCH(int, size);
        QFETCH(int, count);
        const QImage sampleBefore = window->samplePicture();
        const int zoomBefore = window->grid().zoom();
        charactersEdit()->setPlainText(text);
        find<QComboBox>("quickSetBox")->setCurrentIndex(quickSet);
        find<QSpinBox>("sizeBox")->setValue(size);
        settle();
        QVERIFY2(window->failureText().isEmpty(), qPrintable(window->failureText()));
        QCOMPARE(window->grid().count(), count);
        QCOMPARE(int(window->result().font.glyphs.size()), count);
        QVERIFY2(window->statusText().contains(u"共 %1 个字形"_s.arg(count)),
                 qPrintable(window->statusText()));
        // Digits grouped as everywhere else ("点阵 3,061 字节").
        QVERIFY2(window->statusText().contains(
                     u"点阵 %1 字节"_s.arg(grouped(window->result().font.bitmaps.size()))),
                 qPrintable(window->statusText()));
        // The font's line height is FreeType's for the size: roughly the size, never far off.
        QVERIFY(window->result().font.lineHeight >= size);
        QVERIFY(window->result().font.lineHeight <= size * 3 / 2 + 2);
        // The sample was drawn again with the new glyphs, and the cells follow the size.
        QVERIFY(window->samplePicture() != sampleBefore);
        if (size == 40) {
            QVERIFY(window->grid().zoom() < zoomBefore);
        }
    }

    // Bits a pixel and compression chosen in the window make the job's header with the same
    // coverage options; both choices are off for picture glyphs.
    void storedFormIsTheJobs_data() {
        QTest::addColumn<int>("bpp");
        QTest::addColumn<int>("compression");
        QTest::newRow("4 bits, packed") << 4 << int(GlyphCompression::None);
        QTest::newRow("2 bits, compressed") << 2 << int(GlyphCompression::Rle);
        QTest::newRow("1 bit, each glyph the smaller") << 1 << int(GlyphCompression::Auto);
    }
    void storedFormIsTheJobs() {
        QFETCH(int, bpp);
        QFETCH(int, compression);
        charactersEdit()->setPlainText(u"永和 Ag"_s);
        find<QSpinBox>("sizeBox")->setValue(16);
        auto* bppBox = find<QComboBox>("bppBox");
        auto* compressionBox = find<QComboBox>("compressionBox");
        bppBox->setCurrentIndex(bppBox->findData(bpp));
        compressionBox->setCurrentIndex(compressionBox->findData(compression));
        settle();
        QVERIFY2(window->failureText().isEmpty(), qPrintable(window->failureText()));
        QCOMPARE(window->result().font.bpp, bpp);

        fonts::FontJob job;
        job.literalText = "永和 Ag";
        job.pixelSize = 16;
        job.coverage = {bpp, GlyphCompression(compression)};
        job.name = find<QLineEdit>("nameEdit")->text().toStdString();
        const fonts::FontJobResult expected = fonts::runFontJob(job);
        QVERIFY2(expected.ok(), expected.failure.c_str());
        find<QPushButton>("copyHeaderButton")->click();
        QCOMPARE(platform->clipboard.text, QString::fromStdString(expected.header));

        find<QRadioButton>("colorsButton")->setChecked(true);
        QVERIFY(!bppBox->isEnabled());
        QVERIFY(!compressionBox->isEnabled());
        settle();
    }

    // What is copied is the job's header for the same choices, and the saved file is the same text.
    void copiedAndSavedHeaderIsTheJobs() {
        charactersEdit()->setPlainText(u"温度℃ 12"_s);
        find<QSpinBox>("sizeBox")->setValue(14);
        find<QRadioButton>("colorsButton")->setChecked(true);
        platform->colorDialog.answers.push_back(RGB(0xFF, 0xA0, 0x00));
        find<QPushButton>("colorButton")->click();
        platform->colorDialog.answers.push_back(RGB(0x00, 0x20, 0x40));
        find<QPushButton>("backgroundButton")->click();
        find<QLineEdit>("nameEdit")->setText(u"temperature_font"_s);
        find<QLineEdit>("attributeEdit")->setText(u"PROGMEM"_s);
        settle();
        QVERIFY2(window->failureText().isEmpty(), qPrintable(window->failureText()));

        fonts::FontJob job;
        job.literalText = "温度℃ 12";
        job.pixelSize = 14;
        job.alpha = false;
        job.color = RGB(0xFF, 0xA0, 0x00);
        job.background = RGB(0x00, 0x20, 0x40);
        job.name = "temperature_font";
        job.attribute = "PROGMEM";
        const fonts::FontJobResult expected = fonts::runFontJob(job);
        QVERIFY2(expected.ok(), expected.failure.c_str());
        QCOMPARE(expected.header, formatFontHeader("temperature_font", "PROGMEM", expected.font));

        find<QPushButton>("copyHeaderButton")->click();
        QCOMPARE(platform->clipboard.text, QString::fromStdString(expected.header));

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"温度字模.h"_s);
        platform->dialog.answer(path);
        find<QPushButton>("saveHeaderButton")->click();
        QCOMPARE(platform->dialog.shown.constLast().mode, FileDialog::Mode::Save);
        QVERIFY(platform->dialog.shown.constLast().startPath.endsWith(u"temperature_font.h"_s));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), platform->clipboard.text);
        QVERIFY(platform->alerts.warnings.isEmpty());
        // Said as the main window says it ("已保存…/logo.bin"), the path right after.
        QCOMPARE(window->statusText(), u"已保存"_s + QDir::toNativeSeparators(path));
    }

    // The hinting and the fallback font chosen in the window make the job's font for the same
    // choices: a family from the list, or a font file chosen in the dialog.
    void hintingAndFallbackReachTheJob_data() {
        QTest::addColumn<QString>("hinting");  // the hinting box's entry, by its label's start
        QTest::addColumn<QString>("fallback"); // a family; "@file": the system CJK font's file
        QTest::addColumn<int>("hanziMissing"); // with DejaVu Sans and no fallback
        QTest::newRow("auto hinting, CJK family fallback")
            << u"自动"_s << u"Noto Sans CJK SC"_s << 0;
        QTest::newRow("light hinting, fallback file") << u"轻度"_s << u"@file"_s << 0;
        QTest::newRow("no fallback: hanzi missing") << u"完全"_s << QString() << 2;
    }
    void hintingAndFallbackReachTheJob() {
        QFETCH(QString, hinting);
        QFETCH(QString, fallback);
        QFETCH(int, hanziMissing);
        auto* fontBox = find<QComboBox>("fontBox");
        auto* hintingBox = find<QComboBox>("hintingBox");
        auto* fallbackBox = find<QComboBox>("fallbackBox");
        if (fontBox->findText(u"DejaVu Sans"_s) < 0) {
            QSKIP("DejaVu Sans is not installed");
        }
        charactersEdit()->setPlainText(u"Ag永字"_s);
        fontBox->setCurrentIndex(fontBox->findText(u"DejaVu Sans"_s));
        for (int i = 0; i < hintingBox->count(); ++i) {
            if (hintingBox->itemText(i).startsWith(hinting)) {
                hintingBox->setCurrentIndex(i);
            }
        }
        QVERIFY(hintingBox->currentText().startsWith(hinting));
        const std::string cjk = fonts::findFont({}).path;
        if (fallback == u"@file"_s) {
            platform->dialog.answer(QString::fromStdString(cjk));
            find<QPushButton>("fallbackFileButton")->click();
        } else if (!fallback.isEmpty()) {
            QVERIFY(fallbackBox->findText(fallback) > 0);
            fallbackBox->setCurrentIndex(fallbackBox->findText(fallback));
        }
        settle();

        fonts::FontJob job;
        job.font = "DejaVu Sans";
        job.literalText = "Ag永字";
        job.pixelSize = 16;
        job.name = "lcd_font";
        job.hinting = hinting == u"自动"_s   ? fonts::Hinting::Auto
                      : hinting == u"完全"_s ? fonts::Hinting::Full
                                             : fonts::Hinting::Light;
        if (!fallback.isEmpty()) {
            job.fallbacks.push_back({fallback == u"@file"_s ? cjk : fallback.toStdString(), 0});
        }
        const fonts::FontJobResult expected = fonts::runFontJob(job);
        QCOMPARE(int(expected.missing.size()), hanziMissing);
        if (hanziMissing > 0) {
            QVERIFY(window->failureText().contains(u"U+6C38"_s));
            return;
        }
        QVERIFY2(window->failureText().isEmpty(), qPrintable(window->failureText()));
        QCOMPARE(window->result().header, expected.header);
    }

    // A failure is said in Chinese, and the last font stays shown and is not copied as if it
    // were made from the new choices.
    void failureKeepsTheLastFont_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("said");
        QTest::newRow("missing characters")
            << u"A\uE000字\U0010FFFD"_s << u"lcd_font"_s << u"U+E000"_s;
        QTest::newRow("no characters") << u"\n\n"_s << u"lcd_font"_s << u"没有任何字符"_s;
        QTest::newRow("name not an identifier") << u"AB"_s << u"9 fonts"_s << QString();
    }

    void failureKeepsTheLastFont() {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, said);
        const PackedFont before = window->result().font;
        const QString statusBefore = window->statusText();
        QVERIFY(!before.glyphs.empty());
        charactersEdit()->setPlainText(text);
        find<QLineEdit>("nameEdit")->setText(name);
        settle();
        const QString failure = window->failureText();
        QVERIFY(!failure.isEmpty());
        QVERIFY2(failure.contains(said), qPrintable(failure));
        if (text.contains(QChar(0xE000))) {
            QVERIFY2(failure.contains(u"U+10FFFD"_s) && !failure.contains(u"U+0041"_s),
                     qPrintable(failure));
        }
        QVERIFY(window->result().font.bitmaps == before.bitmaps);
        QCOMPARE(window->grid().count(), int(before.glyphs.size()));
        // The last font stays, said to be the last one and not the choices'.
        QVERIFY(window->showingStaleResult());
        QVERIFY2(window->statusText().contains(u"上一次"_s) &&
                     window->statusText().endsWith(statusBefore),
                 qPrintable(window->statusText()));
        QVERIFY(!find<QPushButton>("copyHeaderButton")->isEnabled());
        find<QPushButton>("copyHeaderButton")->click();
        QCOMPARE(platform->clipboard.calls, 0);

        // Mended choices make a font again and clear the message.
        charactersEdit()->setPlainText(u"AB"_s);
        find<QLineEdit>("nameEdit")->setText(u"lcd_font"_s);
        settle();
        QVERIFY(window->failureText().isEmpty());
        QCOMPARE(window->grid().count(), 2);
        QVERIFY(find<QPushButton>("copyHeaderButton")->isEnabled());
        QVERIFY(!window->showingStaleResult());
        QVERIFY(!window->statusText().contains(u"上一次"_s));
    }

    // A font lacking hundreds of characters: the count and the first ones, the whole list in a
    // box of its own, the window's layout as it was, and the last font marked as stale.
    void longMissingListIsShortened() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const int charactersHeight = charactersEdit()->height();
        const int heightBefore = window->minimumSizeHint().height();
        QString text;
        for (char32_t c = 0xE000; c < 0xE000 + 300; ++c) {
            text += QString::fromUcs4(&c, 1);
        }
        charactersEdit()->setPlainText(text);
        settle();
        QVERIFY(window->failureText().contains(u"U+E000"_s));
        QVERIFY(window->failureText().contains(u"U+E12B"_s)); // the last, in full
        auto* label = find<QLabel>("failureLabel");
        QVERIFY2(label->text().contains(u"300 个"_s), qPrintable(label->text()));
        QVERIFY(label->text().contains(u"U+E000"_s) && label->text().contains(u"U+E007"_s));
        QVERIFY(!label->text().contains(u"U+E12B"_s));
        auto* list = find<QPlainTextEdit>("failureList");
        QVERIFY(list->isVisible());
        QCOMPARE(list->document()->blockCount(), 300);
        QVERIFY(list->toPlainText().contains(u"U+E12B"_s));
        window->layout()->activate();
        QCOMPARE(charactersEdit()->height(), charactersHeight);
        QVERIFY2(
            window->minimumSizeHint().height() <= heightBefore + 200,
            qPrintable(u"%1 → %2"_s.arg(heightBefore).arg(window->minimumSizeHint().height())));
        QVERIFY(window->showingStaleResult());
        QVERIFY(find<QLabel>("gridTitle")->text().contains(u"上一次"_s));

        charactersEdit()->setPlainText(u"AB"_s);
        settle();
        QVERIFY(!list->isVisible());
        QVERIFY(!find<QLabel>("gridTitle")->text().contains(u"上一次"_s));
    }

    // Tab leaves the characters for the next control; a tab pasted in is not taken either.
    void tabIsNoCharacter() {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        charactersEdit()->setPlainText(u"AB"_s);
        settle();
        charactersEdit()->setFocus();
        QTest::keyClick(charactersEdit(), Qt::Key_Tab);
        QVERIFY(!charactersEdit()->hasFocus());
        QCOMPARE(charactersEdit()->toPlainText(), u"AB"_s);
        charactersEdit()->setPlainText(u"A\tB\t"_s);
        settle();
        QVERIFY2(window->failureText().isEmpty(), qPrintable(window->failureText()));
        QCOMPARE(window->grid().count(), 2);
        QVERIFY(find<QPushButton>("copyHeaderButton")->isEnabled());
    }

    // The sample shows what was typed, broken into lines the panel's width, until the user
    // writes one; sample characters the font lacks are named.
    void sampleFollowsTheCharacters() {
        QPlainTextEdit* sample = find<QPlainTextEdit>("sampleEdit");
        charactersEdit()->setPlainText(u"温度 OK"_s);
        settle();
        QCOMPARE(sample->toPlainText(), u"温度 OK"_s);
        QVERIFY(window->sampleNote().isEmpty());
        // 24 digits of about 9 pixels are wider than the 98-pixel panel.
        charactersEdit()->setPlainText(u"012345678901234567890123"_s);
        settle();
        QVERIFY2(sample->toPlainText().contains(u'\n'), qPrintable(sample->toPlainText()));
        QCOMPARE(sample->toPlainText().remove(u'\n'), u"012345678901234567890123"_s);
        // Words stay whole where a line has a space to break at.
        charactersEdit()->setPlainText(u"Hello world again"_s);
        settle();
        QCOMPARE(sample->toPlainText(), u"Hello world\nagain"_s);

        charactersEdit()->setPlainText(u"12"_s);
        settle();
        sample->setPlainText(u"温度 12"_s);
        settle();
        QVERIFY2(window->sampleNote().contains(u"U+6E29"_s) &&
                     window->sampleNote().contains(u"U+5EA6"_s),
                 qPrintable(window->sampleNote()));
        QVERIFY(!window->sampleNote().contains(u"U+0031"_s));
        charactersEdit()->setPlainText(u"123"_s);
        settle();
        QCOMPARE(sample->toPlainText(), u"温度 12"_s); // the user's own sample stays
        sample->clear();
        settle();
        QCOMPARE(sample->toPlainText(), u"123"_s); // emptied, it follows again
    }

    // Escape closes the window wherever the focus is, as in the zoom and About windows.
    void escapeCloses_data() {
        QTest::addColumn<QString>("focus");
        QTest::newRow("the window") << QString();
        QTest::newRow("the characters") << u"charactersEdit"_s;
        QTest::newRow("the size") << u"sizeBox"_s;
        QTest::newRow("the name") << u"nameEdit"_s;
    }
    void escapeCloses() {
        QFETCH(QString, focus);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QWidget* target = focus.isEmpty() ? window.get() : window->findChild<QWidget*>(focus);
        QVERIFY(target != nullptr);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }

    // The cells share the grid's whole width: the room left over is spread between them, not
    // left empty on the right.
    void gridUsesTheWholeWidth() {
        GlyphGrid grid;
        grid.showFont(window->result().font, RGB(0xFF, 0xFF, 0xFF), RGB(0, 0, 0));
        const QSize cell = grid.cellSize();
        grid.resize(cell.width() * 4 + cell.width() * 3 / 4, cell.height() * 5);
        const QImage drawn = grid.grab().toImage();
        QCOMPARE(grid.columns(), 4);
        const auto [first, last] = gridLineExtent(drawn, cell.height());
        const int leftGap = first;
        const int rightGap = grid.width() - 1 - last;
        QVERIFY2(std::abs(leftGap - rightGap) <= 4,
                 qPrintable(u"%1 | %2"_s.arg(leftGap).arg(rightGap)));
    }

    // A white foreground's swatch has an edge of its own, so it shows on a light button.
    void whiteSwatchShows() {
        const QImage swatch =
            find<QPushButton>("colorButton")->icon().pixmap(QSize(14, 14)).toImage();
        QCOMPARE(swatch.pixel(7, 7), qRgb(0xFF, 0xFF, 0xFF));
        QVERIFY(qGray(swatch.pixel(0, 7)) < 0xC0 && qGray(swatch.pixel(7, 0)) < 0xC0);
    }

    void charactersFromAFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown"); // the text field afterwards; empty: left as it was
        QTest::addColumn<int>("count");
        QTest::newRow("byte order mark and CR LF")
            << QByteArray("\xEF\xBB\xBF\xE5\xAD\x97\r\nAB\r\n") << u"字\nAB\n"_s << 3;
        QTest::newRow("not UTF-8") << QByteArray("\xD7\xD6 GBK") << QString() << -1;
    }

    void charactersFromAFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QFETCH(int, count);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"strings.txt"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        const QString before = charactersEdit()->toPlainText();
        const int countBefore = window->grid().count();
        platform->dialog.answer(path);
        find<QPushButton>("characterFileButton")->click();
        settle();
        if (shown.isEmpty()) {
            QCOMPARE(charactersEdit()->toPlainText(), before);
            QCOMPARE(window->grid().count(), countBefore);
            QVERIFY2(window->failureText().contains(u"UTF-8"_s), qPrintable(window->failureText()));
        } else {
            QCOMPARE(charactersEdit()->toPlainText(), shown);
            QCOMPARE(window->grid().count(), count);
        }
    }

    // Choices made while a font is rendering: the last one wins, and the window ends up idle.
    void newerChoiceSupersedes() {
        charactersEdit()->setPlainText(u"永A"_s);
        QSpinBox* size = find<QSpinBox>("sizeBox");
        for (int px : {20, 33, 47, 21}) {
            size->setValue(px);
            window->renderNow();
        }
        settle();
        fonts::FontJob job = window->job();
        QCOMPARE(job.pixelSize, 21);
        QVERIFY(window->result().font.bitmaps == fonts::runFontJob(job).font.bitmaps);
    }

    void menuEntryOpensTheWindow() {
        Form1 form(platform->services());
        QMenu menu;
        form.fillPictureMenu(menu);
        QAction* entry = nullptr;
        QStringList texts;
        for (QAction* action : menu.actions()) {
            texts << action->text();
            entry = action->text() == u"字模…"_s ? action : entry;
        }
        QVERIFY2(entry != nullptr, qPrintable(texts.join(u'|')));
        QVERIFY(texts.contains(u"放大预览"_s) && texts.contains(u"复制为 C 数组声明"_s));
        entry->trigger();
        QVERIFY(form.glyphWindow() != nullptr);
        QVERIFY(form.glyphWindow()->isVisible());
        QPointer<GlyphWindow> first = form.glyphWindow();
        entry->trigger();
        QCOMPARE(form.glyphWindow(), first.data());
        QTRY_VERIFY_WITH_TIMEOUT(!first->busy(), 60000);
    }

private:
    template <typename Widget> Widget* find(const char* name) {
        auto* widget = window->findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }
    QPlainTextEdit* charactersEdit() { return find<QPlainTextEdit>("charactersEdit"); }
    void settle() { QTRY_VERIFY_WITH_TIMEOUT(!window->busy(), 60000); }

    std::unique_ptr<testing::FakePlatform> platform;
    std::unique_ptr<GlyphWindow> window;
};

QTEST_MAIN(GlyphWindowTest)
#include "glyph_window_test.moc"
