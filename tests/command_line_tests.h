#pragma once

// What the tests of the command line share: running the built program with no display, the
// scratch folder and pictures each suite starts from, and pictures and bytes worked out by hand
// to check the program's outputs against.

#include "codec/frame_buffer.h"
#include "export/binary_file.h"
#include "export/c_array_text.h"
#include "golden_frames.h"
#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"
#include "test_files.h"

#include <QColor>
#include <QDir>
#include <QImageWriter>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace ravik::testing {

using namespace Qt::StringLiterals;

struct Run {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// Runs a program with no display of any kind, then the extra environment given.
inline Run runCommand(const QString& program, const QStringList& arguments,
                      const QStringList& extraEnvironment = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    for (const QString& setting : extraEnvironment) {
        environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    }
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

// An outside tool (ImageMagick and the like), run or played back as tool_recordings.h says.
inline Run runOutsideTool(const QString& program, const QStringList& arguments) {
    const ToolRun done = runTool(program, arguments);
    return {done.exitCode, done.out, QString::fromUtf8(done.err)};
}

inline Run runProgram(const QStringList& arguments) {
    return runCommand(QStringLiteral(RAVIK_EXECUTABLE), arguments);
}

// The shared objects the program opened, as glibc's dynamic loader reports them under
// LD_DEBUG=files ("file=libQt6Core.so.6 [0];  needed by …"); empty where it reports nothing.
inline QStringList openedLibraries(const QString& loaderReport) {
    QStringList opened;
    static const QRegularExpression file(QStringLiteral(R"(\bfile=(\S+)\s+\[)"));
    for (const auto& match : file.globalMatch(loaderReport)) {
        opened << match.captured(1);
    }
    return opened;
}

// A frame set whose preview pixels can be told by hand: frame 0 repeats the worked pair's bytes
// 0x13 0x57 0x9B, so even pixels show (0x10, 0x30, 0x50) and odd ones (0x70, 0x90, 0xB0); in
// frame 1 every byte of row y is (y mod 16) × 0x11, a grey of (y mod 16) × 16.
inline QByteArray handBuiltFrames(int count) {
    QByteArray bytes;
    for (int i = 0; i < kFrameSize; ++i) {
        bytes.append(char("\x13\x57\x9B"[i % 3]));
    }
    for (int y = 0; count > 1 && y < kFrameHeight; ++y) {
        bytes.append(QByteArray(kRowStride, char(y % 16 * 0x11)));
    }
    return bytes;
}

inline QRgb handBuiltPixel(int frame, int x, int y) {
    if (frame == 0) {
        return x % 2 == 0 ? qRgb(0x10, 0x30, 0x50) : qRgb(0x70, 0x90, 0xB0);
    }
    const int grey = y % 16 * 16;
    return qRgb(grey, grey, grey);
}

// ImageMagick, the other encoder the frame-set and batch tests check against.
inline const QString kImageMagick = QStringLiteral("/usr/bin/convert");

// A C program that includes the header and checks it against the .bin named on its command
// line: the size macros, sizeof the array, every byte, and for a frame set the first delay.
inline constexpr char kHeaderCheck[] = R"(#include HEADER
#include <stdio.h>
#include <string.h>
#define CAT(a, b) a##b
#define M(name, suffix) CAT(name, suffix)
static unsigned char file[sizeof NAME + 1];
int main(int argc, char** argv) {
    FILE* in = argc > 1 ? fopen(argv[1], "rb") : NULL;
    if (in == NULL) return 2;
    size_t read = fread(file, 1, sizeof file, in);
    fclose(in);
    if (M(NAME, _WIDTH) != 98 || M(NAME, _HEIGHT) != 67 || M(NAME, _SIZE) != 9849) return 3;
    if (sizeof NAME != FRAMES * 9849 || read != sizeof NAME) return 4;
#ifdef FIRST_DELAY
    if (M(NAME, _DELAYS_MS)[0] != FIRST_DELAY) return 5;
#endif
    return memcmp(file, NAME, sizeof NAME) == 0 ? 0 : 6;
}
)";

inline QImage colourful(int width, int height) {
    QImage picture(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.setPixel(x, y, qRgba(x * 2, y * 3, (x ^ y) & 0xFF, 255));
        }
    }
    return picture;
}

inline bool savePicture(const QImage& picture, const QString& path) {
    return QImageWriter(path).write(picture);
}

// The bytes a C text names, in order.
inline QByteArray bytesOfCText(const QByteArray& text) {
    QByteArray bytes;
    static const QRegularExpression item(QStringLiteral("0x([0-9A-F]{2}),"));
    for (const auto& match : item.globalMatch(QString::fromLatin1(text))) {
        bytes.append(char(match.captured(1).toInt(nullptr, 16)));
    }
    return bytes;
}

// The frame exactly as the window builds it from the same picture and background.
inline FrameBuffer windowFrame(const QString& picturePath, const QColor& background) {
    const ColorValue color = RGB(background.red(), background.green(), background.blue());
    return convertPicture(LoadPicture(picturePath).picture, {.background = color}).frame;
}

// --- Pictures of any size -------------------------------------------------------------------

