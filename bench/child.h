// logger-sim run as a child process by the benchmarks: its output comes back on a pipe,
// and it is stopped by its own process id, also when the caller fails.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace sim {

class Child {
  public:
    // Starts `program` with `args` and waits for its first output line (the device it
    // serves), giving up when `timeoutMs` pass without output. Throws std::runtime_error
    // when either fails.
    Child(const std::string& program, const std::vector<std::string>& args, int timeoutMs = 5000);
    // Stops the process if it still runs: SIGTERM, then SIGKILL if it lingers.
    ~Child() { stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    const std::string& firstLine() const { return first_; }
    // Reads the rest of its output into `output`, until it ends or `timeoutMs` pass
    // without any.
    void wait(int timeoutMs, std::string* output);

  private:
    void stop() noexcept;
    bool readSome(int timeoutMs);  // false at end of output or on time-out
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buf_, first_;
};

}  // namespace sim
