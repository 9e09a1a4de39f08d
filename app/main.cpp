// ravik-lcd: runs `convert` itself with Qt Core alone, and loads the window module only when
// no subcommand is given (see app/modules.h).

#include "app/command_line.h"
#include "app/convert_job.h"
#include "app/modules.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

#ifdef Q_OS_WIN
// A GUI-subsystem program has no console of its own; use the one it was started from.
void attachToParentConsole() {
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
}
#endif

int runConvertMode(int argc, char* argv[]) {
#ifdef Q_OS_WIN
    attachToParentConsole();
#endif
    QCoreApplication app(argc, argv); // no GUI: works with no display at all
    ravik::identifyProgram();
    return ravik::runConvert(QCoreApplication::arguments().mid(2));
}

// Qt would abort with an English message; say it in a sentence instead.
bool displayMissing() {
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    return qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    return false;
#endif
}

int runWindowMode(int argc, char* argv[]) {
    // Help, version and mistakes are answered before any window system is needed.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i) {
        rawArguments << QString::fromLocal8Bit(argv[i]);
    }
    const ravik::WindowArguments early = ravik::parseWindowArguments(rawArguments);
    if (!early.error.isEmpty()) {
        std::fputs(qPrintable(QStringLiteral(u"ravik-lcd: 命令行有误：%1（用 --help 查看用法）\n")
                                  .arg(early.error)),
                   stderr);
        return ravik::kExitUsage;
    }
    if (early.help) {
        return ravik::printToStandardOutput(ravik::helpText());
    }
    if (early.version) {
        return ravik::printToStandardOutput(ravik::versionText() + u'\n');
    }
    if (displayMissing()) {
        std::fputs(qPrintable(QStringLiteral(u"ravik-lcd: 没有可用的图形显示（DISPLAY 与 "
                                             u"WAYLAND_DISPLAY 均未设置），无法打开窗口；"
                                             u"不需要窗口时请用 ravik-lcd convert。\n")),
                   stderr);
        return ravik::kExitFailure;
    }

    QString failure;
    const ravik::WindowModule* window = ravik::windowModule(failure);
    if (!window) {
        ravik::printError(failure);
#ifdef Q_OS_WIN
        // Started from the desktop there is no console to read the message on.
        MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(failure.utf16()), L"ravik-lcd",
                    MB_ICONERROR);
#endif
        return ravik::kExitFailure;
    }
    return window->run(argc, argv);
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc >= 2 && std::strcmp(argv[1], "convert") == 0) {
        return runConvertMode(argc, argv);
    }
    return runWindowMode(argc, argv);
}
