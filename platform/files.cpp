#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/error.h"

namespace platform {

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

struct Files::File {
    int fd = -1;
    bool output = false;
    std::string target;  // output: the name the temporary file becomes
    std::string temp;
    std::string buf;  // input: bytes read, not yet consumed from `pos`; output: pending
    size_t pos = 0;
    bool atEnd = false;
};

Files::Files() = default;

Files::~Files() {
    while (!open_.empty()) discard(open_.begin()->first);
}

int16_t Files::freeFile() const {
    int16_t n = 1;
    while (open_.count(n)) ++n;
    if (n > 511) throw RuntimeError(err::TooManyFiles, "Too many files");
    return n;
}

Files::File& Files::get(int16_t n) {
    auto it = open_.find(n);
    if (it == open_.end()) throw RuntimeError(err::BadFileNumber, "Bad file name or number");
    return *it->second;
}

void Files::openInput(int16_t n, const std::string& path) {
    if (open_.count(n)) throw RuntimeError(err::FileAlreadyOpen, "File already open");
    // Not blocking: a named pipe (or a device) given as a file name must not hang the
    // program; only regular files are read.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw fromErrno(errno, path);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw RuntimeError(err::PathFileAccess, path + ": not a file");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    auto f = std::make_unique<File>();
    f->fd = fd;
    open_[n] = std::move(f);
}

void Files::openOutput(int16_t n, const std::string& name) {
    if (open_.count(n)) throw RuntimeError(err::FileAlreadyOpen, "File already open");
    // Replacing a link's target, not the link; a new file keeps the old one's mode.
    std::string path = name;
    if (char* real = ::realpath(name.c_str(), nullptr)) {
        path = real;
        ::free(real);
    }
    auto slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) throw RuntimeError(err::PathFileAccess, name + ": no file name");
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        throw RuntimeError(err::PathFileAccess, name + ": is a folder");
    std::string temp = (slash == std::string::npos ? std::string() : dir) + "." + base + ".XXXXXX";
    std::vector<char> tempName(temp.begin(), temp.end());
    tempName.push_back('\0');
    int fd = ::mkostemp(tempName.data(), O_CLOEXEC);
    if (fd < 0) throw fromErrno(errno, name);
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, exists ? st.st_mode & 07777 : 0666 & ~mask);
    auto f = std::make_unique<File>();
    f->fd = fd;
    f->output = true;
    f->target = path;
    f->temp = tempName.data();
    open_[n] = std::move(f);
}

void Files::flush(File& f) {
    size_t done = 0;
    while (done < f.buf.size()) {
        ssize_t w = ::write(f.fd, f.buf.data() + done, f.buf.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            f.buf.clear();
            throw fromErrno(e, f.target);
        }
        done += static_cast<size_t>(w);
    }
    f.buf.clear();
}

void Files::print(int16_t n, std::string_view bytes) {
    File& f = get(n);
    if (!f.output) throw RuntimeError(err::BadFileMode, "Bad file mode");
    f.buf.append(bytes);
    if (f.buf.size() >= 1 << 16) flush(f);
}

void Files::fill(File& f) {
    if (f.atEnd) return;
    if (f.pos > 0) {
        f.buf.erase(0, f.pos);
        f.pos = 0;
    }
    char chunk[1 << 16];
    for (;;) {
        ssize_t r = ::read(f.fd, chunk, sizeof chunk);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) throw fromErrno(errno, "read");
        if (r == 0) f.atEnd = true;
        f.buf.append(chunk, static_cast<size_t>(r));
        return;
    }
}

std::string Files::readAll(int16_t n) {
    File& f = get(n);
    if (f.output) throw RuntimeError(err::BadFileMode, "Bad file mode");
    while (!f.atEnd) fill(f);
    std::string all = f.buf.substr(f.pos);
    f.pos = f.buf.size();
    return all;
}

bool Files::eof(int16_t n) {
    File& f = get(n);
    if (f.output) throw RuntimeError(err::BadFileMode, "Bad file mode");
    while (f.pos >= f.buf.size() && !f.atEnd) fill(f);
    return f.pos >= f.buf.size();
}

std::string Files::lineInput(int16_t n) {
    if (eof(n)) throw RuntimeError(err::InputPastEnd, "Input past end of file");
    File& f = get(n);
    size_t from = f.pos;
    for (;;) {
        size_t end = f.buf.find_first_of("\r\n", from);
        if (end == std::string::npos) {
            if (f.atEnd) {
                std::string line = f.buf.substr(f.pos);
                f.pos = f.buf.size();
                return line;
            }
            from = f.buf.size() - f.pos;
            fill(f);  // moves the unread bytes to the front
            continue;
        }
        if (f.buf[end] == '\r' && end + 1 == f.buf.size() && !f.atEnd) {
            from = end - f.pos;
            fill(f);  // need the byte after the CR
            continue;
        }
        std::string line = f.buf.substr(f.pos, end - f.pos);
        f.pos = end + 1;
        if (f.buf[end] == '\r' && f.pos < f.buf.size() && f.buf[f.pos] == '\n') ++f.pos;
        return line;
    }
}

void Files::close(int16_t n) {
    auto it = open_.find(n);
    if (it == open_.end()) return;
    File& f = *it->second;
    if (f.output) {
        try {
            flush(f);
            if (::fsync(f.fd) != 0) throw fromErrno(errno, f.target);
            if (::close(f.fd) != 0) {
                f.fd = -1;
                throw fromErrno(errno, f.target);
            }
            f.fd = -1;
            if (::rename(f.temp.c_str(), f.target.c_str()) != 0) throw fromErrno(errno, f.target);
            syncFolderOf(f.target);
        } catch (...) {
            discard(n);
            throw;
        }
    } else {
        ::close(f.fd);
    }
    open_.erase(it);
}

void Files::discard(int16_t n) noexcept {
    auto it = open_.find(n);
    if (it == open_.end()) return;
    File& f = *it->second;
    if (f.fd >= 0) ::close(f.fd);
    if (f.output) ::unlink(f.temp.c_str());
    open_.erase(it);
}

void Files::closeAll() {
    while (!open_.empty()) close(open_.begin()->first);
}

}  // namespace platform
