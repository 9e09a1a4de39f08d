// The C names generated files define: which names are refused and why, the names made from file
// names (distinct and stable when they hold no ASCII letter), and include guards that let a
// header be included twice.

#include "export/c_names.h"
#include "export/font_header.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

using namespace ravik;
using namespace Qt::StringLiterals;

class CNamesTest : public QObject {
    Q_OBJECT

private slots:
    void names_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason"); // a part of the refusal; empty: the name is usable
        QTest::newRow("plain") << u"logo"_s << QString();
        QTest::newRow("one leading underscore, small letter") << u"_splash"_s << QString();
        QTest::newRow("like a type but not one") << u"int8"_s << QString();
        QTest::newRow("a C keyword") << u"static"_s << u"C 语言的关键字"_s;
        QTest::newRow("a C++ keyword") << u"class"_s << u"C++ 的关键字"_s;
        QTest::newRow("a C++ operator name") << u"xor"_s << u"C++ 的关键字"_s;
        QTest::newRow("uint8_t") << u"uint8_t"_s << u"<stdint.h>"_s;
        QTest::newRow("int_least16_t") << u"int_least16_t"_s << u"<stdint.h>"_s;
        QTest::newRow("UINT32_MAX") << u"UINT32_MAX"_s << u"<stdint.h>"_s;
        QTest::newRow("INT8_C") << u"INT8_C"_s << u"<stdint.h>"_s;
        QTest::newRow("uintptr_t") << u"uintptr_t"_s << u"<stdint.h>"_s;
        QTest::newRow("SIZE_MAX") << u"SIZE_MAX"_s << u"<stdint.h>"_s;
        QTest::newRow("main") << u"main"_s << u"程序入口"_s;
        QTest::newRow("a runtime function") << u"ravik_lcd_draw"_s << u"运行库"_s;
        QTest::newRow("a runtime constant") << u"RAVIK_LCD_WIDTH"_s << u"运行库"_s;
        QTest::newRow("the runtime's own name") << u"ravik_lcd"_s << u"运行库"_s;
        QTest::newRow("underscore and capital") << u"_Logo"_s << u"留给编译器"_s;
        QTest::newRow("double underscore") << u"a__b"_s << u"留给编译器"_s;
        QTest::newRow("trailing underscore makes logo__data") << u"logo_"_s << u"logo__data"_s;
        QTest::newRow("digit first") << u"2logo"_s << u"不是合法的 C 标识符"_s;
        QTest::newRow("Chinese") << u"图标"_s << u"不是合法的 C 标识符"_s;
    }
    void names() {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        const QString problem = QString::fromStdString(identifierProblem(name.toStdString()));
        if (reason.isEmpty()) {
            QCOMPARE(problem, QString());
        } else {
            QVERIFY2(problem.contains(reason), qPrintable(problem));
        }
    }

    // Code points worked out by hand: 图 U+56FE, 标 U+6807, 按 U+6309, 钮 U+94AE.
    void namesFromFiles_data() {
        QTest::addColumn<QString>("baseName");
        QTest::addColumn<QString>("identifier");
        QTest::newRow("only hanzi") << u"图标"_s << u"u56fe_u6807"_s;
        QTest::newRow("other hanzi, another name") << u"按钮"_s << u"u6309_u94ae"_s;
        QTest::newRow("hanzi and digits") << u"图标2"_s << u"u56fe_u6807_2"_s;
        QTest::newRow("letters keep their name") << u"图标logo"_s << u"logo"_s;
        QTest::newRow("a stdint type") << u"uint8_t"_s << u"uint8_t_frame"_s;
        QTest::newRow("the runtime's prefix") << u"ravik_lcd_draw"_s << u"frame_ravik_lcd_draw"_s;
        QTest::newRow("main") << u"main"_s << u"main_frame"_s;
        QTest::newRow("a C++ keyword") << u"class"_s << u"class_frame"_s;
    }
    void namesFromFiles() {
        QFETCH(QString, baseName);
        QFETCH(QString, identifier);
        const std::string made = cIdentifierFor(baseName.toStdString());
        QCOMPARE(QString::fromStdString(made), identifier);
        QCOMPARE(QString::fromStdString(identifierProblem(made)), QString());
    }

    void manifestNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("usable");
        QTest::newRow("ui") << u"ui"_s << true;
        QTest::newRow("the runtime's files") << u"ravik_lcd"_s << false;
        QTest::newRow("the runtime's files, other case") << u"Ravik_LCD"_s << false;
        QTest::newRow("a keyword") << u"int"_s << false;
    }
    void manifestNames() {
        QFETCH(QString, name);
        QFETCH(bool, usable);
        QCOMPARE(manifestNameProblem(name.toStdString()).empty(), usable);
    }

    // A font header included twice, as two files of a program including it would, compiles.
    void fontHeaderIncludedTwice() {
        if (QStringLiteral(RAVIK_C_COMPILER).isEmpty()) {
            QSKIP("no C compiler found at configure time");
        }
        QTemporaryDir dir;
        PackedFont font;
        font.glyphs = {{U'A', 0, 1, 1, 0, 1, 2}};
        font.bitmaps = {0xF0};
        font.lineHeight = 2;
        font.ascent = 1;
        std::ofstream(dir.filePath(QStringLiteral("f.h")).toStdString())
            << formatFontHeader("f", "", font);
        std::ofstream(dir.filePath(QStringLiteral("check.c")).toStdString())
            << "#include \"f.h\"\n#include \"f.h\"\nint main(void) { return f.count == 1 ? 0 : 1; "
               "}\n";
        QProcess compiler;
        compiler.setProcessChannelMode(QProcess::MergedChannels);
        compiler.start(QStringLiteral(RAVIK_C_COMPILER),
                       {QStringLiteral("-std=c99"), QStringLiteral("-Wall"),
                        QStringLiteral("-Werror"), QStringLiteral("-fsyntax-only"),
                        QStringLiteral("-I") + QStringLiteral(RAVIK_RUNTIME_DIR),
                        dir.filePath(QStringLiteral("check.c"))});
        QVERIFY(compiler.waitForFinished(60000));
        QVERIFY2(compiler.exitCode() == 0, compiler.readAll().constData());
    }
};

QTEST_APPLESS_MAIN(CNamesTest)
#include "c_names_test.moc"
