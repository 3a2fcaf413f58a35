/* The event floor of the Windows benchmark (bench/program.sh with BENCH_WINE): the least
 * an event-driven Win32 program pays to answer the logger. One pending overlapped
 * one-byte ReadFile, waited for with WaitForSingleObject; then ClearCommError and at
 * once a read of what cbInQue says waits; overlapped writes with one reused event. Asks
 * for a download and answers "OK" CR to every CR until the line goes away; prints its
 * CPU time at the end. Usage: floor-event [PORT] (default \\.\COM1) */
#include "bench/floor_win32.h"

int main(int argc, char** argv) {
    HANDLE h = floorOpen(argc > 1 ? argv[1] : "\\\\.\\COM1", FILE_FLAG_OVERLAPPED);
    COMMTIMEOUTS t = {0, 0, 0, 0, 2000};
    HANDLE readEvent = CreateEventW(NULL, TRUE, FALSE, NULL);
    HANDLE ioEvent = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (!SetCommTimeouts(h, &t) || !floorWrite(h, ioEvent, "DOWN\r", 5)) return 1;
    char buf[4096];
    for (;;) {
        OVERLAPPED ov = {0};
        ov.hEvent = readEvent;
        DWORD got = 0, errors = 0, more = 0;
        if (!ReadFile(h, buf, 1, NULL, &ov)) {
            if (GetLastError() != ERROR_IO_PENDING) break;
            WaitForSingleObject(readEvent, INFINITE);
        }
        if (!GetOverlappedResult(h, &ov, &got, FALSE) || got == 0) break;
        COMSTAT stat = {0};
        if (!ClearCommError(h, &errors, &stat)) break;
        if (stat.cbInQue > 0) {
            OVERLAPPED drain = {0};
            drain.hEvent = ioEvent;
            const DWORD want = stat.cbInQue < sizeof buf - 1 ? stat.cbInQue : sizeof buf - 1;
            if (!ReadFile(h, buf + 1, want, NULL, &drain) && GetLastError() != ERROR_IO_PENDING)
                break;
            if (!GetOverlappedResult(h, &drain, &more, TRUE)) break;
            got += more;
        }
        for (DWORD i = 0; i < got; ++i)
            if (buf[i] == '\r' && !floorWrite(h, ioEvent, "OK\r", 3)) return floorEnd(1);
    }
    return floorEnd(0);
}
