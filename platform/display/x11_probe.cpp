#include "x11_probe.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#include <mutex>

namespace platform {
namespace {

std::mutex gErrorMutex;

int IgnoreError(::Display*, XErrorEvent*) { return 0; }

}  // namespace

X11Probe::X11Probe() : display_(XOpenDisplay(nullptr)) {
    refreshOutputsAfterResize();
    auto* display = static_cast<::Display*>(display_);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    hasMonitors_ = display && XRRQueryExtension(display, &eventBase, &errorBase) &&
                   XRRQueryVersion(display, &major, &minor) && major * 100 + minor >= 105;
}

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

std::vector<X11Probe::Monitor> X11Probe::monitors() {
    auto* display = static_cast<::Display*>(display_);
    std::vector<Monitor> result;
    if (!hasMonitors_) return result;
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    for (int i = 0; i < count; ++i) {
        char* name = XGetAtomName(display, monitors[i].name);
        result.push_back({name ? name : "", {monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height}});
        if (name) XFree(name);
    }
    if (monitors) XRRFreeMonitors(monitors);
    return result;
}

void X11Probe::refreshOutputsAfterResize() {
    auto* display = static_cast<::Display*>(display_);
    if (!display) return;
    ::Window root = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(display, DefaultRootWindow(display), &root, &x, &y, &width, &height, &border, &depth)) return;
    const std::array<unsigned, 2> size{width, height};
    if (size == rootSize_) return;
    const bool first = rootSize_ == std::array<unsigned, 2>{};
    rootSize_ = size;
    int eventBase = 0, errorBase = 0;
    if (first || !XRRQueryExtension(display, &eventBase, &errorBase)) return;
    // Unlike its "Current" variant, this request makes the server poll its outputs.
    if (XRRScreenResources* resources = XRRGetScreenResources(display, root)) XRRFreeScreenResources(resources);
}

}  // namespace platform
