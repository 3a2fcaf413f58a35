#include "tests/support/child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace sim {

namespace {
using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}
}  // namespace

Child::Child(const std::string& program, const std::vector<std::string>& args, int timeoutMs) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe: " + std::string(strerror(errno)));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    out_ = fds[0];
    if (rc != 0) {
        ::close(out_);
        pid_ = -1;
        throw std::runtime_error("cannot start " + program + ": " + strerror(rc));
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t nl;
    while ((nl = buf_.find('\n')) == std::string::npos)
        if (!readSome(msLeft(deadline))) {
            stop();
            ::close(out_);
            throw std::runtime_error(program + " printed no device line");
        }
    first_ = buf_.substr(0, nl);
    buf_.erase(0, nl + 1);
}

Child::~Child() {
    stop();
    if (out_ >= 0) ::close(out_);
}

void Child::stop() noexcept {
    if (pid_ <= 0 || status_ >= 0) return;
    terminate();
    if (wait(2000) < 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        status_ = 128 + SIGKILL;
    }
}

void Child::terminate() {
    if (pid_ > 0 && status_ < 0) ::kill(pid_, SIGTERM);
}

bool Child::readSome(int timeoutMs) {
    if (eof_) return false;
    pollfd p{out_, POLLIN, 0};
    int r;
    while ((r = ::poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    if (r <= 0) return false;
    char chunk[4096];
    const ssize_t n = ::read(out_, chunk, sizeof chunk);
    if (n <= 0) {
        eof_ = true;
        return false;
    }
    buf_.append(chunk, static_cast<size_t>(n));
    return true;
}

int Child::wait(int timeoutMs, std::string* output) {
    if (status_ < 0 && pid_ > 0) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!eof_ && Clock::now() < deadline) readSome(msLeft(deadline));
        // The output ends when the process does; give the exit a moment to be reapable.
        for (;;) {
            int st = 0;
            const pid_t r = ::waitpid(pid_, &st, WNOHANG);
            if (r == pid_) {
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                break;
            }
            if (r < 0 || Clock::now() >= deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    if (output) *output = buf_;
    return status_;
}

}  // namespace sim
