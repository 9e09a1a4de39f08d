// Reading a frame back from the texts people and this program write, the header's names, and
// the failures that must say what they found.

#include "export/c_array_text.h"
#include "export/c_header.h"
#include "export/frame_text_reader.h"

#include <QTest>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

using namespace ravik;
using namespace Qt::StringLiterals;

namespace {

// A frame whose every byte differs from its neighbours: byte i is (i · 7 + i / 256 + 85 k) mod
// 256, k telling the frames of a set apart.
FrameBuffer knownFrame(int k = 0) {
    FrameBuffer frame;
    for (int i = 0; i < kFrameSize; ++i) {
        frame[std::size_t(i)] = std::uint8_t((i * 7 + i / 256 + 85 * k) & 0xFF);
    }
    return frame;
}

// Known frame k's values as a person might type them: decimal, lower-case hex and C octal (a
// leading 0) in turn, ragged lines, comments.
std::string handWrittenValues(int k) {
    std::string text;
    const FrameBuffer frame = knownFrame(k);
    for (int i = 0; i < kFrameSize; ++i) {
        const int v = frame[std::size_t(i)];
        const char* format = i % 3 == 0 ? "%d" : i % 3 == 1 ? "0x%x" : "0%o";
        char value[8];
        std::snprintf(value, sizeof value, format, v);
        text += std::string(value) + (i % 11 == 10 ? ",   /* row */\n" : ", ");
    }
    return text;
}

// The known frame with a declaration with a macro size and comments of both kinds.
std::string handWritten() {
    return "/* splash screen, dumped from the device */\n"
           "#define SPLASH_SIZE 9849\n"
           "const unsigned char splash[SPLASH_SIZE] = { // 9849 bytes\n" +
           handWrittenValues(0) + "\n};\n";
}

// Two frames typed as a two-dimensional array, the last one without a trailing comma.
std::string handWrittenSet() {
    return "#define FRAMES 2\n"
           "const unsigned char walk[FRAMES][9849] = {\n"
           "    { // standing\n" +
           handWrittenValues(0) + "\n    },\n    /* stepping */ {" + handWrittenValues(1) +
           "}\n};\n";
}

std::vector<FrameBuffer> knownFrames(int count) {
    std::vector<FrameBuffer> frames;
    for (int k = 0; k < count; ++k) {
        frames.push_back(knownFrame(k));
    }
    return frames;
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
        QVERIFY2(reading.ok(), reading.failure.c_str());
        QCOMPARE(reading.frames.size(), std::size_t{1});
        QVERIFY(!reading.frameSet);
        QVERIFY(reading.frames.front() == knownFrame());
    }

