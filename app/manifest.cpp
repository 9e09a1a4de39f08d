#include "manifest.h"

#include "app/option_values.h"
#include "app/toml.h"
#include "export/c_names.h"
#include "export/input_file.h"
#include "export/text.h"
#include "fonts/char_set.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <map>
#include <sstream>

namespace ravik {
namespace {

// A manifest fault: unwinds the reading to the one message that names the file and the line.
struct ManifestFault {
    int line;
    std::string text;
};

int lineOf(const toml::node& node) {
    return int(node.source().begin.line);
}

// The keys each table takes, in the order a message lists them.
const std::vector<std::string_view> kTopKeys = {"name",   "attribute", "budget", "frame",
                                                "sprite", "animation", "font"};
const std::vector<std::string_view> kFrameKeys = {"name",   "picture",    "attribute", "fit",
                                                  "dither", "background", "crop",      "rotate",
                                                  "flip",   "mask",       "key",       "compress"};
const std::vector<std::string_view> kFontKeys = {
    "name",       "font",    "face",      "size",     "chars",       "text", "alpha",   "color",
    "background", "hinting", "attribute", "fallback", "line_height", "bpp",  "compress"};

std::vector<std::string_view> keysOf(PictureAsset::Kind kind) {
    std::vector<std::string_view> keys = kFrameKeys;
    if (kind == PictureAsset::Kind::sprite) {
        keys.insert(keys.end(), {"size", "tiles"});
    } else if (kind == PictureAsset::Kind::animation) {
        keys.insert(keys.end(), {"size", "delta"});
    }
    return keys;
}

std::string listed(const std::vector<std::string_view>& keys) {
    std::string text;
    for (const std::string_view key : keys) {
        text += (text.empty() ? "" : "、") + std::string(key);
    }
    return text;
}

// Refuses the first key of the table that `allowed` does not name.
void checkKeys(const toml::table& table, const std::vector<std::string_view>& allowed,
               std::string_view where) {
    for (auto&& [key, value] : table) {
        if (std::ranges::find(allowed, key.str()) == allowed.end()) {
            throw ManifestFault{int(key.source().begin.line),
                                fillIn("%1中有未知的键“%2”（可用的键：%3）",
                                       {where, shownText(key.str()), listed(allowed)})};
        }
    }
}

// A value as TOML writes it, for messages, at most about kLongestShown bytes. Written here, not by
// toml++'s formatter, which casts the logarithm of a float such as 0.1, inf or nan to an unsigned
// size.
constexpr std::size_t kLongestShown = 200;

std::string valueText(const toml::node& node) {
    if (const auto* text = node.as_string()) {
        return "\"" + text->get() + "\"";
    }
    if (const auto* value = node.as_integer()) {
        return std::to_string(value->get());
    }
    if (const auto* value = node.as_floating_point()) {
        char digits[64];
        const auto written = std::to_chars(digits, digits + sizeof digits, value->get());
        return std::string(digits, written.ptr);
    }
    if (const auto* value = node.as_boolean()) {
        return value->get() ? "true" : "false";
    }
    if (const auto* array = node.as_array()) {
        std::string text = "[";
        for (const toml::node& element : *array) {
            if (text.size() > kLongestShown) {
                return text + ", …";
            }
            text += (text.size() > 1 ? ", " : "") + valueText(element);
        }
        return text + "]";
    }
    if (node.is_table()) {
        return "{…}";
    }
    std::ostringstream out; // a date or a time
    node.visit([&out](const auto& value) { out << value; });
    return out.str();
}

// The value of `key` as the TOML text of a value, for messages: cut to a line's length, with
// what would not print written as code points.
std::string shown(const toml::node& node) {
    if (const auto* text = node.as_string()) {
        return shownText(text->get());
    }
    return shownText(valueText(node));
}

[[noreturn]] void wrongValue(const toml::node& node, std::string_view key,
                             std::string_view expected) {
    throw ManifestFault{lineOf(node),
                        invalidValue({key, Spelling::manifest}, shown(node), expected)};
}

std::string stringOf(const toml::node& node, std::string_view key) {
    if (const auto* text = node.as_string()) {
        return text->get();
    }
    wrongValue(node, key, "带引号的文本");
}

bool boolOf(const toml::node& node, std::string_view key) {
    if (const auto* flag = node.as_boolean()) {
        return flag->get();
    }
    wrongValue(node, key, "true 或 false");
}

// An integer as decimal text, for the same readers as the command line's values.
std::string integerText(const toml::node& node, std::string_view key, std::string_view expected) {
    if (const auto* value = node.as_integer()) {
        return std::to_string(value->get());
    }
    wrongValue(node, key, expected);
}

// [A, B, …] of `count` integers joined by `separator`: "16x16", "0,0,8,8".
std::string integersText(const toml::node& node, std::string_view key, std::size_t count,
                         std::string_view separator, std::string_view expected) {
    const auto* array = node.as_array();
    if (!array || array->size() != count) {
        wrongValue(node, key, expected);
    }
    std::string text;
    for (const toml::node& element : *array) {
        if (!element.is_integer()) {
            wrongValue(node, key, expected);
        }
        text += (text.empty() ? "" : std::string(separator)) +
                std::to_string(element.as_integer()->get());
    }
    return text;
}

// The value read as the kind, as the command line reads it: `text` is the TOML value in the
// command line's spelling ("16x16" for [16, 16]).
template <typename Value>
Value valueOf(const toml::node& node, std::string_view key, const ValueKind<Value>& kind,
              std::string_view text) {
    Value value{};
    if (std::string problem = readValue(kind, {key, Spelling::manifest}, text, value, shown(node));
        !problem.empty()) {
        throw ManifestFault{lineOf(node), std::move(problem)};
    }
    return value;
}

// An integer, read as the kind.
template <typename Value>
Value integerOf(const toml::node& node, std::string_view key, const ValueKind<Value>& kind) {
    return valueOf(node, key, kind, integerText(node, key, kind.expected(Spelling::manifest)));
}

// [A, B, …] of `count` integers, read as the kind from them joined by `separator`.
template <typename Value>
Value integersOf(const toml::node& node, std::string_view key, const ValueKind<Value>& kind,
                 std::size_t count, std::string_view separator) {
    const std::string expected = kind.expected(Spelling::manifest);
    return valueOf(node, key, kind, integersText(node, key, count, separator, expected));
}

template <typename Choice, std::size_t N>
Choice choiceOf(const toml::node& node, std::string_view key, const Named<Choice> (&names)[N],
                Choice fallback) {
    Choice choice = fallback;
    if (std::string problem =
            readChoice(names, {key, Spelling::manifest}, stringOf(node, key), choice);
        !problem.empty()) {
        throw ManifestFault{lineOf(node), std::move(problem)};
    }
    return choice;
}

ColorValue colorOf(const toml::node& node, std::string_view key) {
    return valueOf(node, key, kColorValue, stringOf(node, key));
}

std::string identifierOf(const toml::node& node, std::string_view key) {
    const std::string name = stringOf(node, key);
    if (std::string problem = identifierProblem(name); !problem.empty()) {
        throw ManifestFault{lineOf(node), std::move(problem)};
    }
    return name;
}

std::string attributeOf(const toml::node& node) {
    const std::string attribute = stringOf(node, "attribute");
    if (std::string problem = attributeProblem(attribute); !problem.empty()) {
        throw ManifestFault{lineOf(node), std::move(problem)};
    }
    return attribute;
}

// A path in the manifest, relative to the manifest's folder unless absolute.
std::filesystem::path resolved(const std::filesystem::path& folder, std::string_view text) {
    const std::filesystem::path path = pathFromUtf8(text);
    return path.is_absolute() ? path : (folder / path).lexically_normal();
}

std::string kindWord(PictureAsset::Kind kind) {
    switch (kind) {
    case PictureAsset::Kind::frame:
        return "[[frame]]";
    case PictureAsset::Kind::sprite:
        return "[[sprite]]";
    case PictureAsset::Kind::animation:
        return "[[animation]]";
    }
    return {};
}

// The name every asset must have.
std::string requiredName(const toml::table& table, int line, std::string_view where) {
    const toml::node* name = table.get("name");
    if (!name) {
        throw ManifestFault{line, fillIn("%1缺少键“name”（素材在 C 语言中的名称）", {where})};
    }
    return identifierOf(*name, "name");
}

PictureAsset readPicture(const toml::table& table, PictureAsset::Kind kind,
                         const std::filesystem::path& folder, const std::string& attribute) {
    PictureAsset asset;
    asset.kind = kind;
    asset.line = lineOf(table);
    asset.attribute = attribute;
    const std::string where = kindWord(kind);
    checkKeys(table, keysOf(kind), where + " ");
    asset.name = requiredName(table, asset.line, where);
    const toml::node* picture = table.get("picture");
    if (!picture) {
        throw ManifestFault{asset.line,
                            fillIn("素材“%1”缺少键“picture”（图片文件）", {shownText(asset.name)})};
    }
    asset.picture = resolved(folder, stringOf(*picture, "picture"));

    std::optional<Size> size;
    for (auto&& [key, node] : table) {
        const std::string_view k = key.str();
        if (k == "attribute") {
            asset.attribute = attributeOf(node);
        } else if (k == "fit") {
            asset.conversion.fit = choiceOf(node, k, kFitNames, Fit::Original);
        } else if (k == "dither") {
            asset.conversion.dither = choiceOf(node, k, kDitherNames, Dither::None);
        } else if (k == "background") {
            asset.conversion.background = colorOf(node, k);
        } else if (k == "size") {
            size = integersOf(node, k, kOutputSize, 2, "x");
        } else if (k == "tiles") {
            asset.shaping.tiles = integersOf(node, k, kTileSize, 2, "x");
        } else if (k == "crop") {
            asset.shaping.crop = integersOf(node, k, kCropValue, 4, ",");
        } else if (k == "rotate") {
            asset.shaping.rotation = integerOf(node, k, kTurnValue);
        } else if (k == "flip") {
            asset.shaping.flip = choiceOf(node, k, kFlipNames, Flip::none);
        } else if (k == "mask") {
            asset.shaping.mask = boolOf(node, k);
        } else if (k == "key") {
            asset.shaping.key = colorOf(node, k);
        } else if (k == "compress") {
            asset.compression = choiceOf(node, k, kCompressionNames, Compression::Raw);
        } else if (k == "delta") {
            asset.delta = boolOf(node, k);
        }
    }
    // A sprite or an animation that names no size, crop or tiles is the picture's own size.
    asset.shaping.ownSize =
        kind != PictureAsset::Kind::frame && !size && !asset.shaping.crop && !asset.shaping.tiles;
    // A frame is always the panel's size, whatever part of the picture it shows.
    asset.conversion.size = kind == PictureAsset::Kind::frame ? kFrameBox
                            : size                            ? BoxSize{size->width, size->height}
                                                              : defaultOutputSize(asset.shaping);
    return asset;
}

bool namesFontFile(std::string_view font) {
    const std::string lower = asciiLower(font);
    if (font.find('/') != std::string_view::npos || font.find('\\') != std::string_view::npos) {
        return true;
    }
    for (const std::string_view suffix :
         {".ttf", ".otf", ".ttc", ".otc", ".pfb", ".pcf", ".woff"}) {
        if (lower.ends_with(suffix)) {
            return true;
        }
    }
    return false;
}

FontAsset readFont(const toml::table& table, const std::filesystem::path& folder,
                   const std::string& attribute) {
    FontAsset asset;
    asset.line = lineOf(table);
    checkKeys(table, kFontKeys, "[[font]] ");
    asset.job.name = requiredName(table, asset.line, "[[font]]");
    asset.job.attribute = attribute;
    asset.job.chars.clear();
    asset.job.alpha = false; // as `ravik-lcd font` makes it without --alpha
    // A file the manifest names: found from the manifest's folder and kept among the inputs.
    const auto inputFile = [&](std::string_view text) {
        std::filesystem::path file = resolved(folder, text);
        asset.files.push_back(file);
        return file;
    };
    for (auto&& [key, node] : table) {
        const std::string_view k = key.str();
        if (k == "attribute") {
            asset.job.attribute = attributeOf(node);
        } else if (k == "font") {
            const std::string font = stringOf(node, k);
            if (namesFontFile(font)) {
                asset.fontFile = inputFile(font);
                asset.job.font = utf8FromPath(asset.fontFile);
            } else {
                asset.job.font = font;
            }
        } else if (k == "face") {
            asset.job.face = integerOf(node, k, kFaceValue);
        } else if (k == "size") {
            asset.job.pixelSize = integerOf(node, k, kFontSizeValue);
        } else if (k == "hinting") {
            asset.job.hinting = choiceOf(node, k, kHintingNames, fonts::Hinting::Light);
        } else if (k == "line_height") {
            asset.job.lineHeight = integerOf(node, k, kLineHeightValue);
        } else if (k == "fallback") {
            const auto* items = node.as_array();
            if (!items || items->empty()) {
                wrongValue(node, k,
                           "字体的数组，例如 [\"DejaVuSans.ttf\", \"NotoSansCJK-Regular.ttc:2\"]");
            }
            for (const toml::node& item : *items) {
                fonts::FontName fallback = valueOf(item, k, kFallbackValue, stringOf(item, k));
                if (namesFontFile(fallback.font)) {
                    fallback.font = utf8FromPath(inputFile(fallback.font));
                }
                asset.job.fallbacks.push_back(std::move(fallback));
            }
        } else if (k == "bpp") {
            asset.job.coverage.bpp = integerOf(node, k, kBppValue);
        } else if (k == "compress") {
            asset.job.coverage.compression =
                choiceOf(node, k, kGlyphCompressionNames, GlyphCompression::None);
        } else if (k == "chars") {
            const auto* items = node.as_array();
            if (!items || items->empty()) {
                wrongValue(node, k, "文本的数组，例如 [\"ascii\", \"@strings.txt\"]");
            }
            for (const toml::node& item : *items) {
                std::string text = stringOf(item, k);
                if (text.starts_with('@')) {
                    text = "@" + utf8FromPath(inputFile(std::string_view(text).substr(1)));
                }
                asset.job.chars.push_back(std::move(text));
            }
        } else if (k == "text") {
            asset.job.literalText = stringOf(node, k);
        } else if (k == "alpha") {
            asset.job.alpha = boolOf(node, k);
        } else if (k == "color") {
            asset.job.color = colorOf(node, k);
        } else if (k == "background") {
            asset.job.background = colorOf(node, k);
        }
    }
    if (!table.get("size")) {
        throw ManifestFault{asset.line, fillIn("字体“%1”缺少键“size”（字号，单位像素）",
                                               {shownText(asset.job.name)})};
    }
    for (const char* coverageKey : {"bpp", "compress"}) {
        if (!asset.job.alpha && table.get(coverageKey)) {
            throw ManifestFault{lineOf(*table.get(coverageKey)),
                                fillIn("%1 只用于 alpha = true 的字形", {coverageKey})};
        }
    }
    if (asset.job.alpha && table.get("background")) {
        throw ManifestFault{lineOf(*table.get("background")),
                            "alpha 的字形只有覆盖度，不能同时给出 background"};
    }
    if (asset.job.chars.empty() && asset.job.literalText.empty()) {
        throw ManifestFault{asset.line, fillIn("字体“%1”缺少键“chars”（要取模的字符）",
                                               {shownText(asset.job.name)})};
    }
    return asset;
}

// Every C name the generated files define for the asset, so two assets can't collide.
std::vector<std::string> definedNames(const Asset& asset) {
    const std::string& name = assetName(asset);
    std::vector<std::string> names{name};
    const std::vector<std::string> derived =
        std::holds_alternative<FontAsset>(asset) ? fontNames(name) : pictureAssetNames(name);
    names.insert(names.end(), derived.begin(), derived.end());
    return names;
}

// No two assets define one name, and none defines the header's include guard.
void checkNames(const std::vector<Asset>& assets, const std::string& manifestName) {
    const std::string guard = manifestGuard(manifestName);
    std::map<std::string, const Asset*> taken;
    for (const Asset& asset : assets) {
        for (const std::string& name : definedNames(asset)) {
            if (name == guard) {
                throw ManifestFault{
                    assetLine(asset),
                    fillIn(
                        "素材名“%1”生成的 C 名称“%2”与头文件 %3.h 的包含保护相同",
                        {shownText(assetName(asset)), shownText(name), shownText(manifestName)})};
            }
        }
    }
    for (const Asset& asset : assets) {
        for (const std::string& name : definedNames(asset)) {
            const auto [at, added] = taken.emplace(name, &asset);
            if (!added) {
                throw ManifestFault{
                    assetLine(asset),
                    fillIn("素材名“%1”与第 %2 行的素材“%3”冲突（生成的 C 名称“%4”重复）",
                           {shownText(assetName(asset)), number(assetLine(*at->second)),
                            shownText(assetName(*at->second)), shownText(name)})};
            }
        }
    }
}

Manifest readTables(const toml::table& top, const std::filesystem::path& file) {
    Manifest manifest;
    manifest.file = file;
    checkKeys(top, kTopKeys, "清单顶层");
    if (const toml::node* name = top.get("name")) {
        manifest.name = stringOf(*name, "name");
        if (std::string problem = manifestNameProblem(manifest.name); !problem.empty()) {
            throw ManifestFault{lineOf(*name), fillIn("清单的 name：%1", {problem})};
        }
    } else {
        // Named after its file; a file name that gives no usable name needs `name`.
        manifest.name = identifierSpelling(baseName(file));
        if (std::string problem = manifestNameProblem(manifest.name); !problem.empty()) {
            throw ManifestFault{1, fillIn("清单没有键“name”，由文件名得到的名称不可用：%1。"
                                          "请用 name = \"…\" 另取名称",
                                          {problem})};
        }
    }
    std::string attribute;
    if (const toml::node* node = top.get("attribute")) {
        attribute = attributeOf(*node);
    }
    if (const toml::node* budget = top.get("budget")) {
        manifest.budget = budget->is_integer() ? integerOf(*budget, "budget", kBudgetValue)
                                               : valueOf(*budget, "budget", kBudgetValue,
                                                         stringOf(*budget, "budget"));
    }
    const std::filesystem::path folder = file.parent_path();
    constexpr std::pair<std::string_view, PictureAsset::Kind> kPictureTables[] = {
        {"frame", PictureAsset::Kind::frame},
        {"sprite", PictureAsset::Kind::sprite},
        {"animation", PictureAsset::Kind::animation}};
    for (auto&& [key, node] : top) {
        const std::string_view k = key.str();
        if (k == "name" || k == "attribute" || k == "budget") {
            continue;
        }
        const auto* tables = node.as_array();
        if (!tables || !tables->is_array_of_tables()) {
            throw ManifestFault{int(key.source().begin.line),
                                fillIn("“%1”应写成表的数组 [[%1]]", {shownText(k)})};
        }
        for (const toml::node& table : *tables) {
            if (k == "font") {
                manifest.assets.emplace_back(readFont(*table.as_table(), folder, attribute));
                continue;
            }
            for (const auto& [word, kind] : kPictureTables) {
                if (k == word) {
                    manifest.assets.emplace_back(
                        readPicture(*table.as_table(), kind, folder, attribute));
                }
            }
        }
    }
    if (manifest.assets.empty()) {
        throw ManifestFault{1, "清单中没有素材：请至少写一个 [[frame]]、[[sprite]]、"
                               "[[animation]] 或 [[font]]"};
    }
    // The manifest's order: tables of one kind come out of TOML grouped, so sort by line.
    std::ranges::stable_sort(manifest.assets, {}, [](const Asset& a) { return assetLine(a); });
    checkNames(manifest.assets, manifest.name);
    return manifest;
}

// The deepest a key may go, counting the parts of dotted keys and table headers and the inline
// tables around them. toml++ limits nested arrays and inline tables but not dotted keys, and
// recurses once per part: a key of a few hundred thousand parts overflows the stack.
constexpr int kMaxKeyDepth = 64;

ManifestFault tooDeep(int line) {
    return {line, fillIn("键的层级超过 %1 层（点号分隔的部分或内联表的嵌套过多）",
                         {number(kMaxKeyDepth)})};
}

// Whether toml++ 3.3 has no answer to "is this white space?" for the character: it reaches
// __builtin_unreachable() for these blocks (fixed in later versions).
bool unansweredWhitespaceQuestion(char32_t c) {
    return (c >= 0xA1 && c <= 0x499) || (c >= 0x2C5E && c <= 0x3057 && c != 0x3000) ||
           (c >= 0xFB26 && c <= 0xFEFE);
}

// In a multi-line basic string, a backslash at a line's end trims the white space after it, and
// toml++ asks that question of the first character past it.
std::optional<ManifestFault> unansweredAfterLineEnd(std::string_view text, std::size_t at,
                                                    int line) {
    bool lineEnded = false;
    for (; at < text.size() && std::string_view(" \t\r\n").find(text[at]) != std::string_view::npos;
         ++at) {
        if (text[at] == '\n') {
            lineEnded = true;
            ++line;
        }
    }
    const auto [c, length] =
        at < text.size() ? utf8At(text, at) : std::pair<char32_t, std::size_t>{};
    if (!lineEnded || length < 2 || !unansweredWhitespaceQuestion(c)) {
        return std::nullopt;
    }
    return ManifestFault{line, fillIn("行尾反斜杠之后的字符 %1 不能作为下一行的第一个字符"
                                      "（请在它前面加一个普通字符，或不用行尾反斜杠）",
                                      {fonts::characterList({c})})};
}

// What toml++ must not see, found by a quick pass over the text that knows only what it must:
// strings and comments (where a dot is no separator and any character may stand), table headers,
// keys before their "=", and inline tables, which open a new key inside a value. A key deeper
// than kMaxKeyDepth overflows toml++'s stack; a character past ASCII outside strings and
// comments, where TOML allows none, makes toml++ 3.3 ask whether it is white space, and for
// many (CJK punctuation such as "、" among them) it has no answer: undefined behaviour.
std::optional<ManifestFault> unsafeForToml(std::string_view text) {
    int line = 1;
    bool inKey = true;       // before the "=" of a key-value pair, or inside a table header
    int parts = 1;           // of the key being read
    std::vector<int> around; // the depth at each open inline table, 0 for an open array
    int outer = 0;           // the depth the innermost open inline table adds
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            if (around.empty()) {
                inKey = true;
                parts = 1;
            }
        } else if (c == '#') {
            while (i + 1 < text.size() && text[i + 1] != '\n') {
                ++i;
            }
        } else if (c == '"' || c == '\'') {
            // A string, basic or literal, on one line or (tripled) on many.
            const bool triple = text.substr(i, 3) == std::string(3, c);
            const std::string close = triple ? std::string(3, c) : std::string(1, c);
            std::size_t k = i + close.size();
            while (k < text.size() && text.substr(k, close.size()) != close) {
                if (text[k] == '\\' && c == '"' && triple) {
                    if (auto fault = unansweredAfterLineEnd(text, k + 1, line)) {
                        return fault;
                    }
                }
                if (text[k] == '\\' && c == '"') {
                    ++k; // the escaped character, a line end included
                }
                if (k < text.size() && text[k] == '\n') {
                    ++line;
                }
                ++k;
            }
            i = std::min(text.size(), k + close.size()) - 1;
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            const auto [character, length] = utf8At(text, i);
            const std::string named =
                length > 0 ? fonts::characterList({character}) : shownText(text.substr(i, 1));
            return ManifestFault{line, fillIn("字符 %1 只能写在引号里的文本或注释中", {named})};
        } else if (inKey && c == '.') {
            if (outer + ++parts > kMaxKeyDepth) {
                return tooDeep(line);
            }
        } else if (inKey && c == '=') {
            inKey = false;
        } else if (!inKey && c == '{') {
            around.push_back(outer);
            outer += parts;
            inKey = true;
            parts = 1;
            if (outer + parts > kMaxKeyDepth) {
                return tooDeep(line);
            }
        } else if (!inKey && c == '[') {
            around.push_back(-1);
        } else if ((c == '}' || c == ']') && !around.empty() && !inKey) {
            if (around.back() >= 0) {
                outer = around.back();
            }
            around.pop_back();
        } else if (c == '}' && inKey && !around.empty() && around.back() >= 0) {
            outer = around.back(); // an empty inline table, or one closed after a key
            around.pop_back();
            inKey = false;
        } else if (c == ',' && !around.empty() && around.back() >= 0) {
            inKey = true;
            parts = 1;
        }
    }
    return std::nullopt;
}

