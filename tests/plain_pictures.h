#pragma once

// For reader tests that link only the pictures library: expected pixels as 8-bit straight RGBA
// without any GUI library, and the library's reading as such pixels with the fault put into
// words.

#include "pictures/pictures.h"
#include "pictures/row_sink.h"

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QtTest/QTest>
#include <algorithm>
#include <cstring>
#include <vector>

namespace ravik::testing {

// One pixel as R G B A, red in the top byte, so a failing comparison prints it readably.
using Colour = quint32;
constexpr Colour colour(int r, int g, int b, int a = 255) {
    return Colour(r) << 24 | Colour(g) << 16 | Colour(b) << 8 | Colour(a);
}
constexpr Colour kTransparent = 0;
constexpr int alphaOf(Colour c) {
    return int(c & 0xFF);
}

// A picture as 8-bit straight RGBA bytes, row after row.
class Pixels {
public:
    Pixels() = default;
    explicit Pixels(const QSize& size)
        : size_(size), bytes_(size_t(size.width()) * size_t(size.height()) * 4, 0) {}

    int width() const { return size_.width(); }
    int height() const { return size_.height(); }
    QSize size() const { return size_; }
    bool isNull() const { return size_.isEmpty(); }
    uchar* scanLine(int y) { return bytes_.data() + size_t(y) * size_t(width()) * 4; }
    const uchar* constScanLine(int y) const {
        return bytes_.data() + size_t(y) * size_t(width()) * 4;
    }
    Colour pixelColor(int x, int y) const {
        const uchar* p = constScanLine(y) + 4 * x;
        return colour(p[0], p[1], p[2], p[3]);
    }
    Pixels copy(const QRect& area) const {
        Pixels part(area.size());
        for (int y = 0; y < area.height(); ++y) {
            std::memcpy(part.scanLine(y), constScanLine(area.y() + y) + 4 * area.x(),
                        size_t(area.width()) * 4);
        }
        return part;
    }
    // Mirrored left-right and/or flipped top-bottom.
    Pixels mirrored(bool mirror, bool flip) const {
        Pixels out(size_);
        for (int y = 0; y < height(); ++y) {
            for (int x = 0; x < width(); ++x) {
                std::memcpy(out.scanLine(y) + 4 * x,
                            constScanLine(flip ? height() - 1 - y : y) +
                                4 * (mirror ? width() - 1 - x : x),
                            4);
            }
        }
        return out;
    }
    bool operator==(const Pixels&) const = default;

private:
    QSize size_;
    std::vector<uchar> bytes_;
};

// What the pictures library read: the picture as 8-bit straight RGBA (16-bit samples keeping
// their top bits), or the user's sentence for why not.
struct Read {
    Pixels picture;
    QString failure;
    bool ok() const { return failure.isEmpty(); }
};

// The library's own result, for tests that convert it further.
inline DecodedPicture decodeBytes(const QByteArray& file, const QSize& corner = QSize(),
                                  const QByteArray& hint = {}) {
    return readPicture(Bytes(file.constData(), size_t(file.size())),
                       corner.isValid() ? Size{corner.width(), corner.height()} : Size{},
                       std::string_view(hint.constData(), size_t(hint.size())));
}

inline Read readBytes(const QByteArray& file, const QSize& corner = QSize(),
                      const QByteArray& hint = {}) {
    const DecodedPicture decoded = decodeBytes(file, corner, hint);
    if (!decoded.ok()) {
        return {{}, QString::fromStdString(faultSentence(decoded.fault))};
    }
    const Picture& picture = decoded.picture;
    Pixels pixels(QSize(picture.width(), picture.height()));
    for (int y = 0; y < picture.height(); ++y) {
        rgba8Row(picture.row(y), picture.width(), picture.bitsPerChannel(), picture.alpha(),
                 kDefaultBackground, pixels.scanLine(y));
    }
    return {pixels, {}};
}

} // namespace ravik::testing

namespace QTest {
template <> inline char* toString(const ravik::testing::Pixels& pixels) {
    return qstrdup(QByteArray("Pixels " + QByteArray::number(pixels.width()) + "x" +
                              QByteArray::number(pixels.height()))
                       .constData());
}
} // namespace QTest
