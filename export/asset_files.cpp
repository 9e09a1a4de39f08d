#include "asset_files.h"

#include <algorithm>

namespace ravik {
namespace {

constexpr std::size_t kOffsetBytes = 4; // uint32_t
constexpr std::size_t kDelayBytes = 2;  // uint16_t
std::string upper(std::string text) {
    std::ranges::transform(text, text.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
    return text;
}

} // namespace

std::uint64_t BuiltAsset::flashBytes() const {
    if (const auto* font = std::get_if<PackedFont>(&data)) {
        return fontFlashBytes(*font);
    }
    const AssetData& asset = std::get<AssetData>(data);
    return asset.pictures.data.size() + asset.pictures.offsets.size() * kOffsetBytes +
           asset.mask.size() + asset.delaysMs.size() * kDelayBytes;
}

std::string generatedNote(const std::string& manifestName) {
    return "/* Made by ravik-lcd build from " + manifestName +
           "; edit the manifest, not this. */\n";
}

std::string assetHeader(const std::string& name, const std::string& manifestName,
                        const std::vector<BuiltAsset>& assets) {
    const std::string guard = upper(name) + "_H";
    std::string text = generatedNote(manifestName);
    text += "#ifndef " + guard + "\n#define " + guard + "\n\n#include \"ravik_lcd.h\"\n\n";
    text += "#ifdef __cplusplus\nextern \"C\" {\n#endif\n\n";
    for (const BuiltAsset& asset : assets) {
        if (const auto* font = std::get_if<PackedFont>(&asset.data)) {
            text += "/* " + asset.name + ": " + std::to_string(font->glyphs.size()) + " glyphs, " +
                    fontKind(*font) + " */\n";
            text += "extern const ravik_lcd_font " + asset.name + ";\n\n";
        } else {
            text += formatAssetDeclaration(asset.name, std::get<AssetData>(asset.data)) + "\n";
        }
    }
    text += "#ifdef __cplusplus\n}\n#endif\n\n#endif\n";
    return text;
}

std::string assetSource(const std::string& name, const std::string& manifestName,
                        const std::string& fingerprint, const std::vector<BuiltAsset>& assets) {
    std::string text = generatedNote(manifestName) + fingerprint;
    text += "#include \"" + name + ".h\"\n";
    const auto attributed = std::ranges::find_if(
        assets, [](const BuiltAsset& asset) { return !asset.attribute.empty(); });
    if (attributed != assets.end()) {
        text += attributeIncludes(attributed->attribute);
    }
    for (const BuiltAsset& asset : assets) {
        text += "\n";
        if (const auto* font = std::get_if<PackedFont>(&asset.data)) {
            text += formatFontDefinition(asset.name, asset.attribute, *font);
        } else {
            text +=
                formatAssetDefinition(asset.name, asset.attribute, std::get<AssetData>(asset.data));
        }
    }
    return text;
}

} // namespace ravik
