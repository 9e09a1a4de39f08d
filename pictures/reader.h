#pragma once

// The interface every format's reader implements, as each format's file fills it: whether the
// bytes are its format, and reading them as a request asks (the top-left corner the frame needs,
// the whole picture, the picture scaled for a fit while read, or every frame).

#include "codec/conversion.h"
#include "pictures/bytes.h"
#include "pictures/picture.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace ravik {

// Whole pictures are refused beyond this many bytes unless the caller allows more or less.
inline constexpr std::int64_t kDefaultDecodeLimit = std::int64_t{256} * 1024 * 1024;
// What the frames of one animation may take together.
inline constexpr std::int64_t kMaxFrameSetBytes = std::int64_t{1} << 30;

struct ReadRequest {
    // The shown top-left corner to read, after any orientation; empty for the whole picture.
    Size corner;
    // A scaling fit (not Fit::Original): the picture comes back scaled while read, whatever its
    // size; null for pictures.
    const ConversionOptions* fit = nullptr;
    // Whole pictures needing more bytes than this (at 4 bytes a pixel) are refused; 0: no limit.
    std::int64_t limitBytes = kDefaultDecodeLimit;
};

class PictureReader {
public:
    // How sure a reader is that bytes are its format: by a signature, or only if the file's
    // suffix says so too (a format without a signature).
    enum class Claim { no, ifSuffix, signature };

    virtual ~PictureReader() = default;

    // Lower-case suffixes of the format's files ("png").
    virtual std::span<const std::string_view> suffixes() const = 0;
    virtual Claim claim(Bytes bytes) const = 0;
    // The picture as the request asks. Fault::unsupported: a variant of the format this reader
    // leaves to others.
    virtual DecodedPicture read(Bytes bytes, const ReadRequest& request) const = 0;
    // Every frame, each composed as a viewer shows it at that moment, or the one picture of a
    // format that has no frames; request.fit is ignored (frames come whole or cut to the corner).
    virtual DecodedFrames readFrames(Bytes bytes, const ReadRequest& request) const;
    // What the bytes hold: one still picture, frames readFrames composes, or an animation this
    // reader leaves to others (it reads only its still picture).
    enum class Frames { still, composed, leftToOthers };
    virtual Frames frames(Bytes) const { return Frames::still; }
    // How many frames readFrames would give, counted without decoding any, so that work too large
    // to finish can be refused before it starts; nothing when the format can't tell cheaply (or
    // the bytes are broken: the read will say how).
    virtual std::optional<int> frameCount(Bytes bytes) const {
        return frames(bytes) == Frames::still ? std::optional<int>(1) : std::nullopt;
    }
};

// The readers, one per format. Each lives in its format's file.
const PictureReader& pngReader();
const PictureReader& jpegReader();
const PictureReader& gifReader();
const PictureReader& webpReader();
const PictureReader& tiffReader();
const PictureReader& bmpReader();
const PictureReader& tgaReader();
const PictureReader& icoReader();

} // namespace ravik
