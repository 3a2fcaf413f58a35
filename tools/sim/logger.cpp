#include "tools/sim/logger.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "tools/sim/lap_records.h"

namespace sim {

namespace {
// The steady clock (what std::chrono::steady_clock reads here), in the form
// clock_nanosleep takes for its deadlines.
int64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

// Absolute deadlines, so the pace does not drift with the time each write takes. A
// wake-up can come tens of microseconds late, a good part of a byte time: sleep to just
// before the deadline and wait out the rest awake, so the line keeps its rate.
void sleepUntil(int64_t ns) {
    constexpr int64_t Awake = 150'000;
    const int64_t early = ns - Awake;
    timespec t{static_cast<time_t>(early / 1'000'000'000),
               static_cast<long>(early % 1'000'000'000)};
    if (early > nowNs())
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
        }
    while (nowNs() < ns) {
    }
}
}  // namespace

int64_t percentile(std::vector<int64_t> v, double p) {
    if (v.empty()) return 0;
    const size_t k = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
    return v[k];
}

Logger::Logger(Line line, const Options& options)
    : line_(std::move(line)),
      opt_(options),
      protocol_(options, lapRecords(options.count, options.session)) {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    const int flags = fcntl(line_.fd(), F_GETFL);
    if (flags >= 0) fcntl(line_.fd(), F_SETFL, flags | O_NONBLOCK);
    if (opt_.pace > 0) byteNs_ = 10'000'000'000 / opt_.pace;
}

Logger::~Logger() {
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void Logger::stop() noexcept {
    const char c = 0;
    [[maybe_unused]] auto n = ::write(wake_[1], &c, 1);
}

Stats Logger::stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

Logger::End Logger::run() {
    // The default timer slack (50 us) is a third of a byte at 57600 bit/s.
    if (byteNs_ > 0) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    char buf[512];
    for (;;) {
        pollfd fds[2] = {{line_.fd(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        // Paced, the logger waits awake: a late wake-up would count against the host.
        const int ready = ::poll(fds, 2, byteNs_ > 0 ? 0 : -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return End::LineLost;
        }
        if (ready == 0) continue;
        if (fds[1].revents) return End::Stopped;
        if (!(fds[0].revents & POLLIN)) {
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return End::LineLost;
            continue;
        }
        const ssize_t n = ::read(line_.fd(), buf, sizeof buf);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return End::LineLost;
        const int64_t readAt = nowNs();
        int64_t at = readAt;
        for (ssize_t i = 0; i < n; ++i) {
            if (byteNs_ > 0) {
                pacedRead(readAt);
                at = nowNs();
            }
            const Protocol::Step s = protocol_.feed(buf[i]);
            {
                std::lock_guard lock(mutex_);
                ++stats_.bytesIn;
                if (s.started) {
                    ++stats_.downloads;
                    startedAt_ = at;
                    crWrittenAt_ = -1;
                }
                if (s.reply && crWrittenAt_ >= 0) {
                    stats_.replyNs.push_back(at - crWrittenAt_);
                    crWrittenAt_ = -1;
                }
                if (s.ended && startedAt_ >= 0) stats_.downloadNs.push_back(at - startedAt_);
            }
            if (s.hangup) {
                line_.close();
                return End::HungUp;
            }
            if (!s.out.empty()) {
                if (!transmit(s.out)) return stopRequested() ? End::Stopped : End::LineLost;
                if (s.awaitReply) crWrittenAt_ = nowNs();
            }
            if (s.ended && opt_.once) return End::Once;
        }
    }
}

bool Logger::stopRequested() const {
    pollfd p{wake_[0], POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

// A byte read at `readAt` cannot have arrived before the line had time to carry it,
// one byte time after the previous one.
void Logger::pacedRead(int64_t readAt) {
    rxFree_ = std::max(rxFree_, readAt) + byteNs_;
    sleepUntil(rxFree_);
}

bool Logger::transmit(const std::string& bytes) {
    // Each byte reaches the host once its ten bits have been on the line. The deadlines
    // are fixed up front, so a late wake-up delays one byte, not all that follow. A frame
    // answers the byte just received, so the line is free from the moment that byte
    // arrived (rxFree_): our own late wake-up is not charged to the host.
    const int64_t start = byteNs_ > 0 ? std::max(txFree_, rxFree_) : 0;
    size_t done = 0;
    while (done < bytes.size()) {
        size_t chunk = bytes.size() - done;
        if (byteNs_ > 0) {
            txFree_ = start + static_cast<int64_t>(done + 1) * byteNs_;
            sleepUntil(txFree_);
            chunk = 1;
        }
        const ssize_t n = ::write(line_.fd(), bytes.data() + done, chunk);
        if (n > 0) {
            done += static_cast<size_t>(n);
            std::lock_guard lock(mutex_);
            stats_.bytesOut += static_cast<uint64_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            if (!waitWritable()) return false;
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

// The host is not reading and the line's buffer is full: wait, unless told to stop.
bool Logger::waitWritable() {
    for (;;) {
        pollfd fds[2] = {{line_.fd(), POLLOUT, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (fds[1].revents) return false;
        if (fds[0].revents & POLLOUT) return true;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return false;
    }
}

LoggerThread::LoggerThread(Line line, const Options& options)
    : logger_(std::move(line), options), thread_([this] { end_ = logger_.run(); }) {}

Logger::End LoggerThread::join() {
    if (thread_.joinable()) thread_.join();
    return end_;
}

Logger::End LoggerThread::finish() {
    logger_.stop();
    return join();
}

}  // namespace sim
