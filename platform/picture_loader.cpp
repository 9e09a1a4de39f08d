#include "picture_loader.h"

#include "codec/conversion.h"
#include "platform/bmp_reader.h"
#include "platform/gif_reader.h"
#include "platform/ico_reader.h"
#include "platform/jpeg_reader.h"
#include "platform/library_messages.h"
#include "platform/picture_conversion.h"
#include "platform/picture_orientation.h"
#include "platform/png_corner.h"
#include "platform/tga_reader.h"
#include "platform/tiff_reader.h"
#include "platform/webp_reader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStringList>
#include <algorithm>
#include <climits>
#include <optional>

namespace ravik {
namespace {

LoadedPicture failed(const QString& reason) {
    return {QImage(), reason, std::nullopt};
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

// Qt's JPEG reader fills a cut-off file with grey and calls it a success. A whole file ends its
// scan data with an end-of-image marker, and no scan starts after it; an embedded thumbnail's
// own markers come before the main scan, so they don't count.
bool jpegIsComplete(QByteArrayView bytes) {
    const QByteArrayView startOfScan("\xFF\xDA", 2);
    const qsizetype end = bytes.lastIndexOf(QByteArrayView("\xFF\xD9", 2));
    return end >= 0 && bytes.indexOf(startOfScan) < end && bytes.indexOf(startOfScan, end) < 0;
}

// The corner reader stops after the rows it needs, so it can't see a file cut off further on;
// a whole file has its closing chunk, checksum included, after its image data.
bool pngIsComplete(QByteArrayView bytes) {
    const qsizetype end = bytes.lastIndexOf(QByteArrayView("IEND"));
    return end > bytes.indexOf(QByteArrayView("IDAT")) && end + 8 <= bytes.size();
}

// An icon file holds the same picture at several sizes; viewers show the largest (the deepest
// of equally large ones), so that one is read. Its index, which the reader doesn't tell.
int chooseLargestIcon(QImageReader& reader) {
    int best = 0;
    qint64 bestScore = -1;
    // Each image has a 16-byte entry after the 6-byte header, so a count the file has no room
    // for (up to 65,535 in a few bytes) is not walked to its end.
    const qint64 room = (reader.device()->size() - 6) / 16;
    const int count = int(std::min<qint64>(reader.imageCount(), room));
    for (int i = 0; i < count; ++i) {
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

bool isPng(QByteArrayView data) {
    return data.startsWith(QByteArrayView("\x89PNG\r\n\x1A\n", 8));
}

// The size a PNG's header chunk gives, or an invalid size.
QSize pngHeaderSize(QByteArrayView data) {
    if (data.size() < 24 || data.sliced(12, 4) != QByteArrayView("IHDR")) {
        return {};
    }
    const auto field = [data](qsizetype at) {
        return quint32(uchar(data[at])) << 24 | quint32(uchar(data[at + 1])) << 16 |
               quint32(uchar(data[at + 2])) << 8 | quint32(uchar(data[at + 3]));
    };
    const quint32 width = field(16);
    const quint32 height = field(20);
    if (width == 0 || height == 0 || width > INT_MAX || height > INT_MAX) {
        return {};
    }
    return QSize(int(width), int(height));
}

// A whole PNG, through our own libpng reader rather than Qt's: Qt's leaves libpng's errors to
// libpng's default handler, which prints them in English on standard error.
LoadedPicture readWholePng(QBuffer& buffer) {
    const QSize size = pngHeaderSize(buffer.data());
    if (!size.isValid()) {
        return failed(kCorrupt);
    }
    if (exceedsDecodeLimit(size)) {
        return tooLargePicture(size);
    }
    buffer.seek(0);
    const std::optional<PngCorner> read = readPngCorner(buffer, size);
    if (!read || !read->ok) {
        return failed(kCorrupt);
    }
    return {read->picture, {}, std::nullopt};
}

// A PNG whose eXIf chunk turns it: the whole picture read, turned as viewers show it, and its
// corner cut. The corner reader reads from the top, where a turned picture's corner may not be.
LoadedPicture decodeTurnedPng(QBuffer& buffer, const QSize& corner, int orientation) {
    LoadedPicture loaded = readWholePng(buffer);
    if (loaded.ok()) {
        if (loaded.picture.colorCount() > 0 || loaded.picture.depth() < 8) {
            // Turned pixel by pixel, so palette and bit-packed rows become whole pixels first.
            loaded.picture = loaded.picture.convertToFormat(
                loaded.picture.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        }
        loaded.picture = upright(loaded.picture, orientationTransformation(orientation));
        if (corner.isValid()) {
            loaded.picture = loaded.picture.copy(QRect(QPoint(0, 0), corner));
        }
    }
    return loaded;
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
    if (looksLikeJpeg(data)) {
        return jpegIsComplete(data) ? readJpeg(data, corner) : failed(kIncomplete);
    }
    if (isStillWebp(data)) {
        return readWebp(data, corner);
    }
    if (looksLikeGif(data)) {
        return readGif(data, corner);
    }
    if (auto own = decodeOwnFormat(data, corner, formatHint)) {
        return *own;
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    const bool png = isPng(data);
    if (png) {
        if (const int orientation = pngOrientation(data); orientation != 1) {
            return decodeTurnedPng(buffer, corner, orientation);
        }
    }
    if (png && corner.isValid()) {
        if (!pngIsComplete(data)) {
            return failed(kIncomplete);
        }
        if (const auto read = readPngCorner(buffer, corner)) {
            return read->ok ? LoadedPicture{read->picture, {}, std::nullopt} : failed(kCorrupt);
        }
    }
    if (png) {
        if (!pngIsComplete(data)) {
            return failed(kIncomplete);
        }
        return readWholePng(buffer);
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

// The largest reduction the JPEG decoder offers (1/8, 1/4, 1/2) that still leaves the fit at
// least one picture pixel for each pixel it puts in the box, so the averaging that follows
// always shrinks.
int jpegReduction(const QSize& shown, Fit fit) {
    for (const int divisor : {8, 4, 2}) {
        const int width = (shown.width() + divisor - 1) / divisor;
        const int height = (shown.height() + divisor - 1) / divisor;
        const Placement placement = placeFit(fit, width, height);
        if (placement.source.width >= placement.target.width &&
            placement.source.height >= placement.target.height) {
            return divisor;
        }
    }
    return 1;
}

} // namespace

LoadedPicture decodeReducedJpeg(const QByteArray& data, Fit fit) {
    const SilencedLibraryMessages quiet;
    if (!jpegIsComplete(data)) {
        return failed(kIncomplete);
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid()) {
        return failed(readFailureReason(reader.error()));
    }
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const int divisor = jpegReduction(turned ? stored.transposed() : stored, fit);
    if (divisor > 1) {
        // Exactly the decoder's own reduced size, so Qt has nothing left to rescale; a low
        // quality setting lets Qt's reader reduce inside the decoder.
        reader.setScaledSize(QSize((stored.width() + divisor - 1) / divisor,
                                   (stored.height() + divisor - 1) / divisor));
        reader.setQuality(0);
    } else if (exceedsDecodeLimit(stored)) {
        return tooLargePicture(stored);
    }
    return readWith(reader);
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
    const bool decodedWhole = looksLikeJpeg(data) || isStillWebp(data);
    if (!decodedWhole && looksLikeGif(data)) {
        return readGif(data, QSize(), &options);
    }
    if (auto own =
            decodedWhole ? std::nullopt : decodeOwnFormat(data, QSize(), formatHint, &options)) {
        return *own;
    }
    if (isPng(data)) {
        if (!pngIsComplete(data)) {
            return failed(kIncomplete);
        }
        QBuffer buffer;
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        // An eXIf orientation turns the small scaled result, as the readers' own do.
        const Orientation orientation =
            orientationOf(orientationTransformation(pngOrientation(data)));
        if (const auto read = scalePng(buffer, options, orientation)) {
            return read->ok ? LoadedPicture{QImage(), {}, read->picture} : failed(kCorrupt);
        }
    }
    // The rest (reduced JPEG, interlaced PNG, formats only Qt reads) is decoded whole, then
    // scaled the same way.
    const LoadedPicture whole = looksLikeJpeg(data) ? decodeReducedJpeg(data, options.fit)
                                                    : decodePicture(data, QSize(), formatHint);
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
