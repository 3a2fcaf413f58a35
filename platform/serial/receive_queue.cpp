#include "platform/serial/receive_queue.h"

#include <algorithm>

#include "platform/comm_port.h"
#include "platform/fatal.h"

namespace platform::serial {

void ReceiveQueue::queue(int16_t code) {
    if (pending_.size() < MaxPendingEvents) pending_.push_back({taken_ + unread(), code});
}

void ReceiveQueue::store(std::string_view data, const std::vector<LineError>& errors) {
    if (head_ > 0) {
        buf_.erase(0, head_);
        head_ = 0;
    }
    // Each error at its place: after the bytes it follows, before the rest.
    size_t stored = 0;
    for (const LineError& e : errors) {
        const size_t at = std::clamp(e.before, stored, data.size());
        buf_.append(data.substr(stored, at - stored));
        stored = at;
        queue(e.code);
    }
    buf_.append(data.substr(stored));
}

std::string ReceiveQueue::take(int16_t inputLen) {
    const size_t n = inputLen > 0 ? std::min<size_t>(inputLen, unread()) : unread();
    std::string s = buf_.substr(head_, n);
    // Reading one byte per event must not move the rest each time.
    head_ += n;
    if (head_ == buf_.size()) {
        buf_.clear();
        head_ = 0;
    }
    taken_ += n;
    return s;
}

void ReceiveQueue::clear() {
    taken_ += unread();
    buf_.clear();
    head_ = 0;
    pending_.clear();
}

void ReceiveQueue::deliver(int16_t threshold, int16_t& event, const Handler& onComm,
                           const uint64_t& generation) {
    const uint64_t start = generation;
    while (generation == start) {
        if (!pending_.empty() && pending_.front().at <= taken_) {
            event = pending_.front().code;
            pending_.pop_front();
            runHandler(onComm);
        } else if (threshold > 0 && unread() >= static_cast<size_t>(threshold)) {
            const uint64_t before = taken_;
            event = comm::EvReceive;
            runHandler(onComm);
            if (taken_ == before) break;  // the handler reads nothing: do not spin
        } else {
            break;
        }
    }
}

}  // namespace platform::serial
