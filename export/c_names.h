#pragma once

// The C names a generated file defines, checked in one place: every array, constant, font and
// include guard that `convert --header`, `font --header` and `build` write must be a C
// identifier that compiles wherever the file is included, in C and in C++ — not a keyword of
// either, not a <stdint.h> name, not one of the runtime's ravik_lcd_* or RAVIK_LCD_* names, not
// reserved to the compiler, not `main`.

#include <string>
#include <string_view>
#include <vector>

namespace ravik {

// A C identifier made from a file's base name (UTF-8), the same every time: other ASCII
// characters become "_", a leading digit is prefixed with "frame_", and a name that can't be
// used gets "_frame" after it (or "frame_" before it). A name with no ASCII letter keeps its other
// characters as their code points ("图标" gives "u56fe_u6807"), so two such names stay apart.
std::string cIdentifierFor(std::string_view baseName);

// The base name spelt as cIdentifierFor spells it, without the change that keeps it clear of
// names it can't be: for a name the user should rather choose.
std::string identifierSpelling(std::string_view baseName);

// Why the name can't name a generated array (with everything its files derive from it:
// NAME_WIDTH, NAME_SIZE, NAME_data, NAME_glyphs…), in Chinese; empty when it can.
std::string identifierProblem(std::string_view name);

// Why `name` alone can't be defined in a generated file, in Chinese; empty when it can.
std::string cNameProblem(std::string_view name);

// The names a picture asset of `build` defines beside NAME: its arrays and its constants.
std::vector<std::string> pictureAssetNames(const std::string& name);

// The names a font defines beside NAME: its glyph table and its bitmaps.
std::vector<std::string> fontNames(const std::string& name);

// The include guard of a header `convert --header` or `font --header` writes for the array.
std::string headerGuard(std::string_view identifier);

// The include guard of the header `build` writes for a manifest of this name.
std::string manifestGuard(std::string_view manifestName);

// Why a manifest's name can't name the generated NAME.h and NAME.c, in Chinese; empty when it
// can: it must be an identifier whose guard can be defined, and the files must not be the
// runtime's own ravik_lcd.h and ravik_lcd.c (in any case, for systems that fold it).
std::string manifestNameProblem(std::string_view name);

// Why text can't stand between the array's declarator and its initialiser; empty when it can.
std::string attributeProblem(std::string_view text);

} // namespace ravik
