// Compression for flash against the firmware runtime's decoder: token bytes worked out by hand from
// the format, and for many pictures and animations the runtime (compiled as C99 with the
// sanitizers) unpacking and streaming exactly the codec's packed bytes, in-process and from the
// emitted C source compiled on its own. Corrupt data must never make the decoder read or write
// outside its buffers (every buffer here is exactly as long as it must be, so ASan sees one byte
// too far).

#include "codec/compression.h"
#include "codec/packed_picture.h"
#include "export/asset_source.h"
#include "runtime/ravik_lcd.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace ravik;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Pixels = std::vector<ColorValue>;

// A colour from its three nibbles.
ColorValue nib(int r, int g, int b) {
    return RGB(r << 4, g << 4, b << 4);
}

Bytes bytesOf(std::initializer_list<int> values) {
    Bytes bytes;
    for (const int value : values) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

// Pictures of many kinds, each generated from a formula or read from the stored sample.
Pixels flat(int w, int h, ColorValue c) {
    return Pixels(static_cast<std::size_t>(w * h), c);
}

Pixels gradient(int w, int h) {
    Pixels p;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p.push_back(RGB(x * 255 / std::max(1, w - 1), y * 255 / std::max(1, h - 1), 128));
        }
    }
    return p;
}

Pixels noise(int w, int h, unsigned seed) {
    std::mt19937 random(seed);
    Pixels p(static_cast<std::size_t>(w * h));
    for (ColorValue& c : p) {
        c = random() & 0xFFFFFF;
    }
    return p;
}

// Smooth shading with a little grain, as a photograph has.
Pixels photoLike(int w, int h) {
    std::mt19937 random(7);
    Pixels p;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int grain = static_cast<int>(random() % 24);
            p.push_back(RGB((x * 3 + y + grain) % 256, (x * y / 7 + grain) % 256,
                            (200 - y * 2 + grain) & 0xFF));
        }
    }
    return p;
}

// A w x h tile of colours repeated over the picture: copies from a tile back and a row up.
Pixels tiles(int w, int h, int tileWidth, int tileHeight) {
    Pixels p;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int k = (y % tileHeight) * tileWidth + x % tileWidth;
            p.push_back(nib(k * 5 % 16, k * 3 % 16, k % 16));
        }
    }
    return p;
}

// Columns of colours, every row alike: each row is the one above.
Pixels stripes(int w, int h) {
    Pixels p;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p.push_back(nib(x % 16, x / 16 % 16, (x * 7) % 16));
        }
    }
    return p;
}

Pixels rowRepeated(const Pixels& row, int h) {
    Pixels p;
    for (int y = 0; y < h; ++y) {
        p.insert(p.end(), row.begin(), row.end());
    }
    return p;
}

// A packed width x height picture whose first `count` pixels are `colour`, the rest black.
Bytes startsWith(int width, int height, int count, ColorValue colour) {
    Pixels p(static_cast<std::size_t>(width * height), nib(0, 0, 0));
    std::fill_n(p.begin(), count, colour);
    return packPixels(p, width, height);
}

// A round icon on a transparent background: the mask draws the disc.
std::vector<bool> disc(int w, int h) {
    std::vector<bool> inside;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int dx = 2 * x + 1 - w, dy = 2 * y + 1 - h;
            inside.push_back(dx * dx + dy * dy <= w * w);
        }
    }
    return inside;
}

Pixels icon(int w, int h) {
    const std::vector<bool> inside = disc(w, h);
    Pixels p;
    for (std::size_t i = 0; i < inside.size(); ++i) {
        p.push_back(inside[i] ? (i % 7 == 0 ? RGB(255, 255, 255) : RGB(0, 120, 255))
                              : RGB(0, 0, 0));
    }
    return p;
}

Pixels testCard() {
    const QImage card = QImage(QStringLiteral(RAVIK_SAMPLES_DIR "/test-card.png"))
                            .convertToFormat(QImage::Format_RGB32);
    Pixels p;
    for (int y = 0; y < card.height(); ++y) {
        for (int x = 0; x < card.width(); ++x) {
            const QRgb c = card.pixel(x, y);
            p.push_back(RGB(qRed(c), qGreen(c), qBlue(c)));
        }
    }
    return p;
}

// An animation's frames: a dot moving over a flat background, frames that change everywhere,
// and frames that repeat.
std::vector<Pixels> movingDot(int w, int h, int frames) {
    std::vector<Pixels> result;
    for (int f = 0; f < frames; ++f) {
        Pixels p = flat(w, h, RGB(16, 32, 48));
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 4; ++x) {
                const int px = (f * 5 + x) % w, py = (f * 2 + y) % h;
                p[static_cast<std::size_t>(py * w + px)] = nib(15, x, y);
            }
        }
        result.push_back(p);
    }
    return result;
}

std::vector<Pixels> allChanging(int w, int h, int frames) {
    std::vector<Pixels> result;
    for (int f = 0; f < frames; ++f) {
        result.push_back(noise(w, h, 100 + unsigned(f)));
    }
    return result;
}

std::vector<Pixels> identical(int w, int h, int frames) {
    return std::vector<Pixels>(static_cast<std::size_t>(frames), gradient(w, h));
}

std::vector<Bytes> packAll(const std::vector<Pixels>& pictures, int w, int h) {
    std::vector<Bytes> packed;
    for (const Pixels& p : pictures) {
        packed.push_back(packPixels(p, w, h));
    }
    return packed;
}

// The runtime's view of stored pictures; the vectors must outlive it.
ravik_lcd_asset assetOf(const StoredPictures& s) {
    ravik_lcd_asset a{};
    a.width = static_cast<std::uint16_t>(s.width);
    a.height = static_cast<std::uint16_t>(s.height);
    a.count = static_cast<std::uint16_t>(s.offsets.size() - 1);
    a.size = static_cast<std::uint32_t>(s.size);
    a.stored = static_cast<std::uint32_t>(s.data.size());
    a.delta = s.delta ? 1 : 0;
    a.compression = static_cast<std::uint8_t>(s.compression);
    a.data = s.data.data();
    a.offsets = s.offsets.data();
    return a;
}

void collect(const std::uint8_t* bytes, std::uint16_t n, void* ctx) {
    QVERIFY(n >= 1 && n <= RAVIK_LCD_STREAM_PIECE);
    auto* out = static_cast<Bytes*>(ctx);
    out->insert(out->end(), bytes, bytes + n);
}

Bytes streamed(const ravik_lcd_asset& asset, std::uint16_t index) {
    Bytes out;
    ravik_lcd_stream(&asset, index, collect, &out);
    return out;
}

