// What stands behind the windows: the headless screen or real windows through Qt.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "pixel_memory.h"
#include "win_types.h"

namespace platform {

class MessageQueue;

class DisplayBackend {
public:
    virtual ~DisplayBackend() = default;

    virtual bool isHeadless() const = 0;
    // The desktop (primary screen) in pixels, and the display depth in bits per pixel.
    virtual RECT screenRect() const = 0;
    // The whole physical screen: the desktop, except where a host window stands in for it.
    virtual RECT physicalScreenRect() const { return screenRect(); }
    // Every monitor, the primary first, where the primary's top-left corner is (0, 0).
    virtual std::vector<RECT> monitors() const { return {screenRect()}; }
    virtual int depth() const = 0;
    // Device pixels per inch of the primary monitor (96 unless the desktop is scaled).
    virtual int dpi() const { return 96; }
    // Frames a second the primary monitor shows.
    virtual int refreshHz() const { return 60; }

    // Life of a window that owns a surface (top-level, or child of a foreign window).
    virtual void windowCreated(HWND) {}
    virtual void windowDestroyed(HWND) {}
    virtual void windowShown(HWND, bool /*visible*/) {}
    virtual void windowGeometryChanged(HWND) {}
    // Where windows keep their pixels: in memory the display server reads itself, where it can.
    virtual PixelBytes::Sharing windowPixelSharing() const { return PixelBytes::Sharing::Private; }
    // The window's surface changed in the given area: bring it to the screen soon.
    virtual void surfaceChanged(HWND, const RECT&) {}

    // Foreign (host) windows named by a native id.
    virtual bool foreignWindowExists(std::uint64_t) const { return false; }
    virtual std::optional<RECT> foreignClientRect(std::uint64_t) const { return std::nullopt; }

    virtual void cursorVisibilityChanged(bool /*visible*/) {}
    virtual POINT cursorPos() const = 0;
    virtual void setCursorPos(POINT) = 0;

    // Hooks the main thread's queue into the backend's event loop, when it has one.
    virtual void attachQueue(MessageQueue&) {}

    // The whole screen as a PNG.
    virtual bool screenshot(const std::filesystem::path& file) = 0;
};

DisplayBackend& Display();
// Installs a backend (the harness does this at start-up; tests may install their own).
void SetDisplay(std::unique_ptr<DisplayBackend> backend);

}  // namespace platform
