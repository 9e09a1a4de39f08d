#pragma once

// Packed pictures as a C header a compiler takes as it is: an include guard, <stdint.h>, the
// pictures' width, height and size in bytes as macros named after the array, and the array itself
// with the same sixteen-a-line "0xHH," text as the plain C text. Tiles and frame sets become
// two-dimensional arrays with their count (a frame set with each frame's delay in milliseconds);
// masks become NAME_MASK arrays of the same shape beside them.

#include "codec/frame_buffer.h"
#include "export/picture_set.h"

#include <span>
#include <string>
#include <string_view>

namespace ravik {

// A valid C identifier made from a file's base name (UTF-8): other characters become "_"
// (non-ASCII ones are dropped), a leading digit is prefixed, and C keywords get a suffix.
std::string cIdentifierFor(std::string_view baseName);

// Why name can't name the array, in Chinese; empty when it can.
std::string identifierProblem(std::string_view name);

// Why text can't stand between the array's declarator and its initialiser; empty when it can.
std::string attributeProblem(std::string_view text);

// The header of a set: `static const uint8_t IDENT[IDENT_SIZE] ATTRIBUTE = { … };` for one
// picture (the first, should the set hold more); `IDENT[IDENT_COUNT][IDENT_SIZE]` for tiles;
// `IDENT[IDENT_FRAMES][IDENT_SIZE]` and `IDENT_DELAYS_MS[IDENT_FRAMES]` for frames, delays
// beyond what 16 bits hold capped. With masks, `IDENT_MASK_SIZE` and `IDENT_MASK` shaped alike.
std::string formatCHeader(const std::string& identifier, const std::string& attribute,
                          const PictureSet& set);

// One frame.
std::string formatCHeader(const std::string& identifier, const std::string& attribute,
                          const FrameBuffer& frame);

// A frame set of 98 × 67 frames.
std::string formatCHeaderFrameSet(const std::string& identifier, const std::string& attribute,
                                  std::span<const FrameBuffer> frames,
                                  std::span<const int> delaysMs);

} // namespace ravik
