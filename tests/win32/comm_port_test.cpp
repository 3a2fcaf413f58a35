// The Win32 serial port on a fake device: what Wine cannot show on a pty (line errors
// from ClearCommError, a pulled adapter, a port held by another program). A line longer
// than the queue, in one write, the end-to-end download under Wine sends. And the PORT
// dialog's tooltip on the devices the system lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <tuple>
#include <utility>

#include "platform/error.h"
#include "platform/win32/win32_comm_port.h"
#include "platform/win32/win32_serial_device.h"

namespace {

using namespace platform;

// What reaches the device at once: bytes, the errors ClearCommError then reports, or a
// failure of the pending read or of ClearCommError.
struct Chunk {
    std::string bytes;
    DWORD lineErrors = 0;
    DWORD readError = 0;   // the pending read fails with this
    DWORD clearError = 0;  // ClearCommError fails with this
};

// A driver that holds what arrived until it is read: a read takes what it holds at once
// (up to its size), else it stays pending until the test delivers the next chunk.
class FakeDevice : public win32::SerialApi {
  public:
    HANDLE const port = reinterpret_cast<HANDLE>(0x5e1);
    DWORD openError = 0;
    std::deque<Chunk> chunks;  // one reaches the driver per deliver()
    std::string held;          // received, not yet read
    DCB dcb{};
    int opens = 0, closes = 0;
    OVERLAPPED* pending = nullptr;  // the read waiting for bytes

    HANDLE createFile(const wchar_t*) override {
        if (openError) {
            error = openError;
            return INVALID_HANDLE_VALUE;
        }
        ++opens;
        return port;
    }
    BOOL closeHandle(HANDLE) override { return ++closes, TRUE; }
    BOOL getCommState(HANDLE, DCB* d) override {
        dcb.DCBlength = sizeof dcb;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        dcb.fOutxCtsFlow = TRUE;
        *d = dcb;
        return TRUE;
    }
    BOOL setCommState(HANDLE, DCB* d) override { return dcb = *d, TRUE; }
    BOOL setCommTimeouts(HANDLE, COMMTIMEOUTS*) override { return TRUE; }
    BOOL setupComm(HANDLE, DWORD, DWORD) override { return TRUE; }
    BOOL purgeComm(HANDLE, DWORD) override { return held.clear(), TRUE; }
    BOOL readFile(HANDLE, void* buf, DWORD size, OVERLAPPED* ov) override {
        EXPECT_EQ(pending, nullptr) << "a second read while one is pending";
        ResetEvent(ov->hEvent);
        if (held.empty()) {
            readEvent = ov->hEvent;  // the one the waiter waits for
            ov->Internal = STATUS_PENDING;
            pending = ov, pendingBuf = static_cast<char*>(buf), pendingSize = size;
            error = ERROR_IO_PENDING;
            return FALSE;
        }
        complete(ov, static_cast<char*>(buf), size);
        return TRUE;
    }
    BOOL writeFile(HANDLE, const void*, DWORD size, OVERLAPPED* ov) override {
        ov->Internal = 0;
        ov->InternalHigh = size;
        return TRUE;
    }
    BOOL getOverlappedResult(HANDLE, OVERLAPPED* ov, DWORD* done, BOOL) override {
        *done = static_cast<DWORD>(ov->InternalHigh);
        if (ov->Internal == 0) return TRUE;
        error =
            ov->Internal == STATUS_PENDING ? ERROR_IO_INCOMPLETE : static_cast<DWORD>(ov->Internal);
        return FALSE;
    }
    BOOL cancelIo(HANDLE) override {
        if (pending) pending->Internal = ERROR_OPERATION_ABORTED, pending = nullptr;
        return TRUE;
    }
    BOOL clearCommError(HANDLE, DWORD* errors, COMSTAT* stat) override {
        *errors = lineErrors;
        lineErrors = 0;
        stat->cbInQue = static_cast<DWORD>(held.size());
        if (clearFails) error = clearFails;
        return clearFails ? FALSE : TRUE;
    }
    DWORD lastError() override { return error; }

    // The next chunk arrives: the pending read completes, and the port is woken as the
    // message loop would wake it.
    void deliver(win32::Win32CommPort& p) {
        ASSERT_FALSE(chunks.empty());
        const Chunk c = chunks.front();
        chunks.pop_front();
        held += c.bytes;
        lineErrors |= c.lineErrors;
        clearFails = c.clearError;
        if (pending) {
            OVERLAPPED* ov = std::exchange(pending, nullptr);
            if (c.readError)
                ov->Internal = c.readError;
            else
                complete(ov, pendingBuf, pendingSize);
            SetEvent(ov->hEvent);
        }
        p.readDone();
    }
    // Whether the port asked to be woken (its read event is signalled).
    bool wakeDue() const { return WaitForSingleObject(readEvent, 0) == WAIT_OBJECT_0; }

