// The asset manifest of `build`: the input as the manifest's text, read as `build` reads it
// (toml++, then every table and value checked). A manifest is read or refused with a reason, never
// both; one that is read names its assets once each, with their lines.

#include "app/manifest.h"
#include "fuzz_input.h"

#include <set>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ravik;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ManifestReading reading = parseManifest(text, "assets.toml");
    if (reading.error.empty()) {
        const Manifest& manifest = reading.manifest;
        fuzz::require(!manifest.name.empty() && !manifest.assets.empty());
        std::set<std::string> names;
        for (const Asset& asset : manifest.assets) {
            fuzz::require(!assetName(asset).empty() && assetLine(asset) >= 1);
            fuzz::require(names.insert(assetName(asset)).second);
        }
    }
    return 0;
}
