// Text as messages echo it: cut to a number of characters on a character boundary, with what
// would not print as itself written as its code point or byte.

#include "export/text.h"

#include <QDir>
#include <QTest>
#include <filesystem>

using namespace Qt::StringLiterals;

using namespace ravik;

class TextTest : public QObject {
    Q_OBJECT

private slots:
    void shownText_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("maxChars");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("short text unchanged")
            << QByteArray("logo.png") << 60 << QByteArray("logo.png");
        QTest::newRow("exactly the limit") << QByteArray("abcd") << 4 << QByteArray("abcd");
        QTest::newRow("one past the limit") << QByteArray("abcde") << 4 << QByteArray("abcd…");
        QTest::newRow("hanzi counted as characters, not bytes")
            << QByteArray("图标按钮界面") << 4 << QByteArray("图标按钮…");
        QTest::newRow("space kept") << QByteArray("a b") << 60 << QByteArray("a b");
        QTest::newRow("bell") << QByteArray("a\x07z") << 60 << QByteArray("aU+0007z");
        QTest::newRow("line feed and tab")
            << QByteArray("a\n\tb") << 60 << QByteArray("aU+000AU+0009b");
        QTest::newRow("escape sequence") << QByteArray("\x1b[2J") << 60 << QByteArray("U+001B[2J");
        QTest::newRow("delete") << QByteArray("\x7f") << 60 << QByteArray("U+007F");
        QTest::newRow("C1 control") << QByteArray("\xc2\x85") << 60 << QByteArray("U+0085");
        QTest::newRow("right-to-left override")
            << QByteArray("a\xe2\x80\xaeq") << 60 << QByteArray("aU+202Eq");
        QTest::newRow("right-to-left isolate")
            << QByteArray("\xe2\x81\xa7x") << 60 << QByteArray("U+2067x");
        QTest::newRow("zero-width space")
            << QByteArray("\xe2\x80\x8b") << 60 << QByteArray("U+200B");
        QTest::newRow("byte order mark")
            << QByteArray("\xef\xbb\xbf") << 60 << QByteArray("U+FEFF");
        QTest::newRow("line separator") << QByteArray("\xe2\x80\xa8") << 60 << QByteArray("U+2028");
        QTest::newRow("stray continuation byte")
            << QByteArray("a\x80z") << 60 << QByteArray("a\\x80z");
        QTest::newRow("cut-off sequence at the end")
            << QByteArray("a\xe5\x9b") << 60 << QByteArray("a\\xE5\\x9B");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << 60 << QByteArray("\\xC0\\xAF");
        QTest::newRow("surrogate")
            << QByteArray("\xed\xa0\x80") << 60 << QByteArray("\\xED\\xA0\\x80");
        QTest::newRow("emoji kept whole at the cut")
            << QByteArray("\xf0\x9f\x98\x80\xf0\x9f\x98\x80") << 1
            << QByteArray("\xf0\x9f\x98\x80…");
        QTest::newRow("escape counts as one character")
            << QByteArray("\x01\x02\x03") << 2 << QByteArray("U+0001U+0002…");
        QTest::newRow("empty") << QByteArray() << 60 << QByteArray();
    }
    void shownText() {
        QFETCH(QByteArray, text);
        QFETCH(int, maxChars);
        QFETCH(QByteArray, expected);
        QCOMPARE(
            QByteArray::fromStdString(ravik::shownText(text.toStdString(), std::size_t(maxChars))),
            expected);
    }

    // A value of megabytes comes back at its limit: sixty characters and the ellipsis.
    void longValueClipped() {
        const std::string shown = ravik::shownText(std::string(14 * 1024 * 1024, 'x'));
        QCOMPARE(shown, std::string(60, 'x') + "…");
    }

    // A path in a message keeps its end, the file's name, however deep it lies; only what would
    // not print is written out, and a path past what any system takes is cut.
    void shownPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        const QString deep = u"项目/固件/"_s.repeated(30) + u"logo.png"_s;
        QTest::newRow("deep path whole") << deep << QDir::toNativeSeparators(deep);
        QTest::newRow("control character written out") << u"a\nb.png"_s << u"aU+000Ab.png"_s;
        const QString huge = u"x"_s.repeated(5000);
        QTest::newRow("past 4096 characters") << huge << u"x"_s.repeated(4096) + u"…"_s;
    }
    void shownPath() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(
            QString::fromStdString(ravik::shownPath(std::filesystem::path(path.toStdU16String()))),
            expected);
    }

    void isUtf8_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ASCII") << QByteArray("abc") << true;
        QTest::newRow("hanzi") << QByteArray("图标") << true;
        QTest::newRow("four-byte") << QByteArray("\xf0\x9f\x98\x80") << true;
        QTest::newRow("stray continuation") << QByteArray("\x80") << false;
        QTest::newRow("cut off") << QByteArray("\xe5\x9b") << false;
        QTest::newRow("overlong three-byte") << QByteArray("\xe0\x80\xaf") << false;
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
        QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
    }
    void isUtf8() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(ravik::isUtf8(bytes.toStdString()), valid);
    }

    // Paths with hanzi survive the trip from UTF-8 text to the system's path and back, and the
    // system sees the characters themselves (a narrow string is the ANSI code page's on Windows).
    void pathsKeepTheirCharacters_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("ASCII") << u"assets/logo.png"_s;
        QTest::newRow("hanzi folder and file") << u"素材/图标 1.png"_s;
        QTest::newRow("beyond the BMP") << u"表情/😀.png"_s;
    }
    void pathsKeepTheirCharacters() {
        QFETCH(QString, text);
        const std::filesystem::path path = ravik::pathFromUtf8(text.toStdString());
        QCOMPARE(QString::fromStdU16String(path.u16string()), text);
        QCOMPARE(QString::fromStdString(ravik::utf8FromPath(path)), text);
        QCOMPARE(QString::fromStdU16String(path.filename().u16string()), text.section(u'/', -1));
    }
};

QTEST_APPLESS_MAIN(TextTest)
#include "text_test.moc"
