// The asset module: glyph sets from fonts (FreeType, fontconfig) and asset manifests, loaded only
// for `ravik-lcd font` and `ravik-lcd build` so that `convert` never loads the font libraries.

#include "app/build_command.h"
#include "app/font_command.h"
#include "app/modules.h"

namespace ravik {
namespace {

constexpr AssetModule kModule{kModuleInterface, {runFont, fontHelp}, {runBuild, buildHelp}};

} // namespace
} // namespace ravik

RAVIK_MODULE_EXPORT const ravik::AssetModule* ravik_asset_module() {
    return &ravik::kModule;
}
