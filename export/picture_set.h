#pragma once

// What every export writes: packed pictures of one size (a frame, a picture of any size, the
// tiles of a sheet or the frames of an animation), each with its transparency mask when one was
// asked for, and an animation's delays.

#include "codec/conversion.h"

#include <cstdint>
#include <span>
#include <vector>

namespace ravik {

struct PictureSet {
    // How the pictures are laid out in a header: one array, tiles (NAME[NAME_COUNT][…]) or
    // frames with their delays (NAME[NAME_FRAMES][…]).
    enum class Kind { single, tiles, frames };

    BoxSize size = kFrameBox;
    Kind kind = Kind::single;
    std::vector<std::vector<std::uint8_t>> pictures; // packedSize(size) bytes each
    std::vector<std::vector<std::uint8_t>> masks;    // none, or maskSize(size) bytes a picture
    std::vector<int> delaysMs;                       // frames: how long each is shown

    bool hasMasks() const { return !masks.empty(); }
};

// Frames of 98 × 67 as a set of that size.
PictureSet frameSet(std::span<const FrameBuffer> frames, PictureSet::Kind kind);

} // namespace ravik
