#include "compression.h"

#include "codec/packed_picture.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace ravik {
namespace {

constexpr std::size_t kLiteralMax = 128;
constexpr std::size_t kRunMax = 1024;
constexpr std::size_t kSkipMax = 16384;
// A run token takes three bytes, as many as two literal pixels: runs pay from three pixels on.
constexpr std::size_t kRunMin = 3;
// A skip takes two bytes; one unchanged pixel is cheaper kept in the span around it.
constexpr std::size_t kSkipMin = 2;

using Bytes = std::vector<std::uint8_t>;

std::size_t checkedPixelCount(std::span<const std::uint8_t> packed, int width, int height) {
    if (packed.size() != packedSize(width, height)) {
        throw std::invalid_argument("picture bytes differ from the packed size");
    }
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

// The 12 bits of pixel i of a packed picture as 0xRGB.
unsigned pixelAt(std::span<const std::uint8_t> packed, std::size_t i) {
    const std::size_t first = i * 3 / 2;
    const unsigned a = packed[first];
    const unsigned b = packed[first + 1];
    return i % 2 == 0 ? (a << 4 | b >> 4) : ((a & 0x0F) << 8 | b);
}

// Tokens for pixels [from, to) of `pixels`, appended to `out`.
class TokenWriter {
public:
    TokenWriter(const std::vector<unsigned>& pixels, Bytes& out, bool runs)
        : pixels_(pixels), out_(out), runs_(runs) {}

    void span(std::size_t from, std::size_t to) {
        std::size_t literalStart = from;
        std::size_t i = from;
        while (i < to) {
            std::size_t end = i + 1;
            while (end < to && pixels_[end] == pixels_[i] && end - i < kRunMax) {
                ++end;
            }
            if (runs_ && end - i >= kRunMin) {
                literal(literalStart, i);
                run(end - i, pixels_[i]);
                literalStart = end;
            }
            i = end;
        }
        literal(literalStart, to);
    }

    void skip(std::size_t count) {
        for (; count > 0;) {
            const std::size_t n = std::min(count, kSkipMax);
            out_.push_back(static_cast<std::uint8_t>(0xC0 | (n - 1) >> 8));
            out_.push_back(static_cast<std::uint8_t>((n - 1) & 0xFF));
            count -= n;
        }
    }

private:
    void run(std::size_t n, unsigned color) {
        out_.push_back(static_cast<std::uint8_t>(0x80 | (n - 1) >> 4));
        out_.push_back(static_cast<std::uint8_t>(((n - 1) & 0x0F) << 4 | color >> 8));
        out_.push_back(static_cast<std::uint8_t>(color & 0xFF));
    }

    // Literals of at most kLiteralMax pixels, each a nibble stream of its own.
    void literal(std::size_t from, std::size_t to) {
        while (from < to) {
            const std::size_t n = std::min(to - from, kLiteralMax);
            out_.push_back(static_cast<std::uint8_t>(n - 1));
            for (std::size_t k = 0; k + 1 < n; k += 2) {
                const unsigned a = pixels_[from + k];
                const unsigned b = pixels_[from + k + 1];
                out_.push_back(static_cast<std::uint8_t>(a >> 4));
                out_.push_back(static_cast<std::uint8_t>((a & 0x0F) << 4 | b >> 8));
                out_.push_back(static_cast<std::uint8_t>(b & 0xFF));
            }
            if (n % 2 != 0) {
                const unsigned a = pixels_[from + n - 1];
                out_.push_back(static_cast<std::uint8_t>(a >> 4));
                out_.push_back(static_cast<std::uint8_t>((a & 0x0F) << 4));
            }
            from += n;
        }
    }

    const std::vector<unsigned>& pixels_;
    Bytes& out_;
    bool runs_;
};

std::vector<unsigned> pixelsOf(std::span<const std::uint8_t> packed, std::size_t count) {
    std::vector<unsigned> pixels(count);
    for (std::size_t i = 0; i < count; ++i) {
        pixels[i] = pixelAt(packed, i);
    }
    return pixels;
}

} // namespace

Bytes rleTokens(std::span<const std::uint8_t> packed, int width, int height) {
    const std::size_t count = checkedPixelCount(packed, width, height);
    const std::vector<unsigned> pixels = pixelsOf(packed, count);
    Bytes out;
    TokenWriter(pixels, out, true).span(0, count);
    return out;
}

Bytes deltaTokens(std::span<const std::uint8_t> previous, std::span<const std::uint8_t> frame,
                  int width, int height, bool runs) {
    const std::size_t count = checkedPixelCount(frame, width, height);
    checkedPixelCount(previous, width, height);
    const std::vector<unsigned> pixels = pixelsOf(frame, count);
    std::vector<bool> changed(count);
    std::size_t end = 0; // one past the last changed pixel
    for (std::size_t i = 0; i < count; ++i) {
        changed[i] = pixels[i] != pixelAt(previous, i);
        if (changed[i]) {
            end = i + 1;
        }
    }
    Bytes out;
    TokenWriter writer(pixels, out, runs);
    std::size_t i = 0;
    while (i < end) {
        std::size_t j = i;
        if (!changed[i]) {
            while (!changed[j]) {
                ++j;
            }
            writer.skip(j - i);
        } else {
            // A changed span swallows gaps too short to pay for a skip.
            while (j < end) {
                if (changed[j]) {
                    ++j;
                    continue;
                }
                std::size_t gap = j;
                while (gap < end && !changed[gap]) {
                    ++gap;
                }
                if (gap - j >= kSkipMin) {
                    break;
                }
                j = gap;
            }
            writer.span(i, j);
        }
        i = j;
    }
    return out;
}

StoredPictures storePictures(std::span<const Bytes> pictures, int width, int height,
                             Compression compression, bool delta) {
    if (pictures.empty()) {
        throw std::invalid_argument("no picture to store");
    }
    StoredPictures stored;
    stored.width = width;
    stored.height = height;
    stored.size = packedSize(width, height);
    stored.compression = compression;
    stored.delta = delta;
    stored.offsets.push_back(0);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const Bytes& picture = pictures[i];
        checkedPixelCount(picture, width, height);
        Bytes tokens;
        bool tokenised = true;
        if (delta && i > 0) {
            tokens = deltaTokens(pictures[i - 1], picture, width, height,
                                 compression == Compression::Rle);
        } else if (compression == Compression::Rle) {
            tokens = rleTokens(picture, width, height);
        } else {
            tokenised = false;
        }
        const Bytes& chosen = tokenised && tokens.size() < stored.size ? tokens : picture;
        stored.data.insert(stored.data.end(), chosen.begin(), chosen.end());
        if (stored.data.size() > std::numeric_limits<std::uint32_t>::max()) {
            throw std::invalid_argument("stored pictures exceed 4 GiB");
        }
        stored.offsets.push_back(static_cast<std::uint32_t>(stored.data.size()));
    }
    return stored;
}

} // namespace ravik
