// A private Wayland compositor (weston, drawing with pixman) for one test: its outputs are windows
// on a private X server, so real key presses reach its clients through XTEST, and its own
// screenshooter shows what it composed.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QImage>

#include "child_process.h"
#include "xvfb_server.h"

namespace testing_support {

struct WestonOutputs {
    int count = 1;
    int width = 640, height = 480;  // each, in the compositor's own units
    int scale = 1;
};

class WestonServer {
public:
    // Whether weston and its screenshooter are installed; a test skips itself where not.
    static bool Installed();

    // Fails the test (non-fatally) when the compositor does not start.
    explicit WestonServer(const WestonOutputs& outputs);
    ~WestonServer();
    WestonServer(const WestonServer&) = delete;
    WestonServer& operator=(const WestonServer&) = delete;

    bool running() const { return running_; }
    // For a client: WAYLAND_DISPLAY as the socket's full path.
    std::string waylandDisplay() const { return socket_.string(); }
    // A client's environment entries for a Wayland session with no X display. What Mesa's EGL
    // (loaded by Qt's Wayland plugin) keeps for the process's life is reached through a driver
    // without symbols, where the quick unwinder stops before the library named in the leak
    // suppressions: the slow one is asked for.
    std::vector<std::string> clientEnvironment() const;
    // Every output side by side, at device pixels, as the compositor composed them.
    QImage screenshot() const;
    // A key pressed and released, for the client that has the keyboard.
    void pressKey(unsigned long keysym) const { xvfb_->pressKey(keysym); }

private:
    std::unique_ptr<XvfbServer> xvfb_;
    std::filesystem::path runtimeFolder_;
    std::filesystem::path socket_;
    std::unique_ptr<ChildProcess> weston_;
    bool running_ = false;
};

}  // namespace testing_support