// toml++'s description of a syntax error in Chinese: the common faults by what its English text
// says, anything else as a syntax error at that place.
std::string syntaxFault(std::string_view description) {
    constexpr std::pair<std::string_view, std::string_view> kFaults[] = {
        {"cannot redefine", "重复定义了同一个键或表"},
        {"end-of-file", "文件在此处意外结束（可能缺少引号或括号）"},
        {"expected '=', saw", "键之后应为“=”"},
        {"expected comma or closing ']'", "数组的元素之间应以逗号分隔，并以“]”结束"},
        {"expected comma or closing '}'", "内联表的键值对之间应以逗号分隔，并以“}”结束"},
        {"key-value pair", "内联表的格式有误"},
        {"expected key or closing '}'", "内联表的格式有误"},
        {"expected ']'", "缺少“]”"},
        {"escape sequence", "文本中有未知的转义序列"},
        {"control character", "文本中有控制字符"},
        {"expected keys, tables", "此处应为键、表头或注释"},
        {"bare key", "此处应为键（英文字母、数字、下划线、连字符，或带引号的文本）"},
        {"expected a comment or whitespace", "值之后只能有空白或注释（一行只写一个键值对）"},
        {"nested value depth", "数组或表嵌套过深"},
        {"length limit", "键、文本或数值过长"},
        {"exceeds maximum", "键、文本或数值过长"},
        {"too long", "键、文本或数值过长"},
        {"blank bare keys", "表名不能为空"},
        {"surrogate", "文本中的 Unicode 转义无效"},
        {"U+10FFFF", "文本中的 Unicode 转义无效"},
        {"UTF-8", "不是有效的 UTF-8 文本"},
        {"utf-8", "不是有效的 UTF-8 文本"},
        {"year", "日期或时间的写法有误"},
        {"month", "日期或时间的写法有误"},
        {"day", "日期或时间的写法有误"},
        {"hour", "日期或时间的写法有误"},
        {"minute", "日期或时间的写法有误"},
        {"second", "日期或时间的写法有误"},
        {"digit", "数字的写法有误"},
        {"underscore", "数字的写法有误"},
        {"exponent", "数字的写法有误"},
        {"leading zero", "数字的写法有误"},
        {"floating-point", "数字的写法有误"},
        {"expected value", "此处应为一个值（带引号的文本、整数、true/false、数组或表）"},
        {"value type", "此处应为一个值（带引号的文本、整数、true/false、数组或表）"},
    };
    // "Error while parsing array: expected comma…": what was being read, then the fault.
    if (const std::size_t colon = description.find(": ");
        description.starts_with("Error while parsing") && colon != std::string_view::npos) {
        description.remove_prefix(colon + 2);
    }
    for (const auto& [english, chinese] : kFaults) {
        if (description.find(english) != std::string_view::npos) {
            return std::string(chinese);
        }
    }
    return "无法解析此处的内容";
}

} // namespace

