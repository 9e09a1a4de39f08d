// The About window: how it is opened from the main window, its layout and its fade-in.

#include "fakes.h"
#include "ui/form1.h"
#include "ui/form2.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

QList<int> fadeSequence() {
    QList<int> alphas{1};
    for (int alpha = 5; alpha <= 255; alpha += 5) {
        alphas << alpha;
    }
    return alphas;
}

} // namespace

class Form2Test : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePlatform> platform;
    std::unique_ptr<Form1> form;

    Form2* openAbout() {
        form->findChild<QPushButton*>(u"Command3"_s)->click();
        return form->aboutWindow();
    }
    void tick(Form2* about, int times) {
        for (int i = 0; i < times; ++i) {
            about->Timer1_Timer();
        }
    }
    template <typename T> T* child(Form2* about, const char* name) {
        return about->findChild<T*>(QString::fromLatin1(name));
    }

private slots:
    void init() {
        platform = std::make_unique<FakePlatform>();
        form = std::make_unique<Form1>(platform->services());
        form->show();
    }
    void cleanup() {
        form.reset();
        platform.reset();
    }

    void fadesInOverFiftyOneTicks() {
        Form2* about = openAbout();
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QVERIFY(about->layeredCapable());
        QCOMPARE(platform->opacity.alphas, QList<int>{1}); // starts almost invisible
        QVERIFY(about->fading());

        tick(about, 50);
        QVERIFY(about->fading());
        QCOMPARE(about->fadeAlpha(), 250);
        tick(about, 1);
        QVERIFY(!about->fading()); // the 51st tick makes it opaque and stops the timer
        QCOMPARE(platform->opacity.alphas, fadeSequence());
    }

    void timerDrivesTheFade() {
        Form2* about = openAbout();
        QTRY_VERIFY_WITH_TIMEOUT(!about->fading(), 5000);
        QCOMPARE(platform->opacity.alphas, fadeSequence());
    }

    void secondPressOnlyRaises() {
        Form2* about = openAbout();
        tick(about, 10);
        QCOMPARE(openAbout(), about);
        QCOMPARE(about->fadeAlpha(), 50);
        QCOMPARE(platform->opacity.alphas.count(1), 1); // no new fade began
    }

    void closingMidFadeAndReopeningStartsAgain() {
        Form2* about = openAbout();
        tick(about, 20);
        about->close();
        QTRY_VERIFY(form->aboutWindow() == nullptr); // unloaded
        platform->opacity.alphas.clear();

        Form2* again = openAbout();
        QVERIFY(again);
        QCOMPARE(again->fadeAlpha(), 0);
        QCOMPARE(platform->opacity.alphas, QList<int>{1});
        QVERIFY(again->fading());
    }

    // Escape closes it as the close box does, mid-fade or shown; other keys leave it open.
    void escapeCloses_data() {
        QTest::addColumn<int>("ticks");
        QTest::newRow("mid-fade") << 20;
        QTest::newRow("opaque") << 51;
    }
    void escapeCloses() {
        QFETCH(int, ticks);
        Form2* about = openAbout();
        tick(about, ticks);
        QTest::keyClick(about, Qt::Key_A);
        QTest::keyClick(about, Qt::Key_Escape, Qt::ShiftModifier);
        QVERIFY(about->isVisible());
        QTest::keyClick(about, Qt::Key_Escape);
        QTRY_VERIFY(form->aboutWindow() == nullptr); // unloaded
        QVERIFY(form->isVisible());
    }

    void withoutOpacityTheWindowIsOpaqueAtOnce() {
        platform->opacity.supported = false;
        Form2* about = openAbout();
        QVERIFY(!about->layeredCapable());
        QVERIFY(!about->fading());
        tick(about, 60);
        QVERIFY(platform->opacity.alphas.isEmpty());
        QCOMPARE(about->fadeAlpha(), 0);
    }

    void closingTheMainWindowClosesTheAboutWindow() {
        Form2* about = openAbout();
        tick(about, 5);
        QVERIFY(about->fading());
        form->close();
        QTRY_VERIFY(form->aboutWindow() == nullptr);
    }

    void layout() {
        Form2* about = openAbout();
        QCOMPARE(about->windowTitle(), u"关于本程序"_s);
        QVERIFY(!about->parentWidget()); // no owner: the main window stays usable
        QVERIFY(!(about->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(about->windowFlags() & Qt::WindowMaximizeButtonHint));

        auto* image = child<QLabel>(about, "Image1");
        QCOMPARE(image->geometry(), QRect(0, 0, 350, 235));
        QCOMPARE(image->pixmap().size(), QSize(350, 235));
        // The outer size, frame included, is the picture's plus 20 pixels of height.
        QTRY_COMPARE(about->frameGeometry().size(), QSize(350, 255));

        auto* title = child<QLabel>(about, "Label1");
        QCOMPARE(title->text(), u"Velmar Ravik 液晶取模助手 Ver1.0"_s);
        QCOMPARE(title->pos(), QPoint(96, 56));
        QCOMPARE(title->font().family(), u"宋体"_s);
        QCOMPARE(title->font().pointSize(), 9);
        QVERIFY(title->font().bold());
        QCOMPARE(title->palette().color(QPalette::WindowText), QColor(128, 128, 255));
        QVERIFY(title->width() >= title->fontMetrics().horizontalAdvance(title->text()));

        QCOMPARE(child<QLabel>(about, "Label5")->text(), u"欢迎交流指导"_s);
        QCOMPARE(child<QLabel>(about, "Label2")->palette().color(QPalette::WindowText),
                 QColor(128, 128, 128));
        for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5"}) {
            auto* label = child<QLabel>(about, name);
            QVERIFY2(!label->autoFillBackground(), name); // the picture shows through
            QVERIFY2(!label->text().isEmpty(), name);
            QVERIFY2(image->geometry().contains(label->geometry()), name);
            QVERIFY2(label->geometry().left() >= 96, name); // right of the icon column
        }
    }

    void bothWindowsCarryTheIcon() {
        Form2* about = openAbout();
        for (QWidget* window : {static_cast<QWidget*>(form.get()), static_cast<QWidget*>(about)}) {
            const QList<QSize> sizes = window->windowIcon().availableSizes();
            QVERIFY(sizes.contains(QSize(16, 16)));
            QVERIFY(sizes.contains(QSize(32, 32)));
        }
    }
};

QTEST_MAIN(Form2Test)
#include "form2_test.moc"
