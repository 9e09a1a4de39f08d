#pragma once

// Reading pictures without any GUI library: the table of readers, strongest signature first and
// TGA (no signature) last, and the entry points the program, the window and the fuzz targets
// call. Each gives Fault::unrecognised for a format none of our readers takes and
// Fault::unsupported for a variant one leaves to others, so a caller may try another reader.

#include "pictures/picture.h"
#include "pictures/reader.h"

#include <optional>
#include <string_view>

namespace ravik {

// The reader for the bytes: by signature first; then, for formats without one, by
// `suffixHint` (a file suffix such as "tga", lower case). Null when none takes them.
const PictureReader* readerFor(Bytes bytes, std::string_view suffixHint = {});

// The picture, or its top-left `corner` (as shown) when that is not empty.
DecodedPicture readPicture(Bytes bytes, const Size& corner = {}, std::string_view suffixHint = {},
                           std::int64_t limitBytes = kDefaultDecodeLimit);

// What a conversion with options.fit needs: the box's corner for Fit::Original, the picture
// scaled over options.background (in `scaled`) for the other fits.
DecodedPicture readForFit(Bytes bytes, const ConversionOptions& options,
                          std::string_view suffixHint = {},
                          std::int64_t limitBytes = kDefaultDecodeLimit);

// Every frame, each composed as a viewer shows it; for Fit::Original only each frame's corner.
// A still picture gives its one frame as readForFit reads it (scaled for a scaling fit); an
// animation whose frames our readers don't compose (APNG) gives Fault::unsupported.
DecodedFrames readFrames(Bytes bytes, const ConversionOptions& options,
                         std::string_view suffixHint = {},
                         std::int64_t limitBytes = kDefaultDecodeLimit);

// How many frames readFrames would give, counted without decoding them; nothing when the format
// can't tell cheaply or the bytes are broken.
std::optional<int> countFrames(Bytes bytes, std::string_view suffixHint = {});

// A whole picture scaled as options.fit says (not Fit::Original), as if read row by row.
ScaledPicture scalePicture(const Picture& picture, const ConversionOptions& options);

// The conversion of a picture into the box of options.size (null for an empty box):
// Fit::Original uses its top-left corner, the other fits scale it whole.
PackedConversion convertPacked(const Picture& picture, const ConversionOptions& options);
// The conversion of what readForFit gave.
PackedConversion convertPacked(const DecodedPicture& decoded, const ConversionOptions& options);

// The same into the 98 × 67 frame (options.size must be the frame's).
Conversion convertPicture(const Picture& picture, const ConversionOptions& options);
Conversion convertPicture(const DecodedPicture& decoded, const ConversionOptions& options);

} // namespace ravik
