#include "fonts/char_set.h"

#include "export/input_file.h"
#include "export/text.h"
#include "fonts/font_faults.h"
#include "fonts/gb2312_table.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <iterator>

namespace ravik::fonts {

namespace {

constexpr char32_t kMaxCodePoint = 0x10FFFF;

bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// One code point in the form U+XXXX (the U in either case), or nothing.
bool parseCodePoint(std::string_view text, char32_t& out) {
    if (text.size() < 3 || (text[0] != 'U' && text[0] != 'u') || text[1] != '+' ||
        text.size() > 8) {
        return false;
    }
    char32_t value = 0;
    for (char c : text.substr(2)) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        value = value * 16 + static_cast<char32_t>(digit);
    }
    out = value;
    return true;
}

bool looksLikeRange(std::string_view item) {
    return item.size() >= 3 && (item[0] == 'U' || item[0] == 'u') && item[1] == '+';
}

void addRange(std::string_view item, std::vector<char32_t>& out) {
    const std::size_t dash = item.find('-');
    char32_t first = 0;
    char32_t last = 0;
    const bool parsed = dash == std::string_view::npos
                            ? parseCodePoint(item, first) && parseCodePoint(item, last)
                            : parseCodePoint(item.substr(0, dash), first) &&
                                  parseCodePoint(item.substr(dash + 1), last);
    if (!parsed || first > last || last > kMaxCodePoint) {
        throw FontError(FontFault::BadCharacterSet,
                        std::string(item) +
                            "（范围写作 U+4E00-U+4E2F，起点不大于终点，不超过 U+10FFFF）");
    }
    for (char32_t c = first; c <= last; ++c) {
        if (!isSurrogate(c)) {
            out.push_back(c);
        }
    }
}

// A folder, a pipe or a device is refused before it is read, and the file is capped: a list of
// characters never comes near the limit.
void addFile(const std::string& path, std::vector<char32_t>& out) {
    const InputReading reading = readInputFile(pathFromUtf8(path), kMaxTextFileBytes);
    if (!reading.ok()) {
        throw FontError(FontFault::CharacterFileError, reading.failure);
    }
    if (!decodeUtf8(reading.bytes, out)) {
        throw FontError(FontFault::InvalidUtf8, shownPath(pathFromUtf8(path)));
    }
}

} // namespace

std::string characterList(const std::vector<char32_t>& missing) {
    // Enough to see what is wrong; a set of a million code points would flood the terminal.
    constexpr std::size_t kListed = 20;
    std::string list;
    for (std::size_t i = 0; i < std::min(missing.size(), kListed); ++i) {
        const char32_t c = missing[i];
        if (!list.empty()) {
            list += "、";
        }
        list += codePointName(c);
        // The character itself after its code point, when it prints as itself.
        if (c != U' ' && isGraphic(c)) {
            list += "（" + utf8Of(c) + "）";
        }
    }
    if (missing.size() > kListed) {
        list += fillIn("……共 %1 个", {number(missing.size())});
    }
    return list;
}

std::string codePointName(char32_t codepoint) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(codepoint));
    return text;
}

bool decodeUtf8(std::string_view text, std::vector<char32_t>& out) {
    std::vector<char32_t> decoded;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length;
        char32_t code;
        char32_t least;
        if (lead < 0x80) {
            length = 1;
            code = lead;
            least = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
            least = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i < static_cast<std::size_t>(length)) {
            return false;
        }
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = code << 6 | (next & 0x3F);
        }
        if (code < least || code > kMaxCodePoint || isSurrogate(code)) {
            return false;
        }
        const bool leadingMark = code == 0xFEFF && i == 0;
        if (code != '\r' && code != '\n' && !leadingMark) {
            decoded.push_back(code);
        }
        i += static_cast<std::size_t>(length);
    }
    out.insert(out.end(), decoded.begin(), decoded.end());
    return true;
}

std::vector<char32_t> gb2312Hanzi(int firstRow, int lastRow) {
    // Where a row starts in the table: 94 a row, but row 55 (the last of level 1) holds 89.
    const auto rowStart = [](int row) {
        const int start = (row - 16) * 94;
        return static_cast<std::size_t>(row > 55 ? start - 5 : start);
    };
    const std::size_t first = rowStart(std::clamp(firstRow, 16, 88));
    const std::size_t last = rowStart(std::clamp(lastRow + 1, 16, 88));
    if (first >= last) {
        return {};
    }
    return std::vector<char32_t>(std::begin(kGb2312Hanzi) + static_cast<std::ptrdiff_t>(first),
                                 std::begin(kGb2312Hanzi) + static_cast<std::ptrdiff_t>(last));
}

std::vector<char32_t> characterSet(std::span<const std::string> items) {
    std::vector<char32_t> set;
    for (const std::string& item : items) {
        if (item == "ascii") {
            for (char32_t c = 0x20; c <= 0x7E; ++c) {
                set.push_back(c);
            }
        } else if (item == "gb2312-1") {
            const std::vector<char32_t> hanzi = gb2312Hanzi(16, 55);
            set.insert(set.end(), hanzi.begin(), hanzi.end());
        } else if (item == "gb2312") {
            const std::vector<char32_t> hanzi = gb2312Hanzi(16, 87);
            set.insert(set.end(), hanzi.begin(), hanzi.end());
        } else if (item.size() > 1 && item[0] == '@') {
            addFile(item.substr(1), set);
        } else if (looksLikeRange(item)) {
            addRange(item, set);
        } else if (!decodeUtf8(item, set)) {
            throw FontError(FontFault::InvalidUtf8, "字符参数");
        }
    }
    std::sort(set.begin(), set.end());
    set.erase(std::unique(set.begin(), set.end()), set.end());
    if (set.empty()) {
        throw FontError(FontFault::BadCharacterSet, "没有任何字符");
    }
    return set;
}

} // namespace ravik::fonts
