#include "text.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace ravik {

std::string fillIn(std::string_view pattern, std::initializer_list<std::string_view> values) {
    std::string text;
    text.reserve(pattern.size() + 32);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const auto index = static_cast<std::size_t>(next - '1');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && index < values.size()) {
            text += values.begin()[index];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

std::string displayPath(const std::filesystem::path& path) {
    std::filesystem::path shown = path;
    shown.make_preferred();
    return utf8FromPath(shown);
}

std::string shownPath(const std::filesystem::path& path) {
    return shownText(displayPath(path), 4096);
}

std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::pair<char32_t, std::size_t> utf8At(std::string_view bytes, std::size_t i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
        return {lead, 1};
    }
    const std::size_t length = (lead >> 5) == 0x06   ? 2
                               : (lead >> 4) == 0x0E ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    if (length == 0 || i + length > bytes.size()) {
        return {0, 0};
    }
    char32_t code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80) {
            return {0, 0};
        }
        code = code << 6 | (next & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return {0, 0};
    }
    return {code, length};
}

bool isGraphic(char32_t c) {
    const auto within = [c](char32_t low, char32_t high) {
        return c >= low && c <= high;
    };
    return c >= 0x20 && !within(0x7F, 0x9F) && c != 0xAD && c != 0x061C && c != 0x180E &&
           !within(0x200B, 0x200F) && !within(0x2028, 0x202E) && !within(0x2060, 0x206F) &&
           !within(0xD800, 0xF8FF) && !within(0xFDD0, 0xFDEF) && c != 0xFEFF &&
           !within(0xFFF9, 0xFFFB) && (c & 0xFFFE) != 0xFFFE && !within(0xE0000, 0xE007F) &&
           c < 0xF0000 && c <= 0x10FFFF;
}

std::string utf8Of(char32_t c) {
    std::string text;
    if (c < 0x80) {
        text += char(c);
    } else if (c < 0x800) {
        text += char(0xC0 | c >> 6);
        text += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += char(0xE0 | c >> 12);
        text += char(0x80 | (c >> 6 & 0x3F));
        text += char(0x80 | (c & 0x3F));
    } else {
        text += char(0xF0 | c >> 18);
        text += char(0x80 | (c >> 12 & 0x3F));
        text += char(0x80 | (c >> 6 & 0x3F));
        text += char(0x80 | (c & 0x3F));
    }
    return text;
}

std::string shownText(std::string_view utf8, std::size_t maxChars) {
    std::string shown;
    std::size_t count = 0;
    for (std::size_t i = 0; i < utf8.size(); ++count) {
        if (count == maxChars) {
            return shown + "…";
        }
        const auto [code, length] = utf8At(utf8, i);
        char escaped[16];
        if (length == 0) {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", unsigned(std::uint8_t(utf8[i])));
            shown += escaped;
            ++i;
            continue;
        }
        if (isGraphic(code)) {
            shown += utf8.substr(i, length);
        } else {
            std::snprintf(escaped, sizeof escaped, "U+%04X", unsigned(code));
            shown += escaped;
        }
        i += length;
    }
    return shown;
}

bool isUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = utf8At(bytes, i).second;
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string asciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

std::string lowerSuffix(const std::filesystem::path& path) {
    const std::u8string extension = path.extension().u8string();
    if (extension.size() < 2) {
        return {};
    }
    return asciiLower(std::string(extension.begin() + 1, extension.end()));
}

} // namespace ravik
