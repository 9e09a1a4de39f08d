#include "c_header.h"

#include "export/c_array_text.h"
#include "export/text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace ravik {
namespace {

// The keywords of C up to C23, which no identifier may be.
constexpr std::string_view kKeywords[] = {"alignas",       "alignof",   "auto",
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

bool isKeyword(std::string_view name) {
    return std::ranges::find(kKeywords, name) != std::end(kKeywords);
}

std::string upper(std::string text) {
    for (char& c : text) {
        c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// The guard, the include and the three size macros every header starts with.
std::string prologue(const std::string& id) {
    const std::string guard = "RAVIK_LCD_" + upper(id) + "_H";
    return "/* " + id + ": " + std::to_string(kFrameWidth) + " x " + std::to_string(kFrameHeight) +
           " LCD frame, 12-bit colour (4-4-4), two pixels in three bytes, row by row. */\n"
           "#ifndef " +
           guard + "\n#define " + guard + "\n\n#include <stdint.h>\n\n#define " + id + "_WIDTH " +
           std::to_string(kFrameWidth) + "\n#define " + id + "_HEIGHT " +
           std::to_string(kFrameHeight) + "\n#define " + id + "_SIZE " +
           std::to_string(kFrameSize) + "\n";
}

std::string epilogue(const std::string& id) {
    return "\n#endif /* RAVIK_LCD_" + upper(id) + "_H */\n";
}

std::string withAttribute(const std::string& attribute) {
    return attribute.empty() ? std::string() : " " + attribute;
}

} // namespace

std::string cIdentifierFor(std::string_view baseName) {
    std::string id;
    for (const char c : baseName) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            continue; // Chinese and other non-ASCII characters have no place in a C name
        }
        const bool keep = std::isalnum(u) != 0;
        if (keep) {
            id += c;
        } else if (!id.empty() && id.back() != '_') {
            id += '_';
        }
    }
    while (!id.empty() && id.back() == '_') {
        id.pop_back();
    }
    if (id.empty()) {
        return "frame";
    }
    if (std::isdigit(static_cast<unsigned char>(id.front())) != 0) {
        id = "frame_" + id;
    }
    if (isKeyword(id)) {
        id += "_frame";
    }
    return id;
}

std::string identifierProblem(std::string_view name) {
    const auto isAsciiAlpha = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    const bool valid =
        !name.empty() && isAsciiAlpha(name.front()) && std::ranges::all_of(name, [&](char c) {
            return isAsciiAlpha(c) || (c >= '0' && c <= '9');
        });
    if (!valid) {
        return fillIn("数组名“%1”不是合法的 C 标识符：只能由英文字母、数字和下划线组成，"
                      "且不能以数字开头",
                      {name});
    }
    if (isKeyword(name)) {
        return fillIn("数组名“%1”是 C 语言的关键字", {name});
    }
    return {};
}

std::string attributeProblem(std::string_view text) {
    const bool forbidden = text.find_first_of("\r\n{};") != std::string_view::npos ||
                           text.find("/*") != std::string_view::npos ||
                           text.find("//") != std::string_view::npos;
    if (forbidden) {
        return fillIn("属性“%1”不能含换行、花括号、分号或注释", {text});
    }
    return {};
}

std::string formatCHeader(const std::string& identifier, const std::string& attribute,
                          const FrameBuffer& frame) {
    std::string text = prologue(identifier);
    text += "\nstatic const uint8_t " + identifier + "[" + identifier + "_SIZE]" +
            withAttribute(attribute) + " = {\n";
    appendCArrayLines(text, frame.frame(), "    ", "\n");
    text += "};\n" + epilogue(identifier);
    return text;
}

std::string formatCHeaderFrameSet(const std::string& identifier, const std::string& attribute,
                                  std::span<const FrameBuffer> frames,
                                  std::span<const int> delaysMs) {
    std::string text = prologue(identifier);
    text += "#define " + identifier + "_FRAMES " + std::to_string(frames.size()) + "\n";
    text += "\nstatic const uint8_t " + identifier + "[" + identifier + "_FRAMES][" + identifier +
            "_SIZE]" + withAttribute(attribute) + " = {\n";
    for (const FrameBuffer& frame : frames) {
        text += "    {\n";
        appendCArrayLines(text, frame.frame(), "        ", "\n");
        text += "    },\n";
    }
    text += "};\n\n/* How long each frame is shown, in milliseconds. */\n";
    text += "static const uint16_t " + identifier + "_DELAYS_MS[" + identifier + "_FRAMES] = {";
    for (std::size_t i = 0; i < delaysMs.size(); ++i) {
        text += (i % kBytesPerLine == 0 ? "\n    " : " ") +
                std::to_string(std::clamp(delaysMs[i], 0, int(UINT16_MAX))) + ",";
    }
    text += "\n};\n" + epilogue(identifier);
    return text;
}

} // namespace ravik
