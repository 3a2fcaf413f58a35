// The Win32 serial port on a fake device: what Wine cannot show on a pty (line errors
// from ClearCommError, a pulled adapter, a port held by another program).
#include <gtest/gtest.h>

#include <deque>

#include "platform/error.h"
#include "platform/win32/win32_comm_port.h"

namespace {

using namespace platform;

// One read completion: bytes, the errors ClearCommError then reports, or a failure.
struct Chunk {
    std::string bytes;
    DWORD lineErrors = 0;
    DWORD readError = 0;   // the read fails with this
    DWORD clearError = 0;  // ClearCommError fails with this
};

class FakeDevice : public win32::SerialApi {
  public:
    HANDLE const port = reinterpret_cast<HANDLE>(0x5e1);
    DWORD openError = 0;
    std::deque<Chunk> chunks;  // completed one per wake-up
    std::string written;
    DCB dcb{};
    int opens = 0, closes = 0, clears = 0;

    HANDLE createFile(const wchar_t* name) override {
        lastName = name;
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
    BOOL purgeComm(HANDLE, DWORD) override { return TRUE; }
    BOOL readFile(HANDLE, void* buf, DWORD, OVERLAPPED*) override {
        error = ERROR_IO_PENDING;  // completes when the test delivers
        reading = buf;
        return FALSE;
    }
    BOOL writeFile(HANDLE, const void* buf, DWORD size, OVERLAPPED*) override {
        written.append(static_cast<const char*>(buf), size);
        lastWrite = size;
        writing = true;
        return TRUE;
    }
    BOOL getOverlappedResult(HANDLE, OVERLAPPED*, DWORD* done, BOOL) override {
        if (writing) {
            writing = false;
            *done = lastWrite;
            return TRUE;
        }
        *done = got;
        if (failed) error = failed;
        return failed ? FALSE : TRUE;
    }
    BOOL cancelIo(HANDLE) override { return TRUE; }
    BOOL clearCommError(HANDLE, DWORD* errors, COMSTAT*) override {
        ++clears;
        *errors = pendingErrors;
        pendingErrors = 0;
        if (clearFails) error = clearFails;
        return clearFails ? FALSE : TRUE;
    }
    DWORD lastError() override { return error; }

    // Completes the pending read with the next chunk, as the device would.
    void deliver(win32::Win32CommPort& p) {
        ASSERT_FALSE(chunks.empty());
        const Chunk c = chunks.front();
        chunks.pop_front();
        std::copy(c.bytes.begin(), c.bytes.end(), static_cast<char*>(reading));
        got = static_cast<DWORD>(c.bytes.size());
        failed = c.readError;
        pendingErrors = c.lineErrors;
        clearFails = c.clearError;
        p.readDone();
    }

    std::wstring lastName;

  private:
    DWORD error = 0, got = 0, failed = 0, pendingErrors = 0, clearFails = 0, lastWrite = 0;
    void* reading = nullptr;
    bool writing = false;
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
    EXPECT_EQ(dev.lastName, L"\\\\.\\COM12");
    EXPECT_EQ(dev.dcb.BaudRate, 57600u);
    EXPECT_EQ(dev.dcb.ByteSize, 8);
    EXPECT_EQ(dev.dcb.Parity, NOPARITY);
    EXPECT_EQ(dev.dcb.StopBits, ONESTOPBIT);
    EXPECT_FALSE(dev.dcb.fOutxCtsFlow);
    EXPECT_FALSE(dev.dcb.fOutX || dev.dcb.fInX);
    EXPECT_EQ(dev.dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));  // left alone
    EXPECT_EQ(dev.dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));  // no handshake
    port.output("DOWN\r");
    EXPECT_EQ(dev.written, "DOWN\r");
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

TEST_F(CommPortTest, HangUpClosesAndIsToldOnceThenReopens) {
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
    EXPECT_TRUE(port.portOpen());
}

TEST_F(CommPortTest, HandlerThatClosesThePortStopsDelivery) {
    port.setPortOpen(true);
    port.onComm = [this] {
        events += port.input();
        port.setPortOpen(false);
    };
    dev.chunks = {{"ABC"}};
    dev.deliver(port);
    EXPECT_EQ(events, "A");
    EXPECT_EQ(dev.closes, 1);
}

}  // namespace
