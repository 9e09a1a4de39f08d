// Every reader of the pictures library, with no GUI library linked, against files written in the
// run by other encoders (ImageMagick, Pillow, libpng, cjpeg, cwebp, libtiff's tools) or built here
// byte by byte from a format's documented layout. Each row's expected pixels come from what was
// written (the master the file was made from) or from the format's reference decoder (djpeg,
// dwebp) for lossy files. One check for every row: the whole picture is the expected one, the
// corner is the whole picture's corner, and the file cut short anywhere is refused.

#include "pictures/bmp_reader.h"
#include "pictures/jpeg_reader.h"
#include "pictures/pictures.h"
#include "pictures/row_sink.h"
#include "test_tools.h"

#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <cmath>
#include <functional>
#include <png.h>
#include <random>
#include <set>
#include <tiffio.h>
#include <vector>
#include <zlib.h>

using namespace ravik;
using namespace ravik::testing;
using namespace Qt::StringLiterals;

namespace {

const QSize kCorner(kFrameWidth, kFrameHeight);
const QSize kMaster(131, 90);
const QString kIncomplete = u"图片数据不完整，文件可能只下载或复制了一部分"_s;

// One pixel as R G B A at 8 bits, red in the top byte, so a failing comparison prints readably.
using Colour = quint32;
constexpr Colour colour(int r, int g, int b, int a = 255) {
    return Colour(r) << 24 | Colour(g) << 16 | Colour(b) << 8 | Colour(a);
}
constexpr Colour kClear = 0;

// A picture as straight RGBA samples of 8 or 16 bits, row after row.
class Pixels {
public:
    Pixels() = default;
    explicit Pixels(QSize size, int bits = 8)
        : size_(size), bits_(bits), samples_(size_t(size.width()) * size_t(size.height()) * 4) {}

    int width() const { return size_.width(); }
    int height() const { return size_.height(); }
    QSize size() const { return size_; }
    int bits() const { return bits_; }
    quint16* at(int x, int y) { return samples_.data() + (size_t(y) * size_t(width()) + x) * 4; }
    const quint16* at(int x, int y) const {
        return samples_.data() + (size_t(y) * size_t(width()) + x) * 4;
    }
    void set(int x, int y, Colour c) {
        for (int i = 0; i < 4; ++i) {
            at(x, y)[i] = quint16((c >> (24 - 8 * i) & 0xFF) * (bits_ == 16 ? 257 : 1));
        }
    }
    // At 8 bits: 16-bit samples keep their top 8 bits.
    Colour colourAt(int x, int y) const {
        const quint16* p = at(x, y);
        const int shift = bits_ == 16 ? 8 : 0;
        return colour(p[0] >> shift, p[1] >> shift, p[2] >> shift, p[3] >> shift);
    }
    Pixels narrowed() const {
        Pixels out(size_);
        for (int y = 0; y < height(); ++y) {
            for (int x = 0; x < width(); ++x) {
                out.set(x, y, colourAt(x, y));
            }
        }
        return out;
    }
    Pixels corner(QSize size) const {
        size = size.boundedTo(size_);
        return shown(size, [](int x, int y) { return QPoint(x, y); });
    }
    // As shown under an EXIF orientation, this being the stored picture.
    Pixels oriented(int orientation) const {
        return shown(orientation >= 5 ? size_.transposed() : size_, [&](int x, int y) {
            return storedPixel(orientation, x, y, width(), height());
        });
    }
    // Mirrored left-right and/or flipped top-bottom.
    Pixels mirrored(bool mirror, bool flip) const {
        return shown(size_, [&](int x, int y) {
            return QPoint(mirror ? width() - 1 - x : x, flip ? height() - 1 - y : y);
        });
    }
    bool operator==(const Pixels&) const = default;

private:
    Pixels shown(QSize size, const std::function<QPoint(int, int)>& from) const {
        Pixels out(size, bits_);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QPoint p = from(x, y);
                std::copy_n(at(p.x(), p.y()), 4, out.at(x, y));
            }
        }
        return out;
    }

    QSize size_;
    int bits_ = 8;
    std::vector<quint16> samples_;
};

// Where two pictures differ first (the colour of clear pixels doesn't count); empty if nowhere.
QString difference(const Pixels& got, const Pixels& want) {
    if (got.size() != want.size() || got.bits() != want.bits()) {
        return u"%1×%2 at %3 bits, expected %4×%5 at %6 bits"_s.arg(got.width())
            .arg(got.height())
            .arg(got.bits())
            .arg(want.width())
            .arg(want.height())
            .arg(want.bits());
    }
    for (int y = 0; y < got.height(); ++y) {
        for (int x = 0; x < got.width(); ++x) {
            const quint16* g = got.at(x, y);
            const quint16* w = want.at(x, y);
            if ((g[3] != 0 || w[3] != 0) && !std::equal(g, g + 4, w)) {
                return u"(%1, %2) is %3 %4 %5 %6, expected %7 %8 %9 %10"_s.arg(x)
                    .arg(y)
                    .arg(g[0])
                    .arg(g[1])
                    .arg(g[2])
                    .arg(g[3])
                    .arg(w[0])
                    .arg(w[1])
                    .arg(w[2])
                    .arg(w[3]);
            }
        }
    }
    return {};
}

// What the library read: the picture (straight samples at its depth; associated ones blended
// over the default background at 8 bits), or the user's sentence for why not.
struct Read {
    Pixels picture;
    QString failure;
    bool ok() const { return failure.isEmpty(); }
};

Bytes bytesOf(const QByteArray& data) {
    return {data.constData(), size_t(data.size())};
}

Pixels pixelsOf(const Picture& picture) {
    const bool wide = picture.bitsPerChannel() == 16 && picture.alpha() == Picture::Alpha::straight;
    Pixels out(QSize(picture.width(), picture.height()), wide ? 16 : 8);
    std::vector<std::uint8_t> row(size_t(picture.width()) * 4);
    for (int y = 0; y < picture.height(); ++y) {
        if (!wide) {
            rgba8Row(picture.row(y), picture.width(), picture.bitsPerChannel(), picture.alpha(),
                     kDefaultBackground, row.data());
        }
        for (int i = 0; i < picture.width() * 4; ++i) {
            out.at(0, y)[i] = wide ? picture.row16(y)[i] : row[size_t(i)];
        }
    }
    return out;
}

Read readBytes(const QByteArray& file, const QSize& corner = {}, const QByteArray& hint = {}) {
    const DecodedPicture decoded = readPicture(
        bytesOf(file), corner.isValid() ? Size{corner.width(), corner.height()} : Size{},
        std::string_view(hint.constData(), size_t(hint.size())));
    if (!decoded.ok()) {
        return {{}, QString::fromStdString(faultSentence(decoded.fault))};
    }
    return {pixelsOf(decoded.picture), {}};
}

// Where a file is cut short: everywhere in a small one, in a big one its first bytes (headers),
// sixteen places throughout and its last bytes.
std::set<qsizetype> cuts(qsizetype size) {
    std::set<qsizetype> at;
    for (qsizetype cut = 0; cut < size; ++cut) {
        if (size <= 2048 || cut < 64 || cut >= size - 16 || cut % (size / 16) == 0) {
            at.insert(cut);
        }
    }
    return at;
}

// The check of every row: the whole picture is `expected` (at its depth), the corner is the
// whole picture's corner, and the file cut short before `complete` bytes (all of it unless an
// optional trailer follows) is refused.
void checkReader(const QByteArray& file, const QByteArray& hint, const Pixels& expected,
                 qsizetype complete) {
    QVERIFY(!expected.size().isEmpty());
    const Read whole = readBytes(file, {}, hint);
    QVERIFY2(whole.ok(), qPrintable(whole.failure));
    const Pixels got = expected.bits() == 8 && whole.picture.bits() == 16 ? whole.picture.narrowed()
                                                                          : whole.picture;
    const QString wrong = difference(got, expected);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    const Read corner = readBytes(file, kCorner, hint);
    QVERIFY2(corner.ok(), qPrintable(corner.failure));
    const QString cornerWrong = difference(corner.picture, whole.picture.corner(kCorner));
    QVERIFY2(cornerWrong.isEmpty(), qPrintable(u"corner: "_s + cornerWrong));
    QStringList taken;
    for (const qsizetype cut : cuts(complete < 0 ? file.size() : complete)) {
        const QByteArray prefix = file.left(cut);
        // A GIF's reader takes a file ending in the trailer's byte as whole and stops once it
        // has the corner's rows, so such a cut goes unseen there.
        const bool gifTrailer = prefix.startsWith("GIF") && prefix.endsWith(';');
        if (readBytes(prefix, {}, hint).ok() ||
            (!gifTrailer && readBytes(prefix, kCorner, hint).ok())) {
            taken << QString::number(cut);
        }
    }
    QVERIFY2(
        taken.isEmpty(),
        qPrintable(u"read though cut at %1 of %2"_s.arg(taken.join(u", "_s)).arg(file.size())));
}

// Where a little-endian TIFF whose directory comes last ends but for what the pixels don't need:
// the next directory's offset, and the colorimetry values ImageMagick puts last.
qsizetype tiffComplete(const QByteArray& tiff) {
    const auto le = [&tiff](qsizetype at, int bytes) {
        qsizetype v = 0;
        for (int i = bytes - 1; i >= 0; --i) {
            v = v << 8 | uchar(tiff.at(at + i));
        }
        return v;
    };
    const qsizetype directory = le(4, 4);
    if (!tiff.startsWith("II") || directory < tiff.size() / 2) {
        return -1;
    }
    constexpr int kTypeSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    const qsizetype entries = le(directory, 2);
    qsizetype end = directory + 2 + entries * 12;
    for (qsizetype i = 0; i < entries; ++i) {
        const qsizetype entry = directory + 2 + i * 12;
        const qsizetype type = le(entry + 2, 2);
        const qsizetype size = type < 13 ? kTypeSize[type] * le(entry + 4, 4) : 0;
        const qsizetype tag = le(entry, 2);
        if (size > 4 && tag != 318 && tag != 319) {
            end = std::max(end, le(entry + 8, 4) + size);
        }
    }
    return end;
}

