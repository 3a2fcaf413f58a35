// The logger on a line: reads the host's bytes, runs Protocol, writes frames (paced at
// the line rate when asked), and measures the exchange from its own side.
#pragma once

#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/sim/line.h"
#include "tools/sim/protocol.h"

namespace sim {

struct Stats {
    // Per answered frame transmission: from writing the frame's CR to reading the
    // reply's CR (when paced, this includes the reply's own time on the line).
    std::vector<int64_t> replyNs;
    // Per ended download: from reading the command's CR to reading the end record's reply.
    std::vector<int64_t> downloadNs;
    uint64_t bytesIn = 0, bytesOut = 0;
    int downloads = 0;  // started
};

// The value below which a fraction `p` (0..1) of `v` lies; 0 for an empty `v`.
int64_t percentile(std::vector<int64_t> v, double p);

class Logger {
  public:
    Logger(Line line, const Options& options);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    enum class End {
        Stopped,   // stop() was called
        Once,      // the first download ended and Options::once is set
        HungUp,    // Options::hangupAfter: the line was closed
        LineLost,  // the line failed or the far end went away
    };
    // Serves the host until one of the ends above; may be run on its own thread.
    End run();
    // Makes run() return soon; safe from any thread and from a signal handler.
    void stop() noexcept;
    // A copy of the figures so far; safe while run() goes on.
    Stats stats() const;

  private:
    bool transmit(const std::string& bytes);
    bool waitWritable();
    bool stopRequested() const;
    void pacedRead(int64_t readAt);

    Line line_;
    Options opt_;
    Protocol protocol_;
    int wake_[2] = {-1, -1};
    int64_t byteNs_ = 0;  // wire time of one byte when paced
    int64_t txFree_ = 0, rxFree_ = 0;
    int64_t crWrittenAt_ = -1, startedAt_ = -1;
    mutable std::mutex mutex_;
    Stats stats_;
};

// A Logger serving on its own thread, for tests and benchmarks in one process; stopped
// and joined when destroyed.
class LoggerThread {
  public:
    LoggerThread(Line line, const Options& options);
    ~LoggerThread() { finish(); }
    LoggerThread(const LoggerThread&) = delete;
    LoggerThread& operator=(const LoggerThread&) = delete;

    Logger& logger() { return logger_; }
    Stats stats() const { return logger_.stats(); }
    // Waits for run() to return by itself (it never does unless the line ends or
    // Options::once is set).
    Logger::End join();
    // Stops it and waits; returns how run() ended.
    Logger::End finish();

  private:
    Logger logger_;
    Logger::End end_ = Logger::End::Stopped;
    std::thread thread_;
};

}  // namespace sim
