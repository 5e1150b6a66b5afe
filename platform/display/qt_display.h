// Real windows through Qt 6: one QWindow per surface-owning window, input turned into messages.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <memory>

#include <QPoint>
#include <QRect>

#include "display_backend.h"
#include "monitor_layout.h"
#include "x11_probe.h"

class QTimer;
class QWindow;

namespace platform {

class NativeWindow;
class X11ScreenSaverSuspension;
class X11SharedPresenter;

class QtDisplay : public DisplayBackend {
public:
    QtDisplay();  // needs the QGuiApplication to exist
    ~QtDisplay() override;

    bool isHeadless() const override { return false; }
    RECT screenRect() const override;
    std::vector<RECT> monitors() const override;
    int depth() const override { return 32; }
    int dpi() const override;
    int refreshHz() const override;
    PixelBytes::Sharing windowPixelSharing() const override;

    void windowCreated(HWND window) override;
    void windowDestroyed(HWND window) override;
    void windowShown(HWND window, bool visible) override;
    void windowGeometryChanged(HWND window) override;
    void surfaceChanged(HWND window, const RECT& area) override;

    bool foreignWindowExists(std::uint64_t nativeId) const override;
    std::optional<RECT> foreignClientRect(std::uint64_t nativeId) const override;

    void cursorVisibilityChanged(bool visible) override;
    POINT cursorPos() const override;
    void setCursorPos(POINT point) override;

    void attachQueue(MessageQueue& queue) override;
    bool screenshot(const std::filesystem::path& file) override;

    // Brings every changed surface to the screen.
    void flush();

private:
    // Flushes when something changed and a display frame has passed since the last flush;
    // otherwise the milliseconds until one has, or nothing when nothing changed.
    std::optional<double> flushIfFrameDue();
    void watchHosts();
    void monitorsChanged();
    void watchMonitors();
    void applicationActivation(bool active);
    MonitorLayout layout() const;
    // Asks the X server for its Xinerama heads and monitors (nothing off X11).
    void refreshServerView();
    // Puts the window on the screen and at the place of our rectangle.
    void place(QWindow& window, const RECT& rect) const;

    std::map<HWND, std::unique_ptr<NativeWindow>> windows_;
    std::unique_ptr<X11Probe> x11_;
    std::unique_ptr<X11SharedPresenter> shared_;  // where the X server reads the windows' memory
    // While a full-screen window shows on X11, the server's own saver stays off it.
    HWND fullScreenWindow_ = nullptr;
    std::unique_ptr<X11ScreenSaverSuspension> serverSaverSuspension_;
    std::unique_ptr<QTimer> wakeTimer_;
    std::unique_ptr<QTimer> hostWatch_;
    std::chrono::steady_clock::time_point nextFrame_{};
    std::vector<RECT> knownMonitors_;
    std::vector<QRect> xineramaHeads_;            // the server's, as last asked
    std::vector<X11Probe::Monitor> serverMonitors_;  // likewise
    QPoint knownOrigin_;
    bool cursorVisible_ = true;
    bool wasActive_ = false;
};

}  // namespace platform
