#include "qt_display.h"

#include <QAbstractEventDispatcher>
#include <QBackingStore>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "clock.h"
#include "gdi.h"
#include "headless_display.h"
#include "input_keys.h"
#include "message_queue.h"
#include "opaque_pixels.h"
#include "window_record.h"
#include "trace.h"
#include "windows.h"
#include "x11_probe.h"
#include "x11_screen_saver_suspension.h"
#include "x11_shared_presenter.h"

namespace platform {

namespace {

// Our coordinates start at the primary monitor's top-left corner, wherever it stands among the
// others; Qt's at the virtual desktop's.
QPoint PrimaryOrigin() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().topLeft() : QPoint();
}

// Windows, surfaces and input are in device pixels; Qt places windows in its own scaled units
// (device pixels divided by each screen's ratio, 2 at 192 dpi where the user's scaling settings
// ask for it).
// Qt's screens, as reports. On X11 a screen whose monitor the server now has elsewhere or at
// another size takes the server's rectangle: Qt can miss a monitor deleted and defined again in
// one go, and keep the old size for good.
std::vector<ScreenReport> ScreenReports(const std::vector<X11Probe::Monitor>& serverMonitors) {
    std::vector<ScreenReport> reports;
    const QScreen* primary = QGuiApplication::primaryScreen();
    const bool onWayland = QGuiApplication::platformName().startsWith("wayland");
    // Each X screen is a desktop of its own: the primary's is 0.
    std::vector<const QScreen*> desktops{primary};
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QList<QScreen*> siblings = screen->virtualSiblings();
        const QScreen* first = siblings.isEmpty() ? screen : siblings.front();
        const bool withPrimary = primary && siblings.contains(const_cast<QScreen*>(primary));
        auto known = std::find(desktops.begin(), desktops.end(), withPrimary ? primary : first);
        if (known == desktops.end()) known = desktops.insert(desktops.end(), first);
        const int desktop = int(known - desktops.begin());
        QRect geometry = screen->geometry();
        const auto server = std::find_if(serverMonitors.begin(), serverMonitors.end(), [&](const X11Probe::Monitor& monitor) {
            return desktop == 0 && QString::fromStdString(monitor.name) == screen->name();
        });
        if (server != serverMonitors.end()) {
            const auto [x, y, width, height] = server->rect;
            const double ratio = screen->devicePixelRatio();
            geometry = QRect(x, y, int(std::lround(width / ratio)), int(std::lround(height / ratio)));
        }
        reports.push_back({geometry, screen->devicePixelRatio(), desktop, screen == primary, onWayland});
    }
    return reports;
}

}  // namespace

MonitorLayout QtDisplay::layout() const {
    const std::vector<ScreenReport> reports = ScreenReports(serverMonitors_);
    // Xinerama's heads matter only where Qt sees the primary's desktop as one screen.
    const bool oneScreen =
        std::count_if(reports.begin(), reports.end(), [](const ScreenReport& r) { return r.desktop == 0; }) == 1;
    return MonitorLayout(reports, oneScreen ? xineramaHeads_ : std::vector<QRect>());
}

void QtDisplay::refreshServerView() {
    xineramaHeads_.clear();
    serverMonitors_.clear();
    if (QGuiApplication::platformName() != "xcb") return;
    x11_->refreshOutputsAfterResize();
    for (const auto& head : x11_->xineramaHeads()) xineramaHeads_.emplace_back(head[0], head[1], head[2], head[3]);
    serverMonitors_ = x11_->monitors();
}

void QtDisplay::place(QWindow& window, const RECT& rect) const {
    if (window.parent()) {  // inside another program's window: in its coordinates, at its scale
        const double ratio = window.devicePixelRatio();
        window.setGeometry(QRectF(rect.left / ratio, rect.top / ratio, rect.width() / ratio, rect.height() / ratio).toAlignedRect());
        return;
    }
    const MonitorLayout::Placement placement = layout().place(rect);
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (placement.screen >= 0 && placement.screen < screens.size()) window.setScreen(screens[placement.screen]);
    window.setGeometry(placement.geometry);
}

