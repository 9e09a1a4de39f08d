// Inputs checked before they are read: a folder, a pipe or a device named as a picture, manifest
// or character file is refused by name, quickly, and never read; manifests whose keys would
// overflow the TOML reader's stack are refused first. Names a generated file can't define are
// refused with the manifest's line, work past what 16-bit counts or the budget hold is refused
// before it starts, and messages stay short and printable.

#include "app/build_command.h"
#include "app/manifest.h"
#include "fonts/char_set.h"
#include "fonts/font_faults.h"
#include "fonts/font_job.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using namespace ravik;
using namespace Qt::StringLiterals;

namespace {

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void savePicture(const fs::path& path, int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(QString::fromStdU16String(path.u16string()), "PNG"));
}

// A GIF of `frames` one-pixel images on a width × height screen, written byte by byte: each image
// is the smallest there is (LZW code size 2, the two codes 0x44 0x01: clear, pixel 0, end).
void writeGif(const fs::path& path, int frames, int width, int height) {
    std::string bytes = "GIF89a";
    for (const int side : {width, height}) {
        bytes += char(side & 0xFF);
        bytes += char(side >> 8);
    }
    bytes += std::string("\x80\0\0\0\0\0\xff\xff\xff", 9); // two colours: black, white
    const std::string image("\x2c\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0", 15);
    for (int i = 0; i < frames; ++i) {
        bytes += image;
    }
    writeText(path, bytes + ";");
}

