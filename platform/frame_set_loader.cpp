#include "frame_set_loader.h"

#include "codec/frame_buffer.h"
#include "pictures/picture_file.h"
#include "pictures/pictures.h"
#include "platform/file_path.h"
#include "platform/library_messages.h"
#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"

#include <QFile>
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
    // Every frame is kept whole until the set is converted: together they stay within the
    // limit a GIF's frames keep to.
    LoadedFrameSet set;
    qint64 kept = 0;
    for (;;) {
        QImage frame;
        // Qt's MNG reader can report a broken frame read and hand out no picture.
        if (!reader.read(&frame) || frame.isNull()) {
            break;
        }
        kept += frame.sizeInBytes();
        if (kept > kMaxFrameSetBytes) {
            const Size size{frame.width(), frame.height()};
            return failedSet(
                sentenceOf({Fault::animationTooLarge, size, int(set.frames.size()) + 1}));
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
    const PictureFile file(toFilePath(path));
    if (file.fault().fault != Fault::none) {
        return failedSet(sentenceOf(file.fault()));
    }
    const DecodedFrames frames =
        readFrames(file.bytes(), options, file.suffix(),
                   std::int64_t{QImageReader::allocationLimit()} * 1024 * 1024);
    if (frames.fault.fault == Fault::unrecognised || frames.fault.fault == Fault::unsupported) {
        return loadWithQt(path, options);
    }
    if (!frames.ok()) {
        return failedSet(sentenceOf(frames.fault));
    }
    LoadedFrameSet set;
    for (const Picture& frame : frames.frames) {
        set.frames.append(qImageOf(frame));
    }
    set.delaysMs = QList<int>(frames.delaysMs.begin(), frames.delaysMs.end());
    set.scaled = frames.scaled;
    return set;
}

} // namespace ravik