class NativeWindow : public QWindow {
public:
    NativeWindow(HWND handle, QWindow* foreignParent, X11SharedPresenter* shared)
        : QWindow(foreignParent), handle_(handle), shared_(shared), store_(this) {
        if (foreignParent) setFlags(Qt::FramelessWindowHint);
    }

    // Brings the parts of the surface to the screen (device pixels).
    void present(const QRegion& parts) {
        auto record = FindWindowRecord(handle_);
        if (!record || !record->surface || !isExposed()) return;
        if (shared_ && shared_->present(this, winId(), *record->surface, parts)) return;
        Surface converted;
        const Surface& surface = record->surface->depth() == 32 ? *record->surface : (converted = record->surface->toRgb32());
        const QRect whole(0, 0, surface.width(), surface.height());
        if (!parts.intersects(whole)) return;
        const double ratio = devicePixelRatio();  // its own monitor's
        const QSize scaledSize = QSizeF(surface.width() / ratio, surface.height() / ratio).toSize();
        if (store_.size() != scaledSize) store_.resize(scaledSize);
        const QImage image(surface.bytes().data(), surface.width(), surface.height(), surface.stride(),
                           QImage::Format_RGB32);
        // The store is painted in whole scaled pixels: a part that starts or ends within one is
        // widened to it, so no device pixel the store prepares is left unpainted.
        const auto scaled = [ratio](const QRect& rect) {
            return QRectF(rect.x() / ratio, rect.y() / ratio, rect.width() / ratio, rect.height() / ratio);
        };
        QRegion scaledArea, area;
        for (const QRect& rect : parts.intersected(whole)) {
            const QRect widened = scaled(rect).toAlignedRect();
            scaledArea += widened;
            area += QRectF(widened.x() * ratio, widened.y() * ratio, widened.width() * ratio, widened.height() * ratio)
                        .toAlignedRect()
                        .intersected(whole);
        }
        store_.beginPaint(scaledArea);
        // Copied as they are, the surface's pixels would be transparent where the store keeps
        // alpha (X11's store as well as Wayland's): they go in opaque.
        auto* target = dynamic_cast<QImage*>(store_.paintDevice());
        if (target && ratio == 1.0 && target->depth() == 32) {
            for (const QRect& rect : area) CopyOpaqueArea(image, *target, rect);  // one pass, no scaling
        } else {
            {
                QPainter painter(store_.paintDevice());
                for (const QRect& rect : area) painter.drawImage(scaled(rect), image, QRectF(rect));
            }
            if (target)
                for (const QRect& rect : area) MakeOpaque(*target, rect);
        }
        store_.endPaint();
        store_.flush(scaledArea);
    }

    QRegion dirty;  // what changed since the last present

protected:
    void exposeEvent(QExposeEvent*) override {
        if (!isExposed()) return;
        RECT whole;
        GetClientRect(handle_, &whole);
        present(QRect(0, 0, whole.width(), whole.height()));
    }

    void keyPressEvent(QKeyEvent* event) override {
        const UINT key = VirtualKeyFromQt(event->key());
        if (!key) return;
        const bool alt = event->modifiers() & Qt::AltModifier;
        const LPARAM flags = 1 | (event->isAutoRepeat() ? (1 << 30) : 0) | (alt ? (1 << 29) : 0);
        PostMessage(handle_, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, flags);
    }

    void keyReleaseEvent(QKeyEvent* event) override {
        const UINT key = VirtualKeyFromQt(event->key());
        if (key && !event->isAutoRepeat()) PostMessage(handle_, WM_KEYUP, key, LPARAM(1) | (LPARAM(3) << 30));
    }

    void mouseMoveEvent(QMouseEvent* event) override { postMouse(WM_MOUSEMOVE, event); }

