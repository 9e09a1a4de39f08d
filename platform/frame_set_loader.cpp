#include "frame_set_loader.h"

#include "codec/frame_buffer.h"
#include "pictures/pictures.h"
#include "platform/library_messages.h"
#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace ravik {
namespace {

// How long a viewer shows a frame Qt's reader says lasts delayMs. Chromium and Firefox show
// frames of 10 ms or less for 100 ms, as the GIF reader does for its own frames.
int shownDelayMs(int delayMs) {
    constexpr int kShortestKept = 10;
    constexpr int kInsteadOfShorter = 100;
    return delayMs <= kShortestKept ? kInsteadOfShorter : delayMs;
}

LoadedFrameSet failedSet(const QString& reason) {
    return {{}, {}, reason, std::nullopt};
}

// The frames of an animation Qt's readers compose (animated WebP, APNG where a reader takes
// it); a still picture through the exact single-picture path.
LoadedFrameSet loadWithQt(const QString& path, const ConversionOptions& options) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (!reader.supportsAnimation()) {
        const LoadedPicture single = loadForFit(path, options);
        if (!single.ok()) {
            return failedSet(single.failure);
        }
        return {{single.picture}, {0}, {}, single.scaled};
    }
    // Qt's WebP and APNG readers hand out each frame already composed over the ones before.
    LoadedFrameSet set;
    for (;;) {
        QImage frame;
        if (!reader.read(&frame)) {
            break;
        }
        set.frames.append(frame);
        set.delaysMs.append(shownDelayMs(reader.nextImageDelay()));
        if (!reader.supportsAnimation() || !reader.canRead()) {
            break;
        }
    }
    if (set.frames.isEmpty()) {
        // The single-picture loader knows how to say why a file can't be read.
        const LoadedPicture single = LoadPicture(path);
        set.failure = single.ok() ? QStringLiteral(u"图片中没有可读取的帧") : single.failure;
        set.delaysMs.clear();
    }
    return set;
}

} // namespace

LoadedFrameSet LoadFrameSet(const QString& path, const ConversionOptions& options) {
    const SilencedLibraryMessages quiet;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || file.size() == 0) {
        // The single-picture loader says why the file can't be read.
        const LoadedPicture single = LoadPicture(path);
        return failedSet(single.ok() ? QStringLiteral(u"无法读取文件") : single.failure);
    }
    const uchar* mapped = file.map(0, file.size());
    const QByteArray data =
        mapped != nullptr
            ? QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), file.size())
            : file.readAll();
    const Bytes bytes(data.constData(), size_t(data.size()));
    const QByteArray suffix = QFileInfo(path).suffix().toLower().toLatin1();
    const PictureReader* reader = readerFor(bytes, std::string_view(suffix));
    if (reader == nullptr || reader->frames(bytes) == PictureReader::Frames::leftToOthers) {
        return loadWithQt(path, options);
    }
    if (reader->frames(bytes) == PictureReader::Frames::still) {
        const LoadedPicture single = loadForFit(path, options);
        if (!single.ok()) {
            return failedSet(single.failure);
        }
        return {{single.picture}, {0}, {}, single.scaled};
    }
    // The original size needs only each frame's top-left corner; the other fits get whole
    // frames to scale.
    const Size corner = options.fit == Fit::Original ? Size{kFrameWidth, kFrameHeight} : Size{};
    const DecodedFrames frames = reader->readFrames(
        bytes, {corner, nullptr, std::int64_t{QImageReader::allocationLimit()} * 1024 * 1024});
    if (!frames.ok()) {
        return failedSet(sentenceOf(frames.fault));
    }
    LoadedFrameSet set;
    for (const Picture& frame : frames.frames) {
        set.frames.append(qImageOf(frame));
    }
    set.delaysMs = QList<int>(frames.delaysMs.begin(), frames.delaysMs.end());
    return set;
}

} // namespace ravik
