#pragma once

// `ravik-lcd build MANIFEST.toml --out-dir DIR [--depfile FILE]`: every asset of a manifest
// converted as `convert` converts it (fonts as the font job makes them), stored for flash, and
// written as DIR/NAME.h (declarations) and DIR/NAME.c (definitions) for the firmware runtime.
// All or nothing: a bad manifest, a missing picture or an exceeded budget writes no file. Files
// whose content would not change are left alone, so a rebuild recompiles nothing.

#include "app/manifest.h"
#include "export/asset_files.h"
#include "export/file_output.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ravik {

struct BuildRequest {
    std::filesystem::path manifest;
    std::filesystem::path outDir;
    std::optional<std::filesystem::path> depfile;
    // Written on every successful run, changed or not: the target of a Make rule, so a touched
    // but unchanged picture costs one run, while the unchanged .c and .h recompile nothing.
    std::optional<std::filesystem::path> stamp = {};
};

struct BuildArguments {
    BuildRequest request;
    std::string error; // a usage error, in Chinese; empty when the arguments are sound
};

// Parses the arguments after the word "build".
BuildArguments parseBuildArguments(const std::vector<std::string>& arguments);

// The line of the source that names what it was made from: the program's version, the manifest's
// text and every input file's bytes, hashed; nothing when an input can't be read.
std::optional<std::string> fingerprintLine(const Manifest& manifest, std::string_view manifestText);

// A Make rule naming every target and prerequisite as GNU make reads them back: '$' as "$$", a
// backslash before spaces, tabs, '#', ':', '|' and the wildcards '*', '?', '[', ']'. A name make
// can't read back ('=', ';', a line break or other control character, a backslash at the end or
// before one of those, "name(member)") gives the failure, in Chinese, naming the file.
struct Depfile {
    std::string text;
    std::string failure;
};
Depfile makeDepfile(const std::vector<std::filesystem::path>& targets,
                    const std::vector<std::filesystem::path>& prerequisites);

// The files the manifest's assets are made from, in the manifest's order, each once: the manifest
// first, then every picture, font file and @FILE.
std::vector<std::filesystem::path> manifestInputs(const Manifest& manifest);

struct BuildOutcome {
    int exitCode = 0;
    std::string message; // for standard error, in Chinese; empty when there is nothing to say
    std::vector<std::filesystem::path> written; // the files whose content changed
    // For standard error, in Chinese, naming the manifest and the asset: how a sheet was cut when
    // a margin was left unused.
    std::vector<std::string> notices;
};

// Runs the build; never throws for a fault of the input.
BuildOutcome buildAssets(const BuildRequest& request);

// Runs `build` with the arguments after the word "build"; gives the exit code.
int runBuild(const std::vector<std::string>& arguments);

// build's paragraph of the help, for `ravik-lcd build --help`.
std::string buildHelp();

} // namespace ravik