// Copying tokens written from the format (ravik_lcd.h), for pictures whose pixels the test makes
// itself: literals of up to 64 pixels, copies, "above", skips and near pixels.
Bytes lzLiteral(const Pixels& pixels) {
    Bytes out;
    for (std::size_t at = 0; at < pixels.size(); at += 64) {
        const std::size_t n = std::min<std::size_t>(64, pixels.size() - at);
        const Pixels part(pixels.begin() + std::ptrdiff_t(at),
                          pixels.begin() + std::ptrdiff_t(at + n));
        out.push_back(static_cast<std::uint8_t>(n - 1));
        const Bytes packed = packPixels(part, int(n), 1);
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

// A copy of `count` (2 to 4096) pixels from `distance` (1 to 256) back: short when it can be.
Bytes lzCopy(int distance, int count) {
    if (count <= 33) {
        return bytesOf({0xC0 | (count - 2), distance - 1});
    }
    return bytesOf({0xE0 | (count - 1) >> 8, (count - 1) & 0xFF, distance - 1});
}

Bytes lzSkip(int count) {
    return bytesOf({0xF0 | (count - 1) >> 8, (count - 1) & 0xFF});
}

// Near pixels: each code GGGRRRBB moves green by GGG - 4, red by that and RRR - 4, blue by that
// and BB - 2 from the pixel before (black before pixel 0); `pixels` gets what they make.
Bytes lzNear(const Bytes& codes, Pixels& pixels) {
    Bytes out{static_cast<std::uint8_t>(0x40 | (codes.size() - 1))};
    for (const std::uint8_t code : codes) {
        const ColorValue before = pixels.empty() ? nib(0, 0, 0) : pixels.back();
        const int green = code >> 5, red = code >> 2 & 7, blue = code & 3;
        const int g = (greenOf(before) >> 4) + green - 4;
        const int r = (redOf(before) >> 4) + green - 4 + red - 4;
        const int b = (blueOf(before) >> 4) + green - 4 + blue - 2;
        pixels.push_back(nib((r + 32) % 16, (g + 32) % 16, (b + 32) % 16));
        out.push_back(code);
    }
    return out;
}

// Distinct colours for pixels `from` to `from + count - 1`.
Pixels numbered(int from, int count) {
    Pixels p;
    for (int i = from; i < from + count; ++i) {
        p.push_back(nib(i % 16, i / 16 % 16, (i * 5 + 3) % 16));
    }
    return p;
}

// What write() is handed, piece after piece, and whether every piece was 1 to
// RAVIK_LCD_STREAM_PIECE bytes long.
struct Pieces {
    Bytes bytes;
    int count = 0;
    bool wrongLength = false;
};

void collectPieces(const std::uint8_t* bytes, std::uint16_t n, void* ctx) {
    auto* pieces = static_cast<Pieces*>(ctx);
    pieces->wrongLength = pieces->wrongLength || n < 1 || n > RAVIK_LCD_STREAM_PIECE;
    pieces->bytes.insert(pieces->bytes.end(), bytes, bytes + n);
    ++pieces->count;
}

// Every picture unpacked in playback order (into one buffer of exactly `size` bytes, so a delta
// frame lands on the one before) and, where it may be, streamed; each must be the codec's bytes.
void checkDecodes(const StoredPictures& stored, const std::vector<Bytes>& packed) {
    const ravik_lcd_asset asset = assetOf(stored);
    Bytes frame(stored.size, 0xA5); // frame 0 of a delta animation overwrites anything
    for (std::size_t i = 0; i < packed.size(); ++i) {
        ravik_lcd_unpack(&asset, static_cast<std::uint16_t>(i), frame.data());
        QVERIFY2(frame == packed[i], qPrintable(QStringLiteral("unpacked picture %1").arg(i)));
        if (!stored.delta || i == 0) {
            QVERIFY2(streamed(asset, static_cast<std::uint16_t>(i)) == packed[i],
                     qPrintable(QStringLiteral("streamed picture %1").arg(i)));
        } else {
            QVERIFY(streamed(asset, static_cast<std::uint16_t>(i)).empty());
        }
    }
}

void writeFile(const QString& path, const std::string& text) {
    std::ofstream file(path.toStdString(), std::ios::binary);
    file << text;
}

struct EmittedCase {
    std::string name;
    int width, height;
    std::vector<Bytes> packed;
    AssetData asset;
};

} // namespace

Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(Pixels)
Q_DECLARE_METATYPE(std::vector<Pixels>)
Q_DECLARE_METATYPE(Compression)

class CompressionTest : public QObject {
    Q_OBJECT
private slots:
    // Token bytes worked out from the format by hand.
    void tokens_data() {
        QTest::addColumn<Pixels>("pixels");
        QTest::addColumn<int>("width");
        QTest::addColumn<Bytes>("tokens");
        const ColorValue abc = nib(0xA, 0xB, 0xC);
        QTest::newRow("one run") << Pixels(4, abc) << 4 << bytesOf({0x80, 0x3A, 0xBC});
        QTest::newRow("1 x 1 is a literal of one")
            << Pixels{nib(1, 2, 3)} << 1 << bytesOf({0x00, 0x12, 0x30});
        QTest::newRow("literal of three, odd: last low nibble 0")
            << Pixels{nib(1, 2, 3), nib(4, 5, 6), nib(7, 8, 9)} << 3
            << bytesOf({0x02, 0x12, 0x34, 0x56, 0x78, 0x90});
        QTest::newRow("literal, run, literal")
            << Pixels{nib(1, 2, 3), abc, abc, abc, nib(4, 5, 6), nib(7, 8, 9)} << 6
            << bytesOf({0x00, 0x12, 0x30, 0x80, 0x2A, 0xBC, 0x01, 0x45, 0x67, 0x89});
        QTest::newRow("two alike stay in the literal")
            << Pixels{abc, abc, nib(0, 0, 1)} << 3 << bytesOf({0x02, 0xAB, 0xCA, 0xBC, 0x00, 0x10});
        // 1030 pixels: a run holds 1024, so 1024 + 6 (0x3FF = 1023, 0x005 = 5).
        QTest::newRow("run longer than a token") << Pixels(1030, RGB(0xF0, 0, 0)) << 1030
                                                 << bytesOf({0xBF, 0xFF, 0x00, 0x80, 0x5F, 0x00});
    }
    void tokens() {
        QFETCH(Pixels, pixels);
        QFETCH(int, width);
        QFETCH(Bytes, tokens);
        const int height = static_cast<int>(pixels.size()) / width;
        QCOMPARE(rleTokens(packPixels(pixels, width, height), width, height), tokens);
    }

    void longLiteralSplits() {
        // 130 different pixels: a literal of 128 (0x7F) then one of 2 (0x01).
        Pixels pixels;
        for (int i = 0; i < 130; ++i) {
            pixels.push_back(nib(i & 15, i >> 4, (i & 1) * 15));
        }
        const Bytes packed = packPixels(pixels, 130, 1);
        const Bytes tokens = rleTokens(packed, 130, 1);
        QCOMPARE(tokens.size(), std::size_t(1 + 192 + 1 + 3));
        QCOMPARE(tokens[0], std::uint8_t(0x7F));
        QCOMPARE(tokens[193], std::uint8_t(0x01));
        // Both literals are the packing's own bytes.
        QVERIFY(std::equal(tokens.begin() + 1, tokens.begin() + 193, packed.begin()));
        QVERIFY(std::equal(tokens.begin() + 194, tokens.end(), packed.begin() + 192));
    }

    void deltaTokensByHand_data() {
        QTest::addColumn<Pixels>("previous");
        QTest::addColumn<Pixels>("frame");
        QTest::addColumn<Bytes>("tokens");
        const ColorValue o = nib(0, 0, 0), x = nib(1, 2, 3);
        QTest::newRow("identical frames: nothing") << Pixels(8, o) << Pixels(8, o) << Bytes{};
        QTest::newRow("one change after a gap: skip 3, literal of 1, nothing after")
            << Pixels(8, o) << Pixels{o, o, o, x, o, o, o, o}
            << bytesOf({0xC0, 0x02, 0x00, 0x12, 0x30});
        QTest::newRow("a gap of one stays in the span")
            << Pixels(6, o) << Pixels{x, o, nib(4, 5, 6), o, o, o}
            << bytesOf({0x02, 0x12, 0x30, 0x00, 0x45, 0x60});
        QTest::newRow("run inside a change") << Pixels(8, x) << Pixels{x, x, o, o, o, o, x, x}
                                             << bytesOf({0xC0, 0x01, 0x80, 0x30, 0x00});
    }
    void deltaTokensByHand() {
        QFETCH(Pixels, previous);
        QFETCH(Pixels, frame);
        QFETCH(Bytes, tokens);
        const int w = static_cast<int>(frame.size());
        QCOMPARE(deltaTokens(packPixels(previous, w, 1), packPixels(frame, w, 1), w, 1, true),
                 tokens);
    }

    // The copying form's bytes worked out by hand: the cheapest tokens for each picture.
    void copyingTokensByHand_data() {
        QTest::addColumn<Pixels>("previous"); // empty: a whole picture
        QTest::addColumn<Pixels>("pixels");
        QTest::addColumn<int>("width");
        QTest::addColumn<Bytes>("tokens");
        const ColorValue a = nib(8, 0, 8), b = nib(0, 8, 0), c = nib(8, 8, 8), o = nib(0, 0, 0);
        // A literal of one (3 bytes) and a copy of 3 from 1 back (0xC0 | 3 - 2, 1 - 1).
        QTest::newRow("run: a literal, then a copy from the pixel before")
            << Pixels{} << Pixels(4, a) << 4 << bytesOf({0x00, 0x80, 0x80, 0xC1, 0x00});
        // 1,2,3 against black: green +2 (GGG 6), red +1 = 2 - 1 (RRR 3), blue +3 = 2 + 1 (BB 3):
        // 110 011 11. 2,3,4 against it: green +1 (5), red +1 = 1 + 0 (4), blue 1 + 0 (2).
        QTest::newRow("near pixels, a byte each")
            << Pixels{} << Pixels{nib(1, 2, 3), nib(2, 3, 4)} << 2 << bytesOf({0x41, 0xCF, 0xB2});
        QTest::newRow("second row is the row above")
            << Pixels{} << Pixels{a, b, c, a, b, c} << 3
            << bytesOf({0x02, 0x80, 0x80, 0x80, 0x88, 0x80, 0x82});
        QTest::newRow("a pattern repeats from two back")
            << Pixels{} << Pixels{a, b, a, b, a, b} << 6
            << bytesOf({0x01, 0x80, 0x80, 0x80, 0xC2, 0x01});
        // 99 = 0x063 - 1 in a long copy's twelve bits.
        QTest::newRow("a long copy")
            << Pixels{} << Pixels(100, a) << 100 << bytesOf({0x00, 0x80, 0x80, 0xE0, 0x62, 0x00});
        QTest::newRow("black after the last colour is left out")
            << Pixels{} << Pixels{a, o, o, o, o} << 5 << bytesOf({0x00, 0x80, 0x80});
        QTest::newRow("delta frame: skip 3, a literal, nothing after")
            << Pixels(8, o) << Pixels{o, o, o, a, o, o, o, o} << 8
            << bytesOf({0xF0, 0x02, 0x00, 0x80, 0x80});
        QTest::newRow("delta frame: a copy reads the new frame")
            << Pixels(6, b) << Pixels{a, a, a, a, b, b} << 6
            << bytesOf({0x00, 0x80, 0x80, 0xC1, 0x00});
    }
    void copyingTokensByHand() {
        QFETCH(Pixels, previous);
        QFETCH(Pixels, pixels);
        QFETCH(int, width);
        QFETCH(Bytes, tokens);
        const int height = static_cast<int>(pixels.size()) / width;
        const Bytes packed = packPixels(pixels, width, height);
        QCOMPARE(previous.empty()
                     ? lzTokens(packed, width, height)
                     : lzDeltaTokens(packPixels(previous, width, height), packed, width, height),
                 tokens);
    }

    // Copying tokens written by hand over pictures the test makes, against the pixels meant:
    // unpacked, and streamed in pieces through the ring of the last two display rows (294 bytes),
    // where copies, near pixels and black go on across the ring's end and the pieces' ends, from
    // either half of a byte. The stream hands over every byte, in order, in pieces of 1 to
    // RAVIK_LCD_STREAM_PIECE bytes.
    void handWrittenCopyingTokens_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<Bytes>("tokens");
        QTest::addColumn<Pixels>("pixels"); // what the tokens make; black after them

        // 197 pixels, then 196 copied from 196 back: from pixel 197 on, a low nibble, the
        // copy's first source nibble lies in the very byte it completes (294 bytes back).
        {
            Pixels p = numbered(0, 197);
            Bytes t = lzLiteral(p);
            const Bytes copy = lzCopy(196, 196);
            t.insert(t.end(), copy.begin(), copy.end());
            for (int i = 197; i < 393; ++i) {
                p.push_back(p[std::size_t(i - 196)]);
            }
            QTest::newRow("copy from 196 back on a low nibble") << 197 << 2 << t << p;
        }
        // One pixel, then a run of 999 (a copy from 1 back) around the ring three times.
        {
            Bytes t = lzLiteral(Pixels{nib(12, 5, 9)});
            const Bytes run = lzCopy(1, 999);
            t.insert(t.end(), run.begin(), run.end());
            QTest::newRow("run around the ring") << 1000 << 1 << t << Pixels(1000, nib(12, 5, 9));
        }
        // Seven pixels repeated, by copies of 33 from 7 back (an odd distance: each copy starts
        // on the other half of a byte from its source).
        {
            Pixels p = numbered(40, 7);
            Bytes t = lzLiteral(p);
            for (int k = 0; k < 12; ++k) {
                const Bytes copy = lzCopy(7, 33);
                t.insert(t.end(), copy.begin(), copy.end());
            }
            for (std::size_t i = 7; i < 7 + 12 * 33; ++i) {
                p.push_back(p[i % 7]);
            }
            QTest::newRow("short copies from 7 back") << 101 << 4 << t << p;
        }
        // One pixel, 320 near pixels (five tokens) across pieces and the ring's end, then an
        // "above" of 64 (100 back) and a long copy from 255 back... which is past the history:
        // the tokens end there, the rest black.
        {
            Pixels p = numbered(3, 1);
            Bytes t = lzLiteral(p);
            for (int k = 0; k < 5; ++k) {
                Bytes codes;
                for (int i = 0; i < 64; ++i) {
                    codes.push_back(static_cast<std::uint8_t>((k * 64 + i) * 37 % 256));
                }
                const Bytes near = lzNear(codes, p);
                t.insert(t.end(), near.begin(), near.end());
            }
            t.push_back(0x80 | 63);
            for (int i = 0; i < 64; ++i) {
                p.push_back(p[p.size() - 100]);
            }
            const Bytes tooFar = lzCopy(255, 40);
            t.insert(t.end(), tooFar.begin(), tooFar.end());
            QTest::newRow("near pixels across the ring, then above") << 100 << 5 << t << p;
        }
        // Near pixels as the first token start from black.
        {
            Pixels p;
            const Bytes t = lzNear(bytesOf({0x9F, 0x00, 0xFF}), p);
            QTest::newRow("near pixels from black") << 3 << 1 << t << p;
        }
        // A literal, a skip of 300 (black in a whole picture) across the ring's end from a low
        // nibble, and a literal after it.
        {
            Pixels p = numbered(7, 5);
            Bytes t = lzLiteral(p);
            const Bytes skip = lzSkip(300);
            t.insert(t.end(), skip.begin(), skip.end());
            p.insert(p.end(), 300, nib(0, 0, 0));
            const Pixels after = numbered(90, 3);
            const Bytes literal = lzLiteral(after);
            t.insert(t.end(), literal.begin(), literal.end());
            p.insert(p.end(), after.begin(), after.end());
            QTest::newRow("skip across the ring is black") << 11 << 29 << t << p;
        }
    }
    void handWrittenCopyingTokens() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(Bytes, tokens);
        QFETCH(Pixels, pixels);
        Pixels whole(std::size_t(width) * std::size_t(height), nib(0, 0, 0));
        QVERIFY(pixels.size() <= whole.size());
        std::copy(pixels.begin(), pixels.end(), whole.begin());
        const Bytes expected = packPixels(whole, width, height);
        QVERIFY(tokens.size() != expected.size()); // else it would be read as raw bytes
        StoredPictures stored;
        stored.width = width;
        stored.height = height;
        stored.size = expected.size();
        stored.compression = Compression::Lz;
        stored.data = tokens;
        stored.offsets = {0, std::uint32_t(tokens.size())};
        const ravik_lcd_asset asset = assetOf(stored);
        Bytes out(expected.size(), 0x5A);
        ravik_lcd_unpack(&asset, 0, out.data());
        QCOMPARE(out, expected);
        Pieces pieces;
        ravik_lcd_stream(&asset, 0, collectPieces, &pieces);
        QVERIFY(!pieces.wrongLength);
        QVERIFY(pieces.count >=
                int((expected.size() + RAVIK_LCD_STREAM_PIECE - 1) / RAVIK_LCD_STREAM_PIECE));
        QCOMPARE(pieces.bytes, expected);
    }

    // Copies reach two rows of the display back and no further: in rows of distinct colours, each
    // the row above, the second row is one long copy (3 bytes) from 196 back at 196 pixels wide;
    // at 197 both rows would be literals (n pixels in ceil(n / 64) literals: that many bytes and
    // ceil(3n / 2), 598), more than the raw 591 bytes that are stored instead.
    void historyLimit_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("bytes");
        QTest::newRow("196 wide: the second row is a copy from 196 back") << 196 << 4 + 294 + 3;
        QTest::newRow("197 wide: literals, no smaller than raw") << 197 << 591;
    }
    void historyLimit() {
        QFETCH(int, width);
        QFETCH(int, bytes);
        QCOMPARE(RAVIK_LCD_HISTORY_PIXELS, int(kHistoryPixels));
        QCOMPARE(RAVIK_LCD_HISTORY_SIZE, RAVIK_LCD_HISTORY_PIXELS * 3 / 2);
        const std::vector<Bytes> packed{packPixels(stripes(width, 2), width, 2)};
        const StoredPictures stored = storePictures(packed, width, 2, Compression::Lz, false);
        QCOMPARE(int(stored.data.size()), bytes);
        checkDecodes(stored, packed);
    }

    // `auto` never stores more than runs and literals or copies alone, and decodes.
    void autoPicksTheSmaller_data() {
        QTest::addColumn<std::vector<Pixels>>("frames");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("delta");
        // A row of one colour is a 3-byte run; as copies, a literal and a long copy, 6.
        QTest::newRow("colour bars down: runs win")
            << std::vector<Pixels>{gradient(1, 60)} << 1 << 60 << false;
        QTest::newRow("photo-like: copies and near pixels win")
            << std::vector<Pixels>{photoLike(98, 67)} << 98 << 67 << false;
        QTest::newRow("moving dot, delta") << movingDot(33, 17, 6) << 33 << 17 << true;
        QTest::newRow("flat frames changing everywhere, delta")
            << allChanging(20, 11, 4) << 20 << 11 << true;
    }
    void autoPicksTheSmaller() {
        QFETCH(std::vector<Pixels>, frames);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, delta);
        const std::vector<Bytes> packed = packAll(frames, width, height);
        const StoredPictures runs = storePictures(packed, width, height, Compression::Rle, delta);
        const StoredPictures copies = storePictures(packed, width, height, Compression::Lz, delta);
        const StoredPictures chosen =
            storePictures(packed, width, height, Compression::Auto, delta);
        QVERIFY(chosen.data.size() <= runs.data.size());
        QVERIFY(chosen.data.size() <= copies.data.size());
        QVERIFY(chosen.compression == Compression::Rle || chosen.compression == Compression::Lz);
        if (chosen.compression == Compression::Rle) {
            QCOMPARE(chosen.data, runs.data);
        }
        checkDecodes(chosen, packed);
    }

    // `auto` chooses picture by picture: two 8 x 2 tiles, the first a row and its copy (a literal
    // of 8, 13 bytes, and an "above" of 8, 1 byte), the second a row of a and a row of b (two
    // runs, 6 bytes, and the runs mark; as copies 10: a literal of one and a copy of 7, twice).
    // Runs and literals alone would take 24 + 6 (the first raw: a literal of 16 is 25 bytes),
    // copies alone 14 + 10; mixed, 14 + 7.
    void autoChoosesPerPicture_data() {
        QTest::addColumn<Pixels>("first");
        QTest::addColumn<Pixels>("second");
        QTest::addColumn<Bytes>("secondStored");
        const ColorValue a = nib(8, 0, 8), b = nib(0, 8, 0);
        const Pixels row{a,
                         b,
                         nib(8, 8, 8),
                         nib(0, 0, 8),
                         nib(8, 0, 0),
                         nib(0, 8, 8),
                         nib(8, 8, 0),
                         nib(15, 0, 15)};
        Pixels first = row;
        first.insert(first.end(), row.begin(), row.end());
        Pixels second(8, a);
        second.insert(second.end(), 8, b);
        QTest::newRow("a sprite of two tiles: copies for one, runs for the other")
            << first << second << bytesOf({0x80, 0x80, 0x78, 0x08, 0x80, 0x70, 0x80});
    }
    void autoChoosesPerPicture() {
        QFETCH(Pixels, first);
        QFETCH(Pixels, second);
        QFETCH(Bytes, secondStored);
        QCOMPARE(RAVIK_LCD_RUNS_MARK, unsigned(kRunsMark));
        const std::vector<Bytes> packed = packAll({first, second}, 8, 2);
        const StoredPictures chosen = storePictures(packed, 8, 2, Compression::Auto, false);
        QCOMPARE(chosen.compression, Compression::Lz);
        QCOMPARE(chosen.offsets, (std::vector<std::uint32_t>{0, 14, 21}));
        QCOMPARE(Bytes(chosen.data.begin(), chosen.data.begin() + 14), lzTokens(packed[0], 8, 2));
        QCOMPARE(Bytes(chosen.data.begin() + 14, chosen.data.end()), secondStored);
        QCOMPARE(storePictures(packed, 8, 2, Compression::Rle, false).data.size(), 30u);
        QCOMPARE(storePictures(packed, 8, 2, Compression::Lz, false).data.size(), 24u);
        checkDecodes(chosen, packed);
    }

    // Pictures stored each way decode, unpacked and streamed, to exactly the codec's packing.
    void picturesDecode_data() {
        QTest::addColumn<Pixels>("pixels");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("raw");
        struct Case {
            const char* name;
            Pixels pixels;
            int w, h;
            bool raw; // runs and literals can't win
        };
        const std::vector<Case> cases{
            {"flat frame", flat(98, 67, RGB(0x30, 0x60, 0x90)), 98, 67, false},
            {"gradient frame", gradient(98, 67), 98, 67, false},
            {"noise frame", noise(98, 67, 1), 98, 67, true},
            {"photo-like", photoLike(120, 90), 120, 90, false},
            {"test card", testCard(), 160, 100, false},
            {"icon with transparency", icon(16, 16), 16, 16, false},
            {"1 x 1", Pixels{nib(9, 8, 7)}, 1, 1, true},
            {"3 x 3 odd count", gradient(3, 3), 3, 3, true},
            {"7 x 5 odd count, flat", flat(7, 5, nib(1, 2, 3)), 7, 5, false},
            {"odd width, runs across rows", icon(17, 9), 17, 9, false},
            {"larger than the frame", gradient(300, 200), 300, 200, false},
            {"long flat, many run tokens", flat(1000, 5, nib(15, 0, 15)), 1000, 5, false},
            {"1 pixel wide", gradient(1, 90), 1, 90, false},
            {"tiles repeating across and down", tiles(98, 67, 5, 3), 98, 67, true},
            {"196 wide: copies reach the history's edge", stripes(196, 9), 196, 9, true},
            {"197 wide: past the history, no above", stripes(197, 9), 197, 9, true},
            {"wide sprite over the history, odd width", tiles(251, 13, 7, 4), 251, 13, true},
            {"noise repeated a row later", rowRepeated(noise(98, 1, 5), 67), 98, 67, true},
        };
        for (const Case& c : cases) {
            QTest::newRow(c.name) << c.pixels << c.w << c.h << c.raw;
        }
    }
    void picturesDecode() {
        QFETCH(Pixels, pixels);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, raw);
        QCOMPARE(pixels.size(), std::size_t(width) * std::size_t(height));
        const std::vector<Bytes> packed{packPixels(pixels, width, height)};
        for (const Compression kind : {Compression::Raw, Compression::Rle}) {
            const StoredPictures stored = storePictures(packed, width, height, kind, false);
            if (kind == Compression::Raw || raw) {
                QCOMPARE(stored.data, packed[0]);
            } else {
                QVERIFY(stored.data.size() < packed[0].size());
            }
            checkDecodes(stored, packed);
        }
        // The copying form: never larger than raw, and the same bytes back through both decoders.
        const StoredPictures copies = storePictures(packed, width, height, Compression::Lz, false);
        QCOMPARE(copies.compression, Compression::Lz);
        QVERIFY(copies.data.size() <= packed[0].size());
        checkDecodes(copies, packed);
        if (copies.data.size() < packed[0].size()) {
            // And its tokens alone, as the stored form is when they win.
            QCOMPARE(lzTokens(packed[0], width, height), copies.data);
        }
    }

    void animationsDecode_data() {
        QTest::addColumn<std::vector<Pixels>>("frames");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("dot moving over a frame") << movingDot(98, 67, 12) << 98 << 67;
        QTest::newRow("dot moving, odd width") << movingDot(33, 17, 9) << 33 << 17;
        QTest::newRow("every frame changes everywhere") << allChanging(20, 11, 4) << 20 << 11;
        QTest::newRow("identical frames") << identical(31, 7, 5) << 31 << 7;
        QTest::newRow("1 x 1 frames")
            << std::vector<Pixels>{{nib(1, 1, 1)}, {nib(1, 1, 1)}, {nib(2, 3, 4)}} << 1 << 1;
    }
    void animationsDecode() {
        QFETCH(std::vector<Pixels>, frames);
        QFETCH(int, width);
        QFETCH(int, height);
        const std::vector<Bytes> packed = packAll(frames, width, height);
        for (const bool delta : {false, true}) {
            for (const Compression kind : {Compression::Raw, Compression::Rle, Compression::Lz}) {
                const StoredPictures stored = storePictures(packed, width, height, kind, delta);
                QCOMPARE(stored.offsets.size(), packed.size() + 1);
                for (std::size_t i = 0; i + 1 < stored.offsets.size(); ++i) {
                    // Never larger than raw, picture by picture.
                    QVERIFY(stored.offsets[i + 1] - stored.offsets[i] <= stored.size);
                }
                checkDecodes(stored, packed);
            }
        }
    }

    void deltaSavesOnSmallChanges() {
        const std::vector<Bytes> packed = packAll(movingDot(98, 67, 12), 98, 67);
        const StoredPictures plain = storePictures(packed, 98, 67, Compression::Rle, false);
        const StoredPictures delta = storePictures(packed, 98, 67, Compression::Rle, true);
        QVERIFY(delta.data.size() < plain.data.size());
        // A dot of 12 pixels moving: each later frame is two small spans at most.
        for (std::size_t i = 1; i < packed.size(); ++i) {
            QVERIFY(delta.offsets[i + 1] - delta.offsets[i] < 80);
        }
    }

    // The emitted .c and .h compiled with the runtime as strict C99 with the sanitizers: every
    // asset unpacked (in playback order) and streamed gives the codec's bytes, and the mask and
    // delays are the ones handed in.
    void emittedSourceDecodes() {
        if (QByteArray(RAVIK_C_COMPILER).isEmpty()) {
            QSKIP("no C compiler");
        }
        std::vector<EmittedCase> cases;
        const auto add = [&](std::string name, const std::vector<Pixels>& pictures, int w, int h,
                             Compression kind, bool delta) {
            EmittedCase c{std::move(name), w, h, packAll(pictures, w, h), {}};
            c.asset.pictures = storePictures(c.packed, w, h, kind, delta);
            cases.push_back(std::move(c));
        };
        add("card", {testCard()}, 160, 100, Compression::Rle, false);
        add("noise_raw", {noise(9, 7, 3)}, 9, 7, Compression::Rle, false);
        add("tiny", {{nib(1, 2, 3)}}, 1, 1, Compression::Raw, false);
        add("frame", {gradient(98, 67)}, 98, 67, Compression::Rle, false);
        add("spinner", movingDot(33, 17, 6), 33, 17, Compression::Rle, true);
        add("flashing", allChanging(10, 3, 3), 10, 3, Compression::Rle, true);
        add("card_lz", {testCard()}, 160, 100, Compression::Lz, false);
        add("wide_lz", {tiles(251, 13, 7, 4)}, 251, 13, Compression::Lz, false);
        add("spinner_lz", movingDot(33, 17, 6), 33, 17, Compression::Lz, true);
        {
            const std::vector<Pixels> icons{icon(16, 16), icon(16, 16)};
            add("icons", icons, 16, 16, Compression::Rle, false);
            const Bytes mask = packMask(disc(16, 16), 16, 16);
            cases.back().asset.mask = mask;
            cases.back().asset.mask.insert(cases.back().asset.mask.end(), mask.begin(), mask.end());
        }
        cases[4].asset.delaysMs = {100, 100, 50, 50, 65535, 0};

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        std::string header = "#ifndef ASSETS_H\n#define ASSETS_H\n#include \"ravik_lcd.h\"\n";
        std::string source = "#include \"assets.h\"\n";
        for (const EmittedCase& c : cases) {
            header += formatAssetDeclaration(c.name, c.asset);
            source += formatAssetDefinition(c.name, "__attribute__((section(\".rodata.assets\")))",
                                            c.asset);
        }
        header += "#endif\n";
        writeFile(dir.filePath(QStringLiteral("assets.h")), header);
        writeFile(dir.filePath(QStringLiteral("assets.c")), source);

        // For each asset: its pictures unpacked in order, then streamed (where they may be), then
        // its mask and delays, all to stdout.
        std::ostringstream program;
        program << "#include <stdio.h>\n#include \"assets.h\"\n"
                   "static void put(const uint8_t *b, uint16_t n, void *ctx) {\n"
                   "    (void)ctx;\n    fwrite(b, 1, n, stdout);\n}\n"
                   "static void dump(const ravik_lcd_asset *a) {\n"
                   "    static uint8_t out[65536];\n    uint16_t i;\n    uint32_t k;\n"
                   "    for (i = 0; i < a->count; ++i) {\n"
                   "        ravik_lcd_unpack(a, i, out);\n"
                   "        fwrite(out, 1, a->size, stdout);\n    }\n"
                   "    for (i = 0; i < a->count; ++i) ravik_lcd_stream(a, i, put, NULL);\n"
                   "    if (a->mask) fwrite(a->mask, 1, RAVIK_LCD_MASK_SIZE(a->width, a->height) "
                   "* a->count, stdout);\n"
                   "    if (a->delays_ms) for (k = 0; k < a->count; ++k) printf(\"%u,\", "
                   "(unsigned)a->delays_ms[k]);\n"
                   "}\n"
                   "int main(void) {\n";
        for (const EmittedCase& c : cases) {
            program << "    dump(&" << c.name << ");\n";
        }
        program << "    return 0;\n}\n";
        writeFile(dir.filePath(QStringLiteral("main.c")), program.str());

        QProcess compiler;
        compiler.setProcessChannelMode(QProcess::MergedChannels);
        compiler.start(QStringLiteral(RAVIK_C_COMPILER),
                       {QStringLiteral("-std=c99"), QStringLiteral("-Wall"),
                        QStringLiteral("-Wextra"), QStringLiteral("-Wpedantic"),
                        QStringLiteral("-Werror"), QStringLiteral("-fsanitize=address,undefined"),
                        QStringLiteral("-I"), QStringLiteral(RAVIK_RUNTIME_DIR),
                        dir.filePath(QStringLiteral("main.c")),
                        dir.filePath(QStringLiteral("assets.c")),
                        QStringLiteral(RAVIK_RUNTIME_DIR "/ravik_lcd.c"), QStringLiteral("-o"),
                        dir.filePath(QStringLiteral("dump"))});
        QVERIFY(compiler.waitForFinished(120000));
        QVERIFY2(compiler.exitCode() == 0, compiler.readAll().constData());

        QProcess dump;
        dump.start(dir.filePath(QStringLiteral("dump")), {});
        QVERIFY(dump.waitForFinished(60000));
        QVERIFY2(dump.exitCode() == 0, dump.readAllStandardError().constData());
        const QByteArray output = dump.readAllStandardOutput();

        std::string expected;
        for (const EmittedCase& c : cases) {
            for (const Bytes& p : c.packed) {
                expected.append(p.begin(), p.end());
            }
            for (std::size_t i = 0; i < c.packed.size(); ++i) {
                if (!c.asset.pictures.delta || i == 0) {
                    expected.append(c.packed[i].begin(), c.packed[i].end());
                }
            }
            expected.append(c.asset.mask.begin(), c.asset.mask.end());
            for (const std::uint16_t d : c.asset.delaysMs) {
                expected += std::to_string(d) + ",";
            }
        }
        QCOMPARE(output.size(), qsizetype(expected.size()));
        QVERIFY(output == QByteArray::fromStdString(expected));
    }

    // The same source for an AVR with the data in flash: PROGMEM stands where avr-gcc takes it,
    // and the runtime built with RAVIK_LCD_PROGMEM links with it, warnings as errors.
    void emittedSourceBuildsForFlashOnAvr() {
        if (QByteArray(RAVIK_AVR_GCC).isEmpty()) {
            QSKIP("no avr-gcc");
        }
        AssetData still, animation;
        still.pictures = storePictures(std::vector<Bytes>{packPixels(icon(16, 16), 16, 16)}, 16, 16,
                                       Compression::Rle, false);
        still.mask = packMask(disc(16, 16), 16, 16);
        animation.pictures =
            storePictures(packAll(movingDot(33, 17, 3), 33, 17), 33, 17, Compression::Rle, true);
        animation.delaysMs = {40, 40, 40};
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        writeFile(dir.filePath(QStringLiteral("assets.h")),
                  "#include \"ravik_lcd.h\"\n" + formatAssetDeclaration("still", still) +
                      formatAssetDeclaration("animation", animation));
        writeFile(dir.filePath(QStringLiteral("main.c")),
                  "#include <avr/pgmspace.h>\n#include \"assets.h\"\n" +
                      formatAssetDefinition("still", "PROGMEM", still) +
                      formatAssetDefinition("animation", "PROGMEM", animation) +
                      "static uint8_t frame[RAVIK_LCD_PACKED_SIZE(33, 17)];\n"
                      "static uint8_t sum;\n"
                      "static void put(const uint8_t *b, uint16_t n, void *ctx) {\n"
                      "    (void)ctx;\n    while (n--) sum ^= *b++;\n}\n"
                      "int main(void) {\n"
                      "    uint16_t i;\n"
                      "    for (i = 0; i < animation.count; ++i) ravik_lcd_unpack(&animation, i, "
                      "frame);\n"
                      "    ravik_lcd_stream(&still, 0, put, 0);\n"
                      "    return frame[0] ^ sum;\n}\n");
        QProcess compiler;
        compiler.setProcessChannelMode(QProcess::MergedChannels);
        compiler.start(
            QStringLiteral(RAVIK_AVR_GCC),
            {QStringLiteral("-mmcu=atmega328p"), QStringLiteral("-Os"), QStringLiteral("-std=c99"),
             QStringLiteral("-Wall"), QStringLiteral("-Wextra"), QStringLiteral("-Wpedantic"),
             QStringLiteral("-Werror"), QStringLiteral("-DRAVIK_LCD_PROGMEM"), QStringLiteral("-I"),
             QStringLiteral(RAVIK_RUNTIME_DIR), dir.filePath(QStringLiteral("main.c")),
             QStringLiteral(RAVIK_RUNTIME_DIR "/ravik_lcd.c"), QStringLiteral("-o"),
             dir.filePath(QStringLiteral("firmware.elf"))});
        QVERIFY(compiler.waitForFinished(120000));
        QVERIFY2(compiler.exitCode() == 0, compiler.readAll().constData());
    }

    void emitterRefuses_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<int>("maskBytes");
        QTest::addColumn<int>("delays");
        QTest::newRow("name not an identifier") << QStringLiteral("2x") << QString() << 0 << 0;
        QTest::newRow("attribute with a semicolon")
            << QStringLiteral("ok") << QStringLiteral("PROGMEM;") << 0 << 0;
        QTest::newRow("mask of the wrong length") << QStringLiteral("ok") << QString() << 5 << 0;
        QTest::newRow("more delays than frames") << QStringLiteral("ok") << QString() << 0 << 3;
    }
    void emitterRefuses() {
        QFETCH(QString, name);
        QFETCH(QString, attribute);
        QFETCH(int, maskBytes);
        QFETCH(int, delays);
        AssetData asset;
        asset.pictures = storePictures(std::vector<Bytes>{packPixels(gradient(8, 2), 8, 2)}, 8, 2,
                                       Compression::Rle, false);
        asset.mask.assign(static_cast<std::size_t>(maskBytes), 0xFF);
        asset.delaysMs.assign(static_cast<std::size_t>(delays), 10);
        QVERIFY_THROWS_EXCEPTION(
            std::invalid_argument,
            formatAssetDefinition(name.toStdString(), attribute.toStdString(), asset));
    }

    // Corrupt data decodes as far as it goes: pixels it doesn't reach are black in a whole
    // picture and left alone in a delta frame, and nothing is read or written outside.
    void corruptData_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<Bytes>("data");
        QTest::addColumn<bool>("delta");
        QTest::addColumn<Bytes>("expected");
        QTest::addColumn<bool>("copying"); // the data is in the copying form
        // 3 x 1: 5 bytes; 0xA5 is what the buffer held before (a delta frame keeps it).
        QTest::newRow("run past the end is cut")
            << 3 << 1 << bytesOf({0xBF, 0xF1, 0x23}) << false
            << bytesOf({0x12, 0x31, 0x23, 0x12, 0x30}) << false;
        QTest::newRow("literal cut short is dropped")
            << 3 << 1 << bytesOf({0x80, 0x01, 0x23, 0x05, 0x45, 0x6F}) << false
            << bytesOf({0x12, 0x30, 0x00, 0x00, 0x00}) << false;
        QTest::newRow("literal longer than the picture is cut")
            << 1 << 1 << bytesOf({0x01, 0x12, 0x34, 0x56}) << false << bytesOf({0x12, 0x30})
            << false;
        QTest::newRow("run token missing its colour")
            << 3 << 1 << bytesOf({0x80, 0x01, 0x23, 0x80}) << false
            << bytesOf({0x12, 0x30, 0x00, 0x00, 0x00}) << false;
        QTest::newRow("skip in a whole picture is black")
            << 3 << 1 << bytesOf({0xC0, 0x00, 0x80, 0x0F, 0xFF, 0x80, 0x0F, 0xFF}) << false
            << bytesOf({0x00, 0x0F, 0xFF, 0xFF, 0xF0}) << false;
        QTest::newRow("skip past the end of a delta frame")
            << 3 << 1 << bytesOf({0x80, 0x0F, 0x00, 0xFF, 0xFF, 0x80}) << true
            << bytesOf({0xF0, 0x05, 0xA5, 0xA5, 0xA0}) << false;
        QTest::newRow("only a control byte")
            << 2 << 1 << bytesOf({0xC0}) << false << bytesOf({0x00, 0x00, 0x00}) << false;
        // The copying form.
        QTest::newRow("copy before pixel 0") << 3 << 1 << bytesOf({0xC0, 0x00}) << false
                                             << bytesOf({0x00, 0x00, 0x00, 0x00, 0x00}) << true;
        QTest::newRow("copy from further back than decoded")
            << 4 << 1 << bytesOf({0x00, 0x12, 0x30, 0xC0, 0x01}) << false
            << bytesOf({0x12, 0x30, 0x00, 0x00, 0x00, 0x00}) << true;
        QTest::newRow("copy past the end is cut")
            << 3 << 1 << bytesOf({0x00, 0x12, 0x30, 0xEF, 0xFF, 0x00}) << false
            << bytesOf({0x12, 0x31, 0x23, 0x12, 0x30}) << true;
        // 197 (or 300) pixels of 1,2,3 decoded: a literal and a long copy from 1 back; then a
        // copy from 197 (256) back, further than the history, ends the tokens.
        QTest::newRow("above in a picture wider than the history")
            << 197 << 2 << bytesOf({0x00, 0x12, 0x30, 0xE0, 0xC3, 0x00, 0x80}) << false
            << startsWith(197, 2, 197, nib(1, 2, 3)) << true;
        QTest::newRow("copy from 256 back, past the history")
            << 200 << 2 << bytesOf({0x00, 0x12, 0x30, 0xE1, 0x2A, 0x00, 0xC0, 0xFF}) << false
            << startsWith(200, 2, 300, nib(1, 2, 3)) << true;
        // 300 pixels of 1,2,3 (past the stream's ring), then a token cut short: the rest black.
        QTest::newRow("near token cut short past the ring")
            << 200 << 2 << bytesOf({0x00, 0x12, 0x30, 0xE1, 0x2A, 0x00, 0x41, 0xCF}) << false
            << startsWith(200, 2, 300, nib(1, 2, 3)) << true;
        QTest::newRow("long copy missing its distance past the ring")
            << 200 << 2 << bytesOf({0x00, 0x12, 0x30, 0xE1, 0x2A, 0x00, 0xE0, 0x05}) << false
            << startsWith(200, 2, 300, nib(1, 2, 3)) << true;
        QTest::newRow("near token cut short") << 3 << 1 << bytesOf({0x41, 0xCF}) << false
                                              << bytesOf({0x00, 0x00, 0x00, 0x00, 0x00}) << true;
        QTest::newRow("long copy missing its distance")
            << 4 << 1 << bytesOf({0x00, 0x12, 0x30, 0xE0, 0x01}) << false
            << bytesOf({0x12, 0x30, 0x00, 0x00, 0x00, 0x00}) << true;
        QTest::newRow("runs mark alone") << 3 << 1 << bytesOf({0x80}) << false
                                         << bytesOf({0x00, 0x00, 0x00, 0x00, 0x00}) << true;
        QTest::newRow("runs mark, then a run of two")
            << 3 << 1 << bytesOf({0x80, 0x80, 0x11, 0x23}) << false
            << bytesOf({0x12, 0x31, 0x23, 0x00, 0x00}) << true;
        // Pixel 0 kept (A5A), pixel 1 near it: green 5 + 1 (GGG 5), red A + 1 + 0 (RRR 4), blue
        // A + 1 + 0 (BB 2): 101 100 10, B6B; pixel 2 and the last nibble kept.
        QTest::newRow("delta frame: near the kept pixel before")
            << 3 << 1 << bytesOf({0xF0, 0x00, 0x40, 0xB2}) << true
            << bytesOf({0xA5, 0xAB, 0x6B, 0xA5, 0xA5}) << true;
    }
    void corruptData() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(Bytes, data);
        QFETCH(bool, delta);
        QFETCH(Bytes, expected);
        QFETCH(bool, copying);
        const std::size_t size = packedSize(width, height);
        QVERIFY(data.size() != size); // else it would be read as raw bytes
        StoredPictures stored;
        stored.width = width;
        stored.height = height;
        stored.size = size;
        stored.compression = copying ? Compression::Lz : Compression::Rle;
        stored.delta = delta;
        // Picture 0 is whole; in a delta asset the corrupt data is picture 1.
        if (delta) {
            stored.data = Bytes(size, 0xA5);
            stored.offsets = {0, std::uint32_t(size)};
        } else {
            stored.offsets = {0};
        }
        stored.data.insert(stored.data.end(), data.begin(), data.end());
        stored.offsets.push_back(std::uint32_t(stored.data.size()));
        // The data on the heap, exactly as long as it is, so ASan catches a byte read too far.
        const ravik_lcd_asset asset = assetOf(stored);
        Bytes out(size, 0x5A);
        if (delta) {
            ravik_lcd_unpack(&asset, 0, out.data());
        }
        ravik_lcd_unpack(&asset, delta ? 1 : 0, out.data());
        QCOMPARE(out, expected);
        if (!delta) {
            QCOMPARE(streamed(asset, 0), expected);
        }
    }

    // Offsets that point outside the data, or backwards, give no bytes to decode: the picture
    // is black (and streams as many bytes as it has).
    void offsetsOutsideTheData_data() {
        QTest::addColumn<std::vector<std::uint32_t>>("offsets");
        QTest::newRow("end past stored") << std::vector<std::uint32_t>{0, 400};
        QTest::newRow("begin after end") << std::vector<std::uint32_t>{3, 1};
        QTest::newRow("both far past") << std::vector<std::uint32_t>{0xFFFFFFF0u, 0xFFFFFFFFu};
    }
    void offsetsOutsideTheData() {
        QFETCH(std::vector<std::uint32_t>, offsets);
        StoredPictures stored = storePictures(std::vector<Bytes>{packPixels(gradient(5, 3), 5, 3)},
                                              5, 3, Compression::Rle, false);
        stored.offsets = offsets;
        const ravik_lcd_asset asset = assetOf(stored);
        Bytes out(stored.size, 0x77);
        ravik_lcd_unpack(&asset, 0, out.data());
        QCOMPARE(out, Bytes(stored.size, 0));
        QCOMPARE(streamed(asset, 0), Bytes(stored.size, 0));
    }

    // A size smaller than the sides claim (a corrupt asset): never more than `size` bytes written.
    void sizeSmallerThanTheSides_data() {
        QTest::addColumn<Compression>("compression");
        QTest::newRow("runs and literals") << Compression::Rle;
        QTest::newRow("copies") << Compression::Lz;
    }
    void sizeSmallerThanTheSides() {
        QFETCH(Compression, compression);
        const std::vector<Bytes> packed{packPixels(flat(10, 10, nib(1, 2, 3)), 10, 10)};
        StoredPictures stored = storePictures(packed, 10, 10, compression, false);
        QCOMPARE(stored.compression, compression);
        QVERIFY(stored.data.size() < packed[0].size());
        stored.size = 7;
        const ravik_lcd_asset asset = assetOf(stored);
        Bytes out(7, 0);
        ravik_lcd_unpack(&asset, 0, out.data());
        // 14 nibbles hold four whole pixels: those six bytes are decoded, nothing past them.
        QCOMPARE(Bytes(out.begin(), out.begin() + 6),
                 Bytes(packed[0].begin(), packed[0].begin() + 6));
        QVERIFY(streamed(asset, 0).size() <= 7);
    }

    // An asset with no data at all (NULL, as an emitter may write for an empty array): every
    // picture is black, unpacked and streamed, in each stored form.
    void noDataIsBlack_data() {
        QTest::addColumn<int>("compression");
        QTest::newRow("runs and literals") << int(RAVIK_LCD_RLE);
        QTest::newRow("copies") << int(RAVIK_LCD_LZ);
    }
    void noDataIsBlack() {
        QFETCH(int, compression);
        const std::uint32_t offsets[2] = {0, 0};
        ravik_lcd_asset asset{};
        asset.width = 3;
        asset.height = 1;
        asset.count = 1;
        asset.size = 5;
        asset.compression = static_cast<std::uint8_t>(compression);
        asset.offsets = offsets;
        Bytes out(5, 0x5A);
        ravik_lcd_unpack(&asset, 0, out.data());
        QCOMPARE(out, Bytes(5, 0));
        QCOMPARE(streamed(asset, 0), Bytes(5, 0));
    }

    void indexPastTheLastWritesNothing() {
        const std::vector<Bytes> packed{packPixels(gradient(4, 4), 4, 4)};
        const StoredPictures stored = storePictures(packed, 4, 4, Compression::Rle, false);
        const ravik_lcd_asset asset = assetOf(stored);
        Bytes out(stored.size, 0x33);
        ravik_lcd_unpack(&asset, 1, out.data());
        QCOMPARE(out, Bytes(stored.size, 0x33));
        QVERIFY(streamed(asset, 1).empty());
        ravik_lcd_unpack(nullptr, 0, out.data());
        ravik_lcd_unpack(&asset, 0, nullptr);
        ravik_lcd_stream(&asset, 0, nullptr, nullptr);
    }
};

QTEST_GUILESS_MAIN(CompressionTest)
#include "compression_test.moc"
