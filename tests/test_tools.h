#pragma once

// Helpers for tests that link no GUI library: reading and writing whole files, running a tool.

#include <QByteArray>
#include <QFile>
#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace ravik::testing {

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Runs a tool to its end; whether it succeeded (its error output is shown when not).
inline bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return false;
    }
    return true;
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
