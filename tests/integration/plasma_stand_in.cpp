// Stands in for Plasma on a private session bus: a program of its own owns
// org.freedesktop.ScreenSaver (so the watcher cannot answer for it), and its power manager's policy
// agent says the screen is kept on while the file named on the command line exists, telling of
// each change with InhibitionsChanged.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QTimer>
#include <cstdio>

namespace {

constexpr const char* kAgentPath = "/org/kde/Solid/PowerManagement/PolicyAgent";
constexpr const char* kAgentInterface = "org.kde.Solid.PowerManagement.PolicyAgent";
constexpr uint kChangeScreenSettings = 4;

class PolicyAgent : public QDBusVirtualObject {
public:
    explicit PolicyAgent(QString keptOnWhile) : keptOnWhile_(std::move(keptOnWhile)) {}
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "HasInhibition") return false;
        const bool screen = message.arguments().value(0).toUInt() & kChangeScreenSettings;
        connection.send(message.createReply(screen && keptOn()));
        return true;
    }
    bool keptOn() const { return QFile::exists(keptOnWhile_); }

private:
    QString keptOnWhile_;
};

// Answers nothing: only holds the name, as KDE's own service does.
class ScreenSaver : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    PolicyAgent agent(argc > 1 ? argv[1] : "");
    ScreenSaver screenSaver;
    bus.registerVirtualObject(kAgentPath, &agent);
    bus.registerVirtualObject("/org/freedesktop/ScreenSaver", &screenSaver);
    if (!bus.registerService("org.freedesktop.ScreenSaver") || !bus.registerService(kAgentInterface)) {
        std::fprintf(stderr, "plasma_stand_in: the names are taken\n");
        return 1;
    }
    // The agent tells of a change as it happens (the stand-in looks at its file often).
    bool keptOn = agent.keptOn();
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (agent.keptOn() == keptOn) return;
        keptOn = agent.keptOn();
        QDBusMessage changed = QDBusMessage::createSignal(kAgentPath, kAgentInterface, "InhibitionsChanged");
        changed.setArguments({QVariant::fromValue(QStringList()), QVariant::fromValue(QStringList())});
        bus.send(changed);
    });
    look.start(100);
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
