#pragma once

// Reading frames back: a .bin file of one frame or of several one after another, or C text holding
// the frames' byte values (0xHH, decimal or octal, separated by commas and white space), with or
// without a declaration, braces and comments, as this program or a person writes it. A frame set
// is written as `--all-frames` writes it: frames one after another, or a two-level initialiser
// with each frame in its own braces. Failures say what was found, in Simplified Chinese.

#include "codec/frame_buffer.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ravik {

struct FrameReading {
    std::vector<FrameBuffer> frames; // in order; empty on failure
    // Whether the file holds a frame set: several frames, or one in a two-level initialiser.
    bool frameSet = false;
    // How long each frame is shown, when the text gives it as this program's header does (an
    // array named NAME_DELAYS_MS after the frames); empty otherwise.
    std::vector<int> delaysMs;
    std::string failure; // why the frames could not be read, in Chinese; empty on success
    bool ok() const { return !frames.empty(); }
};

// The frames in the bytes of a .bin file: a whole number of frames, one after another.
FrameReading readFrameBinary(std::string_view bytes);

// The frames in C text. With braces, only the values inside the first initialiser's braces
// count, so `#define NAME_SIZE 9849` or an array size does not; inner braces hold one frame each.
// Without braces, preprocessor lines are skipped and every other value counts. Values not in inner
// braces make frames one after another.
FrameReading readFrameText(std::string_view text);

// Whether the path names a frame file rather than a picture, by its suffix (.bin, .c, .h, .txt).
bool isFrameFile(const std::filesystem::path& path);

// The frames in the file at path: .bin as binary, the other frame suffixes as C text.
FrameReading readFrameFile(const std::filesystem::path& path);

} // namespace ravik
