// `ravik-lcd build`: manifest faults as usage errors naming the file, line and key; a missing
// picture and an exceeded budget failing with nothing written; unchanged files left alone; the
// depfile; and the generated source compiled with the runtime as C99 under the sanitizers,
// unpacking and streaming every asset against `convert`'s and `font`'s output for the same options.

#include "app/build_command.h"
#include "app/command_line.h"
#include "test_tools.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using ravik::testing::readText;
using ravik::testing::writeText;

int run(const QString& program, const QStringList& arguments, QString* output = nullptr,
        const QString& folder = {}) {
    return ravik::testing::runProgram(program, arguments, output, folder);
}

// A picture made by ImageMagick: `arguments` end with the file written into `folder` (after a
// format such as "PNG32:" when there is one).
void magick(const fs::path& folder, QStringList arguments) {
    static const QRegularExpression format(QStringLiteral("^([A-Za-z0-9]{2,}:)?(.*)$"));
    const auto output = format.match(arguments.last());
    arguments.last() = output.captured(1) + QString::fromStdU16String(folder.generic_u16string()) +
                       QLatin1Char('/') + output.captured(2);
    const ravik::testing::ToolRun made =
        ravik::testing::runTool(QStringLiteral("/usr/bin/convert"), arguments);
    QVERIFY2(made.exitCode == 0, made.err.constData());
}

// A 2 × 2 PNG, enough for a manifest whose faults are in its text.
void smallPicture(const fs::path& path) {
    magick(path.parent_path(),
           {QStringLiteral("-size"), QStringLiteral("2x2"), QStringLiteral("xc:red"),
            QString::fromStdString(path.filename().string())});
}

constexpr const char* kSprite = "[[sprite]]\nname = \"icon\"\npicture = \"p.png\"\n";

// The sprite with more lines after its own three.
QString withSprite(const char* more) {
    return QString::fromUtf8(kSprite) + QString::fromUtf8(more);
}

} // namespace

class BuildTest : public QObject {
    Q_OBJECT

private slots:
    void manifestFaults_data();
    void manifestFaults();
    void nothingWrittenOnFailure_data();
    void nothingWrittenOnFailure();
    void budgetListsLargestFirst();
    void unchangedFilesKeepTheirTimes();
    void depfileEscapesForMake();
    void outputIsDeterministic();
    void generatedSourceMatchesConvert();
    void sheetMarginReported_data();
    void sheetMarginReported();
};

