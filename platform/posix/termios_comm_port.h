// The serial-port control on a POSIX terminal device, driven by the Qt event loop of the
// thread that opens it: a socket notifier on the descriptor, no threads of its own.
#pragma once

#include <linux/serial.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/line_decoder.h"
#include "platform/serial/comm_port_base.h"

class QSocketNotifier;

namespace platform::posix {

// The line speed of a Settings text "speed,parity,data bits,stop bits", or nothing when
// the text is not one this port applies: a standard speed, n (either case), 8 and 1.
std::optional<unsigned> settingsSpeed(std::string_view settings);

// The error for port n whose device `dev` failed to open with `errnum`: says what the
// operator can do about it (join the device's group, choose another device).
RuntimeError openFailure(int16_t n, const std::string& dev, int errnum);

// The driver's serial settings (TIOCGSERIAL, TIOCSSERIAL) of an open descriptor: the
// system's, or a test's stand-in. Each returns false, errno set, when the driver refuses.
class SerialDriver {
  public:
    virtual ~SerialDriver() = default;
    virtual bool get(int fd, serial_struct& s) const;
    virtual bool set(int fd, const serial_struct& s) const;
};

class TermiosCommPort : public serial::CommPortBase {
  public:
    static constexpr size_t InBufferSize = serial::ReceiveQueue::Capacity;

    TermiosCommPort();
    // Must not be destroyed from inside its own onComm handler.
    ~TermiosCommPort() override;
    TermiosCommPort(const TermiosCommPort&) = delete;
    TermiosCommPort& operator=(const TermiosCommPort&) = delete;

    bool portOpen() const override { return fd_ >= 0; }
    // Checked when set (InvalidPropertyValue); applied at once when the port is open.
    void setSettings(const std::string& settings) override;
    void output(const std::string& bytes) override;
    std::string input() override;

    // Folders for UUCP lock files, in order of preference; the first writable one gets
    // ours. Defaults to /run/lock, then /var/lock.
    void setLockDirectories(std::vector<std::string> dirs) { lockDirs_ = std::move(dirs); }
    // Where the driver's serial settings are read and set; the system by default.
    void setSerialDriver(const SerialDriver& driver) { driver_ = &driver; }

  private:
    void discardInput() override;
    void open() override;
    void close() override;
    void applySettings(int fd) const;
    void onReadable();
    void watch();          // watches the descriptor while the buffer has room
    bool readAvailable();  // true when the device has gone away
    void checkOverruns(std::vector<serial::ReceiveQueue::LineError>& marks);
    void askLowLatency();
    void restoreLatency();

    int fd_ = -1;
    std::string device_;
    std::string lockFile_;
    std::vector<std::string> lockDirs_{"/run/lock", "/var/lock"};
    std::unique_ptr<QSocketNotifier> notifier_;
    int handlerDepth_ = 0;     // > 0 while running inside the notifier's activation
    uint64_t generation_ = 0;  // changes whenever the port is opened or closed

    const SerialDriver* driver_;
    std::optional<int> foundFlags_;  // the driver's flags before we asked for low latency

    LineDecoder decoder_;
    bool countersWork_ = false;
    int overruns_ = 0, bufOverruns_ = 0;  // the driver's counts of lost characters
};

}  // namespace platform::posix
