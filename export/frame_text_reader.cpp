#include "frame_text_reader.h"

#include "export/text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <span>
#include <vector>

namespace ravik {
namespace {

// Larger than any sensible frame file (over 1,700 frames as .bin, about 340 as C text); keeps a
// wrong file from being read whole.
constexpr std::uintmax_t kMaxFrameFileSize = 16 * 1024 * 1024;

struct Token {
    enum class Kind { Number, Word, Punctuation };
    Kind kind;
    std::string_view text;
    int line;
};

struct Tokens {
    std::vector<Token> tokens;
    std::string failure;
};

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// The token as the user wrote it, or nothing when its bytes aren't UTF-8 text, which would show
// as garbage.
std::string quoted(std::string_view text) {
    return isUtf8(text) ? std::string(text) : std::string();
}

// What a file that is neither a picture nor frame text is told: its bytes are not echoed.
std::string notFrameData() {
    return "不是图片或帧数据";
}

// Text holds no control characters but white space; a NUL or an escape means binary data.
bool isText(std::string_view bytes) {
    return std::none_of(bytes.begin(), bytes.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && std::isspace(byte) == 0) || byte == 0x7F;
    });
}

// Splits C text into numbers, words and single punctuation characters, skipping white space,
// comments, preprocessor lines and string literals.
Tokens tokenize(std::string_view text) {
    Tokens result;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3); // a UTF-8 byte order mark
    }
    int line = 1;
    bool lineStart = true; // only white space so far on this line
    std::size_t i = 0;
    const auto skipToLineEnd = [&] {
        while (i < text.size() && text[i] != '\n') {
            // A backslash before the line end continues a preprocessor line.
            if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++line;
                ++i;
            }
            ++i;
        }
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
            lineStart = true;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            ++i;
            continue;
        }
        if (text.substr(i, 2) == "//") {
            skipToLineEnd();
            continue;
        }
        if (text.substr(i, 2) == "/*") {
            const std::size_t end = text.find("*/", i + 2);
            if (end == std::string_view::npos) {
                result.failure = fillIn("第 %1 行的注释“/*”没有结束", {number(line)});
                return result;
            }
            for (std::size_t k = i; k < end; ++k) {
                line += text[k] == '\n' ? 1 : 0;
            }
            i = end + 2;
            continue;
        }
        if (c == '#' && lineStart) {
            skipToLineEnd();
            continue;
        }
        lineStart = false;
        if (c == '"' || c == '\'') {
            std::size_t k = i + 1;
            while (k < text.size() && text[k] != c && text[k] != '\n') {
                k += text[k] == '\\' ? 2 : 1;
            }
            result.tokens.push_back({Token::Kind::Word, text.substr(i, k + 1 - i), line});
            i = k + 1;
            continue;
        }
        if (isWordChar(c)) {
            std::size_t k = i;
            while (k < text.size() && isWordChar(text[k])) {
                ++k;
            }
            const bool number = std::isdigit(static_cast<unsigned char>(c)) != 0;
            result.tokens.push_back(
                {number ? Token::Kind::Number : Token::Kind::Word, text.substr(i, k - i), line});
            i = k;
            continue;
        }
        result.tokens.push_back({Token::Kind::Punctuation, text.substr(i, 1), line});
        ++i;
    }
    return result;
}

// A C integer literal's value (hexadecimal, octal or decimal, with an optional u/l suffix);
// nothing when it is not one. Values beyond 65535 are kept only as "too large".
std::optional<std::uint32_t> literalValue(std::string_view literal) {
    while (!literal.empty() && std::strchr("uUlL", literal.back()) != nullptr) {
        literal.remove_suffix(1);
    }
    int base = 10;
    if (literal.size() > 2 && literal[0] == '0' && (literal[1] == 'x' || literal[1] == 'X')) {
        base = 16;
        literal.remove_prefix(2);
    } else if (literal.size() > 1 && literal[0] == '0') {
        base = 8;
        literal.remove_prefix(1);
    }
    if (literal.empty()) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : literal) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) != 0 ? c - '0'
                          : std::isxdigit(static_cast<unsigned char>(c)) != 0
                              ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                              : base;
        if (digit >= base) {
            return std::nullopt;
        }
        value = std::min<std::uint32_t>(value * std::uint32_t(base) + std::uint32_t(digit), 65536);
    }
    return value;
}

FrameReading failed(std::string failure) {
    FrameReading reading;
    reading.failure = std::move(failure);
    return reading;
}

