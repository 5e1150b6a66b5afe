// Stands in for GNOME on a private session bus: Mutter's idle monitor, whose idle watches fire
// after their interval as for a user who stays away (it prints each watch it is asked for), and
// the session manager, inhibited while the file named on the command line exists (it signals
// when that changes); like GNOME Shell it owns org.freedesktop.ScreenSaver. With "--stall-first"
// it never answers the first watch asked for, as a shell stopped or too busy; with
// "--away-already" the first watch fires at once, as for a user away for long before it.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <map>
#include <memory>
#include <utility>

namespace {

constexpr const char* kMonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* kMonitorInterface = "org.gnome.Mutter.IdleMonitor";

class IdleMonitor : public QDBusVirtualObject {
public:
    IdleMonitor(bool stallFirst, bool awayAlready) : stallNext_(stallFirst), awayAlready_(awayAlready) {}
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        if (member == "AddIdleWatch") {
            const uint id = nextId_++;
            const qulonglong interval = message.arguments().value(0).toULongLong();
            std::printf("AddIdleWatch %llu\n", interval);
            std::fflush(stdout);
            if (std::exchange(stallNext_, false)) return true;  // no answer ever comes
            auto timer = std::make_unique<QTimer>();
            timer->setSingleShot(true);
            QObject::connect(timer.get(), &QTimer::timeout, [id] {
                QDBusMessage fired = QDBusMessage::createSignal(kMonitorPath, kMonitorInterface, "WatchFired");
                fired.setArguments({QVariant::fromValue(id)});
                QDBusConnection::sessionBus().send(fired);
            });
            timer->start(std::exchange(awayAlready_, false) ? 0 : int(interval));
            watches_[id] = std::move(timer);
            connection.send(message.createReply(QVariant::fromValue(id)));
        } else if (member == "AddUserActiveWatch") {
            connection.send(message.createReply(QVariant::fromValue(nextId_++)));
        } else if (member == "RemoveWatch") {
            watches_.erase(message.arguments().value(0).toUInt());
            connection.send(message.createReply());
        } else {
            return false;
        }
        return true;
    }

private:
    bool stallNext_;
    bool awayAlready_;
    uint nextId_ = 1;
    std::map<uint, std::unique_ptr<QTimer>> watches_;
};

class SessionManager : public QDBusVirtualObject {
public:
    explicit SessionManager(QString inhibitedWhile) : inhibitedWhile_(std::move(inhibitedWhile)) {
        QObject::connect(&look_, &QTimer::timeout, [this] { lookAtTheFile(); });
        look_.start(100);
    }
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "IsInhibited") return false;
        const bool idleFlag = message.arguments().value(0).toUInt() & 8;
        connection.send(message.createReply(idleFlag && QFile::exists(inhibitedWhile_)));
        return true;
    }

private:
    void lookAtTheFile() {
        const bool now = QFile::exists(inhibitedWhile_);
        if (now == inhibited_) return;
        inhibited_ = now;
        QDBusMessage signal = QDBusMessage::createSignal("/org/gnome/SessionManager", "org.gnome.SessionManager",
                                                         now ? "InhibitorAdded" : "InhibitorRemoved");
        signal.setArguments({QVariant::fromValue(QDBusObjectPath("/org/gnome/SessionManager/Inhibitor1"))});
        QDBusConnection::sessionBus().send(signal);
    }

    QString inhibitedWhile_;
    bool inhibited_ = QFile::exists(inhibitedWhile_);
    QTimer look_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QStringList arguments = application.arguments();
    IdleMonitor monitor(arguments.contains("--stall-first"), arguments.contains("--away-already"));
    SessionManager manager(arguments.size() > 1 && !arguments[1].startsWith("--") ? arguments[1] : "");
    bus.registerVirtualObject(kMonitorPath, &monitor);
    bus.registerVirtualObject("/org/gnome/SessionManager", &manager);
    if (!bus.registerService("org.gnome.Mutter.IdleMonitor") || !bus.registerService("org.gnome.SessionManager") ||
        !bus.registerService("org.freedesktop.ScreenSaver")) {
        std::fprintf(stderr, "mutter_stand_in: the names are taken\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
