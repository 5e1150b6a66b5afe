// A private Wayland compositor (weston, drawing with pixman) for one test: its outputs are windows
// on a private X server, so real key presses reach its clients through XTEST, and its own
// screenshooter shows what it composed.
#pragma once

#include <memory>

#include "wayland_compositor.h"
#include "xvfb_server.h"

namespace testing_support {

struct WestonOutputs {
    int count = 1;
    int width = 640, height = 480;  // each, in the compositor's own units
    int scale = 1;
};

class WestonServer : public WaylandCompositor {
public:
    // Whether weston and its screenshooter are installed; a test skips itself where not.
    static bool Installed();

    // Fails the test (non-fatally) when the compositor does not start.
    explicit WestonServer(const WestonOutputs& outputs);

    QImage screenshot() const override;
    void pressKey(unsigned long keysym) const override { xvfb_->pressKey(keysym); }

private:
    std::unique_ptr<XvfbServer> xvfb_;
};

}  // namespace testing_support
