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

// Pixels [from, from + n) as a nibble stream from a byte's high nibble, the last byte's low nibble
// 0 when n is odd: the bytes of a literal token.
void appendPacked(const std::vector<unsigned>& pixels, std::size_t from, std::size_t n,
                  Bytes& out) {
    for (std::size_t k = 0; k + 1 < n; k += 2) {
        const unsigned a = pixels[from + k];
        const unsigned b = pixels[from + k + 1];
        out.push_back(static_cast<std::uint8_t>(a >> 4));
        out.push_back(static_cast<std::uint8_t>((a & 0x0F) << 4 | b >> 8));
        out.push_back(static_cast<std::uint8_t>(b & 0xFF));
    }
    if (n % 2 != 0) {
        const unsigned a = pixels[from + n - 1];
        out.push_back(static_cast<std::uint8_t>(a >> 4));
        out.push_back(static_cast<std::uint8_t>((a & 0x0F) << 4));
    }
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
            appendPacked(pixels_, from, n, out_);
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

// ---- Copies ----

// Pixels a token covers: six bits of count in literals, near pixels and "above" copies,
constexpr std::size_t kLzLiteralMax = 64;
constexpr std::size_t kNearMax = 64;
constexpr std::size_t kAboveMax = 64;
// five in a two-byte copy, from two pixels on (a copy of one would cost what a near pixel does),
constexpr std::size_t kCopyMin = 2, kCopyMax = 33;
// twelve in long copies and skips.
constexpr std::size_t kLongMax = 4096, kLzSkipMax = 4096;

// The byte of a near pixel, or -1 when `pixel` is too far from `before`: green moves by -4 to 3,
// red by green's move and -4 to 3 more, blue by green's move and -2 to 1 more (neighbouring pixels
// of a photograph mostly brighten or darken together).
int nearCode(unsigned before, unsigned pixel) {
    const auto channel = [](unsigned colour, int shift) {
        return static_cast<int>(colour >> shift & 0xF);
    };
    const int green = (channel(pixel, 4) - channel(before, 4) + 20) % 16 - 4;
    const int red = (channel(pixel, 8) - channel(before, 8) - green + 36) % 16 - 4;
    const int blue = (channel(pixel, 0) - channel(before, 0) - green + 34) % 16 - 2;
    if (green > 3 || red > 3 || blue > 1) {
        return -1;
    }
    return (green + 4) << 5 | (red + 4) << 2 | (blue + 2);
}

// One token of the copying form, as the cheapest parse chose it.
struct LzToken {
    enum Kind : std::uint8_t { End, Literal, Near, Above, Copy, Long, Skip } kind = End;
    std::uint32_t count = 0;
    std::uint32_t distance = 0;
};

// The cheapest token stream over `pixels` (a width-wide picture): each pixel's cheapest way to the
// end, from the last pixel back; of streams with as many bytes, the one with the fewest tokens, so
// that the decoder's work per token is paid less often. With `previous`, a delta frame: skips over
// unchanged pixels and nothing after the last change; else skips are black and nothing follows the
// last coloured pixel.
Bytes lzEncode(const std::vector<unsigned>& pixels, const std::vector<unsigned>* previous,
               int width) {
    const std::size_t count = pixels.size();
    const std::size_t w = static_cast<std::size_t>(width);
    auto kept = [&](std::size_t i) {
        return previous != nullptr ? (*previous)[i] == pixels[i] : pixels[i] == 0;
    };
    std::size_t end = count;
    while (end > 0 && kept(end - 1)) {
        --end;
    }
    // Bytes in the high 32 bits, tokens in the low.
    constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
    std::vector<std::uint64_t> cost(count + 1, 0);
    std::vector<LzToken> choice(count + 1);
    std::vector<std::uint32_t> match(kHistoryPixels + 1, 0); // equal pixels from i on at distance d
    std::vector<std::uint32_t> nearRun(count + 1, 0), keptRun(count + 1, 0);
    for (std::size_t i = count; i-- > 0;) {
        const int code = nearCode(i > 0 ? pixels[i - 1] : 0, pixels[i]);
        nearRun[i] = code >= 0 ? nearRun[i + 1] + 1 : 0;
        keptRun[i] = kept(i) ? keptRun[i + 1] + 1 : 0;
    }
    for (std::size_t i = count; i-- > 0;) {
        std::uint32_t longest = 0, distance = 0;
        for (std::size_t d = 1; d <= kHistoryPixels; ++d) {
            match[d] = d <= i && pixels[i] == pixels[i - d] ? match[d] + 1 : 0;
            if (match[d] > longest) {
                longest = match[d];
                distance = static_cast<std::uint32_t>(d);
            }
        }
        if (i >= end) {
            continue; // cost 0: nothing needs saying from here on
        }
        std::uint64_t best = kNever;
        LzToken pick;
        auto consider = [&](LzToken::Kind kind, std::size_t n, std::uint32_t bytes,
                            std::uint32_t d) {
            const std::uint64_t total = (std::uint64_t{bytes} << 32 | 1) + cost[i + n];
            if (total < best) {
                best = total;
                pick = {kind, static_cast<std::uint32_t>(n), d};
            }
        };
        for (std::size_t n = 1; n <= std::min(kLzLiteralMax, count - i); ++n) {
            consider(LzToken::Literal, n, static_cast<std::uint32_t>(1 + (3 * n + 1) / 2), 0);
        }
        for (std::size_t n = 1; n <= std::min<std::size_t>(kNearMax, nearRun[i]); ++n) {
            consider(LzToken::Near, n, static_cast<std::uint32_t>(1 + n), 0);
        }
        if (w <= kHistoryPixels && i >= w) {
            for (std::size_t n = 1; n <= std::min<std::size_t>(kAboveMax, match[w]); ++n) {
                consider(LzToken::Above, n, 1, static_cast<std::uint32_t>(w));
            }
        }
        for (std::size_t n = kCopyMin; n <= std::min<std::size_t>(kCopyMax, longest); ++n) {
            consider(LzToken::Copy, n, 2, distance);
        }
        if (longest > 0) {
            consider(LzToken::Long, std::min<std::size_t>(kLongMax, longest), 3, distance);
        }
        if (keptRun[i] > 0) {
            consider(LzToken::Skip, std::min<std::size_t>(kLzSkipMax, keptRun[i]), 2, 0);
        }
        cost[i] = best;
        choice[i] = pick;
    }
    Bytes out;
    for (std::size_t i = 0; i < end;) {
        const LzToken t = choice[i];
        const std::uint32_t n = t.count;
        switch (t.kind) {
        case LzToken::Literal:
            out.push_back(static_cast<std::uint8_t>(n - 1));
            appendPacked(pixels, i, n, out);
            break;
        case LzToken::Near:
            out.push_back(static_cast<std::uint8_t>(0x40 | (n - 1)));
            for (std::size_t k = i; k < i + n; ++k) {
                out.push_back(
                    static_cast<std::uint8_t>(nearCode(k > 0 ? pixels[k - 1] : 0, pixels[k])));
            }
            break;
        case LzToken::Above:
            out.push_back(static_cast<std::uint8_t>(0x80 | (n - 1)));
            break;
        case LzToken::Copy:
            out.push_back(static_cast<std::uint8_t>(0xC0 | (n - kCopyMin)));
            out.push_back(static_cast<std::uint8_t>(t.distance - 1));
            break;
        case LzToken::Long:
        case LzToken::Skip:
            out.push_back(
                static_cast<std::uint8_t>((t.kind == LzToken::Long ? 0xE0 : 0xF0) | (n - 1) >> 8));
            out.push_back(static_cast<std::uint8_t>((n - 1) & 0xFF));
            if (t.kind == LzToken::Long) {
                out.push_back(static_cast<std::uint8_t>(t.distance - 1));
            }
            break;
        case LzToken::End:
            break;
        }
        i += n;
    }
    return out;
}

} // namespace

