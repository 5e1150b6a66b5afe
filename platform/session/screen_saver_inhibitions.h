// The session's screen-saver inhibitions: where no other program owns the name, the watcher answers
// org.freedesktop.ScreenSaver on the session bus, as browsers, video players and
// `xdg-screensaver suspend` expect. An inhibition lasts until it is taken back or its holder leaves
// the bus.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <memory>

#include "session_inhibitions.h"

class QDBusServiceWatcher;

namespace platform {

class ScreenSaverInhibitions : public SessionInhibitions {
public:
    // Nothing where there is no session bus or another program answers for the name already.
    static std::unique_ptr<ScreenSaverInhibitions> Offer();
    ~ScreenSaverInhibitions() override;

    bool inhibited() const override { return !holders_.empty(); }
    void whenReleased(std::function<void()> released) override { released_ = std::move(released); }

    // The bus's calls (Inhibit, UnInhibit, GetActive, SimulateUserActivity); false for others.
    class BusObject;

private:
    ScreenSaverInhibitions();
    std::uint32_t inhibit(const QString& holder, const QString& application, const QString& reason);
    void release(std::uint32_t cookie);
    void holderLeft(const QString& holder);
    void releasedIfLast();

    struct Holder {
        QString busName, application, reason;
    };
    std::map<std::uint32_t, Holder> holders_;  // by cookie
    std::uint32_t nextCookie_ = 1;
    std::unique_ptr<BusObject> busObject_;
    std::unique_ptr<QDBusServiceWatcher> leaving_;
    std::function<void()> released_;
};

}  // namespace platform