void BuildTest::manifestFaults_data() {
    QTest::addColumn<QString>("manifest");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("fragment");

    QTest::newRow("unknown key")
        << QStringLiteral(
               "[[frame]]\nname = \"splash\"\npicture = \"p.png\"\n\nfitt = \"contain\"\n")
        << 5 << QStringLiteral("未知的键“fitt”");
    QTest::newRow("unknown top-level key")
        << QStringLiteral("nmae = \"x\"\n") + QString::fromUtf8(kSprite) << 1
        << QStringLiteral("未知的键“nmae”");
    QTest::newRow("tiles on a frame")
        << QStringLiteral("[[frame]]\nname = \"f\"\npicture = \"p.png\"\ntiles = [8, 8]\n") << 4
        << QStringLiteral("[[frame]] 中有未知的键“tiles”");
    QTest::newRow("delta on a sprite")
        << withSprite("delta = true\n") << 4 << QStringLiteral("未知的键“delta”");
    QTest::newRow("flag given as text")
        << withSprite("mask = \"yes\"\n") << 4 << QStringLiteral("键“mask”的值“yes”无效");
    QTest::newRow("size as text") << withSprite("size = \"16x16\"\n") << 4
                                  << QStringLiteral("键“size”");
    QTest::newRow("size of zero") << withSprite("\nsize = [0, 5]\n") << 5
                                  << QStringLiteral("键“size”");
    QTest::newRow("size of three numbers")
        << withSprite("size = [4, 4, 4]\n") << 4 << QStringLiteral("键“size”");
    QTest::newRow("crop left of the picture")
        << withSprite("crop = [-1, 0, 4, 4]\n") << 4 << QStringLiteral("键“crop”");
    QTest::newRow("turn of 45 degrees")
        << withSprite("rotate = 45\n") << 4 << QStringLiteral("键“rotate”的值“45”");
    QTest::newRow("unknown fit") << withSprite("fit = \"fill\"\n") << 4
                                 << QStringLiteral(
                                        "“fill”无效，应为 original|contain|cover|stretch");
    QTest::newRow("unknown compression") << withSprite("compress = \"lz4\"\n") << 4
                                         << QStringLiteral("“lz4”无效，应为 none|rle|lz|auto");
    QTest::newRow("background of five digits")
        << withSprite("background = \"12345\"\n") << 4
        << QStringLiteral("键“background”的值“12345”无效，应为 RRGGBB 或 #RRGGBB");
    QTest::newRow("name not a C identifier")
        << QStringLiteral("[[sprite]]\nname = \"2icons\"\npicture = \"p.png\"\n") << 2
        << QStringLiteral("“2icons”不是合法的 C 标识符");
    QTest::newRow("name a C keyword")
        << QStringLiteral("[[sprite]]\nname = \"static\"\npicture = \"p.png\"\n") << 2
        << QStringLiteral("关键字");
    QTest::newRow("asset without a name") << QStringLiteral("[[sprite]]\npicture = \"p.png\"\n")
                                          << 1 << QStringLiteral("缺少键“name”");
    QTest::newRow("asset without a picture") << QStringLiteral("[[animation]]\nname = \"a\"\n") << 1
                                             << QStringLiteral("缺少键“picture”");
    QTest::newRow("two assets of one name")
        << withSprite("[[frame]]\nname = \"icon\"\npicture = \"p.png\"\n") << 4
        << QStringLiteral("素材名“icon”与第 1 行的素材“icon”冲突");
    QTest::newRow("a name another asset's array takes")
        << withSprite("[[frame]]\nname = \"icon_data\"\npicture = \"p.png\"\n") << 4
        << QStringLiteral("“icon_data”重复");
    QTest::newRow("budget in an unknown unit")
        << QStringLiteral("budget = \"256Q\"\n") + QString::fromUtf8(kSprite) << 1
        << QStringLiteral("键“budget”");
    QTest::newRow("frame not a table array")
        << QStringLiteral("frame = \"p.png\"\n") << 1 << QStringLiteral("[[frame]]");
    QTest::newRow("font size past the glyph table")
        << QStringLiteral("[[font]]\nname = \"f\"\nsize = 500\nchars = [\"ascii\"]\n") << 3
        << QStringLiteral("4 到 160 的像素数");
    QTest::newRow("coverage font with a background")
        << QStringLiteral("[[font]]\nname = \"f\"\nsize = 12\nchars = [\"ascii\"]\nalpha = "
                          "true\nbackground = \"000000\"\n")
        << 6 << QStringLiteral("background");
    QTest::newRow("bits a pixel for a picture font")
        << QStringLiteral("[[font]]\nname = \"f\"\nsize = 12\nchars = [\"ascii\"]\nbpp = 1\n") << 5
        << QStringLiteral("bpp 只用于 alpha = true");
    QTest::newRow("compression for a picture font")
        << QStringLiteral("[[font]]\nname = \"f\"\nsize = 12\ncompress = \"rle\"\n"
                          "chars = [\"ascii\"]\n")
        << 4 << QStringLiteral("compress 只用于 alpha = true");
    QTest::newRow("font without characters")
        << QStringLiteral("[[font]]\nname = \"f\"\nsize = 12\n") << 1
        << QStringLiteral("缺少键“chars”");
    QTest::newRow("TOML syntax") << withSprite("fit = = \"cover\"\n") << 4
                                 << QStringLiteral("TOML 语法错误");
    QTest::newRow("no asset") << QStringLiteral("name = \"x\"\n") << 1
                              << QStringLiteral("没有素材");
}

void BuildTest::manifestFaults() {
    QFETCH(QString, manifest);
    QFETCH(int, line);
    QFETCH(QString, fragment);
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    smallPicture(root / "p.png");
    writeText(root / "assets.toml", manifest.toStdString());

    const ravik::BuildOutcome outcome =
        ravik::buildAssets({root / "assets.toml", root / "out", root / "out" / "assets.d"});
    QCOMPARE(outcome.exitCode, ravik::kExitUsage);
    const QString message = QString::fromStdString(outcome.message);
    QVERIFY2(message.contains(QStringLiteral("assets.toml 第 %1 行：").arg(line)),
             qPrintable(message));
    QVERIFY2(message.contains(fragment), qPrintable(message));
    QVERIFY(!fs::exists(root / "out"));
}

