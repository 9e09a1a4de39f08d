#pragma once

// The parts of ravik-lcd that need Qt's GUI libraries live in two modules beside the program,
// loaded only when they are needed, so that `convert` of frame files (and, once the picture
// readers need no Qt, of pictures) starts with Qt Core alone:
//  - the window module, for `ravik-lcd [PICTURE]` (Qt Widgets);
//  - the picture module, for reading pictures into frames and for previews in the formats Qt
//    writes (Qt Gui).
// The program and its modules are always built and installed together; each module's one
// exported function gives a table of functions, checked by its interface number.

#include "codec/conversion.h"
#include "codec/frame_buffer.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace ravik {

class PreviewRows;

// Raised whenever a table below changes shape, so a module left over from another build is
// refused rather than called.
inline constexpr int kModuleInterface = 1;

struct WindowModule {
    int interface;
    // Runs the window until it closes; the exit code. argv as main received it.
    int (*run)(int argc, char* argv[]);
};

// A picture read and converted: one frame, or every frame with its delay.
struct PictureFrames {
    QList<FrameBuffer> frames;
    QList<int> delaysMs;
    QString failure; // why the picture can't be read, in Chinese; empty on success
};

struct PictureModule {
    int interface;
    PictureFrames (*convert)(const QString& path, const ConversionOptions& options, bool allFrames);
    // The preview formats Qt writes, in lower case ("bmp", "jpg", …).
    QList<QByteArray> (*writableFormats)();
    // The preview rows in a format Qt writes; nothing when it can't be written.
    std::optional<QByteArray> (*encode)(PreviewRows& rows, const QByteArray& format);
};

// The modules, loaded on first use (any thread); null with the reason in Chinese when a module
// can't be found or loaded.
const WindowModule* windowModule(QString& failure);
const PictureModule* pictureModule(QString& failure);

} // namespace ravik

// The one function each module exports.
extern "C" {
using RavikWindowModuleEntry = const ravik::WindowModule* (*)();
using RavikPictureModuleEntry = const ravik::PictureModule* (*)();
}
