#pragma once

// One input of `convert` turned into its output files: a picture (or each frame of an animated
// one) converted, or a frame file read back, then the bytes of every output asked for. Used by
// single conversions and, from several threads at once, by batches; it shares no state.

#include "codec/conversion.h"
#include "export/file_output.h"

#include <QList>
#include <QString>
#include <optional>
#include <string>

namespace ravik {

struct ConvertedInput {
    QList<FrameBuffer> frames;
    QList<int> delaysMs;
    // --all-frames, or a frame set read back: the outputs hold a set, even of one frame.
    bool frameSet = false;
    QString failure; // in Chinese, naming the input; empty on success
};

// Reads a frame file (.bin, .c, .h, .txt) back, or loads and converts a picture.
ConvertedInput convertInput(const QString& path, const ConversionOptions& options, bool allFrames);

// Where each output goes; an empty optional is not written.
struct OutputRequest {
    std::optional<QString> binPath;
    std::optional<QString> cTextPath; // a file; standard output is the caller's business
    std::optional<QString> headerPath;
    std::optional<QString> previewPath;
    int previewScale = 1;   // each frame pixel as scale × scale pixels in the preview picture
    std::string identifier; // the header's array name
    std::string attribute;  // between the header's declarator and its initialiser
};

// The files for the converted input, or a Chinese reason when one can't be made.
struct OutputFiles {
    QList<FileOutput> files;
    QString failure;
};
OutputFiles outputFiles(const ConvertedInput& input, const OutputRequest& request);

// The C text of every frame, one after another.
QByteArray cText(const ConvertedInput& input);

QString nativePath(const QString& path);

// Reports a failure on standard error as "ravik-lcd: message".
void printError(const QString& message);

} // namespace ravik
