// A private Sway (wlroots) for one test: headless outputs drawn with pixman, captured with grim,
// keys typed through the virtual-keyboard protocol (wtype). Sway will not run as root: there it
// runs as the unprivileged user "nobody".
#pragma once

#include <string>

#include "wayland_compositor.h"

namespace testing_support {

class SwayServer : public WaylandCompositor {
public:
    // Whether sway, swaymsg, grim and wtype are installed; a test skips itself where not.
    static bool Installed();

    // Outputs of 1280x720 side by side; fails the test (non-fatally) when Sway does not start.
    explicit SwayServer(int outputs);

    QImage screenshot() const override;
    void pressKey(unsigned long keysym) const override;
    // A command to the running Sway (create_output, output NAME disable, ...); false when refused.
    bool command(const std::string& text) const;
};

}  // namespace testing_support
