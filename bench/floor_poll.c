/* The polling floor of the Windows benchmark (bench/program.sh with BENCH_WINE): the
 * lowest reply latency a Win32 program gets from the serial port, at the cost of a core.
 * A synchronous handle whose reads return at once with what is there (COMMTIMEOUTS
 * {MAXDWORD, 0, 0}), read in a loop; asks for a download and answers "OK" CR to every CR
 * until the line goes away. Prints its CPU time at the end. A program with a window must
 * not do this. Usage: floor-poll [PORT] (default \\.\COM1) */
#include "bench/floor_win32.h"

int main(int argc, char** argv) {
    HANDLE h = floorOpen(argc > 1 ? argv[1] : "\\\\.\\COM1", 0);
    COMMTIMEOUTS t = {MAXDWORD, 0, 0, 0, 2000};
    if (!SetCommTimeouts(h, &t) || !floorWrite(h, NULL, "DOWN\r", 5)) return 1;
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, NULL))
        for (DWORD i = 0; i < n; ++i)
            if (buf[i] == '\r' && !floorWrite(h, NULL, "OK\r", 3)) return floorEnd(1);
    return floorEnd(0);
}
