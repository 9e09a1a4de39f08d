#pragma once

// Helpers for tests that link no GUI library: reading and writing whole files, running a tool.

#include "file_bytes.h"
#include "tool_recordings.h"

#include <QByteArray>
#include <QFile>
#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace ravik::testing {

// Runs an outside tool to its end (see tool_recordings.h); whether it succeeded (its error output
// is shown when not).
inline bool run(const QString& program, const QStringList& arguments) {
    const ToolRun done = runTool(program, arguments);
    if (done.exitCode != 0) {
        qWarning("%s failed: %s", qPrintable(program), done.err.constData());
        return false;
    }
    return true;
}

// A file's bytes written whole, its folders made first.
inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Runs a program in `folder` (empty: here) to its end; its exit code (-1 for a crash or a hang),
// standard output and error merged into `output`.
inline int runProgram(const QString& program, const QStringList& arguments,
                      QString* output = nullptr, const QString& folder = {}) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!folder.isEmpty()) {
        process.setWorkingDirectory(folder);
    }
    process.start(program, arguments);
    if (!process.waitForFinished(300000)) {
        return -1;
    }
    if (output) {
        *output = QString::fromUtf8(process.readAll());
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Where the shown pixel (x, y) comes from in a stored picture of size w × h, for each EXIF
// orientation as the EXIF standard defines them.
inline QPoint storedPixel(int orientation, int x, int y, int w, int h) {
    switch (orientation) {
    case 2:
        return {w - 1 - x, y};
    case 3:
        return {w - 1 - x, h - 1 - y};
    case 4:
        return {x, h - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {y, h - 1 - x};
    case 7:
        return {w - 1 - y, h - 1 - x};
    case 8:
        return {w - 1 - y, x};
    default:
        return {x, y};
    }
}

} // namespace ravik::testing
