// The one output stage, as every command meets it: an output over any input (the picture, the
// font, an @FILE of characters, the manifest and all it names), two outputs on one file, a link
// leading out of the out-dir and a path too long are refused with nothing written and no folder
// made; `runtime` leaves its own files alone and keeps an edited one without --force; and the
// depfile, read by GNU make itself, reruns the asset step once for a touched picture and
// recompiles nothing.

#include "app/build_command.h"
#include "test_tools.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

using ravik::testing::readText;
using ravik::testing::writeText;

// Runs a program in `folder`; its exit code (-1 for a crash), standard output and error merged.
int run(const QString& program, const QStringList& arguments, const fs::path& folder,
        QString* output = nullptr) {
    return ravik::testing::runProgram(program, arguments, output,
                                      QString::fromStdString(folder.string()));
}

int runRavik(const QStringList& arguments, const fs::path& folder, QString* output = nullptr) {
    return run(QStringLiteral(RAVIK_EXECUTABLE), arguments, folder, output);
}

// Every file and folder under `root` (links as links) with its bytes: what a refused command must
// leave exactly as it was.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).generic_string();
        if (entry.is_symlink()) {
            files[name] = "link to " + fs::read_symlink(entry.path()).generic_string();
        } else if (entry.is_regular_file()) {
            files[name] = readText(entry.path());
        } else {
            files[name] = "folder";
        }
    }
    return files;
}

// A 2 × 2 red PNG, drawn by ImageMagick.
void smallPicture(const fs::path& path) {
    QCOMPARE(ravik::testing::runTool(u"/usr/bin/convert"_s,
                                     {u"-size"_s, u"2x2"_s, u"xc:red"_s,
                                      QString::fromStdU16String(path.generic_u16string())})
                 .exitCode,
             0);
}

// A font file to copy as the user's own; empty when the system has none.
QString systemFont() {
#ifdef Q_OS_WIN
    const QString arial = u"C:/Windows/Fonts/arial.ttf"_s;
    if (QFile::exists(arial)) {
        return arial;
    }
#endif
    // Under Wine, the build machine's font (its drive maps the Unix root).
    const ravik::testing::ToolRun found =
        ravik::testing::runTool(u"fc-match"_s, {u"-f"_s, u"%{file}"_s, u"sans"_s});
    const QString file = QString::fromUtf8(found.out);
    return found.exitCode == 0 && QFile::exists(file) ? file : QString();
}

// The working folder of one case: a picture, a font, a character file and a manifest using them
// all, in root/work; a file outside it, root/victim.txt, that a planted link points at.
struct Scene {
    fs::path root;
    fs::path work;
};

Scene makeScene(const QTemporaryDir& dir) {
    Scene scene{fs::path(dir.path().toStdString()), fs::path(dir.path().toStdString()) / "work"};
    fs::create_directories(scene.work);
    smallPicture(scene.work / "p.png");
    writeText(scene.work / "c.txt", "ab");
    writeText(scene.root / "victim.txt", "not to be touched\n");
    const QString font = systemFont();
    if (!font.isEmpty()) {
        fs::copy_file(font.toStdString(), scene.work / "my.ttf");
    }
    writeText(scene.work / "ok.toml", "name = \"ok\"\n"
                                      "[[sprite]]\nname = \"icon\"\npicture = \"p.png\"\n"
                                      "[[font]]\nname = \"text\"\nfont = \"my.ttf\"\nsize = 12\n"
                                      "chars = [\"@c.txt\"]\n");
    return scene;
}

} // namespace

class OutputStageTest : public QObject {
    Q_OBJECT

private slots:
    void refusedWithNothingWritten_data();
    void refusedWithNothingWritten();
    void runtimeKeepsEditedFiles_data();
    void runtimeKeepsEditedFiles();
    void depfileSpelling_data();
    void depfileSpelling();
    void makeRebuildsOnceAfterATouch_data();
    void makeRebuildsOnceAfterATouch();
};

