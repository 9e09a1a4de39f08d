#pragma once

// The plain picture every reader gives: straight RGBA, 8 or 16 bits a channel, upright, row after
// row, with no library's image type in sight; and why a picture could not be read.

#include "codec/conversion.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ravik {

struct Size {
    int width = 0;
    int height = 0;
    bool isEmpty() const { return width <= 0 || height <= 0; }
    bool operator==(const Size&) const = default;
};

// The part of `stored` a corner of `corner` takes (all of it when the corner is empty).
inline Size cornerOf(const Size& stored, const Size& corner) {
    if (corner.isEmpty()) {
        return stored;
    }
    return {corner.width < stored.width ? corner.width : stored.width,
            corner.height < stored.height ? corner.height : stored.height};
}

// A rectangle of pixels, left/top inclusive.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int right() const { return x + width - 1; }
    int bottom() const { return y + height - 1; }
    bool operator==(const Rect&) const = default;
};

class Picture {
public:
    // How the colour samples relate to alpha. Associated samples (a TIFF may store them) hold
    // colour times alpha; they are blended over a background as they are, never divided back.
    enum class Alpha { straight, associated };

    Picture() = default;
    // A picture of width × height, every pixel transparent black; null when that is too large
    // to hold.
    Picture(int width, int height, int bitsPerChannel = 8, Alpha alpha = Alpha::straight);

    bool isNull() const { return width_ <= 0 || height_ <= 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    Size size() const { return {width_, height_}; }
    int bitsPerChannel() const { return bits_; }
    Alpha alpha() const { return alpha_; }
    int bytesPerPixel() const { return bits_ / 2; } // four channels
    std::ptrdiff_t bytesPerLine() const { return std::ptrdiff_t{width_} * bytesPerPixel(); }

    std::uint8_t* row(int y) { return bytes_.data() + y * bytesPerLine(); }
    const std::uint8_t* row(int y) const { return bytes_.data() + y * bytesPerLine(); }
    // 16-bit channels in the machine's own byte order.
    std::uint16_t* row16(int y) { return reinterpret_cast<std::uint16_t*>(row(y)); }
    const std::uint16_t* row16(int y) const {
        return reinterpret_cast<const std::uint16_t*>(row(y));
    }

    // The rectangle `area` (within the picture) as a picture of its own.
    Picture copy(const Rect& area) const;

private:
    int width_ = 0;
    int height_ = 0;
    int bits_ = 8;
    Alpha alpha_ = Alpha::straight;
    std::vector<std::uint8_t> bytes_;
};

// Why there is no picture. `unsupported` means the format is known but this variant of it is
// not one our readers take: another reader (Qt's) may still read it.
enum class Fault {
    none,
    notFound,
    folder,
    notRegularFile, // a pipe, a device or a socket: reading it could block or never end
    noPermission,
    empty,
    unreadable,
    unrecognised,
    corrupt,
    incomplete,
    tooLarge,
    animationTooLarge, // its frames together, each kept whole until converted
    undecodable,
    unsupported,
};

struct PictureFault {
    Fault fault = Fault::none;
    Size size;      // for tooLarge and animationTooLarge: the picture's size, when known
    int frames = 0; // for animationTooLarge: the frames read when the limit was passed
    bool operator==(const PictureFault&) const = default;
};

// The fault as the sentence the user reads, in Simplified Chinese (UTF-8): the one place faults
// are put into words.
std::string faultSentence(const PictureFault& fault);

// What a reader gives: the picture (or its corner), or for a scaling fit the picture scaled while
// it was read, or the fault.
struct DecodedPicture {
    Picture picture;
    std::optional<ScaledPicture> scaled;
    PictureFault fault;
    bool ok() const { return fault.fault == Fault::none; }
};

inline DecodedPicture faulty(Fault fault, Size size = {}) {
    return {{}, std::nullopt, {fault, size}};
}

// Every frame of an animated picture, composed as a viewer shows it at that moment.
struct DecodedFrames {
    std::vector<Picture> frames; // one for a still picture
    std::vector<int> delaysMs;   // how long a viewer shows each frame
    PictureFault fault;
    // A still picture a scaling fit scaled while reading it, instead of its one frame.
    std::optional<ScaledPicture> scaled;
    bool ok() const { return fault.fault == Fault::none; }
};

// The bytes a picture of this size would take, against the limit the caller allows (0: none).
bool exceedsLimit(const Size& size, std::int64_t bytesPerPixel, std::int64_t limitBytes);

} // namespace ravik
