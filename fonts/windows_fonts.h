#pragma once

// Fonts on Windows, where there is no fontconfig: the fonts the registry's Fonts keys list (the
// machine's and the user's), by family name, and font files by their UTF-8 names. Windows only.

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

// Whether a UTF-8 path names an existing file, and the file's bytes: the C library and FreeType
// would take the name in the ANSI code page, where a Chinese name may not even exist.
bool isWindowsFile(const std::string& path);
bool readWindowsFile(const std::string& path, std::vector<unsigned char>& bytes);

} // namespace ravik::fonts
