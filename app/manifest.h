#pragma once

// The asset manifest of `ravik-lcd build`: a TOML file naming the generated source, an optional
// attribute and flash budget, and the assets — frames, sprites (any size, tiles), animations and
// fonts — each with the options `convert` and the font job take, by the same names. Reading it
// is pure: nothing is loaded or written, and every value passes the same checks as on the
// command line.

#include "app/convert_job.h"
#include "codec/compression.h"
#include "fonts/font_job.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ravik {

// A picture asset: its kind decides which options it takes and how its pictures are read.
struct PictureAsset {
    enum class Kind {
        frame,     // one 98 × 67 frame
        sprite,    // a picture of any size, or the tiles of a sheet
        animation, // every frame of an animated picture
    };
    Kind kind = Kind::frame;
    std::string name;
    std::filesystem::path picture; // relative paths already joined to the manifest's folder
    std::string attribute;         // this asset's, else the manifest's
    ConversionOptions conversion;
    Shaping shaping;
    Compression compression = Compression::Raw;
    bool delta = false;
    int line = 0; // of the asset's table header, for messages
};

struct FontAsset {
    fonts::FontJob job; // job.name is the asset's name
    // The files the font is made from: the font file when one is named, and every @FILE.
    std::vector<std::filesystem::path> files;
    std::filesystem::path fontFile; // empty: `font` names a family (or the system's default)
    int line = 0;
};

using Asset = std::variant<PictureAsset, FontAsset>;

struct Manifest {
    std::filesystem::path file;
    std::string name;                    // of the generated NAME.h and NAME.c, a C identifier
    std::optional<std::uint64_t> budget; // bytes
    std::vector<Asset> assets;           // in the manifest's order, whatever their kinds
};

struct ManifestReading {
    Manifest manifest;
    // In Chinese, naming the file and line ("assets.toml 第 5 行：未知的键“fitt”"); empty when
    // the manifest is sound.
    std::string error;
};

// Reads the manifest's text; `file` names it in messages and its folder anchors relative paths.
ManifestReading parseManifest(std::string_view text, const std::filesystem::path& file);

// The name the runtime knows an asset by.
const std::string& assetName(const Asset& asset);
int assetLine(const Asset& asset);

} // namespace ravik
