#pragma once

// One input of `convert` turned into its output files: a picture (or each frame of an animated
// one) converted, or a frame file read back, then the bytes of every output asked for. Used by
// single conversions and, from several threads at once, by batches; it shares no state.

#include "app/output_plan.h"
#include "codec/conversion.h"
#include "export/file_output.h"
#include "export/picture_set.h"
#include "pictures/transform.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ravik {

// What is done to a picture before it is fitted into the output's size, in this order: the
// rectangle cut out of it (in the upright picture), the clockwise turn, the flip, the key colour
// made transparent, the cut into tiles. The mask is made from the result.
struct Shaping {
    std::optional<Rect> crop;
    Rotation rotation = Rotation::none;
    Flip flip = Flip::none;
    std::optional<ColorValue> key;
    std::optional<Size> tiles;
    bool mask = false;
    // A mask made for the preview, which shows the pixels it leaves out over a checkerboard.
    bool previewMask = false;
    // The output is the picture's own size (after the crop and the turn), not the options' size:
    // a sprite or an animation that names no size.
    bool ownSize = false;

    // Whether the picture is read whole rather than only the part the box shows.
    bool needsWholePicture() const {
        return crop || rotation != Rotation::none || flip != Flip::none || key || tiles || mask ||
               previewMask || ownSize;
    }
};

// The output's size when none is asked for: a tile's, else the crop's (turned as the picture is),
// else the frame's. A crop or a tile then gives exactly its own pixels.
BoxSize defaultOutputSize(const Shaping& shaping);

struct ConvertedInput {
    // The packed pictures: one, each frame (delays with them) or each tile; masks when asked.
    PictureSet pictures;
    // --all-frames, or a frame set read back: the outputs hold a set, even of one frame.
    bool frameSet = false;
    std::string failure; // in Chinese, naming the input; empty on success
    std::string notice;  // for standard error, in Chinese: how a sheet was cut; may be empty
    // The masks the preview shows (Shaping::previewMask), one a picture; none otherwise.
    std::vector<std::vector<std::uint8_t>> previewMasks;
};

// Reads a frame file (.bin, .c, .h, .txt) back, or loads, shapes and converts a picture at
// options.size.
ConvertedInput convertInput(const std::filesystem::path& path, const ConversionOptions& options,
                            bool allFrames, const Shaping& shaping = {});

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
    std::optional<std::filesystem::path> maskPath; // the masks' bytes
    int previewScale = 1;   // each frame pixel as scale × scale pixels in the preview picture
    std::string identifier; // the header's array name
    std::string attribute;  // between the header's declarator and its initialiser
};

// One row of convert's table of outputs: what names it and where the request keeps its file.
struct ConvertOutput {
    OutputKind kind;
    std::optional<std::filesystem::path> OutputRequest::*path;
};
// Every output `convert` can write, in the order they are made.
std::span<const ConvertOutput> convertOutputs();

// The plan for writing the request's outputs from these inputs.
OutputPlan outputPlan(const std::vector<std::filesystem::path>& inputs,
                      const OutputRequest& request);

// The files for the converted input, or a Chinese reason when one can't be made.
struct OutputFiles {
    std::vector<FileOutput> files;
    std::string failure;
};
OutputFiles outputFiles(const ConvertedInput& input, const OutputRequest& request);

// Reports a failure on standard error as "ravik-lcd: message".
void printError(std::string_view message);

} // namespace ravik
