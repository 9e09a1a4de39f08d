// `ravik-lcd font`: the header the font job makes, its preview, and its refusals.

#include "command_line_tests.h"
#include "fonts/font_faults.h"
#include "fonts/font_job.h"

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

class FontCommandTest : public QObject, Scratch {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(makeScratch()); }

    // `font` writes the header the font job makes for the same choices (the window makes its
    // fonts there too), and a preview of the panel's size times the scale.
    void fontCommandWritesTheJobsHeader_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("alpha");
        QTest::addColumn<QString>("color"); // RRGGBB; empty: the default
        QTest::newRow("coverage") << QStringList{u"--alpha"_s} << true << QString();
        QTest::newRow("colours") << QStringList{u"--color"_s, u"FFCC00"_s, u"--background"_s,
                                                u"102030"_s}
                                 << false << u"FFCC00"_s;
    }
    void fontCommandWritesTheJobsHeader() {
        QFETCH(QStringList, options);
        QFETCH(bool, alpha);
        QFETCH(QString, color);
        fonts::FontJob job;
        job.pixelSize = 14;
        job.chars = {"ascii", "你好，世界"};
        job.alpha = alpha;
        job.name = "ui_text";
        if (!color.isEmpty()) {
            job.color = RGB(0xFF, 0xCC, 0x00);
            job.background = RGB(0x10, 0x20, 0x30);
        }
        const fonts::FontJobResult expected = fonts::runFontJob(job);
        if (!expected.ok()) {
            QSKIP(
                qPrintable(u"no font for the test: "_s + QString::fromStdString(expected.failure)));
        }
        const QString header = path(u"ui_text.h"_s);
        const QString preview = path(u"text.png"_s);
        const Run run = runProgram(
            QStringList{u"font"_s, u"--size"_s, u"14"_s, u"--chars"_s, u"ascii"_s, u"--chars"_s,
                        u"你好，世界"_s, u"--header"_s, header, u"--preview"_s, preview,
                        u"--text"_s, u"你好 Hi"_s, u"--preview-scale"_s, u"3"_s} +
            options);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(readAll(header).toStdString(), expected.header);
        // The PNG's header: its width and height, big-endian, at bytes 16 and 20.
        const QByteArray png = readAll(preview);
        QVERIFY(png.startsWith("\x89PNG"));
        const auto be32 = [&png](int at) {
            return quint32(uchar(png[at])) << 24 | quint32(uchar(png[at + 1])) << 16 |
                   quint32(uchar(png[at + 2])) << 8 | uchar(png[at + 3]);
        };
        QCOMPARE(be32(16), quint32(kFrameWidth * 3));
        QCOMPARE(be32(20), quint32(kFrameHeight * 3));
    }

    // Characters of the preview text the set lacks are named on standard error, code point and
    // character (a control character by its code point alone), the first twenty and then how
    // many; the preview is still written, as the runtime draws it, and the exit code is 0.
    void previewNamesCharactersTheSetLacks_data() {
        QTest::addColumn<QString>("chars");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("named");    // in the message
        QTest::addColumn<QStringList>("notNamed"); // not in it
        QTest::newRow("hanzi the set lacks")
            << u"OK "_s << u"温度 OK"_s
            << QStringList{u"2 个字符"_s, u"U+6E29（温）、U+5EA6（度）"_s}
            << QStringList{u"U+004F"_s, u"U+0020"_s};
        QTest::newRow("every character in the set")
            << u"ascii"_s << u"OK 12\nline two"_s << QStringList() << QStringList{u"U+"_s};
        QTest::newRow("a tab, by its code point only")
            << u"ascii"_s << u"A\tB"_s << QStringList{u"U+0009"_s} << QStringList{u"\t"_s};
        QTest::newRow("twenty named, then the count")
            << u"a"_s << u"abcdefghijklmnopqrstuvwxyz"_s
            << QStringList{u"25 个字符"_s, u"U+0062（b）"_s, u"U+0075（u）"_s, u"共 25 个"_s}
            << QStringList{u"U+0076"_s, u"U+007A"_s, u"U+0061"_s};
    }
    void previewNamesCharactersTheSetLacks() {
        QFETCH(QString, chars);
        QFETCH(QString, text);
        QFETCH(QStringList, named);
        QFETCH(QStringList, notNamed);
        fonts::FontJob job;
        job.pixelSize = 12;
        job.chars = {"ascii"};
        if (const fonts::FontJobResult made = fonts::runFontJob(job); !made.ok()) {
            QSKIP(qPrintable(u"no font for the test: "_s + QString::fromStdString(made.failure)));
        }
        const QString preview = path(u"lacking.png"_s);
        QFile::remove(preview);
        const Run run = runProgram({u"font"_s, u"--size"_s, u"12"_s, u"--chars"_s, chars,
                                    u"--preview"_s, preview, u"--text"_s, text});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(readAll(preview).startsWith("\x89PNG"));
        if (named.isEmpty()) {
            QCOMPARE(run.err, QString());
        }
        for (const QString& part : named) {
            QVERIFY2(run.err.contains(part), qPrintable(run.err));
        }
        for (const QString& part : notNamed) {
            QVERIFY2(!run.err.contains(part), qPrintable(run.err));
        }
    }

    // --hinting, --line-height and --fallback give the header the font job makes with the same
    // choices: a fallback named by family or as a collection's face after a colon.
    void fontOptionsReachTheJob_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("hinting");       // the job's, by name
        QTest::addColumn<int>("lineHeight");        // the job's
        QTest::addColumn<QStringList>("fallbacks"); // the job's: a family, or "@cjk:N"
        QTest::newRow("auto hinting")
            << QStringList{u"--hinting"_s, u"auto"_s, u"--fallback"_s, u"Noto Sans CJK SC"_s}
            << u"auto"_s << 0 << QStringList{u"Noto Sans CJK SC"_s};
        QTest::newRow("line height")
            << QStringList{u"--line-height"_s, u"21"_s, u"--fallback"_s, u"Noto Sans CJK SC"_s}
            << u"light"_s << 21 << QStringList{u"Noto Sans CJK SC"_s};
        QTest::newRow("fallback face of a collection")
            << QStringList{u"--fallback"_s, u"@cjk:0"_s} << u"light"_s << 0
            << QStringList{u"@cjk:0"_s};
        QTest::newRow("two fallbacks in turn")
            << QStringList{u"--fallback"_s, u"DejaVu Serif"_s, u"--fallback"_s, u"@cjk:3"_s}
            << u"light"_s << 0 << QStringList{u"DejaVu Serif"_s, u"@cjk:3"_s};
    }
    void fontOptionsReachTheJob() {
        QFETCH(QStringList, options);
        QFETCH(QString, hinting);
        QFETCH(int, lineHeight);
        QFETCH(QStringList, fallbacks);
        std::string cjk;
        try {
            cjk = fonts::findFont({}).path;
        } catch (const fonts::FontError& error) {
            QSKIP(error.what());
        }
        fonts::FontJob job;
        job.font = "DejaVu Sans";
        job.pixelSize = 12;
        job.chars = {"Ag直骨"};
        job.alpha = true;
        job.name = "mixed";
        job.hinting = hinting == u"auto"_s ? fonts::Hinting::Auto : fonts::Hinting::Light;
        job.lineHeight = lineHeight;
        for (const QString& fallback : fallbacks) {
            job.fallbacks.push_back(fallback.startsWith(u"@cjk:"_s)
                                        ? fonts::FontName{cjk, fallback.mid(5).toInt()}
                                        : fonts::FontName{fallback.toStdString(), 0});
        }
        const fonts::FontJobResult expected = fonts::runFontJob(job);
        if (!expected.ok()) {
            QSKIP(
                qPrintable(u"no font for the test: "_s + QString::fromStdString(expected.failure)));
        }
        options.replaceInStrings(u"@cjk"_s, QString::fromStdString(cjk));
        const QString header = path(u"mixed.h"_s);
        const QString preview = path(u"mixed.png"_s);
        const Run run =
            runProgram(QStringList{u"font"_s, u"DejaVu Sans"_s, u"--size"_s, u"12"_s, u"--alpha"_s,
                                   u"--chars"_s, u"Ag直骨"_s, u"--header"_s, header, u"--preview"_s,
                                   preview, u"--text"_s, u"g骨\nA直"_s} +
                       options);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(readAll(header).toStdString(), expected.header);
        // The preview draws the fallback's glyphs, lines the set's line height apart, and
        // names no character as missing.
        const auto png = fonts::textPreviewPng(expected.font, "g骨\nA直", {}, 1);
        QVERIFY(png.has_value());
        QCOMPARE(readAll(preview).toStdString(), *png);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    }

    // Mistakes in `font`'s command line: exit 2 and a message naming them; a character the font
    // lacks: exit 1 naming its code point. Nothing is written either way.
    void fontCommandRefuses_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QStringList base{u"font"_s, u"--chars"_s, u"ab"_s, u"--header"_s, u"refused.h"_s};
        QTest::newRow("no size") << base << 2 << u"--size"_s;
        QTest::newRow("size too small") << base + QStringList{u"--size"_s, u"2"_s} << 2 << u"“2”"_s;
        QTest::newRow("size not a number")
            << base + QStringList{u"--size"_s, u"16px"_s} << 2 << u"“16px”"_s;
        QTest::newRow("size twice")
            << base + QStringList{u"--size"_s, u"16"_s, u"--size"_s, u"12"_s} << 2 << u"--size"_s;
        QTest::newRow("no characters")
            << QStringList{u"font"_s, u"--size"_s, u"16"_s, u"--header"_s, u"refused.h"_s} << 2
            << u"--chars"_s;
        QTest::newRow("no output")
            << QStringList{u"font"_s, u"--size"_s, u"16"_s, u"--chars"_s, u"ab"_s} << 2
            << u"--header"_s;
        QTest::newRow("coverage with a background")
            << base +
                   QStringList{u"--size"_s, u"16"_s, u"--alpha"_s, u"--background"_s, u"000000"_s}
            << 2 << u"--background"_s;
        QTest::newRow("bad colour")
            << base + QStringList{u"--size"_s, u"16"_s, u"--color"_s, u"12345G"_s} << 2
            << u"12345G"_s;
        QTest::newRow("preview without text")
            << base + QStringList{u"--size"_s, u"16"_s, u"--preview"_s, u"refused.png"_s} << 2
            << u"--text"_s;
        QTest::newRow("unknown hinting")
            << base + QStringList{u"--size"_s, u"16"_s, u"--hinting"_s, u"strong"_s} << 2
            << u"strong"_s;
        QTest::newRow("bits a pixel for picture glyphs")
            << base + QStringList{u"--size"_s, u"16"_s, u"--bpp"_s, u"1"_s} << 2 << u"--alpha"_s;
        QTest::newRow("compression for picture glyphs")
            << base + QStringList{u"--size"_s, u"16"_s, u"--compress"_s, u"rle"_s} << 2
            << u"--alpha"_s;
        QTest::newRow("bad array name")
            << base + QStringList{u"--size"_s, u"16"_s, u"--name"_s, u"2font"_s} << 2 << u"2font"_s;
        QTest::newRow("unknown option")
            << base + QStringList{u"--size"_s, u"16"_s, u"--bold"_s} << 2 << u"--bold"_s;
        QTest::newRow("a character the font lacks")
            << base + QStringList{u"--size"_s, u"16"_s, u"--chars"_s, u"U+E000"_s} << 1
            << u"U+E000"_s;
        QTest::newRow("line height of zero")
            << base + QStringList{u"--size"_s, u"16"_s, u"--line-height"_s, u"0"_s} << 2
            << u"--line-height 的值“0”无效，应为 1 到 255 的像素行数"_s;
        QTest::newRow("line height past the runtime's field")
            << base + QStringList{u"--size"_s, u"16"_s, u"--line-height"_s, u"256"_s} << 2
            << u"“256”"_s;
        QTest::newRow("line height twice")
            << base + QStringList{u"--size"_s,        u"16"_s, u"--line-height"_s, u"20"_s,
                                  u"--line-height"_s, u"21"_s}
            << 2 << u"选项 --line-height 只能给一次"_s;
        QTest::newRow("empty fallback")
            << base + QStringList{u"--size"_s, u"16"_s, u"--fallback"_s, QString()} << 2
            << u"--fallback 的值“”无效"_s;
        QTest::newRow("fallback face without a font")
            << base + QStringList{u"--size"_s, u"16"_s, u"--fallback"_s, u":1"_s} << 2
            << u"--fallback 的值“:1”无效"_s;
        QTest::newRow("fallback file that is not there")
            << base + QStringList{u"--size"_s, u"16"_s, u"--fallback"_s, u"没有这个字体.ttf"_s} << 1
            << u"找不到字体：没有这个字体.ttf"_s;
        QTest::newRow("fallback face past the collection")
            << base + QStringList{u"--size"_s, u"16"_s, u"--fallback"_s, u"@cjk:99"_s} << 1
            << u"共 "_s;
        QTest::newRow("character no font has, with a fallback")
            << base + QStringList{u"--size"_s, u"16"_s,         u"--chars"_s,
                                  u"U+E000"_s, u"--fallback"_s, u"DejaVu Sans"_s}
            << 1 << u"U+E000"_s;
    }
    void fontCommandRefuses() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QDir::setCurrent(dir.path());
        if (arguments.contains(u"@cjk:99"_s)) {
            const fonts::FontFile cjk = fonts::findFont({});
            arguments.replaceInStrings(u"@cjk"_s, QString::fromStdString(cjk.path));
        }
        const Run run = runCommand(QStringLiteral(RAVIK_EXECUTABLE), arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(path(u"refused.h"_s)));
        QVERIFY(!QFile::exists(path(u"refused.png"_s)));
    }
};

QTEST_GUILESS_MAIN(FontCommandTest)
#include "font_command_test.moc"
