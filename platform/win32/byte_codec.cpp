#include "platform/win32/byte_codec.h"

#include <windows.h>

#include <algorithm>

#include "platform/byte_chars.h"
#include "platform/win32/wide.h"

namespace platform::win32 {

std::array<wchar_t, 256> byteCharsOf(unsigned cp) {
    std::array<wchar_t, 256> chars{};
    for (int b = 0; b < 0x80; ++b) chars[b] = static_cast<wchar_t>(byteChar(b));
    for (int b = 0x80; b < 0x100; ++b) {
        const char byte = static_cast<char>(b);
        wchar_t c = 0;
        if (MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, &byte, 1, &c, 1) != 1 || c < 0x20 ||
            std::find(chars.begin(), chars.begin() + b, c) != chars.begin() + b)
            c = 0;
        chars[b] = c;
    }
    // Bytes without a character of their own, as Windows-1252 shows them unless that
    // character is taken, then a private-use one, so that each byte stays apart.
    for (int b = 0x80; b < 0x100; ++b) {
        if (chars[b]) continue;
        const auto c = static_cast<wchar_t>(byteChar(static_cast<unsigned char>(b)));
        const bool taken = std::find(chars.begin(), chars.end(), c) != chars.end();
        chars[b] = taken ? static_cast<wchar_t>(0xF000 + b) : c;
    }
    return chars;
}

wchar_t recordChar(unsigned char b) {
    static const std::array<wchar_t, 256> chars = byteCharsOf(ansiCodePage());
    return chars[b];
}

std::wstring recordChars(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out += L"\r\n";
            ++i;
        } else {
            out += recordChar(b);
        }
    }
    return out;
}

}  // namespace platform::win32
