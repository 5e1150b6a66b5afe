// Looks at foreign (host) X11 windows through Xlib: Qt reports their size as 0x0.
#pragma once

#include <cstdint>
#include <optional>

#include "win_types.h"

namespace platform {

class X11Probe {
public:
    X11Probe();
    ~X11Probe();
    X11Probe(const X11Probe&) = delete;
    X11Probe& operator=(const X11Probe&) = delete;

    // The window's client area, or nothing when the window does not exist (or there is no X server).
    std::optional<RECT> clientRect(std::uint64_t windowId);

private:
    void* display_;  // ::Display*, kept out of this header so X11's macros stay out of the rest
};

}  // namespace platform
