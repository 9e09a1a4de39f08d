#include "file_output.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace ravik {
namespace {

QString withDetail(const QString& reason, const QString& detail) {
    return detail.isEmpty() ? reason : QStringLiteral(u"%1（%2）").arg(reason, detail);
}

// Why the target can't even be opened, told from what the file system shows.
QString openFailureReason(const QFileInfo& target, const QString& detail) {
    const QFileInfo folder(target.absolutePath());
    if (!folder.exists()) {
        return QStringLiteral(u"文件夹不存在：%1").arg(QDir::toNativeSeparators(folder.filePath()));
    }
    if (!folder.isDir()) {
        return QStringLiteral(u"路径中的“%1”不是文件夹").arg(folder.fileName());
    }
    if (!folder.isWritable() || (target.exists() && !target.isWritable())) {
        return withDetail(QStringLiteral(u"没有写入权限"), detail);
    }
    return withDetail(QStringLiteral(u"无法创建文件"), detail);
}

QString writeFailureReason(int error, const QString& detail) {
    switch (error) {
    case ENOSPC:
        return withDetail(QStringLiteral(u"磁盘空间不足"), detail);
    case EFBIG:
        return withDetail(QStringLiteral(u"文件超出了允许的大小"), detail);
    default:
        return withDetail(QStringLiteral(u"写入失败"), detail);
    }
}

// Why the system refused to create a folder, from its error number.
QString folderFailureReason(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral(u"没有写入权限");
    case EROFS:
        return QStringLiteral(u"文件系统是只读的");
    case ENOSPC:
        return QStringLiteral(u"磁盘空间不足");
    case ENAMETOOLONG:
        return QStringLiteral(u"路径太长");
    case ENOTDIR:
        return QStringLiteral(u"路径中有一项不是文件夹");
    default:
        return withDetail(QStringLiteral(u"系统拒绝创建"),
                          error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString());
    }
}

// The identity of an existing file, which every name for it shares; nothing when it can't be
// read (the file doesn't exist yet).
struct FileIdentity {
    quint64 device = 0;
    quint64 file = 0;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> fileIdentity(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
#ifdef Q_OS_WIN
    const HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()), 0,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION information;
    const bool read = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    if (!read) {
        return std::nullopt;
    }
    return FileIdentity{information.dwVolumeSerialNumber,
                        quint64(information.nFileIndexHigh) << 32 | information.nFileIndexLow};
#else
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{quint64(status.st_dev), quint64(status.st_ino)};
#endif
}

// Checks that need no writing: no name, or a folder in the target's place.
std::optional<QString> refusedTarget(const QFileInfo& target) {
    if (target.filePath().isEmpty()) {
        return QStringLiteral(u"没有指定文件名");
    }
    if (target.isDir()) {
        return QStringLiteral(u"已有同名的文件夹");
    }
    return std::nullopt;
}

// A device or pipe (/dev/stdout, a FIFO) can't be replaced by renaming a file over it, and
// needn't be: it is written in place, after every regular file is safely on disk.
bool isStream(const QFileInfo& target) {
    return target.exists() && !target.isFile() && !target.isDir();
}

// Opens the device, writes all of the output's bytes and flushes them; the failure, if any.
std::optional<OutputFailure> writeThrough(QFileDevice& device, QIODevice::OpenMode mode,
                                          const FileOutput& output) {
    if (!device.open(mode)) {
        return OutputFailure{output.path,
                             openFailureReason(QFileInfo(output.path), device.errorString())};
    }
    errno = 0;
    if (device.write(output.data) != output.data.size() || !device.flush()) {
        const int error = errno;
        return OutputFailure{output.path, writeFailureReason(error, device.errorString())};
    }
    return std::nullopt;
}

} // namespace

std::optional<OutputFailure> writeFilesAtomically(const QList<FileOutput>& outputs) {
    for (const FileOutput& output : outputs) {
        if (auto refusal = refusedTarget(QFileInfo(output.path))) {
            return OutputFailure{output.path, *refusal};
        }
    }
    // Every file is written and flushed before any is committed. Small writes sit in
    // QSaveFile's buffer, and commit() can report success after its final flush failed, so the
    // write and the flush are checked here, before commit() may replace an old file. Files not
    // committed are discarded when they go out of scope.
    struct Pending {
        std::unique_ptr<QSaveFile> file;
        const FileOutput* output;
    };
    std::vector<Pending> files;
    std::vector<const FileOutput*> streams;
    for (const FileOutput& output : outputs) {
        if (isStream(QFileInfo(output.path))) {
            streams.push_back(&output);
            continue;
        }
        auto file = std::make_unique<QSaveFile>(output.path);
        if (auto failure = writeThrough(*file, QIODevice::WriteOnly, output)) {
            return failure;
        }
        files.push_back({std::move(file), &output});
    }
    for (const FileOutput* stream : streams) {
        QFile device(stream->path);
        if (auto failure =
                writeThrough(device, QIODevice::WriteOnly | QIODevice::Unbuffered, *stream)) {
            return failure;
        }
    }
    for (const Pending& pending : files) {
        if (!pending.file->commit()) {
            return OutputFailure{pending.output->path, withDetail(QStringLiteral(u"无法替换原文件"),
                                                                  pending.file->errorString())};
        }
    }
    return std::nullopt;
}

std::optional<QString> writeFileAtomically(const QString& path, QByteArrayView data) {
    if (auto failure = writeFilesAtomically({{path, data.toByteArray()}})) {
        return failure->reason;
    }
    return std::nullopt;
}

std::optional<QString> writeStandardOutput(QByteArrayView bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, std::size_t(bytes.size()), stdout) ==
            std::size_t(bytes.size()) &&
        std::fflush(stdout) == 0) {
        return std::nullopt;
    }
    const int error = errno;
    std::clearerr(stdout);
    return writeFailureReason(error, QString());
}

std::optional<QString> outputOverwritingInput(const QStringList& inputs,
                                              const QStringList& outputs) {
    std::vector<FileIdentity> read;
    for (const QString& input : inputs) {
        if (const auto identity = fileIdentity(input)) {
            read.push_back(*identity);
        }
    }
    for (const QString& output : outputs) {
        const auto identity = fileIdentity(output);
        if (identity && std::find(read.begin(), read.end(), *identity) != read.end()) {
            return output;
        }
    }
    return std::nullopt;
}

std::optional<QString> makeFolder(const QString& path) {
    const QFileInfo target(path);
    if (target.isDir()) {
        return std::nullopt;
    }
    if (target.exists()) {
        return QStringLiteral(u"已有同名的文件，不是文件夹");
    }
    // The nearest part of the path that exists must be a folder for anything to go under it.
    QFileInfo existing(target.absoluteFilePath());
    while (!existing.exists() && !existing.isRoot()) {
        existing = QFileInfo(existing.absolutePath());
    }
    if (existing.exists() && !existing.isDir()) {
        return QStringLiteral(u"路径中的“%1”不是文件夹").arg(existing.fileName());
    }
    errno = 0;
    if (QDir().mkpath(path)) {
        return std::nullopt;
    }
    return folderFailureReason(errno);
}

} // namespace ravik
