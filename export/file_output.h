#pragma once

// Writing output files all or nothing: each file's bytes go to a temporary file beside it, and
// the temporaries take their targets' places only when every byte of every file is on disk. On
// failure no target is created or changed, and the reason is given in Simplified Chinese.
// Devices and pipes (/dev/stdout) are written in place once all files are ready.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
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

} // namespace ravik
