// Feeds arbitrary bytes, with line errors mixed in, to the receive handler during a
// download and checks what the logger would see: exactly one reply per CR, "ER" for
// every line that had a line error, and a bounded line buffer. One program serves every
// input: a new download starts afresh, as it does for the operator.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "main_window/vorbix_loader.h"
#include "tests/support/fakes.h"

namespace {

// Events the serial layer may raise besides received data; the first three mark the line.
constexpr int16_t Events[] = {platform::comm::EvFrame,
                              platform::comm::EvOverrun,
                              platform::comm::EvRxParity,
                              platform::comm::EvRxOver,
                              platform::comm::EvCtsTimeout,
                              1001,
                              1010,
                              0};

bool marksLine(int16_t code) {
    return code == platform::comm::EvFrame || code == platform::comm::EvOverrun ||
           code == platform::comm::EvRxParity;
}

// The port as the receive handler sees it, and nothing more: one byte per receive event
// and the replies kept. The fakes' call log would only cost time on every byte.
class LinePort : public fake::SilentPort {
  public:
    void output(const std::string& bytes) override { sent += bytes; }
    std::string input() override { return std::string(1, byte); }
    int16_t commEvent() const override { return event; }

    void receive(char c) {
        byte = c;
        raise(platform::comm::EvReceive);
    }
    void raise(int16_t code) {
        event = code;
        onComm();
    }

    std::string sent;

  private:
    char byte = 0;
    int16_t event = 0;
};

using Program = fake::ProgramWith<LinePort>;

// What the fakes keep for the tests would only grow. Emptied within the run that filled
// it, or libFuzzer sees memory outlive a run and looks for a leak after every one.
void forget(Program& p) {
    p.log.clear();
    p.ui.boxes.clear();
    p.comm.sent.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // Two of the longest frames and a line past the buffer's bound fit in this; longer
    // inputs only repeat what they hold and cost time on every byte.
    size = std::min<size_t>(size, 600);
    // The first byte sets how often an event comes before a received byte (0: never).
    const unsigned rate = data[0];

    static Program& p = *new Program;
    VorbixLoader& vl = p.vl;
    LinePort& comm = p.comm;
    vl.down_load_Click();
    check(comm.sent == "DOWN\r" && vl.RxLine.empty() && vl.RxError == 0);
    size_t replied = comm.sent.size();

    bool lineMarked = false;
    uint32_t mix = rate;
    for (size_t i = 1; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        mix = mix * 1103515245u + 12345u + data[i];
        if (rate != 0 && (mix >> 24) < rate / 4) {
            const int16_t code = Events[(mix >> 8) % (sizeof Events / sizeof Events[0])];
            comm.raise(code);
            lineMarked = lineMarked || marksLine(code);
            check(comm.sent.size() == replied);  // events alone are never answered
        }
        comm.receive(c);
        // A frame holds at most 259 characters; the line buffer must stay bounded.
        check(vl.RxLine.size() <= 260);

        const std::string_view reply = std::string_view(comm.sent).substr(replied);
        if (c == '\r') {
            check(reply == "OK\r" || reply == "ER\r");
            if (lineMarked) check(reply == "ER\r");
            check(vl.RxLine.empty() && vl.RxError == 0);
            lineMarked = false;
        } else {
            check(reply.empty());
        }
        replied = comm.sent.size();
    }
    forget(p);
    return 0;
}
