#include "platform/posix/uucp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/error.h"

namespace platform::posix {

namespace {

std::string lockName(const std::string& device) {
    const auto slash = device.rfind('/');
    return "LCK.." + (slash == std::string::npos ? device : device.substr(slash + 1));
}

// The pid in a lock file; 0 when it holds none, -1 when it exists but cannot be read,
// so it cannot be judged stale.
pid_t pidIn(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT ? 0 : -1;
    char text[31];
    const ssize_t n = ::read(fd, text, sizeof text);
    ::close(fd);
    if (n < 0) return -1;
    return lockFilePid(std::string_view(text, static_cast<size_t>(n)));
}

bool alive(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

}  // namespace

int lockFilePid(std::string_view bytes) {
    char text[32] = {};  // strtol stops at the NUL after what was read
    const size_t n = std::min(bytes.size(), sizeof text - 1);
    std::memcpy(text, bytes.data(), n);
    long pid = 0;
    if (n == 4 && !(text[0] == ' ' || (text[0] >= '0' && text[0] <= '9'))) {
        int32_t binary = 0;
        std::memcpy(&binary, text, sizeof binary);
        pid = binary;
    } else {
        pid = std::strtol(text, nullptr, 10);
    }
    // Beyond the kernel's limit on pids it is garbage, not a holder.
    return pid > 0 && pid <= 0x3fffffff ? static_cast<int>(pid) : 0;
}

pid_t lockHolder(const std::vector<std::string>& dirs, const std::string& device) {
    for (const auto& dir : dirs) {
        const pid_t holder = pidIn(dir + "/" + lockName(device));
        if (holder > 0 && alive(holder)) return holder;
    }
    return 0;
}

std::string takeLock(const std::vector<std::string>& dirs, const std::string& device,
                     const std::string& port) {
    for (const auto& dir : dirs) {
        if (::access(dir.c_str(), W_OK) != 0) continue;
        const std::string path = dir + "/" + lockName(device);
        // Written beside and linked into place, so nobody ever reads a half-written file.
        const std::string tmp = dir + "/LTMP." + std::to_string(::getpid());
        // Made exclusively, never through a link: one left by a crashed process of this pid,
        // or put there by anyone, is removed (the name itself, not what it leads to) first.
        const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
        int fd = ::open(tmp.c_str(), flags, 0644);
        if (fd < 0 && errno == EEXIST && ::unlink(tmp.c_str()) == 0)
            fd = ::open(tmp.c_str(), flags, 0644);
        if (fd < 0) continue;
        char text[16];
        const int len = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
        const bool written = ::write(fd, text, len) == len;
        ::close(fd);
        if (!written) {
            ::unlink(tmp.c_str());
            continue;
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (::link(tmp.c_str(), path.c_str()) == 0) {
                ::unlink(tmp.c_str());
                return path;
            }
            if (errno != EEXIST) break;
            const pid_t holder = pidIn(path);
            if (holder != 0 && (holder < 0 || alive(holder))) {
                ::unlink(tmp.c_str());
                throw RuntimeError(err::PortAlreadyOpen,
                                   port + ": " + device + " is in use by " +
                                       (holder > 0 ? "process " + std::to_string(holder)
                                                   : "another program (" + path + ")"));
            }
            ::unlink(path.c_str());  // stale: its process has gone
        }
        ::unlink(tmp.c_str());
        return "";
    }
    return "";
}

void releaseLock(const std::string& path) {
    if (!path.empty() && pidIn(path) == ::getpid()) ::unlink(path.c_str());
}

}  // namespace platform::posix
