#pragma once

// Paths crossing between Qt and the parts of the program that link no Qt: a QString as the
// system's file name, and back, without passing through a local code page.

#include <QFile>
#include <QString>
#include <filesystem>

namespace ravik {

inline std::filesystem::path toFilePath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

inline QString fromFilePath(const std::filesystem::path& path) {
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

} // namespace ravik
