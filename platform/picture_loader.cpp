#include "picture_loader.h"

#include "platform/bmp_reader.h"
#include "platform/png_corner.h"
#include "platform/tga_reader.h"
#include "platform/tiff_reader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStringList>
#include <optional>

namespace ravik {
namespace {

LoadedPicture failed(const QString& reason) {
    return {QImage(), reason};
}

QString readFailureReason(QImageReader::ImageReaderError error) {
    switch (error) {
    case QImageReader::FileNotFoundError:
        return QStringLiteral(u"文件不存在");
    case QImageReader::DeviceError:
        return QStringLiteral(u"无法读取文件");
    case QImageReader::UnsupportedFormatError:
        return QStringLiteral(u"不是可识别的图片格式");
    case QImageReader::InvalidDataError:
        return QStringLiteral(u"图片数据无效或已损坏");
    case QImageReader::UnknownError:
        break;
    }
    return QStringLiteral(u"无法解码图片，文件可能已损坏");
}

const QString kCorrupt = QStringLiteral(u"图片数据无效或已损坏");
const QString kIncomplete = QStringLiteral(u"图片数据不完整，文件可能只下载或复制了一部分");

// Qt refuses to decode pictures beyond its allocation limit; say so plainly instead of
// reporting corrupt data.
bool exceedsDecodeLimit(const QSize& size) {
    constexpr qint64 kBytesPerPixel = 4;
    const qint64 limitBytes = qint64{QImageReader::allocationLimit()} * 1024 * 1024;
    return limitBytes > 0 && qint64{size.width()} * size.height() * kBytesPerPixel > limitBytes;
}

// Qt's JPEG reader fills a cut-off file with grey and calls it a success. A whole file ends its
// scan data with an end-of-image marker, and no scan starts after it; an embedded thumbnail's
// own markers come before the main scan, so they don't count.
bool jpegIsComplete(QByteArrayView bytes) {
    const QByteArrayView startOfScan("\xFF\xDA", 2);
    const qsizetype end = bytes.lastIndexOf(QByteArrayView("\xFF\xD9", 2));
    return end >= 0 && bytes.indexOf(startOfScan) < end && bytes.indexOf(startOfScan, end) < 0;
}

// The corner reader stops after the rows it needs, so it can't see a file cut off further on;
// a whole file has its closing chunk after its image data.
bool pngIsComplete(QByteArrayView bytes) {
    return bytes.lastIndexOf(QByteArrayView("IEND")) > bytes.indexOf(QByteArrayView("IDAT"));
}

// Where the displayed top-left corner of a picture lies in the picture as stored. Qt mirrors or
// flips first and then turns a quarter clockwise, and applies a clip before all of that.
QRect storedCorner(const QSize& stored, QImageIOHandler::Transformations transformation,
                   const QSize& corner) {
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

LoadedPicture decodeWithQt(QBuffer& buffer, const QSize& corner, const QByteArray& format) {
    buffer.seek(0);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (corner.isValid() && size.isValid() && reader.supportsOption(QImageIOHandler::ClipRect)) {
        reader.setClipRect(storedCorner(size, reader.transformation(), corner));
    } else if (size.isValid() && exceedsDecodeLimit(size)) {
        return failed(QStringLiteral(u"图片太大：%1 × %2 像素，超出了可以解码的大小")
                          .arg(size.width())
                          .arg(size.height()));
    }
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) {
        return failed(readFailureReason(reader.error()));
    }
    return {picture, {}};
}

// BMP, TIFF (by signature) and TGA (by suffix: it has none) through our own readers; nothing
// where they don't take the file, so Qt's readers get it.
std::optional<LoadedPicture> decodeOwnFormat(const QByteArray& data, const QSize& corner,
                                             const QByteArray& formatHint) {
    PictureRead read;
    if (data.startsWith("BM")) {
        read = readBmp(data, corner);
    } else if (looksLikeTiff(data)) {
        read = readTiff(data, corner);
    } else if (formatHint == "tga" && looksLikeTga(data)) {
        read = readTga(data, corner);
    } else {
        return std::nullopt;
    }
    switch (read.fault) {
    case PictureRead::Fault::none:
        return LoadedPicture{read.picture, {}};
    case PictureRead::Fault::unsupported:
        return std::nullopt;
    case PictureRead::Fault::incomplete:
        return failed(kIncomplete);
    case PictureRead::Fault::tooLarge:
        return failed(QStringLiteral(u"图片太大，超出了可以解码的大小"));
    case PictureRead::Fault::corrupt:
        break;
    }
    return failed(kCorrupt);
}

} // namespace

LoadedPicture decodePicture(const QByteArray& data, const QSize& corner,
                            const QByteArray& formatHint) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    if (auto own = decodeOwnFormat(data, corner, formatHint)) {
        return *own;
    }
    // The suffix's reader goes first, as Qt does for files: formats without a signature (TGA)
    // need it, and weak signatures (WBMP) would otherwise claim them. Then the content decides.
    QByteArray format;
    QImageReader::ImageReaderError probeError = QImageReader::UnsupportedFormatError;
    for (const QByteArray& hint : {formatHint, QByteArray()}) {
        buffer.seek(0);
        QImageReader probe(&buffer, hint);
        probe.setDecideFormatFromContent(hint.isEmpty());
        if (probe.canRead()) {
            format = probe.format();
            break;
        }
        probeError = probe.error();
    }
    if (format.isEmpty()) {
        return failed(readFailureReason(probeError));
    }
    if (format == "jpg") {
        format = "jpeg";
    }
    if (format == "jpeg" && !jpegIsComplete(data)) {
        return failed(kIncomplete);
    }
    if (format == "png" && corner.isValid()) {
        if (!pngIsComplete(data)) {
            return failed(kIncomplete);
        }
        buffer.seek(0);
        if (const auto read = readPngCorner(buffer, corner)) {
            return read->ok ? LoadedPicture{read->picture, {}} : failed(kCorrupt);
        }
    }
    return decodeWithQt(buffer, corner, format);
}

LoadedPicture LoadPicture(const QString& path, const QSize& corner) {
    if (path.isEmpty()) {
        return {};
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        return failed(QStringLiteral(u"文件不存在"));
    }
    if (info.isDir()) {
        return failed(QStringLiteral(u"这是一个文件夹，不是图片文件"));
    }
    QFile file(path);
    if (!info.isReadable() || !file.open(QIODevice::ReadOnly)) {
        return failed(QStringLiteral(u"没有读取权限"));
    }
    if (file.size() == 0) {
        return failed(QStringLiteral(u"文件是空的"));
    }
    const QByteArray suffix = info.suffix().toLower().toLatin1();
    // Mapped, not read: only the parts a decoder touches are brought into memory.
    const uchar* mapped = file.map(0, file.size());
    if (mapped == nullptr) {
        return decodePicture(file.readAll(), corner, suffix);
    }
    return decodePicture(
        QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), file.size()), corner,
        suffix);
}

QString pictureFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    }
    return QStringLiteral(u"图片文件|%1|所有文件|*").arg(patterns.join(u';'));
}

} // namespace ravik
