#pragma once

// Which characters a glyph set holds. Each item is one of: `ascii` (U+0020 to U+007E),
// `gb2312-1` (the 3,755 level-1 hanzi, GB2312 rows 16 to 55), `gb2312` (all 6,763 hanzi, rows 16
// to 87), a range `U+4E00-U+4E2F` (or one code point `U+4E00`), `@FILE` (every character of a
// UTF-8 file, line ends and a leading byte order mark left out) or literal UTF-8 text. The items
// merge into sorted, unique code points.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ravik::fonts {

// Throws FontError (BadCharacterSet, CharacterFileError, InvalidUtf8).
std::vector<char32_t> characterSet(std::span<const std::string> items);

// The code points of UTF-8 text, with carriage returns, line feeds and a leading byte order mark
// left out; nothing when the text is not valid UTF-8 (overlong forms, surrogates and values past
// U+10FFFF included).
bool decodeUtf8(std::string_view text, std::vector<char32_t>& out);

// The GB2312 hanzi of rows `firstRow` to `lastRow` (16 to 87) as Unicode, in GB2312 order, from
// the table in fonts/gb2312_table.h.
std::vector<char32_t> gb2312Hanzi(int firstRow, int lastRow);

// Missing characters as a message lists them: the first 20, each as its code point with the
// character after it when it prints as itself ("U+4E00（一）"), then how many there are in all.
std::string characterList(const std::vector<char32_t>& missing);

// "U+4E00" for a code point: at least four hexadecimal digits.
std::string codePointName(char32_t codepoint);

} // namespace ravik::fonts
