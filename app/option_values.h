#pragma once

// The values options take, on the command line and in a build manifest alike: colours, sizes,
// crops, turns, numbers and named choices. Each kind is read by one function and described once,
// so a bad value gets one message wherever it is given; the message names the option ("--size")
// on the command line and the key ("键“size”") in a manifest, whose reader adds the file and line.

#include "codec/compression.h"
#include "codec/conversion.h"
#include "export/text.h"
#include "fonts/glyph_set.h"
#include "pictures/picture.h"
#include "pictures/transform.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ravik {

// The bounds of --preview-scale.
inline constexpr int kMinPreviewScale = 1;
inline constexpr int kMaxPreviewScale = 16;

// The em sizes the glyph table's 8-bit fields hold with room for tall glyphs.
inline constexpr int kMinFontSize = 4;
inline constexpr int kMaxFontSize = 160;

// The line heights the runtime font's 8-bit field holds: at least one row.
inline constexpr int kMinLineHeight = 1;
inline constexpr int kMaxLineHeight = 255;

// How a value is written: as a command-line argument, or as a manifest's TOML value ([16, 16]
// where the command line writes 16x16).
enum class Spelling { commandLine, manifest };

// Where a value was given, as its message names it.
struct ValueSource {
    std::string_view name; // the option without its dashes, or the manifest's key
    Spelling spelling = Spelling::commandLine;
};

// The one message for a value its option or key does not take: what was given and what it
// should be.
std::string invalidValue(const ValueSource& source, std::string_view given,
                         std::string_view expected);

// A kind of value: read from the command line's text (nothing when the text is not one), and
// what it should be, as each spelling writes it.
template <typename Value> struct ValueKind {
    std::optional<Value> (*read)(std::string_view text);
    std::string (*expected)(Spelling spelling);
};

// Reads the text as the kind into `into`; the message, or empty. `shown` is the value as the
// user wrote it when that is not the text read (a manifest's [16, 16] read as "16x16").
template <typename Value>
std::string readValue(const ValueKind<Value>& kind, const ValueSource& source,
                      std::string_view text, Value& into,
                      std::optional<std::string_view> shown = std::nullopt) {
    if (const std::optional<Value> value = kind.read(text)) {
        into = *value;
        return {};
    }
    return invalidValue(source, shown.value_or(text), kind.expected(source.spelling));
}

extern const ValueKind<ColorValue> kColorValue; // RRGGBB or #RRGGBB
extern const ValueKind<Size> kOutputSize;       // --size: WxH, each side 1 to kMaxBoxSide
extern const ValueKind<Size> kTileSize;         // --tiles: the same, another example
extern const ValueKind<Rect> kCropValue;        // X,Y,W,H
extern const ValueKind<Rotation> kTurnValue;    // 0, 90, 180 or 270
extern const ValueKind<int> kPreviewScaleValue; // kMinPreviewScale to kMaxPreviewScale
extern const ValueKind<int> kFontSizeValue;     // kMinFontSize to kMaxFontSize
extern const ValueKind<int> kBppValue;          // 1, 2 or 4: bits a coverage pixel
extern const ValueKind<int> kFaceValue;         // 0 or more
extern const ValueKind<int> kLineHeightValue;   // kMinLineHeight to kMaxLineHeight
// A fallback font: a file or a family as the first font is named, a collection's face after a
// colon ("NotoSansCJK-Regular.ttc:2"; face 0 without one).
extern const ValueKind<fonts::FontName> kFallbackValue;
extern const ValueKind<int> kJobsValue;             // 1 or more
extern const ValueKind<std::uint64_t> kBudgetValue; // bytes, or 256K, 1M

// The names a choice takes, as the user writes them.
template <typename Choice> struct Named {
    const char* name;
    Choice choice;
};
inline constexpr Named<Fit> kFitNames[] = {{"original", Fit::Original},
                                           {"contain", Fit::Contain},
                                           {"cover", Fit::Cover},
                                           {"stretch", Fit::Stretch}};
inline constexpr Named<Dither> kDitherNames[] = {{"none", Dither::None},
                                                 {"ordered", Dither::Ordered},
                                                 {"floyd-steinberg", Dither::FloydSteinberg}};
inline constexpr Named<Flip> kFlipNames[] = {
    {"none", Flip::none}, {"horizontal", Flip::horizontal}, {"vertical", Flip::vertical}};
inline constexpr Named<fonts::Hinting> kHintingNames[] = {{"light", fonts::Hinting::Light},
                                                          {"full", fonts::Hinting::Full},
                                                          {"none", fonts::Hinting::None},
                                                          {"auto", fonts::Hinting::Auto}};
inline constexpr Named<Compression> kCompressionNames[] = {{"none", Compression::Raw},
                                                           {"rle", Compression::Rle},
                                                           {"lz", Compression::Lz},
                                                           {"auto", Compression::Auto}};
inline constexpr Named<GlyphCompression> kGlyphCompressionNames[] = {
    {"none", GlyphCompression::None},
    {"rle", GlyphCompression::Rle},
    {"auto", GlyphCompression::Auto}};

// Sets `into` to the choice the text names (in any case); the message, listing every name, when
// none has that name.
template <typename Choice, std::size_t N>
std::string readChoice(const Named<Choice> (&names)[N], const ValueSource& source,
                       std::string_view text, Choice& into) {
    std::string all;
    for (const auto& named : names) {
        if (asciiLower(text) == named.name) {
            into = named.choice;
            return {};
        }
        all += (all.empty() ? "" : "|") + std::string(named.name);
    }
    return invalidValue(source, text, all);
}

// A colour as the user writes it: RRGGBB.
std::string hexColor(ColorValue color);

// A whole number as the user wrote it (an optional "+" allowed); nothing when it is not one.
std::optional<int> parseNumber(std::string_view text);

} // namespace ravik
