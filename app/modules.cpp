#include "modules.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>
#include <cstdint>
#include <iterator>

#ifdef Q_OS_WIN
#include <windows.h>
#elif defined(Q_OS_MACOS)
#include <mach-o/dyld.h>
#endif

namespace ravik {
namespace {

// The folder the running program is in, found without a QCoreApplication: the window module
// makes its own QApplication, so none exists yet when it is looked for.
QString programFolder() {
#ifdef Q_OS_WIN
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
    return QFileInfo(QString::fromWCharArray(path, int(length))).absolutePath();
#elif defined(Q_OS_MACOS)
    char path[4096];
    std::uint32_t size = sizeof path;
    if (_NSGetExecutablePath(path, &size) != 0) {
        return {};
    }
    return QFileInfo(QString::fromLocal8Bit(path)).canonicalPath();
#else
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
#endif
}

// Where the modules may be: beside the program (the build folder, Windows),
// then the installed module folder relative to the program (/usr/bin/../lib/<arch>/ravik-lcd).
QStringList moduleFolders() {
    const QString program = programFolder();
    return {program, QDir::cleanPath(program + u'/' + QStringLiteral(RAVIK_MODULE_DIR))};
}

// Loads the named module and calls its entry; null with the reason in Chinese on failure.
template <typename Table, typename Entry>
const Table* loadModule(const char* name, const char* entry, QString& failure) {
    QStringList reasons;
    for (const QString& folder : moduleFolders()) {
        // QLibrary adds the platform's prefix and suffix: libravik-lcd-window.so, …-window.dll.
        QLibrary library(folder + u'/' + QLatin1String(name));
        if (!library.load()) {
            reasons << library.errorString();
            continue;
        }
        const auto function = reinterpret_cast<Entry>(library.resolve(entry));
        const Table* table = function ? function() : nullptr;
        if (table && table->interface == kModuleInterface) {
            return table; // stays loaded for the rest of the run
        }
        reasons << QStringLiteral(u"%1 与本程序的版本不一致").arg(library.fileName());
    }
    failure = QStringLiteral(u"无法载入程序模块“%1”（查找位置：%2）；请重新安装 ravik-lcd")
                  .arg(QLatin1String(name), moduleFolders().join(u"、"));
    if (!reasons.isEmpty()) {
        failure += QStringLiteral(u"。原因：") + reasons.join(u"；");
    }
    return nullptr;
}

struct Loaded {
    const void* table = nullptr;
    QString failure;
};

// Each module is loaded once, on first use, whichever thread asks first.
template <typename Table, typename Entry>
const Table* cachedModule(const char* file, const char* symbol, QString& failure) {
    static const Loaded loaded = [&] {
        Loaded result;
        result.table = loadModule<Table, Entry>(file, symbol, result.failure);
        return result;
    }();
    failure = loaded.failure;
    return static_cast<const Table*>(loaded.table);
}

} // namespace

const WindowModule* windowModule(QString& failure) {
    return cachedModule<WindowModule, RavikWindowModuleEntry>("ravik-lcd-window",
                                                              "ravik_window_module", failure);
}

const PictureModule* pictureModule(QString& failure) {
    return cachedModule<PictureModule, RavikPictureModuleEntry>("ravik-lcd-pictures",
                                                                "ravik_picture_module", failure);
}

} // namespace ravik