// ravik-lcd run with the arguments; its exit code and standard error.
int runProgram(const QStringList& arguments, QString& errors) {
    QProcess process;
    process.start(QStringLiteral(RAVIK_EXECUTABLE), arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        errors = u"timed out"_s;
        return -1;
    }
    errors = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

class InputChecksTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    // Names are UTF-8 on every system (a narrow path would be the ANSI code page's on Windows).
    fs::path at(const char* name) const {
        return fs::path(dir.path().toStdU16String()) /
               fs::path(std::u8string(reinterpret_cast<const char8_t*>(name)));
    }
    static QString text(const fs::path& path) {
        return QString::fromStdU16String(path.u16string());
    }

    // Builds the manifest text, saved as `file`, into out/; the outcome.
    BuildOutcome build(const std::string& text, const char* file = "assets.toml") {
        writeText(at(file), text);
        return buildAssets({at(file), at("out"), std::nullopt});
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        savePicture(at("red.png"), 4, 4);
        fs::create_directory(at("folder.png"));
#ifdef Q_OS_UNIX
        QCOMPARE(::mkfifo(at("pipe.png").c_str(), 0600), 0);
#endif
    }

    // Each picture is refused for what it is, before the fingerprint reads it: /dev/zero would
    // be read until memory runs out and a pipe with no writer would block for ever.
    void picturesThatAreNoFiles_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a folder") << u"folder.png"_s << u"是文件夹"_s;
#ifdef Q_OS_UNIX
        QTest::newRow("a pipe") << u"pipe.png"_s << u"不是普通文件"_s;
        QTest::newRow("/dev/zero") << u"/dev/zero"_s << u"不是普通文件"_s;
#endif
        QTest::newRow("missing") << u"none.png"_s << u"不存在"_s;
    }
    void picturesThatAreNoFiles() {
        QFETCH(QString, picture);
        QFETCH(QString, reason);
        const BuildOutcome outcome =
            build("[[frame]]\nname = \"f\"\npicture = \"" + picture.toStdString() + "\"\n");
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(QString::fromStdString(outcome.message).contains(reason), outcome.message.c_str());
        QVERIFY(!fs::exists(at("out")));
    }

    void manifestThatIsAFolder() {
        const BuildOutcome outcome = buildAssets({at("folder.png"), at("out"), std::nullopt});
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(QString::fromStdString(outcome.message).contains(u"是文件夹"_s),
                 outcome.message.c_str());
    }

    // Names a generated file can't define, refused as usage errors naming the line.
    void refusedNames_data() {
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("line");
        const QByteArray frame = "\n[[frame]]\nname = \"%1\"\npicture = \"red.png\"\n";
        QTest::newRow("uint8_t") << QByteArray(frame).replace("%1", "uint8_t") << u"a.toml"_s << 3;
        QTest::newRow("ravik_lcd_draw")
            << QByteArray(frame).replace("%1", "ravik_lcd_draw") << u"a.toml"_s << 3;
        QTest::newRow("RAVIK_LCD_WIDTH")
            << QByteArray(frame).replace("%1", "RAVIK_LCD_WIDTH") << u"a.toml"_s << 3;
        QTest::newRow("class") << QByteArray(frame).replace("%1", "class") << u"a.toml"_s << 3;
        QTest::newRow("main") << QByteArray(frame).replace("%1", "main") << u"a.toml"_s << 3;
        QTest::newRow("the header's guard")
            << "name = \"ui\"\n" + QByteArray(frame).replace("%1", "UI_H") << u"a.toml"_s << 3;
        QTest::newRow("a manifest named ravik_lcd")
            << "name = \"ravik_lcd\"\n" + QByteArray(frame).replace("%1", "f") << u"a.toml"_s << 1;
        QTest::newRow("ravik_lcd.toml without a name")
            << QByteArray(frame).replace("%1", "f") << u"ravik_lcd.toml"_s << 1;
        QTest::newRow("two assets sharing a constant")
            << QByteArray(frame).replace("%1", "a_MASK") +
                   "[[sprite]]\nname = \"a\"\npicture = \"red.png\"\n"
            << u"a.toml"_s << 5;
    }
    void refusedNames() {
        QFETCH(QByteArray, manifest);
        QFETCH(QString, file);
        QFETCH(int, line);
        const BuildOutcome outcome = build(manifest.toStdString(), file.toUtf8().constData());
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY2(QString::fromStdString(outcome.message).contains(u"第 %1 行"_s.arg(line)),
                 outcome.message.c_str());
        QVERIFY(!fs::exists(at("out")));
    }

    // A key of a quarter of a million parts overflowed toml++'s stack; it is refused first.
    void deepKeys_data() {
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<int>("line");
        QByteArray dotted = "name = \"ui\"\n";
        for (int i = 0; i < 250000; ++i) {
            dotted += "a.";
        }
        QTest::newRow("dotted key") << dotted + "b = 1\n" << 2;
        QByteArray header = "\n[";
        for (int i = 0; i < 250000; ++i) {
            header += "t.";
        }
        QTest::newRow("table header") << header + "u]\n" << 2;
    }
    void deepKeys() {
        QFETCH(QByteArray, manifest);
        QFETCH(int, line);
        const ManifestReading reading = parseManifest(manifest.toStdString(), at("a.toml"));
        QVERIFY2(QString::fromStdString(reading.error).contains(u"第 %1 行"_s.arg(line)),
                 reading.error.c_str());
        QVERIFY(reading.error.size() < 400);
    }

    // Text toml++ 3.3 can't take safely is refused with its line, never handed on: characters
    // past ASCII outside strings and comments (its white-space question has no answer for CJK
    // punctuation), such a character first after a line-ending backslash, and text that trips its
    // parser's own checks. Floats in a wrong-typed array are shown by us, not its formatter.
    void textTomlCantTake_data() {
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ideographic comma after a value")
            << QByteArray("name = \"ui\"\na = 1 、\n") << u"第 2 行：字符 U+3001（、）"_s;
        QTest::newRow("corner brackets around a key")
            << QByteArray("\n\n「名」 = 1\n") << u"第 3 行：字符 U+300C（「）"_s;
        QTest::newRow("section sign after a line-ending backslash")
            << QByteArray("s = \"\"\"\\\n§\"\"\"\n")
            << u"第 2 行：行尾反斜杠之后的字符 U+00A7（§）"_s;
        QTest::newRow("no-break space between tokens") << QByteArray("a =\xc2\xa0"
                                                                     "1\n")
                                                       << u"第 1 行：字符 U+00A0"_s;
        QTest::newRow("a tenth in a wrong-typed array")
            << QByteArray("[[sprite]]\nname = \"a\"\npicture = \"a.png\"\ncrop = [0, 0.1, 1, 1]\n")
            << u"“[0, 0.1, 1, 1]”"_s;
        QTest::newRow("nan in a wrong-typed array")
            << QByteArray("[[sprite]]\nname = \"a\"\npicture = \"a.png\"\nsize = [nan, 16]\n")
            << u"“[nan, 16]”"_s;
        QTest::newRow("value running into letters")
            << QByteArray("a = 82ii--k--e 8 f\n") << u"TOML 语法错误"_s;
        QTest::newRow("triple bracket header") << QByteArray("[[[1]]]\n") << u"TOML 语法错误"_s;
        QTest::newRow("double bracket then equals") << QByteArray("[[=\n") << u"TOML 语法错误"_s;
    }
    void textTomlCantTake() {
        QFETCH(QByteArray, manifest);
        QFETCH(QString, expected);
        const ManifestReading reading = parseManifest(manifest.toStdString(), at("a.toml"));
        QVERIFY2(QString::fromStdString(reading.error).contains(expected), reading.error.c_str());
    }

    // CJK punctuation where TOML allows any character still reads.
    void cjkInStringsAndComments() {
        const ManifestReading reading =
            parseManifest("# 图标、按钮「一」\nname = \"ui\" # 、\n[[frame]]\nname = \"f\"\n"
                          "picture = \"图「1」、.png\"\n",
                          at("a.toml"));
        QCOMPARE(QString::fromStdString(reading.error), QString());
    }

    // Keys of ordinary depth, dots in strings and values, and inline tables still read.
    void ordinaryKeysRead() {
        const ManifestReading reading = parseManifest(
            "# a.b.c.d\nname = \"ui\" # x.y\n[[frame]]\nname = \"f\"\npicture = \"a.b.c.png\"\n",
            at("a.toml"));
        QCOMPARE(QString::fromStdString(reading.error), QString());
    }

    // A wrong-typed value of a megabyte is echoed as its first characters, not whole.
    void longWrongValue() {
        const std::string manifest =
            "[[frame]]\nname = \"f\"\npicture = [\"" + std::string(1 << 20, 'x') + "\"]\n";
        const ManifestReading reading = parseManifest(manifest, at("a.toml"));
        QVERIFY(!reading.error.empty());
        QVERIFY2(reading.error.size() < 400, reading.error.substr(0, 400).c_str());
    }

    // A valid name of a megabyte, named in the message of its missing picture: cut short too.
    void longNameClipped() {
        const BuildOutcome outcome = build("[[frame]]\nname = \"" + std::string(1 << 20, 'n') +
                                           "\"\npicture = \"gone.png\"\n");
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(outcome.message.size() < 400, outcome.message.substr(0, 400).c_str());
    }

    void syntaxErrorInChinese() {
        const ManifestReading reading = parseManifest("name = \n", at("a.toml"));
        const QString error = QString::fromStdString(reading.error);
        QVERIFY2(error.contains(u"第 1 行"_s) && error.contains(u"此处应为一个值"_s),
                 reading.error.c_str());
        QVERIFY(!error.contains(u"expected"_s));
    }

    // Two frames of 9,849 bytes and their offsets can't fit 100 bytes: refused before any
    // picture is looked at (neither exists).
    void budgetBeforeConverting() {
        const BuildOutcome outcome =
            build("budget = 100\n[[frame]]\nname = \"a\"\npicture = \"gone1.png\"\n"
                  "[[frame]]\nname = \"b\"\npicture = \"gone2.png\"\n");
        QCOMPARE(outcome.exitCode, 1);
        // 2 × (9849 + 2 × 4) = 19714 bytes at least.
        QVERIFY2(QString::fromStdString(outcome.message).contains(u"19714 字节"_s),
                 outcome.message.c_str());
    }

    // build's header gives each picture's sizes as constants a compiler can use: a 5 × 3 sprite
    // packs into ⌈5·3·3/2⌉ = 23 bytes, its mask into ⌈5/8⌉·3 = 3.
    void headerConstantsCompile() {
        if (QStringLiteral(RAVIK_C_COMPILER).isEmpty()) {
            QSKIP("no C compiler found at configure time");
        }
        savePicture(at("five.png"), 5, 3);
        const BuildOutcome outcome =
            build("name = \"ui\"\n[[sprite]]\nname = \"s\"\npicture = \"five.png\"\nmask = true\n");
        QVERIFY2(outcome.exitCode == 0, outcome.message.c_str());
        writeText(at("out") / "check.c",
                  "#include \"ui.h\"\n#include \"ui.h\"\n"
                  "typedef char sizes[(s_WIDTH == 5 && s_HEIGHT == 3 && s_COUNT == 1 &&\n"
                  "                    s_SIZE == 23 && s_MASK_SIZE == 3) ? 1 : -1];\n"
                  "static const unsigned char copy[s_SIZE];\n"
                  "int main(void) { return copy[0] + s.width - 5; }\n");
        QProcess compiler;
        compiler.setProcessChannelMode(QProcess::MergedChannels);
        compiler.start(QStringLiteral(RAVIK_C_COMPILER),
                       {u"-std=c99"_s, u"-Wall"_s, u"-Werror"_s, u"-fsyntax-only"_s,
                        u"-I"_s + QStringLiteral(RAVIK_RUNTIME_DIR),
                        QString::fromStdString((at("out") / "check.c").string())});
        QVERIFY(compiler.waitForFinished(60000));
        QVERIFY2(compiler.exitCode() == 0, compiler.readAll().constData());
        fs::remove_all(at("out"));
    }

    // The glyph tables on any chip (byte arrays, never padded): four glyphs of one empty box at
    // offset 0 (the last one the 10 bytes long) take 2-byte records (the step, then one byte for
    // the length, 4 bits, and the metrics index, 0 bits), one 6-byte metrics entry, and 8 bytes a
    // group, one starting wherever a step passes 255: at U+0000, U+1F600 and U+20000.
    void glyphBytesInBudget() {
        PackedFont font;
        font.glyphs.resize(4);
        font.glyphs[1].codepoint = 0x1F600;
        font.glyphs[2].codepoint = 0x1F601;
        font.glyphs[3].codepoint = 0x20000;
        font.bitmaps.resize(10);
        const BuiltAsset asset{"f", "", font};
        QCOMPARE(asset.flashBytes(), std::uint64_t(4 * 2 + 6 + 3 * 8 + 10));
    }

    void characterFilesThatAreNoFiles_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("reason");
        QTest::newRow("@folder") << u"folder.png"_s << u"是文件夹"_s;
