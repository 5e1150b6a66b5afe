// Locking the session with the locker it already trusts; the saver never asks for a password
// itself. Three kinds, the first that answers is used:
//   - a command the user names (`swaylock -f`, `i3lock`), which returns once the screen is locked;
//   - the session's logind object (Session.Lock on the system bus): GNOME Shell, Plasma, Cinnamon,
//     MATE, xss-lock and swayidle lock on its Lock signal;
//   - the screen-saver service on the session bus (org.freedesktop.ScreenSaver or
//     org.gnome.ScreenSaver, Lock).
// A lock counts only once confirmed: the command's success, logind's LockedHint, the service's
// GetActive, or on X11 another client holding the keyboard grab (as every X locker does).
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QDBusError;
class QTimer;

namespace platform {

// Whether the desktop locks by itself when idle: GNOME's `lock-enabled`, Plasma's `Autolock`.
bool DesktopLocksWhenIdle();
// The stored choice (0 or 1), else the desktop's own.
bool LockWanted(int storedChoice);

// What locks the session, and how long a lock may take to be confirmed.
class ScreenLocker : public QObject {
    Q_OBJECT
public:
    static constexpr int kConfirmWithinMs = 5000;

    // The first locker that answers (see above); nothing when none does. Where this program is
    // xss-lock's own locker, logind's Lock would only come back to it: that way is skipped.
    static std::unique_ptr<ScreenLocker> Find(const std::string& command);
    // What the sheet says when none is found.
    static const char* kNoneFound;

    ~ScreenLocker() override;
    // For the sheet and the marquee ("swaylock -f", "the session's logind").
    virtual std::string name() const = 0;

    // Asks for the lock. `done` is called once: true when the lock is confirmed; false, with the
    // reason, when it is refused or not confirmed within kConfirmWithinMs.
    using Done = std::function<void(bool locked, const std::string& why)>;
    void lock(Done done);
    bool locking() const { return static_cast<bool>(done_); }

protected:
    ScreenLocker();
    // Sends the request; a refusal is reported through finish(false, why).
    virtual void request() = 0;
    // Whether the lock holds now.
    virtual bool confirmed() = 0;
    void finish(bool locked, const std::string& why);

protected slots:
    void refused(const QDBusError& error);  // a bus request's error answer

private:
    void look();

    Done done_;
    std::unique_ptr<QTimer> look_;
    int lookedMs_ = 0;
};

// On X11: another client holds the keyboard grab (a locker does while it shows). False elsewhere.
bool KeyboardGrabbedByAnother();

}  // namespace platform
