#include "ico_reader.h"

namespace ravik {
namespace {

quint32 le16(const uchar* p) {
    return quint32(p[0]) | quint32(p[1]) << 8;
}
quint32 le32(const uchar* p) {
    return le16(p) | le16(p + 2) << 16;
}

constexpr qsizetype kDirectoryBytes = 6;
constexpr qsizetype kEntryBytes = 16;
constexpr quint32 kInfoHeaderBytes = 40;

} // namespace

std::optional<QImage> readIconWithAlpha(QByteArrayView data, int index) {
    const auto* p = reinterpret_cast<const uchar*>(data.data());
    const qsizetype entry = kDirectoryBytes + kEntryBytes * qsizetype(index);
    if (index < 0 || entry + kEntryBytes > data.size() || le16(p) != 0 || le16(p + 2) != 1 ||
        qsizetype(le16(p + 4)) <= index) {
        return std::nullopt;
    }
    // The image: a BMP info header whose height counts both the colour rows and the mask's,
    // then the colour rows bottom-up, four bytes a pixel (B G R A), then the mask.
    const qint64 start = le32(p + entry + 12);
    if (start + qint64{kInfoHeaderBytes} > data.size()) {
        return std::nullopt;
    }
    const uchar* header = p + start;
    const quint32 headerBytes = le32(header);
    const qint64 width = qint32(le32(header + 4));
    const qint64 doubled = qint32(le32(header + 8));
    const bool plain = le16(header + 14) == 32 && le32(header + 16) == 0 && le32(header + 32) == 0;
    if (headerBytes < kInfoHeaderBytes || !plain || width <= 0 || doubled <= 0 ||
        doubled % 2 != 0) {
        return std::nullopt;
    }
    const qint64 height = doubled / 2;
    const qint64 pixels = start + headerBytes;
    if (width > data.size() / 4 || height > data.size() ||
        pixels + width * height * 4 > data.size()) {
        return std::nullopt;
    }
    QImage picture(int(width), int(height), QImage::Format_ARGB32);
    if (picture.isNull()) {
        return std::nullopt;
    }
    bool anyAlpha = false;
    for (qint64 y = 0; y < height; ++y) {
        const uchar* in = p + pixels + (height - 1 - y) * width * 4;
        auto* out = reinterpret_cast<QRgb*>(picture.scanLine(int(y)));
        for (qint64 x = 0; x < width; ++x, in += 4) {
            out[x] = qRgba(in[2], in[1], in[0], in[3]);
            anyAlpha = anyAlpha || in[3] != 0;
        }
    }
    // With every alpha byte zero the mask says what is transparent; Qt's reader applies it.
    if (!anyAlpha) {
        return std::nullopt;
    }
    return picture;
}

} // namespace ravik
