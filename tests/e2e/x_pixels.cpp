// Prints the colour of a window's pixels as rrggbb, one a line, so a test can tell what
// a window painted where: x_pixels WINDOW-ID X,Y...
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: x_pixels WINDOW-ID X,Y...\n");
        return 2;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "x_pixels: no display\n");
        return 1;
    }
    const Window w = std::strtoul(argv[1], nullptr, 0);
    int rc = 0;
    for (int i = 2; i < argc; ++i) {
        int x = 0, y = 0;
        XImage* image = std::sscanf(argv[i], "%d,%d", &x, &y) == 2
                            ? XGetImage(dpy, w, x, y, 1, 1, AllPlanes, ZPixmap)
                            : nullptr;
        if (!image) {
            std::fprintf(stderr, "x_pixels: cannot read %s\n", argv[i]);
            rc = 1;
            continue;
        }
        std::printf("%06lx\n", XGetPixel(image, 0, 0) & 0xffffff);
        XDestroyImage(image);
    }
    XCloseDisplay(dpy);
    return rc;
}