void OutputStageTest::refusedWithNothingWritten_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("link"); // planted as work/out/ok.h when set
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("fragment");

    const QStringList font{u"font"_s, u"my.ttf"_s, u"--size"_s, u"16"_s, u"--chars"_s, u"ab"_s};
    const QStringList build{u"build"_s, u"ok.toml"_s, u"--out-dir"_s, u"out"_s};
    const QString overInput = u"会覆盖输入文件"_s;
    const QString twice = u"两项输出都写入"_s;
    QTest::newRow("font header over the font file")
        << font + QStringList{u"--header"_s, u"my.ttf"_s} << QString() << 2 << overInput;
    QTest::newRow("font preview over the font file")
        << font + QStringList{u"--preview"_s, u"my.ttf"_s, u"--text"_s, u"ab"_s} << QString() << 2
        << overInput;
    QTest::newRow("font header over the character file")
        << QStringList{u"font"_s,    u"my.ttf"_s, u"--size"_s,   u"16"_s,
                       u"--chars"_s, u"@c.txt"_s, u"--header"_s, u"c.txt"_s}
        << QString() << 2 << overInput;
    QTest::newRow("font header over a fallback font file")
        << QStringList{u"font"_s,       u"--size"_s,   u"16"_s,       u"--chars"_s, u"ab"_s,
                       u"--fallback"_s, u"./my.ttf"_s, u"--header"_s, u"my.ttf"_s}
        << QString() << 2 << overInput;
    QTest::newRow("font preview over a fallback face of a file")
        << QStringList{u"font"_s,   u"--size"_s,     u"16"_s,       u"--chars"_s,
                       u"ab"_s,     u"--fallback"_s, u"my.ttf:0"_s, u"--preview"_s,
                       u"my.ttf"_s, u"--text"_s,     u"ab"_s}
        << QString() << 2 << overInput;
    QTest::newRow("depfile over a manifest's fallback font")
        << QStringList{u"build"_s, u"fallback.toml"_s, u"--out-dir"_s,
                       u"out"_s,   u"--depfile"_s,     u"my.ttf"_s}
        << QString() << 2 << overInput;
    QTest::newRow("font header and preview on one file")
        << font + QStringList{u"--header"_s, u"o.png"_s,  u"--preview"_s,
                              u"o.png"_s,    u"--text"_s, u"ab"_s}
        << QString() << 2 << twice;
    QTest::newRow("depfile over the manifest")
        << build + QStringList{u"--depfile"_s, u"ok.toml"_s} << QString() << 2 << overInput;
    QTest::newRow("depfile over a picture")
        << build + QStringList{u"--depfile"_s, u"p.png"_s} << QString() << 2 << overInput;
    QTest::newRow("depfile over the character file")
        << build + QStringList{u"--depfile"_s, u"c.txt"_s} << QString() << 2 << overInput;
    QTest::newRow("depfile over the font file")
        << build + QStringList{u"--depfile"_s, u"./my.ttf"_s} << QString() << 2 << overInput;
    QTest::newRow("depfile over the generated header")
        << build + QStringList{u"--depfile"_s, u"out/ok.h"_s} << QString() << 2 << twice;
    QTest::newRow("depfile over the generated source")
        << build + QStringList{u"--depfile"_s, u"out/../out/ok.c"_s} << QString() << 2 << twice;
    QTest::newRow("depfile on standard output")
        << build + QStringList{u"--depfile"_s, u"-"_s} << QString() << 2
        << u"--depfile 不能写到标准输出"_s;
    QTest::newRow("generated header a link out of the out-dir")
        << build << u"../../victim.txt"_s << 1 << u"输出文件夹之外的链接"_s;
    QTest::newRow("depfile in a folder that is a file")
        << build + QStringList{u"--depfile"_s, u"c.txt/ok.d"_s} << QString() << 1 << u"c.txt"_s;
#ifdef Q_OS_LINUX
    QTest::newRow("depfile where no file can be made")
        << build + QStringList{u"--depfile"_s, u"/proc/ravik-lcd-test.d"_s} << QString() << 1
        << u"/proc/ravik-lcd-test.d"_s;
