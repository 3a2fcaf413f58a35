#include "tools/sim/line.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "platform/posix/speeds.h"

namespace sim {

namespace {
[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}
}  // namespace

Line::Line(Line&& o) noexcept : fd_(o.fd_), holdFd_(o.holdFd_), peerPath_(std::move(o.peerPath_)) {
    o.fd_ = o.holdFd_ = -1;
}

Line& Line::operator=(Line&& o) noexcept {
    if (this != &o) {
        close();
        fd_ = o.fd_;
        holdFd_ = o.holdFd_;
        peerPath_ = std::move(o.peerPath_);
        o.fd_ = o.holdFd_ = -1;
    }
    return *this;
}

void Line::close() noexcept {
    if (fd_ >= 0) ::close(fd_);
    if (holdFd_ >= 0) ::close(holdFd_);
    fd_ = holdFd_ = -1;
}

bool makeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

Line openPty() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) fail("posix_openpt");
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        const int e = errno;
        ::close(master);
        errno = e;
        fail("grantpt/unlockpt");
    }
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0) {
        const int e = errno;
        ::close(master);
        errno = e;
        fail("ptsname");
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        const int e = errno;
        ::close(master);
        errno = e;
        fail(name);
    }
    Line line(master, slave, name);
    // The slave's settings decide what the host sees: no CR to LF mapping, no echo.
    if (!makeRaw(slave) || !makeRaw(master)) fail("tcsetattr");
    return line;
}

Line openDevice(const std::string& path, long speed) {
    const auto code = speed > 0 && speed <= 4'000'000
                          ? platform::posix::speedConstant(static_cast<unsigned>(speed))
                          : std::nullopt;
    if (!code) {
        errno = EINVAL;
        fail("speed " + std::to_string(speed));
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fail(path);
    Line line(fd);
    termios t{};
    if (tcgetattr(fd, &t) != 0) fail(path);
    cfmakeraw(&t);
    t.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    cfsetispeed(&t, *code);
    cfsetospeed(&t, *code);
    if (tcsetattr(fd, TCSANOW, &t) != 0) fail(path);
    tcflush(fd, TCIOFLUSH);
    return line;
}

}  // namespace sim
