// Reading a frame back from the texts people and this program write, the header's names, and
// the failures that must say what they found.

#include "export/c_array_text.h"
#include "export/c_header.h"
#include "export/frame_text_reader.h"

#include <QTest>
#include <cstdio>
#include <string>

using namespace ravik;
using namespace Qt::StringLiterals;

namespace {

// A frame whose every byte differs from its neighbours: byte i is (i · 7 + i / 256) mod 256.
FrameBuffer knownFrame() {
    FrameBuffer frame;
    for (int i = 0; i < kFrameSize; ++i) {
        frame[std::size_t(i)] = std::uint8_t((i * 7 + i / 256) & 0xFF);
    }
    return frame;
}

// The known frame as a person might type it: decimal, octal and one-digit hex values, ragged
// lines, comments of both kinds, a declaration with a macro size.
std::string handWritten() {
    std::string text = "/* splash screen, dumped from the device */\n"
                       "#define SPLASH_SIZE 9849\n"
                       "const unsigned char splash[SPLASH_SIZE] = { // 9849 bytes\n";
    const FrameBuffer frame = knownFrame();
    for (int i = 0; i < kFrameSize; ++i) {
        const int v = frame[std::size_t(i)];
        // Decimal, lower-case hex and C octal (a leading 0) in turn.
        const char* format = i % 3 == 0 ? "%d" : i % 3 == 1 ? "0x%x" : "0%o";
        char value[8];
        std::snprintf(value, sizeof value, format, v);
        text += std::string(value) + (i % 11 == 10 ? ",   /* row */\n" : ", ");
    }
    return text + "\n};\n";
}

std::string withValueAt(std::string text, std::size_t lineNumber, const std::string& value) {
    std::size_t position = 0;
    for (std::size_t line = 1; line < lineNumber; ++line) {
        position = text.find('\n', position) + 1;
    }
    return text.insert(position, value + ",");
}

} // namespace

class FrameTextTest : public QObject {
    Q_OBJECT

private slots:
    void readsFrames_data() {
        QTest::addColumn<QByteArray>("text");
        const FrameBuffer frame = knownFrame();
        const auto row = [](const char* name, const std::string& text) {
            QTest::newRow(name) << QByteArray::fromStdString(text);
        };
        row("this program's C text", formatCArrayText(frame));
        row("a header this program wrote", formatCHeader("logo", "PROGMEM", frame));
        row("a header with a section attribute",
            formatCHeader("lcd", "__attribute__((section(\".lcd\")))", frame));
        row("hand-written with comments and decimal values", handWritten());
        std::string lfOnly = formatCArrayText(frame);
        std::erase(lfOnly, '\r');
        row("bare values with Unix line ends", "\xEF\xBB\xBF" + lfOnly);
    }
    void readsFrames() {
        QFETCH(QByteArray, text);
        const FrameReading reading = readFrameText(text.toStdString());
        QVERIFY2(reading.frame.has_value(), qPrintable(reading.failure));
        QVERIFY(*reading.frame == knownFrame());
    }

