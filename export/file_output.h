#pragma once

// Writing output files all or nothing: each file's bytes go to a temporary file beside it, and
// the temporaries take their targets' places only when every byte of every file is on disk. On
// failure no target is created or changed, and the reason is given in Simplified Chinese (UTF-8).
// Devices and pipes (/dev/stdout) are written in place once all files are ready.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ravik {

struct FileOutput {
    std::filesystem::path path;
    std::string data; // the file's bytes
};

struct OutputFailure {
    std::filesystem::path path;
    std::string reason;
};

std::optional<OutputFailure> writeFilesAtomically(const std::vector<FileOutput>& outputs);

// One file; the reason on failure.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path,
                                               std::string_view data);

// Writes the bytes to standard output and flushes it; the reason in Chinese when it fails.
std::optional<std::string> writeStandardOutput(std::string_view bytes);

// The first output that is one of the inputs, if any: the same existing file by device and
// inode (volume and file index on Windows), so "./a.png", a symbolic link to it and a hard link
// all count. Every command checks its outputs with this before it writes anything.
std::optional<std::filesystem::path>
outputOverwritingInput(const std::vector<std::filesystem::path>& inputs,
                       const std::vector<std::filesystem::path>& outputs);

// The first output named again by a later one (spelt otherwise, through a link, or the same
// existing file), if any: two outputs written into one file would leave only the last.
std::optional<std::filesystem::path>
outputNamedTwice(const std::vector<std::filesystem::path>& outputs);

// Creates the folder and those above it; the reason in Chinese when it can't.
std::optional<std::string> makeFolder(const std::filesystem::path& path);

} // namespace ravik
