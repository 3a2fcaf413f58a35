// What a serial-port control keeps between the device and the program: received bytes
// not yet read, line errors at their place in the stream, and the delivery of one event
// per character on the program's thread. Plain C++, for every system's port.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/controls.h"

namespace platform::serial {

class ReceiveQueue {
  public:
    // A port stores no more than room() at a time: what does not fit waits with the
    // driver, which throttles the sender, so this layer never drops a byte.
    static constexpr size_t Capacity = 1024;

    struct LineError {
        size_t before;  // bytes of the stored data that precede it
        int16_t code;
    };
    // Appends received bytes (no more than room()) and the line errors among them.
    void store(std::string_view data, const std::vector<LineError>& errors = {});
    // Up to `inputLen` unread bytes (all of them for 0).
    std::string take(int16_t inputLen);
    // Forgets everything received and not yet read.
    void clear();
    size_t unread() const { return buf_.size() - head_; }
    size_t room() const { return Capacity - std::min(unread(), Capacity); }

    // Raises the events that are due through `onComm`, after setting `event`: line errors
    // once everything before them has been read, then a receive event for each character
    // while at least `threshold` (> 0) remain unread. Stops as soon as `generation` changes
    // (the handler closed or reopened the port) or a handler reads nothing.
    void deliver(int16_t threshold, int16_t& event, const Handler& onComm,
                 const uint64_t& generation);

  private:
    static constexpr size_t MaxPendingEvents = 1024;  // line errors nobody reads beyond
    struct Pending {
        uint64_t at;  // stream position: raised once everything before it has been read
        int16_t code;
    };
    void queue(int16_t code);

    std::string buf_;  // bytes from head_ on are not yet read
    size_t head_ = 0;
    uint64_t taken_ = 0;  // stream position of buf_'s first byte
    std::deque<Pending> pending_;
};

}  // namespace platform::serial
