#include "arguments.h"

#include <array>
#include <cstdio>

namespace ravik {
namespace {

// The edits that turn one word into the other: a letter changed, added, dropped, or two
// neighbours swapped (the optimal string alignment distance).
std::size_t editDistance(std::string_view from, std::string_view to) {
    std::vector<std::vector<std::size_t>> cost(from.size() + 1,
                                               std::vector<std::size_t>(to.size() + 1));
    for (std::size_t i = 0; i <= from.size(); ++i) {
        for (std::size_t j = 0; j <= to.size(); ++j) {
            if (i == 0 || j == 0) {
                cost[i][j] = i + j;
                continue;
            }
            cost[i][j] = std::min({cost[i - 1][j] + 1, cost[i][j - 1] + 1,
                                   cost[i - 1][j - 1] + (from[i - 1] == to[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && from[i - 1] == to[j - 2] && from[i - 2] == to[j - 1]) {
                cost[i][j] = std::min(cost[i][j], cost[i - 2][j - 2] + 1);
            }
        }
    }
    return cost[from.size()][to.size()];
}

std::string hexByte(unsigned char byte) {
    std::array<char, 3> text{};
    std::snprintf(text.data(), text.size(), "%02X", byte);
    return text.data();
}

} // namespace

std::optional<std::string_view> nearestName(std::string_view word,
                                            std::span<const std::string_view> names) {
    // A word cut short: the one name it begins.
    std::optional<std::string_view> nearest;
    std::size_t begun = 0;
    for (const std::string_view name : names) {
        if (word.size() >= 3 && name.starts_with(word)) {
            nearest = name;
            ++begun;
        }
    }
    if (begun == 1) {
        return nearest;
    }
    nearest.reset();
    const std::size_t allowed = word.size() <= 4 ? 1 : 2;
    std::size_t best = allowed + 1;
    bool tied = false;
    for (const std::string_view name : names) {
        // Words whose lengths differ by more are further apart; a long word costs nothing.
        const std::size_t longer = std::max(word.size(), name.size());
        if (longer - std::min(word.size(), name.size()) > allowed) {
            continue;
        }
        const std::size_t distance = editDistance(word, name);
        if (distance < best) {
            nearest = name;
            best = distance;
            tied = false;
        } else if (distance == best) {
            tied = true;
        }
    }
    return tied ? std::nullopt : nearest;
}

std::optional<std::size_t> invalidUtf8At(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = utf8At(bytes, i).second;
        if (length == 0) {
            return i;
        }
        i += length;
    }
    return std::nullopt;
}

ParsedArguments::ParsedArguments(const std::vector<std::string>& arguments,
                                 std::span<const Option> options, bool compactedLetters,
                                 std::size_t wordsBefore)
    : options_(options), values_(options.size()) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const std::size_t position = wordsBefore + i + 1;
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
        const std::size_t dashes = twoDashes ? 2 : 1;
        const std::size_t equals = argument.find('=');
        const std::string_view spelt = std::string_view(argument).substr(0, equals);
        const std::optional<std::size_t> index = find(spelt.substr(dashes));
        if (!index) {
            unknown(spelt, spelt.substr(dashes));
        } else if (!options_[*index].takesValue) {
            if (equals != std::string::npos) {
                refuse(fillIn("选项“%1”不带参数，却给出了“%2”",
                              {spelt, shownText(argument.substr(equals + 1))}));
            }
            values_[*index].emplace_back();
        } else if (equals != std::string::npos) {
            take(*index, argument.substr(equals + 1), position, equals + 1);
        } else if (i + 1 < arguments.size() && !namesAnOption(arguments[i + 1])) {
            take(*index, arguments[i + 1], position + 1, 0);
            ++i;
        } else if (i + 1 < arguments.size()) {
            refuse(fillIn("选项“%1”缺少参数：其后的“%2”是选项；它若正是要给的值，请写成 %1=%2",
                          {argument, shownText(arguments[i + 1])}));
        } else {
            refuse(fillIn("选项“%1”缺少参数", {argument}));
        }
    }
}

std::string ParsedArguments::repeatedOption() const {
    for (std::size_t i = 0; i < options_.size(); ++i) {
        if (options_[i].takesValue && values_[i].size() > 1) {
            return fillIn("选项 --%1 只能给一次", {options_[i].names.back()});
        }
    }
    return {};
}

std::optional<std::size_t> ParsedArguments::find(std::string_view name) const {
    for (std::size_t i = 0; i < options_.size(); ++i) {
        if (std::ranges::find(options_[i].names, name) != options_[i].names.end()) {
            return i;
        }
    }
    return std::nullopt;
}

bool ParsedArguments::namesAnOption(std::string_view argument) const {
    if (argument == "--") {
        return true;
    }
    if (argument.size() < 2 || argument.front() != '-') {
        return false;
    }
    const std::string_view spelt = argument.substr(0, argument.find('='));
    return find(spelt.substr(spelt.starts_with("--") ? 2 : 1)).has_value();
}

void ParsedArguments::unknown(std::string_view spelt, std::string_view name) {
    std::vector<std::string_view> names;
    for (const Option& option : options_) {
        for (const std::string_view known : option.names) {
            if (known.size() > 1) {
                names.push_back(known);
            }
        }
    }
    std::string error = fillIn("未知选项“%1”", {shownText(spelt)});
    if (const auto nearest = nearestName(name, names)) {
        error += fillIn("，您是否想用 --%1？", {*nearest});
    }
    refuse(std::move(error));
}

void ParsedArguments::readLetters(const std::string& argument) {
    for (std::size_t k = 1; k < argument.size(); ++k) {
        const std::string letter(1, argument[k]);
        if (const auto index = find(letter)) {
            values_[*index].emplace_back();
        } else {
            unknown(argument.size() == 2 ? argument : letter, letter);
        }
    }
}

void ParsedArguments::take(std::size_t option, std::string value, std::size_t position,
                           std::size_t offset) {
    if (options_[option].takesText) {
        if (const auto bad = invalidUtf8At(value)) {
            refuse(
                fillIn("第 %1 个参数（--%2 的值）的第 %3 个字节（0x%4）起不是有效的 UTF-8 文本",
                       {number(position), options_[option].names.back(), number(offset + *bad + 1),
                        hexByte(static_cast<unsigned char>(value[*bad]))}));
        }
    }
    values_[option].push_back(std::move(value));
}

} // namespace ravik
