// Picture bytes with a file suffix as the hint, as files are read: the first byte's low three
// bits pick the suffix (fuzz::formatHintFrom), its top four the fit and dither, so each of our
// readers is reached by its suffix (TGA has no other way in without its footer) as well as by
// its signature, for the corner and for the scaling fits. One target rather than eight, so
// that a seed of one format mutated towards another keeps being useful.

#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ravik;
    const auto [selector, bytes] = fuzz::splitSelector({data, size});
    const ConversionOptions options = fuzz::optionsFrom(selector >> 4);
    fuzz::checkPicture(decodeForFit(bytes, options, fuzz::formatHintFrom(selector)), options);
    return 0;
}
