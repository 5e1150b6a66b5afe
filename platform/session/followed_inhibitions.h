// The inhibitions a desktop keeps itself, where its own programs answer
// org.freedesktop.ScreenSaver: a service on the session bus says whether any keeps the screen on
// and sends signals when they change. Plasma's power manager (its policy agent) and GNOME's
// session manager are such services.
#pragma once

#include <memory>
#include <vector>

#include "session_inhibitions.h"

namespace platform {

class InhibitionSignalListener;

class FollowedInhibitions : public SessionInhibitions {
public:
    // Nothing where the desktop's service is not on the session bus.
    static std::unique_ptr<FollowedInhibitions> OpenPlasma();
    static std::unique_ptr<FollowedInhibitions> OpenGnome();
    ~FollowedInhibitions() override;

    bool inhibited() const override;
    void whenReleased(std::function<void()> released) override { released_ = std::move(released); }

    void inhibitionsChanged();  // the bus's signals

    // Who keeps the inhibitions: where to ask (a method taking a flag, answering a boolean) and
    // which signals tell of a change.
    struct Keeper {
        const char* desktop;  // for messages
        const char* service;
        const char* path;
        const char* interface;
        const char* question;
        unsigned flag;
        std::vector<const char*> changeSignals;
    };

private:
    explicit FollowedInhibitions(const Keeper& keeper);
    static std::unique_ptr<FollowedInhibitions> Open(const Keeper& keeper);

    const Keeper& keeper_;
    std::unique_ptr<InhibitionSignalListener> listener_;
    std::function<void()> released_;
    bool wasInhibited_ = false;
};

}  // namespace platform
