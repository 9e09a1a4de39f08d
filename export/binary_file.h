#pragma once

// The frame as the display takes it: exactly the 9849 frame bytes, no header.

#include "codec/frame_buffer.h"
#include "export/picture_set.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace ravik {

// The frame's bytes, held in a string as every output file's contents are.
std::string frameBytes(const FrameBuffer& frame);

// A frame set as it is stored: every frame's bytes, one frame after another.
std::string frameBytes(std::span<const FrameBuffer> frames);

// A set's pictures, one after another (tiles in reading order, frames in turn).
std::string pictureBytes(const PictureSet& set);

// A set's masks, one after another, as the pictures are.
std::string maskBytes(const PictureSet& set);

// Writes the frame's bytes to path, replacing it all or nothing; the reason on failure.
std::optional<std::string> writeBinaryFile(const std::filesystem::path& path,
                                           const FrameBuffer& frame);

} // namespace ravik
