#include "frame_text_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ravik {
namespace {

// Larger than any sensible frame text; keeps a wrong file from being read whole.
constexpr qint64 kMaxTextFileSize = 16 * 1024 * 1024;

struct Token {
    enum class Kind { Number, Word, Punctuation };
    Kind kind;
    std::string_view text;
    int line;
};

struct Tokens {
    std::vector<Token> tokens;
    QString failure;
};

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// The token as the user wrote it, or nothing when its bytes aren't UTF-8 text, which would show
// as garbage.
QString quoted(std::string_view text) {
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString decoded = decode(QByteArrayView(text.data(), qsizetype(text.size())));
    return decode.hasError() ? QString() : decoded;
}

// What a file that is neither a picture nor frame text is told: its bytes are not echoed.
QString notFrameData() {
    return QStringLiteral(u"不是图片或帧数据");
}

// Text holds no control characters but white space; a NUL or an escape means binary data.
bool isText(QByteArrayView bytes) {
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
                result.failure = QStringLiteral(u"第 %1 行的注释“/*”没有结束").arg(line);
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
// nothing when it is not one. Values beyond 255 are kept only as "too large".
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
        value = std::min<std::uint32_t>(value * std::uint32_t(base) + std::uint32_t(digit), 256);
    }
    return value;
}

FrameReading failed(const QString& failure) {
    return {std::nullopt, failure};
}

FrameReading wrongSize(qint64 size) {
    return failed(
        QStringLiteral(u"帧数据应为 %1 字节，此文件为 %2 字节").arg(kFrameSize).arg(size));
}

} // namespace

FrameReading readFrameBinary(QByteArrayView bytes) {
    if (bytes.size() != kFrameSize) {
        return wrongSize(bytes.size());
    }
    FrameBuffer frame;
    for (int i = 0; i < kFrameSize; ++i) {
        frame[std::size_t(i)] = std::uint8_t(bytes[i]);
    }
    return {frame, QString()};
}

FrameReading readFrameText(std::string_view text) {
    const Tokens tokenized = tokenize(text);
    if (!tokenized.failure.isEmpty()) {
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
                return failed(QStringLiteral(u"第 %1 行的“{”没有相配的“}”").arg(tokens[i].line));
            }
            first = i + 1;
            last = k;
            break;
        }
    }

    std::vector<std::uint8_t> values;
    for (std::size_t i = first; i < last; ++i) {
        const Token& token = tokens[i];
        if (token.kind == Token::Kind::Punctuation &&
            (token.text == "," || token.text == "{" || token.text == "}")) {
            continue;
        }
        const auto value =
            token.kind == Token::Kind::Number ? literalValue(token.text) : std::nullopt;
        if (!value) {
            if (values.empty()) {
                return failed(notFrameData()); // nothing before it looked like frame data
            }
            const QString spelt = quoted(token.text);
            return failed(
                spelt.isEmpty()
                    ? QStringLiteral(u"第 %1 行有无法识别的内容，应为 0–255 的数值").arg(token.line)
                    : QStringLiteral(u"第 %1 行有无法识别的内容“%2”，应为 0–255 的数值")
                          .arg(token.line)
                          .arg(spelt));
        }
        if (*value > 255) {
            return failed(QStringLiteral(u"第 %1 行的数值 %2 超出 0–255 的范围")
                              .arg(token.line)
                              .arg(quoted(token.text)));
        }
        values.push_back(std::uint8_t(*value));
    }
    if (values.size() != std::size_t(kFrameSize)) {
        return failed(QStringLiteral(u"帧数据应为 %1 个数值，此文本有 %2 个")
                          .arg(kFrameSize)
                          .arg(values.size()));
    }
    FrameBuffer frame;
    for (std::size_t i = 0; i < values.size(); ++i) {
        frame[i] = values[i];
    }
    return {frame, QString()};
}

bool isFrameFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"bin" || suffix == u"c" || suffix == u"h" || suffix == u"txt";
}

FrameReading readFrameFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return failed(file.errorString());
    }
    const bool binary = QFileInfo(path).suffix().compare(u"bin", Qt::CaseInsensitive) == 0;
    const qint64 limit = binary ? kFrameSize : kMaxTextFileSize;
    // One byte more than allowed tells a too-long file from a right one without reading it all.
    const QByteArray bytes = file.read(limit + 1);
    if (binary) {
        if (bytes.size() > kFrameSize && file.size() > 0) {
            return wrongSize(file.size());
        }
        return readFrameBinary(bytes);
    }
    if (bytes.size() > limit) {
        return failed(QStringLiteral(u"文件太大，不像是一帧的 C 语言数组文本"));
    }
    if (!isText(bytes)) {
        return failed(notFrameData());
    }
    return readFrameText(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

} // namespace ravik
