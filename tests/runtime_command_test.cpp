// `ravik-lcd runtime DIR`: the runtime's files written as they stand in the source.

#include "command_line_tests.h"

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

class RuntimeCommandTest : public QObject, Scratch {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(makeScratch()); }

    // `runtime DIR` writes the runtime as it stands in the source, making the folder.
    void runtimeWritesItsFiles() {
        const QString folder = path(u"固件/lcd"_s);
        const Run run = runProgram({u"runtime"_s, folder});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        for (const QString& name : {u"ravik_lcd.h"_s, u"ravik_lcd.c"_s}) {
            QCOMPARE(readAll(folder + u"/"_s + name),
                     readAll(QStringLiteral(RAVIK_RUNTIME_DIR) + u"/"_s + name));
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
        QVERIFY(writeAll(path(u"plain-file"_s), "x"));
        const Run blocked = runProgram({u"runtime"_s, path(u"plain-file"_s) + u"/sub"_s});
        QCOMPARE(blocked.exitCode, 1);
        QVERIFY(!blocked.err.isEmpty());
        QCOMPARE(runProgram({u"runtime"_s}).exitCode, 2);
        QCOMPARE(runProgram({u"runtime"_s, u"a"_s, u"b"_s}).exitCode, 2);
    }

    // A folder that can't be made is named, with the reason in Chinese, and nothing is written.
    void folderThatCantBeMade_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("reason");
#ifdef Q_OS_LINUX
        QTest::newRow("where the system makes no folder")
            << u"/proc/ravik-nope"_s << u"系统不允许在这里创建文件夹"_s;
#endif
        QTest::newRow("below a plain file") << u"@dir/plain/sub"_s << u"不是文件夹"_s;
    }
    void folderThatCantBeMade() {
        QFETCH(QString, folder);
        QFETCH(QString, reason);
        QVERIFY(writeAll(path(u"plain"_s), "x"));
        if (folder.startsWith(u"@dir/"_s)) {
            folder = path(folder.mid(5));
        }
        const Run run = runProgram({u"runtime"_s, folder});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"“%1”"_s.arg(QDir::toNativeSeparators(folder))) &&
                     run.err.contains(reason),
                 qPrintable(run.err));
        QVERIFY2(!run.err.contains(u"No such"_s), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(folder));
    }
};

QTEST_GUILESS_MAIN(RuntimeCommandTest)
#include "runtime_command_test.moc"
