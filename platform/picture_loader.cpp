#include "picture_loader.h"

#include "codec/conversion.h"
#include "pictures/jpeg_reader.h"
#include "pictures/pictures.h"
#include "platform/bmp_reader.h"
#include "platform/ico_reader.h"
#include "platform/library_messages.h"
#include "platform/picture_conversion.h"
#include "platform/picture_orientation.h"
#include "platform/tga_reader.h"
#include "platform/tiff_reader.h"
#include "platform/webp_reader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStringList>
#include <optional>

namespace ravik {
namespace {

LoadedPicture failed(const QString& reason) {
    return {QImage(), reason, std::nullopt};
}

LoadedPicture loadedFrom(const DecodedPicture& decoded) {
    if (!decoded.ok()) {
        return failed(sentenceOf(decoded.fault));
    }
    return {qImageOf(decoded.picture), {}, decoded.scaled};
}

Bytes bytesOf(const QByteArray& data) {
    return {data.constData(), size_t(data.size())};
}

Size sizeOf(const QSize& size) {
    return size.isValid() ? Size{size.width(), size.height()} : Size{};
}

// The limit Qt's readers keep to, so both kinds of reader refuse the same pictures.
std::int64_t decodeLimit() {
    return std::int64_t{QImageReader::allocationLimit()} * 1024 * 1024;
}

// Our own readers' picture; nothing where none takes the data, so Qt's readers get it.
std::optional<LoadedPicture> readOwn(const QByteArray& data, const QSize& corner,
                                     const QByteArray& formatHint,
                                     const ConversionOptions* fit = nullptr) {
    const Bytes bytes = bytesOf(data);
    const PictureReader* reader = readerFor(bytes, std::string_view(formatHint));
    if (reader == nullptr) {
        return std::nullopt;
    }
    DecodedPicture decoded = reader->read(bytes, {sizeOf(corner), fit, decodeLimit()});
    if (decoded.fault.fault == Fault::unsupported) {
        return std::nullopt;
    }
    if (fit != nullptr && decoded.ok() && !decoded.scaled) {
        decoded.scaled = scalePicture(decoded.picture, *fit);
        decoded.picture = {};
    }
    return loadedFrom(decoded);
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

const QString kCorrupt = corruptPicture().failure;
const QString kIncomplete = incompletePicture().failure;

// An icon file holds the same picture at several sizes; viewers show the largest (the deepest
// of equally large ones), so that one is read. Its index, which the reader doesn't tell.
int chooseLargestIcon(QImageReader& reader) {
    int best = 0;
    qint64 bestScore = -1;
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i)) {
            break;
        }
        const QSize size = reader.size();
        const QImage::Format format = reader.imageFormat();
        const qint64 score = qint64{size.width()} * size.height() * 64 +
                             QImage::toPixelFormat(format).bitsPerPixel();
        if (score > bestScore) {
            bestScore = score;
            best = i;
        }
    }
    reader.jumpToImage(best);
    return best;
}

// The reader's picture, or why it gave none.
LoadedPicture readWith(QImageReader& reader) {
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) {
        return failed(readFailureReason(reader.error()));
    }
    return {picture, {}, std::nullopt};
}

LoadedPicture decodeWithQt(QBuffer& buffer, const QSize& corner, const QByteArray& format) {
    buffer.seek(0);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(true);
    if (format == "ico") {
        const int chosen = reader.imageCount() > 1 ? chooseLargestIcon(reader) : 0;
        if (auto icon = readIconWithAlpha(buffer.data(), chosen)) {
            return {*icon, {}, std::nullopt};
        }
    }
    const QSize size = reader.size();
    if (corner.isValid() && size.isValid() && reader.supportsOption(QImageIOHandler::ClipRect)) {
        reader.setClipRect(storedCorner(size, reader.transformation(), corner));
    } else if (size.isValid() && exceedsDecodeLimit(size)) {
        return tooLargePicture(size);
    }
    return readWith(reader);
}