// A binary PPM of an opaque 8-bit picture, else a PAM (RGBA, 8 or 16 bits), as other encoders
// and decoders read and write them.
QByteArray netpbm(const Pixels& picture, bool alpha) {
    const int channels = alpha ? 4 : 3;
    const QByteArray max = picture.bits() == 16 ? "65535" : "255";
    QByteArray out = alpha ? "P7\nWIDTH " + QByteArray::number(picture.width()) + "\nHEIGHT " +
                                 QByteArray::number(picture.height()) + "\nDEPTH 4\nMAXVAL " + max +
                                 "\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
                           : "P6\n" + QByteArray::number(picture.width()) + ' ' +
                                 QByteArray::number(picture.height()) + '\n' + max + '\n';
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            for (int c = 0; c < channels; ++c) {
                const quint16 v = picture.at(x, y)[c];
                if (picture.bits() == 16) {
                    out.append(char(v >> 8));
                }
                out.append(char(v & 0xFF));
            }
        }
    }
    return out;
}

// An 8-bit binary PGM, PPM or PAM (as djpeg, dwebp and ImageMagick write them) as pixels.
Pixels fromNetpbm(const QByteArray& bytes) {
    int width = 0;
    int height = 0;
    int channels = 3;
    qsizetype at = 0;
    if (bytes.startsWith("P7")) {
        const qsizetype end = bytes.indexOf("ENDHDR\n");
        for (const QByteArray& line : bytes.left(end).split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words[0] == "WIDTH")
                width = words.value(1).toInt();
            if (words[0] == "HEIGHT")
                height = words.value(1).toInt();
            if (words[0] == "DEPTH")
                channels = words.value(1).toInt();
        }
        at = end + 7;
    } else {
        QList<QByteArray> fields;
        while (fields.size() < 4 && at < bytes.size()) {
            while (at < bytes.size() && std::isspace(uchar(bytes[at])))
                ++at;
            const qsizetype start = at;
            while (at < bytes.size() && !std::isspace(uchar(bytes[at])))
                ++at;
            fields << bytes.mid(start, at - start);
        }
        ++at;
        width = fields.value(1).toInt();
        height = fields.value(2).toInt();
        channels = fields.value(0) == "P5" ? 1 : 3;
    }
    if (width <= 0 || height <= 0 || bytes.size() - at < qsizetype(width) * height * channels) {
        return {};
    }
    Pixels out(QSize(width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const char* in = bytes.constData() + at + (qsizetype(y) * width + x) * channels;
            for (int c = 0; c < 4; ++c) {
                out.at(x, y)[c] = c == 3 ? (channels == 4 ? uchar(in[3]) : 0xFF)
                                         : uchar(in[channels == 1 ? 0 : c]);
            }
        }
    }
    return out;
}

// The master: 199 colours (so that palette encoders keep every one exactly), each pixel's
// colour differing from its neighbours'; with `alpha`, each colour has an alpha of its own.
// With fewer `colours`, or channels of fewer `bits` (red, green, blue, alpha), each sample is
// one of 2ⁿ levels k: as written, ⌈k · 255 / (2ⁿ − 1)⌉, which ImageMagick stores as
// ⌊v · (2ⁿ − 1) / 255⌋ = k; as `decoded`, round(k · 255 / (2ⁿ − 1)). `grey` copies red to
// green and blue.
struct Master {
    bool alpha = false;
    bool grey = false;
    int colours = 199;
    std::array<int, 4> bits = {8, 8, 8, 8};
    QSize size = kMaster;
};

Pixels master(const Master& m, bool decoded = false) {
    Pixels picture(m.size);
    const auto level = [decoded](unsigned v, int n) {
        const double max = (1 << n) - 1;
        const double k = std::round(v * max / 255.0);
        return quint16(decoded ? std::lround(k * 255.0 / max)
                               : std::lround(std::ceil(k * 255.0 / max)));
    };
    for (int y = 0; y < m.size.height(); ++y) {
        for (int x = 0; x < m.size.width(); ++x) {
            const unsigned i = unsigned(x * 7 + y * 13) % unsigned(m.colours);
            quint16* p = picture.at(x, y);
            p[0] = level(uchar(i * 53), m.bits[0]);
            p[1] = m.grey ? p[0] : level(uchar(i * 97 + 11), m.bits[1]);
            p[2] = m.grey ? p[0] : level(uchar(i * 31 + 200), m.bits[2]);
            p[3] = m.alpha ? level(uchar(i * 41 + 3), m.bits[3]) : 0xFF;
        }
    }
    return picture;
}

// Seeded colour noise: every pixel's chroma differs from its neighbours', so any slip in chroma
// upsampling at a crop's edge shows.
Pixels noise(QSize size, unsigned seed, bool alpha = false, int bits = 8) {
    Pixels picture(size, bits);
    std::mt19937 random(seed);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            for (int c = 0; c < 4; ++c) {
                const quint16 v = quint16(random());
                picture.at(x, y)[c] = c == 3 && !alpha ? (bits == 16 ? 0xFFFF : 0xFF)
                                      : bits == 16     ? v
                                                       : v & 0xFF;
            }
        }
    }
    return picture;
}

// A picture whose every region looks different, so a wrong corner or turn shows.
Pixels landmarks(QSize size) {
    Pixels picture(size);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            picture.set(x, y,
                        colour(x * 255 / size.width(), y * 255 / size.height(),
                               (x < 30) != (y < 20) ? 230 : 20));
        }
    }
    return picture;
}

void putLe(QByteArray& out, quint32 v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(char(v >> (8 * i) & 0xFF));
    }
}

QByteArray le32s(std::initializer_list<quint32> values) {
    QByteArray out;
    for (const quint32 v : values) {
        putLe(out, v, 4);
    }
    return out;
}

// A TGA file from its documented layout: the 18-byte header, the image ID, the colour map,
// then the pixels as given.
QByteArray tgaFile(int type, int depth, int descriptor, const QByteArray& id, int mapBits,
                   const QByteArray& map, const QByteArray& pixels, int width, int height) {
    QByteArray out;
    const int mapLength = mapBits ? int(map.size() / ((mapBits + 7) / 8)) : 0;
    out.append(char(id.size())).append(char(mapBits ? 1 : 0)).append(char(type));
    putLe(out, 0, 2);
    putLe(out, quint32(mapLength), 2);
    out.append(char(mapBits));
    putLe(out, 0, 4);
    putLe(out, quint32(width), 2);
    putLe(out, quint32(height), 2);
    out.append(char(depth)).append(char(descriptor));
    return out + id + map + pixels;
}
const QByteArray kTgaFooter = QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.\0", 18);

// A BMP file with a 40-byte header from its documented layout; `extra` (bit-field masks or a
// palette) follows the header, then the pixels.
QByteArray bmpFile(int width, int height, int bits, int compression, const QByteArray& extra,
                   const QByteArray& pixels) {
    QByteArray header;
    putLe(header, 40, 4);
    putLe(header, quint32(width), 4);
    putLe(header, quint32(height), 4);
    putLe(header, 1, 2);
    putLe(header, quint32(bits), 2);
    putLe(header, quint32(compression), 4);
    header.append(QByteArray(20, '\0'));
    QByteArray out("BM");
    putLe(out, quint32(14 + header.size() + extra.size() + pixels.size()), 4);
    putLe(out, 0, 4);
    putLe(out, quint32(14 + header.size() + extra.size()), 4);
    return out + header + extra + pixels;
}

// A palette of 4-byte entries: entry i is (16·i, 255 − 16·i, i).
QByteArray palette16() {
    QByteArray out;
    for (int i = 0; i < 16; ++i) {
        out.append(char(i)).append(char(255 - 16 * i)).append(char(16 * i)).append('\0');
    }
    return out;
}
Colour entry(int i) {
    return colour(16 * i, 255 - 16 * i, i);
}

// A small picture given pixel by pixel, row after row.
Pixels given(int width, const QList<Colour>& colours) {
    Pixels out(QSize(width, int(colours.size()) / width));
    for (int i = 0; i < colours.size(); ++i) {
        out.set(i % width, i / width, colours[i]);
    }
    return out;
}

// A 3 × 2 icon built byte by byte: one bitmap image at `depth` (24 or 32, every alpha byte 0)
// whose colours are `colours` (top row first) and whose mask makes (1, 0) and (2, 1)
// transparent. Rows are stored bottom-up, colour rows padded to four bytes, then the mask's.
QByteArray handMadeIcon(int depth, const QList<Colour>& colours) {
    const auto le = [](QByteArray& out, quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.append(char(value >> (8 * i)));
        }
    };
    QByteArray image;
    for (const quint32 v : {40u, 3u, 4u}) { // header size, width, height of colour and mask rows
        le(image, v, 4);
    }
    le(image, 1, 2);
    le(image, quint32(depth), 2);
    image.append(24, '\0'); // no compression, sizes and colour counts left 0
    for (int y = 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < 3; ++x) {
            const Colour c = colours[y * 3 + x];
            row.append(char(c >> 8)).append(char(c >> 16)).append(char(c >> 24));
            if (depth == 32) {
                row.append('\0');
            }
        }
        image.append(row.leftJustified((row.size() + 3) / 4 * 4, '\0'));
    }
    image.append(QByteArray("\x20\0\0\0\x40\0\0\0", 8)); // mask rows, bottom-up
    QByteArray icon("\0\0\1\0\1\0\3\2\0\0\1\0", 12);
    le(icon, quint32(depth), 2);
    le(icon, quint32(image.size()), 4);
    le(icon, 22, 4);
    return icon + image;
}

// A 4 × 1 GIF with no colour table anywhere, its pixels colour indices 0, 1, 2 and 255, and a
// graphic control extension making `transparent` (0 to 255) transparent when given. The image
// data are 9-bit LZW codes, least significant bit first: clear, the four indices, end.
QByteArray tablelessGif(int transparent = -1) {
    QByteArray gif("GIF89a\x04\x00\x01\x00\x00\x00\x00", 13);
    if (transparent >= 0) {
        gif.append("\x21\xF9\x04\x01\x00\x00", 6).append(char(transparent)).append('\0');
    }
    gif.append("\x2C\x00\x00\x00\x00\x04\x00\x01\x00\x00", 10);
    quint64 bits = 0;
    int count = 0;
    for (const quint64 code : {256, 0, 1, 2, 255, 257}) {
        bits |= code << count;
        count += 9;
    }
    QByteArray data;
    for (; count > 0; count -= 8, bits >>= 8) {
        data.append(char(bits & 0xFF));
    }
    return gif.append(char(8)).append(char(data.size())).append(data).append('\0').append(';');
}