const std::string& assetName(const Asset& asset) {
    return std::visit(
        [](const auto& a) -> const std::string& {
            if constexpr (std::is_same_v<std::decay_t<decltype(a)>, FontAsset>) {
                return a.job.name;
            } else {
                return a.name;
            }
        },
        asset);
}

int assetLine(const Asset& asset) {
    return std::visit([](const auto& a) { return a.line; }, asset);
}

ManifestReading parseManifest(std::string_view text, const std::filesystem::path& file) {
    ManifestReading reading;
    const std::string where = displayPath(file);
    if (text.size() > kMaxTextFileBytes) {
        reading.error = fillIn("素材清单“%1”有 %2 字节，超过了 %3 的上限",
                               {where, number(text.size()), byteSizeText(kMaxTextFileBytes)});
        return reading;
    }
    if (const std::optional<ManifestFault> fault = unsafeForToml(text)) {
        reading.error = fillIn("%1 第 %2 行：%3", {where, number(fault->line), fault->text});
        return reading;
    }
    try {
        const toml::table top = toml::parse(text, std::string_view(where));
        reading.manifest = readTables(top, file);
    } catch (const toml::parse_error& error) {
        reading.error =
            fillIn("%1 第 %2 行：TOML 语法错误：%4（第 %3 列）",
                   {where, number(error.source().begin.line), number(error.source().begin.column),
                    syntaxFault(error.description())});
    } catch (const ManifestFault& fault) {
        reading.error = fillIn("%1 第 %2 行：%3", {where, number(fault.line), fault.text});
    }
    return reading;
}

} // namespace ravik
