#pragma once

// What every subcommand's command line is read with: options in the forms command-line tools
// take, the values they share (colours, sizes, rectangles, numbers, named choices) and the usage
// errors, in Chinese, that name the option and the value.

#include "codec/conversion.h"
#include "export/text.h"
#include "pictures/picture.h"
#include "pictures/transform.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ravik {

// A colour as the user writes it: RRGGBB.
inline std::string hexColor(ColorValue color) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const int channel : {redOf(color), greenOf(color), blueOf(color)}) {
        text += kDigits[channel >> 4 & 0xF];
        text += kDigits[channel & 0xF];
    }
    return text;
}

// RRGGBB or #RRGGBB, in either case; nothing otherwise.
inline std::optional<ColorValue> parseBackground(std::string_view text) {
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
inline std::optional<int> parseNumber(std::string_view text) {
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

// The names --fit and --dither take, as the user writes them.
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

// An option the command line takes: its names ("h", "help"), whether it takes a value, and
// whether that value is text (a character set, a name), which must be UTF-8, rather than a path,
// which may be any bytes the system allows.
struct Option {
    std::vector<std::string_view> names;
    bool takesValue = false;
    bool takesText = false;
};

// The word, as a user's value is echoed in a message.
// TODO(names): shownText() from export/text.h, once it is there, clips it and shows only
// graphic characters.
inline std::string echoed(std::string_view word) {
    return std::string(word);
}

// Of the names, the one the word is most likely a mistyping of: the one name the word begins (of
// three letters or more), else the nearest within one letter wrong, missing, extra or two
// swapped (two such edits for words over four letters); nothing when none is that close, or two
// are equally close.
std::optional<std::string_view> nearestName(std::string_view word,
                                            std::span<const std::string_view> names);

// Where the bytes stop being UTF-8 text (a stray or missing continuation byte, an overlong form,
// a surrogate, a value past U+10FFFF); nothing when they are UTF-8 throughout.
std::optional<std::size_t> invalidUtf8At(std::string_view bytes);

// The arguments split into options and positional arguments, as command-line tools do: "--name
// value", "--name=value", "-name" (or, with compacted letters, "-hv" for -h -v), and "--" before
// arguments that are never options. The argument after a value option is its value unless it is
// one of the command's own options (or "--"): then the value is missing, as a user who forgot it
// meant. The usage errors name the option: an unknown one with the nearest the command has, a
// value missing, a flag given a value, text that is not UTF-8 with the argument and the byte.
class ParsedArguments {
public:
    // `wordsBefore`: how many arguments came before these (the command's word), so that an
    // argument is numbered as the user counts it.
    ParsedArguments(const std::vector<std::string>& arguments, std::span<const Option> options,
                    bool compactedLetters, std::size_t wordsBefore = 1);

    // The usage error, in Chinese; empty when the arguments are sound.
    std::string error() const { return error_; }
    bool isSet(const Option& option) const { return !valuesOf(option).empty(); }
    // The option's last value; empty when it is not set.
    std::string value(const Option& option) const {
        const auto& values = valuesOf(option);
        return values.empty() ? std::string() : values.back();
    }
    // Every value of an option that may be given more than once, in order.
    const std::vector<std::string>& values(const Option& option) const { return valuesOf(option); }
    std::optional<std::string> optionalValue(const Option& option) const {
        return isSet(option) ? std::optional(value(option)) : std::nullopt;
    }
    const std::vector<std::string>& positional() const { return positional_; }

    // The first value option given more than once, as the error that says so.
    std::string repeatedOption() const;

private:
    std::optional<std::size_t> find(std::string_view name) const;
    const std::vector<std::string>& valuesOf(const Option& option) const {
        return values_[std::size_t(&option - options_.data())];
    }
    // Whether the argument is one of the command's options ("--bin", "-h", "--bin=x") or "--".
    bool namesAnOption(std::string_view argument) const;
    void unknown(std::string_view spelt, std::string_view name);
    // "-hv": each letter an option of its own.
    void readLetters(const std::string& argument);
    // Stores the value, which is the argument numbered `position` from its byte `offset` on.
    void take(std::size_t option, std::string value, std::size_t position, std::size_t offset);
    void refuse(std::string error) {
        if (error_.empty()) {
            error_ = std::move(error);
        }
    }

    std::span<const Option> options_;
    std::vector<std::vector<std::string>> values_; // each option's values, one per time given
    std::vector<std::string> positional_;
    std::string error_; // the first fault, in the order of the arguments
};

// A usage error of a command, pointing at that command's help.
inline std::string withHelpHint(std::string_view command, std::string_view error) {
    return fillIn("命令行有误：%1（用 ravik-lcd %2 --help 查看用法）", {error, command});
}

// "WxH" (or "WXH"), each side 1 to kMaxBoxSide; nothing otherwise.
inline std::optional<Size> parseSize(std::string_view text) {
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
inline std::optional<Rect> parseCrop(std::string_view text) {
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

// "0", "90", "180" or "270": the clockwise turn; nothing otherwise.
inline std::optional<Rotation> parseRotation(std::string_view text) {
    const auto degrees = parseNumber(text);
    constexpr Rotation kTurns[] = {Rotation::none, Rotation::quarter, Rotation::half,
                                   Rotation::threeQuarters};
    if (!degrees || *degrees < 0 || *degrees > 270 || *degrees % 90 != 0) {
        return std::nullopt;
    }
    return kTurns[*degrees / 90];
}

inline std::string backgroundError(std::string_view value) {
    return fillIn("底色“%1”无效，应为 RRGGBB 或 #RRGGBB，例如 %2",
                  {value, hexColor(kDefaultBackground)});
}

} // namespace ravik
