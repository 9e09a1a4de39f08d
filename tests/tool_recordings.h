#pragma once

// Outside tools (ImageMagick, libwebp's and libtiff's tools, libjpeg's djpeg, Pillow, a shell)
// make many tests' input files and reference pixels. They are the build machine's programs, which
// the Windows edition's tests, cross-built here and run under Wine, cannot run. So tests run them
// through runTool: on the build machine it runs the tool and, when the environment names a folder
// in RAVIK_TEST_RECORDINGS, records what the tool printed and the files it wrote, keyed by its
// arguments and the bytes of the files it was given; on Windows it plays that record back.
// tools/windows-check.sh runs the Linux suite with a recordings folder before the Windows one.

#include "file_bytes.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace ravik::testing {

using namespace Qt::StringLiterals;

struct ToolRun {
    int exitCode = -1; // -1: it did not start, crashed or hung, or on Windows was never recorded
    QByteArray out;
    QByteArray err;
};

namespace recording {

// An argument that names a file: an absolute path, after a prefix such as ImageMagick's "PNG32:"
// or "rgba:" (two characters at least, so that a drive letter stays part of the path), of a file
// or folder that exists or of one to be made in a folder that exists.
struct FileArgument {
    QString prefix;
    QString path;
};

inline std::optional<FileArgument> fileArgument(const QString& argument) {
    static const QRegularExpression prefixed(QStringLiteral("^([A-Za-z][A-Za-z0-9]+:)?(.+)$"));
    const auto match = prefixed.match(argument);
    const QString path = match.captured(2);
    // A shell script (its arguments are quoted: "$0") that starts with a tool's path is no
    // file, though its text up to the last slash names a folder that exists.
    if (path.contains(u'"') || path.contains(u'\n')) {
        return std::nullopt;
    }
    const bool absolute = path.startsWith(u'/') || path.startsWith(u'\\') ||
                          (path.size() > 2 && path[0].isLetter() && path[1] == u':' &&
                           (path[2] == u'/' || path[2] == u'\\'));
    if (!match.hasMatch() || !absolute) {
        return std::nullopt;
    }
    const QFileInfo info(path);
    if (!info.exists() && !info.absoluteDir().exists()) {
        return std::nullopt;
    }
    return FileArgument{match.captured(1), path};
}

inline QByteArray digest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// The files an output argument stands for: itself, or for a pattern with %d (one file a frame)
// those numbered from 0 that exist.
inline QStringList outputFiles(const QString& path) {
    if (!path.contains(u"%d"_s)) {
        return {path};
    }
    QStringList files;
    for (int n = 0;; ++n) {
        QString file = path;
        file.replace(u"%d"_s, QString::number(n));
        if (!QFileInfo(file).isFile()) {
            return files;
        }
        files << file;
    }
}

// What identifies a run on any machine: the tool's name, the arguments, each file given by the
// digest of its bytes and each file to be made by its suffix, never by where it lies.
inline QString key(const QString& program, const QStringList& arguments) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QFileInfo(program).fileName().toUtf8());
    for (const QString& argument : arguments) {
        hash.addData(QByteArrayView("\n", 1));
        const auto file = fileArgument(argument);
        if (!file) {
            hash.addData(argument.toUtf8());
            continue;
        }
        const QFileInfo info(file->path);
        const QString stands = info.isFile()
                                   ? u"<file "_s + QString::fromLatin1(digest(readAll(file->path)))
                               : info.isDir() ? u"<folder"_s
                                              : u"<new ."_s + info.suffix();
        hash.addData((file->prefix + stands + u">"_s).toUtf8());
    }
    return QString::fromLatin1(hash.result().toHex());
}

// The files a finished run wrote: (the argument's index, its n-th file, the bytes).
struct Written {
    int argument;
    int n;
    QByteArray bytes;
};

inline QString recordsFolder() {
    return qEnvironmentVariable("RAVIK_TEST_RECORDINGS");
}

inline void record(const QString& folder, const ToolRun& run, const std::vector<Written>& files) {
    QDir().mkpath(folder);
    writeAll(folder + u"/exit"_s, QByteArray::number(run.exitCode));
    writeAll(folder + u"/out"_s, run.out);
    writeAll(folder + u"/err"_s, run.err);
    for (const Written& file : files) {
        writeAll(folder + u"/file-%1-%2"_s.arg(file.argument).arg(file.n), file.bytes);
    }
}

inline ToolRun playBack(const QString& program, const QStringList& arguments) {
    const QString records = recordsFolder();
    const QString folder = records + u"/"_s + key(program, arguments);
    if (records.isEmpty() || !QFileInfo(folder + u"/exit"_s).isFile()) {
        qWarning("no recording of %s %s: run the suite on the build machine with "
                 "RAVIK_TEST_RECORDINGS set to a folder first, then here with the same folder",
                 qPrintable(program), qPrintable(arguments.join(u' ')));
        return {};
    }
    static const QRegularExpression name(QStringLiteral("^file-(\\d+)-(\\d+)$"));
    for (const QString& entry : QDir(folder).entryList(QDir::Files)) {
        const auto match = name.match(entry);
        const int index = match.captured(1).toInt();
        if (!match.hasMatch() || index >= arguments.size()) {
            continue;
        }
        QString path = fileArgument(arguments[index])->path;
        path.replace(u"%d"_s, match.captured(2));
        writeAll(path, readAll(folder + u"/"_s + entry));
    }
    return {readAll(folder + u"/exit"_s).toInt(), readAll(folder + u"/out"_s),
            readAll(folder + u"/err"_s)};
}

} // namespace recording

// Runs an outside tool to its end, in `folder` when one is given; see above.
inline ToolRun runTool(const QString& program, const QStringList& arguments,
                       const QString& folder = {}) {
#ifdef Q_OS_WIN
    Q_UNUSED(folder);
    return recording::playBack(program, arguments);
#else
    using namespace recording;
    const QString records = recordsFolder();
    const QString runKey = records.isEmpty() ? QString() : key(program, arguments);
    // The bytes of every file argument before the run, to tell which ones the tool wrote.
    std::vector<std::optional<QByteArray>> before;
    for (const QString& argument : arguments) {
        const auto file = fileArgument(argument);
        before.push_back(file && QFileInfo(file->path).isFile() ? std::optional(readAll(file->path))
                                                                : std::nullopt);
    }
    QProcess process;
    if (!folder.isEmpty()) {
        process.setWorkingDirectory(folder);
    }
    // A fixed time for what tools stamp into their files (ImageMagick's PNG dates): else the same
    // run writes other bytes each second, and a later run given such a file misses its record.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"SOURCE_DATE_EPOCH"_s, u"0"_s);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run = {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
           process.readAllStandardOutput(), process.readAllStandardError()};
    if (!records.isEmpty()) {
        std::vector<Written> written;
        for (int i = 0; i < arguments.size(); ++i) {
            const auto file = fileArgument(arguments[i]);
            if (!file) {
                continue;
            }
            const QStringList files = outputFiles(file->path);
            for (int n = 0; n < files.size(); ++n) {
                if (!QFileInfo(files[n]).isFile()) {
                    continue;
                }
                QByteArray bytes = readAll(files[n]);
                if (!before[i] || *before[i] != bytes) {
                    written.push_back({i, n, std::move(bytes)});
                }
            }
        }
        record(records + u"/"_s + runKey, run, written);
    }
    return run;
#endif
}

} // namespace ravik::testing
