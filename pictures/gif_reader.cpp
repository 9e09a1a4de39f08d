// GIF through giflib: the first frame line by line, only as far down as the corner reaches (for
// interlaced files: through the pass that brings its last row), or scaled line by line for a
// fit; and every frame of an animation composed as viewers compose it. Each frame is placed on
// the logical screen at its own position, with the screen around it and the transparent colour
// index transparent.

#include "pictures/reader.h"
#include "pictures/row_sink.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <memory>
#include <optional>
#include <vector>

namespace ravik {
namespace {

bool looksLikeGif(Bytes data) {
    return data.startsWith("GIF87a") || data.startsWith("GIF89a");
}

struct Input {
    Bytes data;
    std::size_t at = 0;
};

// The images of a GIF counted by walking its blocks, their compressed data skipped and nothing
// decoded or kept (giflib's reader keeps a record of every image it has passed, growing its list
// one at a time). Nothing when the blocks are broken.
std::optional<int> countImages(Bytes data) {
    const auto colourTableBytes = [](std::uint8_t flags) {
        return (flags & 0x80) != 0 ? std::size_t(3) << ((flags & 0x07) + 1) : 0;
    };
    // Sub-blocks from `at`, each a length byte and that many bytes, until a zero length.
    const auto skipSubBlocks = [&data](std::size_t at) -> std::optional<std::size_t> {
        while (at < data.size()) {
            const std::uint8_t length = data.u8(at);
            at += 1 + std::size_t(length);
            if (length == 0) {
                return at;
            }
        }
        return std::nullopt;
    };
    std::size_t at = 13 + colourTableBytes(data.u8(10)); // header and logical screen
    int count = 0;
    while (at < data.size()) {
        const std::uint8_t block = data.u8(at);
        std::optional<std::size_t> next;
        if (block == 0x3B) {
            return count;
        }
        if (block == 0x21) {
            next = skipSubBlocks(at + 2); // introducer and label
        } else if (block == 0x2C) {
            // Descriptor, local colour table, LZW code size, then the data.
            next = skipSubBlocks(at + 10 + colourTableBytes(data.u8(at + 9)) + 1);
            ++count;
        }
        if (!next) {
            return std::nullopt;
        }
        at = *next;
    }
    return std::nullopt;
}

int readInput(GifFileType* gif, GifByteType* out, int length) {
    auto* input = static_cast<Input*>(gif->UserData);
    const Bytes part = input->data.sliced(input->at, size_t(std::max(length, 0)));
    if (!part.isEmpty()) {
        std::memcpy(out, part.data(), part.size());
    }
    input->at += part.size();
    return int(part.size());
}

struct CloseGif {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using Gif = std::unique_ptr<GifFileType, CloseGif>;

// The rows of an interlaced image in the order they are stored: every 8th from 0, every 8th
// from 4, every 4th from 2, every 2nd from 1.
std::vector<int> storedRowOrder(int height, bool interlaced) {
    std::vector<int> order;
    order.reserve(size_t(std::max(height, 0)));
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

// The colour table the image just read is drawn with: its own, else the file's, else the
// default one for files without any. Without a table of its own or the file's, an image is
// drawn in black and white, as the GIF89a format itself recommends: index 0 black, 1 white.
// Chromium and ImageMagick draw every index black; the other indices follow them.
const ColorMapObject* activeColourTable(const GifFileType& gif) {
    static GifColorType defaultColours[256] = {{0, 0, 0}, {0xFF, 0xFF, 0xFF}};
    static ColorMapObject defaultTable{256, 8, false, defaultColours};
    if (gif.Image.ColorMap != nullptr) {
        return gif.Image.ColorMap;
    }
    return gif.SColorMap != nullptr ? gif.SColorMap : &defaultTable;
}

// How long a viewer shows a frame that asks for delayMs. Chromium and Firefox show frames of
// 10 ms or less (0 among them, which old tools wrote for "no particular delay") for 100 ms.
int shownDelayMs(int delayMs) {
    constexpr int kShortestKept = 10;
    constexpr int kInsteadOfShorter = 100;
    return delayMs <= kShortestKept ? kInsteadOfShorter : delayMs;
}

// Walks a GIF's records: the extensions before each image (their graphic control block kept),
// then the image's description, then its lines.
class GifWalk {
public:
    explicit GifWalk(Bytes data) : input_{data} {
        int error = 0;
        gif_.reset(DGifOpen(&input_, readInput, &error));
    }
    bool opened() const { return gif_ != nullptr; }
    Size screen() const { return {gif_->SWidth, gif_->SHeight}; }

    // Reads up to the next image's description. False with `ended` set at the trailer, false
    // with `ended` clear when the data is broken.
    bool nextImage(bool* ended) {
        *ended = false;
        control_ = {DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        for (;;) {
            GifRecordType record;
            if (DGifGetRecordType(gif_.get(), &record) != GIF_OK) {
                return false;
            }
            if (record == TERMINATE_RECORD_TYPE) {
                *ended = true;
                return false;
            }
            if (record == EXTENSION_RECORD_TYPE) {
                int code = 0;
                GifByteType* extension = nullptr;
                if (DGifGetExtension(gif_.get(), &code, &extension) != GIF_OK) {
                    return false;
                }
                if (code == GRAPHICS_EXT_FUNC_CODE && extension != nullptr) {
                    DGifExtensionToGCB(extension[0], extension + 1, &control_);
                }
                while (extension != nullptr) {
                    if (DGifGetExtensionNext(gif_.get(), &extension) != GIF_OK) {
                        return false;
                    }
                }
                continue;
            }
            if (record != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif_.get()) != GIF_OK) {
                return false;
            }
            const GifImageDesc& image = gif_->Image;
            if (image.Width <= 0 || image.Height <= 0) {
                return false;
            }
            // The image's colours, transparent black for its transparent index and for indices
            // past the table.
            const ColorMapObject* map = activeColourTable(*gif_);
            colours_.assign(256 * 4, 0);
            for (int i = 0; i < map->ColorCount && i < 256; ++i) {
                const GifColorType& c = map->Colors[i];
                std::uint8_t* colour = colours_.data() + 4 * i;
                colour[0] = c.Red;
                colour[1] = c.Green;
                colour[2] = c.Blue;
                colour[3] = 0xFF;
            }
            if (control_.TransparentColor >= 0 && control_.TransparentColor < 256) {
                std::fill_n(colours_.begin() + 4 * control_.TransparentColor, 4, 0);
            }
            line_.resize(size_t(image.Width));
            return true;
        }
    }

    const GifImageDesc& image() const { return gif_->Image; }
    const GraphicsControlBlock& control() const { return control_; }

    // The image's next line in stored order, drawn into `row` (a row of the screen, `width`
    // pixels shown) where it is not transparent; `row` may be null to skip the line.
    bool drawLine(std::uint8_t* row, int width) {
        const GifImageDesc& image = gif_->Image;
        if (DGifGetLine(gif_.get(), line_.data(), image.Width) != GIF_OK) {
            return false;
        }
        for (int x = 0; row != nullptr && x < image.Width && image.Left + x < width; ++x) {
            const std::uint8_t* colour = colours_.data() + 4 * line_[size_t(x)];
            if (colour[3] != 0) {
                std::memcpy(row + 4 * (image.Left + x), colour, 4);
            }
        }
        return true;
    }

private:
    Input input_;
    Gif gif_;
    GraphicsControlBlock control_{};
    std::vector<std::uint8_t> colours_;
    std::vector<GifPixelType> line_;
};

class GifReader final : public PictureReader {
public:
    std::span<const std::string_view> suffixes() const override {
        static constexpr std::string_view kSuffixes[] = {"gif"};
        return kSuffixes;
    }
    Claim claim(Bytes bytes) const override {
        return looksLikeGif(bytes) ? Claim::signature : Claim::no;
    }
    Frames frames(Bytes) const override { return Frames::composed; }
    std::optional<int> frameCount(Bytes data) const override { return countImages(data); }

    DecodedPicture read(Bytes data, const ReadRequest& request) const override {
        // A whole file ends with its trailer; the reader stops early and would not see a file
        // cut off further on.
        if (!data.endsWith(";")) {
            return faulty(Fault::incomplete);
        }
        GifWalk walk(data);
        if (!walk.opened() || walk.screen().isEmpty()) {
            return faulty(Fault::corrupt);
        }
        const Size screen = walk.screen();
        if (request.corner.isEmpty() && request.fit == nullptr &&
            exceedsLimit(screen, 4, request.limitBytes)) {
            return faulty(Fault::tooLarge, screen);
        }
        const Size shown = cornerOf(screen, request.corner);
        RowSink picture = request.fit != nullptr ? RowSink(shown, *request.fit) : RowSink(shown);
        if (picture.isNull()) {
            return faulty(Fault::tooLarge, screen); // beyond what scaling takes on
        }
        bool ended = false;
        if (!walk.nextImage(&ended)) {
            return faulty(Fault::corrupt); // no image at all, or broken before it
        }
        // Rows of the image that land in the picture; the last of them in stored order is where
        // reading stops.
        const GifImageDesc& image = walk.image();
        const std::vector<int> order = storedRowOrder(image.Height, image.Interlace);
        size_t needed = 0;
        for (size_t i = 0; i < order.size(); ++i) {
            if (image.Top + order[i] < shown.height) {
                needed = i + 1;
            }
        }
        for (size_t i = 0; i < needed; ++i) {
            const int y = image.Top + order[i];
            const bool wanted = y < shown.height && picture.wanted(y);
            if (!walk.drawLine(wanted ? picture.row(y) : nullptr, shown.width)) {
                return faulty(Fault::corrupt);
            }
        }
        return picture.result();
    }

    // Every frame composed as viewers (and ImageMagick's -coalesce) compose it: each frame drawn
    // over what the one before left, then disposed of as it asks: kept, cleared to transparent
    // ("background"), or put back as it was before the frame ("previous"). For a corner only
    // that part is composed, so a huge screen costs no memory.
    DecodedFrames readFrames(Bytes data, const ReadRequest& request) const override {
        const auto failed = [](Fault fault) {
            return DecodedFrames{{}, {}, {fault, {}}, std::nullopt};
        };
        if (!data.endsWith(";")) {
            return failed(Fault::incomplete);
        }
        GifWalk walk(data);
        if (!walk.opened() || walk.screen().isEmpty()) {
            return failed(Fault::corrupt);
        }
        const Size size = cornerOf(walk.screen(), request.corner);
        if (request.corner.isEmpty() && exceedsLimit(size, 4, request.limitBytes)) {
            return {{}, {}, {Fault::tooLarge, size}, std::nullopt};
        }
        Picture canvas(size.width, size.height);
        if (canvas.isNull()) {
            return failed(Fault::tooLarge);
        }
        DecodedFrames set;
        for (;;) {
            bool ended = false;
            if (!walk.nextImage(&ended)) {
                if (!ended) {
                    return failed(Fault::corrupt);
                }
                break;
            }
            const GifImageDesc& image = walk.image();
            const Picture before =
                walk.control().DisposalMode == DISPOSE_PREVIOUS ? canvas : Picture();
            for (const int row : storedRowOrder(image.Height, image.Interlace)) {
                const int y = image.Top + row;
                if (!walk.drawLine(y < size.height ? canvas.row(y) : nullptr, size.width)) {
                    return failed(Fault::corrupt);
                }
            }
            set.frames.push_back(canvas);
            // Every frame is kept whole until the set is converted, so a few bytes a frame (a
            // one-pixel frame on a large canvas) could otherwise claim any amount of memory.
            if (std::int64_t(set.frames.size()) * size.width * size.height * 4 >
                kMaxFrameSetBytes) {
                return {
                    {}, {}, {Fault::animationTooLarge, size, int(set.frames.size())}, std::nullopt};
            }
            set.delaysMs.push_back(shownDelayMs(walk.control().DelayTime * 10)); // 1/100 s
            if (walk.control().DisposalMode == DISPOSE_BACKGROUND) {
                for (int y = image.Top; y < std::min(size.height, image.Top + image.Height); ++y) {
                    const int left = std::min(image.Left, size.width);
                    const int right = std::min(size.width, image.Left + image.Width);
                    std::fill(canvas.row(y) + 4 * left, canvas.row(y) + 4 * right, 0);
                }
            } else if (walk.control().DisposalMode == DISPOSE_PREVIOUS) {
                canvas = before;
            }
        }
        if (set.frames.empty()) {
            return failed(Fault::corrupt);
        }
        return set;
    }
};

} // namespace

const PictureReader& gifReader() {
    static const GifReader reader;
    return reader;
}

} // namespace ravik
