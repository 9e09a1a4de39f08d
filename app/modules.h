#pragma once

// The parts of ravik-lcd that need Qt or fonts live in modules beside the program, loaded only
// when they are needed, so that the program itself links no Qt library and `convert` starts fast:
//  - the window module, for `ravik-lcd [PICTURE]` (Qt Widgets);
//  - the picture module, for pictures in formats our own readers don't take and for previews in
//    the formats Qt writes (Qt Gui);
//  - the asset module, for glyph sets and asset manifests (`ravik-lcd font`, `ravik-lcd build`;
//    FreeType and fontconfig).
// The program and its modules are always built and installed together, with the same compiler
// and standard library, so the tables use plain C++ types; each module's one exported function
// gives its table, checked by the interface number.

#include "codec/conversion.h"
#include "codec/frame_buffer.h"
#include "pictures/picture.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ravik {

class PreviewRows;

// Raised whenever a table below changes shape, so a module left over from another build is
// refused rather than called.
inline constexpr int kModuleInterface = 6;

struct WindowModule {
    int interface;
    // Runs the window until it closes; the exit code. argv as main received it.
    int (*run)(int argc, char* argv[]);
};

// A picture read and converted: one packed picture of the options' size, or every frame with its
// delay.
struct PictureFrames {
    std::vector<std::vector<std::uint8_t>> pictures;
    std::vector<int> delaysMs;
    std::string failure; // why the picture can't be read, in Chinese; empty on success
};

// A picture read whole, to be cut, turned or keyed before it is converted: one, or every frame.
struct WholePictures {
    std::vector<Picture> frames;
    std::vector<int> delaysMs;
    std::string failure; // why the picture can't be read, in Chinese; empty on success
};

struct PictureModule {
    int interface;
    PictureFrames (*convert)(const std::filesystem::path& path, const ConversionOptions& options,
                             bool allFrames);
    WholePictures (*read)(const std::filesystem::path& path, bool allFrames);
    // The preview formats Qt writes, in lower case ("bmp", "jpg", …).
    std::vector<std::string> (*writableFormats)();
    // The preview rows as a file in a format Qt writes; nothing when it can't be written.
    std::optional<std::string> (*encode)(PreviewRows& rows, const std::string& format);
};

// A command's two functions, wherever it lives: run with the arguments after the command's word
// (the exit code), and its paragraph of the help.
struct CommandFunctions {
    int (*run)(const std::vector<std::string>& arguments);
    std::string (*help)();
};

struct AssetModule {
    int interface;
    CommandFunctions font;  // `ravik-lcd font`
    CommandFunctions build; // `ravik-lcd build`
};

// The modules, loaded on first use (any thread); null with the reason in Chinese when a module
// can't be found or loaded.
const WindowModule* windowModule(std::string& failure);
const PictureModule* pictureModule(std::string& failure);
const AssetModule* assetModule(std::string& failure);

} // namespace ravik

// The one function each module exports.
extern "C" {
using RavikWindowModuleEntry = const ravik::WindowModule* (*)();
using RavikPictureModuleEntry = const ravik::PictureModule* (*)();
using RavikAssetModuleEntry = const ravik::AssetModule* (*)();
}

// How a module marks its entry as exported.
#ifdef _WIN32
#define RAVIK_MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define RAVIK_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif
