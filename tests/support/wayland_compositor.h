// A private Wayland compositor for one test, in a runtime folder of its own: what every one
// offers a test (its socket, a client's environment, a capture of what it composed, a key).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QImage>

#include "child_process.h"

namespace testing_support {

class WaylandCompositor {
public:
    virtual ~WaylandCompositor();
    WaylandCompositor(const WaylandCompositor&) = delete;
    WaylandCompositor& operator=(const WaylandCompositor&) = delete;

    bool running() const { return running_; }
    // For a client: WAYLAND_DISPLAY as the socket's full path.
    std::string waylandDisplay() const { return socket_.string(); }
    // A client's environment entries for a Wayland session with no X display. What Mesa's EGL
    // (loaded by Qt's Wayland plugin) keeps for the process's life is reached through a driver
    // without symbols, where the quick unwinder stops before the library named in the leak
    // suppressions: the slow one is asked for.
    std::vector<std::string> clientEnvironment() const;
    // Every output side by side, at device pixels, as the compositor composed them.
    virtual QImage screenshot() const = 0;
    // A key pressed and released (an X keysym), for the client that has the keyboard.
    virtual void pressKey(unsigned long keysym) const = 0;

protected:
    WaylandCompositor() = default;
    // A fresh folder of its own under the temporary folder; empty when none could be made.
    static std::filesystem::path PrivateFolder(const char* prefix);
    // Runs the compositor and waits until a socket named like wayland-* shows in the runtime
    // folder (fails the test, non-fatally, when none does).
    void start(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment);
    // Runs a client of the compositor (a capture or input tool) to its end; false when it failed.
    bool runClient(const std::string& command) const;

    std::filesystem::path runtimeFolder_;

private:
    std::filesystem::path socket_;
    std::unique_ptr<ChildProcess> compositor_;
    bool running_ = false;
};

}  // namespace testing_support
