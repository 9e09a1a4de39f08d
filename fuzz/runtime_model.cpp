#include "runtime_model.h"

#include "runtime/ravik_lcd.h"

#include <algorithm>

namespace ravik::fuzz {

namespace {

std::uint8_t nibbleAt(std::span<const std::uint8_t> packed, std::size_t index) {
    const std::uint8_t byte = packed[index / 2];
    return index % 2 ? byte & 0x0F : byte >> 4;
}

// The control bytes' fields: literal 0LLLLLLL, run 10LLLLLL LLLL…, skip 11LLLLLL LLLLLLLL.
constexpr std::size_t kLongestLiteral = 128;
constexpr std::size_t kLongestRun = 1024;
constexpr std::size_t kLongestSkip = 16384;

} // namespace

ModelPixels unpackModel(std::span<const std::uint8_t> packed, std::size_t count) {
    ModelPixels pixels(count);
    for (std::size_t i = 0; i < count; ++i) {
        pixels[i] = std::uint16_t(nibbleAt(packed, 3 * i) << 8 | nibbleAt(packed, 3 * i + 1) << 4 |
                                  nibbleAt(packed, 3 * i + 2));
    }
    return pixels;
}

std::vector<std::uint8_t> packModel(const ModelPixels& pixels) {
    std::vector<std::uint8_t> packed((pixels.size() * 3 + 1) / 2);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        for (std::size_t channel = 0; channel < 3; ++channel) {
            const std::size_t nibble = 3 * i + channel;
            const auto value = std::uint8_t(pixels[i] >> (8 - 4 * channel) & 0x0F);
            packed[nibble / 2] |= std::uint8_t(nibble % 2 ? value : value << 4);
        }
    }
    return packed;
}

std::vector<std::uint8_t> decodeModel(std::span<const std::uint8_t> stored, std::size_t size,
                                      const ModelPixels& base) {
    if (stored.size() == size) {
        return {stored.begin(), stored.end()};
    }
    ModelPixels pixels = base;
    std::size_t at = 0;
    std::size_t next = 0;
    while (next < stored.size()) {
        const std::uint8_t control = stored[next];
        if (control < 0x80) {
            const std::size_t count = control + 1u;
            const ModelPixels literal = unpackModel(stored.subspan(next + 1), count);
            std::copy(literal.begin(), literal.end(), pixels.begin() + std::ptrdiff_t(at));
            next += 1 + (3 * count + 1) / 2;
            at += count;
        } else if (control < 0xC0) {
            const std::size_t count =
                ((control & 0x3Fu) << 4 | std::size_t(stored[next + 1] >> 4)) + 1;
            const auto colour = std::uint16_t((stored[next + 1] & 0x0F) << 8 | stored[next + 2]);
            std::fill_n(pixels.begin() + std::ptrdiff_t(at), count, colour);
            next += 3;
            at += count;
        } else {
            at += ((control & 0x3Fu) << 8 | stored[next + 1]) + 1u;
            next += 2;
        }
    }
    return packModel(pixels);
}

std::vector<std::uint8_t> tokensFrom(ByteSource& input, std::size_t count) {
    std::vector<std::uint8_t> tokens;
    std::size_t left = count;
    while (left > 0 && !input.empty()) {
        const std::uint8_t kind = input.byte() % 4;
        if (kind == 3) { // the stream ends here: the rest keep their colour
            break;
        }
        const std::size_t longest = std::min(left, kind == 0   ? kLongestLiteral
                                                   : kind == 1 ? kLongestRun
                                                               : kLongestSkip);
        const auto n = std::size_t(input.inRange(1, std::int64_t(longest)));
        const std::size_t field = n - 1;
        if (kind == 0) {
            tokens.push_back(std::uint8_t(field));
            ModelPixels literal(n);
            for (std::uint16_t& pixel : literal) {
                pixel = input.word() & 0x0FFF;
            }
            const std::vector<std::uint8_t> packed = packModel(literal);
            tokens.insert(tokens.end(), packed.begin(), packed.end());
        } else if (kind == 1) {
            const std::uint16_t colour = input.word() & 0x0FFF;
            tokens.push_back(std::uint8_t(0x80 | field >> 4));
            tokens.push_back(std::uint8_t((field & 0x0F) << 4 | colour >> 8));
            tokens.push_back(std::uint8_t(colour & 0xFF));
        } else {
            tokens.push_back(std::uint8_t(0xC0 | field >> 8));
            tokens.push_back(std::uint8_t(field & 0xFF));
        }
        left -= n;
    }
    return tokens;
}

void collectStreamed(const std::uint8_t* bytes, std::uint16_t n, void* context) {
    auto& streamed = *static_cast<Streamed*>(context);
    streamed.badPiece = streamed.badPiece || n == 0 || n > RAVIK_LCD_STREAM_PIECE;
    streamed.bytes.insert(streamed.bytes.end(), bytes, bytes + n);
}

std::vector<std::uint8_t> exactCopy(std::span<const std::uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

} // namespace ravik::fuzz
