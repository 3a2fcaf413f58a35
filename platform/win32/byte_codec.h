// Record text as a multi-line EDIT holds it: one character per byte, a CR LF pair as
// "\r\n" (two characters), so that caret positions are byte offsets as they are.
#pragma once

#include <string>
#include <string_view>

namespace platform::win32 {

std::wstring recordChars(std::string_view bytes);
std::string recordBytes(std::wstring_view chars);

}  // namespace platform::win32