  private:
    void complete(OVERLAPPED* ov, char* buf, DWORD size) {
        const size_t n = std::min<size_t>(size, held.size());
        std::copy_n(held.begin(), n, buf);
        held.erase(0, n);
        ov->Internal = 0;
        ov->InternalHigh = n;
    }

    DWORD error = 0, lineErrors = 0, clearFails = 0;
    HANDLE readEvent = nullptr;
    char* pendingBuf = nullptr;
    DWORD pendingSize = 0;
};

struct CommPortTest : ::testing::Test {
    FakeDevice dev;
    win32::Win32CommPort port{dev};
    std::string events;  // "r<byte>" per receive event, "e<code>" per line error

    void SetUp() override {
        port.setCommPort(12);
        port.setSettings("57600,n,8,1");
        port.setInputLen(1);
        port.setRThreshold(1);
        port.onComm = [this] {
            if (port.commEvent() == comm::EvReceive)
                events += "r" + port.input();
            else
                events += "e" + std::to_string(port.commEvent());
        };
    }
};

TEST_F(CommPortTest, OpensPortByDeviceName8N1WithoutFlowControl) {
    port.setPortOpen(true);
    const DCB& d = dev.dcb;
    EXPECT_EQ(std::tuple(d.BaudRate, d.ByteSize, d.Parity, d.StopBits),
              std::tuple(57600ul, BYTE{8}, BYTE{NOPARITY}, BYTE{ONESTOPBIT}));
    EXPECT_FALSE(d.fOutxCtsFlow || d.fOutX || d.fInX);
    EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));  // left alone
    EXPECT_EQ(d.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));  // no handshake
}

TEST_F(CommPortTest, OpenErrorsNameTheCause) {
    const std::pair<DWORD, std::string> cases[] = {
        {ERROR_ACCESS_DENIED, "COM12: \\\\.\\COM12 is in use by another program"},
        {ERROR_FILE_NOT_FOUND, "COM12: cannot open \\\\.\\COM12"}};
    for (const auto& [code, text] : cases) {
        dev.openError = code;
        try {
            port.setPortOpen(true);
            ADD_FAILURE() << code;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.description().rfind(text, 0), 0u) << e.description();
            EXPECT_EQ(e.number(),
                      code == ERROR_ACCESS_DENIED ? err::PortAlreadyOpen : err::InvalidPortNumber);
        }
        EXPECT_FALSE(port.portOpen());
    }
}

TEST_F(CommPortTest, OneEventPerCharacterAndLineErrorsBeforeTheLastOne) {
    port.setPortOpen(true);
    dev.chunks = {{"AB"}, {"CD\r", CE_FRAME | CE_OVERRUN}, {"\r", CE_RXPARITY}, {"x", CE_RXOVER}};
    for (int i = 0; i < 4; ++i) dev.deliver(port);
    EXPECT_EQ(events, "rArBrCrDe1004e1006r\re1009r\re1008rx");
}

TEST_F(CommPortTest, AFullQueueLeavesTheRestWithTheDriverUntilInputOrADiscardMakesRoom) {
    bool reading = false;
    port.onComm = [&] { events += reading ? port.input() : "-"; };
    port.setPortOpen(true);
    const std::string sent = std::string(3000, 'k') + "\r";
    dev.chunks = {{sent}};
    dev.deliver(port);
    EXPECT_EQ(events, "-");  // the handler reads nothing: one event, no spin
    const size_t kept = sent.size() - dev.held.size();
    EXPECT_EQ(kept, 1024u);
    // No read pending, and the loop is not asked to wake the port again and again.
    EXPECT_EQ(dev.pending, nullptr);
    EXPECT_FALSE(dev.wakeDue());
    port.readDone();  // a stray wake-up takes nothing either
    EXPECT_EQ(dev.held.size(), sent.size() - kept);

    // Input outside the port's wake-up makes room; the loop wakes the port, which reads on.
    reading = true;
    port.setInputLen(0);
    std::string got = port.input();
    ASSERT_TRUE(dev.wakeDue());
    port.readDone();
    EXPECT_EQ(got + events.substr(1), sent);
    EXPECT_EQ(dev.held, "");

    // A discard empties a full queue and the driver alike; reading starts again.
    reading = false;
    dev.chunks = {{std::string(2000, 'x')}};
    dev.deliver(port);
    EXPECT_EQ(dev.pending, nullptr);
    port.setInBufferCount(0);
    ASSERT_TRUE(dev.wakeDue());
    port.readDone();
    EXPECT_NE(dev.pending, nullptr);
}