    // Frame sets as --all-frames writes them and as a person types them: frame k of the text is
    // known frame k, byte for byte, and a header's delays come back with them.
    void readsFrameSets_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("delays");
        const auto row = [](const char* name, const std::string& text, int count,
                            const QList<int>& delays = {}) {
            QTest::newRow(name) << QByteArray::fromStdString(text) << count << delays;
        };
        const std::vector<FrameBuffer> three = knownFrames(3);
        const std::vector<int> delays{100, 50, 65535};
        row("a header this program wrote for three frames",
            formatCHeaderFrameSet("anim", "PROGMEM", three, delays), 3, {100, 50, 65535});
        row("a header of a set of one frame",
            formatCHeaderFrameSet("still", "", std::span(three).first(1),
                                  std::span(delays).first(1)),
            1, {100});
        row("this program's C text of two frames, one after another",
            formatCArrayText(three[0]) + formatCArrayText(three[1]), 2);
        row("hand-written two-level initialiser", handWrittenSet(), 2);
        row("a two-dimensional array without inner braces",
            "uint8_t frames[3][9849] = {" + formatCArrayText(three[0]) +
                formatCArrayText(three[1]) + formatCArrayText(three[2]) + "};",
            3);
    }
    void readsFrameSets() {
        QFETCH(QByteArray, text);
        QFETCH(int, count);
        QFETCH(QList<int>, delays);
        const FrameReading reading = readFrameText(text.toStdString());
        QVERIFY2(reading.ok(), reading.failure.c_str());
        QVERIFY(reading.frameSet);
        QCOMPARE(reading.frames.size(), std::size_t(count));
        QCOMPARE(QList<int>(reading.delaysMs.begin(), reading.delaysMs.end()), delays);
        for (int k = 0; k < count; ++k) {
            QVERIFY2(reading.frames[std::size_t(k)] == knownFrame(k),
                     qPrintable(QString::number(k)));
        }
    }

    void refusesWhatIsNotOneFrame_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("failure");
        const std::string good = formatCArrayText(knownFrame());
        const auto row = [](const char* name, const std::string& text, const QString& failure) {
            QTest::newRow(name) << QByteArray::fromStdString(text) << failure;
        };
        const std::string short_ = good.substr(good.find(',') + 1);
        row("one value short", short_, u"帧数据应为 9849 个数值或其整数倍，此文本有 9848 个"_s);
        row("one value too many", good + "0x00",
            u"帧数据应为 9849 个数值或其整数倍，此文本有 9850 个"_s);
        row("two frames but one value", good + short_,
            u"帧数据应为 9849 个数值或其整数倍，此文本有 19697 个"_s);
        row("a frame of a set one value short", "{\n{" + good + "},\n{" + short_ + "}\n}",
            u"第 2 帧（第 619 行起）应为 9849 个数值，此处有 9848 个"_s);
        row("empty frames in a set", "{ {}, {} }",
            u"第 1 帧（第 1 行起）应为 9849 个数值，此处有 0 个"_s);
        row("a value beside the frames of a set", "{ {" + good + "}, 0x01 }",
            u"第 617 行的数值不在内层花括号中：帧组的每一帧应各有一对花括号"_s);
        row("three levels of braces", "{ { { 0x01 } } }",
            u"第 1 行的“{”嵌套过深：帧数据最多两层花括号"_s);
        row("a delay beyond 16 bits",
            "{ {" + good + "} }\nconst uint16_t a_DELAYS_MS[1] = { 70000 };",
            u"第 618 行的每帧时长“70000”应为 0–65535 的数值"_s);
        row("delays for more frames than there are",
            "{ {" + good + "} }\nconst uint16_t a_DELAYS_MS[] = { 10, 20 };",
            u"第 618 行起的每帧时长应为 1 个数值，此处有 2 个"_s);
        row("a closing brace without an opening one", "0x01 }", u"第 1 行的“}”没有相配的“{”"_s);
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
        row("empty text", "", u"帧数据应为 9849 个数值或其整数倍，此文本有 0 个"_s);
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
        QVERIFY(!reading.ok());
        QCOMPARE(QString::fromStdString(reading.failure), failure);
    }

    // A .bin holds whole frames one after another: byte i of frame k is known frame k's.
    void binaryFrames_data() {
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("extraBytes");
        QTest::addColumn<QString>("failure");
        QTest::newRow("exactly one frame") << 1 << 0 << QString();
        QTest::newRow("four frames") << 4 << 0 << QString();
        QTest::newRow("one byte more")
            << 1 << 1 << u"帧数据应为 9849 字节或其整数倍，此文件为 9850 字节"_s;
        QTest::newRow("the buffer with its spare byte")
            << 1 << kBufferSize - kFrameSize
            << u"帧数据应为 9849 字节或其整数倍，此文件为 9850 字节"_s;
        QTest::newRow("four frames but one byte")
            << 4 << -1 << u"帧数据应为 9849 字节或其整数倍，此文件为 39395 字节"_s;
        QTest::newRow("empty") << 0 << 0 << u"帧数据应为 9849 字节或其整数倍，此文件为 0 字节"_s;
    }
    void binaryFrames() {
        QFETCH(int, frames);
        QFETCH(int, extraBytes);
        QFETCH(QString, failure);
        QByteArray bytes;
        for (const FrameBuffer& frame : knownFrames(frames)) {
            bytes += QByteArray(reinterpret_cast<const char*>(frame.frame().data()), kFrameSize);
        }
        bytes = extraBytes < 0 ? bytes.chopped(-extraBytes) : bytes + QByteArray(extraBytes, 'x');
        const FrameReading reading = readFrameBinary(bytes.toStdString());
        QCOMPARE(QString::fromStdString(reading.failure), failure);
        QCOMPARE(reading.ok(), failure.isEmpty());
        if (reading.ok()) {
            QCOMPARE(reading.frames.size(), std::size_t(frames));
            QCOMPARE(reading.frameSet, frames > 1);
            for (int k = 0; k < frames; ++k) {
                QVERIFY(reading.frames[std::size_t(k)] == knownFrame(k));
            }
        }
    }

    void identifiersFromFileNames_data() {
        QTest::addColumn<QString>("baseName");
        QTest::addColumn<QString>("identifier");
        QTest::newRow("plain") << u"logo"_s << u"logo"_s;
        QTest::newRow("dashes, dots and spaces") << u"test-card v1.2"_s << u"test_card_v1_2"_s;
        QTest::newRow("Chinese dropped") << u"启动画面logo"_s << u"logo"_s;
        QTest::newRow("only Chinese") << u"启动画面"_s << u"u542f_u52a8_u753b_u9762"_s;
        QTest::newRow("leading digit") << u"1-测试"_s << u"frame_1_u6d4b_u8bd5"_s;
        QTest::newRow("a keyword") << u"int"_s << u"int_frame"_s;
        QTest::newRow("leading underscores") << u"__init"_s << u"init"_s;
        QTest::newRow("empty") << QString() << u"frame"_s;
    }
    void identifiersFromFileNames() {
        QFETCH(QString, baseName);
        QFETCH(QString, identifier);
        QCOMPARE(QString::fromStdString(cIdentifierFor(baseName.toStdString())), identifier);
        QVERIFY(identifierProblem(identifier.toStdString()).empty());
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
        QCOMPARE(identifierProblem(name.toStdString()).empty(), valid);
    }
};

QTEST_APPLESS_MAIN(FrameTextTest)
#include "frame_text_test.moc"
