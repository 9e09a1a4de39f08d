// Frame files read back: the rest of the input as the bytes of a .bin file when the first byte
// is even, as C text (one frame or a frame set, with or without delays) when it is odd.

#include "export/frame_text_reader.h"
#include "fuzz_input.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ravik;
    const auto [selector, rest] = fuzz::splitSelector({data, size});
    const std::string_view text(rest.constData(), std::size_t(rest.size()));
    const FrameReading reading = (selector & 1) ? readFrameText(text) : readFrameBinary(text);
    // Frames or a reason, never both; delays, when given, one for each frame.
    fuzz::require(reading.ok() == reading.failure.empty());
    fuzz::require(reading.delaysMs.empty() || reading.delaysMs.size() == reading.frames.size());
    for (const FrameBuffer& frame : reading.frames) {
        fuzz::checkFrame(frame);
    }
    return 0;
}
