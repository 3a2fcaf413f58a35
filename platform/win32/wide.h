// Paths and texts are UTF-8 inside the program and UTF-16 at the Win32 boundary.
#pragma once

#include <guiddef.h>

#include <string>
#include <string_view>

#include "platform/error.h"

namespace platform::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The full path of `path`, of any length; "" when it has none.
std::wstring fullPath(const std::wstring& path);
// A path for the wide file calls. One whose full path has MAX_PATH characters or more is
// made full and given the \\?\ prefix (\\?\UNC\ for a share), which lifts that limit
// where the system does not lift it for the long-path-aware manifest; shorter ones are
// only widened.
std::wstring widePath(std::string_view utf8);

// The system's ANSI code page, as its locale has it: the manifest makes CP_ACP UTF-8, but
// the files other programs share with this one are in the locale's code page.
unsigned ansiCodePage();
// Text in code page `cp` as UTF-8; "" when it is not text of that code page.
std::string fromCodePage(std::string_view bytes, unsigned cp);
// UTF-8 text in code page `cp`; "" when the code page has no character for some of it.
std::string toCodePage(std::string_view utf8, unsigned cp);

// Maps a Win32 error code to an error number and "what: system text".
RuntimeError fromWin32(unsigned long code, const std::string& what);
// The same for GetLastError().
RuntimeError lastError(const std::string& what);

// Where the shell keeps a known folder (FOLDERID_...) for the user who runs the program,
// made first when `create`; "" when it cannot say.
std::string knownFolder(const GUID& id, bool create = false);

}  // namespace platform::win32
