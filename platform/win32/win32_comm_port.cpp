// Principles of operation
//
// Bytes flow one way: the driver, one pending read, the receive queue, one event per
// character.
//
// - The device is opened overlapped, 8N1 with no flow control and no read time-outs. One
//   ReadFile of one byte is kept pending on it. One byte is the shape that works
//   everywhere: Wine ignores the time-outs that end a larger read as soon as anything
//   has come.
// - A waiter thread does nothing but wait for that read's event (readEvent_) and post a
//   message to the port's message-only window; the window thread then wakes the port
//   (readDone). Every loop that dispatches messages delivers it: the program's own, a
//   message box's, and Windows' modal loops for scroll-bar tracking, moving, sizing and
//   menus, which never look at an event of ours. So the port has no logic off the window
//   thread, and the logger is answered while the operator holds a scroll bar. After each
//   message the waiter waits until the window thread arms it again (armEvent_), as the
//   signalled event stays so until the next read starts.
// - When that read completes (readDone), takeRead() asks ClearCommError what else waits
//   (cbInQue) and which line errors came, and reads at once what waits, but never more
//   than the queue has room for. The rest stays with the driver (a pty throttles the
//   sender; a UART's driver holds 4 KiB): only the driver ever loses bytes, and it says
//   so (CE_RXOVER, CE_OVERRUN), which becomes an event like any line error.
// - The queue is the ReceiveQueue every system's port shares. A line error is placed
//   before the last byte of the read it came with, the latest place its character can
//   have; so it marks the line that character ends or continues. The queue then raises
//   an error once everything before it is read, and a receive event while at least
//   RThreshold bytes are unread; a handler that reads nothing ends the round.
// - A full queue leaves no read pending (stalled_), so nothing is taken that could not
//   be kept and the loop does not spin. Input() that makes room, or a discard, signals
//   the read event: the message loop then wakes the port, which reads again. Inside the
//   port's own wake-up nothing needs signalling, as the wake-up starts the next read as
//   it ends.
// - No re-entry: handlerDepth_ > 0 while the wake-up runs a handler. A handler may run a nested
//   loop (a modal box); a wake-up inside it only stops watching the event (paused_), and
//   the outer wake-up watches it again as it ends. The bytes wait meanwhile. The port's
//   events do run inside a box another handler (the watchdog's) shows.
// - Generations: opening and closing each start a new generation. A handler may close or
//   reopen the port; takeRead() and startReads() stop as soon as the generation changes,
//   so nothing of an old handle reaches the program.
// - A hang-up (a pulled USB adapter) shows as a read, its result or ClearCommError
//   failing. The port is then closed, the log says why, and the program is told once
//   with an EvHangUp event. What earlier reads brought has been delivered; the bytes of
//   the failing read are not trusted.
// - Output is one overlapped WriteFile, waited for at once (the write time-out bounds
//   it), on the one event the drain reads also use: under Wine an event made and closed
//   per write costs two server calls more, and a completion-port entry one more.
#include "platform/win32/win32_comm_port.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/fatal.h"
#include "platform/log.h"
#include "platform/serial/settings_text.h"
#include "platform/serial_device.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_ui.h"

