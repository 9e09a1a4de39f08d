#include "modules.h"

#include "export/text.h"

#include <cstdint>
#include <iterator>
#include <system_error>

#ifdef _WIN32
#include "export/windows_error.h"

#include <windows.h>
// <windows.h> defines `interface` as `struct`, which the module table uses as a member name.
#undef interface
#else
#include <dlfcn.h>
#endif
#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif

namespace ravik {
namespace fs = std::filesystem;
namespace {

// The folder the running program is in.
fs::path programFolder() {
#ifdef _WIN32
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
    return fs::path(std::wstring(path, length)).parent_path();
#elif defined(__APPLE__)
    char path[4096];
    std::uint32_t size = sizeof path;
    if (_NSGetExecutablePath(path, &size) != 0) {
        return {};
    }
    std::error_code ignored;
    return fs::weakly_canonical(path, ignored).parent_path();
#else
    std::error_code ignored;
    return fs::read_symlink("/proc/self/exe", ignored).parent_path();
#endif
}

// Where the modules may be: beside the program (the build folder, Windows),
// then the installed module folder relative to the program (/usr/bin/../lib/<arch>/ravik-lcd).
std::vector<fs::path> moduleFolders() {
    const fs::path program = programFolder();
    fs::path installed = (program / RAVIK_MODULE_DIR).lexically_normal();
    if (!installed.has_filename()) {
        installed = installed.parent_path();
    }
    // On Windows the two are one folder: look (and report) once.
    if (installed == program) {
        return {program};
    }
    return {program, installed};
}

// A loaded library's function by name; null when the library has none.
using Function = void (*)();

#ifdef _WIN32
std::string lastError() {
    return windowsErrorText(GetLastError());
}
#endif

// Opens the library at path and gives its entry, or why it can't.
Function openEntry(const fs::path& path, const char* entry, std::string& reason) {
#ifdef _WIN32
    // The module's own libraries (Qt's) are looked for beside it.
    const HMODULE library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library) {
        reason = displayPath(path) + ": " + lastError();
        return nullptr;
    }
    return reinterpret_cast<Function>(GetProcAddress(library, entry));
#else
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* error = dlerror();
        reason = error ? error : displayPath(path);
        return nullptr;
    }
    return reinterpret_cast<Function>(dlsym(library, entry));
#endif
}

// Loads the named module and calls its entry; null with the reason in Chinese on failure. A
// module loaded stays loaded for the rest of the run.
template <typename Table, typename Entry>
const Table* loadModule(const char* name, const char* file, const char* entry,
                        std::string& failure) {
    std::vector<std::string> reasons;
    std::string folders;
    for (const fs::path& folder : moduleFolders()) {
        folders += (folders.empty() ? "" : "、") + displayPath(folder);
        std::string reason;
        const Function function = openEntry(folder / file, entry, reason);
        if (!reason.empty()) {
            reasons.push_back(reason);
            continue;
        }
        const Table* table = function ? reinterpret_cast<Entry>(function)() : nullptr;
        if (table && table->interface == kModuleInterface) {
            return table;
        }
        reasons.push_back(fillIn("%1 与本程序的版本不一致", {displayPath(folder / file)}));
    }
    failure = fillIn("无法载入程序模块“%1”（查找位置：%2）；请重新安装 ravik-lcd", {name, folders});
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        failure += (i == 0 ? "。原因：" : "；") + reasons[i];
    }
    return nullptr;
}

struct Loaded {
    const void* table = nullptr;
    std::string failure;
};

// Each module is loaded once, on first use, whichever thread asks first.
template <typename Table, typename Entry>
const Table* cachedModule(const char* name, const char* file, const char* symbol,
                          std::string& failure) {
    static const Loaded loaded = [&] {
        Loaded result;
        result.table = loadModule<Table, Entry>(name, file, symbol, result.failure);
        return result;
    }();
    failure = loaded.failure;
    return static_cast<const Table*>(loaded.table);
}

} // namespace

const WindowModule* windowModule(std::string& failure) {
    return cachedModule<WindowModule, RavikWindowModuleEntry>(
        "ravik-lcd-window", RAVIK_WINDOW_MODULE_FILE, "ravik_window_module", failure);
}

const PictureModule* pictureModule(std::string& failure) {
    return cachedModule<PictureModule, RavikPictureModuleEntry>(
        "ravik-lcd-pictures", RAVIK_PICTURE_MODULE_FILE, "ravik_picture_module", failure);
}

const AssetModule* assetModule(std::string& failure) {
    return cachedModule<AssetModule, RavikAssetModuleEntry>(
        "ravik-lcd-assets", RAVIK_ASSET_MODULE_FILE, "ravik_asset_module", failure);
}

} // namespace ravik