void BuildTest::nothingWrittenOnFailure_data() {
    QTest::addColumn<QString>("manifest");
    QTest::addColumn<QString>("fragment");

    QTest::newRow("missing picture")
        << QStringLiteral("[[frame]]\nname = \"a\"\npicture = \"p.png\"\n"
                          "[[sprite]]\nname = \"b\"\npicture = \"art/gone.png\"\n")
        << QStringLiteral("素材“b”（第 4 行）的图片“");
    QTest::newRow("missing picture's path")
        << QStringLiteral("[[sprite]]\nname = \"b\"\npicture = \"art/gone.png\"\n")
        << QStringLiteral("art/gone.png”不存在");
    QTest::newRow("missing character file")
        << QStringLiteral("[[font]]\nname = \"f\"\nsize = 12\nchars = [\"@texts.txt\"]\n")
        << QStringLiteral("texts.txt”不存在");
    QTest::newRow("crop outside the picture")
        << QStringLiteral("[[sprite]]\nname = \"b\"\npicture = \"p.png\"\ncrop = [0, 0, 3, 3]\n")
        << QStringLiteral("不在图片");
}

// A fault found while converting: exit 1 naming it; no output is created, an old one is kept.
void BuildTest::nothingWrittenOnFailure() {
    QFETCH(QString, manifest);
    QFETCH(QString, fragment);
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    smallPicture(root / "p.png");
    writeText(root / "assets.toml", manifest.toStdString());
    writeText(root / "out" / "assets.c", "old");

    const ravik::BuildOutcome outcome =
        ravik::buildAssets({root / "assets.toml", root / "out", root / "out" / "assets.d"});
    QCOMPARE(outcome.exitCode, ravik::kExitFailure);
    const QString message = QString::fromStdString(outcome.message);
    QVERIFY2(message.contains(QDir::toNativeSeparators(fragment)), qPrintable(message));
    QCOMPARE(readText(root / "out" / "assets.c"), std::string("old"));
    QVERIFY(!fs::exists(root / "out" / "assets.h"));
    QVERIFY(!fs::exists(root / "out" / "assets.d"));
}

// Stored sizes worked by hand: a raw 4 × 2 picture packs into 12 bytes and two 32-bit offsets
// (8), 20 in all; a raw 2 × 2 one into 6 + 8 = 14; two 2 × 2 tiles with masks into 12 bytes of
// pixels, three offsets (12) and two masks of a byte a row (4), 28. 62 altogether.
void BuildTest::budgetListsLargestFirst() {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    magick(root, {QStringLiteral("-size"), QStringLiteral("4x2"), QStringLiteral("xc:red"),
                  QStringLiteral("wide.png")});
    smallPicture(root / "p.png");
    const std::string assets = "[[sprite]]\nname = \"wide\"\npicture = \"wide.png\"\n"
                               "size = [4, 2]\n"
                               "[[sprite]]\nname = \"small\"\npicture = \"p.png\"\n"
                               "size = [2, 2]\n"
                               "[[sprite]]\nname = \"tiles\"\npicture = \"wide.png\"\n"
                               "tiles = [2, 2]\nmask = true\n";
    writeText(root / "assets.toml", "budget = 61\n" + assets);
    ravik::BuildOutcome outcome = ravik::buildAssets({root / "assets.toml", root / "out", {}});
    QCOMPARE(outcome.exitCode, ravik::kExitFailure);
    const std::string& message = outcome.message;
    QVERIFY2(message.find("62 字节") != std::string::npos, message.c_str());
    const std::size_t tiles = message.find("tiles  28 字节");
    const std::size_t wide = message.find("wide  20 字节");
    const std::size_t small = message.find("small  14 字节");
    QVERIFY2(tiles != std::string::npos && wide != std::string::npos && small != std::string::npos,
             message.c_str());
    QVERIFY(tiles < wide && wide < small);
    QVERIFY(!fs::exists(root / "out"));

    // Exactly at the budget is within it.
    writeText(root / "assets.toml", "budget = 62\n" + assets);
    outcome = ravik::buildAssets({root / "assets.toml", root / "out", {}});
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY(fs::exists(root / "out" / "assets.c"));
}