namespace platform::win32 {

namespace {

constexpr DWORD OutputTimeoutMs = 2000;

class SystemSerialApi : public SerialApi {
  public:
    HANDLE createFile(const wchar_t* name) override {
        return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    }
    BOOL closeHandle(HANDLE h) override { return CloseHandle(h); }
    BOOL getCommState(HANDLE h, DCB* dcb) override { return GetCommState(h, dcb); }
    BOOL setCommState(HANDLE h, DCB* dcb) override { return SetCommState(h, dcb); }
    BOOL setCommTimeouts(HANDLE h, COMMTIMEOUTS* t) override { return SetCommTimeouts(h, t); }
    BOOL setupComm(HANDLE h, DWORD in, DWORD out) override { return SetupComm(h, in, out); }
    BOOL purgeComm(HANDLE h, DWORD flags) override { return PurgeComm(h, flags); }
    BOOL readFile(HANDLE h, void* buf, DWORD size, OVERLAPPED* ov) override {
        return ReadFile(h, buf, size, nullptr, ov);
    }
    BOOL writeFile(HANDLE h, const void* buf, DWORD size, OVERLAPPED* ov) override {
        return WriteFile(h, buf, size, nullptr, ov);
    }
    BOOL getOverlappedResult(HANDLE h, OVERLAPPED* ov, DWORD* done, BOOL wait) override {
        return GetOverlappedResult(h, ov, done, wait);
    }
    BOOL cancelIo(HANDLE h) override { return CancelIo(h); }
    BOOL clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) override {
        return ClearCommError(h, errors, stat);
    }
    DWORD lastError() override { return GetLastError(); }
};

// The line errors ClearCommError reports, as the program's events.
constexpr std::pair<DWORD, int16_t> LineErrors[] = {
    {CE_FRAME, comm::EvFrame},
    {CE_RXPARITY, comm::EvRxParity},
    {CE_OVERRUN, comm::EvOverrun},
    {CE_RXOVER, comm::EvRxOver},
};

}  // namespace

SerialApi& systemSerialApi() {
    static SystemSerialApi api;
    return api;
}

Win32CommPort::Win32CommPort(SerialApi& api) : api_(api) {
    readEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    syncEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    armEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    quitEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    static const ATOM wakeClass = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = wakeProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VorbixLoaderPort";
        return RegisterClassExW(&wc);
    }();
    wakeWindow_ = CreateWindowExW(0, MAKEINTATOM(wakeClass), nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!readEvent_ || !syncEvent_ || !armEvent_ || !quitEvent_ || !wakeWindow_)
        throw lastError("cannot set up the serial port");
    SetWindowLongPtrW(wakeWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    waiter_ = CreateThread(nullptr, 64 * 1024, waiter, this, 0, nullptr);
    if (!waiter_) throw lastError("cannot set up the serial port");
}

Win32CommPort::~Win32CommPort() {
    close();
    SetEvent(quitEvent_);
    WaitForSingleObject(waiter_, INFINITE);
    CloseHandle(waiter_);
    DestroyWindow(wakeWindow_);  // a message still posted to it is dropped
    for (HANDLE h : {readEvent_, syncEvent_, armEvent_, quitEvent_}) CloseHandle(h);
}

DWORD WINAPI Win32CommPort::waiter(void* port) {
    // Only the handles, which stay as they are until this thread has ended.
    const auto& p = *static_cast<const Win32CommPort*>(port);
    const HANDLE armed[] = {p.quitEvent_, p.armEvent_};
    const HANDLE read[] = {p.quitEvent_, p.readEvent_};
    while (WaitForMultipleObjects(2, armed, FALSE, INFINITE) == WAIT_OBJECT_0 + 1 &&
           WaitForMultipleObjects(2, read, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
        PostMessageW(p.wakeWindow_, WM_APP, 0, 0);
    return 0;
}

LRESULT CALLBACK Win32CommPort::wakeProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_APP) return DefWindowProcW(w, msg, wp, lp);
    if (auto* port = reinterpret_cast<Win32CommPort*>(GetWindowLongPtrW(w, GWLP_USERDATA)))
        port->woken();
    return 0;
}

void Win32CommPort::woken() {
    armed_ = false;
    // After an error report nothing of the program runs; the process ends after it.
    if (eventsStopped()) return;
    if (watched_) readDone();
    watch(watched_);
}

void Win32CommPort::watch(bool on) {
    watched_ = on;
    if (watched_ && !armed_) {
        armed_ = true;
        SetEvent(armEvent_);
    }
}

void Win32CommPort::setSettings(const std::string& settings) {
    // Any speed the driver takes; SetCommState says which.
    takeSettings(settings, serial::settingsBaud(settings).value_or(0),
                 [this] { applySettings(handle_); });
}

void Win32CommPort::discardInput() {
    api_.purgeComm(handle_, PURGE_RXCLEAR);
    resumeReads();
}

std::string Win32CommPort::input() {
    std::string s = CommPortBase::input();
    if (!s.empty()) resumeReads();
    return s;
}

