#pragma once

// The frame as a C header a compiler takes as it is: an include guard, <stdint.h>, the frame's
// width, height and size as macros named after the array, and the array itself with the same
// sixteen-a-line "0xHH," text as the plain C text. A frame set becomes a two-dimensional array
// with the frame count and each frame's delay in milliseconds.

#include "codec/frame_buffer.h"

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

// One frame: `static const uint8_t IDENT[IDENT_SIZE] ATTRIBUTE = { … };`.
std::string formatCHeader(const std::string& identifier, const std::string& attribute,
                          const FrameBuffer& frame);

// Frames: `IDENT[IDENT_FRAMES][IDENT_SIZE]` and `IDENT_DELAYS_MS[IDENT_FRAMES]`; delays beyond
// what 16 bits hold are capped.
std::string formatCHeaderFrameSet(const std::string& identifier, const std::string& attribute,
                                  std::span<const FrameBuffer> frames,
                                  std::span<const int> delaysMs);

} // namespace ravik
