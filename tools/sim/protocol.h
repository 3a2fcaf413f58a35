// The logger's side of the download exchange, as a pure state machine: bytes from the
// host in, bytes to send and what happened out. No I/O and no clock, so it can be tested
// byte by byte; Logger (logger.h) puts it on a line.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace sim {

// Frames of one download are numbered 0 (the start record), 1..count (the laps) and
// count + 1 (the end record). Faults are played in the first download only, so a test
// can show that the next one recovers.
struct Options {
    int count = 20;                  // lap records held
    uint64_t session = 1;            // which lap records
    int maxResend = 3;               // resends of one frame after "ER" before moving on
    std::set<int> badChecksum;       // first transmission carries a wrong checksum
    std::set<int> lfBefore;          // first transmission has an LF before its CR
    std::set<int> lfAfter;           // first transmission has an LF after its CR
    std::map<int, size_t> longLine;  // first transmission: this many "A"s and a CR instead
    int noCr = -1;                   // this frame is sent without its CR, then the logger stalls
    int stallAfter = -1;             // after this many frames are answered, send nothing more
    int hangupAfter = -1;            // after this many frames are answered, close the line
    long pace = 0;                   // line rate in bit/s (10 bits a byte); 0: as fast as possible
    bool once = false;               // stop after the first download that ends
    bool log = false;                // print every line the host sends on stderr
};

class Protocol {
  public:
    // `laps` are the lap records held; "CLDWN" empties them once its download has ended.
    Protocol(const Options& options, std::vector<std::string> laps);

    struct Step {
        std::string out;          // send now
        bool awaitReply = false;  // `out` ends a frame and the host's reply is due
        bool reply = false;       // the byte ended the host's reply to a frame
        bool started = false;     // the byte ended a download command
        bool ended = false;       // the download is over (end record answered)
        bool hangup = false;      // close the line now
    };
    // One byte from the host.
    Step feed(char c);

    enum class State { Idle, AwaitReply, Stalled, HungUp };
    State state() const { return state_; }

    // The frame line the logger sends for frame `i` of the current download, CR excluded.
    std::string frameLine(int i) const;

  private:
    void send(Step& s, bool first);
    void answered(Step& s);
    int lastFrame() const { return static_cast<int>(laps_.size()) + 1; }
    bool faulty() const { return downloads_ == 1; }

    Options opt_;
    std::vector<std::string> laps_;
    State state_ = State::Idle;
    std::string line_;
    int downloads_ = 0;
    int frame_ = 0;
    int resends_ = 0;
    bool clearAfter_ = false;
};

}  // namespace sim
