// Looks at foreign (host) X11 windows through Xlib (Qt reports their size as 0x0), and at the
// Xinerama heads Qt does not report.
#pragma once

#include <cstdint>
#include <array>
#include <optional>
#include <vector>

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
    // The Xinerama heads of the default screen (x, y, width, height), when Xinerama is active.
    std::vector<std::array<int, 4>> xineramaHeads();

private:
    void* display_;  // ::Display*, kept out of this header so X11's macros stay out of the rest
};

}  // namespace platform
