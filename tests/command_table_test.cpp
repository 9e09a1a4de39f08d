// The command table: the overview, each command's help, the version, and the window's arguments,
// run as the built program.

#include "command_line_tests.h"

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

class CommandTableTest : public QObject, Scratch {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(makeScratch()); }

    void versionAndHelp() {
        const Run version = runProgram({u"--version"_s});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QByteArray("ravik-lcd 1.00\n"));

        const Run help = runProgram({u"--help"_s});
        QCOMPARE(help.exitCode, 0);
        const QString text = QString::fromUtf8(help.out);
        QVERIFY(text.contains(u"用法"_s));
        QVERIFY(text.contains(u"ravik-lcd convert"_s));
        QVERIFY(text.contains(u"ravik-lcd build"_s));
        const Run convertHelp = runProgram({u"convert"_s, u"--help"_s});
        QCOMPARE(convertHelp.exitCode, 0);
        QVERIFY(QString::fromUtf8(convertHelp.out).contains(u"--background"_s));
    }

    // Each command's --help (anywhere before "--") prints that command's paragraph, not the
    // others'.
    void commandHelp_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("command");
        QTest::newRow("convert --help") << QStringList{u"convert"_s, u"--help"_s} << u"convert"_s;
        QTest::newRow("convert after a picture")
            << QStringList{u"convert"_s, u"x.png"_s, u"-h"_s} << u"convert"_s;
        QTest::newRow("font --help") << QStringList{u"font"_s, u"--help"_s} << u"font"_s;
        QTest::newRow("runtime --help") << QStringList{u"runtime"_s, u"--help"_s} << u"runtime"_s;
        QTest::newRow("build -h") << QStringList{u"build"_s, u"-h"_s} << u"build"_s;
    }
    void commandHelp() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, command);
        const Run run = runProgram(arguments);
        QCOMPARE(run.exitCode, 0);
        const QString text = QString::fromUtf8(run.out);
        for (const QString& other : {u"convert"_s, u"font"_s, u"runtime"_s, u"build"_s}) {
            QCOMPARE(text.contains(u"ravik-lcd "_s + other + u' '), other == command);
        }
    }

    void windowWithoutDisplayExplainsItself() {
        const Run run = runProgram({picture});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"没有可用的图形显示"_s), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(CommandTableTest)
#include "command_table_test.moc"
