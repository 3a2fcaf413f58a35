// Feeds arbitrary bytes, with line errors mixed in, to the receive handler during a
// download and checks what the logger would see: exactly one reply per CR, "ER" for
// every line that had a line error, and a bounded line buffer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "main_window/vorbix_loader.h"
#include "platform/files.h"
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

void check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte sets how often an event comes before a received byte (0: never).
    const unsigned rate = data[0];

    fake::Log log;
    fake::Ui ui(&log);
    auto form = ui.createForm(VorbixLoader::formTable());
    fake::CommPort comm(&log);
    platform::Files files;
    fake::Clock clock;
    VorbixLoader vl(ui, *form, comm, files, platform::systemFileSystem(), clock);
    comm.open = true;
    comm.inputLen = 1;

    vl.down_load_Click();
    check(comm.sent == "DOWN\r");
    size_t replied = comm.sent.size();

    bool lineMarked = false;
    uint32_t mix = rate;
    for (size_t i = 1; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        mix = mix * 1103515245u + 12345u + data[i];
        if (rate != 0 && (mix >> 24) < rate / 4) {
            const int16_t code = Events[(mix >> 8) % (sizeof Events / sizeof Events[0])];
            comm.lineError(code);
            lineMarked = lineMarked || marksLine(code);
            check(comm.sent.size() == replied);  // events alone are never answered
        }
        comm.receive(std::string(1, c));
        // A frame holds at most 259 characters; the line buffer must stay bounded.
        check(vl.RxLine.size() <= 260);

        const std::string reply = comm.sent.substr(replied);
        replied = comm.sent.size();
        if (c == '\r') {
            check(reply == "OK\r" || reply == "ER\r");
            if (lineMarked) check(reply == "ER\r");
            check(vl.RxLine.empty() && vl.RxError == 0);
            lineMarked = false;
        } else {
            check(reply.empty());
        }
    }
    return 0;
}
