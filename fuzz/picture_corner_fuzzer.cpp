// Picture bytes, format told from the content alone, decoded as far as the frame's corner
// reaches, as the window and `convert` with the original size read them.

#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ravik;
    const LoadedPicture loaded =
        decodePicture(fuzz::bytesOf({data, size}), {kFrameWidth, kFrameHeight});
    fuzz::checkPicture(loaded, {});
    return 0;
}
