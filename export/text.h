#pragma once

// Messages and paths as UTF-8 text, for the parts of the program that link no Qt: the command
// line and the exports. The window converts at its edge (QString::fromStdString, toStdString).

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

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

// A path as a message shows it: displayPath with what would not print written out as shownText
// writes it, and whole up to 4096 characters (the longest path Linux takes): cut to a value's
// 60, a long path would lose the file's name, the part the reader needs.
std::string shownPath(const std::filesystem::path& path);

// UTF-8 text as a path; on Windows the characters become the wide path the system takes.
std::filesystem::path pathFromUtf8(std::string_view text);

// A path as UTF-8 text, its separators as they are: what pathFromUtf8 reads back. (A path's
// string() is the ANSI code page's on Windows, which has no room for most hanzi.)
std::string utf8FromPath(const std::filesystem::path& path);

// The code point at bytes[at] and its length in bytes; length 0 for a byte that starts no valid
// UTF-8 sequence (stray, cut off, overlong, a surrogate or past U+10FFFF).
std::pair<char32_t, std::size_t> utf8At(std::string_view bytes, std::size_t at);

// Whether the bytes are UTF-8 text (no stray continuation byte, no cut-off sequence, no overlong
// form, surrogate or value past U+10FFFF).
bool isUtf8(std::string_view bytes);

// The text as a message may echo it: at most maxChars characters, cut on a character boundary with
// "…" after it when longer. Characters that are not graphic (controls, bidi and other format
// characters, separators, private use) show as U+XXXX and bytes that are not UTF-8 as \xHH, so a
// value can neither flood a terminal nor reorder or hide the message around it.
std::string shownText(std::string_view utf8, std::size_t maxChars = 60);

// Whether a character prints as itself: not a control, a format or bidi character, a line or
// paragraph separator, a noncharacter, a surrogate or private use. The space counts as graphic.
bool isGraphic(char32_t c);

// The character as UTF-8 (a valid code point).
std::string utf8Of(char32_t c);

// The ASCII letters in lower case, other bytes unchanged.
std::string asciiLower(std::string_view text);

// The path's suffix without its dot, in lower case ("png"); empty when it has none.
std::string lowerSuffix(const std::filesystem::path& path);

} // namespace ravik
