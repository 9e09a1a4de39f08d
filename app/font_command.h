#pragma once

// `ravik-lcd font [FONT] --size PX --chars SET… --header FILE.h …`: a glyph set from any font as a
// C header for the runtime's text routine, and the text drawn on the panel as a PNG preview.

#include <string>
#include <vector>

namespace ravik {

// Runs `font` with the arguments after the word "font"; gives the exit code. Failures are
// reported on standard error in Chinese.
int runFont(const std::vector<std::string>& arguments);

// font's paragraph of the help, for `ravik-lcd font --help`.
std::string fontHelp();

} // namespace ravik
