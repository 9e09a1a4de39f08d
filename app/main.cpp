// ravik-lcd: runs `convert` and `runtime` itself and links no Qt library; the window, Qt's
// picture readers and writers, and the font and manifest commands are modules loaded only when
// needed (see app/modules.h). The commands are found in one table.

#include "app/arguments.h"
#include "app/command_line.h"
#include "app/convert_command.h"
#include "app/convert_job.h"
#include "app/modules.h"
#include "app/runtime_command.h"
#include "app/version.h"
#include "codec/frame_buffer.h"
#include "export/text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#endif

namespace {

// Where a command's code lives: in the program, or in the asset module, which brings FreeType,
// fontconfig and toml++ and is loaded only for the commands that need them.
enum class Module { program, assets };

struct Command {
    std::string_view name;
    Module module;
    // Its run function and help paragraph: in the program, or in the asset module's table.
    ravik::CommandFunctions inProgram;
    ravik::CommandFunctions ravik::AssetModule::*inAssets;
    // What the overview (`ravik-lcd --help`) says of it: the usage line and a sentence.
    std::string_view synopsis;
    std::string_view summary;
};

constexpr Command kCommands[] = {
    {"convert",
     Module::program,
     {ravik::runConvert, ravik::convertHelp},
     nullptr,
     "ravik-lcd convert 图片 [--bin 文件] [--c-text 文件] [--header 文件.h] [--preview 文件] …\n"
     "  ravik-lcd convert 图片… --out-dir 文件夹 [--bin] [--c-text] [--header] [--preview] …",
     "不打开窗口、不需要显示器，把图片转换成帧文件、C 语言数组文本、头文件和预览图；"
     "可缩放、抖动、裁剪、旋转、翻转、切块、带遮罩，也可批量转换。"},
    {"runtime",
     Module::program,
     {ravik::runRuntime, ravik::runtimeHelp},
     nullptr,
     "ravik-lcd runtime 文件夹 [--force]",
     "把固件用的 C99 绘图例程 ravik_lcd.h 和 ravik_lcd.c 写入文件夹。"},
    {"font",
     Module::assets,
     {},
     &ravik::AssetModule::font,
     "ravik-lcd font [字体] --size 像素 --chars 字符集… [--header 文件.h] [--preview 文件.png …]",
     "把字体中的字符做成抗锯齿字模，写成供 ravik_lcd_text 使用的 C 头文件。"},
    {"build",
     Module::assets,
     {},
     &ravik::AssetModule::build,
     "ravik-lcd build 清单.toml --out-dir 文件夹 [--depfile 文件] [--stamp 文件]",
     "按素材清单（TOML）一次做出固件的全部帧、图片、动画和字模，写成 .h 与 .c。"},
};

const Command* findCommand(std::string_view name) {
    const auto found = std::ranges::find(kCommands, name, &Command::name);
    return found == std::end(kCommands) ? nullptr : &*found;
}

// The commands' words, for messages: "convert、runtime、font、build".
std::string commandNames() {
    std::string names;
    for (const Command& command : kCommands) {
        names += (names.empty() ? "" : "、") + std::string(command.name);
    }
    return names;
}

// The overview `ravik-lcd --help` prints: the window, then each command in a line and a sentence;
// each command's own --help gives its options.
std::string overviewHelp() {
    std::string text = ravik::fillIn(
        "Ravik液晶显示器取模助手 %1：把图片（默认取左上角 %2 × %3 像素）转换成 12 位色液晶屏的 "
        "%4 字节帧数据。\n"
        "\n"
        "用法：\n"
        "  ravik-lcd [图片或帧文件]\n"
        "      打开主窗口；给出图片时立即打开它，如同在“打开文件”中选择。"
        "也可以给出帧文件（.bin，或 .c、.h、.txt 中的 C 语言数组文本）。\n"
        "\n",
        {RAVIK_VERSION, ravik::number(ravik::kFrameWidth), ravik::number(ravik::kFrameHeight),
         ravik::number(ravik::kFrameSize)});
    for (const Command& command : kCommands) {
        text += "  " + std::string(command.synopsis) + "\n      " + std::string(command.summary) +
                "\n\n";
    }
    text += ravik::fillIn(
        "  ravik-lcd 命令 --help   显示该命令的用法和全部选项（命令：%1）\n"
        "  ravik-lcd --help        显示本帮助\n"
        "  ravik-lcd --version     显示版本\n"
        "\n"
        "退出码：0 成功；%2 图片无法读取或文件无法写入；%3 用法错误。\n",
        {commandNames(), ravik::number(ravik::kExitFailure), ravik::number(ravik::kExitUsage)});
    return text;
}

// The usage error for a first word that names no command and can't be the picture to open
// either: it names no file, and it is close to a command's word or has no dot or slash, as a
// picture's name has. Empty when the window should open it.
std::string unknownCommand(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments.front().starts_with('-')) {
        return {};
    }
    const std::string& word = arguments.front();
    std::error_code ignored;
    if (std::filesystem::exists(ravik::pathFromUtf8(word), ignored)) {
        return {};
    }
    std::vector<std::string_view> names;
    for (const Command& command : kCommands) {
        names.push_back(command.name);
    }
    const auto nearest = ravik::nearestName(word, names);
    if (!nearest && word.find_first_of("./\\") != std::string::npos) {
        return {};
    }
    std::string error = ravik::fillIn("未知命令“%1”", {ravik::shownText(word)});
    error += nearest ? ravik::fillIn("，您是否想用 %1？", {*nearest})
                     : std::string("，也不是已有的文件；");
    return error + ravik::fillIn("可用的命令：%1", {commandNames()});
}

