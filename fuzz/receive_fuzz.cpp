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

fake::Program& program() {
    static fake::Program* p = [] {
        auto* q = new fake::Program;
        q->comm.open = true;
        q->comm.inputLen = 1;
        return q;
    }();
    // What the fakes keep for the tests would only grow.
    p->log.clear();
    p->ui.boxes.clear();
    p->comm.sent.clear();
    return *p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // Two of the longest frames and a line past the buffer's bound fit in this; longer
    // inputs only repeat what they hold and cost time on every byte.
    size = std::min<size_t>(size, 600);
    // The first byte sets how often an event comes before a received byte (0: never).
    const unsigned rate = data[0];

    fake::Program& p = program();
    VorbixLoader& vl = p.vl;
    fake::CommPort& comm = p.comm;
    vl.down_load_Click();
    check(comm.sent == "DOWN\r" && vl.RxLine.empty() && vl.RxError == 0);
    size_t replied = comm.sent.size();

    bool lineMarked = false;
    uint32_t mix = rate;
    std::string byte(1, '\0');
    for (size_t i = 1; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        mix = mix * 1103515245u + 12345u + data[i];
        if (rate != 0 && (mix >> 24) < rate / 4) {
            const int16_t code = Events[(mix >> 8) % (sizeof Events / sizeof Events[0])];
            comm.lineError(code);
            lineMarked = lineMarked || marksLine(code);
            check(comm.sent.size() == replied);  // events alone are never answered
        }
        byte[0] = c;
        comm.receive(byte);
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
    return 0;
}
