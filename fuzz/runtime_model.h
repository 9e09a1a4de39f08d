#pragma once

// Small models of the firmware runtime, written from what runtime/ravik_lcd.h says its functions
// do, for the targets that compare the runtime with them: pixels as 0x0RGB values row after row,
// the packing, and the token stream of a stored picture.

#include "fuzz_input.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ravik::fuzz {

using ModelPixels = std::vector<std::uint16_t>; // 0x0RGB, row after row

// The pixels of a packed stream: three nibbles each, R G B, high nibble first.
ModelPixels unpackModel(std::span<const std::uint8_t> packed, std::size_t count);

// The packed stream of the pixels; an odd count leaves the last byte's low nibble 0.
std::vector<std::uint8_t> packModel(const ModelPixels& pixels);

// A stored picture of `base.size()` pixels decoded over `base` (what skips and the pixels after
// the last token keep): its bytes as they are when there are exactly `size` of them, else its
// tokens. Only for well-formed streams: every token whole and within the picture.
std::vector<std::uint8_t> decodeModel(std::span<const std::uint8_t> stored, std::size_t size,
                                      const ModelPixels& base);

// A well-formed token stream over `count` pixels built from the input: literals, runs and skips
// of the lengths the input gives, cut to the pixels left, possibly ending before the last pixel.
std::vector<std::uint8_t> tokensFrom(ByteSource& input, std::size_t count);

// What ravik_lcd_stream hands over, collected by collectStreamed (its write callback, with the
// Streamed as its context); whether any piece was empty or longer than RAVIK_LCD_STREAM_PIECE.
struct Streamed {
    std::vector<std::uint8_t> bytes;
    bool badPiece = false;
};
void collectStreamed(const std::uint8_t* bytes, std::uint16_t n, void* context);

// Heap copies of exactly the bytes given, so that AddressSanitizer catches the first byte read
// or written past them.
std::vector<std::uint8_t> exactCopy(std::span<const std::uint8_t> bytes);

} // namespace ravik::fuzz