    void mousePressEvent(QMouseEvent* event) override {
        switch (event->button()) {
        case Qt::LeftButton: postMouse(WM_LBUTTONDOWN, event); break;
        case Qt::RightButton: postMouse(WM_RBUTTONDOWN, event); break;
        case Qt::MiddleButton: postMouse(WM_MBUTTONDOWN, event); break;
        default: break;
        }
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        switch (event->button()) {
        case Qt::LeftButton: postMouse(WM_LBUTTONUP, event); break;
        case Qt::RightButton: postMouse(WM_RBUTTONUP, event); break;
        case Qt::MiddleButton: postMouse(WM_MBUTTONUP, event); break;
        default: break;
        }
    }

private:
    void postMouse(UINT message, QMouseEvent* event) {
        const QPoint point = (event->position() * devicePixelRatio()).toPoint();  // window-relative
        PostMessage(handle_, message, 0, LPARAM((point.y() & 0xFFFF) << 16) | LPARAM(point.x() & 0xFFFF));
    }

    HWND handle_;
    X11SharedPresenter* shared_;  // null where the server does not read our memory
    QBackingStore store_;         // otherwise, or where this window's pixels cannot be read so
};

QtDisplay::QtDisplay()
    : x11_(std::make_unique<X11Probe>()), shared_(X11SharedPresenter::Open()), wakeTimer_(std::make_unique<QTimer>()), hostWatch_(std::make_unique<QTimer>()) {
    wakeTimer_->setSingleShot(true);
    wakeTimer_->setTimerType(Qt::PreciseTimer);
    hostWatch_->setInterval(250);
    QObject::connect(hostWatch_.get(), &QTimer::timeout, [this] {
        watchHosts();
        watchMonitors();
    });
    hostWatch_->start();
    QObject::connect(qGuiApp, &QGuiApplication::applicationStateChanged,
                     [this](Qt::ApplicationState state) { applicationActivation(state == Qt::ApplicationActive); });
    // A monitor added, removed or resized, or another made the primary: every top-level window
    // hears of it as a display change, with what the X server has now.
    const auto changed = [this] {
        refreshServerView();
        monitorsChanged();
    };
    const auto watch = [changed](QScreen* screen) { QObject::connect(screen, &QScreen::geometryChanged, changed); };
    for (QScreen* screen : QGuiApplication::screens()) watch(screen);
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, [changed, watch](QScreen* screen) {
        watch(screen);
        changed();
    });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, changed);
    QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, changed);
    refreshServerView();
    knownMonitors_ = monitors();
    knownOrigin_ = PrimaryOrigin();
}

void QtDisplay::monitorsChanged() {
    knownMonitors_ = monitors();
    knownOrigin_ = PrimaryOrigin();
    for (const RECT& monitor : knownMonitors_)
        DebugTrace("monitor at %d,%d, %dx%d", monitor.left, monitor.top, monitor.width(), monitor.height());
    // Our coordinates start at the primary's corner: where that moved, every window moves with it.
    for (const auto& [window, native] : windows_) windowGeometryChanged(window);
    const RECT screen = screenRect();
    for (const auto& record : SurfaceWindows())
        if (!record->parent)
            PostMessage(record->handle, WM_DISPLAYCHANGE, 32, LPARAM((screen.height() << 16) | (screen.width() & 0xFFFF)));
}

QtDisplay::~QtDisplay() = default;

std::vector<RECT> QtDisplay::monitors() const {
    std::vector<RECT> result = layout().monitors();
    if (result.empty()) result.push_back(screenRect());
    return result;
}

int QtDisplay::dpi() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? int(std::lround(screen->logicalDotsPerInchY() * screen->devicePixelRatio())) : 96;
}

int QtDisplay::refreshHz() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->refreshRate() >= 30 ? int(std::lround(screen->refreshRate())) : 60;
}

PixelBytes::Sharing QtDisplay::windowPixelSharing() const {
    return shared_ ? PixelBytes::Sharing::WithDisplayServer : PixelBytes::Sharing::Private;
}

RECT QtDisplay::screenRect() const {
    // The primary screen as reported (the server's size where Qt's lags).
    for (const ScreenReport& report : ScreenReports(serverMonitors_)) {
        if (!report.primary) continue;
        const QSize size = (QSizeF(report.geometry.size()) * report.ratio).toSize();
        return RECT{0, 0, size.width(), size.height()};
    }
    return RECT{0, 0, 1024, 768};
}

