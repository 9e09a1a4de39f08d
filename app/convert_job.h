#pragma once

// One input of `convert` turned into its output files: a picture (or each frame of an animated
// one) converted, or a frame file read back, then the bytes of every output asked for. Used by
// single conversions and, from several threads at once, by batches; it shares no state.

#include "codec/conversion.h"
#include "export/file_output.h"

#include <QList>
#include <QString>
#include <QStringList>
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

// "-" in place of an output file's name: standard output.
bool isStandardOutput(const QString& path);

// The format a preview is written in: the one its extension names, PNG on standard output;
// nothing when the extension names no format that can be written (or there is none).
std::optional<QByteArray> previewFormat(const QString& path);

// The extensions a preview can have, for messages: ".png、.jpg…".
QString previewExtensions();

// Why a preview can't be written under this name, in Chinese: its extension names no format
// that can be written, or the picture module that writes the formats besides PNG is missing.
QString previewFormatProblem(const QString& path);

// Where each output goes ("-": standard output); an empty optional is not written.
struct OutputRequest {
    std::optional<QString> binPath;
    std::optional<QString> cTextPath;
    std::optional<QString> headerPath;
    std::optional<QString> previewPath;
    int previewScale = 1;   // each frame pixel as scale × scale pixels in the preview picture
    std::string identifier; // the header's array name
    std::string attribute;  // between the header's declarator and its initialiser

    // The files named, standard output left out.
    QStringList files() const;
};

// Why the outputs can't be written over the inputs, in Chinese; empty when none would be.
// Checked before anything is read or written.
QString overwriteProblem(const QStringList& inputs, const QStringList& outputs);

// The files for the converted input, or a Chinese reason when one can't be made.
struct OutputFiles {
    QList<FileOutput> files;
    QString failure;
};
OutputFiles outputFiles(const ConvertedInput& input, const OutputRequest& request);

// Writes the files all or nothing, then the one meant for standard output; the failure in
// Chinese, naming the output, or empty on success.
QString writeOutputs(const QList<FileOutput>& files);

QString nativePath(const QString& path);

// Reports a failure on standard error as "ravik-lcd: message".
void printError(const QString& message);

} // namespace ravik
