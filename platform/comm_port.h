// The serial-port control as the program uses it. Operations that fail throw RuntimeError.
#pragma once

#include <cstdint>
#include <string>

#include "platform/controls.h"

namespace platform {

namespace comm {
constexpr int16_t EvReceive = 2;
constexpr int16_t EvHangUp = 5;  // the device went away (carrier lost, adapter unplugged); closed
constexpr int16_t EvCtsTimeout = 1002;
constexpr int16_t EvFrame = 1004;
constexpr int16_t EvOverrun = 1006;
constexpr int16_t EvRxOver = 1008;
constexpr int16_t EvRxParity = 1009;
}  // namespace comm

class CommPort {
  public:
    virtual ~CommPort() = default;
    virtual bool portOpen() const = 0;
    virtual void setPortOpen(bool open) = 0;
    virtual void setCommPort(int16_t n) = 0;  // port n: ./COMn link, else ttyS<n-1>
    virtual void setSettings(const std::string& settings) = 0;  // "57600,n,8,1"
    virtual void setInputLen(int16_t n) = 0;
    virtual void setRThreshold(int16_t n) = 0;
    virtual void setInBufferCount(int16_t n) = 0;  // 0 discards all received input
    virtual void output(const std::string& bytes) = 0;
    virtual std::string input() = 0;  // up to InputLen received bytes
    virtual int16_t commEvent() const = 0;

    // Raised once for every event, on the program's thread; while characters remain
    // unread after a receive event, another one follows. A hang-up is raised after the
    // port has closed.
    Handler onComm;
};

}  // namespace platform
