#include <gtest/gtest.h>

#include "xvfb_server.h"

#include "eventually.h"

#include <cstdio>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/scrnsaver.h>
#include <chrono>
#include <thread>

#include "programs.h"

namespace testing_support {

XvfbServer::XvfbServer(int width, int height, int depth)
    : XvfbServer("Xvfb",
                 {"-screen", "0", std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth),
                  "-nolisten", "tcp"},
                 depth) {}

XvfbServer::XvfbServer(const std::string& program, const std::vector<std::string>& arguments, int depth,
                       const std::vector<std::string>& environment)
    : depth_(depth) {
    const auto found = platform::FindProgram(program);
    if (!found) {
        ADD_FAILURE() << program << " is needed for these tests (Debian package "
                      << (program == "Xephyr" ? "xserver-xephyr" : "xvfb") << ")";
        return;
    }
    std::vector<std::string> command{"-displayfd", "1"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    server_ = std::make_unique<ChildProcess>(found->string(), command, environment);
    const std::string number = server_->readLine(20000);
    if (number.empty()) {
        ADD_FAILURE() << program << " did not start";
        return;
    }
    name_ = ":" + number;
    // The tests look at windows the saver may destroy at any moment: an error about one is
    // recorded, never the end of the test's process (Xlib's own handler exits, which would leave
    // this server and the saver running, and the test waiting on them).
    static const XErrorHandler kept = XSetErrorHandler([](Display*, XErrorEvent* error) {
        std::fprintf(stderr, "X error %d on request %d (a window that went away?)\n", int(error->error_code),
                     int(error->request_code));
        return 0;
    });
    (void)kept;
    display_ = XOpenDisplay(name_.c_str());
    if (!display_) ADD_FAILURE() << "cannot open " << name_;
}

XvfbServer::~XvfbServer() {
    if (display_) XCloseDisplay(display_);
}

bool XvfbServer::serverSaverOn() const {
    XScreenSaverInfo info{};
    XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), &info);
    return info.state == ScreenSaverOn;
}

unsigned long XvfbServer::pixelAt(int x, int y, int screen) const {
    XImage* image = XGetImage(display_, RootWindow(display_, screen), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return ~0ul;
    const unsigned long pixel = XGetPixel(image, 0, 0) & (depth_ == 16 ? 0xFFFF : 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
}

bool XvfbServer::waitForColour(int x, int y, unsigned long colour, int timeoutMs, int screen) const {
    return Eventually([&] { return pixelAt(x, y, screen) == colour; }, std::chrono::milliseconds(timeoutMs));
}

void XvfbServer::pressKey(unsigned long keysym) const {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    XTestFakeKeyEvent(display_, code, True, 0);
    XTestFakeKeyEvent(display_, code, False, 0);
    XFlush(display_);
}

}  // namespace testing_support
