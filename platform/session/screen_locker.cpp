#include "screen_locker.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <X11/Xlib.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "trace.h"

namespace platform {

namespace {

constexpr int kLookEveryMs = 100;

// GNOME's setting, as gsettings says it; nothing where GNOME's settings are not installed.
bool GnomeLocksWhenIdle() {
    const QString gsettings = QStandardPaths::findExecutable("gsettings");
    if (gsettings.isEmpty()) return false;
    QProcess process;
    process.start(gsettings, {"get", "org.gnome.desktop.screensaver", "lock-enabled"});
    return process.waitForFinished(5000) && process.exitCode() == 0 &&
           process.readAllStandardOutput().trimmed() == "true";
}

// Plasma locks when idle unless told not to.
bool PlasmaLocksWhenIdle() {
    const QString file = QStandardPaths::locate(QStandardPaths::GenericConfigLocation, "kscreenlockerrc");
    return file.isEmpty() || QSettings(file, QSettings::IniFormat).value("Daemon/Autolock", true).toBool();
}

bool DesktopIs(const char* name) {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    return desktop && std::strstr(desktop, name);
}

// The name of a process's program, as the kernel keeps it ("xss-lock").
std::string ProgramOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

pid_t ParentOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const size_t end = line.rfind(')');  // after the program's name, which may hold spaces
    if (end == std::string::npos) return 0;
    char state = 0;
    int parent = 0;
    return std::sscanf(line.c_str() + end + 1, " %c %d", &state, &parent) == 2 ? parent : 0;
}

// xss-lock starts its locker itself and ignores Lock while that runs: this program, started by
// it, is that locker.
bool RunAsXssLocksLocker() {
    pid_t pid = ::getppid();
    for (int level = 0; level < 3 && pid > 1; ++level, pid = ParentOf(pid))
        if (ProgramOf(pid) == "xss-lock") return true;
    return false;
}

// The user's command, run by the shell; it returns once the screen is locked.
class CommandLocker : public ScreenLocker {
public:
    explicit CommandLocker(std::string command) : command_(std::move(command)) {}
    std::string name() const override { return command_; }

protected:
    void request() override {
        exited_ = false;
        process_ = std::make_unique<QProcess>();
        QObject::connect(process_.get(), &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
            exited_ = status == QProcess::NormalExit && code == 0;
            if (!exited_) finish(false, "'" + command_ + "' failed (status " + std::to_string(code) + ")");
        });
        QObject::connect(process_.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) finish(false, "the shell could not run '" + command_ + "'");
        });
        process_->setProcessChannelMode(QProcess::ForwardedChannels);
        process_->start("/bin/sh", {"-c", QString::fromStdString(command_)});
    }
    bool confirmed() override { return exited_; }

private:
    std::string command_;
    std::unique_ptr<QProcess> process_;
    bool exited_ = false;
};

// Reads a property through org.freedesktop.DBus.Properties.
QVariant BusProperty(const QDBusConnection& bus, const QString& service, const QString& path, const QString& interface,
                     const QString& property) {
    QDBusMessage get = QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get");
    get.setArguments({interface, property});
    const QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, 2000);
    return reply.isValid() ? reply.value().variant() : QVariant();
}

constexpr const char* kLogind = "org.freedesktop.login1";

class LogindLocker : public ScreenLocker {
public:
    explicit LogindLocker(QString session) : session_(std::move(session)) {}
    std::string name() const override { return "the session's logind (" + session_.toStdString() + ")"; }

    // This process's session on the system bus, or nothing.
    static std::unique_ptr<LogindLocker> Open() {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kLogind)) return nullptr;
        const char* id = std::getenv("XDG_SESSION_ID");
        QDBusMessage ask = id && *id ? QDBusMessage::createMethodCall(kLogind, "/org/freedesktop/login1",
                                                                      "org.freedesktop.login1.Manager", "GetSession")
                                     : QDBusMessage::createMethodCall(kLogind, "/org/freedesktop/login1",
                                                                      "org.freedesktop.login1.Manager", "GetSessionByPID");
        if (id && *id) ask.setArguments({QString(id)});
        else ask.setArguments({QVariant::fromValue(uint(::getpid()))});
        const QDBusReply<QDBusObjectPath> session = bus.call(ask, QDBus::Block, 2000);
        if (!session.isValid()) {
            DebugTrace("lock: logind knows no session of ours: %s", session.error().message().toStdString().c_str());
            return nullptr;
        }
        return std::make_unique<LogindLocker>(session.value().path());
    }

protected:
    void request() override {
        QDBusMessage lock = QDBusMessage::createMethodCall(kLogind, session_, "org.freedesktop.login1.Session", "Lock");
        QDBusConnection::systemBus().callWithCallback(lock, this, nullptr, SLOT(refused(QDBusError)), 2000);
    }
    bool confirmed() override {
        return KeyboardGrabbedByAnother() ||
               BusProperty(QDBusConnection::systemBus(), kLogind, session_, "org.freedesktop.login1.Session", "LockedHint")
                   .toBool();
    }

