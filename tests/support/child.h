// logger-sim run as a child process by tests and benchmarks: its output comes back on a
// pipe, and it is stopped by its own process id, also when the caller fails.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace sim {

class Child {
  public:
    // Starts `program` with `args` and waits up to `timeoutMs` for its first output line
    // (the device it serves). Throws std::runtime_error when either fails.
    Child(const std::string& program, const std::vector<std::string>& args, int timeoutMs = 5000);
    // Stops the process if it still runs: SIGTERM, then SIGKILL if it lingers.
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& firstLine() const { return first_; }

    // Waits up to `timeoutMs` for the process to end, keeping the rest of its output in
    // `output`. Returns its exit status, 128 + signal when killed, or -1 on time-out.
    int wait(int timeoutMs, std::string* output = nullptr);
    void terminate();  // asks it to stop (SIGTERM); wait() then collects it

  private:
    void stop() noexcept;
    bool readSome(int timeoutMs);  // false at end of output or on time-out
    pid_t pid_ = -1;
    int out_ = -1;
    bool eof_ = false;
    int status_ = -1;
    std::string buf_, first_;
};

}  // namespace sim
