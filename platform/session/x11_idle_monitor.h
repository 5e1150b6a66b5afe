// The idle time of an X session, from the server's screen-saver extension: its idle counter (reset
// by every key press and mouse move), looked at again when the server's own saver comes on.
// Nothing polls: the monitor wakes when the delay could first have passed, and again only if input
// came in between.
#pragma once

#include <chrono>
#include <memory>

#include "idle_count.h"
#include "idle_monitor.h"

class QSocketNotifier;
class QTimer;
typedef struct _XDisplay Display;

namespace platform {

class X11IdleMonitor : public IdleMonitor {
public:
    // Nothing where the display or the extension is missing. Needs the Qt application to exist.
    static std::unique_ptr<X11IdleMonitor> Open();
    ~X11IdleMonitor() override;

    std::string name() const override { return "the X server's screen-saver extension"; }
    std::optional<std::chrono::seconds> desktopDelay() const override;
    void watch(std::chrono::milliseconds delay, CountFrom from, std::function<void()> idle) override;
    void stop() override;
    bool suspended() const override;

private:
    X11IdleMonitor(Display* display, int eventBase);
    void check();
    void readEvents();
    void loseTheServer();
    int serverTimeout() const;  // seconds, 0 when the server's saver is off

    Display* display_;
    int eventBase_;
    std::unique_ptr<QSocketNotifier> events_;
    std::unique_ptr<QTimer> wake_;
    IdleCount count_;
    std::function<void()> idle_;
    bool serverSaverWasSet_ = false;  // the server had a timeout when first looked at
    bool serverGone_ = false;         // the connection broke: nothing more comes from it
};

}  // namespace platform