#endif
    QTest::newRow("picture name make can't read back")
        << QStringList{u"build"_s, u"equals.toml"_s, u"--out-dir"_s,
                       u"out"_s,   u"--depfile"_s,   u"out/equals.d"_s}
        << QString() << 2 << u"e=q.png"_s;
    QTest::newRow("manifest name too long for a file")
        << QStringList{u"build"_s, u"long.toml"_s, u"--out-dir"_s, u"."_s} << QString() << 1
        << u"路径太长"_s;
    QTest::newRow("out-dir longer than a path may be")
        << build.mid(0, 3) + QStringList{u"a/"_s.repeated(2100)} << QString() << 1 << u"路径太长"_s;
    QTest::newRow("runtime into a folder longer than a path may be")
        << QStringList{u"runtime"_s, u"a/"_s.repeated(2100)} << QString() << 1 << u"路径太长"_s;
    QTest::newRow("convert output name too long")
        << QStringList{u"convert"_s, u"p.png"_s, u"--bin"_s, u"b"_s.repeated(300) + u".bin"_s}
        << QString() << 1 << u"路径太长"_s;
}

void OutputStageTest::refusedWithNothingWritten() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, link);
    QFETCH(int, exitCode);
    QFETCH(QString, fragment);
    QTemporaryDir dir;
    const Scene scene = makeScene(dir);
    if (!fs::exists(scene.work / "my.ttf")) {
        QSKIP("no font on this system (fc-match found none)");
    }
    // A name of 254 letters: with ".h" one more than a file name may have.
    writeText(scene.work / "long.toml",
              "name = \"" + std::string(254, 'n') +
                  "\"\n[[sprite]]\nname = \"icon\"\npicture = \"p.png\"\n");
    smallPicture(scene.work / "e=q.png");
    writeText(scene.work / "fallback.toml", "[[font]]\nname = \"text\"\nsize = 12\n"
                                            "fallback = [\"my.ttf\"]\nchars = [\"ab\"]\n");
    writeText(scene.work / "equals.toml", "[[sprite]]\nname = \"icon\"\npicture = \"e=q.png\"\n");
    if (!link.isEmpty()) {
        fs::create_directories(scene.work / "out");
        std::error_code failed;
        fs::create_symlink(link.toStdString(), scene.work / "out" / "ok.h", failed);
        if (failed) {
            QSKIP("no symbolic links here");
        }
    }
    const auto before = snapshot(scene.root);
    QString output;
    QCOMPARE(runRavik(arguments, scene.work, &output), exitCode);
    QVERIFY2(output.contains(fragment), qPrintable(output));
    QVERIFY2(output.startsWith(u"ravik-lcd: "_s) && output.count(u'\n') == 1, qPrintable(output));
    QVERIFY(snapshot(scene.root) == before);
}

void OutputStageTest::runtimeKeepsEditedFiles_data() {
    QTest::addColumn<bool>("edit");
    QTest::addColumn<bool>("force");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("replaced");

    QTest::newRow("same files again") << false << false << 0 << false;
    QTest::newRow("edited header") << true << false << 1 << false;
    QTest::newRow("edited header with --force") << true << true << 0 << true;
}

