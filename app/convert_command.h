#pragma once

// `ravik-lcd convert PICTURE …`: one picture converted without a window or display, or many at
// once with --out-dir. Reading the arguments, converting and writing are separate steps, so each
// can be tested; the conversion of one input is app/convert_job.h's.

#include "app/convert_job.h"
#include "codec/conversion.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ravik {

// What `ravik-lcd convert …` was asked for.
struct ConvertOptions {
    std::filesystem::path picture;
    // "-" is standard output, for at most one of them.
    std::optional<std::filesystem::path> binPath;
    std::optional<std::filesystem::path> cTextPath;
    std::optional<std::filesystem::path> previewPath;
    std::optional<std::filesystem::path> headerPath;
    std::optional<std::filesystem::path> maskPath; // the masks' bytes (--mask-bin)
    std::string arrayName; // the header's array; empty: made from the input's base name
    std::string attribute; // PROGMEM, __attribute__((section(".lcd"))) and the like
    bool allFrames = false;
    int previewScale = 1; // each frame pixel as scale × scale pixels in the preview picture
    ConversionOptions conversion;
    Shaping shaping;

    // Without any output option the C text goes to standard output, as with --c-text -.
    bool textToStandardOutput() const;
};
// What `ravik-lcd convert PICTURE… --out-dir DIR` was asked for: each output is a flag, and each
// input's outputs are DIR/<base>.bin, .txt, .h and .png.
struct BatchOptions {
    std::vector<std::filesystem::path> inputs;
    std::filesystem::path outDir;
    bool bin = false;
    bool cText = false;
    bool header = false;
    bool preview = false;
    bool maskBin = false; // DIR/<base>.mask
    std::string attribute;
    bool allFrames = false;
    int jobs = 0; // threads; 0: a few per core
    ConversionOptions conversion;
    Shaping shaping;
};
struct ConvertArguments {
    ConvertOptions options;
    std::optional<BatchOptions> batch; // set when --out-dir was given
    std::string error; // a usage error, in Chinese; empty when the arguments are sound
};
// Parses the arguments after the word "convert".
ConvertArguments parseConvertArguments(const std::vector<std::string>& arguments);

// Converts and writes every output all or nothing; gives the exit code. Failures are reported
// on standard error in Chinese.
int convert(const ConvertOptions& options);

// Converts every input of a batch, on every core, and writes each input's outputs all or
// nothing; one failing input does not stop the others. Gives the exit code.
int convertBatch(const BatchOptions& batch);

// Runs `convert` with the arguments after the word "convert"; gives the exit code.
int runConvert(const std::vector<std::string>& arguments);

// convert's paragraph of the help, for `ravik-lcd convert --help`.
std::string convertHelp();

} // namespace ravik
