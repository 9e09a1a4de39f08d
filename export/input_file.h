#pragma once

// Input files checked before they are read: a folder, a pipe or a device named as an input would
// otherwise be reported as missing or empty, block for ever (a pipe with no writer) or be read
// until memory runs out (/dev/zero), and a text file far larger than any manifest or character
// list would be read whole.

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

namespace ravik {

// The most a manifest or a file of characters may hold: far beyond any real one.
constexpr std::uintmax_t kMaxTextFileBytes = 16 * 1024 * 1024;

// Why the path can't be read as an input, in Chinese, naming it: it does not exist, is a folder
// ("是文件夹"), is not a regular file ("不是普通文件": a pipe, a device, a socket) or holds more
// than maxBytes; empty when it can. Links are followed.
std::string inputFileProblem(const std::filesystem::path& path,
                             std::uintmax_t maxBytes = std::numeric_limits<std::uintmax_t>::max());

struct InputReading {
    std::string bytes;
    std::string failure; // in Chinese, naming the file; empty when the bytes were read
    bool ok() const { return failure.empty(); }
};

// A regular file's bytes, checked by inputFileProblem first and read only then.
InputReading readInputFile(const std::filesystem::path& path,
                           std::uintmax_t maxBytes = std::numeric_limits<std::uintmax_t>::max());

// "16 MiB", "4 GiB", or bytes: a limit as a message states it.
std::string byteSizeText(std::uintmax_t bytes);

} // namespace ravik