void OutputStageTest::runtimeKeepsEditedFiles() {
    QFETCH(bool, edit);
    QFETCH(bool, force);
    QFETCH(int, exitCode);
    QFETCH(bool, replaced);
    QTemporaryDir dir;
    const fs::path root(dir.path().toStdString());
    QCOMPARE(runRavik({u"runtime"_s, u"lcd"_s}, root), 0);
    const fs::path header = root / "lcd" / "ravik_lcd.h";
    const std::string made = readText(header);
    QVERIFY(made.find("ravik_lcd_draw") != std::string::npos);
    if (edit) {
        writeText(header, made + "/* the user's own line */\n");
    }
    // Back-dated, so a file written again would show a new time; whole seconds, which every file
    // system keeps as they are.
    const auto old = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now() -
                                                              std::chrono::hours(1));
    for (const char* name : {"ravik_lcd.h", "ravik_lcd.c"}) {
        fs::last_write_time(root / "lcd" / name, old);
    }
    const std::string before = readText(header);
    const std::string source = readText(root / "lcd" / "ravik_lcd.c");

    QStringList arguments{u"runtime"_s, u"lcd"_s};
    if (force) {
        arguments << u"--force"_s;
    }
    QString output;
    QCOMPARE(runRavik(arguments, root, &output), exitCode);
    QCOMPARE(readText(header) == made, replaced || !edit);
    QCOMPARE(readText(header) == before, !replaced);
    if (exitCode != 0) {
        QVERIFY2(output.contains(u"ravik_lcd.h"_s) && output.contains(u"--force"_s),
                 qPrintable(output));
    }
    // Files that hold what would be written are not written again.
    QCOMPARE(readText(root / "lcd" / "ravik_lcd.c"), source);
    if (!force) {
        QVERIFY(fs::last_write_time(root / "lcd" / "ravik_lcd.c") == old);
    }
}

// Each picture name as the depfile spells it for GNU make, worked out by hand from make's reading
// rules; empty: a name make can't read back, refused.
void OutputStageTest::depfileSpelling_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("spelt");

    const QString stamp = u"out/ui.stamp"_s;
    QTest::newRow("plain") << stamp << u"art/logo.png"_s << u"art/logo.png"_s;
    QTest::newRow("colon") << stamp << u"a:b.png"_s << u"a\\:b.png"_s;
    QTest::newRow("space and tab") << stamp << u"a b\tc.png"_s << u"a\\ b\\\tc.png"_s;
    QTest::newRow("hash") << stamp << u"n#1.png"_s << u"n\\#1.png"_s;
    QTest::newRow("dollar") << stamp << u"p$x.png"_s << u"p$$x.png"_s;
    QTest::newRow("percent in a picture") << stamp << u"100%.png"_s << u"100%.png"_s;
    QTest::newRow("wildcards") << stamp << u"st*r?[1].png"_s << u"st\\*r\\?\\[1\\].png"_s;
    QTest::newRow("bar") << stamp << u"a|b.png"_s << u"a\\|b.png"_s;
    QTest::newRow("tilde first") << stamp << u"~x.png"_s << u"./~x.png"_s;
#ifndef Q_OS_WIN // where a backslash separates folders
    QTest::newRow("backslash inside") << stamp << u"back\\slash.png"_s << u"back\\slash.png"_s;
#endif
    QTest::newRow("Chinese") << stamp << u"图标.png"_s << u"图标.png"_s;
#ifdef Q_OS_WIN
    QTest::newRow("drive letter") << stamp << u"C:/art/logo.png"_s << u"C:/art/logo.png"_s;
#endif
    QTest::newRow("equals sign") << stamp << u"e=q.png"_s << QString();
    QTest::newRow("semicolon") << stamp << u"semi;colon.png"_s << QString();
    QTest::newRow("line break") << stamp << u"line\nbreak.png"_s << QString();
#ifndef Q_OS_WIN
    QTest::newRow("backslash at the end") << stamp << u"ends\\"_s << QString();
    QTest::newRow("backslash before a space") << stamp << u"a\\ b.png"_s << QString();
#endif
    QTest::newRow("archive member") << stamp << u"lib(member)"_s << QString();
    QTest::newRow("percent in the target") << u"o%t/ui.stamp"_s << u"a.png"_s << QString();
}

void OutputStageTest::depfileSpelling() {
    QFETCH(QString, target);
    QFETCH(QString, picture);
    QFETCH(QString, spelt);
    const ravik::Depfile made = ravik::makeDepfile({fs::path(target.toStdU16String())},
                                                   {fs::path(picture.toStdU16String())});
    if (spelt.isEmpty()) {
        QVERIFY(made.text.empty());
        QVERIFY(!made.failure.empty());
        return;
    }
    QVERIFY2(made.failure.empty(), made.failure.c_str());
    QCOMPARE(QString::fromStdString(made.text), target + u": \\\n  "_s + spelt + u"\n"_s);
}

