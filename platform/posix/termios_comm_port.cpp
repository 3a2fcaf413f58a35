// Principles of operation
//
// Bytes flow one way: descriptor, line decoder, input buffer, one event per character.
//
// - The descriptor is open non-blocking, raw 8N1 with PARMRK: the kernel marks a
//   character received with a framing or parity error (or a break) in the byte stream
//   itself. A QSocketNotifier on the opening thread says when bytes wait; the port has no
//   thread of its own.
// - On each wake-up (onReadable) readAvailable() reads no more than the input buffer has
//   room for (InBufferSize unread bytes), and the LineDecoder splits it into data bytes
//   and the places of line errors. The rest waits with the driver, which throttles the
//   sender; only the driver ever loses bytes, and its counters (TIOCGICOUNT) turn that
//   into an overrun or buffer-overflow event at the place reached.
// - The input buffer is the ReceiveQueue every system's port shares. It keeps the data
//   for input() and each error at its stream position: the number of bytes before it
//   since the port opened.
// - The queue then raises the events. A queued error is raised once every byte before
//   it has been read, so the program sees it between the two characters it came between
//   and it marks the line it belongs to. Otherwise a receive event follows while at
//   least RThreshold bytes are unread; a handler that reads nothing ends the round.
// - Notifier on and off (watch()): off while the buffer is full, on again once input()
//   has made room. While the port's handler runs (handlerDepth_ > 0) it may run a nested
//   event loop (a modal box); a wake-up inside it only switches the notifier off, so
//   nothing of the port runs re-entered, and the outer wake-up switches it on as it ends.
// - Generations: opening and closing each start a new generation. A handler may close or
//   reopen the port; deliver() and onReadable() stop as soon as the generation changes,
//   so nothing of an old descriptor reaches the program. Closed inside its own
//   activation, the notifier is deleted later.
// - A hang-up (end of file, an I/O error, or a hang-up with nothing to read) closes the
//   port once the bytes read before it are delivered; the program is then told with an
//   EvHangUp event, and the log says so.
// - Low latency: a USB adapter holds received bytes for its latency timer (16 ms on an
//   FTDI chip) before passing them on, and the logger waits for each reply before its next
//   frame. Where the driver answers TIOCGSERIAL, opening sets ASYNC_LOW_LATENCY (ftdi_sio
//   then turns its timer to 1 ms); closing, also after a hang-up, puts back the flags found.
#include "platform/posix/termios_comm_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/error.h"
#include "platform/fatal.h"
#include "platform/log.h"
#include "platform/posix/errno_error.h"
#include "platform/posix/serial_device.h"
#include "platform/posix/speeds.h"
#include "platform/posix/uucp_lock.h"
#include "platform/serial/settings_text.h"

namespace platform::posix {

namespace {

constexpr auto OutputTimeout = std::chrono::seconds(2);

// Closes a descriptor unless released, so a failing open leaves nothing behind.
struct FdGuard {
    int fd;
    ~FdGuard() {
        if (fd >= 0) ::close(fd);
    }
    int release() {
        const int f = fd;
        fd = -1;
        return f;
    }
};

std::string portName(int16_t n) {
    return "COM" + std::to_string(n);
}

const SerialDriver systemSerialDriver;

}  // namespace

bool SerialDriver::get(int fd, serial_struct& s) const {
    return ::ioctl(fd, TIOCGSERIAL, &s) == 0;
}

bool SerialDriver::set(int fd, const serial_struct& s) const {
    return ::ioctl(fd, TIOCSSERIAL, &s) == 0;
}

std::optional<unsigned> settingsSpeed(std::string_view s) {
    const auto baud = serial::settingsBaud(s);
    if (!baud || !speedConstant(*baud)) return std::nullopt;
    return baud;
}

TermiosCommPort::TermiosCommPort() : driver_(&systemSerialDriver) {}

TermiosCommPort::~TermiosCommPort() {
    close();
}

void TermiosCommPort::setSettings(const std::string& settings) {
    takeSettings(settings, settingsSpeed(settings).value_or(0), [this] { applySettings(fd_); });
}

void TermiosCommPort::discardInput() {
    ::tcflush(fd_, TCIFLUSH);
    decoder_.reset();
    watch();
}

void TermiosCommPort::applySettings(int fd) const {
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        throw RuntimeError(err::DeviceUnavailable,
                           name() + ": " + device_ + " is not a serial port");
    // Raw 8N1. Line errors stay in the stream as PARMRK marks; no translation of CR or
    // LF in either direction, no flow control; the modem lines are left as they are.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | IMAXBEL | IUCLC);
    t.c_iflag |= INPCK | PARMRK;
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST | ONLCR | OCRNL | ONOCR | ONLRET);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    const speed_t speed = *speedConstant(speed_);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        throw fromErrno(errno, name() + ": cannot set up " + device_);
    // tcsetattr succeeds when any part was applied; a driver may refuse the speed.
    termios check{};
    if (::tcgetattr(fd, &check) != 0 || ::cfgetospeed(&check) != speed)
        throw RuntimeError(
            err::InvalidPropertyValue,
            name() + ": " + device_ + " does not take the speed " + std::to_string(speed_));
}

