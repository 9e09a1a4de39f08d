// Picture bytes, format told from the content, read for the fit, dither and background the
// first byte selects (fuzz::optionsFrom): the scaling fits read the whole picture, scaling
// rows as they are decoded.

#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ravik;
    const auto [selector, bytes] = fuzz::splitSelector({data, size});
    const ConversionOptions options = fuzz::optionsFrom(selector);
    fuzz::checkPicture(decodeForFit(bytes, options), options);
    return 0;
}
