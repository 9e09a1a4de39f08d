// The two exports: the C-array text and the binary frame file.

#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "export/c_header.h"
#include "export/file_output.h"
#include "export/glyph_bitmaps.h"
#include "platform/file_path.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace ravik;
using namespace ravik::testing;

namespace {

FrameBuffer numberedFrame() {
    FrameBuffer frame;
    for (int i = 0; i < kBufferSize; ++i) {
        frame[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return frame;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start)); // an unterminated tail
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

} // namespace

class ExportTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    // --- C-array text ---------------------------------------------------------------------

    // Headers of pictures of other sizes, written out in full: the sizes are the packing's
    // ⌈W·H·3/2⌉ and the mask's ⌈W/8⌉·H, worked by hand.
    void headerOfPictures_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("masked");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("one 1 x 1 picture")
            << 1 << 1 << int(PictureSet::Kind::single) << false
            << QByteArray(
                   "/* dot: 1 x 1 LCD picture, 12-bit colour (4-4-4), two pixels in three "
                   "bytes, row by row. */\n#ifndef RAVIK_LCD_DOT_H\n#define RAVIK_LCD_DOT_H\n"
                   "\n#include <stdint.h>\n\n#define dot_WIDTH 1\n#define dot_HEIGHT 1\n"
                   "#define dot_SIZE 2\n\nstatic const uint8_t dot[dot_SIZE] PROGMEM = {\n"
                   "    0x12,0x30,\n};\n\n#endif /* RAVIK_LCD_DOT_H */\n");
        QTest::newRow("two 3 x 1 tiles with masks")
            << 3 << 1 << int(PictureSet::Kind::tiles) << true
            << QByteArray(
                   "/* dot: 3 x 1 LCD tiles, 12-bit colour (4-4-4), two pixels in three bytes, "
                   "row by row. */\n#ifndef RAVIK_LCD_DOT_H\n#define RAVIK_LCD_DOT_H\n\n"
                   "#include <stdint.h>\n\n#define dot_WIDTH 3\n#define dot_HEIGHT 1\n"
                   "#define dot_SIZE 5\n#define dot_MASK_SIZE 1\n#define dot_COUNT 2\n\n"
                   "static const uint8_t dot[dot_COUNT][dot_SIZE] PROGMEM = {\n"
                   "    {\n        0x12,0x34,0x56,0x78,0x90,\n    },\n"
                   "    {\n        0xAB,0xCD,0xEF,0x01,0x20,\n    },\n};\n\n"
                   "/* Which pixels are drawn: one bit a pixel, 1 = drawn, the leftmost pixel in "
                   "the top bit,\n   each row padded to whole bytes. */\n"
                   "static const uint8_t dot_MASK[dot_COUNT][dot_MASK_SIZE] PROGMEM = {\n"
                   "    {\n        0xA0,\n    },\n    {\n        0x60,\n    },\n};\n\n"
                   "#endif /* RAVIK_LCD_DOT_H */\n");
        QTest::newRow("one 9 x 2 picture with its mask")
            << 9 << 2 << int(PictureSet::Kind::single) << true
            << QByteArray(
                   "/* dot: 9 x 2 LCD picture, 12-bit colour (4-4-4), two pixels in three bytes, "
                   "row by row. */\n#ifndef RAVIK_LCD_DOT_H\n#define RAVIK_LCD_DOT_H\n\n"
                   "#include <stdint.h>\n\n#define dot_WIDTH 9\n#define dot_HEIGHT 2\n"
                   "#define dot_SIZE 27\n#define dot_MASK_SIZE 4\n\n"
                   "static const uint8_t dot[dot_SIZE] PROGMEM = {\n"
                   "    0x00,0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0A,0x0B,0x0C,0x0D,"
                   "0x0E,0x0F,\n    0x10,0x11,0x12,0x13,0x14,0x15,0x16,0x17,0x18,0x19,0x1A,\n"
                   "};\n\n/* Which pixels are drawn: one bit a pixel, 1 = drawn, the leftmost "
                   "pixel in the top bit,\n   each row padded to whole bytes. */\n"
                   "static const uint8_t dot_MASK[dot_MASK_SIZE] PROGMEM = {\n"
                   "    0xFF,0x80,0x01,0x00,\n};\n\n#endif /* RAVIK_LCD_DOT_H */\n");
    }
    void headerOfPictures() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, kind);
        QFETCH(bool, masked);
        QFETCH(QByteArray, expected);
        PictureSet set;
        set.size = {width, height};
        set.kind = PictureSet::Kind(kind);
        if (width == 1) {
            set.pictures = {{0x12, 0x30}};
        } else if (width == 3) {
            set.pictures = {{0x12, 0x34, 0x56, 0x78, 0x90}, {0xAB, 0xCD, 0xEF, 0x01, 0x20}};
            set.masks = {{0xA0}, {0x60}};
        } else {
            std::vector<std::uint8_t> counting(27);
            for (std::size_t i = 0; i < counting.size(); ++i) {
                counting[i] = std::uint8_t(i);
            }
            set.pictures = {counting};
            set.masks = {{0xFF, 0x80, 0x01, 0x00}};
        }
        if (!masked) {
            set.masks.clear();
        }
        QCOMPARE(QByteArray::fromStdString(formatCHeader("dot", "PROGMEM", set)), expected);
    }

    // The frame's header keeps its text: the size macros are the frame's, one array.
    void frameHeaderStartsAsEver() {
        const std::string text = formatCHeader("logo", "", numberedFrame());
        QVERIFY(text.starts_with(
            "/* logo: 98 x 67 LCD frame, 12-bit colour (4-4-4), two pixels in three bytes, row by "
            "row. */\n#ifndef RAVIK_LCD_LOGO_H\n#define RAVIK_LCD_LOGO_H\n\n#include <stdint.h>\n\n"
            "#define logo_WIDTH 98\n#define logo_HEIGHT 67\n#define logo_SIZE 9849\n\n"
            "static const uint8_t logo[logo_SIZE] = {\n    0x03,0x0A,"));
        QVERIFY(text.ends_with("};\n\n#endif /* RAVIK_LCD_LOGO_H */\n"));
        QVERIFY(text.find("MASK") == std::string::npos);
    }

    // Glyph levels packed and compressed, against bits worked out by hand from ravik_lcd.h.
    void glyphBitmapsHandCoded_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("bpp");
        QTest::addColumn<QByteArray>("levels");
        QTest::addColumn<QByteArray>("packed");
        QTest::addColumn<QByteArray>("compressed");
        // 2 bits, coded as ravik_lcd.h says, worked by hand from RAVIK_LCD_LEVEL_ODDS. 3 1: a new
        // row (0 at odds 240: range 61199); 3 in context 0, whose order is 0 1 2 3, the fourth
        // (1 at 228, 154, 202: 110, 1, 11); 1 in context 48 (left 3), order 3 1 2 0, the second
        // (1 at 207, 0 at 105: 101, 0); the end puts out 1. 11101110 11.
        QTest::newRow("2 bits, one row coded by its neighbours")
            << 2 << 2 << QByteArray("\3\1", 2) << QByteArray("\xD0", 1)
            << QByteArray("\xEE\xC0", 2);
        // 0 3 3 / 0 3 3 / 2 1 0: row 0 new, 0 first in context 0 (0 at 228), 3 fourth in context 0,
        // 3 first in context 48 (0 at 207); row 1 the row above (1 at 240); row 2 new, 2 third in
        // context 0 (1 1 0 at 228, 154, 202), 1 third in context 44 (above 3, left 2; order 3 2 1
        // 0: 1 1 0 at 181, 185, 234), 0 second in context 220 (above 3, left 1, above-left 3; 1 0
        // at 107, 116); the end puts out 1. 11010100 01110100 1.
        QTest::newRow("2 bits, a repeated row and every step")
            << 3 << 2 << QByteArray("\0\3\3\0\3\3\2\1\0", 9) << QByteArray("\x3C\xF9\x00", 3)
            << QByteArray("\xD4\x74\x80", 3);
        // 0 0 0 F F F F F F 0 0 0 / 0 0 0 7 7 F F 0 0 0 0 0 / the same. Counts as n + 1 after
        // its length - 2 zeros: 2 "11", 3 "0100", 5 "0110", 6 "0111". A row's first kind: above
        // "0"; after above: literals "1", none "01", full "00"; after full: above "01" (none "00"
        // costs as much: the first kind in the runtime's order, above, is taken); after
        // literals: above "1". Row 0 "00": as above 3 "0" "0100", full 6 "00" "0111", as above
        // 3 "01" "0100"; row 1 "00": as above 3 "0" "0100", literals 2 "1" "11", as above 2 "1"
        // "11" (full 2 would take 4 bits), none 5 "01" "0110"; row 2 "1". Control 00001000
        // 00111010 10000001 00111111 0101101 from the last byte back, each byte's lowest
        // bit first, after the levels 7 7: 0x77 0x5A 0xFC 0x81 0x5C 0x10.
        QTest::newRow("4 bits, every kind of token")
            << 12 << 4
            << QByteArray("\0\0\0\x0F\x0F\x0F\x0F\x0F\x0F\0\0\0\0\0\0\x07\x07\x0F\x0F\0\0\0\0\0"
                          "\0\0\0\x07\x07\x0F\x0F\0\0\0\0\0",
                          36)
            << QByteArray(
                   "\x00\x0F\xFF\xFF\xF0\x00\x00\x07\x7F\xF0\x00\x00\x00\x07\x7F\xF0\x00\x00", 18)
            << QByteArray("\x77\x5A\xFC\x81\x5C\x10", 6);
        // A 5 F: tokens (literals 3: "00" "10" "0100" and 12 bits) cost more than "01" and the
        // 12 bits; the two control bits share the second byte with the levels' F: 0xF2.
        QTest::newRow("4 bits, the two streams sharing a byte")
            << 3 << 4 << QByteArray("\x0A\x05\x0F", 3) << QByteArray("\xA5\xF0", 2)
            << QByteArray("\xA5\xF2", 2);
        // 1 bit: each row's "same as above" (odds 222 of 256 for a 0), then its pixels, coded as
        // ravik_lcd.h says, worked by hand. 1 1 1 1 1 0 1: a new row (range 56609), then contexts
        // 0, 2, 18, 18, 18, 18, 16 (odds 229, 91, 46 four times, 238) put out 110, 0, -, -, -,
        // 010, 0001, the third and last pixel's sums carrying into the bits out (their last 0
        // becomes 1); the end puts out 1: 11010110 0011.
        QTest::newRow("1 bit, one row coded by its neighbours")
            << 7 << 1 << QByteArray("\1\1\1\1\1\0\1", 7) << QByteArray("\xFA", 1)
            << QByteArray("\xD6\x30", 2);
        // Rows 0, 0 (each as the blank row above: 11, then 111) and 1 (a new row, then a 1 in
        // context 0: 1101); the end carries (111111110) and puts out 0. 11111111 00, whose 0 byte
        // is left out: the runtime reads 0 bits past a glyph's bytes.
        QTest::newRow("1 bit, blank rows before ink")
            << 1 << 1 << QByteArray("\0\0\1", 3) << QByteArray("\x20", 1) << QByteArray("\xFF", 1);
    }

    void glyphBitmapsHandCoded() {
        QFETCH(int, width);
        QFETCH(int, bpp);
        QFETCH(QByteArray, levels);
        QFETCH(QByteArray, packed);
        QFETCH(QByteArray, compressed);
        const auto* data = reinterpret_cast<const std::uint8_t*>(levels.constData());
        const std::span<const std::uint8_t> span(data, std::size_t(levels.size()));
        const auto bytes = [](const std::vector<std::uint8_t>& v) {
            return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
        };
        QCOMPARE(bytes(packLevels(span, bpp)), packed);
        QCOMPARE(bytes(compressLevels(span, width, int(levels.size()) / width, bpp)), compressed);
    }

    void hex2_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("zero") << 0 << QByteArray("0x00");
        QTest::newRow("one digit") << 9 << QByteArray("0x09");
        QTest::newRow("ten") << 10 << QByteArray("0x0A");
        QTest::newRow("sixteen") << 16 << QByteArray("0x10");
        QTest::newRow("upper case") << 171 << QByteArray("0xAB");
        QTest::newRow("largest") << 255 << QByteArray("0xFF");
    }
    void hex2() {
        QFETCH(int, value);
        QFETCH(QByteArray, text);
        QCOMPARE(QByteArray::fromStdString(ravik::hex2(static_cast<std::uint8_t>(value))), text);
    }

    void textShape() {
        const std::string text = formatCArrayText(numberedFrame());
        QCOMPARE(text.size(), std::size_t{50477});
        QVERIFY(text.ends_with(",\r\n"));
        const auto lines = splitLines(text);
        QCOMPARE(lines.size(), std::size_t{616});
        for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
            QCOMPARE(lines[i].size(), std::size_t{80}); // 82 with its CR LF
        }
        QCOMPARE(lines.back().size(), std::size_t{45}); // nine values
        QVERIFY(text.find('\n') == 81 && text[80] == '\r');
        // Nothing but items and line ends.
        for (const std::string& line : lines) {
            for (std::size_t at = 0; at < line.size(); at += 5) {
                const std::string item = line.substr(at, 5);
                QVERIFY2(item.size() == 5 && item.starts_with("0x") && item[4] == ',',
                         item.c_str());
            }
        }
    }

    void textCarriesEveryFrameByteInOrder() {
        const FrameBuffer frame = numberedFrame();
        const auto lines = splitLines(formatCArrayText(frame));
        std::size_t index = 0;
        for (const std::string& line : lines) {
            for (std::size_t at = 0; at < line.size(); at += 5) {
                const int value = std::stoi(line.substr(at + 2, 2), nullptr, 16);
                QCOMPARE(value, int{frame[index]});
                ++index;
            }
        }
        QCOMPARE(index, std::size_t{9849}); // the spare byte stays out
        QCOMPARE(lines.front().substr(0, 15), std::string("0x03,0x0A,0x11,"));
    }

    void workedPairStartsTheText() {
        FrameBuffer frame;
        frame[0] = 0x13;
        frame[1] = 0x57;
        frame[2] = 0x9B;
        const std::string text = formatCArrayText(frame);
        QVERIFY(text.starts_with("0x13,0x57,0x9B,0x00,"));
    }

    void zeroFrameIsAllZeroItems() {
        const auto lines = splitLines(formatCArrayText(FrameBuffer{}));
        std::string full;
        for (int i = 0; i < 16; ++i) {
            full += "0x00,";
        }
        QCOMPARE(lines.front(), full);
        QCOMPARE(lines.back(), full.substr(0, 45));
    }

    // A set of three frames: a zero frame between two numbered ones, whose spare byte (0x52)
    // would show if it leaked into the set.
    void frameSetIsEachFrameInTurn() {
        const std::vector<FrameBuffer> set{numberedFrame(), FrameBuffer{}, numberedFrame()};
        const QByteArray bytes = QByteArray::fromStdString(frameBytes(set));
        QCOMPARE(bytes.size(), 3 * 9849);
        QCOMPARE(quint8(bytes[9848]), quint8(9848 * 7 + 3));
        QCOMPARE(bytes.mid(9849, 9849), QByteArray(9849, '\0'));
        QCOMPARE(quint8(bytes[2 * 9849]), quint8(0x03));

        const auto lines = splitLines(formatCArrayText(set));
        QCOMPARE(lines.size(), std::size_t{3 * 616});
        QCOMPARE(lines[615], std::string("0x13,0x1A,0x21,0x28,0x2F,0x36,0x3D,0x44,0x4B,"));
        QCOMPARE(lines[616].substr(0, 10), std::string("0x00,0x00,"));
        QCOMPARE(lines[2 * 616].substr(0, 15), std::string("0x03,0x0A,0x11,"));
        QVERIFY(formatCArrayText(std::span<const FrameBuffer>{}).empty());
    }

    // --- binary file ----------------------------------------------------------------------

    void writesExactlyTheFrame() {
        const FrameBuffer frame = numberedFrame();
        const QString path = dir.filePath(QStringLiteral("frame.bin"));
        QCOMPARE(writeBinaryFile(toFilePath(path), frame), std::nullopt);
        const QByteArray written = readAll(path);
        QCOMPARE(written.size(), 9849);
        QCOMPARE(written, QByteArray::fromStdString(frameBytes(frame)));
    }

    void zeroFrameWritesZeroBytes() {
        const QString path = dir.filePath(QStringLiteral("zero.bin"));
        QCOMPARE(writeBinaryFile(toFilePath(path), FrameBuffer{}), std::nullopt);
        QCOMPARE(readAll(path), QByteArray(9849, '\0'));
    }

    void replacesALongerFile() {
        const QString path = dir.filePath(QStringLiteral("long.bin"));
        QVERIFY(writeAll(path, QByteArray(20000, 'x')));
        QCOMPARE(writeBinaryFile(toFilePath(path), numberedFrame()), std::nullopt);
        QCOMPARE(readAll(path), QByteArray::fromStdString(frameBytes(numberedFrame())));
    }

    void chineseFileName() {
        const QString path = dir.filePath(QStringLiteral(u"液晶 帧.bin"));
        QCOMPARE(writeBinaryFile(toFilePath(path), numberedFrame()), std::nullopt);
        QCOMPARE(readAll(path).size(), 9849);
    }

    void failuresLeaveTargetsAlone_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing folder")
            << QStringLiteral("no/such/folder/f.bin") << QStringLiteral(u"文件夹不存在");
        QTest::newRow("folder of that name")
            << QStringLiteral("taken") << QStringLiteral(u"文件夹");
