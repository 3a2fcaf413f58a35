/* What the two Windows floors share: opening the port 8N1 at 57600 bit/s without flow
 * control, as the program does, one write, and the CPU time printed at the end. */
#pragma once

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static HANDLE floorOpen(const char* name, DWORD flags) {
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, flags, NULL);
    DCB dcb = {0};
    dcb.DCBlength = sizeof dcb;
    if (h == INVALID_HANDLE_VALUE || !GetCommState(h, &dcb)) {
        fprintf(stderr, "floor: cannot open %s (error %lu)\n", name, GetLastError());
        exit(1);
    }
    dcb.BaudRate = 57600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    SetCommState(h, &dcb);
    PurgeComm(h, PURGE_RXCLEAR);
    return h;
}

/* `event` null: a synchronous handle. */
static BOOL floorWrite(HANDLE h, HANDLE event, const char* bytes, DWORD size) {
    DWORD done = 0;
    if (!event) return WriteFile(h, bytes, size, &done, NULL) && done == size;
    OVERLAPPED ov = {0};
    ov.hEvent = event;
    if (!WriteFile(h, bytes, size, NULL, &ov) && GetLastError() != ERROR_IO_PENDING) return FALSE;
    return GetOverlappedResult(h, &ov, &done, TRUE) && done == size;
}

static int floorEnd(int code) {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const double s = ((double)kernel.dwLowDateTime + (double)kernel.dwHighDateTime * 4294967296.0 +
                      (double)user.dwLowDateTime + (double)user.dwHighDateTime * 4294967296.0) /
                     1e7;
    printf("cpu_s %.3f\n", s);
    fflush(stdout);
    return code;
}
