// Record text as the record view shows it: one character per byte, a CR LF pair as "\r\n"
// (two characters), so that caret positions are byte offsets as they are. A byte shows as
// the character the system's ANSI code page gives it.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace platform::win32 {

// The character each byte shows as in code page `cp`: ASCII as itself, control bytes as
// their control pictures, a byte the code page has no single character for (a lead byte
// of a double-byte code page) as Windows-1252 shows it; never two bytes as one character.
std::array<wchar_t, 256> byteCharsOf(unsigned cp);
// The character byte `b` shows as, in the system's ANSI code page.
wchar_t recordChar(unsigned char b);

std::wstring recordChars(std::string_view bytes);

}  // namespace platform::win32