void Win32CommPort::resumeReads() {
    // Inside the port's own wake-up the next read starts as it ends. Outside it the
    // message loop is asked to wake the port, so no handler runs inside the caller.
    if (stalled_ && handlerDepth_ == 0 && queue_.room() > 0) {
        stalled_ = false;
        SetEvent(readEvent_);
    }
}

void Win32CommPort::applySettings(HANDLE h) const {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!api_.getCommState(h, &dcb))
        throw fromWin32(api_.lastError(), name() + ": cannot read the port's settings");
    // 8N1 at the chosen speed, binary, no flow control of any kind. DTR and RTS stay as
    // the driver has them, unless RTS was given to handshaking.
    dcb.BaudRate = speed_;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE || dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE) dcb.fDtrControl = DTR_CONTROL_ENABLE;
    if (!api_.setCommState(h, &dcb))
        throw RuntimeError(err::InvalidPropertyValue, name() + ": settings \"" + settings_ +
                                                          "\" are not ones this port takes");
}

void Win32CommPort::open() {
    if (portOpen()) throw RuntimeError(err::PortAlreadyOpen, name() + ": port already open");
    const std::string dev = serialDevice(port_);  // \\.\COMn, also for COM10 and above
    HANDLE h = api_.createFile(widen(dev).c_str());
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = api_.lastError();
        // Windows opens a serial port for one program at a time.
        if (e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION)
            throw RuntimeError(err::PortAlreadyOpen,
                               name() + ": " + dev + " is in use by another program");
        const RuntimeError error = fromWin32(e, name() + ": cannot open " + dev);
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
            throw RuntimeError(err::InvalidPortNumber, error.description());
        throw error;
    }
    try {
        api_.setupComm(h, 4096, 4096);
        applySettings(h);
        // No read time-outs: the pending read asks for one byte and ends when it comes
        // (Wine ignores the time-outs that make a larger read end early); what follows
        // it is then taken at once.
        COMMTIMEOUTS t{};
        t.WriteTotalTimeoutConstant = OutputTimeoutMs;
        if (!api_.setCommTimeouts(h, &t))
            throw fromWin32(api_.lastError(), name() + ": cannot set up " + dev);
    } catch (...) {
        api_.closeHandle(h);
        throw;
    }
    api_.purgeComm(h, PURGE_RXCLEAR);
    handle_ = h;
    ++generation_;
    watch(true);
    startReads();
}

void Win32CommPort::close() {
    if (!portOpen()) return;
    watch(false);
    if (reading_) {
        api_.cancelIo(handle_);
        DWORD got = 0;
        api_.getOverlappedResult(handle_, &readOv_, &got, TRUE);  // the buffer is ours again
        reading_ = false;
    }
    api_.closeHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    stalled_ = false;
    queue_.clear();
    ++generation_;
}

void Win32CommPort::hangUp(DWORD error) {
    // Reported once; the port stays closed until "down load" or PORT opens it again.
    logLine(name() + ": " + serialDevice(port_) + " has gone away (error " + std::to_string(error) +
            "); port closed");
    close();
    event_ = comm::EvHangUp;
    runHandler(onComm);
}

void Win32CommPort::startReads() {
    const uint64_t generation = generation_;
    while (generation == generation_ && portOpen()) {
        stalled_ = queue_.room() == 0;
        if (stalled_) {
            ResetEvent(readEvent_);  // else the loop would wake the port again and again
            return;
        }
        readOv_ = OVERLAPPED{};
        readOv_.hEvent = readEvent_;  // ReadFile resets it as the read starts
        if (!api_.readFile(handle_, readBuf_, 1, &readOv_)) {
            const DWORD e = api_.lastError();
            if (e == ERROR_IO_PENDING) {
                reading_ = true;
                return;
            }
            hangUp(e);
            return;
        }
        // Done at once: the result is there already.
        DWORD got = 0;
        if (!api_.getOverlappedResult(handle_, &readOv_, &got, FALSE)) {
            hangUp(api_.lastError());
            return;
        }
        if (!takeRead(got)) return;
        // An empty read that returns at once would spin: wait for the event instead.
        if (got == 0) {
            reading_ = false;
            SetEvent(readEvent_);
            return;
        }
    }
}