// An EXIF block (big-endian TIFF, one entry) giving the orientation.
QByteArray exifBlock(quint16 orientation) {
    return QByteArray("MM\x00\x2A\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01", 18) +
           char(0) + char(orientation) + QByteArray(6, '\0');
}

// The JPEG with an APP1 EXIF block giving its orientation, 1 to 8.
QByteArray withExifOrientation(const QByteArray& jpeg, int orientation) {
    const QByteArray payload = QByteArray("Exif\0\0", 6) + exifBlock(quint16(orientation));
    const int length = int(payload.size()) + 2;
    return jpeg.left(2) + "\xFF\xE1" + char(length >> 8) + char(length & 0xFF) + payload +
           jpeg.mid(2);
}

// Valid damage that leaves a JPEG's pixels as they were.
enum class Damage {
    none,
    strayBytes, // bytes that are no marker before the quantisation tables and before the scan
    shortApp0,  // the JFIF segment's length four short, its last four bytes left as strays
};

QByteArray damagedJpeg(QByteArray jpeg, Damage damage) {
    if (damage == Damage::strayBytes) {
        jpeg.insert(jpeg.indexOf("\xFF\xDA"), QByteArray("\x00\x12\x34\x56", 4));
        jpeg.insert(jpeg.indexOf("\xFF\xDB"), QByteArray("\x7F\x00\x41", 3));
    } else if (damage == Damage::shortApp0) {
        const qsizetype app0 = jpeg.indexOf(QByteArrayView("\xFF\xE0\x00\x10JFIF\x00", 9));
        if (app0 < 0) {
            return {};
        }
        jpeg[app0 + 3] = char(0x10 - 4);
    }
    return jpeg;
}

// A PNG's colour type, depth and chunks; its samples drawn so a tRNS key occurs often.
struct PngLayout {
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool transparency = false; // a tRNS chunk
    bool gamma = false;        // a gAMA chunk, which viewers' readers leave unapplied
    bool interlaced = false;
};

