#pragma once

// Messages and paths as UTF-8 text, for the parts of the program that link no Qt: the command
// line and the exports. The window converts at its edge (QString::fromStdString, toStdString).

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace ravik {

// The pattern with %1 … %9 replaced by the values in order, as QString::arg does for the window's
// messages: fillIn("第 %1 行", {"3"}) gives "第 3 行".
std::string fillIn(std::string_view pattern, std::initializer_list<std::string_view> values);

// A number as decimal text, for fillIn.
template <typename Number> std::string number(Number value) {
    return std::to_string(value);
}

// A path as the user's system writes it (backslashes on Windows), in UTF-8, for messages.
std::string displayPath(const std::filesystem::path& path);

// UTF-8 text as a path; on Windows the characters become the wide path the system takes.
std::filesystem::path pathFromUtf8(std::string_view text);

// Whether the bytes are UTF-8 text (no stray continuation byte, no cut-off sequence).
bool isUtf8(std::string_view bytes);

// The ASCII letters in lower case, other bytes unchanged.
std::string asciiLower(std::string_view text);

// The path's suffix without its dot, in lower case ("png"); empty when it has none.
std::string lowerSuffix(const std::filesystem::path& path);

} // namespace ravik