// Whether the arguments ask for the command's help: -h or --help before any "--".
bool asksForHelp(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--") {
            return false;
        }
        if (argument == "-h" || argument == "--help") {
            return true;
        }
    }
    return false;
}

// Runs the command with the arguments after its word, loading the asset module when it lives
// there; its help paragraph instead when the arguments ask for help.
int runCommand(const Command& command, const std::vector<std::string>& arguments) {
    const ravik::CommandFunctions* functions = &command.inProgram;
    if (command.module == Module::assets) {
        std::string failure;
        const ravik::AssetModule* assets = ravik::assetModule(failure);
        if (!assets) {
            ravik::printError(failure);
            return ravik::kExitFailure;
        }
        functions = &(assets->*command.inAssets);
    }
    if (asksForHelp(arguments)) {
        return ravik::printToStandardOutput(functions->help());
    }
    return functions->run(arguments);
}

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
    const std::vector<std::string> arguments = argumentsAfterName(argc, argv);
    if (const std::string error = unknownCommand(arguments); !error.empty()) {
        ravik::printError(ravik::fillIn("命令行有误：%1（用 ravik-lcd --help 查看用法）", {error}));
        return ravik::kExitUsage;
    }
    const ravik::WindowArguments early = ravik::parseWindowArguments(arguments);
    if (!early.error.empty()) {
        const std::string line =
            "ravik-lcd: 命令行有误：" + early.error + "（用 ravik-lcd --help 查看用法）\n";
        std::fputs(line.c_str(), stderr);
        return ravik::kExitUsage;
    }
    if (early.help) {
        return ravik::printToStandardOutput(overviewHelp());
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
    // QRegularExpression keeps a JIT stack in a thread_local, which MinGW's runtime frees after
    // the thread's storage is gone: a batch's worker threads that read a picture through Qt
    // crashed as they ended. Without the JIT there is no such stack.
    _putenv_s("QT_ENABLE_REGEXP_JIT", "0");
#endif
    std::vector<std::string> arguments = argumentsAfterName(argc, argv);
    if (!arguments.empty()) {
        if (const Command* command = findCommand(arguments.front())) {
            arguments.erase(arguments.begin());
            return runCommand(*command, arguments);
        }
    }
    return runWindowMode(argc, argv);
}