void BuildTest::unchangedFilesKeepTheirTimes() {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    smallPicture(root / "p.png");
    writeText(root / "assets.toml", kSprite);
    const ravik::BuildRequest request{root / "assets.toml", root / "out", root / "out" / "a.d"};
    QCOMPARE(ravik::buildAssets(request).exitCode, 0);

    const fs::path outputs[] = {root / "out" / "assets.h", root / "out" / "assets.c",
                                root / "out" / "a.d"};
    // Whole seconds, which every file system keeps as they are.
    const auto past = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now() -
                                                               std::chrono::hours(2));
    for (const fs::path& output : outputs) {
        fs::last_write_time(output, past);
    }
    const ravik::BuildOutcome again = ravik::buildAssets(request);
    QCOMPARE(again.exitCode, 0);
    QVERIFY(again.written.empty());
    for (const fs::path& output : outputs) {
        QVERIFY2(fs::last_write_time(output) == past, output.string().c_str());
    }

    // An attribute changes the definitions only: the header, and what includes it, stay as
    // they are.
    writeText(root / "assets.toml", std::string("attribute = \"PROGMEM\"\n") + kSprite);
    const ravik::BuildOutcome changed = ravik::buildAssets(request);
    QCOMPARE(changed.exitCode, 0);
    QCOMPARE(changed.written, std::vector<fs::path>{root / "out" / "assets.c"});
    QVERIFY(fs::last_write_time(root / "out" / "assets.h") == past);
    QVERIFY(fs::last_write_time(root / "out" / "assets.c") != past);
    QVERIFY(readText(root / "out" / "assets.c").find("] PROGMEM = {") != std::string::npos);

    // A picture redrawn with its time set back is still noticed: its bytes count, not its time.
    const std::string before = readText(root / "out" / "assets.c");
    const auto pictureTime = fs::last_write_time(root / "p.png");
    magick(root, {QStringLiteral("-size"), QStringLiteral("2x2"), QStringLiteral("xc:blue"),
                  QStringLiteral("p.png")});
    fs::last_write_time(root / "p.png", pictureTime);
    QCOMPARE(ravik::buildAssets(request).exitCode, 0);
    QVERIFY(readText(root / "out" / "assets.c") != before);
}

void BuildTest::depfileEscapesForMake() {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const fs::path art = root / "my art";
    fs::create_directories(art);
    smallPicture(art / "a b.png");
    smallPicture(art / "n#1.png");
    smallPicture(art / "p$.png");
    writeText(art / "words.txt", "你好");
    writeText(art / "assets.toml", "name = \"ui\"\n"
                                   "[[sprite]]\nname = \"a\"\npicture = \"a b.png\"\n"
                                   "[[frame]]\nname = \"b\"\npicture = \"n#1.png\"\n"
                                   "[[sprite]]\nname = \"c\"\npicture = \"p$.png\"\n"
                                   "[[sprite]]\nname = \"d\"\npicture = \"a b.png\"\n"
                                   "[[font]]\nname = \"f\"\nsize = 12\nchars = [\"@words.txt\"]\n");
    QCOMPARE(ravik::buildAssets({art / "assets.toml", root / "out dir", root / "ui.d"}).exitCode,
             0);
    const std::string r = root.generic_string();
    const std::string expected = r + "/out\\ dir/ui.c " + r + "/out\\ dir/ui.h: \\\n  " + r +
                                 "/my\\ art/assets.toml \\\n  " + r + "/my\\ art/a\\ b.png \\\n  " +
                                 r + "/my\\ art/n\\#1.png \\\n  " + r + "/my\\ art/p$$.png \\\n  " +
                                 r + "/my\\ art/words.txt\n";
    QCOMPARE(readText(root / "ui.d"), expected);
}