FrameReading wrongSize(std::uintmax_t size) {
    return failed(fillIn("帧数据应为 %1 字节或其整数倍，此文件为 %2 字节",
                         {number(kFrameSize), number(size)}));
}

// Values one after another as frames; a set when there are several.
FrameReading framesOf(std::span<const std::uint8_t> values) {
    FrameReading reading;
    for (std::size_t start = 0; start < values.size(); start += std::size_t(kFrameSize)) {
        FrameBuffer frame;
        for (std::size_t i = 0; i < std::size_t(kFrameSize); ++i) {
            frame[i] = values[start + i];
        }
        reading.frames.push_back(frame);
    }
    reading.frameSet = reading.frames.size() > 1;
    return reading;
}

bool isWholeFrames(std::size_t count) {
    return count > 0 && count % std::size_t(kFrameSize) == 0;
}

// The values between an initialiser's outer braces (or of a text without braces): each pair of
// inner braces one frame, values outside them frames one after another.
struct Values {
    std::vector<std::uint8_t> loose;
    int firstLooseLine = 0;
    struct Group {
        std::vector<std::uint8_t> values;
        int line; // where its "{" stands
    };
    std::vector<Group> groups;
    std::string failure;
};

Values collectValues(const std::vector<Token>& tokens, std::size_t first, std::size_t last) {
    Values result;
    bool inGroup = false;
    bool anyValue = false;
    for (std::size_t i = first; i < last; ++i) {
        const Token& token = tokens[i];
        if (token.kind == Token::Kind::Punctuation && token.text == ",") {
            continue;
        }
        if (token.kind == Token::Kind::Punctuation && token.text == "{") {
            if (inGroup) {
                result.failure =
                    fillIn("第 %1 行的“{”嵌套过深：帧数据最多两层花括号", {number(token.line)});
                return result;
            }
            inGroup = true;
            result.groups.push_back({{}, token.line});
            continue;
        }
        if (token.kind == Token::Kind::Punctuation && token.text == "}") {
            if (!inGroup) {
                result.failure = fillIn("第 %1 行的“}”没有相配的“{”", {number(token.line)});
                return result;
            }
            inGroup = false;
            continue;
        }
        const auto value =
            token.kind == Token::Kind::Number ? literalValue(token.text) : std::nullopt;
        if (!value) {
            const std::string spelt = quoted(token.text);
            if (!anyValue) {
                result.failure = notFrameData(); // nothing before it looked like frame data
            } else if (spelt.empty()) {
                result.failure =
                    fillIn("第 %1 行有无法识别的内容，应为 0–255 的数值", {number(token.line)});
            } else {
                result.failure = fillIn("第 %1 行有无法识别的内容“%2”，应为 0–255 的数值",
                                        {number(token.line), spelt});
            }
            return result;
        }
        anyValue = true;
        if (*value > 255) {
            result.failure = fillIn("第 %1 行的数值 %2 超出 0–255 的范围",
                                    {number(token.line), quoted(token.text)});
            return result;
        }
        if (inGroup) {
            result.groups.back().values.push_back(std::uint8_t(*value));
        } else {
            if (result.loose.empty()) {
                result.firstLooseLine = token.line;
            }
            result.loose.push_back(std::uint8_t(*value));
        }
    }
    return result;
}

// The delays this program's header gives a set: the initialiser of the first array named
// NAME_DELAYS_MS after the frames, one value from 0 to 65535 per frame. Empty when there is none.
std::vector<int> delaysAfter(const std::vector<Token>& tokens, std::size_t from, std::size_t frames,
                             std::string& failure) {
    std::size_t i = from;
    while (i < tokens.size() &&
           !(tokens[i].kind == Token::Kind::Word && tokens[i].text.ends_with("_DELAYS_MS"))) {
        ++i;
    }
    while (i < tokens.size() && tokens[i].text != "{" && tokens[i].text != ";") {
        ++i;
    }
    if (i == tokens.size() || tokens[i].text != "{") {
        return {};
    }
    const int line = tokens[i].line;
    std::vector<int> delays;
    for (++i; i < tokens.size() && tokens[i].text != "}"; ++i) {
        if (tokens[i].text == ",") {
            continue;
        }
        const auto value =
            tokens[i].kind == Token::Kind::Number ? literalValue(tokens[i].text) : std::nullopt;
        if (!value || *value > 65535) {
            failure = fillIn("第 %1 行的每帧时长“%2”应为 0–65535 的数值",
                             {number(tokens[i].line), quoted(tokens[i].text)});
            return {};
        }
        delays.push_back(int(*value));
    }
    if (delays.size() != frames) {
        failure = fillIn("第 %1 行起的每帧时长应为 %2 个数值，此处有 %3 个",
                         {number(line), number(frames), number(delays.size())});
        return {};
    }
    return delays;
}

} // namespace