void appendToBuffer(png_structp png, png_bytep data, png_size_t length) {
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

// A PNG of the layout written by libpng from seeded samples, with the pixels those samples
// stand for (grey widened to 8 bits by its multiple, palette entries looked up, the key colour
// or the palette's tRNS alpha applied).
QByteArray noisePng(QSize size, const PngLayout& layout, unsigned seed, Pixels* pixels) {
    const int channels = layout.colorType == PNG_COLOR_TYPE_RGB         ? 3
                         : layout.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                         : layout.colorType == PNG_COLOR_TYPE_GA        ? 2
                                                                        : 1;
    const int depth = layout.bitDepth;
    const unsigned max = (1u << depth) - 1;
    const unsigned key = depth == 16 ? 0x0101 : 1;
    std::mt19937 random(seed);
    std::vector<png_color> palette(layout.colorType == PNG_COLOR_TYPE_PALETTE ? 1u << depth : 0);
    for (png_color& c : palette) {
        c = {png_byte(random()), png_byte(random()), png_byte(random())};
    }
    std::vector<png_byte> alphas{0, 128, 255, 40};
    alphas.resize(std::min(alphas.size(), palette.size()));
    *pixels = Pixels(size, depth == 16 ? 16 : 8);
    std::vector<std::vector<png_byte>> rows(size_t(size.height()));
    for (int y = 0; y < size.height(); ++y) {
        std::vector<unsigned> samples;
        for (int x = 0; x < size.width(); ++x) {
            unsigned s[4];
            for (int c = 0; c < channels; ++c) {
                s[c] = random() % 2 == 0 ? key : unsigned(random()) & max;
                samples.push_back(s[c]);
            }
            quint16* p = pixels->at(x, y);
            const unsigned widen = depth < 8 ? 255 / max : 1;
            if (!palette.empty()) {
                const png_color& e = palette[s[0]];
                p[0] = e.red, p[1] = e.green, p[2] = e.blue;
                p[3] = layout.transparency && s[0] < alphas.size() ? alphas[s[0]] : 255;
                continue;
            }
            const bool rgb = channels >= 3;
            for (int c = 0; c < 3; ++c) {
                p[c] = quint16(s[rgb ? c : 0] * widen);
            }
            const bool keyed =
                layout.transparency && s[0] == key && (!rgb || (s[1] == key && s[2] == key));
            const unsigned opaque = depth == 16 ? 0xFFFF : 0xFF;
            p[3] = quint16(channels % 2 == 0 ? s[channels - 1] : keyed ? 0 : opaque);
        }
        // Samples packed most significant bits first, 16-bit ones big-endian.
        std::vector<png_byte>& row = rows[size_t(y)];
        row.assign((samples.size() * size_t(depth) + 7) / 8, 0);
        for (size_t i = 0; i < samples.size(); ++i) {
            if (depth == 16) {
                row[2 * i] = png_byte(samples[i] >> 8);
                row[2 * i + 1] = png_byte(samples[i] & 0xFF);
            } else {
                row[i * size_t(depth) / 8] |=
                    png_byte(samples[i] << (8 - depth - int(i * size_t(depth) % 8)));
            }
        }
    }
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendToBuffer, nullptr);
    png_set_IHDR(png, info, png_uint_32(size.width()), png_uint_32(size.height()), depth,
                 layout.colorType, layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) {
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    }
    if (layout.transparency && !palette.empty()) {
        png_set_tRNS(png, info, alphas.data(), int(alphas.size()), nullptr);
    } else if (layout.transparency) {
        png_color_16 colourKey{};
        colourKey.gray = colourKey.red = colourKey.green = colourKey.blue = png_uint_16(key);
        png_set_tRNS(png, info, nullptr, 0, &colourKey);
    }
    if (layout.gamma) {
        png_set_gAMA(png, info, 1.0 / 2.2);
    }
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (auto& row : rows) {
        pointers.push_back(row.data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The PNG with its header claiming another size (and a matching checksum).
QByteArray claimingSize(QByteArray png, quint32 width, quint32 height) {
    const int fields = int(png.indexOf("IHDR")) + 4;
    const auto put32 = [&png](int at, quint32 value) {
        for (int b = 0; b < 4; ++b) {
            png[at + b] = char(value >> (24 - 8 * b));
        }
    };
    put32(fields, width);
    put32(fields + 4, height);
    put32(fields + 13,
          quint32(::crc32(0, reinterpret_cast<const Bytef*>(png.constData() + fields - 4), 17)));
    return png;
}

} // namespace

Q_DECLARE_METATYPE(Pixels)

class PictureReadersTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    int files_ = 0;
    QList<QByteArray> orientedPngs_; // orientations 1 to 8, then 6 after the image data

    QString path(const QString& name) const { return dir_.filePath(name); }

    // A fresh file name with the suffix.
    QString fresh(const QString& suffix) { return path(u"f%1.%2"_s.arg(++files_).arg(suffix)); }

    // `picture` written as a PPM or PAM, then `script` run by sh with the input as $0, the
    // output (with the suffix) as $1 and `more` from $2 on; the output's bytes.
    QByteArray written(const Pixels& picture, const QString& script, const QString& suffix,
                       bool alpha, const QStringList& more = {}) {
        const QString in = fresh(alpha ? u"pam"_s : u"ppm"_s);
        const QString out = fresh(suffix);
        return writeAll(in, netpbm(picture, alpha)) &&
                       run(u"sh"_s, QStringList{u"-c"_s, script, in, out} + more)
                   ? readAll(out)
                   : QByteArray();
    }
    // ImageMagick's convert with `options`, which name the output ("$1") or have it added.
    QByteArray magick(const Pixels& picture, const QString& options, const QString& suffix,
                      bool alpha) {
        const QString output = options.contains(u"$1"_s) ? QString() : u" \"$1\""_s;
        return written(picture, u"/usr/bin/convert \"$0\" "_s + options + output, suffix, alpha);
    }
    // Pillow's save() of the picture converted as `mode` says ("'P', palette=Image.ADAPTIVE"),
    // with `arguments` as keywords.
    QByteArray pillow(const Pixels& picture, const QString& mode, const QString& arguments,
                      const QString& suffix) {
        const QString raw = fresh(u"rgba"_s);
        const QString out = fresh(suffix);
        QByteArray rgba;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                for (int c = 0; c < 4; ++c) {
                    rgba.append(char(picture.at(x, y)[c]));
                }
            }
        }
        const QString script =
            u"import sys\nfrom PIL import Image\nImage.frombytes('RGBA', "
            u"(%1, %2), open(sys.argv[1], 'rb').read()).convert(%3)"
            u".save(sys.argv[2]%4)"_s.arg(picture.width())
                .arg(picture.height())
                .arg(mode, arguments.isEmpty() ? QString() : u", "_s + arguments);
        return writeAll(raw, rgba) && run(u"/usr/bin/python3"_s, {u"-c"_s, script, raw, out})
                   ? readAll(out)
                   : QByteArray();
    }
    // What a reference decoder makes of a file: the tool's `arguments` with {in} and {out}.
    Pixels decodedBy(const QString& tool, QStringList arguments, const QByteArray& file,
                     const QString& suffix) {
        const QString in = fresh(suffix);
        const QString out = fresh(u"pnm"_s);
        arguments.replaceInStrings(u"{in}"_s, in).replaceInStrings(u"{out}"_s, out);
        return writeAll(in, file) && run(tool, arguments) ? fromNetpbm(readAll(out)) : Pixels();
    }

    static void columns() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("hint"); // the file's suffix, for formats without signature
        QTest::addColumn<Pixels>("expected");
        QTest::addColumn<qsizetype>("complete"); // bytes before an optional trailer; -1: all
    }
    static void row(const char* name, const QByteArray& file, const QByteArray& hint,
                    const Pixels& expected, qsizetype complete = -1) {
        QTest::newRow(name) << file << hint << expected << complete;
    }
    static void check() {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, hint);
        QFETCH(Pixels, expected);
        QFETCH(qsizetype, complete);
        checkReader(file, hint, expected, complete);
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void bmp_data() {
        columns();
        // ImageMagick and Pillow from the master; the header's depth shows the variant written.
        struct Variant {
            const char* name;
            QString options; // ImageMagick's; Pillow's mode and keywords after "pillow "
            Master master;
            int depth;
        };
        const Master opaque;
        const Master alpha{.alpha = true};
        const QList<Variant> variants = {
            {"ImageMagick BMP3 24-bit", u"BMP3:\"$1\""_s, opaque, 24},
            {"ImageMagick BMP3 8-bit palette", u"-type Palette BMP3:\"$1\""_s, opaque, 8},
            {"ImageMagick BMP3 RLE8", u"-type Palette -compress RLE BMP3:\"$1\""_s, opaque, 8},
            {"ImageMagick BMP2 palette", u"-type Palette BMP2:\"$1\""_s, opaque, 8},
            {"ImageMagick 5-5-5", u"-define bmp:subtype=RGB555"_s, {.bits = {5, 5, 5, 8}}, 16},
            {"ImageMagick V5 with an opaque alpha mask", u"-alpha on BMP:\"$1\""_s, opaque, 32},
            {"ImageMagick 24-bit V5", u"-type TrueColor"_s, opaque, 24},
            {"ImageMagick 24-bit info header", u"-type TrueColor -define bmp:format=bmp3"_s, opaque,
             24},
            {"ImageMagick 32-bit with alpha", u"-type TrueColorAlpha"_s, alpha, 32},
            {"ImageMagick 8-bit palette", u"-type Palette -compress None"_s, opaque, 8},
            {"ImageMagick RLE8", u"-type Palette -compress RLE"_s, opaque, 8},
            {"ImageMagick 4-bit palette", u"-type Palette"_s, {.colours = 16}, 4},
            {"ImageMagick 1-bit palette", u"-type Palette"_s, {.colours = 2}, 1},
            {"ImageMagick OS/2 24-bit", u"-type TrueColor -define bmp:format=bmp2"_s, opaque, 24},
            {"ImageMagick OS/2 palette", u"-type Palette -define bmp:format=bmp2"_s, opaque, 8},
            {"ImageMagick 5-6-5",
             u"-alpha off -define bmp:subtype=RGB565"_s,
             {.bits = {5, 6, 5, 8}},
             16},
            {"ImageMagick 5-5-5 without alpha",
             u"-alpha off -define bmp:subtype=RGB555"_s,
             {.bits = {5, 5, 5, 8}},
             16},
            {"ImageMagick 4-4-4-4",
             u"-define bmp:subtype=ARGB4444"_s,
             {.alpha = true, .bits = {4, 4, 4, 4}},
             16},
            {"small RLE8, every prefix",
             u"-type Palette -compress RLE"_s,
             {.alpha = true, .size = {9, 7}},
             8},
            {"small 4-4-4-4 bit fields, every prefix",
             u"-define bmp:subtype=ARGB4444"_s,
             {.alpha = true, .bits = {4, 4, 4, 4}, .size = {9, 7}},
             16},
            {"small OS/2, every prefix",
             u"-type Palette -define bmp:format=bmp2"_s,
             {.alpha = true, .size = {9, 7}},
             8},
            {"Pillow palette", u"pillow 'P', palette=Image.ADAPTIVE;"_s, {.colours = 16}, 8},
            {"Pillow RGB", u"pillow 'RGB';"_s, opaque, 24},
        };
        for (const Variant& v : variants) {
            const Pixels source = master(v.master);
            const bool pil = v.options.startsWith(u"pillow "_s);
            const QByteArray file =
                pil ? pillow(source, v.options.mid(7).section(u';', 0, 0), {}, u"bmp"_s)
                    : magick(source, v.options, u"bmp"_s, v.master.alpha);
            QVERIFY2(file.size() > 30, v.name);
            const bool core = uchar(file[14]) == 12;
            QCOMPARE(int(uchar(file[core ? 24 : 28])), v.depth);
            // Formats without alpha drop the master's.
            Master shown = v.master;
            shown.alpha = v.master.alpha && v.depth != 8 && v.depth != 24;
            row(v.name, file, {}, master(shown, true));
        }
        // Rows stored top-down (a negative height): ImageMagick's bottom-up file, rows in the
        // other order.
        const QByteArray bottomUp = magick(
            master(opaque), u"-type TrueColor -define bmp:format=bmp3 \"$1\""_s, u"bmp"_s, false);
        const int offset = int(uchar(bottomUp[10]) | uchar(bottomUp[11]) << 8);
        const int rowSize = (kMaster.width() * 3 + 3) / 4 * 4;
        QByteArray topDown = bottomUp.left(offset);
        topDown.replace(22, 4, le32s({quint32(-kMaster.height())}));
        for (int y = kMaster.height() - 1; y >= 0; --y) {
            topDown.append(bottomUp.mid(offset + y * rowSize, rowSize));
        }
        row("top-down rows", topDown, {}, master(opaque));

        // Variants no encoder here writes, from the documented layout: bit fields of unusual
        // widths, each n bits wide scaled as round(v · 255 / (2ⁿ − 1)); RLE with deltas, ends of
        // lines and absolute runs, skipped pixels left clear.
        // 11-11-10: red 1024/2047 → 127.56, green 1/2047 → 0.12, blue 512/1023 → 127.62.
        row("11-11-10 bit fields",
            bmpFile(2, 1, 32, 3, le32s({0xFFE00000, 0x001FFC00, 0x000003FF}),
                    le32s({1024u << 21 | 1u << 10 | 512u, 2047u << 21 | 2047u << 10 | 1023u})),
            {}, given(2, {colour(128, 0, 128), colour(255, 255, 255)}));
        // 10-10-10-2 with alpha: 341/1023 → 85.0, 682/1023 → 170.0; alpha 1/3 → 85, 2/3 → 170.
        row("10-10-10-2 bit fields with alpha",
            bmpFile(2, 1, 32, 6, le32s({0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}),
                    le32s({1u << 30 | 341u << 20 | 682u << 10 | 1023u,
                           2u << 30 | 0u << 20 | 1023u << 10 | 341u})),
            {}, given(2, {colour(85, 170, 255, 85), colour(0, 255, 85, 170)}));
        // 3-3-2 in 16 bits: 5/7 → 182.14, 2/3 → 170.
        row("3-3-2 bit fields",
            bmpFile(1, 1, 16, 3, le32s({0xE0, 0x1C, 0x03}), QByteArray("\xB6\x00\x00\x00", 4)), {},
            given(1, {colour(182, 182, 170)}));
        // Stored from the bottom: 3 × entry 1 and an end of line; an absolute run 0, 1, 2 and
        // 1 × entry 0; a delta one to the right, 1 × entry 2, the end of the bitmap.
        row("RLE8 with a delta and ends of lines",
            bmpFile(4, 3, 8, 1, palette16(),
                    QByteArray("\x03\x01\x00\x00"
                               "\x00\x03\x00\x01\x02\x00\x01\x00\x00\x00"
                               "\x00\x02\x01\x00\x01\x02\x00\x01",
                               22)),
            {},
            given(4, {kClear, entry(2), kClear, kClear, entry(0), entry(1), entry(2), entry(0),
                      entry(1), entry(1), entry(1), kClear}));
        row("RLE4 runs and an absolute run",
            bmpFile(4, 2, 4, 2, palette16(),
                    QByteArray("\x04\x12\x00\x00\x00\x03\x12\x30\x00\x01", 10)),
            {},
            given(4,
                  {entry(1), entry(2), entry(3), kClear, entry(1), entry(2), entry(1), entry(2)}));
        row("RLE8 with a delta past the last row",
            bmpFile(2, 1, 8, 1, palette16(), QByteArray("\x00\x02\x00\x05\x02\x01\x00\x01", 8)), {},
            given(2, {kClear, kClear}));
        row("4-bit, index outside a short palette",
            bmpFile(2, 1, 4, 0, palette16().left(8), QByteArray("\x1F\x00\x00\x00", 4)), {},
            given(2, {entry(1), colour(0, 0, 0)}));
    }
    void bmp() { check(); }

    void tga_data() {
        columns();
        // ImageMagick stores the master's first row first and only marks the origin; Pillow
        // stores rows in the order its origin says. Pillow's files end in a footer a reader
        // doesn't need.
        struct Variant {
            const char* name;
            QString options; // ImageMagick's; Pillow's mode and keywords after "pillow "
            Master master;
            int type;
        };
        const Master opaque;
        const Master alpha{.alpha = true};
        const Master grey{.grey = true};
        const QList<Variant> variants = {
            {"ImageMagick 24-bit", u"-alpha off"_s, opaque, 2},
            {"ImageMagick top-left", u"-alpha off -orient TopLeft"_s, opaque, 2},
            {"ImageMagick top-left, from the master's colours", u"-orient TopLeft"_s, opaque, 2},
            {"ImageMagick top-right", u"-alpha off -orient TopRight"_s, opaque, 2},
            {"ImageMagick bottom-right", u"-alpha off -orient BottomRight"_s, opaque, 2},
            {"ImageMagick RLE", u"-alpha off -compress RLE"_s, opaque, 10},
            {"ImageMagick RLE top-left", u"-orient TopLeft -compress RLE"_s, opaque, 10},
            {"ImageMagick RLE top-right", u"-alpha off -compress RLE -orient TopRight"_s, opaque,
             10},
            {"ImageMagick 32-bit RLE", u"-compress RLE"_s, alpha, 10},
            {"ImageMagick 32-bit", u"-compress None"_s, alpha, 2},
            {"ImageMagick colour-mapped", u"-alpha off -type Palette"_s, opaque, 1},
            {"ImageMagick colour-mapped top-left", u"-orient TopLeft -type Palette"_s, opaque, 1},
            {"ImageMagick colour-mapped RLE", u"-alpha off -type Palette -compress RLE"_s, opaque,
             9},
            {"ImageMagick greyscale", u"-alpha off -type Grayscale"_s, grey, 3},
            {"ImageMagick greyscale top-left", u"-orient TopLeft -type Grayscale"_s, grey, 3},
            {"ImageMagick greyscale RLE", u"-alpha off -type Grayscale -compress RLE"_s, grey, 11},
            {"small RLE, every prefix", u"-compress RLE"_s, {.alpha = true, .size = {9, 7}}, 10},
            {"small colour-mapped, every prefix",
             u"-type Palette"_s,
             {.alpha = true, .size = {9, 7}},
             1},
            {"Pillow RGB RLE", u"pillow 'RGB';rle=True"_s, opaque, 10},
            {"Pillow RGBA", u"pillow 'RGBA';"_s, alpha, 2},
            {"Pillow RGBA RLE", u"pillow 'RGBA';rle=True"_s, alpha, 10},
            {"Pillow greyscale RLE", u"pillow 'L';rle=True"_s, grey, 11},
            {"Pillow grey with alpha", u"pillow 'LA';"_s, {.alpha = true, .grey = true}, 3},
            {"Pillow grey with alpha RLE",
             u"pillow 'LA';rle=True"_s,
             {.alpha = true, .grey = true},
             11},
            {"Pillow grey with alpha RLE, compression keyword",
             u"pillow 'LA';compression='tga_rle'"_s,
             {.alpha = true, .grey = true},
             11},
            {"Pillow with an image ID", u"pillow 'RGB';id_section=b'made by Pillow'"_s, opaque, 2},
            {"Pillow top-left with an image ID",
             u"pillow 'RGB';orientation=1, id_section=b'made by Pillow'"_s, opaque, 2},
        };
        for (const Variant& v : variants) {
            const Pixels source = master(v.master);
            const bool pil = v.options.startsWith(u"pillow "_s);
            const QByteArray file = pil ? pillow(source, v.options.mid(7).section(u';', 0, 0),
                                                 v.options.section(u';', 1), u"tga"_s)
                                        : magick(source, v.options, u"tga"_s, v.master.alpha);
            QVERIFY2(file.size() > 18, v.name);
            QCOMPARE(int(file[2]), v.type);
            const int descriptor = uchar(file[17]);
            // A colour-mapped file keeps no alpha from ImageMagick.
            Master shown = v.master;
            shown.alpha = v.master.alpha && !(v.type == 1 && !pil);
            const Pixels expected =
                pil ? master(shown)
                    : master(shown).mirrored(descriptor & 0x10, !(descriptor & 0x20));
            row(v.name, file, "tga", expected,
                file.endsWith(kTgaFooter) ? file.size() - kTgaFooter.size() : -1);
        }
        // Pillow's colour-mapped RLE from a palette of the master's colours, 16 so that its
        // median cut keeps each exactly.
        const QByteArray mapped =
            pillow(master({.colours = 16}), u"'P', palette=Image.ADAPTIVE, colors=256"_s,
                   u"compression='tga_rle'"_s, u"tga"_s);
        QVERIFY(mapped.endsWith(kTgaFooter));
        row("Pillow bottom-up RLE colour-mapped", mapped, "tga", master({.colours = 16}),
            mapped.size() - kTgaFooter.size());

        // Variants no encoder here writes, from TGA's documented layout: 16-bit 5-5-5-1 pixels
        // and colour maps, whose 5-bit channels widen to 8 bits by bit replication (31 → 255,
        // 16 → 132, 1 → 8), the attribute bit being alpha only when alpha bits are declared;
        // 32-bit map entries; an image-ID field in front of the map.
        QByteArray pixels5551;
        putLe(pixels5551, 0x8000 | 31 << 10 | 16 << 5 | 1, 2);
        putLe(pixels5551, 0x0000 | 1 << 10 | 31 << 5 | 16, 2);
        row("16-bit with an alpha bit", tgaFile(2, 16, 0x21, {}, 0, {}, pixels5551, 2, 1), "tga",
            given(2, {colour(255, 132, 8), colour(8, 255, 132, 0)}));
        row("16-bit, attribute bit not alpha", tgaFile(2, 16, 0x20, {}, 0, {}, pixels5551, 2, 1),
            "tga", given(2, {colour(255, 132, 8), colour(8, 255, 132)}));
        row("15-bit", tgaFile(2, 15, 0x20, {}, 0, {}, pixels5551, 2, 1), "tga",
            given(2, {colour(255, 132, 8), colour(8, 255, 132)}));
        row("16-bit map entries, image ID",
            tgaFile(1, 8, 0x21, "an image ID", 16, pixels5551, QByteArray("\x01\x00", 2), 2, 1),
            "tga", given(2, {colour(8, 255, 132, 0), colour(255, 132, 8)}));
        row("32-bit map entries, bottom-right origin",
            tgaFile(1, 8, 0x18, {}, 32, QByteArray("\x10\x20\x30\x40\x50\x60\x70\x80", 8),
                    QByteArray("\x00\x01", 2), 2, 1),
            "tga", given(2, {colour(0x70, 0x60, 0x50, 0x80), colour(0x30, 0x20, 0x10, 0x40)}));
        row("RLE packet spanning rows",
            tgaFile(10, 24, 0x20, {}, 0, {}, QByteArray("\x81\x01\x02\x03", 4), 1, 2), "tga",
            given(1, {colour(3, 2, 1), colour(3, 2, 1)}));
        // Without its suffix a TGA is known by its footer alone.
        row("footer, no suffix",
            tgaFile(2, 24, 0x20, {}, 0, {}, QByteArray("\x01\x02\x03", 3), 1, 1) + kTgaFooter, {},
            given(1, {colour(3, 2, 1)}));
    }
    void tga() { check(); }

    void tiff_data() {
        columns();
        const Pixels opaque = master({});
        const Pixels grey = master({.grey = true});
        row("uncompressed", magick(opaque, u"-compress None"_s, u"tif"_s, false), "tif", opaque);
        row("LZW", magick(opaque, u"-compress LZW"_s, u"tif"_s, false), "tif", opaque);
        row("16-bit deflate", magick(opaque, u"-depth 16 -compress Zip"_s, u"tif"_s, false), "tif",
            opaque);
        row("palette", magick(opaque, u"-type Palette"_s, u"tif"_s, false), "tif", opaque);
        row("16-bit grey", magick(grey, u"-type Grayscale -depth 16"_s, u"tif"_s, false), "tif",
            grey);
        row("tiles (tiffcp)",
            written(opaque,
                    u"/usr/bin/convert \"$0\" -compress None \"$1.x.tif\" && "
                    u"tiffcp -t -w 16 -l 16 \"$1.x.tif\" \"$1\""_s,
                    u"tif"_s, false),
            "tif", opaque);
        for (int o = 2; o <= 8; ++o) {
            QTest::addRow("orientation %d", o)
                << written(opaque,
                           u"/usr/bin/convert \"$0\" -compress LZW \"$1\" && tiffset -s 274 %1 "
                           u"\"$1\""_s.arg(o),
                           u"tif"_s, false)
                << QByteArray("tif") << opaque.oriented(o) << qsizetype(-1);
        }
        // Pillow's L*a*b* (255, 128, 128) is L* 100, a* = b* = 0: white.
        const QString lab = fresh(u"tif"_s);
        QVERIFY(run(u"/usr/bin/python3"_s,
                    {u"-c"_s,
                     u"import sys; from PIL import Image; "
                     u"Image.new('LAB', (3, 2), (255, 128, 128)).save(sys.argv[1])"_s,
                     lab}));
        Pixels white(QSize(3, 2));
        for (int i = 0; i < 6; ++i) {
            white.set(i % 3, i / 3, colour(255, 255, 255));
        }
        row("CIE L*a*b* white", readAll(lab), "tif", white);
    }
    void tiff() {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, hint);
        QFETCH(Pixels, expected);
        checkReader(file, hint, expected, tiffComplete(file));
    }

    void png_data() {
        columns();
        const auto add = [](const QByteArray& name, const PngLayout& layout, QSize size,
                            unsigned seed = 11) {
            Pixels pixels;
            const QByteArray png = noisePng(size, layout, seed, &pixels);
            row(name.constData(), png, {}, pixels);
        };
        const QSize large(131, 90);
        for (int depth : {1, 2, 4, 8, 16}) {
            add("grey " + QByteArray::number(depth) + "-bit", {PNG_COLOR_TYPE_GRAY, depth}, large);
            add("grey " + QByteArray::number(depth) + "-bit with tRNS",
                {PNG_COLOR_TYPE_GRAY, depth, true}, large);
        }
        for (int depth : {1, 2, 4, 8}) {
            add("palette " + QByteArray::number(depth) + "-bit", {PNG_COLOR_TYPE_PALETTE, depth},
                large);
            add("palette " + QByteArray::number(depth) + "-bit with tRNS",
                {PNG_COLOR_TYPE_PALETTE, depth, true}, large);
        }
        for (int depth : {8, 16}) {
            const QByteArray d = " " + QByteArray::number(depth) + "-bit";
            add("grey + alpha" + d, {PNG_COLOR_TYPE_GRAY_ALPHA, depth}, large);
            add("RGB" + d, {PNG_COLOR_TYPE_RGB, depth}, large);
            add("RGBA" + d, {PNG_COLOR_TYPE_RGBA, depth}, large);
        }
        add("RGB 8-bit with tRNS", {PNG_COLOR_TYPE_RGB, 8, true}, large);
        add("RGB 16-bit with tRNS", {PNG_COLOR_TYPE_RGB, 16, true}, QSize(120, 80), 21);
        add("RGB with gAMA", {PNG_COLOR_TYPE_RGB, 8, false, true}, large);
        add("RGBA 16-bit with gAMA", {PNG_COLOR_TYPE_RGBA, 16, false, true}, large);
        add("palette with gAMA and tRNS", {PNG_COLOR_TYPE_PALETTE, 8, true, true}, large);
        add("narrow and tall", {PNG_COLOR_TYPE_RGBA, 8}, QSize(40, 120));
        add("smaller than the frame", {PNG_COLOR_TYPE_RGB, 8}, QSize(33, 21));
        add("interlaced", {PNG_COLOR_TYPE_RGBA, 8, false, false, true}, large);
        add("interlaced grey 16-bit with tRNS", {PNG_COLOR_TYPE_GRAY, 16, true, false, true},
            large);
        add("interlaced RGB 16-bit", {PNG_COLOR_TYPE_RGB, 16, false, false, true}, large);
        add("interlaced palette 2-bit with tRNS", {PNG_COLOR_TYPE_PALETTE, 2, true, false, true},
            large);
        add("interlaced, some passes empty", {PNG_COLOR_TYPE_RGB, 8, false, false, true},
            QSize(3, 2));

        // Interlaced by ImageMagick from a master of 8- or 16-bit samples.
        for (const int depth : {8, 16}) {
            Pixels wide = noise(kMaster, unsigned(depth), false, 16);
            if (depth == 8) {
                for (int y = 0; y < wide.height(); ++y) {
                    for (int i = 0; i < wide.width() * 4; ++i) {
                        wide.at(0, y)[i] = quint16((wide.at(0, y)[i] & 0xFF) * 257);
                    }
                }
            }
            const QByteArray png =
                magick(wide, u"-depth %1 -interlace PNG -alpha off"_s.arg(depth), u"png"_s, true);
            QVERIFY(png.size() > 28 && png[28] == 1); // the header's interlace method: Adam7
            QTest::addRow("ImageMagick interlaced %d-bit", depth)
                << png << QByteArray() << (depth == 8 ? wide.narrowed() : wide) << qsizetype(-1);
        }
        const Pixels noisy = noise(QSize(203, 157), 7);
        row("ImageMagick interlaced from noise",
            magick(noisy, u"-interlace PNG"_s, u"png"_s, false), {}, noisy);

        // An eXIf orientation turns the picture, as in Chromium and Firefox, when the chunk
        // comes before the image data; after it, it is ignored as those browsers ignore it.
        const Pixels stored = landmarks(QSize(150, 110));
        const char* script = R"(import sys, struct
from PIL import Image
exif = Image.Exif()
exif[0x0112] = int(sys.argv[3])
Image.open(sys.argv[1]).save(sys.argv[2], exif=exif)
if sys.argv[4] == 'after':
    data = open(sys.argv[2], 'rb').read()
    at = data.index(b'eXIf') - 4
    end = at + struct.unpack('>I', data[at:at + 4])[0] + 12
    chunk, data = data[at:end], data[:at] + data[end:]
    iend = data.index(b'IEND') - 4
    open(sys.argv[2], 'wb').write(data[:iend] + chunk + data[iend:])
)";
        for (int o = 1; o <= 9; ++o) {
            const bool after = o == 9;
            const QString in = fresh(u"ppm"_s);
            const QString out = fresh(u"png"_s);
            QVERIFY(writeAll(in, netpbm(stored, false)));
            QVERIFY(run(u"/usr/bin/python3"_s,
                        {u"-c"_s, QString::fromLatin1(script), in, out,
                         QString::number(after ? 6 : o), after ? u"after"_s : u"before"_s}));
            const QByteArray png = readAll(out);
            QCOMPARE(png.indexOf("eXIf") < png.indexOf("IDAT"), !after);
            orientedPngs_ << png;
            if (after) {
                row("eXIf orientation 6 after the image data", png, {}, stored);
            } else {
                QTest::addRow("eXIf orientation %d", o)
                    << png << QByteArray() << stored.oriented(o) << qsizetype(-1);
            }
        }
    }
    void png() { check(); }

    void jpeg_data() {
        columns();
        // cjpeg from noise (or landmarks), with the pixels djpeg decodes, shown as the EXIF
        // orientation says.
        const QString noisePpm = fresh(u"ppm"_s);
        QVERIFY(writeAll(noisePpm, netpbm(noise(QSize(203, 157), 7), false)));
        const QString landmarksPpm = fresh(u"ppm"_s);
        QVERIFY(writeAll(landmarksPpm, netpbm(landmarks(QSize(230, 170)), false)));
        const auto add = [this](const QByteArray& name, const QString& options, const QString& in,
                                int orientation, Damage damage) {
            const QString out = fresh(u"jpg"_s);
            QVERIFY(run(u"cjpeg"_s, options.split(u' ', Qt::SkipEmptyParts)
                                        << u"-outfile"_s << out << in));
            const QByteArray jpeg = withExifOrientation(readAll(out), orientation);
            const Pixels reference = decodedBy(
                u"djpeg"_s, {u"-pnm"_s, u"-outfile"_s, u"{out}"_s, u"{in}"_s}, jpeg, u"jpg"_s);
            row(name.constData(), damagedJpeg(jpeg, damage), {}, reference.oriented(orientation));
        };
        for (const QString& sampling : {u"1x1"_s, u"2x1"_s, u"2x2"_s}) {
            for (const bool progressive : {false, true}) {
                for (int o = 1; o <= 8; ++o) {
                    add(u"%1 %2, orientation %3"_s
                            .arg(sampling, progressive ? u"progressive"_s : u"baseline"_s)
                            .arg(o)
                            .toLatin1(),
                        u"-quality 90 -sample "_s + sampling +
                            (progressive ? u" -progressive"_s : QString()),
                        noisePpm, o, Damage::none);
                }
            }
        }
        add("2x2 progressive with restart markers",
            u"-quality 90 -sample 2x2 -restart 1 -progressive"_s, noisePpm, 1, Damage::none);
        add("grey", u"-quality 90 -grayscale"_s, noisePpm, 1, Damage::none);
        add("grey progressive, orientation 6", u"-quality 90 -grayscale -progressive"_s, noisePpm,
            6, Damage::none);
        // Viewers show these; libjpeg only warns about the bytes it skips.
        add("stray bytes between segments", u"-quality 90 -sample 2x2"_s, noisePpm, 1,
            Damage::strayBytes);
        add("stray bytes between segments, progressive, orientation 6",
            u"-quality 90 -sample 2x1 -progressive"_s, noisePpm, 6, Damage::strayBytes);
        add("APP0 segment cut short", u"-quality 90 -sample 1x1"_s, noisePpm, 1, Damage::shortApp0);
        add("cjpeg defaults", {}, noisePpm, 1, Damage::none);
        add("cjpeg defaults, progressive", u"-progressive"_s, noisePpm, 1, Damage::none);
        for (int o = 1; o <= 8; ++o) {
            add("landmarks, orientation " + QByteArray::number(o), u"-quality 95"_s, landmarksPpm,
                o, Damage::none);
        }
        // Adobe CMYK as ImageMagick writes it; djpeg multiplies it out rounded to nearest.
        const QByteArray cmyk = written(
            noise(QSize(203, 157), 7),
            u"/usr/bin/convert \"$0\" -colorspace CMYK -quality 95 \"$1\""_s, u"jpg"_s, false);
        row("Adobe CMYK", cmyk, {},
            decodedBy(u"djpeg"_s, {u"-pnm"_s, u"-outfile"_s, u"{out}"_s, u"{in}"_s}, cmyk,
                      u"jpg"_s));
    }
    void jpeg() { check(); }

    void webp_data() {
        columns();
        // cwebp from noise, with webpmux's EXIF orientation; lossless files show the master
        // itself, lossy ones the pixels dwebp decodes.
        const auto add = [this](const QByteArray& name, bool lossless, bool alpha, int orientation,
                                const QString& options) {
            const Pixels master = noise(QSize(203, 157), 9, alpha);
            const QString exif = fresh(u"exif"_s);
            QVERIFY(writeAll(exif, exifBlock(quint16(orientation))));
            const QByteArray webp =
                written(master,
                        u"cwebp -quiet %1 \"$0\" -o \"$1.plain.webp\" && webpmux -set exif \"$2\" "
                        u"\"$1.plain.webp\" -o \"$1\""_s.arg(options),
                        u"webp"_s, alpha, {exif});
            const Pixels shown =
                lossless ? master
                         : decodedBy(u"dwebp"_s,
                                     {u"-quiet"_s, u"-pam"_s, u"{in}"_s, u"-o"_s, u"{out}"_s}, webp,
                                     u"webp"_s);
            row(name.constData(), webp, {}, shown.oriented(orientation));
        };
        for (int o = 1; o <= 8; ++o) {
            add("lossy, orientation " + QByteArray::number(o), false, false, o, u"-q 80"_s);
        }
        add("lossy with alpha", false, true, 1, u"-q 80 -exact"_s);
        add("lossless", true, false, 1, u"-lossless"_s);
        add("lossless with alpha, orientation 6", true, true, 6, u"-lossless -exact"_s);
        add("cwebp defaults", false, false, 1, {});
    }
    void webp() { check(); }

    void gif_data() {
        columns();
        // ImageMagick from noise, with the pixels ImageMagick decodes.
        const auto add = [this](const char* name, const QString& options) {
            const QByteArray gif = magick(noise(QSize(203, 157), 7), options, u"gif"_s, false);
            row(name, gif, {},
                decodedBy(u"/usr/bin/convert"_s, {u"{in}"_s, u"-depth"_s, u"8"_s, u"pam:{out}"_s},
                          gif, u"gif"_s));
        };
        add("200 colours", u"-colors 200 -interlace None"_s);
        add("200 colours, interlaced", u"-colors 200 -interlace GIF"_s);
        add("interlaced with a transparent colour",
            u"-colors 200 -fuzz 30% -transparent '#808080' -interlace GIF"_s);
        add("ImageMagick defaults", {});
        add("ImageMagick defaults, interlaced", u"-interlace GIF"_s);

        // A first image covering only part of its logical screen: the rest is clear.
        const QString placed = fresh(u"gif"_s);
        QVERIFY(run(u"/usr/bin/convert"_s, {u"-size"_s, u"20x10"_s, u"xc:#FF0000"_s, u"-repage"_s,
                                            u"120x80+30+5"_s, placed}));
        Pixels screen(QSize(120, 80));
        for (int y = 5; y < 15; ++y) {
            for (int x = 30; x < 50; ++x) {
                screen.set(x, y, colour(255, 0, 0));
            }
        }
        row("image inside its screen", readAll(placed), {}, screen);
        // Without any colour table: index 0 black, 1 white, the rest black.
        const Colour black = colour(0, 0, 0);
        row("no colour table", tablelessGif(), {},
            given(4, {black, colour(255, 255, 255), black, black}));
        row("no colour table, index 1 transparent", tablelessGif(1), {},
            given(4, {black, kClear, black, black}));
    }
    void gif() { check(); }

    // Icons: the largest image, bitmaps at every depth ImageMagick writes (their mask opaque),
    // 32-bit ones with straight alpha, PNG images (Pillow writes them), and masks by hand.
    void ico_data() {
        columns();
        const QSize size(37, 23); // rows of every depth end in padding
        for (const int colours : {2, 16, 200}) {
            const Pixels opaque = master({.colours = colours, .size = size});
            QTest::addRow("ImageMagick %d-colour palette", colours)
                << magick(opaque, u"-type Palette"_s, u"ico"_s, false) << QByteArray("ico")
                << opaque << qsizetype(-1);
        }
        const Pixels alpha = master({.alpha = true, .size = size});
        row("ImageMagick 32-bit, partial alpha", magick(alpha, {}, u"ico"_s, true), "ico", alpha);
        row("Pillow, a PNG inside", pillow(alpha, u"'RGBA'"_s, u"sizes=[(37, 23)]"_s, u"ico"_s), {},
            alpha);
        const QString sizes = fresh(u"ico"_s);
        QVERIFY(run(u"/usr/bin/convert"_s,
                    {u"-size"_s, u"16x16"_s, u"xc:#FF0000"_s, u"-size"_s, u"48x40"_s,
                     u"xc:#00FF00"_s, u"-size"_s, u"32x32"_s, u"xc:#0000FF"_s, sizes}));
        Pixels green(QSize(48, 40));
        for (int i = 0; i < 48 * 40; ++i) {
            green.set(i % 48, i / 48, colour(0, 255, 0));
        }
        row("three sizes, the largest shown", readAll(sizes), {}, green);
        const QList<Colour> six = {colour(1, 2, 3), colour(40, 50, 60),  colour(200, 100, 0),
                                   colour(9, 8, 7), colour(255, 0, 255), colour(70, 80, 90)};
        const Pixels masked = given(3, {six[0], kClear, six[2], six[3], six[4], kClear});
        row("24-bit with a mask", handMadeIcon(24, six), {}, masked);
        row("32-bit without alpha, with a mask", handMadeIcon(32, six), {}, masked);
    }
    void ico() { check(); }

    // A GIF's frames come from the same reader as its first picture: the same pixels, and the
    // same sentence when cut short.
    void gifFramesAgree_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("no colour table") << tablelessGif();
        QTest::newRow("no colour table, index 1 transparent") << tablelessGif(1);
        QTest::newRow("trailer missing") << tablelessGif().chopped(1);
        QTest::newRow("cut in the image data") << tablelessGif().chopped(4);
    }
    void gifFramesAgree() {
        QFETCH(QByteArray, file);
        const DecodedFrames frames = readFrames(bytesOf(file), {});
        const Read first = readBytes(file, kCorner);
        QCOMPARE(QString::fromStdString(faultSentence(frames.fault)), first.failure);
        if (first.ok()) {
            QCOMPARE(frames.frames.size(), size_t(1));
            QCOMPARE(pixelsOf(frames.frames.front()), first.picture);
        } else {
            QCOMPARE(first.failure, kIncomplete);
        }
    }

    // A few bytes a frame can claim a whole canvas each: a set whose frames would not fit in
    // memory is refused with a message, and its corners (all the original size needs) still
    // read.
    void hugeGifFrameSets_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("reason");
        QTest::newRow("canvas 65535 × 65535") << 65535 << 65535 << 1 << u"图片太大"_s;
        QTest::newRow("600 one-pixel frames on 1000 × 1000")
            << 1000 << 1000 << 600 << u"动画太大：269 帧 1000 × 1000 像素"_s;
    }
    void hugeGifFrameSets() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, frames);
        QFETCH(QString, reason);
        // No colour table; each frame one pixel, LZW-coded as clear, 0, end in three-bit codes.
        QByteArray gif("GIF89a");
        gif += char(width & 0xFF);
        gif += char(width >> 8);
        gif += char(height & 0xFF);
        gif += char(height >> 8);
        gif += QByteArray(3, '\0');
        for (int i = 0; i < frames; ++i) {
            gif += QByteArray("\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0", 15);
        }
        gif += '\x3B';
        const DecodedFrames scaled = readFrames(bytesOf(gif), {.fit = Fit::Contain});
        const QString failure = QString::fromStdString(faultSentence(scaled.fault));
        QVERIFY2(failure.contains(reason), qPrintable(failure));
        QVERIFY(scaled.frames.empty());
        const DecodedFrames corners = readFrames(bytesOf(gif), {});
        QVERIFY(corners.ok());
        QCOMPARE(corners.frames.size(), size_t(frames));
    }

    // ImageMagick stores 16-bit associated alpha premultiplied: from the straight master below
    // it writes the samples checked here. Over the background each channel is
    // sample + bg · (1 − alpha), with the 16-bit samples as stored and rounded once:
    // round((255 · P + bg · (65535 − A)) / 65535), worked out by hand.
    void associatedAlphaBlendsAsAssociated_data() {
        QTest::addColumn<ColorValue>("background");
        QTest::addColumn<QList<ColorValue>>("shown");
        QTest::newRow("over F0F0F0") << RGB(0xF0, 0xF0, 0xF0)
                                     << QList<ColorValue>{RGB(129, 184, 248), RGB(71, 95, 119),
                                                          RGB(239, 239, 239), RGB(172, 112, 218)};
        QTest::newRow("over 102030") << RGB(0x10, 0x20, 0x30)
                                     << QList<ColorValue>{RGB(17, 80, 152), RGB(15, 44, 71),
                                                          RGB(17, 32, 48), RGB(124, 67, 176)};
    }
    void associatedAlphaBlendsAsAssociated() {
        QFETCH(ColorValue, background);
        QFETCH(QList<ColorValue>, shown);
        constexpr quint16 kStraight[4][4] = {{0x1234, 0x8000, 0xFFFF, 0x8000},
                                             {0x0F00, 0x2F80, 0x4F00, 0xC040},
                                             {0x7000, 0x0100, 0x0000, 0x0180},
                                             {0x9A20, 0x4D31, 0xD494, 0xC86A}};
        Pixels straight(QSize(4, 1), 16);
        for (int x = 0; x < 4; ++x) {
            std::copy_n(kStraight[x], 4, straight.at(x, 0));
        }
        const QByteArray file = written(straight,
                                        u"/usr/bin/convert \"$0\" -depth 16 -define "
                                        u"tiff:alpha=associated -compress None \"$1\""_s,
                                        u"tif"_s, true);
        // The stored samples (little-endian): P = (091A 4000 8000) A = 8000,
        // (0B44 23AC 3B54) C040, (00A8 0002 0000) 0180, (78A9 3C6E A66C) C86A.
        QVERIFY(file.contains(QByteArray::fromHex("1a09004000800080"
                                                  "440bac23543b40c0"
                                                  "a800020000008001"
                                                  "a9786e3c6ca66ac8")));
        const DecodedPicture loaded = readPicture(bytesOf(file), {98, 67}, "tif");
        QVERIFY(loaded.ok());
        const Conversion conversion = convertPicture(loaded.picture, {.background = background});
        for (int x = 0; x < 4; ++x) {
            QCOMPARE(conversion.shown[size_t(x)], shown[x]);
        }
    }

    // 16-bit associated alpha as ImageMagick writes it (LZW, predictor), alpha falling from
    // opaque to a few 65535ths: every pixel is the exact blend of its stored samples over the
    // background, rounded once, round((255 · P + bg · (65535 − A)) / 65535), with the samples read
    // by libtiff itself.
    void associatedSixteenBits_data() {
        QTest::addColumn<ColorValue>("background");
        QTest::newRow("over F0F0F0") << RGB(0xF0, 0xF0, 0xF0);
        QTest::newRow("over 102030") << RGB(0x10, 0x20, 0x30);
    }
    void associatedSixteenBits() {
        QFETCH(ColorValue, background);
        const QString path = fresh(u"tif"_s);
        QVERIFY(run(u"/usr/bin/convert"_s, {u"-size"_s,
                                            u"98x67"_s,
                                            u"gradient:#FF8000-#0040FF"_s,
                                            u"("_s,
                                            u"-size"_s,
                                            u"67x98"_s,
                                            u"gradient:white-black"_s,
                                            u"-rotate"_s,
                                            u"90"_s,
                                            u"-evaluate"_s,
                                            u"pow"_s,
                                            u"6"_s,
                                            u")"_s,
                                            u"-alpha"_s,
                                            u"off"_s,
                                            u"-compose"_s,
                                            u"CopyOpacity"_s,
                                            u"-composite"_s,
                                            u"-depth"_s,
                                            u"16"_s,
                                            u"-define"_s,
                                            u"tiff:alpha=associated"_s,
                                            u"-compress"_s,
                                            u"LZW"_s,
                                            path}));
        std::unique_ptr<TIFF, void (*)(TIFF*)> tif(
            TIFFOpen(QFile::encodeName(path).constData(), "r"), TIFFClose);
        QVERIFY(tif != nullptr);
        uint32_t width = 0, height = 0;
        uint16_t bits = 0, samples = 0;
        TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
        TIFFGetField(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
        QCOMPARE(bits, uint16_t(16));
        QCOMPARE(samples, uint16_t(4));
        std::vector<std::uint16_t> stored(std::size_t(width) * height * 4);
        for (uint32_t y = 0; y < height; ++y) {
            QVERIFY(TIFFReadScanline(tif.get(), stored.data() + std::size_t(y) * width * 4, y) > 0);
        }

        const DecodedPicture loaded = readPicture(bytesOf(readAll(path)), {98, 67}, "tif");
        QVERIFY(loaded.ok());
        const Conversion conversion = convertPicture(loaded.picture, {.background = background});
        const int bg[3] = {redOf(background), greenOf(background), blueOf(background)};
        int differing = 0;
        QString first;
        for (uint32_t y = 0; y < std::min<uint32_t>(height, 67); ++y) {
            for (uint32_t x = 0; x < std::min<uint32_t>(width, 98); ++x) {
                const std::uint16_t* p = stored.data() + (std::size_t(y) * width + x) * 4;
                int expected[3];
                for (int c = 0; c < 3; ++c) {
                    const int sum = 255 * p[c] + bg[c] * (65535 - p[3]);
                    expected[c] = std::min((sum + 32767) / 65535, 255);
                }
                const ColorValue shown = conversion.shown[std::size_t(y) * 98 + x];
                const int got[3] = {redOf(shown), greenOf(shown), blueOf(shown)};
                for (int c = 0; c < 3; ++c) {
                    if (got[c] != expected[c] && differing++ == 0) {
                        first = u"(%1, %2) channel %3: %4, expected %5"_s.arg(x)
                                    .arg(y)
                                    .arg(c)
                                    .arg(got[c])
                                    .arg(expected[c]);
                    }
                }
            }
        }
        QVERIFY2(differing == 0, qPrintable(u"%1 channels differ; %2"_s.arg(differing).arg(first)));
    }

    void bitFieldScaling_data() {
        QTest::addColumn<uint>("value");
        QTest::addColumn<int>("bits");
        QTest::addColumn<uint>("expected"); // round(v · 255 / (2ⁿ − 1)) by hand
        QTest::newRow("5-bit 1") << 1u << 5 << 8u;
        QTest::newRow("5-bit 3") << 3u << 5 << 25u;
        QTest::newRow("6-bit 33") << 33u << 6 << 134u;
        QTest::newRow("10-bit 512") << 512u << 10 << 128u;
        QTest::newRow("11-bit full") << 2047u << 11 << 255u;
        QTest::newRow("2-bit 1") << 1u << 2 << 85u;
        QTest::newRow("1-bit 1") << 1u << 1 << 255u;
        QTest::newRow("8-bit unchanged") << 200u << 8 << 200u;
    }
    void bitFieldScaling() {
        QFETCH(uint, value);
        QFETCH(int, bits);
        QFETCH(uint, expected);
        QCOMPARE(scaledChannel(value, bits), expected);
    }

    // For a scaling fit a JPEG is decoded reduced by the largest power of two that still leaves
    // the fit at least one picture pixel per box pixel: 1600 × 1000 by 8 is 200 × 125 (the
    // contained picture is 98 × 61); 700 × 460 by 4 is 175 × 115 (by 8 it would be only 58 rows
    // for cover's 67). EXIF orientation 6 turns it a quarter, reduced as shown.
    void jpegIsDecodedReducedForAFit_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<Fit>("fit");
        QTest::addColumn<QSize>("decoded");
        QTest::newRow("contain by 8") << QSize(1600, 1000) << 1 << Fit::Contain << QSize(200, 125);
        QTest::newRow("stretch by 8") << QSize(1600, 1000) << 1 << Fit::Stretch << QSize(200, 125);
        QTest::newRow("cover by 4") << QSize(700, 460) << 1 << Fit::Cover << QSize(175, 115);
        QTest::newRow("original, the corner")
            << QSize(1600, 1000) << 1 << Fit::Original << QSize(98, 67);
        QTest::newRow("turned, contain by 8")
            << QSize(1600, 1000) << 6 << Fit::Contain << QSize(125, 200);
        QTest::newRow("small, whole") << QSize(150, 90) << 1 << Fit::Contain << QSize(150, 90);
    }
    void jpegIsDecodedReducedForAFit() {
        QFETCH(QSize, size);
        QFETCH(int, orientation);
        QFETCH(Fit, fit);
        QFETCH(QSize, decoded);
        const QString file = fresh(u"jpg"_s);
        QVERIFY(
            run(u"/usr/bin/convert"_s, {u"-size"_s, u"%1x%2"_s.arg(size.width()).arg(size.height()),
                                        u"gradient:red-blue"_s, file}));
        const QByteArray jpeg = withExifOrientation(readAll(file), orientation);
        const DecodedPicture loaded = fit == Fit::Original ? readPicture(bytesOf(jpeg), {98, 67})
                                                           : readReducedJpeg(bytesOf(jpeg), fit);
        QVERIFY(loaded.ok());
        QCOMPARE(QSize(loaded.picture.width(), loaded.picture.height()), decoded);
    }

    // A JPEG whose size the reduction doesn't divide is still reduced by the decoder's own
    // averaging, never by picking every other pixel. Stripes 4 columns wide (black, white) make
    // every 8-column block half white: reduced to 1/8 each block is 127.5, and so is every
    // area-averaged box pixel; a picture sampled at 1/4 with columns skipped would show runs of
    // black and white instead.
    void jpegOfAnOddSizeIsReducedByAveraging() {
        constexpr int kWidth = 1001;
        constexpr int kHeight = 701;
        QByteArray pgm =
            "P5\n" + QByteArray::number(kWidth) + ' ' + QByteArray::number(kHeight) + "\n255\n";
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                pgm.append(char(x / 4 % 2 == 0 ? 0 : 255));
            }
        }
        const QString source = fresh(u"pgm"_s);
        const QString file = fresh(u"jpg"_s);
        QVERIFY(writeAll(source, pgm));
        QVERIFY(run(u"cjpeg"_s, {u"-quality"_s, u"100"_s, u"-outfile"_s, file, source}));
        const DecodedPicture loaded = readForFit(bytesOf(readAll(file)), {.fit = Fit::Stretch});
        QVERIFY(loaded.ok());
        const Conversion conversion = convertPicture(loaded, {.fit = Fit::Stretch});
        // The picture's last column (black) is a block of its own, so the box's last column is
        // left out; the rest is grey.
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth - 1; ++x) {
                const int red = redOf(conversion.shown[size_t(y * kFrameWidth + x)]);
                QVERIFY2(red >= 112 && red <= 143,
                         qPrintable(u"%1 at %2, %3"_s.arg(red).arg(x).arg(y)));
            }
        }
    }

    // A PNG's orientation applies to the scaling fits too: they read the rows as stored and
    // turn the small result, giving the frame of the picture turned here by index arithmetic.
    void pngOrientationForAFit_data() {
        QTest::addColumn<QByteArray>("png");
        QTest::addColumn<int>("shownAs");
        for (int o = 1; o <= 8; ++o) {
            QTest::addRow("eXIf orientation %d", o) << orientedPngs_.value(o - 1) << o;
        }
        QTest::newRow("eXIf orientation 6 after the image data") << orientedPngs_.value(8) << 1;
    }
    void pngOrientationForAFit() {
        QFETCH(QByteArray, png);
        QFETCH(int, shownAs);
        const Pixels upright = landmarks(QSize(150, 110)).oriented(shownAs);
        Picture picture(upright.width(), upright.height());
        for (int y = 0; y < upright.height(); ++y) {
            for (int i = 0; i < upright.width() * 4; ++i) {
                picture.row(y)[i] = std::uint8_t(upright.at(0, y)[i]);
            }
        }
        const ConversionOptions options{.fit = Fit::Contain};
        const DecodedPicture scaled = readForFit(bytesOf(png), options);
        QVERIFY(scaled.ok() && scaled.scaled);
        QCOMPARE(convertPicture(scaled, options).frame, convertPicture(picture, options).frame);
    }

    void brokenPictures_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        Pixels unused;
        const QByteArray png = noisePng(QSize(120, 80), {}, 3, &unused);
        QByteArray badCrc = png;
        badCrc[png.indexOf("IDAT") + 10] = char(badCrc[png.indexOf("IDAT") + 10] ^ 0x5A);
        const QByteArray jpeg =
            written(landmarks(QSize(120, 80)), u"cjpeg -quality 90 -outfile \"$1\" \"$0\""_s,
                    u"jpg"_s, false);
        std::mt19937 random(5);
        QByteArray noiseBytes(3000, '\0');
        for (char& c : noiseBytes) {
            c = char(random());
        }
        QTest::newRow("random bytes") << noiseBytes << u"不是可识别的图片格式"_s;
        QTest::newRow("PNG cut in its image data") << png.left(png.size() - 200) << u"不完整"_s;
        QTest::newRow("PNG with damaged image data") << badCrc << u"损坏"_s;
        QTest::newRow("JPEG cut in its scan") << jpeg.left(jpeg.size() - 300) << u"不完整"_s;
        QTest::newRow("only a PNG signature") << png.left(8) << u"图片"_s;
    }
    void brokenPictures() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        for (const QSize& corner : {kCorner, QSize()}) {
            const Read loaded = readBytes(bytes, corner);
            QVERIFY(!loaded.ok());
            QVERIFY2(loaded.failure.contains(reason) || !corner.isValid(),
                     qPrintable(loaded.failure));
        }
    }

    // A few hundred bytes that claim 60000 × 60000 pixels: no hang, no huge allocation, and
    // where the picture would have to be decoded whole, a plain "too large". Interlaced ones too
    // are read only through the passes the corner needs.
    void hugeDeclaredSizes() {
        Pixels unused;
        const QByteArray plain = claimingSize(noisePng(QSize(8, 8), {}, 1, &unused), 60000, 60000);
        QVERIFY(plain.size() < 1000);
        QVERIFY(!readBytes(plain, kCorner).ok()); // its first rows aren't there
        const Read whole = readBytes(plain);
        QVERIFY2(whole.failure.contains(u"图片太大：60000 × 60000"_s), qPrintable(whole.failure));
        PngLayout interlaced;
        interlaced.interlaced = true;
        QVERIFY(
            !readBytes(claimingSize(noisePng(QSize(8, 8), interlaced, 1, &unused), 60000, 60000),
                       kCorner)
                 .ok());
    }

    // A few bytes that claim billions of pixels a scaling fit would have to average (a BMP's
    // run-length data may end the picture at once; a GIF's canvas may dwarf its frame): a
    // plain "too large" at once, for the corner the few pixels there are.
    void hugeSparsePicturesForAFit_data() {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray bmp("BM");
        bmp += le32s({14 + 40 + 4 + 2, 0, 14 + 40 + 4});
        bmp += le32s({40, 40000, 40000});
        bmp += QByteArray("\x01\x00\x08\x00", 4); // one plane, 8 bits a pixel
        bmp += le32s({1, 2, 0, 0, 1, 0});         // RLE8, one colour
        bmp += QByteArray("\x00\x00\xFF\x00", 4); // red
        bmp += QByteArray("\x00\x01", 2);         // end of bitmap
        QTest::newRow("BMP RLE8 ending at once, 40000 × 40000") << bmp;
        QByteArray tall = bmp;
        tall.replace(18, 8, QByteArray("\x0D\x00\x00\x00\x40\x42\x0F\x00", 8));
        QTest::newRow("BMP RLE8 ending at once, 13 × 1000000") << tall;
        // No colour table; one pixel, LZW-coded as clear, 0, end in three-bit codes.
        QTest::newRow("GIF canvas 65535 × 65535 round one pixel")
            << QByteArray("GIF89a\xFF\xFF\xFF\xFF\x00\x00\x00"
                          "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00"
                          "\x02\x02\x44\x01\x00\x3B",
                          13 + 10 + 6);
    }
    void hugeSparsePicturesForAFit() {
        QFETCH(QByteArray, bytes);
        for (const Fit fit : {Fit::Contain, Fit::Cover, Fit::Stretch}) {
            const DecodedPicture scaled = readForFit(bytesOf(bytes), {.fit = fit});
            const QString failure = QString::fromStdString(faultSentence(scaled.fault));
            QVERIFY2(failure.contains(u"图片太大"_s), qPrintable(failure));
            QVERIFY(scaled.picture.isNull() && !scaled.scaled);
        }
        const DecodedPicture corner = readForFit(bytesOf(bytes), {});
        QVERIFY(corner.ok());
    }
};

QTEST_GUILESS_MAIN(PictureReadersTest)
#include "picture_readers_test.moc"