void BuildTest::outputIsDeterministic() {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    magick(root, {QStringLiteral("-size"), QStringLiteral("40x20"), QStringLiteral("gradient:"),
                  QStringLiteral("g.png")});
    writeText(root / "assets.toml",
              "[[frame]]\nname = \"g\"\npicture = \"g.png\"\nfit = \"cover\"\ncompress = \"rle\"\n"
              "[[sprite]]\nname = \"t\"\npicture = \"g.png\"\ntiles = [10, 10]\nmask = true\n"
              "[[font]]\nname = \"f\"\nsize = 12\nchars = [\"ascii\"]\nalpha = true\n");
    QCOMPARE(ravik::buildAssets({root / "assets.toml", root / "one", {}}).exitCode, 0);
    QCOMPARE(ravik::buildAssets({root / "assets.toml", root / "two", {}}).exitCode, 0);
    for (const char* file : {"assets.h", "assets.c"}) {
        const std::string first = readText(root / "one" / file);
        QVERIFY(!first.empty());
        QVERIFY(first == readText(root / "two" / file));
    }
}

// Every kind of asset through the built program, against `convert` and `font` with the same
// options: the C program unpacks and streams each picture and compares it with convert's .bin.
void BuildTest::generatedSourceMatchesConvert() {
    if (QStringLiteral(RAVIK_C_COMPILER).isEmpty()) {
        QSKIP("no C compiler");
    }
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const QString folder = dir.path();
    const QString program = QStringLiteral(RAVIK_EXECUTABLE);
    // A photo-like frame, an icon sheet with transparent corners, a two-frame GIF (delays of 25
    // and 50 hundredths) of which the second changes a square only.
    fs::copy_file(RAVIK_SAMPLES_DIR "/test-card.png", root / "card.png");
    magick(root,
           {QStringLiteral("-size"), QStringLiteral("48x32"), QStringLiteral("xc:none"),
            QStringLiteral("-fill"), QStringLiteral("#3080F0"), QStringLiteral("-draw"),
            QStringLiteral("circle 8,8 8,1"), QStringLiteral("-fill"), QStringLiteral("#F04010"),
            QStringLiteral("-draw"), QStringLiteral("rectangle 18,2 29,13"),
            QStringLiteral("-fill"), QStringLiteral("#20C040C0"), QStringLiteral("-draw"),
            QStringLiteral("rectangle 32,16 47,31"), QStringLiteral("PNG32:icons.png")});
    magick(root, {QStringLiteral("-delay"),
                  QStringLiteral("25"),
                  QStringLiteral("-size"),
                  QStringLiteral("40x30"),
                  QStringLiteral("gradient:navy-gold"),
                  QStringLiteral("-delay"),
                  QStringLiteral("50"),
                  QStringLiteral("("),
                  QStringLiteral("-clone"),
                  QStringLiteral("0"),
                  QStringLiteral("-fill"),
                  QStringLiteral("red"),
                  QStringLiteral("-draw"),
                  QStringLiteral("rectangle 5,5 14,12"),
                  QStringLiteral("-set"),
                  QStringLiteral("delay"),
                  QStringLiteral("50"),
                  QStringLiteral(")"),
                  QStringLiteral("-loop"),
                  QStringLiteral("0"),
                  QStringLiteral("spin.gif")});
    writeText(root / "words.txt", "温度设定");
    writeText(root / "assets.toml",
              "name = \"ui_assets\"\n"
              "[[frame]]\nname = \"splash\"\npicture = \"card.png\"\nfit = \"contain\"\n"
              "dither = \"ordered\"\ncompress = \"rle\"\n"
              "[[frame]]\nname = \"splash_lz\"\npicture = \"card.png\"\nfit = \"contain\"\n"
              "dither = \"ordered\"\ncompress = \"lz\"\n"
              "[[sprite]]\nname = \"icons\"\npicture = \"icons.png\"\ntiles = [16, 16]\n"
              "mask = true\nbackground = \"102030\"\ncompress = \"lz\"\n"
              "[[sprite]]\nname = \"turned\"\npicture = \"icons.png\"\ncrop = [16, 0, 16, 16]\n"
              "rotate = 90\nflip = \"horizontal\"\nkey = \"F04010\"\nmask = true\n"
              // Naming no size, the animation is its frames' own 40 × 30.
              "[[animation]]\nname = \"spin\"\npicture = \"spin.gif\"\n"
              "compress = \"auto\"\ndelta = true\n"
              "[[font]]\nname = \"text16\"\nsize = 16\nchars = [\"ascii\", \"@words.txt\"]\n"
              "alpha = true\nbpp = 2\ncompress = \"auto\"\n");
    QString output;
    QCOMPARE(run(program,
                 {QStringLiteral("build"), QStringLiteral("assets.toml"),
                  QStringLiteral("--out-dir"), QStringLiteral("gen")},
                 &output, folder),
             0);

    const QStringList convertRuns[] = {
        {QStringLiteral("card.png"), QStringLiteral("--fit"), QStringLiteral("contain"),
         QStringLiteral("--dither"), QStringLiteral("ordered"), QStringLiteral("--bin"),
         QStringLiteral("splash.bin")},
        {QStringLiteral("icons.png"), QStringLiteral("--tiles"), QStringLiteral("16x16"),
         QStringLiteral("--background"), QStringLiteral("102030"), QStringLiteral("--bin"),
         QStringLiteral("icons.bin"), QStringLiteral("--mask-bin"), QStringLiteral("icons.mask")},
        {QStringLiteral("icons.png"), QStringLiteral("--crop"), QStringLiteral("16,0,16,16"),
         QStringLiteral("--rotate"), QStringLiteral("90"), QStringLiteral("--flip"),
         QStringLiteral("horizontal"), QStringLiteral("--key"), QStringLiteral("F04010"),
         QStringLiteral("--bin"), QStringLiteral("turned.bin"), QStringLiteral("--mask-bin"),
         QStringLiteral("turned.mask")},
        {QStringLiteral("spin.gif"), QStringLiteral("--all-frames"), QStringLiteral("--size"),
         QStringLiteral("40x30"), QStringLiteral("--bin"), QStringLiteral("spin.bin")},
    };
    for (const QStringList& arguments : convertRuns) {
        QCOMPARE(run(program, QStringList{QStringLiteral("convert")} + arguments, &output, folder),
                 0);
    }
    QCOMPARE(run(program,
                 {QStringLiteral("font"), QStringLiteral("--size"), QStringLiteral("16"),
                  QStringLiteral("--chars"), QStringLiteral("ascii"), QStringLiteral("--chars"),
                  QStringLiteral("@words.txt"), QStringLiteral("--alpha"), QStringLiteral("--bpp"),
                  QStringLiteral("2"), QStringLiteral("--compress"), QStringLiteral("auto"),
                  QStringLiteral("--name"), QStringLiteral("reference16"),
                  QStringLiteral("--header"), QStringLiteral("reference16.h")},
                 &output, folder),
             0);

    writeText(root / "check.c", R"(#include "ui_assets.h"
#include "reference16.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

static unsigned char* readAll(const char* path, long* size) {
    FILE* file = fopen(path, "rb");
    unsigned char* bytes;
    if (!file) return NULL;
    fseek(file, 0, SEEK_END);
    *size = ftell(file);
    fseek(file, 0, SEEK_SET);
    bytes = (unsigned char*)malloc((size_t)*size + 1);
    if (fread(bytes, 1, (size_t)*size, file) != (size_t)*size) *size = -1;
    fclose(file);
    return bytes;
}

struct Sink { const unsigned char* expected; unsigned long at; unsigned long size; int bad; };

static void collect(const uint8_t* bytes, uint16_t n, void* context) {
    struct Sink* sink = (struct Sink*)context;
    if (n == 0 || n > RAVIK_LCD_STREAM_PIECE || sink->at + n > sink->size ||
        memcmp(sink->expected + sink->at, bytes, n) != 0) sink->bad = 1;
    sink->at += n;
}

static void fail(const char* name, const char* what, unsigned index) {
    printf("%s: %s (picture %u)\n", name, what, index);
    ++failures;
}

static void check(const ravik_lcd_asset* asset, const char* name, const char* bin,
                  const char* mask) {
    long size = 0;
    unsigned char* expected = readAll(bin, &size);
    uint8_t* out = (uint8_t*)malloc(asset->size);
    uint16_t i;
    if (!expected || size != (long)(asset->size * asset->count)) {
        fail(name, "size differs from convert's .bin", 0);
        free(expected);
        free(out);
        return;
    }
    memset(out, 0xA5, asset->size);
    for (i = 0; i < asset->count; ++i) {
        const unsigned char* picture = expected + (unsigned long)i * asset->size;
        ravik_lcd_unpack(asset, i, out);
        if (memcmp(out, picture, asset->size) != 0) fail(name, "unpacked bytes differ", i);
        if (!asset->delta || i == 0) {
            struct Sink sink;
            sink.expected = picture;
            sink.at = 0;
            sink.size = asset->size;
            sink.bad = 0;
            ravik_lcd_stream(asset, i, collect, &sink);
            if (sink.bad || sink.at != asset->size) fail(name, "streamed bytes differ", i);
        }
    }
    if (mask) {
        long maskSize = 0;
        unsigned char* masks = readAll(mask, &maskSize);
        if (!masks || !asset->mask ||
            maskSize != (long)(RAVIK_LCD_MASK_SIZE(asset->width, asset->height) * asset->count) ||
            memcmp(masks, asset->mask, (size_t)maskSize) != 0) fail(name, "mask differs", 0);
        free(masks);
    } else if (asset->mask) {
        fail(name, "a mask nobody asked for", 0);
    }
    free(expected);
    free(out);
}

int main(void) {
    static uint8_t built[RAVIK_LCD_FRAME_SIZE], reference[RAVIK_LCD_FRAME_SIZE];
    check(&splash, "splash", "splash.bin", NULL);
    check(&splash_lz, "splash_lz", "splash.bin", NULL);
    check(&icons, "icons", "icons.bin", "icons.mask");
    check(&turned, "turned", "turned.bin", "turned.mask");
    check(&spin, "spin", "spin.bin", NULL);
    if (splash.count != 1 || icons.count != 6 || turned.count != 1 || spin.count != 2)
        fail("assets", "picture counts", 0);
    if (!spin.delta || !spin.delays_ms || spin.delays_ms[0] != 250 || spin.delays_ms[1] != 500)
        fail("spin", "delays", 0);
    if (splash.compression != RAVIK_LCD_RLE || splash.stored >= splash.size)
        fail("splash", "not compressed", 0);
    if (splash_lz.compression != RAVIK_LCD_LZ || splash_lz.stored >= splash.stored)
        fail("splash_lz", "not copying, or no smaller than runs", 0);
    if (icons.compression != RAVIK_LCD_LZ) fail("icons", "not copying", 0);
    if (spin.compression != RAVIK_LCD_RLE && spin.compression != RAVIK_LCD_LZ)
        fail("spin", "auto chose neither form", 0);

    if (text16.count != reference16.count || text16.line_height != reference16.line_height ||
        text16.ascent != reference16.ascent || text16.bpp != 2 || reference16.bpp != 2 ||
        text16.bitmaps_size != reference16.bitmaps_size ||
        text16.record_size != reference16.record_size ||
        text16.metrics_count != reference16.metrics_count ||
        text16.group_count != reference16.group_count ||
        memcmp(text16.groups, reference16.groups, text16.group_count * 8u) != 0 ||
        memcmp(text16.glyphs, reference16.glyphs, text16.count * text16.record_size) != 0 ||
        memcmp(text16.metrics, reference16.metrics,
               text16.metrics_count * RAVIK_LCD_METRICS_SIZE) != 0 ||
        memcmp(text16.bitmaps, reference16.bitmaps, text16.bitmaps_size) != 0)
        fail("text16", "font differs from font --header", 0);
    memset(built, 0, sizeof built);
    memset(reference, 0, sizeof reference);
    ravik_lcd_text(built, 1, 1, "Set 22 \xE6\xB8\xA9\xE5\xBA\xA6\xE8\xAE\xBE\xE5\xAE\x9A", &text16, 0xFFF);
    ravik_lcd_text(reference, 1, 1, "Set 22 \xE6\xB8\xA9\xE5\xBA\xA6\xE8\xAE\xBE\xE5\xAE\x9A", &reference16, 0xFFF);
    if (memcmp(built, reference, sizeof built) != 0) fail("text16", "drawn text differs", 0);
    {
        static const uint8_t blank[RAVIK_LCD_FRAME_SIZE];
        if (memcmp(built, blank, sizeof built) == 0) fail("text16", "nothing drawn", 0);
    }
    if (failures == 0) printf("ok\n");
    return failures == 0 ? 0 : 1;
}
)");
    const int compiled = run(
        QStringLiteral(RAVIK_C_COMPILER),
        {QStringLiteral("-std=c99"), QStringLiteral("-Wall"), QStringLiteral("-Wextra"),
         QStringLiteral("-Wpedantic"), QStringLiteral("-Werror"),
         QStringLiteral("-fsanitize=address,undefined"),
         QStringLiteral("-fno-sanitize-recover=all"), QStringLiteral("-I"), QStringLiteral("gen"),
         QStringLiteral("-I"), QStringLiteral(RAVIK_RUNTIME_DIR), QStringLiteral("check.c"),
         QStringLiteral("gen/ui_assets.c"), QStringLiteral(RAVIK_RUNTIME_DIR "/ravik_lcd.c"),
         QStringLiteral("-o"), QStringLiteral("check")},
        &output, folder);
    QVERIFY2(compiled == 0, qPrintable(output));
    const int code = run(folder + QStringLiteral("/check"), {}, &output, folder);
    QVERIFY2(code == 0, qPrintable(output));
    QCOMPARE(output, QStringLiteral("ok\n"));
}

