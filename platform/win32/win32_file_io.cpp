#include <windows.h>

#include "platform/file_io.h"
#include "platform/win32/wide.h"

namespace platform::io {

namespace {
HANDLE handle(Handle h) {
    return reinterpret_cast<HANDLE>(h);
}
}  // namespace

Handle openInput(const std::string& path) {
    HANDLE h =
        CreateFileW(win32::widen(path).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw win32::lastError(path);
    // Only files on disk: a device or a pipe given as a name must not hang the program.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        throw RuntimeError(err::PathFileAccess, path + ": not a file");
    }
    return reinterpret_cast<Handle>(h);
}

int64_t sizeOf(Handle h, const std::string& what) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle(h), &size)) throw win32::lastError(what);
    return size.QuadPart;
}

Output createOutput(const std::string& name) {
    const std::wstring wide = win32::widen(name);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw RuntimeError(err::PathFileAccess, name + ": is a folder");
    const auto sep = name.find_last_of("\\/:");
    const std::string base = sep == std::string::npos ? name : name.substr(sep + 1);
    if (base.empty()) throw RuntimeError(err::PathFileAccess, name + ": no file name");
    const std::string dir = sep == std::string::npos ? std::string() : name.substr(0, sep + 1);
    for (unsigned attempt = 0;; ++attempt) {
        // Of a fixed length: any name the file system takes for the target will do.
        const std::string temp = dir + "~vorbixloader." + std::to_string(GetCurrentProcessId()) +
                                 "." + std::to_string(attempt) + ".tmp";
        HANDLE h = CreateFileW(win32::widen(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) return {reinterpret_cast<Handle>(h), name, temp};
        if (GetLastError() != ERROR_FILE_EXISTS || attempt == 100) throw win32::lastError(name);
    }
}

size_t read(Handle h, char* data, size_t size, const std::string& what) {
    DWORD got = 0;
    if (!ReadFile(handle(h), data, static_cast<DWORD>(size), &got, nullptr))
        throw win32::lastError(what);
    return got;
}

void writeAll(Handle h, const char* data, size_t size, const std::string& what) {
    while (size > 0) {
        DWORD done = 0;
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        if (!WriteFile(handle(h), data, chunk, &done, nullptr)) throw win32::lastError(what);
        data += done;
        size -= done;
    }
}

void commit(Output& out) {
    if (!FlushFileBuffers(handle(out.handle))) throw win32::lastError(out.target);
    CloseHandle(handle(out.handle));
    out.handle = NoHandle;
    if (!MoveFileExW(win32::widen(out.temp).c_str(), win32::widen(out.target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw win32::lastError(out.target);
}

void close(Handle h) noexcept {
    if (h != NoHandle) CloseHandle(handle(h));
}

void remove(const std::string& path) noexcept {
    DeleteFileW(win32::widen(path).c_str());
}

}  // namespace platform::io
