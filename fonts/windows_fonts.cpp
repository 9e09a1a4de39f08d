#include "fonts/windows_fonts.h"

#include "fonts/font_faults.h"

#include <windows.h>
#include <algorithm>
#include <cwctype>

namespace ravik::fonts {

namespace {

// One registry entry: "Microsoft YaHei & Microsoft YaHei UI (TrueType)" = "msyh.ttc" names two
// families, the faces 0 and 1 of the collection.
struct InstalledFont {
    std::wstring family;
    std::wstring file;
    int face = 0;
};

std::string utf8(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string converted(std::size_t(std::max(length, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), converted.data(), length,
                        nullptr, nullptr);
    return converted;
}

std::wstring wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring converted(std::size_t(std::max(length, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), converted.data(), length);
    return converted;
}

std::wstring lowered(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

// The folder file names without one are relative to: the Windows fonts folder.
std::wstring fontsFolder() {
    wchar_t windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows, length > 0 && length < MAX_PATH ? length : 0) + L"\\Fonts\\";
}

void readFontsKey(HKEY root, std::vector<InstalledFont>& fonts) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0, KEY_READ,
                      &key) != ERROR_SUCCESS) {
        return;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        wchar_t data[MAX_PATH * 2];
        DWORD nameLength = std::size(name);
        DWORD dataSize = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG status = RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        data[dataSize / sizeof(wchar_t)] = L'\0';
        std::wstring names(name, nameLength);
        // Only outline fonts: the entries FreeType can render to any size.
        const std::size_t kind = names.rfind(L" (");
        if (kind == std::wstring::npos ||
            (names.compare(kind, std::wstring::npos, L" (TrueType)") != 0 &&
             names.compare(kind, std::wstring::npos, L" (OpenType)") != 0)) {
            continue;
        }
        names.resize(kind);
        std::wstring file(data);
        if (file.find(L'\\') == std::wstring::npos && file.find(L'/') == std::wstring::npos) {
            file = fontsFolder() + file;
        }
        int face = 0;
        for (std::size_t start = 0;; ++face) {
            const std::size_t end = names.find(L" & ", start);
            fonts.push_back({names.substr(start, end - start), file, face});
            if (end == std::wstring::npos) {
                break;
            }
            start = end + 3;
        }
    }
    RegCloseKey(key);
}

std::vector<InstalledFont> installedFonts() {
    std::vector<InstalledFont> fonts;
    readFontsKey(HKEY_LOCAL_MACHINE, fonts);
    readFontsKey(HKEY_CURRENT_USER, fonts);
    return fonts;
}

} // namespace

FontFile findWindowsFont(const std::string& family) {
    const std::vector<InstalledFont> fonts = installedFonts();
    std::vector<std::string> wanted;
    if (family.empty()) {
        wanted.assign(std::begin(kDefaultWindowsFamilies), std::end(kDefaultWindowsFamilies));
    } else {
        wanted.push_back(family);
    }
    for (const std::string& name : wanted) {
        const std::wstring key = lowered(wide(name));
        for (const InstalledFont& font : fonts) {
            if (lowered(font.family) == key) {
                return FontFile{utf8(font.file), font.face};
            }
        }
    }
    throw FontError(FontFault::FontNotFound,
                    family.empty() ? std::string("Microsoft YaHei") : family);
}

std::vector<std::string> windowsFontFamilies() {
    std::vector<std::string> families;
    for (const InstalledFont& font : installedFonts()) {
        families.push_back(utf8(font.family));
    }
    std::sort(families.begin(), families.end());
    families.erase(std::unique(families.begin(), families.end()), families.end());
    return families;
}

bool isWindowsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool readWindowsFile(const std::string& path, std::vector<unsigned char>& bytes) {
    const HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size{};
    bool read = GetFileSizeEx(file, &size) != 0 && size.QuadPart < (LONGLONG{1} << 31);
    if (read) {
        bytes.resize(std::size_t(size.QuadPart));
        std::size_t done = 0;
        while (read && done < bytes.size()) {
            DWORD got = 0;
            read = ReadFile(file, bytes.data() + done, DWORD(bytes.size() - done), &got, nullptr) &&
                   got > 0;
            done += got;
        }
    }
    CloseHandle(file);
    return read;
}

} // namespace ravik::fonts
