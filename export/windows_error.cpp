#include "export/windows_error.h"

#include <windows.h>

namespace ravik {

std::string windowsErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' ||
                                message.back() == L' ' || message.back() == L'\t')) {
        message.pop_back();
    }
    if (message.empty()) {
        return "Windows 错误 " + std::to_string(code);
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, message.data(), int(message.size()), nullptr,
                                         0, nullptr, nullptr);
    std::string converted(std::size_t(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, message.data(), int(message.size()), converted.data(), size,
                        nullptr, nullptr);
    return converted;
}

} // namespace ravik
