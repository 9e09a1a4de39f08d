#include "gif_reader.h"

#include "platform/picture_orientation.h"
#include "platform/picture_rows.h"

#include <cstring>
#include <gif_lib.h>
#include <memory>
#include <vector>

namespace ravik {
namespace {

struct Input {
    QByteArrayView data;
    qsizetype at = 0;
};

int readInput(GifFileType* gif, GifByteType* out, int length) {
    auto* input = static_cast<Input*>(gif->UserData);
    const int count = int(qMin<qsizetype>(length, input->data.size() - input->at));
    std::memcpy(out, input->data.data() + input->at, size_t(count));
    input->at += count;
    return count;
}

struct CloseGif {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using Gif = std::unique_ptr<GifFileType, CloseGif>;

// The rows of an interlaced image in the order they are stored: every 8th from 0, every 8th
// from 4, every 4th from 2, every 2nd from 1.
std::vector<int> storedRowOrder(int height, bool interlaced) {
    std::vector<int> order;
    order.reserve(size_t(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y) {
            order.push_back(y);
        }
        return order;
    }
    constexpr int kStart[] = {0, 4, 2, 1};
    constexpr int kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = kStart[pass]; y < height; y += kStep[pass]) {
            order.push_back(y);
        }
    }
    return order;
}

// The transparent index set by a graphic control extension; -1 for none.
int transparentIndex(GifFileType* gif, int code, GifByteType* extension, bool* ok) {
    int index = -1;
    if (code == GRAPHICS_EXT_FUNC_CODE && extension != nullptr && extension[0] >= 4 &&
        (extension[1] & 0x01)) {
        index = extension[4];
    }
    while (extension != nullptr) {
        if (DGifGetExtensionNext(gif, &extension) != GIF_OK) {
            *ok = false;
            return -1;
        }
    }
    return index;
}

} // namespace

const ColorMapObject* activeColourTable(const GifFileType& gif) {
    // Without a table of its own or the file's, an image is drawn in black and white as the
    // GIF89a specification recommends: index 0 black, 1 white. Chromium and ImageMagick draw
    // every index black; the other indices follow them.
    static GifColorType defaultColours[256] = {{0, 0, 0}, {0xFF, 0xFF, 0xFF}};
    static ColorMapObject defaultTable{256, 8, false, defaultColours};
    if (gif.Image.ColorMap != nullptr) {
        return gif.Image.ColorMap;
    }
    return gif.SColorMap != nullptr ? gif.SColorMap : &defaultTable;
}

bool looksLikeGif(QByteArrayView data) {
    return data.startsWith("GIF87a") || data.startsWith("GIF89a");
}

LoadedPicture readGif(QByteArrayView data, const QSize& corner, const ConversionOptions* fit) {
    // A whole file ends with its trailer; the reader stops early and would not see a file cut
    // off further on.
    if (!data.endsWith(";")) {
        return incompletePicture();
    }
    Input input{data};
    int error = 0;
    const Gif gif(DGifOpen(&input, readInput, &error));
    if (!gif) {
        return corruptPicture();
    }
    const QSize screen(gif->SWidth, gif->SHeight);
    if (screen.isEmpty()) {
        return corruptPicture();
    }
    if (!corner.isValid() && fit == nullptr && exceedsDecodeLimit(screen)) {
        return tooLargePicture(screen);
    }
    const QSize shown = corner.isValid() ? corner.boundedTo(screen) : screen;
    PictureRows picture = fit != nullptr ? PictureRows(shown, QImage::Format_ARGB32, *fit)
                                         : PictureRows(shown, QImage::Format_ARGB32);
    if (picture.isNull()) {
        return tooLargePicture(screen);
    }
    picture.clear();

    int transparent = -1;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif.get(), &record) != GIF_OK || record == TERMINATE_RECORD_TYPE) {
            return corruptPicture(); // no image at all
        }
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* extension = nullptr;
            bool ok = DGifGetExtension(gif.get(), &code, &extension) == GIF_OK;
            const int index = ok ? transparentIndex(gif.get(), code, extension, &ok) : -1;
            if (!ok) {
                return corruptPicture();
            }
            if (code == GRAPHICS_EXT_FUNC_CODE) {
                transparent = index;
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif.get()) != GIF_OK) {
            return corruptPicture();
        }
        break;
    }
    const GifImageDesc& image = gif->Image;
    const ColorMapObject* map = activeColourTable(*gif);
    if (image.Width <= 0 || image.Height <= 0) {
        return corruptPicture();
    }
    std::vector<QRgb> colours(256, 0);
    for (int i = 0; i < map->ColorCount && i < 256; ++i) {
        const GifColorType& c = map->Colors[i];
        colours[size_t(i)] = qRgb(c.Red, c.Green, c.Blue);
    }
    if (transparent >= 0) {
        colours[size_t(transparent)] = 0;
    }

    // Rows of the image that land in the picture; the last of them in stored order is where
    // reading stops.
    const std::vector<int> order = storedRowOrder(image.Height, image.Interlace);
    qsizetype needed = 0;
    for (qsizetype i = 0; i < qsizetype(order.size()); ++i) {
        if (image.Top + order[size_t(i)] < shown.height()) {
            needed = i + 1;
        }
    }
    std::vector<GifPixelType> line(size_t(image.Width));
    for (qsizetype i = 0; i < needed; ++i) {
        if (DGifGetLine(gif.get(), line.data(), image.Width) != GIF_OK) {
            return corruptPicture();
        }
        const int y = image.Top + order[size_t(i)];
        if (y >= shown.height() || !picture.wanted(y)) {
            continue;
        }
        auto* out = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < image.Width && image.Left + x < shown.width(); ++x) {
            out[image.Left + x] = colours[line[size_t(x)]];
        }
    }
    if (picture.scaling()) {
        return {QImage(), {}, picture.scaled()};
    }
    return {picture.picture(), {}, std::nullopt};
}

} // namespace ravik
