// The floor of the whole-program benchmark: the least a host can do on the line. Opens a
// serial device raw, asks for a download and answers "OK" CR to every CR at once, until
// the line goes away.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: floor-host DEVICE\n");
        return 2;
    }
    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY);
    termios t{};
    if (fd < 0 || ::tcgetattr(fd, &t) != 0) return std::perror(argv[1]), 1;
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    if (::write(fd, "DOWN\r", 5) != 5) return 1;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        for (ssize_t i = 0; i < n; ++i)
            if (buf[i] == '\r' && ::write(fd, "OK\r", 3) != 3) return 1;
    return 0;
}
