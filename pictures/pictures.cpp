#include "pictures.h"

#include "pictures/row_sink.h"

#include <algorithm>
#include <span>
#include <vector>

namespace ravik {
namespace {

// Strongest signature first; the icon's four bytes near the end, and TGA, whose header is all it
// has, last, as stb_image tests them.
std::span<const PictureReader* const> readers() {
    static const PictureReader* const table[] = {&pngReader(),  &jpegReader(), &gifReader(),
                                                 &webpReader(), &tiffReader(), &bmpReader(),
                                                 &icoReader(),  &tgaReader()};
    return table;
}

bool hasSuffix(const PictureReader& reader, std::string_view suffix) {
    const auto suffixes = reader.suffixes();
    return !suffix.empty() && std::find(suffixes.begin(), suffixes.end(), suffix) != suffixes.end();
}

} // namespace

DecodedFrames PictureReader::readFrames(Bytes bytes, const ReadRequest& request) const {
    ReadRequest still = request;
    still.fit = nullptr;
    DecodedPicture decoded = read(bytes, still);
    if (!decoded.ok()) {
        return {{}, {}, decoded.fault, std::nullopt};
    }
    return {{std::move(decoded.picture)}, {0}, {}, std::nullopt};
}

const PictureReader* readerFor(Bytes bytes, std::string_view suffixHint) {
    for (const PictureReader* reader : readers()) {
        if (reader->claim(bytes) == PictureReader::Claim::signature) {
            return reader;
        }
    }
    for (const PictureReader* reader : readers()) {
        if (reader->claim(bytes) == PictureReader::Claim::ifSuffix &&
            hasSuffix(*reader, suffixHint)) {
            return reader;
        }
    }
    return nullptr;
}

DecodedPicture readPicture(Bytes bytes, const Size& corner, std::string_view suffixHint,
                           std::int64_t limitBytes) {
    const PictureReader* reader = readerFor(bytes, suffixHint);
    if (reader == nullptr) {
        return faulty(Fault::unrecognised);
    }
    return reader->read(bytes, {corner, nullptr, limitBytes});
}

DecodedPicture readForFit(Bytes bytes, const ConversionOptions& options,
                          std::string_view suffixHint, std::int64_t limitBytes) {
    if (options.fit == Fit::Original) {
        return readPicture(bytes, {options.size.width, options.size.height}, suffixHint,
                           limitBytes);
    }
    const PictureReader* reader = readerFor(bytes, suffixHint);
    if (reader == nullptr) {
        return faulty(Fault::unrecognised);
    }
    DecodedPicture decoded = reader->read(bytes, {{}, &options, limitBytes});
    // A reader that can't scale while reading gives the whole picture; it is scaled here.
    if (decoded.ok() && !decoded.scaled) {
        decoded.scaled = scalePicture(decoded.picture, options);
        decoded.picture = {};
    }
    return decoded;
}

DecodedFrames readFrames(Bytes bytes, const ConversionOptions& options, std::string_view suffixHint,
                         std::int64_t limitBytes) {
    const PictureReader* reader = readerFor(bytes, suffixHint);
    if (reader == nullptr) {
        return {{}, {}, {Fault::unrecognised, {}}, std::nullopt};
    }
    switch (reader->frames(bytes)) {
    case PictureReader::Frames::leftToOthers:
        return {{}, {}, {Fault::unsupported, {}}, std::nullopt};
    case PictureReader::Frames::still: {
        DecodedPicture still = readForFit(bytes, options, suffixHint, limitBytes);
        if (!still.ok()) {
            return {{}, {}, still.fault, std::nullopt};
        }
        return {{std::move(still.picture)}, {0}, {}, std::move(still.scaled)};
    }
    case PictureReader::Frames::composed:
        break;
    }
    const Size corner =
        options.fit == Fit::Original ? Size{options.size.width, options.size.height} : Size{};
    return reader->readFrames(bytes, {corner, nullptr, limitBytes});
}

std::optional<int> countFrames(Bytes bytes, std::string_view suffixHint) {
    const PictureReader* reader = readerFor(bytes, suffixHint);
    return reader == nullptr ? std::nullopt : reader->frameCount(bytes);
}

ScaledPicture scalePicture(const Picture& picture, const ConversionOptions& options) {
    FitScaler scaler(options.fit, picture.width(), picture.height(), {}, options.background,
                     options.size);
    const Area& source = scaler.storedSource();
    std::vector<std::uint8_t> rgba(size_t(std::max(picture.width(), 0)) * 4);
    for (int y = source.y; y < source.y + source.height; ++y) {
        rgba8Row(picture.row(y), picture.width(), picture.bitsPerChannel(), picture.alpha(),
                 options.background, rgba.data());
        scaler.addRow(y, rgba.data());
    }
    return scaler.result();
}

PackedConversion convertPacked(const Picture& picture, const ConversionOptions& options) {
    if (options.fit != Fit::Original && !picture.isNull()) {
        return convertPacked(scalePicture(picture, options), options);
    }
    // Only the part that lands in the box is converted.
    const Size box = cornerOf(picture.size(), {options.size.width, options.size.height});
    std::vector<std::uint8_t> rgba(size_t(std::max(box.width, 0)) *
                                   size_t(std::max(box.height, 0)) * 4);
    for (int y = 0; y < box.height; ++y) {
        rgba8Row(picture.row(y), box.width, picture.bitsPerChannel(), picture.alpha(),
                 options.background, rgba.data() + size_t(y) * size_t(box.width) * 4);
    }
    const RgbaView view{picture.isNull() ? nullptr : rgba.data(), box.width, box.height,
                        std::ptrdiff_t{box.width} * 4};
    return convertPacked(view, options);
}

PackedConversion convertPacked(const DecodedPicture& decoded, const ConversionOptions& options) {
    return decoded.scaled ? convertPacked(*decoded.scaled, options)
                          : convertPacked(decoded.picture, options);
}

Conversion convertPicture(const Picture& picture, const ConversionOptions& options) {
    return frameConversion(convertPacked(picture, options));
}

Conversion convertPicture(const DecodedPicture& decoded, const ConversionOptions& options) {
    return frameConversion(convertPacked(decoded, options));
}

} // namespace ravik