void TermiosCommPort::open() {
    if (portOpen()) throw RuntimeError(err::PortAlreadyOpen, name() + ": port already open");
    const std::string dev = serialDevice(port_);

    // A lock file of a live process keeps us off the device before we touch it at all.
    if (const pid_t holder = lockHolder(lockDirs_, dev))
        throw RuntimeError(err::PortAlreadyOpen,
                           name() + ": " + dev + " is in use by process " + std::to_string(holder));

    FdGuard guard{::open(dev.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)};
    if (guard.fd < 0) throw openFailure(port_, dev, errno);
    // TIOCEXCL does not keep root out; an advisory lock does, among programs that ask.
    if (::flock(guard.fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            throw RuntimeError(err::PortAlreadyOpen,
                               name() + ": " + dev + " is in use by another program");
        throw fromErrno(errno, name() + ": cannot lock " + dev);
    }
    device_ = dev;
    applySettings(guard.fd);
    lockFile_ = takeLock(lockDirs_, dev, name());

    fd_ = guard.release();
    ::tcflush(fd_, TCIFLUSH);
    serial_icounter_struct counters{};
    countersWork_ = ::ioctl(fd_, TIOCGICOUNT, &counters) == 0;
    overruns_ = countersWork_ ? counters.overrun : 0;
    bufOverruns_ = countersWork_ ? counters.buf_overrun : 0;
    askLowLatency();

    ++generation_;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { onReadable(); });
}

void TermiosCommPort::close() {
    if (!portOpen()) return;
    notifier_->setEnabled(false);
    // Inside the notifier's own activation it must outlive the call that is running.
    if (handlerDepth_ > 0)
        notifier_.release()->deleteLater();
    else
        notifier_.reset();
    restoreLatency();
    ::close(fd_);  // also drops the advisory lock
    fd_ = -1;
    releaseLock(lockFile_);
    lockFile_.clear();
    decoder_.reset();
    queue_.clear();
    ++generation_;
}

void TermiosCommPort::onReadable() {
    if (!notifier_) return;
    if (handlerDepth_ > 0) {
        // A handler runs a nested event loop (a modal box): nothing of this port may run
        // inside it, so the notifier stays off until the handler returns and the bytes
        // wait in the kernel. Only then: switching it costs more than a byte's delivery.
        notifier_->setEnabled(false);
        return;
    }
    const uint64_t generation = generation_;
    ++handlerDepth_;
    const bool gone = readAvailable();
    queue_.deliver(rThreshold_, event_, onComm, generation_);
    if (gone && generation == generation_) {
        logLine(name() + ": " + device_ + " has gone away; port closed");
        close();
        event_ = comm::EvHangUp;
        runHandler(onComm);
    }
    --handlerDepth_;
    // Also a port reopened by the handler: its events waited for this one to end.
    watch();
}

void TermiosCommPort::watch() {
    // A full buffer leaves the bytes with the driver, which holds them and throttles the
    // sender; watching the descriptor meanwhile would only spin.
    if (notifier_ && handlerDepth_ == 0) notifier_->setEnabled(queue_.room() > 0);
}

bool TermiosCommPort::readAvailable() {
    std::string data;
    std::vector<size_t> errors;
    char chunk[InBufferSize];
    // Never more raw bytes than the buffer has room for: marks only shrink them, so
    // nothing read is ever thrown away.
    const size_t room = queue_.room();
    bool gone = false;
    for (size_t total = 0; total < room;) {
        const size_t want = room - total;
        const ssize_t n = ::read(fd_, chunk, want);
        if (n > 0) {
            decoder_.feed({chunk, static_cast<size_t>(n)}, data, errors);
            total += static_cast<size_t>(n);
            // A short read took all there was; asking again costs a system call per
            // wake-up, and a hang-up shows at the next one anyway.
            if (static_cast<size_t>(n) < want) break;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Woken with nothing to read: a hang-up the read itself does not report.
            if (total == 0) {
                pollfd p{fd_, POLLIN, 0};
                gone = ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) &&
                       !(p.revents & POLLIN);
            }
            break;
        }
        gone = true;  // end of file, EIO, ENODEV: the device is no longer there
        break;
    }
    std::vector<serial::ReceiveQueue::LineError> marks;
    checkOverruns(marks);
    for (const size_t at : errors) marks.push_back({at, comm::EvFrame});
    queue_.store(data, marks);
    return gone;
}

