#pragma once

// What the JPEG reader offers beyond the common interface.

#include "pictures/bytes.h"
#include "pictures/picture.h"
#include "pictures/reader.h"

namespace ravik {

// The whole picture, upright, decoded reduced (1/2, 1/4, 1/8) as far as the scaling `fit` still
// gets at least one picture pixel for each box pixel: what the JPEG reader scales for that fit.
DecodedPicture readReducedJpeg(Bytes data, Fit fit, std::int64_t limitBytes = kDefaultDecodeLimit);

} // namespace ravik
