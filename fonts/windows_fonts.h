#pragma once

// Finding installed fonts on Windows, where there is no fontconfig: the fonts the registry's
// Fonts keys list (the machine's and the user's), by family name. Windows only.

#include "fonts/glyph_set.h"

#include <string>
#include <vector>

namespace ravik::fonts {

// The families Windows knows, tried in turn when no font is named: a Simplified Chinese sans serif.
inline constexpr const char* kDefaultWindowsFamilies[] = {"Microsoft YaHei", "SimSun",
                                                          "Noto Sans CJK SC"};

// The font file of an installed family (matched without regard to case), or of the first
// kDefaultWindowsFamilies present when `family` is empty. Throws FontError (FontNotFound).
FontFile findWindowsFont(const std::string& family);

// The installed families, sorted, each once.
std::vector<std::string> windowsFontFamilies();

} // namespace ravik::fonts
