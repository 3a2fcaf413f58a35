#include "bench/child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace sim {

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
    if (rc != 0) pid_ = -1;
    size_t nl = std::string::npos;
    while (rc == 0 && (nl = buf_.find('\n')) == std::string::npos && readSome(timeoutMs)) {
    }
    if (rc != 0 || nl == std::string::npos) {
        stop();  // no destructor runs for an object that throws here
        throw std::runtime_error(rc != 0 ? "cannot start " + program + ": " + strerror(rc)
                                         : program + " printed no device line");
    }
    first_ = buf_.substr(0, nl);
    buf_.erase(0, nl + 1);
}

void Child::stop() noexcept {
    // waitpid() gives 0 while the process runs; it has two seconds to go when asked.
    if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0) {
        ::kill(pid_, SIGTERM);
        for (int waited = 0; ::waitpid(pid_, nullptr, WNOHANG) == 0; waited += 10) {
            if (waited >= 2000) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                break;
            }
            ::usleep(10 * 1000);
        }
    }
    pid_ = -1;
    if (out_ >= 0) ::close(out_);
    out_ = -1;
}

bool Child::readSome(int timeoutMs) {
    pollfd p{out_, POLLIN, 0};
    char chunk[4096];
    const ssize_t n = ::poll(&p, 1, timeoutMs) > 0 ? ::read(out_, chunk, sizeof chunk) : 0;
    if (n > 0) buf_.append(chunk, static_cast<size_t>(n));
    return n > 0;
}

void Child::wait(int timeoutMs, std::string* output) {
    while (readSome(timeoutMs)) {
    }
    *output = buf_;
}

}  // namespace sim
