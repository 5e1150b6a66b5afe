// Test helper: an X11 window standing in for the screen-saver host's preview window. Prints its
// id and stays until killed.
#include <X11/Xlib.h>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const int width = argc > 1 ? std::atoi(argv[1]) : 320;
    const int height = argc > 2 ? std::atoi(argv[2]) : 240;
    const int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 40, 30, unsigned(width),
                                        unsigned(height), 0, BlackPixel(display, screen), WhitePixel(display, screen));
    XSelectInput(display, window, ExposureMask | StructureNotifyMask);
    XMapWindow(display, window);
    for (XEvent event;;) {
        XNextEvent(display, &event);
        if (event.type == MapNotify) {
            std::printf("%lu\n", static_cast<unsigned long>(window));
            std::fflush(stdout);
        }
    }
}