Bytes lzTokens(std::span<const std::uint8_t> packed, int width, int height) {
    const std::size_t count = checkedPixelCount(packed, width, height);
    return lzEncode(pixelsOf(packed, count), nullptr, width);
}

Bytes lzDeltaTokens(std::span<const std::uint8_t> previous, std::span<const std::uint8_t> frame,
                    int width, int height) {
    const std::size_t count = checkedPixelCount(frame, width, height);
    checkedPixelCount(previous, width, height);
    const std::vector<unsigned> before = pixelsOf(previous, count);
    return lzEncode(pixelsOf(frame, count), &before, width);
}

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

namespace {

// The pictures stored in one form: tokens, or the packed bytes where tokens are not smaller.
StoredPictures storeAs(std::span<const Bytes> pictures, int width, int height,
                       Compression compression, bool delta) {
    StoredPictures stored;
    stored.width = width;
    stored.height = height;
    stored.size = packedSize(width, height);
    // Auto: the copying form, each picture in runs and literals where those are smaller.
    const bool mixed = compression == Compression::Auto;
    stored.compression = mixed ? Compression::Lz : compression;
    stored.delta = delta;
    stored.offsets.push_back(0);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const Bytes& picture = pictures[i];
        checkedPixelCount(picture, width, height);
        Bytes tokens;
        bool tokenised = true;
        const bool change = delta && i > 0;
        if (compression == Compression::Lz || mixed) {
            tokens = change ? lzDeltaTokens(pictures[i - 1], picture, width, height)
                            : lzTokens(picture, width, height);
            if (mixed) {
                const Bytes runs = change
                                       ? deltaTokens(pictures[i - 1], picture, width, height, true)
                                       : rleTokens(picture, width, height);
                if (runs.size() + 1 < tokens.size()) {
                    tokens.assign(1, kRunsMark);
                    tokens.insert(tokens.end(), runs.begin(), runs.end());
                }
            }
        } else if (change) {
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

} // namespace

StoredPictures storePictures(std::span<const Bytes> pictures, int width, int height,
                             Compression compression, bool delta) {
    if (pictures.empty()) {
        throw std::invalid_argument("no picture to store");
    }
    if (compression != Compression::Auto) {
        return storeAs(pictures, width, height, compression, delta);
    }
    StoredPictures runs = storeAs(pictures, width, height, Compression::Rle, delta);
    StoredPictures mixed = storeAs(pictures, width, height, Compression::Auto, delta);
    return mixed.data.size() < runs.data.size() ? mixed : runs;
}

} // namespace ravik
