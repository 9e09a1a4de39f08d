#pragma once

// The command line: `ravik-lcd [PICTURE]` opens the window, `ravik-lcd convert PICTURE …`
// converts without a window or display. Parsing, converting and writing are separate steps, so
// each can be tested and the window mode shares the parsing. Arguments and messages are UTF-8.

#include "app/convert_job.h"
#include "codec/conversion.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ravik {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The bounds of --preview-scale.
inline constexpr int kMinPreviewScale = 1;
inline constexpr int kMaxPreviewScale = 16;

// Reads --preview-scale's value (kMinPreviewScale to kMaxPreviewScale) into `scale`; the usage
// error in Chinese, or empty.
std::string readPreviewScale(std::string_view given, int& scale);

// "ravik-lcd 1.00", as --version prints it.
std::string versionText();

// The Chinese help text describing both modes.
std::string helpText();

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
    bool help = false;
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

// Runs `runtime DIR`: writes the firmware runtime's files into DIR (made when missing), all or
// nothing; gives the exit code.
int runRuntime(const std::vector<std::string>& arguments);

} // namespace ravik
