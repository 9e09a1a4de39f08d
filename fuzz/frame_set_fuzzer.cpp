// Animated pictures loaded frame by frame, from a file as `--all-frames` reads them: the first
// byte's low two bits pick the file's suffix (gif, webp, png, tif), the rest of it the options
// (fuzz::optionsFrom).

#include "fuzz_input.h"
#include "platform/frame_set_loader.h"

#include <array>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ravik;
    static const std::array<QString, 4> suffixes{QStringLiteral("gif"), QStringLiteral("webp"),
                                                 QStringLiteral("png"), QStringLiteral("tif")};
    const auto [selector, bytes] = fuzz::splitSelector({data, size});
    const ConversionOptions options = fuzz::optionsFrom(selector >> 2);
    const LoadedFrameSet set =
        LoadFrameSet(fuzz::scratchFile(bytes, suffixes[selector & 3]), options);
    // Frames with their delays, or a reason and nothing else.
    if (!set.ok()) {
        fuzz::require(set.frames.isEmpty() && set.delaysMs.isEmpty() && !set.scaled);
        return 0;
    }
    fuzz::require(!set.frames.isEmpty() && set.delaysMs.size() == set.frames.size());
    for (const QImage& frame : set.frames) {
        fuzz::require(!frame.isNull() || set.scaled);
    }
    return 0;
}