#ifdef Q_OS_LINUX
        QTest::newRow("full disk")
            << QStringLiteral("/dev/full") << QStringLiteral(u"磁盘空间不足");
#endif
    }
    void failuresLeaveTargetsAlone() {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("taken")));
        const QString path = QDir::isAbsolutePath(target) ? target : dir.filePath(target);
        const QFileInfo before(path);
        const auto failure = writeBinaryFile(toFilePath(path), numberedFrame());
        QVERIFY(failure.has_value());
        QVERIFY2(QString::fromStdString(*failure).contains(reason), failure->c_str());
        const QFileInfo after(path);
        QCOMPARE(after.exists(), before.exists());
        QCOMPARE(after.isDir(), before.isDir());
        QCOMPARE(after.isFile(), before.isFile());
    }

    // Replacing a file keeps who may read it, and writing through a symbolic link replaces the
    // file it points at, leaving the link a link.
    void replacingKeepsTheOldFilesPlace() {
#ifndef Q_OS_UNIX
        QSKIP("Unix permissions and links");
#else
        const QString target = dir.filePath(QStringLiteral("kept.bin"));
        const QString link = dir.filePath(QStringLiteral("link.bin"));
        QVERIFY(writeAll(target, QByteArray("old")));
        const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
        QVERIFY(QFile::setPermissions(target, mode));
        QVERIFY(QFile::link(target, link));
        QCOMPARE(writeBinaryFile(toFilePath(link), numberedFrame()), std::nullopt);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readAll(target), QByteArray::fromStdString(frameBytes(numberedFrame())));
        QCOMPARE(QFile::permissions(target) & 0x7077, mode & 0x7077); // owner, group, others
