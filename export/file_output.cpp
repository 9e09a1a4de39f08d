#include "file_output.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <memory>
#include <vector>

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

} // namespace ravik
