#pragma once

// What every command of ravik-lcd shares: the exit codes, the version, printing to standard
// output, and the arguments of `ravik-lcd [PICTURE]`, which opens the window. Each command reads
// its own arguments in its own file (app/convert_command.cpp, app/font_command.cpp, …); main
// finds the command in its table. Arguments and messages are UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace ravik {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// "ravik-lcd 1.00", as --version prints it.
std::string versionText();

// Prints the text on standard output; 0, or 1 with the reason on standard error when the
// write fails (a full disk, a closed pipe).
int printToStandardOutput(std::string_view text);

// What `ravik-lcd [PICTURE]` was asked for.
struct WindowArguments {
    bool help = false;
    bool version = false;
    std::string picture; // empty: open the window with no picture
    std::string error;   // a usage error, in Chinese; empty when the arguments are sound
};
// Parses the arguments after the program's name.
WindowArguments parseWindowArguments(const std::vector<std::string>& arguments);

} // namespace ravik
