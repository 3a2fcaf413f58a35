#include "platform/win32/byte_codec.h"

#include "platform/byte_chars.h"

namespace platform::win32 {

std::wstring recordChars(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out += L"\r\n";
            ++i;
        } else {
            out += static_cast<wchar_t>(byteChar(b));
        }
    }
    return out;
}

std::string recordBytes(std::wstring_view chars) {
    std::string out;
    out.reserve(chars.size());
    for (wchar_t c : chars) {
        const int b = charByte(static_cast<char16_t>(c));
        out += static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

}  // namespace platform::win32
