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

// An option the command line takes: its names ("h", "help") and whether it takes a value.
struct Option {
    std::vector<std::string_view> names;
    bool takesValue = false;
};

// The arguments split into options and positional arguments, as command-line tools do: "--name
// value", "--name=value", "-name" (or, with compacted letters, "-hv" for -h -v), and "--" before
// arguments that are never options. The argument after a value option is its value, whatever it
// looks like.
class ParsedArguments {
public:
    ParsedArguments(const std::vector<std::string>& arguments, std::span<const Option> options,
                    bool compactedLetters)
        : options_(options), values_(options.size()) {
        bool optionsEnded = false;
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            const std::string& argument = arguments[i];
            if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
                positional_.push_back(argument);
                continue;
            }
            if (argument == "--") {
                optionsEnded = true;
                continue;
            }
            const bool twoDashes = argument.starts_with("--");
            if (!twoDashes && compactedLetters) {
                readLetters(argument);
                continue;
            }
            const std::string_view body = std::string_view(argument).substr(twoDashes ? 2 : 1);
            const std::size_t equals = body.find('=');
            const std::string_view name = body.substr(0, equals);
            const std::string spelt = argument.substr(0, argument.find('='));
            const std::optional<std::size_t> index = find(name);
            if (!index) {
                unknown(spelt);
            } else if (!options_[*index].takesValue) {
                if (equals != std::string_view::npos && error_.empty()) {
                    unexpected_ = true; // a value after a flag
                }
                values_[*index].emplace_back();
            } else if (equals != std::string_view::npos) {
                values_[*index].emplace_back(body.substr(equals + 1));
            } else if (i + 1 < arguments.size()) {
                values_[*index].push_back(arguments[++i]);
            } else if (missing_.empty()) {
                missing_ = fillIn("选项“%1”缺少参数", {argument});
            }
        }
    }

    // The usage error, in Chinese; empty when the arguments are sound.
    std::string error() const {
        if (!error_.empty()) {
            return error_;
        }
        if (!missing_.empty()) {
            return missing_;
        }
        return unexpected_ ? "无法理解命令行参数" : std::string();
    }
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
    std::string repeatedOption() const {
        for (std::size_t i = 0; i < options_.size(); ++i) {
            if (options_[i].takesValue && values_[i].size() > 1) {
                return fillIn("选项 --%1 只能给一次", {options_[i].names.back()});
            }
        }
        return {};
    }

private:
    std::optional<std::size_t> find(std::string_view name) const {
        for (std::size_t i = 0; i < options_.size(); ++i) {
            if (std::ranges::find(options_[i].names, name) != options_[i].names.end()) {
                return i;
            }
        }
        return std::nullopt;
    }
    const std::vector<std::string>& valuesOf(const Option& option) const {
        return values_[std::size_t(&option - options_.data())];
    }
    void unknown(const std::string& spelt) {
        if (error_.empty()) {
            error_ = fillIn("未知选项“%1”", {spelt});
        }
    }
    // "-hv": each letter an option of its own.
    void readLetters(const std::string& argument) {
        for (std::size_t k = 1; k < argument.size(); ++k) {
            const std::string letter(1, argument[k]);
            if (const auto index = find(letter)) {
                values_[*index].emplace_back();
            } else {
                unknown(argument.size() == 2 ? argument : letter);
            }
        }
    }

    std::span<const Option> options_;
    std::vector<std::vector<std::string>> values_; // each option's values, one per time given
    std::vector<std::string> positional_;
    std::string error_;   // the first unknown option
    std::string missing_; // a value option with nothing after it
    bool unexpected_ = false;
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
