// Paths and texts are UTF-8 inside the program and UTF-16 at the Win32 boundary.
#pragma once

#include <string>
#include <string_view>

#include "platform/error.h"

namespace platform::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// Maps a Win32 error code to an error number and "what: system text".
RuntimeError fromWin32(unsigned long code, const std::string& what);
// The same for GetLastError().
RuntimeError lastError(const std::string& what);

}  // namespace platform::win32