FrameReading readFrameBinary(std::string_view bytes) {
    if (!isWholeFrames(bytes.size())) {
        return wrongSize(bytes.size());
    }
    return framesOf(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), std::size_t(bytes.size())));
}

FrameReading readFrameText(std::string_view text) {
    const Tokens tokenized = tokenize(text);
    if (!tokenized.failure.empty()) {
        return failed(tokenized.failure);
    }
    const std::vector<Token>& tokens = tokenized.tokens;
    std::size_t first = 0;
    std::size_t last = tokens.size();
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].text == "{") {
            // Only the initialiser counts: from this brace to the one that closes it.
            int depth = 0;
            std::size_t k = i;
            for (; k < tokens.size(); ++k) {
                depth += tokens[k].text == "{" ? 1 : tokens[k].text == "}" ? -1 : 0;
                if (depth == 0) {
                    break;
                }
            }
            if (k == tokens.size()) {
                return failed(fillIn("第 %1 行的“{”没有相配的“}”", {number(tokens[i].line)}));
            }
            first = i + 1;
            last = k;
            break;
        }
    }

    const Values values = collectValues(tokens, first, last);
    if (!values.failure.empty()) {
        return failed(values.failure);
    }
    FrameReading reading;
    if (values.groups.empty()) {
        if (!isWholeFrames(values.loose.size())) {
            return failed(fillIn("帧数据应为 %1 个数值或其整数倍，此文本有 %2 个",
                                 {number(kFrameSize), number(values.loose.size())}));
        }
        reading = framesOf(values.loose);
    } else if (!values.loose.empty()) {
        return failed(fillIn("第 %1 行的数值不在内层花括号中：帧组的每一帧应各有一对花括号",
                             {number(values.firstLooseLine)}));
    } else {
        for (std::size_t i = 0; i < values.groups.size(); ++i) {
            const Values::Group& group = values.groups[i];
            if (group.values.size() != std::size_t(kFrameSize)) {
                return failed(fillIn("第 %1 帧（第 %2 行起）应为 %3 个数值，此处有 %4 个",
                                     {number(i + 1), number(group.line), number(kFrameSize),
                                      number(group.values.size())}));
            }
            reading.frames.push_back(framesOf(group.values).frames.front());
        }
        reading.frameSet = true;
    }
    if (reading.frameSet) {
        std::string failure;
        reading.delaysMs = delaysAfter(tokens, last, reading.frames.size(), failure);
        if (!failure.empty()) {
            return failed(failure);
        }
    }
    return reading;
}

bool isFrameFile(const std::filesystem::path& path) {
    const std::string suffix = lowerSuffix(path);
    return suffix == "bin" || suffix == "c" || suffix == "h" || suffix == "txt";
}

FrameReading readFrameFile(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return failed(std::strerror(EISDIR));
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return failed(std::strerror(errno != 0 ? errno : ENOENT));
    }
    const bool binary = lowerSuffix(path) == "bin";
    // A file on disk that is no whole number of frames is refused without reading it.
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (binary && !error && size > 0 && !isWholeFrames(std::size_t(size))) {
        return wrongSize(size);
    }
    // One byte more than allowed tells a too-long file from a right one without reading it all.
    std::string bytes;
    constexpr std::size_t kChunk = 64 * 1024;
    while (file && bytes.size() <= kMaxFrameFileSize) {
        const std::size_t start = bytes.size();
        bytes.resize(start + kChunk);
        file.read(bytes.data() + start, std::streamsize(kChunk));
        bytes.resize(start + std::size_t(file.gcount()));
    }
    if (bytes.size() > kMaxFrameFileSize) {
        return failed(fillIn("文件太大，帧数据文件最多 %1 MB", {number(kMaxFrameFileSize >> 20)}));
    }
    if (binary) {
        return readFrameBinary(bytes);
    }
    if (!isText(bytes)) {
        return failed(notFrameData());
    }
    return readFrameText(bytes);
}

} // namespace ravik