    void refusesWhatIsNotOneFrame_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("failure");
        const std::string good = formatCArrayText(knownFrame());
        const auto row = [](const char* name, const std::string& text, const QString& failure) {
            QTest::newRow(name) << QByteArray::fromStdString(text) << failure;
        };
        row("one value short", good.substr(good.find(',') + 1),
            u"帧数据应为 9849 个数值，此文本有 9848 个"_s);
        row("one value too many", good + "0x00", u"帧数据应为 9849 个数值，此文本有 9850 个"_s);
        row("a value above 255", withValueAt(good, 3, "256"),
            u"第 3 行的数值 256 超出 0–255 的范围"_s);
        row("a hex value above 255", withValueAt(good, 600, "0x1FF"),
            u"第 600 行的数值 0x1FF 超出 0–255 的范围"_s);
        row("a negative value", withValueAt(good, 2, "-1"),
            u"第 2 行有无法识别的内容“-”，应为 0–255 的数值"_s);
        row("a word among the values", "{ 0x00, PIXEL, 0x01 }",
            u"第 1 行有无法识别的内容“PIXEL”，应为 0–255 的数值"_s);
        row("not a number", withValueAt(good, 5, "0x"),
            u"第 5 行有无法识别的内容“0x”，应为 0–255 的数值"_s);
        row("an unclosed brace", "uint8_t a[] = {\n" + good, u"第 1 行的“{”没有相配的“}”"_s);
        row("an unclosed comment", "\n\n/* " + good, u"第 3 行的注释“/*”没有结束"_s);
        row("empty text", "", u"帧数据应为 9849 个数值，此文本有 0 个"_s);
        // Text that never looked like frame data is named as such, its words not echoed.
        row("prose", "Shopping list: eggs, 12 apples\n", u"不是图片或帧数据"_s);
        row("prose in GBK", "\xC4\xE3\xBA\xC3\xA3\xAC\xCA\xC0\xBD\xE7", u"不是图片或帧数据"_s);
        row("a GBK word among the values", "{ 0x00, \xC4\xE3\xBA\xC3, 0x01 }",
            u"第 1 行有无法识别的内容，应为 0–255 的数值"_s);
    }
    void refusesWhatIsNotOneFrame() {
        QFETCH(QByteArray, text);
        QFETCH(QString, failure);
        const FrameReading reading = readFrameText(text.toStdString());
        QVERIFY(!reading.frame.has_value());
        QCOMPARE(reading.failure, failure);
    }

    void binaryFrames_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("failure");
        QTest::newRow("exactly one frame") << kFrameSize << QString();
        QTest::newRow("one byte more")
            << kFrameSize + 1 << u"帧数据应为 9849 字节，此文件为 9850 字节"_s;
        QTest::newRow("the buffer with its spare byte")
            << kBufferSize << u"帧数据应为 9849 字节，此文件为 9850 字节"_s;
        QTest::newRow("empty") << 0 << u"帧数据应为 9849 字节，此文件为 0 字节"_s;
    }
    void binaryFrames() {
        QFETCH(int, size);
        QFETCH(QString, failure);
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i) {
            bytes[i] = char((i * 7 + i / 256) & 0xFF);
        }
        const FrameReading reading = readFrameBinary(bytes);
        QCOMPARE(reading.failure, failure);
        QCOMPARE(reading.frame.has_value(), failure.isEmpty());
        if (reading.frame) {
            QVERIFY(*reading.frame == knownFrame());
        }
    }

    void identifiersFromFileNames_data() {
        QTest::addColumn<QString>("baseName");
        QTest::addColumn<QString>("identifier");
        QTest::newRow("plain") << u"logo"_s << u"logo"_s;
        QTest::newRow("dashes, dots and spaces") << u"test-card v1.2"_s << u"test_card_v1_2"_s;
        QTest::newRow("Chinese dropped") << u"启动画面logo"_s << u"logo"_s;
        QTest::newRow("only Chinese") << u"启动画面"_s << u"frame"_s;
        QTest::newRow("leading digit") << u"1-测试"_s << u"frame_1"_s;
        QTest::newRow("a keyword") << u"int"_s << u"int_frame"_s;
        QTest::newRow("leading underscores") << u"__init"_s << u"init"_s;
        QTest::newRow("empty") << QString() << u"frame"_s;
    }
    void identifiersFromFileNames() {
        QFETCH(QString, baseName);
        QFETCH(QString, identifier);
        QCOMPARE(QString::fromStdString(cIdentifierFor(baseName)), identifier);
        QVERIFY(identifierProblem(identifier).isEmpty());
    }

    void givenNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("letters and digits") << u"Logo_2"_s << true;
        QTest::newRow("underscore first") << u"_splash"_s << true;
        QTest::newRow("digit first") << u"2logo"_s << false;
        QTest::newRow("a dash") << u"my-logo"_s << false;
        QTest::newRow("Chinese") << u"图标"_s << false;
        QTest::newRow("keyword") << u"static"_s << false;
        QTest::newRow("empty") << QString() << false;
    }
    void givenNames() {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(identifierProblem(name).isEmpty(), valid);
    }
};

QTEST_APPLESS_MAIN(FrameTextTest)
#include "frame_text_test.moc"
