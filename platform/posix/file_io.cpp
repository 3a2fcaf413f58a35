#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/file_io.h"
#include "platform/posix/errno_error.h"

namespace platform::io {

namespace {
// Makes a rename durable: the new name lives in the folder's own data.
void syncFolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : path.substr(0, slash);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}
}  // namespace

namespace {
// Opens an existing regular file with `flags`; anything else is refused without blocking.
int openRegular(const std::string& path, int flags, Links links) {
    // Not blocking: a named pipe (or a device) given as a file name must not hang the
    // program; only regular files are read.
    const int noFollow = links == Links::Refuse ? O_NOFOLLOW : 0;
    int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | noFollow);
    if (fd < 0 && errno == ELOOP && noFollow)
        throw RuntimeError(err::PathFileAccess, path + ": a symbolic link");
    if (fd < 0) throw fromErrno(errno, path);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw RuntimeError(err::PathFileAccess, path + ": not a file");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}
}  // namespace

Handle openInput(const std::string& path, Links links) {
    return openRegular(path, O_RDONLY, links);
}

Handle openUpdate(const std::string& path) {
    return openRegular(path, O_RDWR, Links::Refuse);
}

Handle createNew(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) return NoHandle;
    if (fd < 0) throw fromErrno(errno, path);
    syncFolderOf(path);
    return fd;
}

bool hold(Handle h) {
    // Where the file system has no locks, one program alone can still use it.
    return ::flock(static_cast<int>(h), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

bool isAt(Handle h, const std::string& path) {
    struct stat open {
    }, named{};
    return ::fstat(static_cast<int>(h), &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void removeLeftovers(const std::string& dir) {
    const int at = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (at < 0) return;
    DIR* d = ::fdopendir(at);
    if (!d) {
        ::close(at);
        return;
    }
    const std::string prefix = ".vorbixloader-";  // createOutput's, and six characters
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) continue;
        const int fd = ::openat(at, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat open {
        }, named{};
        // Only a regular file of this user's that no live program is writing, and still
        // the one at the name.
        if (::fstat(fd, &open) == 0 && S_ISREG(open.st_mode) && open.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(at, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_ino == open.st_ino && named.st_dev == open.st_dev)
            ::unlinkat(at, e->d_name, 0);
        ::close(fd);
    }
    ::closedir(d);
}

void empty(Handle h, const std::string& what) {
    if (::ftruncate(static_cast<int>(h), 0) != 0) throw fromErrno(errno, what);
    flush(h, what);
}

int64_t sizeOf(Handle h, const std::string& what) {
    struct stat st {};
    if (::fstat(static_cast<int>(h), &st) != 0) throw fromErrno(errno, what);
    return st.st_size;
}

Output createOutput(const std::string& name, Links links) {
    // Replacing a link's target, not the link (unless refused).
    std::string path = name;
    if (links == Links::Follow) {
        if (char* real = ::realpath(name.c_str(), nullptr)) {
            path = real;
            ::free(real);
        }
    }
    auto slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) throw RuntimeError(err::PathFileAccess, name + ": no file name");
    struct stat st {};
    const bool exists = ::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode);
    if (exists && S_ISDIR(st.st_mode))
        throw RuntimeError(err::PathFileAccess, name + ": is a folder");
    std::string temp = (slash == std::string::npos ? std::string() : dir) + ".vorbixloader-XXXXXX";
    std::vector<char> tempName(temp.begin(), temp.end());
    tempName.push_back('\0');
    // A fresh name, made exclusively (O_EXCL): never a file someone else put there.
    int fd = ::mkostemp(tempName.data(), O_CLOEXEC);
    if (fd < 0) throw fromErrno(errno, name);
    ::flock(fd, LOCK_EX | LOCK_NB);  // in use: removeLeftovers() passes it by
    // The mode the umask gives, as for any new file: never one copied from a file already
    // there (another user's, say, with set-id bits).
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    return {fd, path, tempName.data()};
}

size_t read(Handle h, char* data, size_t size, const std::string& what) {
    for (;;) {
        const ssize_t r = ::read(static_cast<int>(h), data, size);
        if (r >= 0) return static_cast<size_t>(r);
        if (errno != EINTR) throw fromErrno(errno, what);
    }
}

void writeAll(Handle h, const char* data, size_t size, const std::string& what) {
    size_t done = 0;
    while (done < size) {
        ssize_t w = ::write(static_cast<int>(h), data + done, size - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            throw fromErrno(errno, what);
        }
        done += static_cast<size_t>(w);
    }
}

void flush(Handle h, const std::string& what) {
    if (::fdatasync(static_cast<int>(h)) != 0) throw fromErrno(errno, what);
}

Handle commit(Output& out, bool keepOpen) {
    const int fd = static_cast<int>(out.handle);
    if (::fsync(fd) != 0) throw fromErrno(errno, out.target);
    if (!keepOpen) {
        out.handle = NoHandle;
        if (::close(fd) != 0) throw fromErrno(errno, out.target);
    }
    if (::rename(out.temp.c_str(), out.target.c_str()) != 0) throw fromErrno(errno, out.target);
    syncFolderOf(out.target);
    return std::exchange(out.handle, NoHandle);
}

void close(Handle h) noexcept {
    if (h != NoHandle) ::close(static_cast<int>(h));
}

void remove(const std::string& path) noexcept {
    ::unlink(path.c_str());
}

bool moveAside(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST) return false;
        // A file system without it: a second name, then the first goes.
        if (errno != EINVAL && errno != ENOSYS) throw fromErrno(errno, from);
        if (::link(from.c_str(), to.c_str()) != 0) {
            if (errno == EEXIST) return false;
            throw fromErrno(errno, from);
        }
        ::unlink(from.c_str());
    }
    syncFolderOf(to);
    return true;
}

}  // namespace platform::io
