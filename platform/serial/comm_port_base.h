// What every system's serial-port control does alike: the properties the program sets,
// checked as they are set, and the queue of received bytes that raises the events. Each
// system's port adds opening, closing, output and how bytes reach the queue.
#pragma once

#include <cstdint>
#include <string>

#include "platform/comm_port.h"
#include "platform/error.h"
#include "platform/serial/receive_queue.h"
#include "platform/serial_device.h"

namespace platform::serial {

class CommPortBase : public CommPort {
  public:
    void setCommPort(int16_t n) override {
        if (portOpen()) throw RuntimeError(err::PortAlreadyOpen, name() + ": port already open");
        if (n < 1)
            throw RuntimeError(err::InvalidPortNumber,
                               "COM" + std::to_string(n) + ": no such port");
        port_ = n;
    }
    void setInputLen(int16_t n) override {
        if (n < 0)
            throw RuntimeError(err::InvalidPropertyValue, "Invalid property value: InputLen");
        inputLen_ = n;
    }
    void setRThreshold(int16_t n) override {  // 0: no receive events
        if (n < 0)
            throw RuntimeError(err::InvalidPropertyValue, "Invalid property value: RThreshold");
        rThreshold_ = n;
    }
    void setInBufferCount(int16_t n) override {
        if (!portOpen()) throw RuntimeError(err::PortNotOpen, name() + ": port not open");
        if (n != 0)
            throw RuntimeError(err::InvalidPropertyValue, "Invalid property value: InBufferCount");
        queue_.clear();
        discardInput();
    }
    std::string input() override {
        if (!portOpen()) throw RuntimeError(err::PortNotOpen, name() + ": port not open");
        return queue_.take(inputLen_);
    }
    int16_t commEvent() const override { return event_; }
    void setPortOpen(bool open) override {
        if (open)
            this->open();
        else
            close();
    }

  protected:
    std::string name() const { return "COM" + std::to_string(port_); }

    // Keeps `settings` when `speed` is the port's reading of them (0: it does not take
    // them). While open, `apply` sets them on the device; when it fails, the old settings
    // stay.
    template <class Apply>
    void takeSettings(const std::string& settings, unsigned speed, Apply apply) {
        if (speed == 0)
            throw RuntimeError(err::InvalidPropertyValue,
                               name() + " (" + serialDevice(port_) + "): settings \"" +
                                   shortened(settings) + "\" are not ones this port takes");
        const auto oldSettings = settings_;
        const auto oldSpeed = speed_;
        settings_ = settings;
        speed_ = speed;
        if (!portOpen()) return;
        try {
            apply();
        } catch (...) {
            settings_ = oldSettings;
            speed_ = oldSpeed;
            throw;
        }
    }

    virtual void open() = 0;
    virtual void close() = 0;
    // Discards what the system holds received (the queue is empty already).
    virtual void discardInput() = 0;

    int16_t port_ = 1;
    std::string settings_ = "9600,n,8,1";
    unsigned speed_ = 9600;
    int16_t inputLen_ = 0;
    int16_t rThreshold_ = 0;
    int16_t event_ = 0;
    ReceiveQueue queue_;
};

}  // namespace platform::serial
