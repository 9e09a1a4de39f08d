#pragma once

// Small helpers the test suites share: reading and writing whole files, encoding pictures in
// memory, and giving a JPEG an EXIF orientation.

#include "test_tools.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace ravik::testing {

// The picture encoded in format; empty when the writer can't write it.
inline QByteArray encoded(const QImage& picture, const QByteArray& format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    return writer.write(picture) ? bytes : QByteArray();
}

// The JPEG with an EXIF block (little-endian TIFF, one entry) giving its orientation, 1 to 8.
inline QByteArray withExifOrientation(const QByteArray& jpeg, quint16 orientation) {
    QByteArray tiff("II\x2A\x00\x08\x00\x00\x00", 8);
    const auto put16 = [&tiff](quint16 v) {
        tiff.append(char(v & 0xFF)).append(char(v >> 8));
    };
    for (const quint16 field : {quint16(1), quint16(0x0112), quint16(3), quint16(1), quint16(0),
                                orientation, quint16(0), quint16(0), quint16(0)}) {
        put16(field); // one entry: Orientation, SHORT, count 1, the value; then no next IFD
    }
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const quint16 length = quint16(payload.size() + 2);
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(length >> 8)).append(char(length & 0xFF)).append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

} // namespace ravik::testing
