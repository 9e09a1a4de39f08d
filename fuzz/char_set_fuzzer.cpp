// The character sets of `font --chars` and a manifest's `chars`: the input split at NUL bytes
// into items (at most eight). An item starting with '@' names a file holding the rest of the
// item, as `@FILE` does; the others are taken as they are (keywords, ranges, text). A set is made
// or refused with a FontError, nothing else; a set made is sorted, unique and holds only
// Unicode scalar values, and for text and files it is exactly what Qt's UTF-8 decoder reads.

#include "fonts/char_set.h"
#include "fonts/font_faults.h"
#include "fuzz_input.h"

#include <QStringDecoder>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

// The code points of UTF-8 text as Qt reads it, line ends and a leading byte order mark left
// out; nothing when Qt finds it invalid.
std::optional<std::vector<char32_t>> qtDecoded(const std::string& text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder(QByteArrayView(text.data(), qsizetype(text.size())));
    if (decoder.hasError()) {
        return std::nullopt;
    }
    std::vector<char32_t> codes;
    for (const char32_t c : decoded.toUcs4()) {
        if (c != '\r' && c != '\n') {
            codes.push_back(c);
        }
    }
    return codes;
}

bool isScalarValue(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ravik;
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> items;
    // What the set must hold exactly, while every item is text or a file.
    std::optional<std::vector<char32_t>> expected = std::vector<char32_t>{};
    bool valid = true;
    std::size_t start = 0;
    while (start <= input.size() && items.size() < 8) {
        const std::size_t end = std::min(input.find('\0', start), input.size());
        std::string item = input.substr(start, end - start);
        start = end + 1;
        std::string text = item;
        if (item.size() > 1 && item[0] == '@') {
            text = item.substr(1);
            const QString file = fuzz::scratchFile(QByteArray::fromStdString(text),
                                                   QStringLiteral("chars%1").arg(items.size()));
            item = "@" + file.toStdString();
        } else if (item == "ascii" || item == "gb2312" || item == "gb2312-1" ||
                   (item.size() >= 3 && (item[0] == 'U' || item[0] == 'u') && item[1] == '+')) {
            expected.reset();
        }
        if (expected) {
            if (const auto codes = qtDecoded(text)) {
                expected->insert(expected->end(), codes->begin(), codes->end());
            } else {
                valid = false;
            }
        }
        items.push_back(std::move(item));
    }
    if (expected) {
        std::sort(expected->begin(), expected->end());
        expected->erase(std::unique(expected->begin(), expected->end()), expected->end());
    }

    try {
        const std::vector<char32_t> set = fonts::characterSet(items);
        fuzz::require(!set.empty() && std::ranges::is_sorted(set) &&
                      std::ranges::adjacent_find(set) == set.end() &&
                      std::ranges::all_of(set, isScalarValue));
        fuzz::require(!expected || (valid && set == *expected));
    } catch (const fonts::FontError&) {
        fuzz::require(!expected || !valid || expected->empty());
    }
    return 0;
}
