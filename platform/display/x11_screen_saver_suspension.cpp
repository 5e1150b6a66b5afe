#include "x11_screen_saver_suspension.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace platform {

std::unique_ptr<X11ScreenSaverSuspension> X11ScreenSaverSuspension::Begin() {
    ::Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    // Suspending needs version 1.1 of the extension.
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase) ||
        !XScreenSaverQueryVersion(display, &major, &minor) || (major == 1 && minor < 1) || major < 1) {
        XCloseDisplay(display);
        return nullptr;
    }
    XScreenSaverSuspend(display, True);
    std::unique_ptr<X11ScreenSaverSuspension> suspension(new X11ScreenSaverSuspension(display));
    suspension->reset();
    return suspension;
}

X11ScreenSaverSuspension::~X11ScreenSaverSuspension() {
    auto* display = static_cast<::Display*>(display_);
    XScreenSaverSuspend(display, False);
    XCloseDisplay(display);
}

void X11ScreenSaverSuspension::reset() {
    auto* display = static_cast<::Display*>(display_);
    XForceScreenSaver(display, ScreenSaverReset);
    XFlush(display);
}

}  // namespace platform
