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

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ravik {

enum class Compression : std::uint8_t {
    Raw = 0, // pictures as packed (delta frames still use skips and literals)
    Rle = 1, // runs and literals, raw where that is smaller
};

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

// Stores packed pictures of one size, each compressed as asked and raw where that is not larger;
// with `delta`, every picture after the first against the one before. Throws
// std::invalid_argument when there is no picture, a picture is not packedSize(width, height)
// bytes, or the data outgrows 32-bit offsets.
StoredPictures storePictures(std::span<const std::vector<std::uint8_t>> pictures, int width,
                             int height, Compression compression, bool delta);

} // namespace ravik
