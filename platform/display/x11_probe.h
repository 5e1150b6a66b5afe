// Looks at foreign (host) X11 windows through Xlib (Qt reports their size as 0x0), at the
// Xinerama heads Qt does not report, at the monitors as the server has them, and at the root
// window's size.
#pragma once

#include <cstdint>
#include <array>
#include <optional>
#include <string>
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
    // The RandR monitors of the default screen by name, as the server has them now (x, y, width,
    // height in device pixels); nothing without RandR 1.5.
    struct Monitor {
        std::string name;
        std::array<int, 4> rect;
    };
    std::vector<Monitor> monitors();
    // Where the root window changed size since the last look, has the server look at its outputs
    // again: some (Xephyr resized) change the screen's size without telling of the monitor that
    // changed until a client asks, and only then does Qt hear of it.
    void refreshOutputsAfterResize();

private:
    void* display_;  // ::Display*, kept out of this header so X11's macros stay out of the rest
    std::array<unsigned, 2> rootSize_{};
    bool hasMonitors_ = false;  // the server has RandR 1.5, asked once: monitors() runs on every poll
};

}  // namespace platform
