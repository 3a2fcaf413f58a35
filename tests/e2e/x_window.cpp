// What a window manager would do and see, for tests under Xvfb without one:
//   x_window close WINDOW-ID        asks the window to close as a close box would
//                                   (WM_DELETE_WINDOW), so the program runs its shut-down
//   x_window pixels WINDOW-ID X,Y...  prints the colour of each of the window's pixels as
//                                   rrggbb, one a line
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    const bool close = argc == 3 && std::strcmp(argv[1], "close") == 0;
    if (!close && (argc < 4 || std::strcmp(argv[1], "pixels") != 0)) {
        std::fprintf(stderr, "usage: x_window close WINDOW-ID | pixels WINDOW-ID X,Y...\n");
        return 2;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "x_window: no display\n");
        return 1;
    }
    const Window w = std::strtoul(argv[2], nullptr, 0);
    if (close) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(dpy, w, False, NoEventMask, &ev);
    }
    int rc = 0;
    for (int i = 3; i < argc; ++i) {
        int x = 0, y = 0;
        XImage* image = std::sscanf(argv[i], "%d,%d", &x, &y) == 2
                            ? XGetImage(dpy, w, x, y, 1, 1, AllPlanes, ZPixmap)
                            : nullptr;
        if (!image) {
            std::fprintf(stderr, "x_window: cannot read %s\n", argv[i]);
            rc = 1;
            continue;
        }
        std::printf("%06lx\n", XGetPixel(image, 0, 0) & 0xffffff);
        XDestroyImage(image);
    }
    XCloseDisplay(dpy);
    return rc;
}
