#include "c_names.h"

#include "export/text.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace ravik {
namespace {

// The keywords of C up to C23, which no identifier may be.
constexpr std::string_view kCKeywords[] = {"alignas",       "alignof",   "auto",
                                           "bool",          "break",     "case",
                                           "char",          "const",     "constexpr",
                                           "continue",      "default",   "do",
                                           "double",        "else",      "enum",
                                           "extern",        "false",     "float",
                                           "for",           "goto",      "if",
                                           "inline",        "int",       "long",
                                           "nullptr",       "register",  "restrict",
                                           "return",        "short",     "signed",
                                           "sizeof",        "static",    "static_assert",
                                           "struct",        "switch",    "thread_local",
                                           "true",          "typedef",   "typeof",
                                           "typeof_unqual", "union",     "unsigned",
                                           "void",          "volatile",  "while",
                                           "_Alignas",      "_Alignof",  "_Atomic",
                                           "_Bool",         "_Complex",  "_Generic",
                                           "_Imaginary",    "_Noreturn", "_Static_assert",
                                           "_Thread_local"};

// The keywords and alternative operator names of C++ up to C++23 that C lacks: the generated
// headers are included from C++ through their extern "C" blocks.
constexpr std::string_view kCppKeywords[] = {"and",
                                             "and_eq",
                                             "asm",
                                             "bitand",
                                             "bitor",
                                             "catch",
                                             "char8_t",
                                             "char16_t",
                                             "char32_t",
                                             "class",
                                             "compl",
                                             "concept",
                                             "consteval",
                                             "constinit",
                                             "const_cast",
                                             "co_await",
                                             "co_return",
                                             "co_yield",
                                             "decltype",
                                             "delete",
                                             "dynamic_cast",
                                             "explicit",
                                             "export",
                                             "friend",
                                             "mutable",
                                             "namespace",
                                             "new",
                                             "noexcept",
                                             "not",
                                             "not_eq",
                                             "operator",
                                             "or",
                                             "or_eq",
                                             "private",
                                             "protected",
                                             "public",
                                             "reinterpret_cast",
                                             "requires",
                                             "static_cast",
                                             "template",
                                             "this",
                                             "throw",
                                             "try",
                                             "typeid",
                                             "typename",
                                             "using",
                                             "virtual",
                                             "wchar_t",
                                             "xor",
                                             "xor_eq"};

// Names every generated file sees through <stdint.h> and <stddef.h> besides the patterns below.
constexpr std::string_view kLibraryNames[] = {
    "main",           "NULL",      "PTRDIFF_MIN", "PTRDIFF_MAX", "SIZE_MAX", "SIG_ATOMIC_MIN",
    "SIG_ATOMIC_MAX", "WCHAR_MIN", "WCHAR_MAX",   "WINT_MIN",    "WINT_MAX", "size_t",
    "ptrdiff_t",      "wchar_t",   "max_align_t", "offsetof",    "memcpy",   "memset",
    "memmove",        "memcmp",    "strlen"};

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = char(c - 'a' + 'A');
        }
    }
    return upper;
}

// Whether text is `prefix`, then one of the widths, then `suffix`: int8_t, UINT_LEAST16_MAX.
bool widthName(std::string_view text, std::string_view prefix, std::string_view suffix) {
    if (!text.starts_with(prefix) || !text.ends_with(suffix) ||
        text.size() < prefix.size() + suffix.size()) {
        return false;
    }
    const std::string_view middle =
        text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
    return middle == "8" || middle == "16" || middle == "32" || middle == "64" || middle == "PTR" ||
           middle == "MAX" || middle == "ptr" || middle == "max";
}

// The names <stdint.h> declares: [u]int{8,16,32,64,ptr,max}_t, the least and fast kinds, their
// [U]INT…_MIN/_MAX limits and the [U]INT…_C macros.
bool isStdintName(std::string_view name) {
    for (const std::string_view u : {"", "u"}) {
        for (const std::string_view kind : {"", "_least", "_fast"}) {
            const std::string type = std::string(u) + "int" + std::string(kind);
            if (widthName(name, type, "_t")) {
                return true;
            }
            const std::string limit = upper(type);
            for (const std::string_view suffix : {"_MIN", "_MAX", "_C"}) {
                if (widthName(name, limit, suffix)) {
                    return true;
                }
            }
        }
    }
    return false;
}

bool isRuntimeName(std::string_view name) {
    const std::string folded = asciiLower(name);
    return folded == "ravik_lcd" || folded.starts_with("ravik_lcd_");
}

template <std::size_t N> bool listed(const std::string_view (&names)[N], std::string_view name) {
    return std::ranges::find(names, name) != std::end(names);
}

// The character as "u" and its code point in lower-case hexadecimal, at least four digits.
std::string codePointWord(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "u%04x", unsigned(c));
    return text;
}

// The code points of UTF-8 text; a byte that starts no character stands for itself.
std::vector<char32_t> codePoints(std::string_view text) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < text.size();) {
        const auto [code, length] = utf8At(text, i);
        points.push_back(length == 0 ? char32_t(static_cast<unsigned char>(text[i])) : code);
        i += length == 0 ? 1 : length;
    }
    return points;
}

} // namespace

