#pragma once

// Compression of packed pictures for flash, as the firmware runtime (ravik_lcd_unpack,
// ravik_lcd_stream) decodes them with a few bytes of RAM.
//
// A stored picture is either its packed bytes as they are (raw: exactly the picture's packed size)
// or a token stream over its 12-bit pixels (any other length). A picture is stored raw whenever the
// tokens would take as many bytes or more, so the length alone tells the two apart.
//
// Tokens, each starting with a control byte; n is the count of pixels it covers:
//   0LLLLLLL                     literal: n = L + 1 (1-128) pixels follow as a nibble stream,
//                                R G B per pixel, high nibble first, ceil(3n / 2) bytes; when n is
//                                odd the last byte's low nibble is 0. The stream is the packing's
//                                own, so a literal that starts on an even pixel is copied byte for
//                                byte.
//   10LLLLLL LLLLRRRR GGGGBBBB   run: n = L + 1 (1-1024, L ten bits, high bits first) pixels of
//                                colour R G B.
//   11LLLLLL LLLLLLLL            skip: n = L + 1 (1-16384) pixels left as the previous frame has
//                                them (delta frames only; in a whole picture they decode as black).
// Tokens cover the pixels in order from pixel 0. Pixels after the last token keep the previous
// frame's colour in a delta frame and are black in a whole picture.
//
// Delta animations: frame 0 is a whole picture; every later frame is a token stream against the
// frame before it (skips over what is unchanged, runs and literals for the changed spans), or raw
// when that is no smaller, so unpacking frame i over frame i - 1 in place gives frame i.
//
// The copying form (Compression::Lz) has its own tokens, which also repeat pixels already decoded
// (d pixels back, d at most kHistoryPixels: two rows of the display, what ravik_lcd_stream keeps)
// and store a pixel near the one before it in a byte:
//   00LLLLLL                     literal: n = L + 1 (1-64) pixels follow as a nibble stream, as
//                                above, ceil(3n / 2) bytes
//   01LLLLLL then n bytes        near: n = L + 1 (1-64) pixels, each one byte GGGRRRBB against the
//                                pixel before it (black before pixel 0): green += GGG - 4, red +=
//                                that and RRR - 4, blue += that and BB - 2, each modulo 16
//   10LLLLLL                     above: n = L + 1 (1-64) pixels copied from d = width back (only
//                                in pictures at most kHistoryPixels wide)
//   110LLLLL DDDDDDDD            copy: n = L + 2 (2-33) pixels from d = D + 1 back
//   1110LLLL LLLLLLLL DDDDDDDD   long copy: n = L + 1 (1-4096) pixels from d = D + 1 back
//   1111LLLL LLLLLLLL            skip: n = L + 1 (1-4096) pixels as the previous frame has them
//                                (delta frames; black in a whole picture)
// A copy repeats pixel by pixel, so d < n repeats a pattern (d = 1: a run). A copy from further
// back than the pixels decoded so far, or than kHistoryPixels, is corrupt: decoding ends there.
// In a delta frame copies and near pixels read the frame being made, whose earlier pixels are
// final (written, or skipped and so the previous frame's); the tokens end after the last change.
// A whole picture's tokens end after its last pixel that is not black.
// A picture of the copying form whose first byte is kRunsMark (an "above" before any pixel,
// which the copying tokens never start with) holds runs and literals after it, as above: Auto
// stores each picture so where that is smaller.

#include "codec/frame_buffer.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ravik {

enum class Compression : std::uint8_t {
    Raw = 0,  // pictures as packed (delta frames still use skips and literals)
    Rle = 1,  // runs and literals, raw where that is smaller
    Lz = 2,   // the copying form, raw where that is smaller
    Auto = 3, // asked for only: Lz with each picture the smaller of its copying tokens and its
              // runs and literals (after kRunsMark), or Rle where that is smaller in all
};

// The first byte of a picture of the copying form that holds runs and literals instead.
inline constexpr std::uint8_t kRunsMark = 0x80;

// How far back the copying form's copies reach, in pixels: two rows of the display.
inline constexpr std::size_t kHistoryPixels = 2 * std::size_t{kFrameWidth};

// Pictures of one size stored one after the other: picture i is data[offsets[i]] up to
// data[offsets[i + 1]].
struct StoredPictures {
    int width = 0;
    int height = 0;
    std::size_t size = 0; // bytes of one unpacked picture
    Compression compression = Compression::Raw;
    bool delta = false;
    std::vector<std::uint8_t> data;
    std::vector<std::uint32_t> offsets; // count + 1 entries
};

// The tokens of a whole packed width × height picture (no raw fallback). Throws
// std::invalid_argument when `packed` is not packedSize(width, height) bytes.
std::vector<std::uint8_t> rleTokens(std::span<const std::uint8_t> packed, int width, int height);

// The tokens that turn `previous` into `frame` (both packed width × height pictures): skips over
// unchanged pixels, runs (when `runs`) and literals for the rest, nothing after the last change.
std::vector<std::uint8_t> deltaTokens(std::span<const std::uint8_t> previous,
                                      std::span<const std::uint8_t> frame, int width, int height,
                                      bool runs);

// The copying form's tokens of a whole packed picture, and of a delta frame over `previous`
// (no raw fallback); the cheapest parse of the picture into its tokens.
std::vector<std::uint8_t> lzTokens(std::span<const std::uint8_t> packed, int width, int height);
std::vector<std::uint8_t> lzDeltaTokens(std::span<const std::uint8_t> previous,
                                        std::span<const std::uint8_t> frame, int width, int height);

// Stores packed pictures of one size, each compressed as asked and raw where that is not larger;
// with `delta`, every picture after the first against the one before; Auto stores them in the
// copying form, each picture as the smaller of its copying tokens and its runs and literals, or
// as Rle when that takes no more bytes in all. Throws
// std::invalid_argument when there is no picture, a picture is not packedSize(width, height)
// bytes, or the data outgrows 32-bit offsets.
StoredPictures storePictures(std::span<const std::vector<std::uint8_t>> pictures, int width,
                             int height, Compression compression, bool delta);

} // namespace ravik
