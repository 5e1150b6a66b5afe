#include "end_lock.h"

#include "idle_inhibition.h"
#include "lock_guardian.h"
#include "screen_locker.h"
#include "settings.h"

namespace saver {

EndLock::EndLock(const SaverSettings& settings, EndNow endNow, Notice notice)
    : wanted_(platform::LockWanted(settings.LockScreen)), command_(settings.LockCommand), endNow_(std::move(endNow)),
      notice_(std::move(notice)) {
    if (!wanted_) return;
    locker_ = platform::ScreenLocker::Find(command_);
    guardian_ = platform::LockGuardian::Start(command_);
    // The desktop's lock-on-idle would come up over the pictures: this saver locks at its end instead.
    keepDesktopLockAway_ = platform::IdleInhibition::Hold("The screen saver shows and locks when it ends");
}

EndLock::~EndLock() {
    // Ended without a confirmed lock (a signal to end): the guardian locks as the saver goes.
    if (guardian_ && confirmed_) guardian_->release();
}

bool EndLock::mayEnd() {
    if (!wanted_ || confirmed_) return true;
    if (!locker_) locker_ = platform::ScreenLocker::Find(command_);
    if (!locker_) {
        notice_("No screen locker answers, so the saver stays: name one (swaylock -f, i3lock) on the Misc. page of "
                "the settings.");
        return false;
    }
    if (!locker_->locking()) locker_->lock([this](bool confirmed, const std::string& why) { locked(confirmed, why); });
    return false;
}

void EndLock::locked(bool confirmed, const std::string& why) {
    if (!confirmed) {
        notice_("The screen was not locked, so the saver stays: " + why + ".");
        return;
    }
    confirmed_ = true;
    endNow_();
}

}  // namespace saver
