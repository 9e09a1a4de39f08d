// The values options take, read once for the command line and the build manifest: each kind's
// bounds against values worked out by hand, and one message for a bad value, whether it is given
// to an option or to a manifest's key.

#include "app/manifest.h"
#include "app/option_values.h"
#include "command_line_tests.h"

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

// A manifest with one asset of the kind and the key's TOML value on its third line.
QString manifestWith(const QString& table, const QString& key, const QString& value) {
    QString asset = u"picture = \"p.png\"\n"_s;
    if (table == u"font"_s) {
        asset = key == u"size"_s ? u"chars = [\"ab\"]\n"_s : u"size = 12\nchars = [\"ab\"]\n"_s;
    }
    const QString line = key + u" = "_s + value + u'\n';
    return u"[["_s + table + u"]]\nname = \"a\"\n"_s + line + asset;
}

} // namespace

class OptionValuesTest : public QObject, Scratch {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(makeScratch()); }

    // Each kind's edges: the last value in, the first out, and the forms users write.
    void kindsReadTheirValues_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // the value read, spelt out; empty: refused
        QTest::newRow("colour with #, mixed case") << u"colour"_s << u"#ff00Fa"_s << u"FF00FA"_s;
        QTest::newRow("colour of five digits") << u"colour"_s << u"FF00F"_s << QString();
        QTest::newRow("colour with a sign") << u"colour"_s << u"+F00FF"_s << QString();
        QTest::newRow("largest side") << u"size"_s << u"1024X1"_s << u"1024x1"_s;
        QTest::newRow("side past the largest") << u"size"_s << u"1025x1"_s << QString();
        QTest::newRow("side of zero") << u"size"_s << u"0x5"_s << QString();
        QTest::newRow("crop at the origin") << u"crop"_s << u"0,0,1,1"_s << u"0,0,1,1"_s;
        QTest::newRow("crop past what an int holds")
            << u"crop"_s << u"2147483647,0,1,1"_s << QString();
        QTest::newRow("crop of no height") << u"crop"_s << u"0,0,1,0"_s << QString();
        QTest::newRow("three-quarter turn") << u"turn"_s << u"270"_s << u"3"_s;
        QTest::newRow("full turn") << u"turn"_s << u"360"_s << QString();
        QTest::newRow("turn back") << u"turn"_s << u"-90"_s << QString();
        QTest::newRow("smallest font") << u"font size"_s << u"4"_s << u"4"_s;
        QTest::newRow("font past the glyph table") << u"font size"_s << u"161"_s << QString();
        QTest::newRow("largest preview scale") << u"preview scale"_s << u"16"_s << u"16"_s;
        QTest::newRow("no threads") << u"jobs"_s << u"0"_s << QString();
        QTest::newRow("budget in kibibytes with B") << u"budget"_s << u"256kB"_s << u"262144"_s;
        QTest::newRow("budget in mebibytes") << u"budget"_s << u"1M"_s << u"1048576"_s;
        QTest::newRow("budget past 64 bits") << u"budget"_s << u"18014398509481984M"_s << QString();
        QTest::newRow("budget with a bare B") << u"budget"_s << u"12b"_s << QString();
        QTest::newRow("line height of one row") << u"line height"_s << u"1"_s << u"1"_s;
        QTest::newRow("tallest line height") << u"line height"_s << u"255"_s << u"255"_s;
        QTest::newRow("line height of zero") << u"line height"_s << u"0"_s << QString();
        QTest::newRow("line height past a byte") << u"line height"_s << u"256"_s << QString();
        QTest::newRow("fallback family") << u"fallback"_s << u"DejaVu Sans"_s << u"DejaVu Sans|0"_s;
        QTest::newRow("fallback face of a collection")
            << u"fallback"_s << u"fonts/NotoSansCJK-Regular.ttc:2"_s
            << u"fonts/NotoSansCJK-Regular.ttc|2"_s;
        QTest::newRow("fallback on a Windows drive")
            << u"fallback"_s << u"C:\\Fonts\\simsun.ttc"_s << u"C:\\Fonts\\simsun.ttc|0"_s;
        QTest::newRow("fallback on a Windows drive with a face")
            << u"fallback"_s << u"C:\\Fonts\\simsun.ttc:1"_s << u"C:\\Fonts\\simsun.ttc|1"_s;
        QTest::newRow("fallback colon without digits")
            << u"fallback"_s << u"odd:name"_s << u"odd:name|0"_s;
        QTest::newRow("empty fallback") << u"fallback"_s << QString() << QString();
        QTest::newRow("fallback face alone") << u"fallback"_s << u":1"_s << QString();
        QTest::newRow("fallback face past an int")
            << u"fallback"_s << u"a.ttc:2147483648"_s << QString();
    }
    void kindsReadTheirValues() {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QString, read);
        const std::string given = text.toStdString();
        const auto spelt = [&](const auto& valueKind, auto show) -> QString {
            const auto value = valueKind.read(given);
            return value ? QString::fromStdString(show(*value)) : QString();
        };
        const auto decimal = [](auto value) {
            return std::to_string(value);
        };
        QString got;
        if (kind == u"colour"_s) {
            got = spelt(kColorValue, [](ColorValue c) { return hexColor(c); });
        } else if (kind == u"size"_s) {
            got = spelt(kOutputSize, [](Size s) {
                return std::to_string(s.width) + "x" + std::to_string(s.height);
            });
        } else if (kind == u"crop"_s) {
            got = spelt(kCropValue, [](Rect r) {
                return std::to_string(r.x) + "," + std::to_string(r.y) + "," +
                       std::to_string(r.width) + "," + std::to_string(r.height);
            });
        } else if (kind == u"turn"_s) {
            got = spelt(kTurnValue, [](Rotation r) { return std::to_string(int(r)); });
        } else if (kind == u"font size"_s) {
            got = spelt(kFontSizeValue, decimal);
        } else if (kind == u"preview scale"_s) {
            got = spelt(kPreviewScaleValue, decimal);
        } else if (kind == u"jobs"_s) {
            got = spelt(kJobsValue, decimal);
        } else if (kind == u"budget"_s) {
            got = spelt(kBudgetValue, decimal);
        } else if (kind == u"line height"_s) {
            got = spelt(kLineHeightValue, decimal);
        } else if (kind == u"fallback"_s) {
            got = spelt(kFallbackValue, [](const fonts::FontName& font) {
                return font.font + "|" + std::to_string(font.face);
            });
        }
        QCOMPARE(got, read);
    }

    // A bad value gets one message, naming the option on the command line and the key, with the
    // file and line, in a manifest. Sizes and crops are TOML arrays in a manifest ([0, 5] for
    // 0x5): their message keeps the command line's rule.
    void oneMessageOnTheCommandLineAndInAManifest_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value"); // in the manifest, as TOML
        QTest::addColumn<bool>("array");    // the manifest's value is an array
        QTest::addColumn<QString>("message");
        // The option given the value on the command line and the key in the manifest; the
        // message's end: what the value should be, or for an array the rule it breaks.
        const auto row = [](const char* name, const QString& table, const QString& key,
                            const QString& given, const QString& toml, const QString& expected) {
            QStringList arguments{u"convert"_s, u"@picture"_s, u"--bin"_s, u"o.bin"_s};
            if (table == u"font"_s) {
                arguments = {u"font"_s, u"--chars"_s, u"ab"_s, u"--header"_s, u"o.h"_s};
                arguments += key == u"size"_s ? QStringList() : QStringList{u"--size"_s, u"12"_s};
            }
            const bool array = toml.startsWith(u'[');
            QTest::newRow(name) << arguments + QStringList{u"--"_s + key + u'=' + given} << table
                                << key << toml << array
                                << (array ? expected
                                          : u"的值“%1”无效，应为 %2"_s.arg(given, expected));
        };
        const QString colour = u"RRGGBB 或 #RRGGBB，例如 FF00FF"_s;
        const QString sides = u"宽和高都是 1 到 1024 的整数"_s;
        row("background", u"sprite"_s, u"background"_s, u"12345"_s, u"\"12345\""_s, colour);
        row("key colour", u"sprite"_s, u"key"_s, u"12345G"_s, u"\"12345G\""_s, colour);
        row("font colour", u"font"_s, u"color"_s, u"12345G"_s, u"\"12345G\""_s, colour);
        row("fit", u"sprite"_s, u"fit"_s, u"fill"_s, u"\"fill\""_s,
            u"original|contain|cover|stretch"_s);
        row("dither", u"sprite"_s, u"dither"_s, u"fs"_s, u"\"fs\""_s,
            u"none|ordered|floyd-steinberg"_s);
        row("flip", u"sprite"_s, u"flip"_s, u"both"_s, u"\"both\""_s,
            u"none|horizontal|vertical"_s);
        row("turn", u"sprite"_s, u"rotate"_s, u"45"_s, u"45"_s, u"0|90|180|270（顺时针的度数）"_s);
        row("font size", u"font"_s, u"size"_s, u"500"_s, u"500"_s, u"4 到 160 的像素数"_s);
        row("face", u"font"_s, u"face"_s, u"-1"_s, u"-1"_s, u"0 或更大的整数"_s);
        row("hinting", u"font"_s, u"hinting"_s, u"strong"_s, u"\"strong\""_s,
            u"light|full|none|auto"_s);
        row("bits a pixel", u"font"_s, u"bpp"_s, u"3"_s, u"3"_s, u"1|2|4（每像素位数）"_s);
        row("glyph compression", u"font"_s, u"compress"_s, u"lz"_s, u"\"lz\""_s,
            u"none|rle|auto"_s);
        row("size", u"sprite"_s, u"size"_s, u"0x5"_s, u"[0, 5]"_s, sides);
        row("tiles", u"sprite"_s, u"tiles"_s, u"0x8"_s, u"[0, 8]"_s, sides);
        row("crop", u"sprite"_s, u"crop"_s, u"0,0,0,4"_s, u"[0, 0, 0, 4]"_s,
            u"（X、Y 为不小于 0 的整数，宽、高为正整数）"_s);
    }
    void oneMessageOnTheCommandLineAndInAManifest() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, table);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(bool, array);
        QFETCH(QString, message);
        QDir::setCurrent(dir.path());
        arguments.replaceInStrings(u"@picture"_s, picture);
        const Run run = runProgram(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(array ? message : u"--"_s + key + u' ' + message),
                 qPrintable(run.err));

        const ManifestReading reading = parseManifest(manifestWith(table, key, value).toStdString(),
                                                      pathFromUtf8("assets.toml"));
        const QString error = QString::fromStdString(reading.error);
        const QString where = u"assets.toml 第 3 行：键“"_s + key + u'”';
        QVERIFY2(error.contains(array ? where + u"的值“["_s : where + message), qPrintable(error));
        QVERIFY2(error.contains(message), qPrintable(error));
    }

    // A manifest's [[font]] takes the font options by the command line's names (line_height for
    // --line-height); fallback files are found from the manifest's folder and counted among the
    // asset's files, families are left to fontconfig.
    void manifestFontKeys_data() {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("read"); // the job's choices spelt out, or the message
        QTest::newRow("auto hinting") << u"hinting = \"auto\""_s << u"hinting auto"_s;
        QTest::newRow("line height") << u"line_height = 20"_s << u"line 20"_s;
        QTest::newRow("fallback family and collection face")
            << u"fallback = [\"DejaVu Sans\", \"fonts/cjk.ttc:2\"]"_s
            << u"fallback DejaVu Sans|0 fallback work/fonts/cjk.ttc|2 file work/fonts/cjk.ttc"_s;
        QTest::newRow("line height of zero")
            << u"line_height = 0"_s << u"键“line_height”的值“0”无效，应为 1 到 255 的像素行数"_s;
        QTest::newRow("line height as text") << u"line_height = \"20\""_s << u"line_height"_s;
        QTest::newRow("fallback not an array")
            << u"fallback = \"DejaVu Sans\""_s << u"键“fallback”"_s;
        QTest::newRow("no fallback in the array") << u"fallback = []"_s << u"键“fallback”"_s;
        QTest::newRow("empty fallback name")
            << u"fallback = [\"\"]"_s << u"键“fallback”的值“”无效"_s;
    }
    void manifestFontKeys() {
        QFETCH(QString, lines);
        QFETCH(QString, read);
        const ManifestReading reading = parseManifest(
            (u"[[font]]\nname = \"f\"\nsize = 12\nchars = [\"ab\"]\n"_s + lines + u'\n')
                .toStdString(),
            pathFromUtf8("work/assets.toml"));
        QString got = QString::fromStdString(reading.error);
        if (reading.error.empty()) {
            const auto& font = std::get<FontAsset>(reading.manifest.assets.front());
            if (lines.startsWith(u"hinting"_s)) {
                got = font.job.hinting == fonts::Hinting::Auto ? u"hinting auto"_s
                                                               : u"hinting other"_s;
            } else if (lines.startsWith(u"line_height"_s)) {
                got = u"line %1"_s.arg(font.job.lineHeight);
            }
            for (const fonts::FontName& fallback : font.job.fallbacks) {
                got += u"fallback %1|%2 "_s
                           .arg(QDir::fromNativeSeparators(QString::fromStdString(fallback.font)))
                           .arg(fallback.face);
            }
            for (const std::filesystem::path& file : font.files) {
                got += u"file "_s + QString::fromStdString(file.generic_string());
            }
        }
        QVERIFY2(got.contains(read), qPrintable(got));
    }

    // A value echoed in a message is cut short and shows what would not print as a code point,
    // whichever option or key it was given to.
    void echoedValuesAreShownSafely_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a long value") << QString(500, u'x') << QString(60, u'x') + u"…”"_s;
        QTest::newRow("an escape sequence") << u"a\x1b[2Jb"_s << u"“aU+001B[2Jb”"_s;
        QTest::newRow("a bidi override") << u"ab\u202Ecd"_s << u"“abU+202Ecd”"_s;
    }
    void echoedValuesAreShownSafely() {
        QFETCH(QString, value);
        QFETCH(QString, shown);
        const Run run =
            runProgram({u"convert"_s, picture, u"--bin"_s, path(u"o.bin"_s), u"--dither"_s, value});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(u"--dither 的值"_s + (shown.startsWith(u'“') ? u""_s : u"“"_s) +
                                  shown),
                 qPrintable(run.err));
        QVERIFY2(run.err.size() < 200, qPrintable(run.err));
        const ManifestReading reading =
            parseManifest(manifestWith(u"sprite"_s, u"dither"_s, u'"' + value + u'"').toStdString(),
                          pathFromUtf8("assets.toml"));
        QVERIFY2(QString::fromStdString(reading.error).size() < 200, reading.error.c_str());
    }
};

QTEST_GUILESS_MAIN(OptionValuesTest)
#include "option_values_test.moc"
