#include <windows.h>
// knownfolders.h needs windows.h first.
#include <knownfolders.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

bool isSep(char c) {
    return c == '\\' || c == '/';
}

// The length of the top of a full path: "c:\" (3), or "\\server\share\" for a share.
size_t topLength(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && isSep(path[2]) ? 3 : 2;
    if (path.size() >= 2 && isSep(path[0]) && isSep(path[1])) {
        size_t n = path.find_first_of("\\/", 2);
        if (n != std::string::npos) n = path.find_first_of("\\/", n + 1);
        return n == std::string::npos ? path.size() : n + 1;
    }
    return path.empty() || !isSep(path[0]) ? 0 : 1;
}

class Win32FileSystem : public FileSystem {
  public:
    FileKind kind(const std::string& path) const override {
        const DWORD a = GetFileAttributesW(win32::widePath(path).c_str());
        if (a == INVALID_FILE_ATTRIBUTES) return FileKind::None;
        if (a & FILE_ATTRIBUTE_DIRECTORY) return FileKind::Folder;
        return a & FILE_ATTRIBUTE_DEVICE ? FileKind::Other : FileKind::File;
    }

    std::vector<std::string> list(const std::string& folder, FileKind of) const override {
        std::string pattern = folder;
        if (pattern.empty() || !isSep(pattern.back())) pattern += '\\';
        pattern += '*';
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileExW(win32::widePath(pattern).c_str(), FindExInfoBasic, &found,
                                    FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD e = GetLastError();
            if (e == ERROR_FILE_NOT_FOUND) return {};  // an empty drive root
            if (e == ERROR_PATH_NOT_FOUND || e == ERROR_DIRECTORY)
                throw RuntimeError(err::PathNotFound, folder + ": Path not found");
            throw win32::fromWin32(e, folder);
        }
        std::vector<std::string> names;
        do {
            const std::wstring name = found.cFileName;
            if (name.empty() || name[0] == L'.') continue;  // "." and ".."
            if (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
            const bool folderEntry = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            if (folderEntry == (of == FileKind::Folder)) names.push_back(win32::narrow(name));
        } while (FindNextFileW(h, &found));
        FindClose(h);
        return names;
    }

    bool listable(const std::string& folder) const override {
        try {
            list(folder, FileKind::Folder);
            return kind(folder) == FileKind::Folder;
        } catch (const RuntimeError&) {
            return false;
        }
    }

    std::string currentDirectory() const override {
        const DWORD size = GetCurrentDirectoryW(0, nullptr);
        std::wstring buf(size, L'\0');
        const DWORD n = GetCurrentDirectoryW(size, buf.data());
        return n == 0 || n >= size ? std::string(".") : win32::narrow({buf.data(), n});
    }

    std::string documentsFolder() const override {
        // Asked of the shell, so a Documents folder moved elsewhere (a network share, a
        // synced folder) is found where it is.
        for (const GUID& id : {FOLDERID_Documents, FOLDERID_Profile}) {
            const std::string folder = win32::knownFolder(id);
            if (!folder.empty() && kind(folder) == FileKind::Folder) return folder;
        }
        return currentDirectory();
    }

    std::string absolute(const std::string& path) const override {
        const std::wstring wide = win32::fullPath(win32::widen(path.empty() ? "." : path));
        std::string full = wide.empty() ? path : win32::narrow(wide);
        while (full.size() > topLength(full) && isSep(full.back())) full.pop_back();
        return full;
    }

    std::string parent(const std::string& folder) const override {
        std::string f = folder;
        const size_t top = topLength(f);
        while (f.size() > top && isSep(f.back())) f.pop_back();
        if (f.size() <= top) return "";
        const size_t sep = f.find_last_of("\\/");
        if (sep == std::string::npos || sep < top) return f.substr(0, top);
        return f.substr(0, std::max(sep, top));
    }

    char separator() const override { return '\\'; }

    std::vector<std::string> places() const override {
        wchar_t buf[512];
        const DWORD n = GetLogicalDriveStringsW(511, buf);
        std::vector<std::string> drives;
        for (const wchar_t* p = buf; n > 0 && n < 512 && *p; p += wcslen(p) + 1) {
            std::string d = win32::narrow(p);  // "C:\"
            if (!d.empty()) d[0] = static_cast<char>(tolower(static_cast<unsigned char>(d[0])));
            drives.push_back(d);
        }
        if (drives.empty()) drives.push_back(homePlace());
        return drives;
    }

    std::string placeOf(const std::string& path) const override {
        std::string top = path.substr(0, topLength(path));
        if (top.size() == 2) top += '\\';
        if (top.size() >= 2 && top[1] == ':')
            top[0] = static_cast<char>(tolower(static_cast<unsigned char>(top[0])));
        return top.empty() ? homePlace() : top;
    }

    std::string homePlace() const override {
        wchar_t buf[MAX_PATH];
        const UINT n = GetSystemWindowsDirectoryW(buf, MAX_PATH);
        if (n >= 2 && buf[1] == L':')
            return std::string(1, static_cast<char>(tolower(buf[0]))) + ":\\";
        return "c:\\";
    }
};

}  // namespace

FileSystem& systemFileSystem() {
    static Win32FileSystem fs;
    return fs;
}

// Bytes that are UTF-8 and name a folder are taken as UTF-8; bytes that are not UTF-8, or
// name a folder only in the code page, as the code page's.
std::string settingsFolder(const std::string& bytes, const FileSystem& fs) {
    const std::string ansi = win32::fromCodePage(bytes, win32::ansiCodePage());
    if (ansi.empty() || ansi == bytes) return bytes;
    if (win32::fromCodePage(bytes, CP_UTF8).empty()) return ansi;
    return fs.kind(bytes) != FileKind::Folder && fs.kind(ansi) == FileKind::Folder ? ansi : bytes;
}

// A folder the code page has no name for stays UTF-8.
std::string settingsBytes(const std::string& folder) {
    const std::string ansi = win32::toCodePage(folder, win32::ansiCodePage());
    return ansi.empty() ? folder : ansi;
}

}  // namespace platform
