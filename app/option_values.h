#pragma once

// The values the options of `convert` take (colours, sizes, a crop, a turn, named choices), read
// from their text: one reading for the command line and the asset manifest, so both accept the
// same values and refuse the rest with the same words.

#include "codec/conversion.h"
#include "export/text.h"
#include "pictures/transform.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ravik {

// "RRGGBB", as the help text shows a colour.
std::string hexColor(ColorValue color);

// "RRGGBB" or "#RRGGBB"; nothing otherwise.
std::optional<ColorValue> parseBackground(std::string_view text);

// A whole number as the user wrote it (an optional "+" allowed); nothing when it is not one.
std::optional<int> parseNumber(std::string_view text);

// The names --fit, --dither and --flip take, as the user writes them.
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

// Sets `into` to the choice named text (in any case); gives the usage error, naming what is
// chosen and every name it takes, when no choice has that name.
template <typename Choice, std::size_t N>
std::string readChoice(const Named<Choice> (&names)[N], std::string_view what,
                       std::string_view text, Choice& into) {
    std::string all;
    for (const auto& named : names) {
        if (asciiLower(text) == named.name) {
            into = named.choice;
            return {};
        }
        all += (all.empty() ? "" : "|") + std::string(named.name);
    }
    return fillIn("%1“%2”无效，应为 %3", {what, text, all});
}

std::string backgroundError(std::string_view value);

// "WxH" (or "WXH"), each side 1 to kMaxBoxSide; nothing otherwise.
std::optional<Size> parseSize(std::string_view text);

// "X,Y,W,H": a corner at or right of and below the origin and a non-empty size, its far edges
// within what an int holds; nothing otherwise.
std::optional<Rect> parseCrop(std::string_view text);

// "0", "90", "180" or "270": the clockwise turn; nothing otherwise.
std::optional<Rotation> parseRotation(std::string_view text);

// What each shaping value is expected to look like, for the usage errors.
std::string sizeExpectation(std::string_view example);
inline constexpr std::string_view kCropExpectation =
    "X,Y,宽,高（X、Y 为不小于 0 的整数，宽、高为正整数），例如 0,0,16,16";
inline constexpr std::string_view kRotationExpectation = "0|90|180|270（顺时针的度数）";
inline constexpr std::string_view kKeyExpectation = "RRGGBB 或 #RRGGBB，例如 FF00FF";

} // namespace ravik
