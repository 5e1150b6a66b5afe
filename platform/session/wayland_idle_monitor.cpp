#include "wayland_idle_monitor.h"

#include <QSettings>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <cstdlib>
#include <cstring>
#include <wayland-client.h>

#include "ext-idle-notify-v1-client-protocol.h"
#include "kde-idle-client-protocol.h"

namespace platform {

struct WaylandIdleMonitor::Globals {
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    ext_idle_notifier_v1* notifier = nullptr;
    org_kde_kwin_idle* kdeIdle = nullptr;
    ext_idle_notification_v1* notification = nullptr;
    org_kde_kwin_idle_timeout* kdeTimeout = nullptr;

    void dropWatch() {
        if (notification) ext_idle_notification_v1_destroy(notification);
        if (kdeTimeout) org_kde_kwin_idle_timeout_release(kdeTimeout);
        notification = nullptr;
        kdeTimeout = nullptr;
    }
    ~Globals() {
        dropWatch();
        if (notifier) ext_idle_notifier_v1_destroy(notifier);
        if (kdeIdle) org_kde_kwin_idle_destroy(kdeIdle);
        if (seat) wl_seat_destroy(seat);
        if (registry) wl_registry_destroy(registry);
    }
};

namespace {

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<WaylandIdleMonitor::Globals*>(data);
    if (!std::strcmp(interface, wl_seat_interface.name) && !globals->seat)
        globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (!std::strcmp(interface, ext_idle_notifier_v1_interface.name))
        globals->notifier =
            static_cast<ext_idle_notifier_v1*>(wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
    else if (!std::strcmp(interface, org_kde_kwin_idle_interface.name))
        globals->kdeIdle = static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
}

void GlobalRemoved(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener{Global, GlobalRemoved};

void Idled(void* data, ext_idle_notification_v1*) { static_cast<WaylandIdleMonitor*>(data)->idled(); }
void Resumed(void*, ext_idle_notification_v1*) {}
const ext_idle_notification_v1_listener kNotificationListener{Idled, Resumed};

void KdeIdle(void* data, org_kde_kwin_idle_timeout*) { static_cast<WaylandIdleMonitor*>(data)->idled(); }
void KdeResumed(void*, org_kde_kwin_idle_timeout*) {}
const org_kde_kwin_idle_timeout_listener kKdeTimeoutListener{KdeIdle, KdeResumed};

}  // namespace

std::unique_ptr<WaylandIdleMonitor> WaylandIdleMonitor::Open() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return nullptr;
    auto globals = std::make_unique<Globals>();
    globals->registry = wl_display_get_registry(display);
    wl_registry_add_listener(globals->registry, &kRegistryListener, globals.get());
    wl_display_roundtrip(display);
    if (!globals->seat || (!globals->notifier && !globals->kdeIdle)) {
        globals.reset();
        wl_display_disconnect(display);
        return nullptr;
    }
    return std::unique_ptr<WaylandIdleMonitor>(new WaylandIdleMonitor(display, std::move(globals)));
}

WaylandIdleMonitor::WaylandIdleMonitor(wl_display* display, std::unique_ptr<Globals> globals)
    : display_(display), globals_(std::move(globals)) {
    events_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(events_.get(), &QSocketNotifier::activated, [this] { dispatch(); });
}

WaylandIdleMonitor::~WaylandIdleMonitor() {
    events_.reset();
    globals_.reset();
    wl_display_disconnect(display_);
}

std::string WaylandIdleMonitor::name() const {
    return globals_->notifier ? "the compositor's idle notifications (ext-idle-notify-v1)"
                              : "the compositor's idle timeouts (org_kde_kwin_idle)";
}

std::optional<std::chrono::seconds> WaylandIdleMonitor::desktopDelay() const {
    // KDE Plasma locks the screen after its own timeout (minutes, 5 unless set); other
    // compositors leave the time to whoever watches.
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    if (!desktop || !std::strstr(desktop, "KDE")) return std::nullopt;
    const QString file = QStandardPaths::locate(QStandardPaths::GenericConfigLocation, "kscreenlockerrc");
    const int minutes = file.isEmpty() ? 5 : QSettings(file, QSettings::IniFormat).value("Daemon/Timeout", 5).toInt();
    if (minutes <= 0) return std::nullopt;
    return std::chrono::minutes(minutes);
}

void WaylandIdleMonitor::watch(std::chrono::milliseconds delay, CountFrom, std::function<void()> idle) {
    globals_->dropWatch();
    idle_ = std::move(idle);
    // The compositor's count starts when the watch is made.
    const auto timeout = uint32_t(delay.count());
    if (globals_->notifier) {
        globals_->notification = ext_idle_notifier_v1_get_idle_notification(globals_->notifier, timeout, globals_->seat);
        ext_idle_notification_v1_add_listener(globals_->notification, &kNotificationListener, this);
    } else {
        globals_->kdeTimeout = org_kde_kwin_idle_get_idle_timeout(globals_->kdeIdle, globals_->seat, timeout);
        org_kde_kwin_idle_timeout_add_listener(globals_->kdeTimeout, &kKdeTimeoutListener, this);
    }
    wl_display_flush(display_);
}

void WaylandIdleMonitor::stop() {
    globals_->dropWatch();
    idle_ = nullptr;
    wl_display_flush(display_);
}

void WaylandIdleMonitor::idled() {
    if (auto idle = std::exchange(idle_, nullptr)) {
        globals_->dropWatch();
        idle();
    }
}

void WaylandIdleMonitor::dispatch() {
    if (wl_display_dispatch(display_) < 0) {
        events_->setEnabled(false);
        idle_ = nullptr;
        lose("the compositor");
        return;
    }
    wl_display_flush(display_);
}

}  // namespace platform