void OutputStageTest::makeRebuildsOnceAfterATouch_data() {
    QTest::addColumn<QString>("picture");

    QTest::newRow("colon") << u"a:b.png"_s;
    QTest::newRow("spaces") << u"my art/a b.png"_s;
    QTest::newRow("hash") << u"n#1.png"_s;
    QTest::newRow("dollar") << u"p$x.png"_s;
    QTest::newRow("percent") << u"100%.png"_s;
    QTest::newRow("backslash") << u"back\\slash.png"_s;
    QTest::newRow("wildcards") << u"st*r?[1].png"_s;
    QTest::newRow("bar") << u"a|b.png"_s;
    QTest::newRow("tab") << u"a\tb.png"_s;
    QTest::newRow("tilde first") << u"~x.png"_s;
    QTest::newRow("parentheses inside") << u"x(1).png"_s;
    QTest::newRow("Chinese") << u"图标.png"_s;
}

// The README's rule: the stamp is the target, the .c and .h follow it with an empty recipe.
void OutputStageTest::makeRebuildsOnceAfterATouch() {
    QFETCH(QString, picture);
    const QString make = QStandardPaths::findExecutable(u"make"_s);
    if (make.isEmpty()) {
        QSKIP("no make on this system");
    }
    QTemporaryDir dir;
    const fs::path root(dir.path().toStdString());
    const fs::path picturePath = root / picture.toStdString();
    fs::create_directories(picturePath.parent_path());
    smallPicture(picturePath);
    QVERIFY(fs::exists(picturePath));
    writeText(root / "ui.toml",
              "[[sprite]]\nname = \"icon\"\npicture = '" + picture.toStdString() + "'\n");
    writeText(root / "Makefile",
              "firmware: assets/ui.c assets/ui.h\n"
              "\t@echo FIRMWARE; touch firmware\n"
              "assets/ui.stamp: ui.toml\n"
              "\t@echo ASSETS; \"" RAVIK_EXECUTABLE "\" build ui.toml --out-dir assets "
              "--depfile assets/ui.d --stamp assets/ui.stamp\n"
              "assets/ui.c assets/ui.h: assets/ui.stamp ;\n"
              "-include assets/ui.d\n");
    QString output;
    QCOMPARE(run(make, {}, root, &output), 0);
    QVERIFY2(output.contains(u"ASSETS"_s) && output.contains(u"FIRMWARE"_s), qPrintable(output));

    // Everything made a while ago, the picture touched since; its bytes are the same.
    const auto now = fs::file_time_type::clock::now();
    for (const char* made :
         {"assets/ui.stamp", "assets/ui.c", "assets/ui.h", "assets/ui.d", "firmware"}) {
        fs::last_write_time(root / made, now - std::chrono::minutes(10));
    }
    fs::last_write_time(picturePath, now - std::chrono::minutes(5));
    QCOMPARE(run(make, {}, root, &output), 0);
    QVERIFY2(output.contains(u"ASSETS"_s), qPrintable(output));
    QVERIFY2(!output.contains(u"FIRMWARE"_s), qPrintable(output));
    QCOMPARE(run(make, {}, root, &output), 0);
    QVERIFY2(!output.contains(u"ASSETS"_s) && !output.contains(u"FIRMWARE"_s), qPrintable(output));

    // A picture redrawn reaches the firmware.
    QCOMPARE(run(u"/usr/bin/convert"_s,
                 {u"-size"_s, u"2x2"_s, u"xc:blue"_s, QString::fromStdString(picturePath.string())},
                 root),
             0);
    fs::last_write_time(picturePath, now + std::chrono::seconds(1));
    QCOMPARE(run(make, {}, root, &output), 0);
    QVERIFY2(output.contains(u"ASSETS"_s) && output.contains(u"FIRMWARE"_s), qPrintable(output));
}

QTEST_GUILESS_MAIN(OutputStageTest)
#include "output_stage_test.moc"