TEST_F(CommPortTest, AWakeUpInsideAHandlersNestedLoopRunsNothingOfThePort) {
    int depth = 0, deepest = 0;
    port.onComm = [&] {
        deepest = std::max(deepest, ++depth);
        events += port.input();
        if (events == "a") {  // as a modal box's loop does: more comes and wakes the port
            dev.chunks = {{"cd"}};
            dev.deliver(port);
        }
        --depth;
    };
    port.setPortOpen(true);
    dev.chunks = {{"ab"}};
    dev.deliver(port);
    EXPECT_EQ(events, "abcd");
    EXPECT_EQ(deepest, 1);
}

// A handler that closes the port, or a hang-up, stops delivery.
TEST_F(CommPortTest, HangUpClosesAndIsToldOnceThenReopensAsAHandlersCloseDoes) {
    const Chunk gone[] = {{"", 0, ERROR_OPERATION_ABORTED}, {"A", 0, 0, ERROR_BAD_COMMAND}};
    for (const Chunk& c : gone) {
        port.setPortOpen(true);
        dev.chunks = {c};
        dev.deliver(port);
        EXPECT_FALSE(port.portOpen());
        EXPECT_EQ(dev.closes, dev.opens);
        port.readDone();  // a stale wake-up does nothing
        EXPECT_EQ(dev.closes, dev.opens);
        EXPECT_THROW(port.input(), RuntimeError);
    }
    // Told once each; bytes that came with a failed ClearCommError are not trusted.
    EXPECT_EQ(events, "e5e5");
    port.setPortOpen(true);
    port.onComm = [this] {
        events += port.input();
        port.setPortOpen(false);
    };
    dev.chunks = {{"ABC"}};
    dev.deliver(port);
    EXPECT_EQ(events, "e5e5A");
    EXPECT_EQ(dev.closes, 3);
}

// The PORT dialog's tooltip, on devices as SetupAPI would list them.
TEST(PortTooltip, NamesTheDeviceAndTellsOfASlowFtdiAdapterAndOneAboveCom12) {
    const std::string Slow =
        "\nThe adapter holds received bytes up to 16 ms, which slows a download: set its Latency "
        "Timer to 1 ms in Device Manager (the port's Properties, Port Settings, Advanced).";
    const std::vector<win32::PortDevice> devices = {
        {"COM5", "USB Serial Port (COM5)", "FTDIBUS\\COMPORT&VID_0403&PID_6001", true, 16},
        {"COM6", "USB Serial Port (COM6)", "ftdibus\\COMPORT&VID_0403&PID_6015", true, 2},
        {"COM7", "USB Serial Port (COM7)", "FTDIBUS\\COMPORT&VID_0403&PID_6001", true, {}},
        // Another maker's driver may keep a value of that name: it means nothing there.
        {"COM8", "Prolific USB-to-Serial (COM8)", "USB\\VID_067B&PID_2303", true, 16},
        {"com9", "Communications Port (COM9)", "ACPI\\PNP0501", false, {}},
        {"COM9", "a second, absent entry", "ACPI\\PNP0501", false, {}},
        // Out of the dialog's reach: told of on every port, when present.
        {"COM13", "USB Serial Device (COM13)", "USB\\VID_2341&PID_0043", true, {}},
        {"COM14", "an unplugged adapter (COM14)", "USB\\VID_2341&PID_0043", false, {}},
    };
    const std::string Far =
        "\nUSB Serial Device (COM13) is present, but COM13 is out of reach: give it a number "
        "from 1 to 12 in Device Manager (the port's Properties, Port Settings, Advanced, COM "
        "Port Number).";
    const struct {
        int16_t port;
        bool dosName;
        std::string says;
    } cases[] = {
        {5, false, "COM5: USB Serial Port (COM5) (present)" + Slow + Far},
        {6, false, "COM6: USB Serial Port (COM6) (present)" + Far},  // 2 ms is fast enough
        {7, false, "COM7: USB Serial Port (COM7) (present)" + Far},  // no timer to read
        {8, false, "COM8: Prolific USB-to-Serial (COM8) (present)" + Far},
        {9, true, "COM9: Communications Port (COM9) (not present)" + Far},  // the first entry
        {3, true, "COM3: \\\\.\\COM3 (present)" + Far},  // mapped, not Plug and Play
        {4, false, "COM4: \\\\.\\COM4 (not present)" + Far},
    };
    for (const auto& c : cases)
        EXPECT_EQ(win32::describePort(c.port, devices, [&] { return c.dosName; }), c.says);
}

}  // namespace