void QtDisplay::windowCreated(HWND window) {
    auto record = FindWindowRecord(window);
    if (!record) return;
    QWindow* foreignParent = nullptr;
    if (auto parent = FindWindowRecord(record->parent); parent && parent->kind == WindowRecord::Kind::Foreign)
        foreignParent = QWindow::fromWinId(WId(parent->nativeId));
    auto native = std::make_unique<NativeWindow>(window, foreignParent, shared_.get());
    native->setTitle(QString::fromStdString(record->title));
    place(*native, record->rect);
    if (!cursorVisible_) native->setCursor(Qt::BlankCursor);
    windows_[window] = std::move(native);
}

void QtDisplay::windowDestroyed(HWND window) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    if (shared_) shared_->forget(it->second.get());
    windows_.erase(it);
    if (window == fullScreenWindow_) {
        fullScreenWindow_ = nullptr;
        serverSaverSuspension_.reset();
    }
}

void QtDisplay::windowShown(HWND window, bool visible) {
    auto it = windows_.find(window);
    auto record = FindWindowRecord(window);
    if (it == windows_.end() || !record) return;
    NativeWindow& native = *it->second;
    if (!visible) {
        native.hide();
        return;
    }
    // A pop-up covering a whole monitor is that monitor's full-screen window.
    const auto monitors = this->monitors();
    const auto covers = [&](const RECT& monitor) {
        const RECT covered = IntersectRects(monitor, record->rect);
        return !IsRectEmpty(monitor) && covered.left == monitor.left && covered.top == monitor.top &&
               covered.right == monitor.right && covered.bottom == monitor.bottom;
    };
    const bool fullScreen = !record->parent && (record->style & WS_POPUP) && std::any_of(monitors.begin(), monitors.end(), covers);
    if (!fullScreen) {
        native.show();
        return;
    }
    // The primary monitor's window keeps the keyboard and the server's saver away for as long as
    // it runs; another monitor's may be unplugged, and taking them with it would end the saver
    // (its clicks and mouse moves still come).
    const bool primary = covers(monitors.front());
    native.setFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                    (primary ? Qt::WindowFlags() : Qt::WindowDoesNotAcceptFocus));
    place(native, record->rect);
    native.showFullScreen();
    if (!primary) return;
    native.requestActivate();
    if (QGuiApplication::platformName() == "xcb") {
        fullScreenWindow_ = window;
        if (!serverSaverSuspension_) serverSaverSuspension_ = X11ScreenSaverSuspension::Begin();
        else serverSaverSuspension_->reset();
    }
}

void QtDisplay::windowGeometryChanged(HWND window) {
    auto it = windows_.find(window);
    auto record = FindWindowRecord(window);
    if (it == windows_.end() || !record) return;
    NativeWindow& native = *it->second;
    // A full-screen window moved to another monitor (or the same one, resized) fills that one.
    place(native, record->rect);
    if (native.windowStates() & Qt::WindowFullScreen) native.showFullScreen();
}

void QtDisplay::surfaceChanged(HWND window, const RECT& area) {
    auto it = windows_.find(window);
    // Kept apart, not as one bounding box: a picture at the top and the marquee at the bottom
    // bring only themselves to the screen.
    if (it != windows_.end() && !IsRectEmpty(area))
        it->second->dirty += QRect(area.left, area.top, area.right - area.left, area.bottom - area.top);
}

std::optional<double> QtDisplay::flushIfFrameDue() {
    ReportOpenWindowDrawing();
    const bool changed = std::any_of(windows_.begin(), windows_.end(), [](const auto& w) { return !w.second->dirty.isEmpty(); });
    if (!changed) return std::nullopt;
    const auto now = std::chrono::steady_clock::now();
    if (now < nextFrame_) return std::chrono::duration<double, std::milli>(nextFrame_ - now).count();
    flush();
    // Timers that tick once a frame land a little early or late: a frame counts as due from seven
    // eighths of its period, so such a tick's drawing goes out with it, not a moment after.
    nextFrame_ = now + std::chrono::microseconds(1000000 / refreshHz() * 7 / 8);
    return std::nullopt;
}

