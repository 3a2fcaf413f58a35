// Watches a window's picture until it stops changing and prints when it last changed
// (CLOCK_REALTIME, ns): the moment the final picture was first on screen, give or take
// one grab. Used to time what the operator sees, since there is no other signal of it.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {
int64_t nowNs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

uint64_t pictureHash(Display* dpy, Window w) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(dpy, w, &a)) return 0;
    XImage* img = XGetImage(dpy, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!img) return 0;
    uint64_t h = 1469598103934665603ull;  // FNV-1a
    const size_t bytes = size_t(img->bytes_per_line) * img->height;
    for (size_t i = 0; i < bytes; ++i) h = (h ^ uint8_t(img->data[i])) * 1099511628211ull;
    XDestroyImage(img);
    return h;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: x_settle WINDOW-ID QUIET-MS\n");
        return 2;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return std::fprintf(stderr, "x_settle: no display\n"), 1;
    const Window w = std::strtoul(argv[1], nullptr, 0);
    const int64_t quietNs = std::atoll(argv[2]) * 1'000'000;
    uint64_t last = pictureHash(dpy, w);
    int64_t changedAt = nowNs(CLOCK_REALTIME), changedMono = nowNs(CLOCK_MONOTONIC);
    std::printf("ready\n");
    std::fflush(stdout);
    while (nowNs(CLOCK_MONOTONIC) - changedMono < quietNs) {
        const timespec pause{0, 5'000'000};
        nanosleep(&pause, nullptr);
        const int64_t at = nowNs(CLOCK_REALTIME), mono = nowNs(CLOCK_MONOTONIC);
        const uint64_t h = pictureHash(dpy, w);
        if (h != last) {
            last = h;
            changedAt = at;
            changedMono = mono;
        }
    }
    std::printf("%lld\n", static_cast<long long>(changedAt));
    XCloseDisplay(dpy);
    return 0;
}
