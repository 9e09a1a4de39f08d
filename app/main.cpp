// ravik-lcd: runs `convert` itself and links no Qt library; the window, and Qt's picture readers
// and writers, are modules loaded only when needed (see app/modules.h).

#include "app/command_line.h"
#include "app/convert_job.h"
#include "app/modules.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#endif

namespace {

#ifdef _WIN32
// A GUI-subsystem program has no console of its own; use the one it was started from, in UTF-8,
// and write output files' bytes to standard output unchanged.
void attachToParentConsole() {
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
}

std::string utf8(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string converted(std::size_t(length > 0 ? length - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), length, nullptr, nullptr);
    return converted;
}
#endif

// The arguments after the program's name, in UTF-8: on Windows from the wide command line, so
// any file name arrives whole; elsewhere as the system passes them.
std::vector<std::string> argumentsAfterName(int argc, char* argv[]) {
    std::vector<std::string> arguments;
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) {
            arguments.push_back(utf8(wide[i]));
        }
        LocalFree(wide);
    }
#else
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
#endif
    return arguments;
}

// Qt would abort with an English message; say it in a sentence instead.
bool displayMissing() {
#if defined(__linux__) || defined(__FreeBSD__)
    const auto empty = [](const char* name) {
        const char* value = std::getenv(name);
        return value == nullptr || *value == '\0';
    };
    return empty("DISPLAY") && empty("WAYLAND_DISPLAY") && empty("QT_QPA_PLATFORM");
#else
    return false;
#endif
}

int runWindowMode(int argc, char* argv[]) {
    // Help, version and mistakes are answered before any window system is needed.
    const ravik::WindowArguments early =
        ravik::parseWindowArguments(argumentsAfterName(argc, argv));
    if (!early.error.empty()) {
        const std::string line =
            "ravik-lcd: 命令行有误：" + early.error + "（用 --help 查看用法）\n";
        std::fputs(line.c_str(), stderr);
        return ravik::kExitUsage;
    }
    if (early.help) {
        return ravik::printToStandardOutput(ravik::helpText());
    }
    if (early.version) {
        return ravik::printToStandardOutput(ravik::versionText() + '\n');
    }
    if (displayMissing()) {
        std::fputs("ravik-lcd: 没有可用的图形显示（DISPLAY 与 WAYLAND_DISPLAY 均未设置），"
                   "无法打开窗口；不需要窗口时请用 ravik-lcd convert。\n",
                   stderr);
        return ravik::kExitFailure;
    }

    std::string failure;
    const ravik::WindowModule* window = ravik::windowModule(failure);
    if (!window) {
        ravik::printError(failure);
#ifdef _WIN32
        // Started from the desktop there is no console to read the message on.
        const int length = MultiByteToWideChar(CP_UTF8, 0, failure.c_str(), -1, nullptr, 0);
        std::wstring wide(std::size_t(length), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, failure.c_str(), -1, wide.data(), length);
        MessageBoxW(nullptr, wide.c_str(), L"ravik-lcd", MB_ICONERROR);
#endif
        return ravik::kExitFailure;
    }
    return window->run(argc, argv);
}

} // namespace

int main(int argc, char* argv[]) {
#ifdef _WIN32
    attachToParentConsole();
#endif
    if (argc >= 2 && std::strcmp(argv[1], "convert") == 0) {
        std::vector<std::string> arguments = argumentsAfterName(argc, argv);
        arguments.erase(arguments.begin());
        return ravik::runConvert(arguments);
    }
    if (argc >= 2 && std::strcmp(argv[1], "runtime") == 0) {
        std::vector<std::string> arguments = argumentsAfterName(argc, argv);
        arguments.erase(arguments.begin());
        return ravik::runRuntime(arguments);
    }
    if (argc >= 2 && (std::strcmp(argv[1], "font") == 0 || std::strcmp(argv[1], "build") == 0)) {
        std::vector<std::string> arguments = argumentsAfterName(argc, argv);
        arguments.erase(arguments.begin());
        std::string failure;
        const ravik::AssetModule* assets = ravik::assetModule(failure);
        if (!assets) {
            ravik::printError(failure);
            return ravik::kExitFailure;
        }
        return std::strcmp(argv[1], "font") == 0 ? assets->font(arguments)
                                                 : assets->build(arguments);
    }
    return runWindowMode(argc, argv);
}
