#pragma once

// The two files `build` writes for a manifest: NAME.h declares every asset, NAME.c defines them,
// for the firmware runtime. Plain C++ with standard types only.

#include "export/asset_source.h"
#include "export/font_header.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace ravik {

// One asset made: its pictures stored, or its font packed.
struct BuiltAsset {
    std::string name;
    std::string attribute;
    std::variant<AssetData, PackedFont> data;

    // The bytes its arrays take in flash (data, offsets, mask and delays; bitmaps and glyphs).
    std::uint64_t flashBytes() const;
};

// The comment both files start with, naming the manifest they were made from.
std::string generatedNote(const std::string& manifestName);

// The generated files' text, for the manifest's name: the header declares every asset, the
// source defines them. Deterministic: the same assets give the same bytes. The source carries
// the inputs' fingerprint, so a rebuild whose inputs are unchanged converts nothing. Throws
// std::invalid_argument with the Chinese reason when an asset can't be written.
std::string assetHeader(const std::string& name, const std::string& manifestName,
                        const std::vector<BuiltAsset>& assets);
std::string assetSource(const std::string& name, const std::string& manifestName,
                        const std::string& fingerprint, const std::vector<BuiltAsset>& assets);

} // namespace ravik
