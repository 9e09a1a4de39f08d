#include "picture_orientation.h"

#include <QColorSpace>
#include <QImageReader>
#include <cstring>

namespace ravik {

int exifOrientation(QByteArrayView exif) {
    if (exif.startsWith(QByteArrayView("Exif\0\0", 6))) {
        exif = exif.sliced(6);
    }
    if (exif.size() < 8) {
        return 1;
    }
    const auto* p = reinterpret_cast<const uchar*>(exif.data());
    const bool little = p[0] == 'I' && p[1] == 'I';
    if (!little && !(p[0] == 'M' && p[1] == 'M')) {
        return 1;
    }
    const auto get16 = [&](qsizetype at) {
        return little ? unsigned(p[at] | p[at + 1] << 8) : unsigned(p[at] << 8 | p[at + 1]);
    };
    const auto get32 = [&](qsizetype at) {
        return little ? quint32(get16(at) | get16(at + 2) << 16)
                      : quint32(get16(at) << 16 | get16(at + 2));
    };
    const quint32 ifd = get32(4);
    if (ifd > quint32(exif.size()) - 2) {
        return 1;
    }
    const unsigned entries = get16(ifd);
    for (unsigned i = 0; i < entries; ++i) {
        const qsizetype entry = qsizetype(ifd) + 2 + qsizetype(i) * 12;
        if (entry + 12 > exif.size()) {
            break;
        }
        if (get16(entry) == 0x0112 && get16(entry + 2) == 3) {
            const unsigned value = get16(entry + 8);
            return value >= 1 && value <= 8 ? int(value) : 1;
        }
    }
    return 1;
}

QImageIOHandler::Transformations orientationTransformation(int orientation) {
    switch (orientation) {
    case 2:
        return QImageIOHandler::TransformationMirror;
    case 3:
        return QImageIOHandler::TransformationRotate180;
    case 4:
        return QImageIOHandler::TransformationFlip;
    case 5:
        return QImageIOHandler::TransformationFlipAndRotate90;
    case 6:
        return QImageIOHandler::TransformationRotate90;
    case 7:
        return QImageIOHandler::TransformationMirrorAndRotate90;
    case 8:
        return QImageIOHandler::TransformationRotate270;
    default:
        return QImageIOHandler::TransformationNone;
    }
}

QRect storedCorner(const QSize& stored, QImageIOHandler::Transformations transformation,
                   const QSize& corner) {
    if (!corner.isValid()) {
        return QRect(QPoint(), stored);
    }
    const bool turned = transformation & QImageIOHandler::TransformationRotate90;
    const bool mirrored = transformation & QImageIOHandler::TransformationMirror;
    const bool flipped = transformation & QImageIOHandler::TransformationFlip;
    const QSize shown = turned ? stored.transposed() : stored;
    const QSize wanted = corner.boundedTo(shown);
    const auto toStored = [&](int x, int y) {
        // Undo the quarter turn: shown (x, y) came from (y, height - 1 - x).
        QPoint p = turned ? QPoint(y, stored.height() - 1 - x) : QPoint(x, y);
        if (mirrored) {
            p.setX(stored.width() - 1 - p.x());
        }
        if (flipped) {
            p.setY(stored.height() - 1 - p.y());
        }
        return p;
    };
    const QPoint a = toStored(0, 0);
    const QPoint b = toStored(wanted.width() - 1, wanted.height() - 1);
    return QRect(QPoint(qMin(a.x(), b.x()), qMin(a.y(), b.y())),
                 QPoint(qMax(a.x(), b.x()), qMax(a.y(), b.y())));
}

QImage upright(const QImage& stored, QImageIOHandler::Transformations transformation) {
    const bool mirrored = transformation & QImageIOHandler::TransformationMirror;
    const bool flipped = transformation & QImageIOHandler::TransformationFlip;
    QImage image = (mirrored || flipped) ? stored.mirrored(mirrored, flipped) : stored;
    if (!(transformation & QImageIOHandler::TransformationRotate90)) {
        return image;
    }
    // A quarter turn clockwise, pixel for pixel: shown (x, y) is stored (y, height - 1 - x).
    QImage turned(image.height(), image.width(), image.format());
    if (turned.isNull()) {
        return {};
    }
    const int bytes = image.depth() / 8;
    for (int y = 0; y < turned.height(); ++y) {
        uchar* out = turned.scanLine(y);
        for (int x = 0; x < turned.width(); ++x) {
            std::memcpy(out + x * bytes, image.constScanLine(image.height() - 1 - x) + y * bytes,
                        size_t(bytes));
        }
    }
    turned.setColorSpace(image.colorSpace());
    return turned;
}

bool exceedsDecodeLimit(const QSize& size, qint64 bytesPerPixel) {
    const qint64 limitBytes = qint64{QImageReader::allocationLimit()} * 1024 * 1024;
    return limitBytes > 0 && qint64{size.width()} * size.height() * bytesPerPixel > limitBytes;
}

LoadedPicture corruptPicture() {
    return {QImage(), QStringLiteral(u"图片数据无效或已损坏"), std::nullopt};
}

LoadedPicture incompletePicture() {
    return {QImage(), QStringLiteral(u"图片数据不完整，文件可能只下载或复制了一部分"),
            std::nullopt};
}

LoadedPicture tooLargePicture(const QSize& size) {
    return {QImage(),
            QStringLiteral(u"图片太大：%1 × %2 像素，超出了可以解码的大小")
                .arg(size.width())
                .arg(size.height()),
            std::nullopt};
}

} // namespace ravik
