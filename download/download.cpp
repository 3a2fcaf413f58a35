// The download handlers: start, receive, watchdog.
#include "download/frame_check.h"
#include "main_window/vorbix_loader.h"
#include "platform/error.h"

namespace {
// A step of the receive handler that fails has no effect; the handler goes on. Only
// failures of the platform are trapped: a fault of the program still ends it.
template <class F>
bool step(F&& f) {
    try {
        f();
        return true;
    } catch (const platform::RuntimeError&) {
        return false;
    }
}
}  // namespace

void VorbixLoader::down_load_Click() {
    std::string kept;
    bool cleared = false;
    try {
        // A link lost to a hang-up (or never opened) is reopened, so plugging the
        // adapter back in and pressing again is all the operator has to do.
        if (!MSComm1.portOpen()) OpenCommPort();
        setTransferBusy(true);
        MSComm1.setInBufferCount(0);
        RxLine.clear();
        RxError = 0;
        kept = Text1.text();
        Text1.setText("");
        cleared = true;
        MSComm1.output(AND_CLR.value() == 0 ? "DOWN\r" : "CLDWN\r");
        TimeoutTicks = TimeoutReload;
        Timer1.setEnabled(true);
    } catch (const platform::RuntimeError& e) {
        // The download never started: keep the records the operator had.
        Timer1.setEnabled(false);
        if (cleared) Text1.setText(kept);
        setTransferBusy(false);
        msgBox(e.description(), platform::Icon::Critical);
        return;
    }
    journal.downloadStarted();
    warnJournal();
}

void VorbixLoader::MSComm1_OnComm() {
    int16_t event = 0;
    if (!step([&] { event = MSComm1.commEvent(); })) return;
    switch (event) {
        case platform::comm::EvFrame:
        case platform::comm::EvOverrun:
        case platform::comm::EvRxParity: RxError = -1; break;
        case platform::comm::EvReceive: receiveStep(); break;
        default: break;  // CTS timeout, buffer overflow, anything else
    }
}

void VorbixLoader::receiveStep() {
    std::string in;
    step([&] { in = MSComm1.input(); });
    if (in != "\r") {
        // A line longer than any frame can never pass; dropping the excess keeps memory
        // bounded and changes no reply.
        if (RxLine.size() < RxLineLimit) RxLine.append(in, 0, RxLineLimit - RxLine.size());
        return;
    }
    std::string_view record;
    if (RxError != 0) {
        step([&] { MSComm1.output("ER\r"); });
    } else if (!frame::check(RxLine, &record)) {
        step([&] { MSComm1.output("ER\r"); });
    } else {
        const frame::Kind kind = frame::kindOf(record);
        std::string listed;
        if (kind == frame::Kind::Lap) {
            listed.assign(record);
            listed += "\r\n";
            // Kept before the logger hears "OK" and may forget it.
            journal.append(listed, Text1);
        } else if (kind == frame::Kind::End) {
            // On the disk before the logger hears "OK" and, after CLDWN, erases its laps.
            journal.sync();
        }
        step([&] { MSComm1.output("OK\r"); });
        switch (kind) {
            case frame::Kind::Lap:
                step([&] { Text1.setSelText(listed); });
                journal.syncIfDue();
                break;
            case frame::Kind::End: finishDownload(); break;
            case frame::Kind::Start: break;
        }
    }
    RxError = 0;
    RxLine.clear();
    TimeoutTicks = TimeoutReload;
}

void VorbixLoader::finishDownload() {
    step([&] { Timer1.setEnabled(false); });
    step([&] { setTransferBusy(false); });
    step([&] { warnJournal(); });
    step([&] { msgBox("!! Down load end !!", platform::Icon::None); });
}

void VorbixLoader::Timer1_Timer() {
    journal.syncIfDue();
    TimeoutTicks = static_cast<int16_t>(TimeoutTicks - 1);
    if (TimeoutTicks != 0) return;
    Timer1.setEnabled(false);
    journal.sync();
    msgBox(" !! Time over !!", platform::Icon::Critical);
    setTransferBusy(false);
    warnJournal();
}
