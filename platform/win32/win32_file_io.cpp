#include <windows.h>

#include "platform/file_io.h"
#include "platform/win32/wide.h"

namespace platform::io {

namespace {
HANDLE handle(Handle h) {
    return reinterpret_cast<HANDLE>(h);
}

// With Links::Refuse a reparse point is opened itself, not followed, and then refused.
DWORD linkFlag(Links links) {
    return links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
}
void refuseLink(HANDLE h, Links links, const std::string& path) {
    if (links == Links::Follow) return;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) {
        const RuntimeError e = win32::lastError(path);
        CloseHandle(h);
        throw e;
    }
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(h);
        throw RuntimeError(
            err::PathFileAccess,
            path + (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? ": a symbolic link"
                                                                         : ": not a file"));
    }
}
}  // namespace

Handle openInput(const std::string& path, Links links) {
    HANDLE h =
        CreateFileW(win32::widen(path).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | linkFlag(links), nullptr);
    if (h == INVALID_HANDLE_VALUE) throw win32::lastError(path);
    refuseLink(h, links, path);
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

// MoveFileExW replaces a link at the target, never writing through it: `links` changes
// nothing here.
Output createOutput(const std::string& name, Links) {
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

void flush(Handle h, const std::string& what) {
    if (!FlushFileBuffers(handle(h))) throw win32::lastError(what);
}

Handle commit(Output& out, bool keepOpen) {
    flush(out.handle, out.target);
    CloseHandle(handle(out.handle));
    out.handle = NoHandle;
    const std::wstring target = win32::widen(out.target);
    if (!MoveFileExW(win32::widen(out.temp).c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw win32::lastError(out.target);
    if (!keepOpen) return NoHandle;
    // Opened again by name (the moved file was opened without sharing): what is there now
    // is taken only when it is a file, never followed when it is a link.
    HANDLE h =
        CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | linkFlag(Links::Refuse), nullptr);
    if (h == INVALID_HANDLE_VALUE) throw win32::lastError(out.target);
    refuseLink(h, Links::Refuse, out.target);
    if (!SetFilePointerEx(h, LARGE_INTEGER{}, nullptr, FILE_END)) {
        const RuntimeError e = win32::lastError(out.target);
        CloseHandle(h);
        throw e;
    }
    return reinterpret_cast<Handle>(h);
}

void close(Handle h) noexcept {
    if (h != NoHandle) CloseHandle(handle(h));
}

void remove(const std::string& path) noexcept {
    DeleteFileW(win32::widen(path).c_str());
}

bool moveAside(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING an existing `to` stays; a link moves as itself.
    if (MoveFileExW(win32::widen(from).c_str(), win32::widen(to).c_str(), MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
    throw win32::fromWin32(error, from);
}

}  // namespace platform::io