void Win32CommPort::readDone() {
    if (!portOpen()) return;
    if (handlerDepth_ > 0) {
        // A handler of this port waits in a nested loop: nothing of the port may run
        // inside it, and the signalled event must not wake that loop again and again.
        watch(false);
        paused_ = true;
        return;
    }
    ++handlerDepth_;
    const uint64_t generation = generation_;
    if (reading_) {
        reading_ = false;
        DWORD got = 0;
        if (!api_.getOverlappedResult(handle_, &readOv_, &got, FALSE)) {
            const DWORD e = api_.lastError();
            if (e == ERROR_IO_INCOMPLETE) {
                reading_ = true;  // woken early: keep waiting
                --handlerDepth_;
                return;
            }
            hangUp(e);
            --handlerDepth_;
            return;
        }
        if (!takeRead(got)) {
            --handlerDepth_;
            return;
        }
    }
    if (generation == generation_) startReads();
    --handlerDepth_;
    if (paused_ && portOpen() && generation == generation_) watch(true);
    paused_ = false;
}

bool Win32CommPort::takeRead(DWORD got) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!api_.clearCommError(handle_, &errors, &stat)) {
        hangUp(api_.lastError());
        return false;
    }
    // The bytes that came after the first are there already, so this read ends at once;
    // no more than the queue keeps, the rest waits with the driver.
    const size_t room = queue_.room();
    const DWORD want = got < room ? std::min<DWORD>(stat.cbInQue, room - got) : 0;
    if (got > 0 && want > 0) {
        OVERLAPPED ov{};
        ov.hEvent = syncEvent();
        DWORD more = 0;
        DWORD moreErrors = 0;
        if (!syncIo(api_.readFile(handle_, readBuf_ + got, want, &ov), ov, more) ||
            !api_.clearCommError(handle_, &moreErrors, &stat)) {
            hangUp(api_.lastError());
            return false;
        }
        got += more;
        errors |= moreErrors;
    }
    // The errors came with these bytes; the last of them is the latest a faulty
    // character can be. Placed before it, an error marks the line that character ends
    // or continues (the logger sends one frame and waits for the answer).
    std::vector<serial::ReceiveQueue::LineError> marks;
    for (const auto& [flag, code] : LineErrors)
        if (errors & flag) marks.push_back({got > 0 ? got - 1 : 0, code});
    queue_.store({readBuf_, got}, marks);
    const uint64_t generation = generation_;
    queue_.deliver(rThreshold_, event_, onComm, generation_);
    return generation == generation_;
}

HANDLE Win32CommPort::syncEvent() const {
    // The low bit set keeps a completion from being queued to a completion port: the
    // port has none, and under Wine asking costs a server call per read and write.
    return reinterpret_cast<HANDLE>(reinterpret_cast<uintptr_t>(syncEvent_) | 1);
}

bool Win32CommPort::syncIo(BOOL started, OVERLAPPED& ov, DWORD& done) {
    // `ov` was given to the call that returned `started`; its event is ours to reuse.
    if (!started && api_.lastError() != ERROR_IO_PENDING) return false;
    return api_.getOverlappedResult(handle_, &ov, &done, TRUE);
}

void Win32CommPort::output(const std::string& bytes) {
    if (!portOpen()) throw RuntimeError(err::PortNotOpen, name() + ": port not open");
    if (bytes.empty()) return;
    OVERLAPPED ov{};
    ov.hEvent = syncEvent();
    DWORD done = 0;
    // The write time-out ends it; the wait is bounded.
    if (!syncIo(api_.writeFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &ov), ov,
                done))
        throw fromWin32(api_.lastError(), name() + ": cannot write to " + serialDevice(port_));
    if (done < bytes.size())
        throw RuntimeError(err::DeviceIoError,
                           name() + ": " + serialDevice(port_) + " takes no more output");
}

}  // namespace platform::win32