// A sheet whose tiles leave a margin is reported on standard error as `convert --tiles` reports
// it, naming the manifest, the asset and its line; a sheet cut whole says nothing. A 64 × 16
// sheet in 15 × 15 tiles: 4 columns (60 pixels, 4 left over) and 1 row (1 left over).
void BuildTest::sheetMarginReported_data() {
    QTest::addColumn<QString>("manifest");
    QTest::addColumn<QStringList>("said"); // empty: nothing on standard error

    QTest::newRow("tiles leaving a margin")
        << QStringLiteral("[[sprite]]\nname = \"icons\"\npicture = \"sheet.png\"\n"
                          "tiles = [15, 15]\n")
        << QStringList{QStringLiteral("assets.toml：素材“icons”（第 1 行）："),
                       QStringLiteral("切成 4 块 15 × 15 的图块（4 列 × 1 行），右边余下 4 像素、"
                                      "下边余下 1 像素未用")};
    QTest::newRow("the second sheet's margin")
        << QStringLiteral("[[sprite]]\nname = \"whole\"\npicture = \"sheet.png\"\n"
                          "tiles = [16, 16]\n"
                          "[[sprite]]\nname = \"cut\"\npicture = \"sheet.png\"\n"
                          "tiles = [20, 8]\n")
        << QStringList{QStringLiteral("素材“cut”（第 5 行）"),
                       QStringLiteral("切成 6 块 20 × 8 的图块（3 列 × 2 行），右边余下 4 像素、"
                                      "下边余下 0 像素未用")};
    QTest::newRow("tiles cutting the sheet whole")
        << QStringLiteral("[[sprite]]\nname = \"icons\"\npicture = \"sheet.png\"\n"
                          "tiles = [16, 16]\n")
        << QStringList();
}

void BuildTest::sheetMarginReported() {
    QFETCH(QString, manifest);
    QFETCH(QStringList, said);
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    magick(root, {QStringLiteral("-size"), QStringLiteral("64x16"), QStringLiteral("xc:teal"),
                  QStringLiteral("sheet.png")});
    writeText(root / "assets.toml", manifest.toStdString());
    QString output;
    QCOMPARE(run(QStringLiteral(RAVIK_EXECUTABLE),
                 {QStringLiteral("build"), QStringLiteral("assets.toml"),
                  QStringLiteral("--out-dir"), QStringLiteral("gen")},
                 &output, dir.path()),
             0);
    if (said.isEmpty()) {
        QCOMPARE(output, QString());
    }
    for (const QString& part : said) {
        QVERIFY2(output.contains(part), qPrintable(output));
    }
    QVERIFY(fs::exists(root / "gen" / "assets.c"));
}

QTEST_GUILESS_MAIN(BuildTest)
#include "build_test.moc"
