#include "option_values.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <limits>

namespace ravik {
namespace {

std::optional<ColorValue> readColor(std::string_view text) {
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

// "WxH" (or "WXH"), each side 1 to kMaxBoxSide.
std::optional<Size> readSize(std::string_view text) {
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
// within what an int holds.
std::optional<Rect> readCrop(std::string_view text) {
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

// "0", "90", "180" or "270": the clockwise turn.
std::optional<Rotation> readTurn(std::string_view text) {
    const auto degrees = parseNumber(text);
    constexpr Rotation kTurns[] = {Rotation::none, Rotation::quarter, Rotation::half,
                                   Rotation::threeQuarters};
    if (!degrees || *degrees < 0 || *degrees > 270 || *degrees % 90 != 0) {
        return std::nullopt;
    }
    return kTurns[*degrees / 90];
}

// A whole number from `least` to `most`.
template <int least, int most> std::optional<int> readNumberIn(std::string_view text) {
    const auto value = parseNumber(text);
    if (!value || *value < least || *value > most) {
        return std::nullopt;
    }
    return value;
}

// "FONT" or "FONT:N": the face after the last colon when only digits follow it, so a Windows
// drive ("C:\\…") or a family name stays whole; a face with no font before it is none.
std::optional<fonts::FontName> readFallback(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    const std::string_view digits =
        colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    const bool face = !digits.empty() && std::ranges::all_of(digits, [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
    if (!face) {
        return text.empty() ? std::nullopt : std::optional(fonts::FontName{std::string(text), 0});
    }
    const auto index = parseNumber(digits);
    if (colon == 0 || !index) {
        return std::nullopt;
    }
    return fonts::FontName{std::string(text.substr(0, colon)), *index};
}

// "256K", "1M" (binary multiples, any case, an optional "B") or a count of bytes.
std::optional<std::uint64_t> readBudget(std::string_view text) {
    std::uint64_t unit = 1;
    const std::string lower = asciiLower(text);
    std::string_view digits = lower;
    if (digits.ends_with('b') && digits.size() > 1 &&
        !std::isdigit(static_cast<unsigned char>(digits[digits.size() - 2]))) {
        digits.remove_suffix(1);
    }
    if (digits.ends_with('k') || digits.ends_with('m')) {
        unit = digits.back() == 'k' ? 1024 : 1024 * 1024;
        digits.remove_suffix(1);
    }
    std::uint64_t count = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        count > std::numeric_limits<std::uint64_t>::max() / unit) {
        return std::nullopt;
    }
    return count * unit;
}

// A box's two sides, as each spelling writes them, with an example.
std::string sidesExpected(Spelling spelling, int width, int height) {
    const bool manifest = spelling == Spelling::manifest;
    return fillIn("%1，宽和高都是 1 到 %2 的整数，例如 %3",
                  {manifest ? "[宽, 高]" : "宽x高", number(kMaxBoxSide),
                   manifest ? fillIn("[%1, %2]", {number(width), number(height)})
                            : fillIn("%1x%2", {number(width), number(height)})});
}

std::string colorExpected(Spelling) {
    return "RRGGBB 或 #RRGGBB，例如 FF00FF";
}
std::string outputSizeExpected(Spelling spelling) {
    return sidesExpected(spelling, kFrameBox.width, kFrameBox.height);
}
std::string tileSizeExpected(Spelling spelling) {
    return sidesExpected(spelling, 16, 16);
}
std::string cropExpected(Spelling spelling) {
    return spelling == Spelling::manifest
               ? "[X, Y, 宽, 高]（X、Y 为不小于 0 的整数，宽、高为正整数），例如 [0, 0, 16, 16]"
               : "X,Y,宽,高（X、Y 为不小于 0 的整数，宽、高为正整数），例如 0,0,16,16";
}
std::string turnExpected(Spelling) {
    return "0|90|180|270（顺时针的度数）";
}
std::string previewScaleExpected(Spelling) {
    return fillIn("%1 到 %2 的整数", {number(kMinPreviewScale), number(kMaxPreviewScale)});
}
std::string fontSizeExpected(Spelling) {
    return fillIn("%1 到 %2 的像素数", {number(kMinFontSize), number(kMaxFontSize)});
}
// Bits a coverage pixel: 1, 2 or 4.
std::optional<int> readBpp(std::string_view text) {
    const std::optional<int> bpp = parseNumber(text);
    if (bpp && (*bpp == 1 || *bpp == 2 || *bpp == 4)) {
        return bpp;
    }
    return std::nullopt;
}
std::string bppExpected(Spelling) {
    return "1|2|4（每像素位数）";
}
std::string faceExpected(Spelling) {
    return "0 或更大的整数";
}
std::string lineHeightExpected(Spelling) {
    return fillIn("%1 到 %2 的像素行数", {number(kMinLineHeight), number(kMaxLineHeight)});
}
std::string fallbackExpected(Spelling) {
    return "字体文件或字体名，字体集合（.ttc）中的字体在后面加“:序号”，例如 "
           "NotoSansCJK-Regular.ttc:2";
}
std::string jobsExpected(Spelling) {
    return "正整数";
}
std::string budgetExpected(Spelling) {
    return "字节数，或带 K、M 的大小，例如 \"256K\"、\"1M\"";
}

} // namespace

const ValueKind<ColorValue> kColorValue{readColor, colorExpected};
const ValueKind<Size> kOutputSize{readSize, outputSizeExpected};
const ValueKind<Size> kTileSize{readSize, tileSizeExpected};
const ValueKind<Rect> kCropValue{readCrop, cropExpected};
const ValueKind<Rotation> kTurnValue{readTurn, turnExpected};
const ValueKind<int> kPreviewScaleValue{readNumberIn<kMinPreviewScale, kMaxPreviewScale>,
                                        previewScaleExpected};
const ValueKind<int> kFontSizeValue{readNumberIn<kMinFontSize, kMaxFontSize>, fontSizeExpected};
const ValueKind<int> kBppValue{readBpp, bppExpected};
const ValueKind<int> kFaceValue{readNumberIn<0, INT_MAX>, faceExpected};
const ValueKind<int> kLineHeightValue{readNumberIn<kMinLineHeight, kMaxLineHeight>,
                                      lineHeightExpected};
const ValueKind<fonts::FontName> kFallbackValue{readFallback, fallbackExpected};
const ValueKind<int> kJobsValue{readNumberIn<1, INT_MAX>, jobsExpected};
const ValueKind<std::uint64_t> kBudgetValue{readBudget, budgetExpected};

std::string invalidValue(const ValueSource& source, std::string_view given,
                         std::string_view expected) {
    const std::string name = source.spelling == Spelling::manifest ? fillIn("键“%1”", {source.name})
                                                                   : fillIn("--%1 ", {source.name});
    return fillIn("%1的值“%2”无效，应为 %3", {name, shownText(given), expected});
}

std::string hexColor(ColorValue color) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const int channel : {redOf(color), greenOf(color), blueOf(color)}) {
        text += kDigits[channel >> 4 & 0xF];
        text += kDigits[channel & 0xF];
    }
    return text;
}

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

} // namespace ravik
