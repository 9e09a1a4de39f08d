#pragma once

// The frame as C source text for pasting into an array initialiser: every byte as "0xHH,",
// sixteen to a line, each line ended by CR LF. The last line holds the frame's remaining bytes.

#include "codec/frame_buffer.h"
#include "export/picture_set.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ravik {

inline constexpr int kBytesPerLine = 16;
inline constexpr int kTextLineCount = (kFrameSize + kBytesPerLine - 1) / kBytesPerLine;
inline constexpr int kCharsPerByte = 5; // "0xHH,"
inline constexpr int kCArrayTextLength = kFrameSize * kCharsPerByte + kTextLineCount * 2;

// "0x" and two upper-case hex digits: 0 gives "0x00", 171 gives "0xAB".
std::string hex2(std::uint8_t value);

// Bytes as "0xHH," items, sixteen to a line, each line begun by indent and ended by lineEnd.
void appendCArrayLines(std::string& text, std::span<const std::uint8_t> bytes,
                       std::string_view indent, std::string_view lineEnd);

// All 9849 frame bytes as C text (615 full lines and one of nine values).
std::string formatCArrayText(const FrameBuffer& frame);

// A frame set's C text: each frame's text, one after another.
std::string formatCArrayText(std::span<const FrameBuffer> frames);

// A set's C text: each picture's bytes as the frame's are written, one picture after another.
std::string formatCArrayText(const PictureSet& set);

} // namespace ravik
