#include "picture_loader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStringList>

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

// Qt refuses to decode pictures beyond its allocation limit; say so plainly instead of
// reporting corrupt data.
bool exceedsDecodeLimit(const QSize& size) {
    constexpr qint64 kBytesPerPixel = 4;
    const qint64 limitBytes = qint64{QImageReader::allocationLimit()} * 1024 * 1024;
    return limitBytes > 0 && qint64{size.width()} * size.height() * kBytesPerPixel > limitBytes;
}

// Qt's JPEG reader fills a cut-off file with grey and calls it a success. The scan data of a
// whole file ends in an end-of-image marker after its last start-of-scan marker; a file cut off
// mid-scan has none there (an embedded thumbnail's own markers come before the main scan).
bool jpegIsComplete(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const uchar* data = file.map(0, file.size());
    if (data == nullptr) {
        return true; // can't look inside: let the decoder judge
    }
    const QByteArrayView bytes(data, file.size());
    const qsizetype lastScan = bytes.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    const qsizetype end = bytes.lastIndexOf(QByteArrayView("\xFF\xD9", 2));
    return lastScan >= 0 && end > lastScan;
}

} // namespace

LoadedPicture LoadPicture(const QString& path) {
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
    if (!info.isReadable()) {
        return failed(QStringLiteral(u"没有读取权限"));
    }
    if (info.size() == 0) {
        return failed(QStringLiteral(u"文件是空的"));
    }

    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        return failed(readFailureReason(reader.error()));
    }
    if (reader.format() == "jpeg" && !jpegIsComplete(path)) {
        return failed(QStringLiteral(u"图片数据不完整，文件可能只下载或复制了一部分"));
    }
    const QSize size = reader.size();
    if (size.isValid() && exceedsDecodeLimit(size)) {
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

QString pictureFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    }
    return QStringLiteral(u"图片文件|%1|所有文件|*").arg(patterns.join(u';'));
}

} // namespace ravik
