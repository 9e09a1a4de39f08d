#include "picture_loader.h"

#include "codec/conversion.h"
#include "pictures/jpeg_reader.h"
#include "pictures/orientation.h"
#include "pictures/picture_file.h"
#include "pictures/pictures.h"
#include "platform/file_path.h"
#include "platform/library_messages.h"
#include "platform/picture_conversion.h"

#include <QBuffer>
#include <QFile>
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

// Qt's reading errors as our faults, so they are put into words in the same place.
Fault faultOf(QImageReader::ImageReaderError error) {
    switch (error) {
    case QImageReader::FileNotFoundError:
        return Fault::notFound;
    case QImageReader::DeviceError:
        return Fault::unreadable;
    case QImageReader::UnsupportedFormatError:
        return Fault::unrecognised;
    case QImageReader::InvalidDataError:
        return Fault::corrupt;
    case QImageReader::UnknownError:
        break;
    }
    return Fault::undecodable;
}

LoadedPicture failed(Fault fault, Size size = {}) {
    return failed(sentenceOf({fault, size}));
}

// The orientation Qt's reader found, as the pictures library describes it.
Orientation orientationOf(QImageIOHandler::Transformations transformation) {
    return {transformation.testFlag(QImageIOHandler::TransformationMirror),
            transformation.testFlag(QImageIOHandler::TransformationFlip),
            transformation.testFlag(QImageIOHandler::TransformationRotate90)};
}

// An icon file holds the same picture at several sizes; viewers show the largest (the deepest
// of equally large ones), so Qt's reader is moved to that one (for icons our own reader leaves).
void chooseLargestIcon(QImageReader& reader) {
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
}

// The reader's picture, or why it gave none.
LoadedPicture readWith(QImageReader& reader) {
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) {
        return failed(faultOf(reader.error()));
    }
    return {picture, {}, std::nullopt};
}

LoadedPicture decodeWithQt(QBuffer& buffer, const QSize& corner, const QByteArray& format) {
    buffer.seek(0);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(true);
    if (format == "ico" && reader.imageCount() > 1) {
        chooseLargestIcon(reader);
    }
    const QSize size = reader.size();
    if (corner.isValid() && size.isValid() && reader.supportsOption(QImageIOHandler::ClipRect)) {
        const Rect stored =
            storedCorner(sizeOf(size), orientationOf(reader.transformation()), sizeOf(corner));
        reader.setClipRect(QRect(stored.x, stored.y, stored.width, stored.height));
    } else if (size.isValid() && exceedsLimit(sizeOf(size), 4, decodeLimit())) {
        return failed(Fault::tooLarge, sizeOf(size));
    }
    return readWith(reader);
}

} // namespace

LoadedPicture decodePicture(const QByteArray& data, const QSize& corner,
                            const QByteArray& formatHint) {
    const SilencedLibraryMessages quiet;
    // Formats our own readers take are told by their signature, without asking Qt's readers:
    // probing through them loads every image-format plugin there is.
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
        return failed(faultOf(probeError));
    }
    return decodeWithQt(buffer, corner, format);
}

namespace {

// Opens the file at path for decode(bytes, suffix), reporting in Chinese why it can't.
template <typename Decode> LoadedPicture fromFile(const QString& path, Decode decode) {
    if (path.isEmpty()) {
        return {};
    }
    const PictureFile file(toFilePath(path));
    if (file.fault().fault != Fault::none) {
        return failed(sentenceOf(file.fault()));
    }
    const Bytes bytes = file.bytes();
    return decode(QByteArray::fromRawData(bytes.chars(), qsizetype(bytes.size())),
                  QByteArray::fromStdString(file.suffix()));
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
    const SilencedLibraryMessages quiet;
    // Our own readers scale row by row as they decode where their format allows.
    if (auto own = readOwn(data, QSize(), formatHint, &options)) {
        return *own;
    }
    // Formats only Qt reads are decoded whole, then scaled the same way.
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
