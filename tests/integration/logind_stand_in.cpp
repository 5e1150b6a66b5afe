// Stands in for logind on a private system bus (DBUS_SYSTEM_BUS_ADDRESS): one session,
// /org/freedesktop/login1/session/c1, whatever process or id asks for it. Its Lock sends the
// session's Lock signal (xss-lock and swayidle run their locker on it); SetLockedHint keeps the
// hint that LockedHint reports. It prints "ready", then each Lock it is asked for. Inhibit (as
// xss-lock asks, to lock before sleep) answers with a descriptor that is never used. With
// "--screen-saver-service" it also plays the desktop's org.freedesktop.ScreenSaver on the session
// bus, printing each Inhibit, UnInhibit and Lock; with "--desktop-locks" a Lock of either is
// answered as GNOME Shell or Plasma would, by locking (LockedHint, GetActive) a moment later;
// with "--no-logind" there is no logind at all.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr const char* kSessionPath = "/org/freedesktop/login1/session/c1";
constexpr const char* kSession = "org.freedesktop.login1.Session";

// What the desktop's own locker does with a Lock: nothing, or lock a moment later.
struct DesktopLocker {
    bool locks = false;
    bool locked = false;
    void lockSoon() {
        if (locks) QTimer::singleShot(300, [this] { locked = true; });
    }
};
DesktopLocker gDesktop;

class Logind : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        if (member == "GetSession" || member == "GetSessionByPID") {
            connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(kSessionPath))));
        } else if (member == "Inhibit") {
            int ends[2];
            if (::pipe(ends) != 0) return false;
            connection.send(message.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(ends[0]))));
            ::close(ends[0]);
            kept_ = ends[1];
        } else if (member == "Lock") {
            std::printf("Lock\n");
            std::fflush(stdout);
            connection.send(message.createReply());
            connection.send(QDBusMessage::createSignal(kSessionPath, kSession, "Lock"));
            gDesktop.lockSoon();
        } else if (member == "SetLockedHint") {
            lockedHint_ = message.arguments().value(0).toBool();
            connection.send(message.createReply());
        } else if (member == "Get" && message.arguments().value(1).toString() == "LockedHint") {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(lockedHint_ || gDesktop.locked))));
        } else if (member == "Get") {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(QString("c1")))));
        } else {
            return false;
        }
        return true;
    }

private:
    bool lockedHint_ = false;
    int kept_ = -1;
};

// The desktop's screen-saver service, as far as idle inhibitions go.
class ScreenSaverService : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        if (member == "GetActive") {
            connection.send(message.createReply(gDesktop.locked));
            return true;
        }
        if (member != "Inhibit" && member != "UnInhibit" && member != "Lock") return false;
        std::printf("%s\n", qPrintable(member));
        std::fflush(stdout);
        if (member == "Lock") gDesktop.lockSoon();
        connection.send(member == "Inhibit" ? message.createReply(QVariant::fromValue(uint(1))) : message.createReply());
        return true;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    gDesktop.locks = arguments.contains("--desktop-locks");
    QDBusConnection bus = QDBusConnection::systemBus();
    Logind logind;
    bus.registerVirtualObject("/org/freedesktop/login1", &logind, QDBusConnection::SubPath);
    if (!arguments.contains("--no-logind") && !bus.registerService("org.freedesktop.login1")) {
        std::fprintf(stderr, "logind_stand_in: the name is taken\n");
        return 1;
    }
    ScreenSaverService screenSaver;
    if (arguments.contains("--screen-saver-service")) {
        QDBusConnection session = QDBusConnection::sessionBus();
        session.registerVirtualObject("/org/freedesktop/ScreenSaver", &screenSaver);
        if (!session.registerService("org.freedesktop.ScreenSaver")) {
            std::fprintf(stderr, "logind_stand_in: the screen saver's name is taken\n");
            return 1;
        }
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
