// The display of a screen-saver hack: the program draws its top-level window straight into a
// window that another program owns (the saver daemon's window, or the root window), never
// mapping a window of its own. When that window goes away, the program's windows are closed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "display_backend.h"
#include "x11_probe.h"

namespace platform {

class X11HostDisplay : public DisplayBackend {
public:
    // Nothing when there is no X server or no such window.
    static std::unique_ptr<X11HostDisplay> Open(std::uint64_t hostWindow);
    // The X server's root window, or nothing without an X server.
    static std::optional<std::uint64_t> RootWindowId();

    ~X11HostDisplay() override;

    bool isHeadless() const override { return false; }
    // The host window is the desktop here; the X screen around it is the physical one.
    RECT screenRect() const override { return RECT{0, 0, width_, height_}; }
    RECT physicalScreenRect() const override { return physical_; }
    int depth() const override { return 32; }
    void surfaceChanged(HWND window, const RECT& area) override;
    void windowShown(HWND window, bool visible) override;
    POINT cursorPos() const override { return POINT{}; }
    void setCursorPos(POINT) override {}
    void attachQueue(MessageQueue& queue) override;
    bool screenshot(const std::filesystem::path& file) override;

    std::uint64_t hostWindow() const { return host_; }

private:
    struct X11;
    X11HostDisplay(std::unique_ptr<X11> x11, std::uint64_t host, int width, int height);
    // Puts the changed parts of the top-level windows into the host window.
    void flush();
    void wait(std::optional<std::uint64_t> deadlineMicros);

    std::unique_ptr<X11> x11_;
    std::uint64_t host_;
    int width_, height_;
    RECT physical_;
    RECT dirty_{};
    std::mutex mutex_;
    std::condition_variable woken_;
    bool wakeRequested_ = false;
    bool hostGone_ = false;
    X11Probe probe_;  // tells whether the host window still exists
    std::uint64_t lastHostCheck_ = 0;
};

}  // namespace platform
