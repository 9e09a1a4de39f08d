#include "picture_set.h"

namespace ravik {

PictureSet frameSet(std::span<const FrameBuffer> frames, PictureSet::Kind kind) {
    PictureSet set;
    set.kind = kind;
    for (const FrameBuffer& frame : frames) {
        set.pictures.emplace_back(frame.frame().begin(), frame.frame().end());
    }
    return set;
}

} // namespace ravik
