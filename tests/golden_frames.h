#pragma once

// Expected frames worked out from the frame description alone, never through our packing code:
// pictures made of flat horizontal bands, whose frame follows by hand. Each pixel keeps the high
// nibble of each channel; a pair of equal pixels (r, g, b) is the three bytes rg, br, gb; a row is
// 49 such pairs; the frame is the 67 rows top to bottom.

#include <QByteArray>
#include <QImage>
#include <functional>

namespace ravik::testing {

using BandColour = std::function<QRgb(int y)>;

// A picture whose row y is all bandColour(y).
inline QImage bandPicture(int width, int height, const BandColour& bandColour) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.setPixel(x, y, bandColour(y));
        }
    }
    return picture;
}

// The 9849 bytes of a frame whose row y (0 to 66) is all bandColour(y).
inline QByteArray bandFrame(const BandColour& bandColour) {
    QByteArray bytes;
    for (int y = 0; y < 67; ++y) {
        const QRgb c = bandColour(y);
        const int r = qRed(c) >> 4, g = qGreen(c) >> 4, b = qBlue(c) >> 4;
        const char pair[3] = {char(r << 4 | g), char(b << 4 | r), char(g << 4 | b)};
        bytes.append(QByteArray(pair, 3).repeated(49));
    }
    return bytes;
}

// Rows of distinct colours, so that a row out of place or a channel swapped shows.
inline QRgb band(int y) {
    return qRgb((y * 37) & 0xFF, (y * 11 + 0x40) & 0xFF, (255 - y * 3) & 0xFF);
}

inline QByteArray flatFrame(QRgb colour) {
    return bandFrame([colour](int) { return colour; });
}

} // namespace ravik::testing