void QtDisplay::flush() {
    ReportOpenWindowDrawing();
    for (auto& [window, native] : windows_) {
        if (native->dirty.isEmpty()) continue;
        native->present(native->dirty);
        native->dirty = QRegion();
    }
}

bool QtDisplay::foreignWindowExists(std::uint64_t nativeId) const { return x11_->clientRect(nativeId).has_value(); }

std::optional<RECT> QtDisplay::foreignClientRect(std::uint64_t nativeId) const { return x11_->clientRect(nativeId); }

void QtDisplay::cursorVisibilityChanged(bool visible) {
    cursorVisible_ = visible;
    for (auto& [window, native] : windows_) native->setCursor(visible ? Qt::ArrowCursor : Qt::BlankCursor);
}

POINT QtDisplay::cursorPos() const { return layout().fromQt(QCursor::pos()); }

void QtDisplay::setCursorPos(POINT point) { QCursor::setPos(layout().toQt(point)); }

void QtDisplay::attachQueue(MessageQueue& queue) {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(qGuiApp->thread());
    queue.setWaiter(
        [this](std::optional<std::uint64_t> deadline) {
            // What was drawn since the last frame goes to the screen at most once a frame: an
            // effect's many small steps arrive together.
            std::optional<double> remaining = flushIfFrameDue();
            if (deadline) {
                const std::uint64_t now = Clock::instance().nowMicros();
                const double untilDeadline = *deadline > now ? double(*deadline - now) / 1000.0 : 0.0;
                // A timer that comes soon after the frame is due brings the frame with it, rather
                // than two wakes a frame (every wake costs the event loop a round).
                const double soonAfter = 1000.0 / refreshHz() / 4;
                if (remaining && untilDeadline <= *remaining + soonAfter) remaining.reset();
                remaining = std::min(remaining.value_or(untilDeadline), untilDeadline);
            }
            if (remaining) {
                if (*remaining <= 0.0) {
                    QCoreApplication::processEvents(QEventLoop::AllEvents);
                    return;
                }
                wakeTimer_->start(int(std::ceil(*remaining)));
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            wakeTimer_->stop();
        },
        [dispatcher] {
            if (dispatcher) dispatcher->wakeUp();
        });
}

bool QtDisplay::screenshot(const std::filesystem::path& file) {
    flush();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QPixmap grabbed = screen->grabWindow(0);
        if (!grabbed.isNull()) return grabbed.save(QString::fromStdString(file.string()), "PNG");
    }
    return WritePng(ComposeScreen(screenRect()), file);
}

void QtDisplay::watchMonitors() {
    // Qt's notices of a change can come while the server is still half-way through it (a
    // monitor removed and defined again): what the monitors are now is checked as well.
    refreshServerView();  // asked of the server here, not on every look at the monitors
    const std::vector<RECT> now = monitors();
    const auto same = [](const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    const bool changed = now.size() != knownMonitors_.size() ||
                         !std::equal(now.begin(), now.end(), knownMonitors_.begin(), same);
    if (changed || PrimaryOrigin() != knownOrigin_) monitorsChanged();
}

void QtDisplay::watchHosts() {
    // A preview ends when its host window goes, and follows the host's size.
    std::vector<HWND> orphans;
    for (auto& [window, native] : windows_) {
        auto record = FindWindowRecord(window);
        auto parent = record ? FindWindowRecord(record->parent) : nullptr;
        if (!parent || parent->kind != WindowRecord::Kind::Foreign) continue;
        auto host = x11_->clientRect(parent->nativeId);
        if (!host) {
            orphans.push_back(window);
        } else if (host->width() != record->rect.width() || host->height() != record->rect.height()) {
            MoveWindow(window, 0, 0, host->width(), host->height(), TRUE);
        }
    }
    // Closed through its queue, not destroyed here: it may be in the middle of drawing.
    for (HWND window : orphans) PostMessage(window, WM_CLOSE, 0, 0);
}

void QtDisplay::applicationActivation(bool active) {
    if (active == wasActive_) return;
    // Only a real change counts: a saver never activated must not read as having lost activation.
    wasActive_ = active;
    for (const auto& record : SurfaceWindows())
        if (!record->parent) PostMessage(record->handle, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
}

}  // namespace platform