// A TGA 2.0 file ends with this footer, the nearest thing the format has to a signature.
bool hasTgaFooter(QByteArrayView data) {
    return data.endsWith(QByteArrayView("TRUEVISION-XFILE.\0", 18));
}

// BMP, TIFF (by signature) and TGA (by suffix or footer) through our own readers; nothing
// where they don't take the file, so Qt's readers get it.
// With a scaling `fit`, the picture comes back scaled while read.
std::optional<LoadedPicture> decodeOwnFormat(const QByteArray& data, const QSize& corner,
                                             const QByteArray& formatHint,
                                             const ConversionOptions* fit = nullptr) {
    PictureRead read;
    if (data.startsWith("BM")) {
        read = readBmp(data, corner, fit);
    } else if (looksLikeTiff(data)) {
        read = readTiff(data, corner, fit);
    } else if ((formatHint == "tga" || hasTgaFooter(data)) && looksLikeTga(data)) {
        read = readTga(data, corner, fit);
    } else {
        return std::nullopt;
    }
    switch (read.fault) {
    case PictureRead::Fault::none:
        return LoadedPicture{read.picture, {}, read.scaled};
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
    const SilencedLibraryMessages quiet;
    // Formats our own readers take are told by their signature, without asking Qt's readers:
    // probing through them loads every image-format plugin there is.
    if (isStillWebp(data)) {
        return readWebp(data, corner);
    }
    if (auto own = decodeOwnFormat(data, corner, formatHint)) {
        return *own;
    }
    if (auto own = readOwn(data, corner, formatHint)) {
        return *own;
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
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
    return decodeWithQt(buffer, corner, format);
}

namespace {

// Opens the file at path for decode(bytes, suffix), reporting in Chinese why it can't.
template <typename Decode> LoadedPicture fromFile(const QString& path, Decode decode) {
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
        return decode(file.readAll(), suffix);
    }
    return decode(QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), file.size()),
                  suffix);
}

} // namespace

LoadedPicture decodeReducedJpeg(const QByteArray& data, Fit fit) {
    return loadedFrom(readReducedJpeg(bytesOf(data), fit, decodeLimit()));
}

LoadedPicture LoadPicture(const QString& path, const QSize& corner) {
    return fromFile(path, [&corner](const QByteArray& data, const QByteArray& suffix) {
        return decodePicture(data, corner, suffix);
    });
}

LoadedPicture decodeForFit(const QByteArray& data, const ConversionOptions& options,
                           const QByteArray& formatHint) {
    if (options.fit == Fit::Original) {
        return decodePicture(data, {kFrameWidth, kFrameHeight}, formatHint);
    }
    // Our own readers scale row by row as they decode, so no whole picture is ever held. The
    // formats are told apart in the same order as decodePicture does.
    const bool decodedWhole = isStillWebp(data);
    if (auto own =
            decodedWhole ? std::nullopt : decodeOwnFormat(data, QSize(), formatHint, &options)) {
        return *own;
    }
    if (auto own = decodedWhole ? std::nullopt : readOwn(data, QSize(), formatHint, &options)) {
        return *own;
    }
    // The rest (reduced JPEG, interlaced PNG, formats only Qt reads) is decoded whole, then
    // scaled the same way.
    const LoadedPicture whole = decodePicture(data, QSize(), formatHint);
    if (!whole.ok() || whole.picture.isNull()) {
        return whole;
    }
    return {QImage(), {}, scalePicture(whole.picture, options)};
}

LoadedPicture loadForFit(const QString& path, const ConversionOptions& options) {
    return fromFile(path, [&options](const QByteArray& data, const QByteArray& suffix) {
        return decodeForFit(data, options, suffix);
    });
}

Conversion convertPicture(const LoadedPicture& loaded, const ConversionOptions& options) {
    return loaded.scaled ? convertPicture(*loaded.scaled, options)
                         : convertPicture(loaded.picture, options);
}

QString pictureFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    }
    return QStringLiteral(u"图片文件|%1|所有文件|*").arg(patterns.join(u';'));
}

} // namespace ravik