// A 7 × 5 picture whose every pixel has its own high nibbles: red x + 1, green y + 2, blue
// (x + 2y) mod 16, each with a low nibble the packing drops.
inline constexpr int kSheetWidth = 7;
inline constexpr int kSheetHeight = 5;
inline QRgb sheetPixel(int x, int y) {
    return qRgb((x + 1) << 4 | 0x9, (y + 2) << 4 | 0x6, ((x + 2 * y) % 16) << 4 | 0xC);
}

// The picture written as a binary PPM by hand, so no encoder of ours or Qt's is involved.
inline QByteArray sheetPpm() {
    QByteArray ppm = "P6\n" + QByteArray::number(kSheetWidth) + " " +
                     QByteArray::number(kSheetHeight) + "\n255\n";
    for (int y = 0; y < kSheetHeight; ++y) {
        for (int x = 0; x < kSheetWidth; ++x) {
            const QRgb c = sheetPixel(x, y);
            ppm.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
        }
    }
    return ppm;
}

// Nibbles into bytes, high nibble first, a lone last nibble padded with 0: the panel's stream.
inline QByteArray nibbleBytes(const QList<int>& nibbles) {
    QByteArray bytes;
    for (qsizetype i = 0; i < nibbles.size(); i += 2) {
        bytes.append(char(nibbles[i] << 4 | (i + 1 < nibbles.size() ? nibbles[i + 1] : 0)));
    }
    return bytes;
}

// The sheet (or another picture, given its pixels) cut to `crop`, turned clockwise by `degrees`,
// then flipped, by index arithmetic: the pixel of the source that lands at (u, v) of the result,
// and the result's size.
struct Shaped {
    int width;
    int height;
    QRgb pixel(int u, int v) const { return source(u, v); }
    std::function<QRgb(int, int)> source;
};
inline Shaped shapedSheet(QRect crop, int degrees, const QString& flip,
                          std::function<QRgb(int, int)> pixelAt = sheetPixel) {
    const bool quarter = degrees == 90 || degrees == 270;
    const int width = quarter ? crop.height() : crop.width();
    const int height = quarter ? crop.width() : crop.height();
    return {width, height, [=](int u, int v) {
                if (flip == u"horizontal"_s) {
                    u = width - 1 - u;
                } else if (flip == u"vertical"_s) {
                    v = height - 1 - v;
                }
                int x = u;
                int y = v;
                if (degrees == 90) {
                    x = v, y = crop.height() - 1 - u;
                } else if (degrees == 180) {
                    x = crop.width() - 1 - u, y = crop.height() - 1 - v;
                } else if (degrees == 270) {
                    x = crop.width() - 1 - v, y = u;
                }
                return pixelAt(crop.x() + x, crop.y() + y);
            }};
}

// The packed bytes of the tiles (tileW × tileH, reading order) of a shaped sheet.
inline QByteArray expectedTiles(const Shaped& shaped, int tileWidth, int tileHeight) {
    QByteArray bytes;
    for (int ty = 0; ty + tileHeight <= shaped.height; ty += tileHeight) {
        for (int tx = 0; tx + tileWidth <= shaped.width; tx += tileWidth) {
            QList<int> nibbles;
            for (int v = 0; v < tileHeight; ++v) {
                for (int u = 0; u < tileWidth; ++u) {
                    const QRgb c = shaped.pixel(tx + u, ty + v);
                    nibbles << qRed(c) / 16 << qGreen(c) / 16 << qBlue(c) / 16;
                }
            }
            bytes += nibbleBytes(nibbles);
        }
    }
    return bytes;
}

// A program that draws tile 1 of the header's tiles with its mask at (3, 5) of a frame of 0x0F
// bytes and checks a drawn pixel (DRAWN_X, DRAWN_Y of the tile, colour DRAWN_RGB) and an undrawn
// one (CLEAR_X, CLEAR_Y, still CLEAR_RGB) through the runtime's own reader.
inline constexpr char kDrawCheck[] = R"(#include "sprites.h"
#include "ravik_lcd.h"
#include <string.h>
static uint8_t frame[RAVIK_LCD_FRAME_SIZE];
int main(void) {
    memset(frame, 0x0F, sizeof frame);
    if (sprites_COUNT != 4 || sprites_WIDTH != 3 || sprites_HEIGHT != 2) return 2;
    if (sizeof sprites[1] != sprites_SIZE || sizeof sprites_MASK[1] != sprites_MASK_SIZE) return 3;
    ravik_lcd_draw(frame, 3, 5, sprites[1], sprites_WIDTH, sprites_HEIGHT, sprites_MASK[1]);
    if (ravik_lcd_get_pixel(frame, 3 + DRAWN_X, 5 + DRAWN_Y) != DRAWN_RGB) return 4;
    if (ravik_lcd_get_pixel(frame, 3 + CLEAR_X, 5 + CLEAR_Y) != CLEAR_RGB) return 5;
    return 0;
}
)";

// The folder every suite writes in, with two pictures: "图片 一.png" (120 × 90, colourful) and
// "bands.png" (98 × 67 of band(y) rows).
class Scratch {
protected:
    QTemporaryDir dir;
    QString picture;
    QString bands;

    QString path(const QString& name) const { return dir.filePath(name); }
    bool makeScratch() {
        picture = path(u"图片 一.png"_s);
        bands = path(u"bands.png"_s);
        return dir.isValid() && savePicture(colourful(120, 90), picture) &&
               savePicture(bandPicture(98, 67, band), bands);
    }
};

} // namespace ravik::testing
