#include "frame_set_loader.h"

#include "codec/frame_buffer.h"
#include "platform/gif_reader.h"
#include "platform/library_messages.h"
#include "platform/picture_loader.h"
#include "platform/picture_orientation.h"

#include <QFile>
#include <QImageReader>
#include <gif_lib.h>
#include <memory>
#include <vector>

namespace ravik {
namespace {

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// How long a viewer shows a frame that asks for delayMs. Chromium and Firefox show frames of
// 10 ms or less (0 among them, which old tools wrote for "no particular delay") for 100 ms.
int shownDelayMs(int delayMs) {
    constexpr int kShortestKept = 10;
    constexpr int kInsteadOfShorter = 100;
    return delayMs <= kShortestKept ? kInsteadOfShorter : delayMs;
}

// Every frame is kept whole until the set is converted, so a few bytes a frame (a one-pixel frame
// on a large canvas) could otherwise claim any amount of memory: the frames of one set together
// stay within 1 GiB, and each within the decode limit of a still picture.
constexpr qint64 kMaxFrameSetBytes = qint64{1} << 30;

QString frameSetTooLarge(int frames, const QSize& size) {
    return QStringLiteral(u"动画太大：%1 帧 %2 × %3 像素，超出了可以解码的大小")
        .arg(frames)
        .arg(size.width())
        .arg(size.height());
}

// The rows of a frame in the order an interlaced GIF stores them: every 8th row from 0, every
// 8th from 4, every 4th from 2, every 2nd from 1.
std::vector<int> rowOrder(int height, bool interlaced) {
    std::vector<int> rows;
    if (!interlaced) {
        for (int y = 0; y < height; ++y) {
            rows.push_back(y);
        }
        return rows;
    }
    for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
        for (int y = start; y < height; y += step) {
            rows.push_back(y);
        }
    }
    return rows;
}

// Every frame of a GIF composed as viewers (and ImageMagick's -coalesce) compose it: each frame
// drawn over what the one before left, then disposed of as it asks: kept, cleared to transparent
// ("background"), or put back as it was before the frame ("previous"). At the original size only
// the part the box shows is composed, so a huge canvas costs no memory. Qt's reader leaves disposed
// areas as they were, which shows parts of earlier frames that should be gone.
LoadedFrameSet loadGifFrames(const QString& path, Fit fit) {
    const auto failed = [](const QString& reason) {
        return LoadedFrameSet{{}, {}, reason, std::nullopt};
    };
    int error = 0;
    const std::unique_ptr<GifFileType, GifCloser> gif(
        DGifOpenFileName(QFile::encodeName(path).constData(), &error));
    if (gif == nullptr) {
        return failed(QStringLiteral(u"无法读取 GIF 文件"));
    }
    const bool cornerOnly = fit == Fit::Original;
    const int width = cornerOnly ? qMin(gif->SWidth, kFrameWidth) : gif->SWidth;
    const int height = cornerOnly ? qMin(gif->SHeight, kFrameHeight) : gif->SHeight;
    if (exceedsDecodeLimit(QSize(width, height))) {
        return failed(tooLargePicture(QSize(width, height)).failure);
    }
    QImage canvas(width, height, QImage::Format_RGBA8888);
    if (canvas.isNull()) {
        return failed(tooLargePicture(QSize(width, height)).failure);
    }
    canvas.fill(Qt::transparent);
    const QString broken = QStringLiteral(u"GIF 动画数据有误或不完整");
    LoadedFrameSet set;
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    for (GifRecordType record = UNDEFINED_RECORD_TYPE; record != TERMINATE_RECORD_TYPE;) {
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) {
            return failed(broken);
        }
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* extension = nullptr;
            if (DGifGetExtension(gif.get(), &code, &extension) == GIF_ERROR) {
                return failed(broken);
            }
            if (code == GRAPHICS_EXT_FUNC_CODE && extension != nullptr) {
                DGifExtensionToGCB(extension[0], extension + 1, &control);
            }
            while (extension != nullptr) {
                if (DGifGetExtensionNext(gif.get(), &extension) == GIF_ERROR) {
                    return failed(broken);
                }
            }
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
                return failed(broken);
            }
            const GifImageDesc& desc = gif->Image;
            const ColorMapObject* colors = activeColourTable(*gif);
            if (desc.Width <= 0) {
                return failed(broken);
            }
            const QImage before = canvas;
            std::vector<GifPixelType> line(std::size_t(desc.Width));
            for (const int row : rowOrder(desc.Height, desc.Interlace)) {
                if (DGifGetLine(gif.get(), line.data(), desc.Width) == GIF_ERROR) {
                    return failed(broken);
                }
                const int y = desc.Top + row;
                if (y >= height) {
                    continue;
                }
                std::uint8_t* rgba = canvas.scanLine(y); // R G B A bytes
                for (int x = 0; x < desc.Width && desc.Left + x < width; ++x) {
                    const int index = line[std::size_t(x)];
                    if (index == control.TransparentColor || index >= colors->ColorCount) {
                        continue;
                    }
                    const GifColorType c = colors->Colors[index];
                    std::uint8_t* pixel = rgba + std::ptrdiff_t{4} * (desc.Left + x);
                    pixel[0] = c.Red;
                    pixel[1] = c.Green;
                    pixel[2] = c.Blue;
                    pixel[3] = 0xFF;
                }
            }
            if ((set.frames.size() + 1) * canvas.sizeInBytes() > kMaxFrameSetBytes) {
                return failed(frameSetTooLarge(int(set.frames.size()) + 1, canvas.size()));
            }
            set.frames.append(canvas.copy());
            set.delaysMs.append(shownDelayMs(control.DelayTime * 10)); // hundredths of a second
            if (control.DisposalMode == DISPOSE_BACKGROUND) {
                for (int y = desc.Top; y < qMin(height, desc.Top + desc.Height); ++y) {
                    for (int x = desc.Left; x < qMin(width, desc.Left + desc.Width); ++x) {
                        canvas.setPixelColor(x, y, Qt::transparent);
                    }
                }
            } else if (control.DisposalMode == DISPOSE_PREVIOUS) {
                canvas = before;
            }
            control = {DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        }
    }
    if (set.frames.isEmpty()) {
        return failed(QStringLiteral(u"GIF 文件中没有图像"));
    }
    return set;
}

bool isGif(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == "GIF8";
}

} // namespace

LoadedFrameSet LoadFrameSet(const QString& path, const ConversionOptions& options) {
    const Fit fit = options.fit;
    const SilencedLibraryMessages quiet;
    if (isGif(path)) {
        return loadGifFrames(path, fit);
    }
    LoadedFrameSet set;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (!reader.supportsAnimation()) {
        // A still picture goes through the exact single-picture path.
        const LoadedPicture single = loadForFit(path, options);
        if (!single.ok()) {
            return {{}, {}, single.failure, std::nullopt};
        }
        return {{single.picture}, {0}, {}, single.scaled};
    }
    // Qt's WebP and APNG readers hand out each frame already composed over the ones before.
    qint64 kept = 0;
    for (;;) {
        QImage frame;
        // Qt's MNG reader can report a broken frame read and hand out no picture.
        if (!reader.read(&frame) || frame.isNull()) {
            break;
        }
        kept += frame.sizeInBytes();
        if (kept > kMaxFrameSetBytes) {
            return {
                {}, {}, frameSetTooLarge(int(set.frames.size()) + 1, frame.size()), std::nullopt};
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

} // namespace ravik
