#include "option_values.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>

namespace ravik {

std::string hexColor(ColorValue color) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const int channel : {redOf(color), greenOf(color), blueOf(color)}) {
        text += kDigits[channel >> 4 & 0xF];
        text += kDigits[channel & 0xF];
    }
    return text;
}

std::optional<ColorValue> parseBackground(std::string_view text) {
    if (text.starts_with('#')) {
        text.remove_prefix(1);
    }
    unsigned rgb = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rgb, 16);
    if (text.size() != 6 || error != std::errc() || end != text.data() + text.size() ||
        !std::ranges::all_of(text,
                             [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
        return std::nullopt;
    }
    return RGB(int(rgb >> 16), int(rgb >> 8 & 0xFF), int(rgb & 0xFF));
}

// A whole number as the user wrote it (an optional "+" allowed); nothing when it is not one.
std::optional<int> parseNumber(std::string_view text) {
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string backgroundError(std::string_view value) {
    return fillIn("底色“%1”无效，应为 RRGGBB 或 #RRGGBB，例如 %2",
                  {value, hexColor(kDefaultBackground)});
}

// "WxH" (or "WXH"), each side 1 to kMaxBoxSide; nothing otherwise.
std::optional<Size> parseSize(std::string_view text) {
    const std::size_t cross = text.find_first_of("xX");
    if (cross == std::string_view::npos) {
        return std::nullopt;
    }
    const auto width = parseNumber(text.substr(0, cross));
    const auto height = parseNumber(text.substr(cross + 1));
    if (!width || !height || !isValidBoxSize({*width, *height})) {
        return std::nullopt;
    }
    return Size{*width, *height};
}

// "X,Y,W,H": a corner at or right of and below the origin and a non-empty size, its far edges
// within what an int holds; nothing otherwise.
std::optional<Rect> parseCrop(std::string_view text) {
    int values[4] = {};
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = i < 3 ? text.find(',') : text.size();
        if (comma == std::string_view::npos) {
            return std::nullopt;
        }
        const auto value = parseNumber(text.substr(0, comma));
        if (!value || *value < (i < 2 ? 0 : 1)) {
            return std::nullopt;
        }
        values[i] = *value;
        text.remove_prefix(std::min(text.size(), comma + 1));
    }
    const Rect area{values[0], values[1], values[2], values[3]};
    if (area.x > INT_MAX - area.width || area.y > INT_MAX - area.height) {
        return std::nullopt;
    }
    return area;
}

std::optional<Rotation> parseRotation(std::string_view text) {
    const auto degrees = parseNumber(text);
    constexpr Rotation kTurns[] = {Rotation::none, Rotation::quarter, Rotation::half,
                                   Rotation::threeQuarters};
    if (!degrees || *degrees < 0 || *degrees > 270 || *degrees % 90 != 0) {
        return std::nullopt;
    }
    return kTurns[*degrees / 90];
}

std::string sizeExpectation(std::string_view example) {
    return fillIn("宽x高，宽和高都是 1 到 %1 的整数，例如 %2", {number(kMaxBoxSide), example});
}

} // namespace ravik
