// A private X server (Xvfb, or another such as Xephyr run inside one) for one test, and reading
// pixels off its screens.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

typedef struct _XDisplay Display;  // Xlib's, without its macros

namespace testing_support {

class XvfbServer {
public:
    // Fails the test (fatally) when Xvfb is missing or does not start.
    XvfbServer(int width, int height, int depth);
    // The server program (found on the path) with its arguments (the display number is chosen
    // through -displayfd); the environment is added to this process's.
    XvfbServer(const std::string& program, const std::vector<std::string>& arguments, int depth,
               const std::vector<std::string>& environment = {});
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool running() const { return display_ != nullptr; }
    const std::string& name() const { return name_; }  // ":N"
    Display* display() const { return display_; }
    // The screen's pixel at the point, as the server stores it (masked to the depth); ~0 when unreadable.
    unsigned long pixelAt(int x, int y, int screen = 0) const;
    // Waits until the screen shows the colour at the point.
    bool waitForColour(int x, int y, unsigned long colour, int timeoutMs, int screen = 0) const;
    // Presses and releases the key (an X keysym) through the XTEST extension, as a person would.
    void pressKey(unsigned long keysym) const;
    // Whether the server's own screen saver is on (blanking or showing its pattern).
    bool serverSaverOn() const;

private:
    int depth_;
    std::unique_ptr<ChildProcess> server_;
    std::string name_;
    Display* display_ = nullptr;
};

}  // namespace testing_support
