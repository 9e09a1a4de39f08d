#pragma once

// Packed pictures as a C header a compiler takes as it is: an include guard, <stdint.h>, the
// pictures' width, height and size in bytes as macros named after the array, and the array itself
// with the same sixteen-a-line "0xHH," text as the plain C text. Tiles and frame sets become
// two-dimensional arrays with their count (a frame set with each frame's delay in milliseconds);
// masks become NAME_MASK arrays of the same shape beside them.

#include "codec/frame_buffer.h"
#include "export/c_names.h"
#include "export/picture_set.h"

#include <span>
#include <string>
#include <string_view>

namespace ravik {

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
