// The inhibitions of a Plasma session, where KDE's own programs answer
// org.freedesktop.ScreenSaver: its power manager keeps them, and its policy agent on the session
// bus says whether any keeps the screen on and tells when they change.
#pragma once

#include <memory>

#include "session_inhibitions.h"

namespace platform {

class PolicyAgentListener;

class PowerDevilInhibitions : public SessionInhibitions {
public:
    // Nothing where the policy agent is not on the session bus.
    static std::unique_ptr<PowerDevilInhibitions> Open();
    ~PowerDevilInhibitions() override;

    bool inhibited() const override;
    void whenReleased(std::function<void()> released) override { released_ = std::move(released); }

    void inhibitionsChanged();  // the bus's signal

private:
    PowerDevilInhibitions();

    std::unique_ptr<PolicyAgentListener> listener_;
    std::function<void()> released_;
    bool wasInhibited_ = false;
};

}  // namespace platform