private:
    QString session_;
};

// A screen-saver service of the desktop's (not this program's own idle watcher).
struct Service {
    const char* name;
    const char* path;
};
constexpr Service kServices[] = {{"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver"},
                                 {"org.gnome.ScreenSaver", "/org/gnome/ScreenSaver"}};

bool OwnedByThisProgram(const QDBusConnection& bus, const char* service) {
    const QDBusReply<uint> pid = bus.interface()->servicePid(service);
    if (!pid.isValid()) return false;
    std::error_code error;
    const auto theirs = std::filesystem::read_symlink("/proc/" + std::to_string(pid.value()) + "/exe", error);
    return !error && theirs == std::filesystem::read_symlink("/proc/self/exe", error);
}

class ServiceLocker : public ScreenLocker {
public:
    explicit ServiceLocker(const Service& service) : service_(service) {}
    std::string name() const override { return std::string(service_.name) + " on the session bus"; }

    static std::unique_ptr<ServiceLocker> Open() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) return nullptr;
        for (const Service& service : kServices)
            if (bus.interface()->isServiceRegistered(service.name) && !OwnedByThisProgram(bus, service.name))
                return std::make_unique<ServiceLocker>(service);
        return nullptr;
    }

protected:
    void request() override {
        QDBusMessage lock = QDBusMessage::createMethodCall(service_.name, service_.path, service_.name, "Lock");
        QDBusConnection::sessionBus().callWithCallback(lock, this, nullptr, SLOT(refused(QDBusError)), 2000);
    }
    bool confirmed() override {
        if (KeyboardGrabbedByAnother()) return true;
        QDBusMessage active = QDBusMessage::createMethodCall(service_.name, service_.path, service_.name, "GetActive");
        const QDBusReply<bool> reply = QDBusConnection::sessionBus().call(active, QDBus::Block, 2000);
        return reply.isValid() && reply.value();
    }

private:
    const Service& service_;
};

}  // namespace

const char* ScreenLocker::kNoneFound = "No screen locker was found: name one above, such as swaylock -f or i3lock.";

bool DesktopLocksWhenIdle() {
    if (DesktopIs("GNOME")) return GnomeLocksWhenIdle();
    if (DesktopIs("KDE")) return PlasmaLocksWhenIdle();
    return false;
}

bool LockWanted(int storedChoice) {
    if (storedChoice == 0 || storedChoice == 1) return storedChoice == 1;
    return DesktopLocksWhenIdle();
}

std::unique_ptr<ScreenLocker> ScreenLocker::Find(const std::string& command) {
    if (!command.empty()) return std::make_unique<CommandLocker>(command);
    if (!RunAsXssLocksLocker())
        if (auto logind = LogindLocker::Open()) return logind;
    if (auto service = ServiceLocker::Open()) return service;
    return nullptr;
}

ScreenLocker::ScreenLocker() : look_(std::make_unique<QTimer>()) {
    QObject::connect(look_.get(), &QTimer::timeout, this, [this] { look(); });
}

ScreenLocker::~ScreenLocker() = default;

void ScreenLocker::lock(Done done) {
    if (done_) return;  // one request at a time
    done_ = std::move(done);
    lookedMs_ = 0;
    DebugTrace("lock: asking %s", name().c_str());
    request();
    if (done_) look_->start(kLookEveryMs);
}

void ScreenLocker::look() {
    if (confirmed()) return finish(true, "");
    lookedMs_ += kLookEveryMs;
    if (lookedMs_ >= kConfirmWithinMs) finish(false, name() + " did not lock the screen within 5 seconds");
}

void ScreenLocker::finish(bool locked, const std::string& why) {
    look_->stop();
    DebugTrace("lock: %s%s", locked ? "confirmed" : "not locked: ", why.c_str());
    if (auto done = std::exchange(done_, nullptr)) done(locked, why);
}

void ScreenLocker::refused(const QDBusError& error) {
    finish(false, name() + " refused: " + error.message().toStdString());
}

bool KeyboardGrabbedByAnother() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    ::Display* display = XOpenDisplay(name);
    if (!display) return false;
    // Asked by grabbing it for a moment, as another program asking the same way does: only a grab
    // seen twice, some time apart, is a locker's.
    const auto held = [display] {
        const int result = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (result == GrabSuccess) XUngrabKeyboard(display, CurrentTime);
        XSync(display, False);
        return result == AlreadyGrabbed;
    };
    bool locker = held();
    if (locker) {
        ::usleep(30000);
        locker = held();
    }
    XCloseDisplay(display);
    return locker;
}

}  // namespace platform
