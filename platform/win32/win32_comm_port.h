// The serial-port control on a Win32 COM port: an overlapped read is kept pending on
// the device, and a message to a window of the port's own wakes it when the read
// completes, so every handler runs on the one window thread, under any loop that
// dispatches messages (see the .cpp's principles of operation). Win32 calls go through
// SerialApi, which tests replace with a fake device.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/serial/comm_port_base.h"

namespace platform::win32 {

class SerialApi {
  public:
    virtual ~SerialApi() = default;
    virtual HANDLE createFile(const wchar_t* name) = 0;  // read/write, exclusive, overlapped
    virtual BOOL closeHandle(HANDLE h) = 0;
    virtual BOOL getCommState(HANDLE h, DCB* dcb) = 0;
    virtual BOOL setCommState(HANDLE h, DCB* dcb) = 0;
    virtual BOOL setCommTimeouts(HANDLE h, COMMTIMEOUTS* t) = 0;
    virtual BOOL setupComm(HANDLE h, DWORD in, DWORD out) = 0;
    virtual BOOL purgeComm(HANDLE h, DWORD flags) = 0;
    virtual BOOL readFile(HANDLE h, void* buf, DWORD size, OVERLAPPED* ov) = 0;
    virtual BOOL writeFile(HANDLE h, const void* buf, DWORD size, OVERLAPPED* ov) = 0;
    virtual BOOL getOverlappedResult(HANDLE h, OVERLAPPED* ov, DWORD* done, BOOL wait) = 0;
    virtual BOOL cancelIo(HANDLE h) = 0;
    virtual BOOL clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) = 0;
    virtual DWORD lastError() = 0;
};

// The real calls.
SerialApi& systemSerialApi();

class Win32CommPort : public serial::CommPortBase {
  public:
    explicit Win32CommPort(SerialApi& api = systemSerialApi());
    ~Win32CommPort() override;
    Win32CommPort(const Win32CommPort&) = delete;
    Win32CommPort& operator=(const Win32CommPort&) = delete;

    bool portOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
    void setSettings(const std::string& settings) override;
    void output(const std::string& bytes) override;
    std::string input() override;

    // The pending read has completed (its event is signalled): takes what it brought,
    // raises the events and starts the next read.
    void readDone();

  private:
    static DWORD WINAPI waiter(void* port);
    static LRESULT CALLBACK wakeProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    void woken();         // the waiter's message
    void watch(bool on);  // whether the waiter is to wait for readEvent_
    void discardInput() override;
    void open() override;
    void close() override;
    void applySettings(HANDLE h) const;
    void startReads();
    void resumeReads();        // after Input or a discard made room in a full queue
    bool takeRead(DWORD got);  // false when the device has gone
    bool syncIo(BOOL started, OVERLAPPED& ov, DWORD& done);  // waits for one read or write
    HANDLE syncEvent() const;
    void hangUp(DWORD error);  // closes, then raises EvHangUp

    SerialApi& api_;

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    HANDLE readEvent_ = nullptr;  // the pending read's, which the waiter waits for
    HANDLE syncEvent_ = nullptr;  // the reads and writes the port waits for at once
    OVERLAPPED readOv_{};
    bool reading_ = false;  // a read is pending on the device
    bool stalled_ = false;  // no read pending: the queue is full
    char readBuf_[serial::ReceiveQueue::Capacity];
    uint64_t generation_ = 0;  // changes whenever the port is opened or closed
    int handlerDepth_ = 0;     // > 0 while the port's own wake-up runs
    bool paused_ = false;      // not watched while a nested loop runs inside that wake-up

    HWND wakeWindow_ = nullptr;  // message-only; the waiter posts to it
    HANDLE waiter_ = nullptr;
    HANDLE armEvent_ = nullptr;   // lets the waiter wait for readEvent_ once more
    HANDLE quitEvent_ = nullptr;  // ends the waiter
    bool watched_ = false;        // the port is to be woken when readEvent_ is signalled
    bool armed_ = false;          // the waiter waits for readEvent_, or its message is on the way
};

}  // namespace platform::win32
