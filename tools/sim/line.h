// The logger's end of the serial line: a pseudo-terminal it creates, or a real device.
#pragma once

#include <string>

namespace sim {

class Line {
  public:
    Line() = default;
    explicit Line(int fd, int holdFd = -1, std::string peerPath = {})
        : fd_(fd), holdFd_(holdFd), peerPath_(std::move(peerPath)) {}
    ~Line() { close(); }
    Line(Line&& o) noexcept;
    Line& operator=(Line&& o) noexcept;
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    int fd() const { return fd_; }
    // The device the host opens: a pseudo-terminal's slave; "" for a real device.
    const std::string& peerPath() const { return peerPath_; }
    // Hangs up: the host's reads then end.
    void close() noexcept;

  private:
    int fd_ = -1;
    int holdFd_ = -1;  // see openPty()
    std::string peerPath_;
};

// A new pseudo-terminal pair, both ends raw. The logger keeps the master and also holds
// the slave open, so that the host closing and reopening its port (as it does on every
// port change) is not a hang-up for the logger. Throws std::system_error.
Line openPty();

// A serial device set raw, 8N1, no flow control, at `speed` bit/s. Throws std::system_error.
Line openDevice(const std::string& path, long speed);

// Sets `fd` raw (8 bits, no echo, no CR/LF translation). Returns false on failure.
bool makeRaw(int fd);

}  // namespace sim
