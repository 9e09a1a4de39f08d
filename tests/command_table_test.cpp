// The command table: the overview, each command's help, the version, the window's arguments, and
// the mistakes every command's argument reading names (a mistyped command or option, a missing
// value, text that is not UTF-8), run as the built program; the reading's word matching and UTF-8
// check in-process.

#include "app/arguments.h"
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
#ifdef Q_OS_WIN
        QSKIP("Windows always has a display: the window would open");
#endif
        const Run run = runProgram({picture});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"没有可用的图形显示"_s), qPrintable(run.err));
    }

    // A first word that is no command and no file is a mistyped command when it is close to a
    // command's word or has no dot or slash: the message names it, suggests the nearest and lists
    // the commands, before any window is needed. An existing file of that name is still opened.
    void unknownCommand_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("fragments");
        const QString commands = u"convert、runtime、font、build"_s;
        QTest::newRow("a letter missing, before a picture")
            << QStringList{u"conver"_s, u"x.png"_s} << 2
            << QStringList{u"未知命令“conver”"_s, u"您是否想用 convert？"_s, commands};
        QTest::newRow("two letters swapped")
            << QStringList{u"biuld"_s} << 2
            << QStringList{u"未知命令“biuld”"_s, u"您是否想用 build？"_s, commands};
        QTest::newRow("cut short")
            << QStringList{u"runt"_s, u"out"_s} << 2 << QStringList{u"您是否想用 runtime？"_s};
        QTest::newRow("a word close to nothing")
            << QStringList{u"frobnicate"_s} << 2
            << QStringList{u"未知命令“frobnicate”"_s, commands};
        QTest::newRow("a file of that name is opened")
            << QStringList{u"fnot"_s} << 1 << QStringList{u"没有可用的图形显示"_s};
        QTest::newRow("a missing picture is the window's to report")
            << QStringList{u"missing.png"_s} << 1 << QStringList{u"没有可用的图形显示"_s};
    }
    void unknownCommand() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, fragments);
#ifdef Q_OS_WIN
        if (exitCode == 1) {
            QSKIP("Windows always has a display: the window would open");
        }
