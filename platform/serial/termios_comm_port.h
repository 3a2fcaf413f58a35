// The serial-port control on a POSIX terminal device, driven by the Qt event loop of the
// thread that opens it: a socket notifier on the descriptor, no threads of its own.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/comm_port.h"
#include "platform/serial/line_decoder.h"

class QSocketNotifier;

namespace platform {

// The line speed of a Settings text "speed,parity,data bits,stop bits", or nothing when
// the text is not one this port applies: a standard speed, n (either case), 8 and 1.
std::optional<unsigned> settingsSpeed(std::string_view settings);

class TermiosCommPort : public CommPort {
  public:
    static constexpr size_t InBufferSize = 1024;

    TermiosCommPort();
    // Must not be destroyed from inside its own onComm handler.
    ~TermiosCommPort() override;
    TermiosCommPort(const TermiosCommPort&) = delete;
    TermiosCommPort& operator=(const TermiosCommPort&) = delete;

    bool portOpen() const override { return fd_ >= 0; }
    void setPortOpen(bool open) override;
    void setCommPort(int16_t n) override;
    // Checked when set (InvalidPropertyValue); applied at once when the port is open.
    void setSettings(const std::string& settings) override;
    void setInputLen(int16_t n) override;
    void setRThreshold(int16_t n) override;  // 0: no receive events
    void setInBufferCount(int16_t n) override;
    void output(const std::string& bytes) override;
    std::string input() override;
    int16_t commEvent() const override { return event_; }

    // Folders for UUCP lock files, in order of preference; the first writable one gets
    // ours. Defaults to /run/lock, then /var/lock.
    void setLockDirectories(std::vector<std::string> dirs) { lockDirs_ = std::move(dirs); }

  private:
    struct Pending {
        uint64_t at;  // stream position: raised once everything before it has been read
        int16_t code;
    };

    std::string name() const;  // "COMn"
    void open();
    void close();
    void applySettings(int fd) const;
    void onReadable();
    void watch();          // watches the descriptor while the buffer has room
    bool readAvailable();  // true when the device has gone away
    void store(const std::string& data, const std::vector<size_t>& errors);
    void checkOverruns();
    void queue(int16_t code);
    void deliver();

    int16_t port_ = 1;
    std::string settings_ = "9600,n,8,1";
    unsigned speed_ = 9600;
    int16_t inputLen_ = 0;
    int16_t rThreshold_ = 0;
    int16_t event_ = 0;

    int fd_ = -1;
    std::string device_;
    std::string lockFile_;
    std::vector<std::string> lockDirs_{"/run/lock", "/var/lock"};
    std::unique_ptr<QSocketNotifier> notifier_;
    int notifierDepth_ = 0;    // > 0 while running inside the notifier's activation
    uint64_t generation_ = 0;  // changes whenever the port is opened or closed

    serial::LineDecoder decoder_;
    std::string buf_;  // received; bytes from head_ on are not yet read by input()
    size_t head_ = 0;
    size_t unread() const { return buf_.size() - head_; }
    uint64_t taken_ = 0;  // stream position of buf_'s first byte
    std::deque<Pending> pending_;
    bool countersWork_ = false;
    int overruns_ = 0, bufOverruns_ = 0;  // the driver's counts of lost characters
};

}  // namespace platform
