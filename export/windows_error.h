#pragma once

// Windows only: the system's own words for an error code, for the detail after our sentences.

#include <string>

namespace ravik {

// FormatMessageW's text for a Windows error code, in the user's language, as UTF-8 with no line
// end (std::system_category() gives it in the ANSI code page, ending in "\r\n"); "Windows 错误
// <code>" when the system has no text for it.
std::string windowsErrorText(unsigned long code);

} // namespace ravik