#ifdef Q_OS_UNIX
        QTest::newRow("@/dev/zero") << u"/dev/zero"_s << u"不是普通文件"_s;
        QTest::newRow("@pipe") << u"pipe.png"_s << u"不是普通文件"_s;
#endif
    }
    void characterFilesThatAreNoFiles() {
        QFETCH(QString, item);
        QFETCH(QString, reason);
        const std::string path =
            item.startsWith(u'/') ? item.toStdString() : at(item.toUtf8().constData()).string();
        const std::vector<std::string> items{"@" + path};
        try {
            fonts::characterSet(items);
            QFAIL("no error");
        } catch (const fonts::FontError& error) {
            QCOMPARE(error.fault(), fonts::FontFault::CharacterFileError);
            QVERIFY2(QString::fromUtf8(error.what()).contains(reason), error.what());
        }
    }

    // At most 20 characters listed, then the count; controls and bidi controls only by their
    // code points.
    void missingCharacterList_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("first");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two hanzi") << 2 << 0x4E00 << u"U+4E00（一）、U+4E01（丁）"_s;
        QTest::newRow("a bell and a right-to-left override") << 1 << 0x7 << u"U+0007"_s;
        QTest::newRow("right-to-left override") << 1 << 0x202E << u"U+202E"_s;
        QTest::newRow("space") << 1 << 0x20 << u"U+0020"_s;
    }
    void missingCharacterList() {
        QFETCH(int, count);
        QFETCH(int, first);
        QFETCH(QString, expected);
        std::vector<char32_t> missing;
        for (int i = 0; i < count; ++i) {
            missing.push_back(char32_t(first + i));
        }
        QCOMPARE(QString::fromStdString(fonts::characterList(missing)), expected);
    }
    void longMissingList() {
        std::vector<char32_t> missing;
        for (char32_t c = 0x10000; c < 0x10000 + 1000000; ++c) {
            missing.push_back(c);
        }
        const QString list = QString::fromStdString(fonts::characterList(missing));
        QCOMPARE(list.count(u"U+"_s), 20);
        QVERIFY2(list.endsWith(u"共 1000000 个"_s), qPrintable(list.right(40)));
    }

    // Every code point is 1,112,064 characters (surrogates left out), past the 16-bit glyph
    // count: refused before any font is looked for or any glyph drawn.
    void tooManyGlyphs() {
        fonts::FontJob job;
        job.font = "no such font";
        job.chars = {"U+0000-U+10FFFF"};
        const fonts::FontJobResult result = fonts::runFontJob(job);
        QVERIFY2(QString::fromStdString(result.failure).contains(u"共 1112064 个字符"_s),
                 result.failure.substr(0, 400).c_str());
    }

    // 300 × 300 one-pixel tiles are 90,000, past the 16-bit count: refused before any is cut.
    void tooManyTiles() {
        savePicture(at("big.png"), 300, 300);
        QString errors;
        const int code =
            runProgram({u"convert"_s, QString::fromStdString(at("big.png").string()), u"--tiles"_s,
                        u"1x1"_s, u"--bin"_s, QString::fromStdString(at("tiles.bin").string())},
                       errors);
        QCOMPARE(code, 1);
        QVERIFY2(errors.contains(u"65535"_s), qPrintable(errors));
        QVERIFY(!fs::exists(at("tiles.bin")));
    }

    // Frames counted from the file's blocks before any is decoded: past the 16-bit count, or
    // past 4 GiB at the output's size (5,000 × ⌈1024·1024·3/2⌉ = 7,864,320,000 bytes).
    void tooLargeAnimations_data() {
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("side");
        QTest::addColumn<QString>("reason");
        QTest::newRow("70,000 frames") << 70000 << 1 << u"65535"_s;
        QTest::newRow("5,000 frames at 1024 x 1024") << 5000 << 1024 << u"4 GiB"_s;
    }
    void tooLargeAnimations() {
        QFETCH(int, frames);
        QFETCH(int, side);
        QFETCH(QString, reason);
        writeGif(at("anim.gif"), frames, side, side);
        QString errors;
        const QString size = u"%1x%1"_s.arg(side);
        QCOMPARE(runProgram({u"convert"_s, QString::fromStdString(at("anim.gif").string()),
                             u"--all-frames"_s, u"--size"_s, size, u"--bin"_s,
                             QString::fromStdString(at("anim.bin").string())},
                            errors),
                 1);
        QVERIFY2(errors.contains(reason), qPrintable(errors));
        QVERIFY(!fs::exists(at("anim.bin")));

        const BuildOutcome outcome =
            build("[[animation]]\nname = \"a\"\npicture = \"anim.gif\"\nsize = [" +
                  std::to_string(side) + ", " + std::to_string(side) + "]\n");
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(QString::fromStdString(outcome.message).contains(side > 1 ? u"4 GiB"_s : reason),
                 outcome.message.c_str());
    }

    // Two 10 × 10 frames: 2 × (⌈10·10·3/2⌉ + 2 bytes of delay) + 3 offsets × 4 = 316 bytes, over
    // a budget of 300 before either frame is decoded.
    // With delta = true only the first frame is sure to be whole (150 + 2 × 2 + 12 = 166 bytes);
    // the second, the same as the first, is stored as a few bytes of change, so the animation
    // fits and must not be refused by the estimate.
    void animationBudgetBeforeConverting_data() {
        QTest::addColumn<QByteArray>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reason");
        QTest::newRow("whole frames") << QByteArray() << 1 << u"至少占 316 字节"_s;
        QTest::newRow("frames as changes fit") << QByteArray("delta = true\n") << 0 << QString();
    }
    void animationBudgetBeforeConverting() {
        QFETCH(QByteArray, options);
        QFETCH(int, exitCode);
        QFETCH(QString, reason);
        writeGif(at("two.gif"), 2, 10, 10);
        const BuildOutcome outcome = build("budget = 300\n[[animation]]\nname = \"a\"\n"
                                           "picture = \"two.gif\"\nsize = [10, 10]\n" +
                                           options.toStdString());
        QCOMPARE(outcome.exitCode, exitCode);
        QVERIFY2(QString::fromStdString(outcome.message).contains(reason), outcome.message.c_str());
        fs::remove_all(at("out"));
    }

    // Two pictures whose headers would define one array are refused before anything is written.
    void batchSharingAName() {
        savePicture(at("logo图.png"), 2, 2);
        savePicture(at("logo标.png"), 2, 2);
        QString errors;
        const int code = runProgram({u"convert"_s, text(at("logo图.png")), text(at("logo标.png")),
                                     u"--out-dir"_s, text(at("batch")), u"--header"_s},
                                    errors);
        QCOMPARE(code, 2);
        QVERIFY2(errors.contains(u"logo"_s), qPrintable(errors));
        QVERIFY(!fs::exists(at("batch")));
    }

    // Pictures named only in hanzi give headers with their own names and guards.
    void hanziNamesStayApart() {
        savePicture(at("图标.png"), 2, 2);
        savePicture(at("按钮.png"), 2, 2);
        for (const char* name : {"图标", "按钮"}) {
            QString errors;
            fs::path picture = at(name);
            fs::path header = at(name);
            QCOMPARE(runProgram({u"convert"_s, text(picture += ".png"), u"--header"_s,
                                 text(header += ".h")},
                                errors),
                     0);
        }
        std::ifstream first(at("图标.h"));
        std::ifstream second(at("按钮.h"));
        const std::string a((std::istreambuf_iterator<char>(first)), {});
        const std::string b((std::istreambuf_iterator<char>(second)), {});
        QVERIFY2(a.find("#ifndef RAVIK_LCD_U56FE_U6807_H") != std::string::npos, a.c_str());
        QVERIFY2(b.find("#ifndef RAVIK_LCD_U6309_U94AE_H") != std::string::npos, b.c_str());
    }
};

QTEST_GUILESS_MAIN(InputChecksTest)
#include "input_checks_test.moc"
