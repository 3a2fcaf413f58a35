#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/posix/errno_error.h"
#include "platform/posix/places.h"

namespace platform {

namespace {

FileKind kindOf(const struct stat& st) {
    return S_ISDIR(st.st_mode)   ? FileKind::Folder
           : S_ISREG(st.st_mode) ? FileKind::File
                                 : FileKind::Other;
}

class PosixFileSystem : public FileSystem {
  public:
    FileKind kind(const std::string& path) const override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? kindOf(st) : FileKind::None;
    }

    std::vector<std::string> list(const std::string& folder, FileKind of) const override {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) {
            const int e = errno;
            if (e == ENOENT || e == ENOTDIR)
                throw RuntimeError(err::PathNotFound, folder + ": Path not found");
            throw fromErrno(e, folder);
        }
        std::vector<std::string> names;
        const std::string prefix = folder == "/" ? folder : folder + "/";
        while (const dirent* d = ::readdir(dir)) {
            const std::string name = d->d_name;
            if (name.empty() || name[0] == '.') continue;          // hidden, "." and ".."
            if (kind(prefix + name) == of) names.push_back(name);  // not a dangling link
        }
        ::closedir(dir);
        return names;
    }

    bool listable(const std::string& folder) const override {
        DIR* d = ::opendir(folder.c_str());
        if (!d) return false;
        ::closedir(d);
        return true;
    }

    std::string currentDirectory() const override {
        std::error_code ec;
        auto p = std::filesystem::current_path(ec);
        return ec ? std::string(".") : p.string();
    }

    std::string documentsFolder() const override {
        const char* h = std::getenv("HOME");
        if (!h || h[0] != '/') return currentDirectory();
        const std::string home = h;
        const char* c = std::getenv("XDG_CONFIG_HOME");
        const std::string config = c && c[0] == '/' ? c : home + "/.config";
        std::ifstream in(config + "/user-dirs.dirs");
        std::ostringstream text;
        if (in) text << in.rdbuf();
        const std::string docs = documentsFolderIn(text.str(), home);
        if (kind(docs) == FileKind::Folder) return docs;
        return kind(home) == FileKind::Folder ? home : currentDirectory();
    }

    std::string absolute(const std::string& path) const override {
        std::string f = !path.empty() && path[0] == '/' ? path : currentDirectory() + "/" + path;
        while (f.size() > 1 && f.back() == '/') f.pop_back();
        return f;
    }

    std::string parent(const std::string& folder) const override {
        std::string f = folder;
        while (f.size() > 1 && f.back() == '/') f.pop_back();
        const auto slash = f.rfind('/');
        if (f == "/" || slash == std::string::npos) return "";
        f.erase(slash == 0 ? 1 : slash);
        return f;
    }

    char separator() const override { return '/'; }
    std::vector<std::string> places() const override { return platform::places(); }
    std::string placeOf(const std::string& path) const override { return platform::placeOf(path); }
    std::string homePlace() const override { return "/"; }
};

}  // namespace

FileSystem& systemFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

std::string settingsFolder(const std::string& bytes, const FileSystem&) {
    return bytes;
}

std::string settingsBytes(const std::string& folder) {
    return folder;
}

}  // namespace platform