void TermiosCommPort::checkOverruns(std::vector<serial::ReceiveQueue::LineError>& marks) {
    if (!countersWork_) return;
    serial_icounter_struct counters{};
    if (::ioctl(fd_, TIOCGICOUNT, &counters) != 0) return;
    // Characters were lost before the ones just read: mark the line they belong to. Only
    // the driver loses any; this layer reads no more than it can keep.
    if (counters.overrun != overruns_) marks.push_back({0, comm::EvOverrun});
    if (counters.buf_overrun != bufOverruns_) marks.push_back({0, comm::EvRxOver});
    overruns_ = counters.overrun;
    bufOverruns_ = counters.buf_overrun;
}

void TermiosCommPort::askLowLatency() {
    foundFlags_.reset();
    serial_struct s{};
    // A pty has no such settings: nothing to ask.
    if (!driver_->get(fd_, s) || (s.flags & ASYNC_LOW_LATENCY)) return;
    const int found = s.flags;
    s.flags |= ASYNC_LOW_LATENCY;
    if (!driver_->set(fd_, s)) {
        logLine(name() + ": " + device_ + " keeps its latency: " + std::strerror(errno));
        return;
    }
    foundFlags_ = found;
}

void TermiosCommPort::restoreLatency() {
    if (!foundFlags_) return;
    serial_struct s{};
    // A device that has gone away has nothing left to put back.
    if (driver_->get(fd_, s)) {
        s.flags = *foundFlags_;
        driver_->set(fd_, s);
    }
    foundFlags_.reset();
}

std::string TermiosCommPort::input() {
    std::string s = CommPortBase::input();
    // Drained from outside the port's own wake-up (which resumes watching as it ends).
    if (!s.empty()) watch();
    return s;
}

void TermiosCommPort::output(const std::string& bytes) {
    if (!portOpen()) throw RuntimeError(err::PortNotOpen, name() + ": port not open");
    const auto deadline = std::chrono::steady_clock::now() + OutputTimeout;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            throw fromErrno(errno, name() + ": cannot write to " + device_);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw RuntimeError(err::DeviceIoError,
                               name() + ": " + device_ + " takes no more output");
        pollfd p{fd_, POLLOUT, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR)
            throw fromErrno(errno, name() + ": cannot write to " + device_);
        if (r > 0 && !(p.revents & POLLOUT) && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            throw RuntimeError(err::DeviceIoError, name() + ": " + device_ + " has gone away");
    }
}

RuntimeError openFailure(int16_t n, const std::string& dev, int errnum) {
    const std::string what = portName(n) + ": cannot open " + dev;
    const std::string choose = "Right-click \"" + std::string(n < 10 ? "com " : "com") +
                               std::to_string(n) +
                               "\" in the PORT dialog to choose another device.";
    if (errnum == EACCES || errnum == EPERM) {
        if (const std::string group = deviceGroup(dev); !group.empty())
            return RuntimeError(err::PermissionDenied,
                                portName(n) + ": " + dev + ": permission denied. Add your user " +
                                    "to the group '" + group + "' (sudo adduser $USER " + group +
                                    "), then log out and in again.");
        return RuntimeError(err::PermissionDenied,
                            portName(n) + ": " + dev + ": permission denied. " + choose);
    }
    if (errnum == ENOENT || errnum == ENXIO || errnum == ENODEV) {
        const std::string link = comLinkTarget(n);
        const std::string where =
            link.empty() ? "there is no link " + portName(n) + " here, so it means " + dev
                         : portName(n) + " points to " + link;
        return RuntimeError(err::InvalidPortNumber,
                            portName(n) + ": the device is not present (" + where + "). " + choose);
    }
    RuntimeError error = fromErrno(errnum, what);
    if (errnum == EBUSY) return RuntimeError(err::PortAlreadyOpen, error.description());
    return error;
}

}  // namespace platform::posix
