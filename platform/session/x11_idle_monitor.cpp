#include "x11_idle_monitor.h"

#include <QSocketNotifier>
#include <QTimer>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <algorithm>
#include <cstdint>
#include <mutex>
#include <set>

namespace platform {
namespace {

// Xlib's handler for a broken connection exits on the spot. A monitor's connection is let through
// to its own exit handler instead, which returns; every other connection keeps the handler it had.
std::mutex gSurvivingMutex;
std::set<::Display*> gSurviving;
XIOErrorHandler gPreviousHandler = nullptr;

int OnBrokenConnection(::Display* display) {
    {
        std::lock_guard lock(gSurvivingMutex);
        if (gSurviving.count(display)) return 0;
    }
    return gPreviousHandler ? gPreviousHandler(display) : 0;
}

void SurviveBreak(::Display* display, XIOErrorExitHandler broken, void* data) {
    static const bool installed = [] {
        gPreviousHandler = XSetIOErrorHandler(OnBrokenConnection);
        return true;
    }();
    (void)installed;
    std::lock_guard lock(gSurvivingMutex);
    gSurviving.insert(display);
    XSetIOErrorExitHandler(display, broken, data);
}

void ForgetBreak(::Display* display) {
    std::lock_guard lock(gSurvivingMutex);
    gSurviving.erase(display);
}

}  // namespace

std::unique_ptr<X11IdleMonitor> X11IdleMonitor::Open() {
    ::Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    int eventBase = 0, errorBase = 0;
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase)) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<X11IdleMonitor>(new X11IdleMonitor(display, eventBase));
}

X11IdleMonitor::X11IdleMonitor(Display* display, int eventBase)
    : display_(display), eventBase_(eventBase), wake_(std::make_unique<QTimer>()) {
    serverSaverWasSet_ = serverTimeout() > 0;
    // A server that goes away ends the watch, not the process, and the watcher says what went.
    SurviveBreak(display_, [](::Display*, void* monitor) { static_cast<X11IdleMonitor*>(monitor)->serverGone_ = true; }, this);
    // The server's saver coming on is idleness too (it fires at the server's own timeout).
    XScreenSaverSelectInput(display_, DefaultRootWindow(display_), ScreenSaverNotifyMask);
    XFlush(display_);
    events_ = std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
    QObject::connect(events_.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    wake_->setSingleShot(true);
    QObject::connect(wake_.get(), &QTimer::timeout, [this] { check(); });
}

X11IdleMonitor::~X11IdleMonitor() {
    events_.reset();
    ForgetBreak(display_);
    XCloseDisplay(display_);
}

int X11IdleMonitor::serverTimeout() const {
    int timeout = 0, interval = 0, blanking = 0, exposures = 0;
    XGetScreenSaver(display_, &timeout, &interval, &blanking, &exposures);
    return timeout;
}

std::optional<std::chrono::seconds> X11IdleMonitor::desktopDelay() const {
    const int timeout = serverTimeout();
    if (timeout <= 0) return std::nullopt;
    return std::chrono::seconds(timeout);
}

bool X11IdleMonitor::suspended() const { return serverSaverWasSet_ && serverTimeout() == 0; }

void X11IdleMonitor::watch(std::chrono::milliseconds delay, CountFrom from, std::function<void()> idle) {
    count_.begin(delay, from);
    idle_ = std::move(idle);
    wake_->start(0);  // the answer never comes before the watch is in place
}

void X11IdleMonitor::stop() {
    idle_ = nullptr;
    wake_->stop();
}

void X11IdleMonitor::check() {
    if (!idle_) return;
    XScreenSaverInfo info{};
    XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), &info);
    if (serverGone_) return loseTheServer();
    const std::chrono::milliseconds left = count_.remaining(std::chrono::milliseconds(info.idle));
    if (left <= std::chrono::milliseconds(0)) {
        auto idle = std::move(idle_);
        idle_ = nullptr;
        idle();
        return;
    }
    // Input in between starts the count again: look again when the delay could first be over.
    wake_->start(int(std::min<std::int64_t>(left.count(), 24 * 3600 * 1000)));
}

void X11IdleMonitor::readEvents() {
    bool serverSaverOn = false;
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        serverSaverOn = serverSaverOn || (event.type == eventBase_ + ScreenSaverNotify &&
                                          reinterpret_cast<XScreenSaverNotifyEvent*>(&event)->state == ScreenSaverOn);
    }
    if (serverGone_) return loseTheServer();
    if (serverSaverOn) check();
}

void X11IdleMonitor::loseTheServer() {
    events_->setEnabled(false);
    stop();
    lose("the X server");
}

}  // namespace platform
