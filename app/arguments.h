#pragma once

// What every command's arguments are read with: options in the forms command-line tools take, and
// the usage errors, in Chinese, that name the option. The values options take are
// app/option_values.h's.

#include "app/option_values.h"
#include "export/text.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ravik {

// An option the command line takes: its names ("h", "help"), whether it takes a value, and
// whether that value is text (a character set, a name), which must be UTF-8, rather than a path,
// which may be any bytes the system allows.
struct Option {
    std::vector<std::string_view> names;
    bool takesValue = false;
    bool takesText = false;
};

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

// The option's value read as the kind into `into` when the option is given; the message naming
// the option and the value, or empty.
template <typename Value>
std::string readOption(const ParsedArguments& parsed, const Option& option,
                       const ValueKind<Value>& kind, Value& into) {
    return parsed.isSet(option) ? readValue(kind, {option.names.back()}, parsed.value(option), into)
                                : std::string();
}
template <typename Value>
std::string readOption(const ParsedArguments& parsed, const Option& option,
                       const ValueKind<Value>& kind, std::optional<Value>& into) {
    Value value{};
    std::string problem = readOption(parsed, option, kind, value);
    if (parsed.isSet(option) && problem.empty()) {
        into = value;
    }
    return problem;
}
template <typename Choice, std::size_t N>
std::string readOption(const ParsedArguments& parsed, const Option& option,
                       const Named<Choice> (&names)[N], Choice& into) {
    return parsed.isSet(option)
               ? readChoice(names, {option.names.back()}, parsed.value(option), into)
               : std::string();
}

// A usage error of a command, pointing at that command's help.
inline std::string withHelpHint(std::string_view command, std::string_view error) {
    return fillIn("命令行有误：%1（用 ravik-lcd %2 --help 查看用法）", {error, command});
}

} // namespace ravik