std::string identifierSpelling(std::string_view baseName) {
    const bool hasLetter = std::ranges::any_of(baseName, isAsciiLetter);
    std::string id;
    const auto separate = [&id] {
        if (!id.empty() && id.back() != '_') {
            id += '_';
        }
    };
    for (const char32_t c : codePoints(baseName)) {
        if (c < 0x80 && (isAsciiLetter(char(c)) || isDigit(char(c)))) {
            id += char(c);
        } else if (c >= 0x80 && !hasLetter) {
            separate();
            id += codePointWord(c) + "_";
        } else if (c < 0x80) {
            separate(); // other ASCII characters, and the rest of a name with letters, separate
        }
    }
    while (!id.empty() && id.back() == '_') {
        id.pop_back();
    }
    if (id.empty()) {
        return "frame";
    }
    if (isDigit(id.front())) {
        id = "frame_" + id;
    }
    return id;
}

std::string cIdentifierFor(std::string_view baseName) {
    const std::string id = identifierSpelling(baseName);
    if (identifierProblem(id).empty()) {
        return id;
    }
    return identifierProblem(id + "_frame").empty() ? id + "_frame" : "frame_" + id;
}

std::string cNameProblem(std::string_view name) {
    const bool valid = !name.empty() && (isAsciiLetter(name.front()) || name.front() == '_') &&
                       std::ranges::all_of(
                           name, [](char c) { return isAsciiLetter(c) || isDigit(c) || c == '_'; });
    if (!valid) {
        return fillIn("名称“%1”不是合法的 C 标识符：只能由英文字母、数字和下划线组成，"
                      "且不能以数字开头",
                      {shownText(name)});
    }
    if (listed(kCKeywords, name)) {
        return fillIn("名称“%1”是 C 语言的关键字", {shownText(name)});
    }
    if (listed(kCppKeywords, name)) {
        return fillIn("名称“%1”是 C++ 的关键字，C++ 程序包含生成的头文件时无法编译",
                      {shownText(name)});
    }
    if (isStdintName(name) || listed(kLibraryNames, name)) {
        return fillIn("名称“%1”已被 C 标准库（<stdint.h> 等）或程序入口使用", {shownText(name)});
    }
    if (isRuntimeName(name)) {
        return fillIn("名称“%1”属于运行库（ravik_lcd_*、RAVIK_LCD_* 留给运行库）",
                      {shownText(name)});
    }
    const bool reserved = (name.size() > 1 && name[0] == '_' && name[1] >= 'A' && name[1] <= 'Z') ||
                          name.find("__") != std::string_view::npos;
    if (reserved) {
        return fillIn("名称“%1”以下划线加大写字母开头或含有连续两个下划线，这样的名称留给编译器",
                      {shownText(name)});
    }
    return {};
}

std::vector<std::string> pictureAssetNames(const std::string& name) {
    std::vector<std::string> names;
    for (const std::string_view suffix : {"_data", "_offsets", "_mask", "_delays_ms", "_WIDTH",
                                          "_HEIGHT", "_COUNT", "_SIZE", "_MASK_SIZE"}) {
        names.push_back(name + std::string(suffix));
    }
    return names;
}

std::vector<std::string> fontNames(const std::string& name) {
    return {name + "_glyphs", name + "_bitmaps"};
}

std::string identifierProblem(std::string_view name) {
    if (std::string problem = cNameProblem(name); !problem.empty()) {
        return problem;
    }
    // What convert's header, the font's header and build's files derive from the name.
    std::vector<std::string> derived = pictureAssetNames(std::string(name));
    for (const std::string_view suffix : {"_FRAMES", "_MASK", "_DELAYS_MS"}) {
        derived.push_back(std::string(name) + std::string(suffix));
    }
    const std::vector<std::string> font = fontNames(std::string(name));
    derived.insert(derived.end(), font.begin(), font.end());
    for (const std::string& other : derived) {
        if (std::string problem = cNameProblem(other); !problem.empty()) {
            return fillIn("由“%1”生成的%2", {shownText(name), problem});
        }
    }
    return {};
}

std::string headerGuard(std::string_view identifier) {
    return "RAVIK_LCD_" + upper(identifier) + "_H";
}

std::string manifestGuard(std::string_view manifestName) {
    return upper(manifestName) + "_H";
}

std::string manifestNameProblem(std::string_view name) {
    if (std::string problem = cNameProblem(name); !problem.empty()) {
        return problem;
    }
    if (std::string problem = cNameProblem(manifestGuard(name)); !problem.empty()) {
        return fillIn("头文件的包含保护：%1", {problem});
    }
    return {};
}

std::string attributeProblem(std::string_view text) {
    const bool forbidden = text.find_first_of("\r\n{};") != std::string_view::npos ||
                           text.find("/*") != std::string_view::npos ||
                           text.find("//") != std::string_view::npos;
    if (forbidden) {
        return fillIn("属性“%1”不能含换行、花括号、分号或注释", {shownText(text)});
    }
    return {};
}

} // namespace ravik
