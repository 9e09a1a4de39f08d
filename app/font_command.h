#pragma once

// `ravik-lcd font [FONT] --size PX --chars SET… --header FILE.h …`: a glyph set from any font as a
// C header for the runtime's text routine, and the text drawn on the panel as a PNG preview.

#include "app/arguments.h"
#include "fonts/glyph_set.h"

#include <string>
#include <vector>

namespace ravik {

// The em sizes the glyph table's 8-bit fields hold with room for tall glyphs.
inline constexpr int kMinFontSize = 4;
inline constexpr int kMaxFontSize = 160;

inline constexpr Named<fonts::Hinting> kHintingNames[] = {{"light", fonts::Hinting::Light},
                                                          {"full", fonts::Hinting::Full},
                                                          {"none", fonts::Hinting::None}};

// Runs `font` with the arguments after the word "font"; gives the exit code. Failures are
// reported on standard error in Chinese.
int runFont(const std::vector<std::string>& arguments);

// font's paragraph of the help, for `ravik-lcd font --help`.
std::string fontHelp();

} // namespace ravik
