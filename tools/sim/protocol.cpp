#include "tools/sim/protocol.h"

#include <cstdio>

#include "download/frame_check.h"

namespace sim {

namespace {
// Longer host lines are never commands; keeping a prefix bounds memory.
constexpr size_t HostLineLimit = 64;
}  // namespace

Protocol::Protocol(const Options& options, std::vector<std::string> laps)
    : opt_(options), laps_(std::move(laps)) {}

std::string Protocol::frameLine(int i) const {
    if (i == 0) return frame::encode("ST");
    if (i == lastFrame()) return frame::encode("EN");
    return frame::encode(laps_.at(static_cast<size_t>(i - 1)));
}

Protocol::Step Protocol::feed(char c) {
    Step s;
    if (state_ == State::HungUp) return s;
    if (c != '\r') {
        if (line_.size() < HostLineLimit) line_ += c;
        return s;
    }
    std::string line;
    line.swap(line_);
    if (opt_.log) std::fprintf(stderr, "host: %s\n", line.empty() ? "<CR>" : line.c_str());
    if (line == "DOWN" || line == "CLDWN") {
        // A new command restarts the download, also in the middle of one.
        ++downloads_;
        frame_ = 0;
        resends_ = 0;
        clearAfter_ = line == "CLDWN";
        s.started = true;
        if (faulty() && opt_.hangupAfter == 0) {
            state_ = State::HungUp;
            s.hangup = true;
        } else if (faulty() && opt_.stallAfter == 0) {
            state_ = State::Stalled;
        } else {
            send(s, true);
        }
        return s;
    }
    // A lone CR, an unknown line, or a reply nobody asked for.
    if (state_ != State::AwaitReply) return s;
    if (line == "OK") {
        s.reply = true;
        answered(s);
    } else if (line == "ER") {
        s.reply = true;
        if (++resends_ <= opt_.maxResend)
            send(s, false);
        else
            answered(s);  // the host will not take it; the logger moves on
    }
    return s;
}

void Protocol::answered(Step& s) {
    ++frame_;
    resends_ = 0;
    if (frame_ > lastFrame()) {
        state_ = State::Idle;
        s.ended = true;
        if (clearAfter_) laps_.clear();
    }
    if (faulty() && opt_.hangupAfter == frame_) {
        state_ = State::HungUp;
        s.hangup = true;
        return;
    }
    if (s.ended) return;
    if (faulty() && opt_.stallAfter == frame_) {
        state_ = State::Stalled;
        return;
    }
    send(s, true);
}

void Protocol::send(Step& s, bool first) {
    std::string line = frameLine(frame_);
    const bool fault = first && faulty();
    if (const auto it = opt_.longLine.find(frame_); fault && it != opt_.longLine.end())
        line.assign(it->second, 'A');  // a line the host must refuse, sent in one write
    if (fault && opt_.badChecksum.count(frame_)) {
        // Change the low checksum nibble: still a nibble character, but the wrong value.
        line.back() = static_cast<char>(0x30 | ((line.back() + 1) & 15));
    }
    if (fault && opt_.lfBefore.count(frame_)) line += '\n';
    if (fault && opt_.noCr == frame_) {
        s.out = line;
        state_ = State::Stalled;
        return;
    }
    line += '\r';
    if (fault && opt_.lfAfter.count(frame_)) line += '\n';
    s.out = std::move(line);
    s.awaitReply = true;
    state_ = State::AwaitReply;
}

}  // namespace sim
