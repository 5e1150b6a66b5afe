#include "x11_probe.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>
#include <mutex>

namespace platform {
namespace {

std::mutex gErrorMutex;

int IgnoreError(::Display*, XErrorEvent*) { return 0; }

}  // namespace

X11Probe::X11Probe() : display_(XOpenDisplay(nullptr)) {}

X11Probe::~X11Probe() {
    if (display_) XCloseDisplay(static_cast<::Display*>(display_));
}

std::optional<RECT> X11Probe::clientRect(std::uint64_t windowId) {
    auto* display = static_cast<::Display*>(display_);
    if (!display || !windowId) return std::nullopt;
    std::lock_guard lock(gErrorMutex);
    XSync(display, False);
    XErrorHandler previous = XSetErrorHandler(IgnoreError);  // a vanished window answers BadWindow
    XWindowAttributes attributes{};
    const Status status = XGetWindowAttributes(display, Window(windowId), &attributes);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (!status) return std::nullopt;
    return RECT{0, 0, attributes.width, attributes.height};
}

std::vector<std::array<int, 4>> X11Probe::xineramaHeads() {
    auto* display = static_cast<::Display*>(display_);
    std::vector<std::array<int, 4>> heads;
    if (!display || !XineramaIsActive(display)) return heads;
    int count = 0;
    XineramaScreenInfo* screens = XineramaQueryScreens(display, &count);
    for (int i = 0; i < count; ++i)
        heads.push_back({screens[i].x_org, screens[i].y_org, screens[i].width, screens[i].height});
    if (screens) XFree(screens);
    return heads;
}

}  // namespace platform