#endif
    }

    // Several files go in together or not at all.
    void oneFailingOutputWritesNone() {
        const QString first = dir.filePath(QStringLiteral("first.bin"));
        const QString existing = dir.filePath(QStringLiteral("existing.txt"));
        QVERIFY(writeAll(existing, QByteArray("before")));
        const auto failure =
            writeFilesAtomically({{toFilePath(first), "new"},
                                  {toFilePath(existing), "after"},
                                  {toFilePath(dir.filePath(QStringLiteral("no/dir/x"))), {}}});
        QVERIFY(failure.has_value());
        QVERIFY(fromFilePath(failure->path).endsWith(QStringLiteral("no/dir/x")));
        QVERIFY(!QFileInfo::exists(first));
        QCOMPARE(readAll(existing), QByteArray("before"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).filter(QStringLiteral("existing")).size(),
                 1);

        QCOMPARE(
            writeFilesAtomically({{toFilePath(first), "new"}, {toFilePath(existing), "after"}}),
            std::nullopt);
        QCOMPARE(readAll(first), QByteArray("new"));
        QCOMPARE(readAll(existing), QByteArray("after"));
    }

    void readOnlyFolder() {
#ifdef Q_OS_UNIX
        if (::geteuid() == 0) {
            QSKIP("root writes anywhere");
        }
#else
        QSKIP("folder permissions are Unix ones");
#endif
        const QString folder = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/f.bin");
        QVERIFY(writeAll(path, QByteArray("keep")));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const auto failure = writeBinaryFile(toFilePath(path), numberedFrame());
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        QVERIFY(failure.has_value());
        QVERIFY2(QString::fromStdString(*failure).contains(QStringLiteral(u"权限")),
                 failure->c_str());
        QCOMPARE(readAll(path), QByteArray("keep"));
    }

    // A write that fails part-way (here: a 4 KiB file-size limit, in a child process) must not
    // replace the existing file with a truncated one.
    void failedWriteKeepsTheOldFile() {
#ifndef Q_OS_UNIX
        QSKIP("needs fork and setrlimit");
#else
        const QString path = dir.filePath(QStringLiteral("old.bin"));
        const QByteArray old(100, 'o');
        QVERIFY(writeAll(path, old));
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            const auto failure = writeBinaryFile(toFilePath(path), numberedFrame());
            const bool reported =
                failure.has_value() && failure->find("文件超出了允许的大小") != std::string::npos;
            ::_exit(reported ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).filter(QStringLiteral("old.bin")),
                 QStringList{QStringLiteral("old.bin")}); // no temporary file left behind
#endif
    }
};

QTEST_GUILESS_MAIN(ExportTest)
#include "export_test.moc"
