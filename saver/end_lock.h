// Ending the saver behind the session's lock. With locking wanted, input that would end the saver
// first has the session's locker lock; the saver stays, covering every monitor, until the lock is
// confirmed, and when it is not (no locker, a refusal, nothing within five seconds) it says why in
// the marquee and asks again at the next input. A guardian locks if the saver dies before, and
// while the saver shows, the desktop's own idle lock is kept away.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {
class IdleInhibition;
class LockGuardian;
class ScreenLocker;
}  // namespace platform

namespace saver {

struct SaverSettings;

class EndLock {
public:
    using EndNow = std::function<void()>;
    using Notice = std::function<void(const std::string&)>;
    // `endNow` is called once the lock is confirmed; `notice` with why a lock failed.
    EndLock(const SaverSettings& settings, EndNow endNow, Notice notice);
    ~EndLock();
    EndLock(const EndLock&) = delete;
    EndLock& operator=(const EndLock&) = delete;

    // Whether locking is wanted at all.
    bool wanted() const { return wanted_; }
    // True when the saver may end now; otherwise the lock is asked for (one request at a time).
    bool mayEnd();

private:
    void locked(bool confirmed, const std::string& why);

    bool wanted_;
    std::string command_;
    EndNow endNow_;
    Notice notice_;
    bool confirmed_ = false;
    std::unique_ptr<platform::ScreenLocker> locker_;
    std::unique_ptr<platform::LockGuardian> guardian_;
    std::unique_ptr<platform::IdleInhibition> keepDesktopLockAway_;
};

}  // namespace saver
