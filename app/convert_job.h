#pragma once

// One input of `convert` turned into its output files: a picture (or each frame of an animated
// one) converted, or a frame file read back, then the bytes of every output asked for. Used by
// single conversions and, from several threads at once, by batches; it shares no state.

#include "codec/conversion.h"
#include "export/file_output.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ravik {

struct ConvertedInput {
    std::vector<FrameBuffer> frames;
    std::vector<int> delaysMs;
    // --all-frames, or a frame set read back: the outputs hold a set, even of one frame.
    bool frameSet = false;
    std::string failure; // in Chinese, naming the input; empty on success
};

// Reads a frame file (.bin, .c, .h, .txt) back, or loads and converts a picture.
ConvertedInput convertInput(const std::filesystem::path& path, const ConversionOptions& options,
                            bool allFrames);

// "-" in place of an output file's name: standard output.
bool isStandardOutput(const std::filesystem::path& path);

// The file's name without its last suffix ("logo" for "img/logo.png"), in UTF-8.
std::string baseName(const std::filesystem::path& path);

// The format a preview is written in: the one its extension names, PNG on standard output;
// nothing when the extension names no format that can be written (or there is none).
std::optional<std::string> previewFormat(const std::filesystem::path& path);

// The extensions a preview can have, for messages: ".png、.jpg…".
std::string previewExtensions();

// Why a preview can't be written under this name, in Chinese: its extension names no format
// that can be written, or the picture module that writes the formats besides PNG is missing.
std::string previewFormatProblem(const std::filesystem::path& path);

// Where each output goes ("-": standard output); an empty optional is not written.
struct OutputRequest {
    std::optional<std::filesystem::path> binPath;
    std::optional<std::filesystem::path> cTextPath;
    std::optional<std::filesystem::path> headerPath;
    std::optional<std::filesystem::path> previewPath;
    int previewScale = 1;   // each frame pixel as scale × scale pixels in the preview picture
    std::string identifier; // the header's array name
    std::string attribute;  // between the header's declarator and its initialiser

    // The files named, standard output left out.
    std::vector<std::filesystem::path> files() const;
};

// Why the outputs can't be written over the inputs, in Chinese; empty when none would be.
// Checked before anything is read or written.
std::string overwriteProblem(const std::vector<std::filesystem::path>& inputs,
                             const std::vector<std::filesystem::path>& outputs);

// The files for the converted input, or a Chinese reason when one can't be made.
struct OutputFiles {
    std::vector<FileOutput> files;
    std::string failure;
};
OutputFiles outputFiles(const ConvertedInput& input, const OutputRequest& request);

// Writes the files all or nothing, then the one meant for standard output; the failure in
// Chinese, naming the output, or empty on success.
std::string writeOutputs(std::vector<FileOutput> files);

// Reports a failure on standard error as "ravik-lcd: message".
void printError(std::string_view message);

} // namespace ravik
