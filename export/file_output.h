#pragma once

// Writing output files all or nothing: each file's bytes go to a temporary file beside it, and
// the temporaries take their targets' places only when every byte of every file is on disk. On
// failure no target is created or changed, and the reason is given in Simplified Chinese.
// Devices and pipes (/dev/stdout) are written in place once all files are ready.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace ravik {

struct FileOutput {
    QString path;
    QByteArray data;
};

struct OutputFailure {
    QString path;
    QString reason;
};

std::optional<OutputFailure> writeFilesAtomically(const QList<FileOutput>& outputs);

// One file; the reason on failure.
std::optional<QString> writeFileAtomically(const QString& path, QByteArrayView data);

// Writes the bytes to standard output and flushes it; the reason in Chinese when it fails.
std::optional<QString> writeStandardOutput(QByteArrayView bytes);

// The first output that is one of the inputs, if any: the same existing file by device and
// inode (volume and file index on Windows), so "./a.png", a symbolic link to it and a hard link
// all count. Every command checks its outputs with this before it writes anything.
std::optional<QString> outputOverwritingInput(const QStringList& inputs,
                                              const QStringList& outputs);

// Creates the folder and those above it; the reason in Chinese when it can't.
std::optional<QString> makeFolder(const QString& path);

} // namespace ravik
