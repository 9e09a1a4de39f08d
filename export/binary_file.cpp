#include "binary_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

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

} // namespace

std::optional<QString> writeFileAtomically(const QString& path, QByteArrayView data) {
    const QFileInfo target(path);
    if (path.isEmpty()) {
        return QStringLiteral(u"没有指定文件名");
    }
    if (target.isDir()) {
        return QStringLiteral(u"已有同名的文件夹");
    }
    // A device, pipe or socket would be swapped for a regular file by the rename below.
    if (target.exists() && !target.isFile()) {
        return QStringLiteral(u"目标不是普通文件");
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return openFailureReason(target, file.errorString());
    }
    // Small writes sit in QSaveFile's buffer, and commit() can report success after the final
    // flush failed; so the write and the flush are checked here, before commit() may replace
    // the old file.
    errno = 0;
    if (file.write(data.data(), data.size()) != data.size() || !file.flush()) {
        const int error = errno;
        const QString detail = file.errorString();
        file.cancelWriting();
        return writeFailureReason(error, detail);
    }
    if (!file.commit()) {
        return withDetail(QStringLiteral(u"无法替换原文件"), file.errorString());
    }
    return std::nullopt;
}

std::optional<QString> writeBinaryFile(const QString& path, const FrameBuffer& frame) {
    const auto bytes = frame.frame();
    return writeFileAtomically(path, QByteArrayView(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<qsizetype>(bytes.size())));
}

} // namespace ravik
