#pragma once

// The firmware runtime's files as the program carries them, byte for byte the installed ones, so
// that it can write them wherever a firmware project wants them.

#include <span>
#include <string_view>

namespace ravik {

struct RuntimeFile {
    std::string_view name; // the file's name, with no folder: "ravik_lcd.h"
    std::string_view text;
};

// Every file of the runtime, the header first.
std::span<const RuntimeFile> runtimeFiles();

// The text of ravik_lcd.h and of ravik_lcd.c.
std::string_view runtimeHeaderText();
std::string_view runtimeSourceText();

} // namespace ravik
