#include "platform/win32/wide.h"

#include <windows.h>
// shlobj.h needs windows.h first.
#include <shlobj.h>

namespace platform::win32 {

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n > 0) {
        std::wstring out(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
        return out;
    }
    // Not UTF-8: text of the system's code page (a record line, a name from another
    // program), else one character per byte.
    const std::string text = fromCodePage(utf8, ansiCodePage());
    if (!text.empty()) return widen(text);
    std::wstring out;
    for (unsigned char c : utf8) out += static_cast<wchar_t>(c);
    return out;
}

unsigned ansiCodePage() {
    static const unsigned cp = [] {
        DWORD n = 0;
        // 0 for a locale with no ANSI code page (Unicode only): Windows-1252 then.
        if (!GetLocaleInfoEx(LOCALE_NAME_SYSTEM_DEFAULT,
                             LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                             reinterpret_cast<wchar_t*>(&n), sizeof n / sizeof(wchar_t)) ||
            n == 0 || n == CP_ACP)
            return 1252u;
        return static_cast<unsigned>(n);
    }();
    return cp;
}

std::string fromCodePage(std::string_view bytes, unsigned cp) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), n);
    return narrow(wide);
}

std::string toCodePage(std::string_view utf8, unsigned cp) {
    const std::wstring wide = widen(utf8);
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    BOOL lost = FALSE;
    // No best fit: a character the code page lacks must not turn into another one.
    const DWORD flags = cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int n = WideCharToMultiByte(cp, flags, wide.data(), size, nullptr, 0, nullptr,
                                      cp == CP_UTF8 ? nullptr : &lost);
    if (n <= 0 || lost) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(cp, flags, wide.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::wstring fullPath(const std::wstring& path) {
    std::wstring full(path.size() + MAX_PATH, L'\0');
    DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    }
    full.resize(n < full.size() ? n : 0);
    return full;
}

std::wstring widePath(std::string_view utf8) {
    const std::wstring path = widen(utf8);
    // The limit is on the full path, also for a short name in a long working folder.
    const std::wstring full = fullPath(path);
    if (full.size() < MAX_PATH) return path;
    // Made full first, as past the prefix no "/", "." or ".." is resolved.
    if (full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
    if (full[0] == L'\\' && full[1] == L'\\' && full[2] != L'?' && full[2] != L'.')
        return L"\\\\?\\UNC" + full.substr(1);  // a share
    return full;
}

RuntimeError fromWin32(unsigned long code, const std::string& what) {
    int number = err::PathFileAccess;
    switch (code) {
        case ERROR_FILE_NOT_FOUND: number = err::FileNotFound; break;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY: number = err::PathNotFound; break;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: number = err::PermissionDenied; break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: number = err::DiskFull; break;
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_IO_DEVICE: number = err::DeviceIoError; break;
        case ERROR_NOT_READY:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_BAD_UNIT: number = err::DeviceUnavailable; break;
        case ERROR_TOO_MANY_OPEN_FILES: number = err::TooManyFiles; break;
        default: break;
    }
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = n && text ? narrow({text, n}) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return RuntimeError(number, what + ": " + message);
}

RuntimeError lastError(const std::string& what) {
    return fromWin32(GetLastError(), what);
}

std::string knownFolder(const GUID& id, bool create) {
    wchar_t* path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, create ? DWORD{KF_FLAG_CREATE} : 0, nullptr, &path)))
        folder = narrow(path);
    CoTaskMemFree(path);
    return folder;
}

}  // namespace platform::win32
