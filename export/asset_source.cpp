#include "asset_source.h"

#include "codec/packed_picture.h"
#include "export/c_array_text.h"
#include "export/c_header.h"
#include "export/text.h"

#include <stdexcept>

namespace ravik {
namespace {

constexpr std::size_t kFieldMax = 65535; // width, height and count are uint16_t in the runtime

std::size_t pictureCount(const AssetData& asset) {
    return asset.pictures.offsets.empty() ? 0 : asset.pictures.offsets.size() - 1;
}

// How the source's comment and the runtime name each stored form.
struct FormNames {
    Compression compression;
    const char* word;
    const char* constant;
};
constexpr FormNames kForms[] = {{Compression::Raw, "raw", "RAVIK_LCD_RAW"},
                                {Compression::Rle, "rle", "RAVIK_LCD_RLE"},
                                {Compression::Lz, "lz", "RAVIK_LCD_LZ"}};

const FormNames& namesOf(Compression compression) {
    for (const FormNames& form : kForms) {
        if (form.compression == compression) {
            return form;
        }
    }
    throw std::invalid_argument("图片的存储方式未知");
}

std::string describe(const std::string& name, const AssetData& asset) {
    const StoredPictures& p = asset.pictures;
    const std::size_t raw = p.size * pictureCount(asset);
    return "/* " + name + ": " + std::to_string(pictureCount(asset)) + " picture(s) of " +
           std::to_string(p.width) + " x " + std::to_string(p.height) + " pixels, " +
           std::to_string(p.data.size()) + " bytes stored of " + std::to_string(raw) + ", " +
           namesOf(p.compression).word + (p.delta ? ", delta" : "") + " */";
}

// An array of unsigned values with a suffix for each ("UL" for 32-bit ones), eight to a line.
template <typename Value>
void appendNumbers(std::string& text, const std::vector<Value>& values, const char* suffix) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        text += i % 8 == 0 ? "    " : " ";
        text += std::to_string(values[i]) + suffix + ",";
        if (i % 8 == 7 || i + 1 == values.size()) {
            text += "\n";
        }
    }
}

} // namespace

std::string assetProblem(const AssetData& asset) {
    const StoredPictures& p = asset.pictures;
    const std::size_t count = pictureCount(asset);
    if (p.width < 1 || p.height < 1 || std::size_t(p.width) > kFieldMax ||
        std::size_t(p.height) > kFieldMax) {
        return fillIn("图片为 %1 × %2 像素，运行库的素材每边须在 1 到 65535 像素之间。",
                      {number(p.width), number(p.height)});
    }
    if (count < 1 || count > kFieldMax) {
        return fillIn("素材有 %1 张图片，运行库的素材须有 1 到 65535 张。", {number(count)});
    }
    if (p.size != packedSize(p.width, p.height)) {
        return "素材的单张图片字节数与其尺寸不符。";
    }
    if (p.offsets.front() != 0 || p.offsets.back() != p.data.size()) {
        return "素材的图片偏移与其数据长度不符。";
    }
    for (std::size_t i = 1; i < p.offsets.size(); ++i) {
        if (p.offsets[i] < p.offsets[i - 1]) {
            return "素材的图片偏移未按升序排列。";
        }
    }
    if (!asset.mask.empty() && asset.mask.size() != maskSize(p.width, p.height) * count) {
        return "素材的透明掩码长度与图片数不符。";
    }
    if (!asset.delaysMs.empty() && asset.delaysMs.size() != count) {
        return "素材的帧延时个数与帧数不符。";
    }
    return {};
}

std::string formatAssetDeclaration(const std::string& name, const AssetData& asset) {
    const StoredPictures& p = asset.pictures;
    std::string text = describe(name, asset) + "\n";
    const auto define = [&text, &name](const char* what, std::size_t value) {
        text += "#define " + name + what + " " + std::to_string(value) + "\n";
    };
    define("_WIDTH", std::size_t(p.width));
    define("_HEIGHT", std::size_t(p.height));
    define("_COUNT", pictureCount(asset));
    define("_SIZE", p.size);
    if (!asset.mask.empty()) {
        define("_MASK_SIZE", maskSize(p.width, p.height));
    }
    return text + "extern const ravik_lcd_asset " + name + ";\n";
}

std::string formatAssetDefinition(const std::string& name, const std::string& attribute,
                                  const AssetData& asset) {
    for (const std::string& problem :
         {identifierProblem(name), attributeProblem(attribute), assetProblem(asset)}) {
        if (!problem.empty()) {
            throw std::invalid_argument(problem);
        }
    }
    const StoredPictures& p = asset.pictures;
    const std::string between = attribute.empty() ? std::string(" ") : " " + attribute + " ";
    std::string text;
    text.reserve(p.data.size() * 6 + asset.mask.size() * 6 + p.offsets.size() * 12 + 1024);
    text += describe(name, asset) + "\n";

    // C has no empty arrays: an asset whose pictures store no byte still gets one.
    text += "static const uint8_t " + name + "_data[" +
            std::to_string(p.data.empty() ? 1 : p.data.size()) + "]" + between + "= {\n";
    if (p.data.empty()) {
        text += "    0x00\n";
    }
    appendCArrayLines(text, p.data, "    ", "\n");
    text += "};\n";

    text += "static const uint32_t " + name + "_offsets[" + std::to_string(p.offsets.size()) + "]" +
            between + "= {\n";
    appendNumbers(text, p.offsets, "UL");
    text += "};\n";

    std::string mask = "0";
    if (!asset.mask.empty()) {
        mask = name + "_mask";
        text += "static const uint8_t " + mask + "[" + std::to_string(asset.mask.size()) + "]" +
                between + "= {\n";
        appendCArrayLines(text, asset.mask, "    ", "\n");
        text += "};\n";
    }
    std::string delays = "0";
    if (!asset.delaysMs.empty()) {
        delays = name + "_delays_ms";
        text += "static const uint16_t " + delays + "[" + std::to_string(asset.delaysMs.size()) +
                "]" + between + "= {\n";
        appendNumbers(text, asset.delaysMs, "U");
        text += "};\n";
    }

    text += "const ravik_lcd_asset " + name + " = {" + std::to_string(p.width) + ", " +
            std::to_string(p.height) + ", " + std::to_string(pictureCount(asset)) + ", " +
            std::to_string(p.size) + "UL, " + std::to_string(p.data.size()) + "UL, " +
            (p.delta ? "1" : "0") + ", " + namesOf(p.compression).constant + ", " + mask + ", " +
            delays + ", " + name + "_data, " + name + "_offsets};\n";
    return text;
}

} // namespace ravik
