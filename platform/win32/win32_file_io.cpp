#include <windows.h>

#include "platform/file_io.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_file_io.h"

namespace platform::win32 {

void (*sharedPause)() = [] { Sleep(50); };

bool retryShared(const std::function<bool()>& call, bool denied) {
    for (int pauses = 0;; ++pauses) {
        if (call()) return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION &&
             (!denied || error != ERROR_ACCESS_DENIED)) ||
            pauses == 20)
            return false;
        sharedPause();
    }
}

}  // namespace platform::win32

namespace platform::io {

namespace {
HANDLE handle(Handle h) {
    return reinterpret_cast<HANDLE>(h);
}

// With Links::Refuse a name-surrogate reparse point (a symbolic link, a junction) is
// opened itself, not followed, and refused; any other (a cloud placeholder, a deduplicated
// file) is the file it stands for, read through the filter that owns it.
HANDLE openExisting(const std::string& path, DWORD access, DWORD share, DWORD flags, Links links) {
    const std::wstring wide = win32::widePath(path);
    auto open = [&](DWORD how) {
        HANDLE h = INVALID_HANDLE_VALUE;
        if (!win32::retryShared(
                [&] {
                    h = CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING, how,
                                    nullptr);
                    return h != INVALID_HANDLE_VALUE;
                },
                false))
            throw win32::lastError(path);
        return h;
    };
    if (links == Links::Follow) return open(flags);
    HANDLE h = open(flags | FILE_FLAG_OPEN_REPARSE_POINT);
    auto refuse = [&](const RuntimeError& e) {
        CloseHandle(h);
        throw e;
    };
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag))
        refuse(win32::lastError(path));
    const bool reparse = tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
    // Only a reparse point that names another file (a symbolic link, a junction) is a
    // link; a cloud placeholder or a deduplicated file holds this file's data its own way.
    if (reparse && IsReparseTagNameSurrogate(tag.ReparseTag))
        refuse(RuntimeError(err::PathFileAccess, path + ": a symbolic link"));
    if (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        refuse(RuntimeError(err::PathFileAccess, path + ": not a file"));
    if (!reparse) return h;
    // Opened as the reparse point, past its filter: opened again through it, and taken
    // only when that is still the same file, not a link put there meanwhile.
    BY_HANDLE_FILE_INFORMATION before{}, after{};
    if (!GetFileInformationByHandle(h, &before)) refuse(win32::lastError(path));
    CloseHandle(h);
    h = open(flags);
    if (!GetFileInformationByHandle(h, &after)) refuse(win32::lastError(path));
    if (after.dwVolumeSerialNumber != before.dwVolumeSerialNumber ||
        after.nFileIndexHigh != before.nFileIndexHigh ||
        after.nFileIndexLow != before.nFileIndexLow)
        refuse(RuntimeError(err::PathFileAccess, path + ": a symbolic link"));
    return h;
}
}  // namespace

namespace {
// Only files on disk: a device or a pipe given as a name must not hang the program.
Handle onDisk(HANDLE h, const std::string& path) {
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        throw RuntimeError(err::PathFileAccess, path + ": not a file");
    }
    return reinterpret_cast<Handle>(h);
}
}  // namespace

Handle openInput(const std::string& path, Links links) {
    return onDisk(
        openExisting(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, links),
        path);
}

Handle openUpdate(const std::string& path) {
    // Kept out by another program's handle: it holds the file, and that is not waited out.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE probe = CreateFileW(win32::widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, share,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) return NoHandle;
    if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
    return onDisk(openExisting(path, GENERIC_READ | GENERIC_WRITE, share, FILE_ATTRIBUTE_NORMAL,
                               Links::Refuse),
                  path);
}

Handle createNew(const std::string& path) {
    HANDLE h = CreateFileW(win32::widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h != INVALID_HANDLE_VALUE) return reinterpret_cast<Handle>(h);
    if (GetLastError() == ERROR_FILE_EXISTS) return NoHandle;
    throw win32::lastError(path);
}

bool hold(Handle h) {
    // A byte far past any end: the lock keeps other programs out of holding it, never out
    // of reading or writing its bytes.
    OVERLAPPED at{};
    at.OffsetHigh = 0x7fffffff;
    return LockFileEx(handle(h), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                      &at) ||
           GetLastError() != ERROR_LOCK_VIOLATION;
}

// MoveFileExW does not replace a file that is open, so an open file is the one at its name.
bool isAt(Handle, const std::string&) {
    return true;
}

void removeLeftovers(const std::string& dir) {
    const std::string folder = dir.empty() || dir == "." ? std::string() : dir + "\\";
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(win32::widePath(folder + "~vorbixloader.*.tmp").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        // A live program's is open without sharing and stays; links and folders are not
        // the program's.
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        DeleteFileW(win32::widePath(folder + win32::narrow(found.cFileName)).c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

void empty(Handle h, const std::string& what) {
    if (!SetFilePointerEx(handle(h), LARGE_INTEGER{}, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(handle(h)))
        throw win32::lastError(what);
    flush(h, what);
}

int64_t sizeOf(Handle h, const std::string& what) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle(h), &size)) throw win32::lastError(what);
    return size.QuadPart;
}

// MoveFileExW replaces a link at the target, never writing through it: `links` changes
// nothing here.
Output createOutput(const std::string& name, Links) {
    const std::wstring wide = win32::widePath(name);
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
        HANDLE h = CreateFileW(win32::widePath(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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
    const std::wstring temp = win32::widePath(out.temp), target = win32::widePath(out.target);
    if (!win32::retryShared([&] {
            return MoveFileExW(temp.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        }))
        throw win32::lastError(out.target);
    if (!keepOpen) return NoHandle;
    // Opened again by name (the moved file was opened without sharing): what is there now
    // is taken only when it is a file, never followed when it is a link.
    HANDLE h = openExisting(out.target, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            FILE_ATTRIBUTE_NORMAL, Links::Refuse);
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
    DeleteFileW(win32::widePath(path).c_str());
}

bool moveAside(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING an existing `to` stays; a link moves as itself.
    const std::wstring source = win32::widePath(from), target = win32::widePath(to);
    if (win32::retryShared([&] {
            return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
        }))
        return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
    throw win32::fromWin32(error, from);
}

}  // namespace platform::io
