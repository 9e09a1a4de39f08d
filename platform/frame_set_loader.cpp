#include "frame_set_loader.h"

#include "codec/frame_buffer.h"
#include "platform/picture_loader.h"

#include <QImageReader>

namespace ravik {

LoadedFrameSet LoadFrameSet(const QString& path) {
    LoadedFrameSet set;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (!reader.supportsAnimation()) {
        // A still picture goes through the exact single-picture path.
        const LoadedPicture single = LoadPicture(path, {kFrameWidth, kFrameHeight});
        if (!single.ok()) {
            return {{}, {}, single.failure};
        }
        return {{single.picture}, {0}, {}};
    }
    // Qt's animation readers hand out each frame already drawn over what the earlier frames and
    // their disposal left, as a viewer shows it.
    for (;;) {
        QImage frame;
        if (!reader.read(&frame)) {
            break;
        }
        set.frames.append(frame);
        set.delaysMs.append(qMax(0, reader.nextImageDelay()));
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

} // namespace ravik