#endif
        QDir::setCurrent(dir.path());
        QVERIFY(writeAll(path(u"fnot"_s), "not a picture"));
        const Run run = runProgram(arguments);
        QCOMPARE(run.exitCode, exitCode);
        for (const QString& fragment : fragments) {
            QVERIFY2(run.err.contains(fragment), qPrintable(run.err));
        }
    }

    // Mistakes with options name the option: an unknown one as typed, with the command's nearest
    // when one is close (nothing suggested when none is); an option followed by another of the
    // command's options (or "--") lacks its value. Nothing is written.
    void optionMistakesAreNamed_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("convert, a letter missing")
            << QStringList{u"convert"_s, u"@picture"_s, u"--tile"_s, u"2x2"_s}
            << u"未知选项“--tile”，您是否想用 --tiles？"_s;
        QTest::newRow("convert, letters swapped")
            << QStringList{u"convert"_s, u"@picture"_s, u"--bni"_s, u"o.bin"_s}
            << u"未知选项“--bni”，您是否想用 --bin？"_s;
        QTest::newRow("convert batch, one dash")
            << QStringList{u"convert"_s, u"@picture"_s, u"--out-dir"_s, u"out"_s,
                           u"--bin"_s,   u"-jbos"_s,    u"2"_s}
            << u"未知选项“-jbos”，您是否想用 --jobs？"_s;
        QTest::newRow("font, a letter missing")
            << QStringList{u"font"_s,     u"--size"_s, u"12"_s,       u"--chars"_s, u"ab"_s,
                           u"--header"_s, u"f.h"_s,    u"--hintng"_s, u"full"_s}
            << u"未知选项“--hintng”，您是否想用 --hinting？"_s;
        QTest::newRow("build, letters swapped")
            << QStringList{u"build"_s, u"a.toml"_s, u"--out-dri"_s, u"out"_s}
            << u"未知选项“--out-dri”，您是否想用 --out-dir？"_s;
        QTest::newRow("nothing close")
            << QStringList{u"convert"_s, u"@picture"_s, u"--bold"_s} << u"未知选项“--bold”（"_s;
        QTest::newRow("runtime's one option") << QStringList{u"runtime"_s, u"--forse"_s, u"out"_s}
                                              << u"未知选项“--forse”，您是否想用 --force？"_s;
        QTest::newRow("convert --flip before --bin")
            << QStringList{u"convert"_s, u"@picture"_s, u"--flip"_s, u"--bin"_s, u"o.bin"_s}
            << u"选项“--flip”缺少参数：其后的“--bin”是选项"_s;
        QTest::newRow("convert --size before --crop=")
            << QStringList{u"convert"_s,        u"@picture"_s, u"--size"_s,
                           u"--crop=0,0,4,4"_s, u"--bin"_s,    u"o.bin"_s}
            << u"选项“--size”缺少参数"_s;
        QTest::newRow("convert --bin last")
            << QStringList{u"convert"_s, u"@picture"_s, u"--bin"_s} << u"选项“--bin”缺少参数"_s;
        QTest::newRow("convert --name before --")
            << QStringList{u"convert"_s, u"--header"_s, u"o.h"_s,
                           u"--name"_s,  u"--"_s,       u"@picture"_s}
            << u"选项“--name”缺少参数"_s;
        QTest::newRow("font --size before --chars")
            << QStringList{u"font"_s, u"--size"_s, u"--chars"_s, u"ab"_s, u"--header"_s, u"o.h"_s}
            << u"选项“--size”缺少参数：其后的“--chars”是选项"_s;
        QTest::newRow("build --out-dir before --depfile")
            << QStringList{u"build"_s, u"a.toml"_s, u"--out-dir"_s, u"--depfile"_s, u"o.d"_s}
            << u"选项“--out-dir”缺少参数"_s;
    }
    void optionMistakesAreNamed() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        arguments.replaceInStrings(u"@picture"_s, picture);
        QDir::setCurrent(dir.path());
        const Run run = runProgram(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        for (const QString& name :
             {u"o.bin"_s, u"o.h"_s, u"o.d"_s, u"out"_s, u"--bin"_s, u"--depfile"_s}) {
            QVERIFY2(!QFile::exists(path(name)), qPrintable(name));
        }
    }

    // A text value that is not UTF-8 is located: the argument as the user counts them after the
    // program's name, and the byte within it where the text breaks, in hexadecimal.
    void invalidUtf8IsLocated_data() {
        QTest::addColumn<QString>("arguments"); // for the shell, the bytes written by its printf
        QTest::addColumn<QString>("message");
        QTest::newRow("a stray byte in --chars")
            << uR"sh(font --size 12 --chars "$(printf 'ab\377')" --header o.h)sh"_s
            << u"第 5 个参数（--chars 的值）的第 3 个字节（0xFF）起不是有效的 UTF-8 文本"_s;
        QTest::newRow("a character cut off in --chars=")
            << uR"sh(font --size 12 --chars="$(printf '中\344\270')" --header o.h)sh"_s
            << u"第 4 个参数（--chars 的值）的第 12 个字节（0xE4）起"_s;
        QTest::newRow("a surrogate in --text")
            << uR"sh(font --size 12 --chars ab --preview o.png --text "$(printf 'x\355\240\200')")sh"_s
            << u"第 9 个参数（--text 的值）的第 2 个字节（0xED）起"_s;
        QTest::newRow("an overlong slash in convert's --attribute")
            << uR"sh(convert p.png --header o.h --attribute "$(printf '\300\257')")sh"_s
            << u"第 6 个参数（--attribute 的值）的第 1 个字节（0xC0）起"_s;
    }
    void invalidUtf8IsLocated() {
        QFETCH(QString, arguments);
        QFETCH(QString, message);
#ifdef Q_OS_WIN
        QSKIP("a Windows program's arguments arrive as UTF-16, never as bytes");
#endif
        QDir::setCurrent(dir.path());
        QVERIFY(QFile::exists(path(u"p.png"_s)) || QFile::copy(picture, path(u"p.png"_s)));
        // Through the shell, as a QStringList carries only text.
        const Run run = runCommand(u"/bin/sh"_s, {u"-c"_s, u"exec \"$0\" "_s + arguments,
                                                  QStringLiteral(RAVIK_EXECUTABLE)});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(path(u"o.h"_s)));
        QVERIFY(!QFile::exists(path(u"o.png"_s)));
    }

    // What follows a value option is its value unless it is one of the command's own options or
    // "--": then the value is missing and the message shows how to give such a value.
    void valueAfterAnOption_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("value"); // --bin's
        QTest::addColumn<QString>("error");
        QTest::newRow("a file name")
            << QStringList{u"--bin"_s, u"o.bin"_s} << u"o.bin"_s << QString();
        QTest::newRow("a negative number")
            << QStringList{u"--bin"_s, u"-5"_s} << u"-5"_s << QString();
        QTest::newRow("a word no option has")
            << QStringList{u"--bin"_s, u"--nonsense"_s} << u"--nonsense"_s << QString();
        QTest::newRow("an option's name after =")
            << QStringList{u"--bin=--flip"_s} << u"--flip"_s << QString();
        QTest::newRow("another option")
            << QStringList{u"--bin"_s, u"--flip"_s, u"none"_s} << QString()
            << u"选项“--bin”缺少参数：其后的“--flip”是选项；它若正是要给的值，请写成 "
               u"--bin=--flip"_s;
        QTest::newRow("the end of the options")
            << QStringList{u"--bin"_s, u"--"_s, u"x"_s} << QString()
            << u"选项“--bin”缺少参数：其后的“--”是选项"_s;
        QTest::newRow("nothing") << QStringList{u"--bin"_s} << QString()
                                 << u"选项“--bin”缺少参数"_s;
    }
    void valueAfterAnOption() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, value);
        QFETCH(QString, error);
        const std::vector<Option> options{{{"bin"}, true}, {{"flip"}, true}};
        std::vector<std::string> given;
        for (const QString& argument : arguments) {
            given.push_back(argument.toStdString());
        }
        const ParsedArguments parsed(given, options, false);
        QCOMPARE(QString::fromStdString(parsed.value(options[0])), value);
        const QString message = QString::fromStdString(parsed.error());
        QVERIFY2(error.isEmpty() ? message.isEmpty() : message.startsWith(error),
                 qPrintable(message));
    }

    // The word matching behind the suggestions: one edit away (two for longer words), or a word
    // cut short of exactly one name; nothing when two names are as near.
    void nearestName_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("nearest"); // empty: none
        QTest::newRow("a letter missing") << u"tile"_s << u"tiles"_s;
        QTest::newRow("a letter extra") << u"sizee"_s << u"size"_s;
        QTest::newRow("neighbours swapped") << u"dtiher"_s << u"dither"_s;
        QTest::newRow("two edits in a long word") << u"backgrnd"_s << u"background"_s;
        QTest::newRow("two edits in a short word") << u"fip"_s << u"flip"_s;
        QTest::newRow("too far") << u"bold"_s << QString();
        QTest::newRow("cut short") << u"preview-s"_s << u"preview-scale"_s;
        QTest::newRow("cut short of two") << u"pre"_s << QString();
        QTest::newRow("as near to two") << u"mask-bi"_s << u"mask-bin"_s;
        QTest::newRow("tied") << u"bim"_s << QString();
        QTest::newRow("a megabyte of letters") << QString(1 << 20, u'b') << QString();
    }
    void nearestName() {
        QFETCH(QString, word);
        QFETCH(QString, nearest);
        const std::vector<std::string_view> names{"bin",  "c-text",   "size",       "tiles",
                                                  "flip", "dither",   "preview",    "preview-scale",
                                                  "mask", "mask-bin", "background", "bit"};
        const std::string typed = word.toStdString();
        const auto found = ravik::nearestName(typed, names);
        QCOMPARE(found ? QString::fromUtf8(found->data(), qsizetype(found->size())) : QString(),
                 nearest);
    }

    // Where bytes stop being UTF-8, by the encoding's table of well-formed sequences.
    void invalidUtf8At_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("at"); // -1: valid throughout
        QTest::newRow("ASCII") << QByteArray("plain") << -1;
        QTest::newRow("Chinese and an emoji") << QByteArray("中文\xF0\x9F\x98\x80") << -1;
        QTest::newRow("the last code point") << QByteArray("\xF4\x8F\xBF\xBF") << -1;
        QTest::newRow("a stray continuation byte") << QByteArray("ab\x80") << 2;
        QTest::newRow("a lead byte cut off") << QByteArray("中\xE4\xB8") << 3;
        QTest::newRow("a two-byte overlong") << QByteArray("\xC1\xBF") << 0;
        QTest::newRow("a three-byte overlong") << QByteArray("a\xE0\x9F\xBF") << 1;
        QTest::newRow("a surrogate") << QByteArray("\xED\xA0\x80") << 0;
        QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << 0;
        QTest::newRow("a lead byte no encoding uses") << QByteArray("\xFE") << 0;
        QTest::newRow("a second byte that is ASCII") << QByteArray("\xC3"
                                                                   "A")
                                                     << 0;
    }
    void invalidUtf8At() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, at);
        const auto found = ravik::invalidUtf8At(std::string_view(bytes.constData(), bytes.size()));
        QCOMPARE(found ? int(*found) : -1, at);
    }
};

QTEST_GUILESS_MAIN(CommandTableTest)
#include "command_table_test.moc"
