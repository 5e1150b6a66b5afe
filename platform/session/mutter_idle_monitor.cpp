#include "mutter_idle_monitor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QProcess>
#include <QTimer>
#include <algorithm>

#include "trace.h"

namespace platform {

namespace {

constexpr const char* kService = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kPath = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* kInterface = "org.gnome.Mutter.IdleMonitor";

QDBusMessage Call(const char* method, const QList<QVariant>& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
}

}  // namespace

// Receives Mutter's WatchFired signal (a bus signal needs a slot to arrive at).
class MutterWatchListener : public QObject {
    Q_OBJECT
public:
    explicit MutterWatchListener(MutterIdleMonitor& monitor)
        : monitor_(monitor), owner_(kService, QDBusConnection::sessionBus(), QDBusServiceWatcher::WatchForRegistration) {
        connect(&owner_, &QDBusServiceWatcher::serviceRegistered, this, [this] { monitor_.monitorReturned(); });
    }
public slots:
    void fired(uint id) { monitor_.watchFired(id); }

private:
    MutterIdleMonitor& monitor_;
    QDBusServiceWatcher owner_;
};

std::unique_ptr<MutterIdleMonitor> MutterIdleMonitor::Open() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kService)) return nullptr;
    std::unique_ptr<MutterIdleMonitor> monitor(new MutterIdleMonitor);
    if (!bus.connect(kService, kPath, kInterface, "WatchFired", monitor->listener_.get(), SLOT(fired(uint))))
        return nullptr;
    return monitor;
}

MutterIdleMonitor::MutterIdleMonitor()
    : listener_(std::make_unique<MutterWatchListener>(*this)), rest_(std::make_unique<QTimer>()),
      retry_(std::make_unique<QTimer>()) {
    rest_->setSingleShot(true);
    QObject::connect(rest_.get(), &QTimer::timeout, [this] { fire(); });
    retry_->setSingleShot(true);
    QObject::connect(retry_.get(), &QTimer::timeout, [this] { addWatch(); });
}

MutterIdleMonitor::~MutterIdleMonitor() { stop(); }

std::optional<std::chrono::seconds> MutterIdleMonitor::desktopDelay() const {
    // "uint32 300"; 0 is "never", which leaves the choice to us.
    QProcess gsettings;
    gsettings.start("gsettings", {"get", "org.gnome.desktop.session", "idle-delay"});
    if (!gsettings.waitForFinished(5000) || gsettings.exitCode() != 0) return std::nullopt;
    const QString printed = QString::fromUtf8(gsettings.readAllStandardOutput()).trimmed();
    bool valid = false;
    const long seconds = printed.section(' ', -1).toLong(&valid);
    if (!valid || seconds <= 0) return std::nullopt;
    return std::chrono::seconds(seconds);
}

void MutterIdleMonitor::watch(std::chrono::milliseconds delay, CountFrom from, std::function<void()> idle) {
    stop();
    count_.begin(delay, from);
    idle_ = std::move(idle);
    retryAfter_ = std::chrono::seconds(1);
    addWatch();
}

void MutterIdleMonitor::addWatch() {
    if (!idle_ || watchId_) return;
    const QDBusReply<uint> id = Call("AddIdleWatch", {QVariant::fromValue(qulonglong(count_.delay().count()))});
    if (!id.isValid()) {
        DebugTrace("idle: GNOME's idle monitor refused a watch (%s); asking again in %lld s",
                   id.error().message().toStdString().c_str(),
                   static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(retryAfter_).count()));
        retry_->start(int(retryAfter_.count()));
        retryAfter_ = std::min<std::chrono::milliseconds>(retryAfter_ * 2, std::chrono::minutes(1));
        return;
    }
    watchId_ = id.value();
}

void MutterIdleMonitor::monitorReturned() {
    // The shell's watches went with it: the one asked for is asked for again, counted from now.
    if (!idle_) return;
    DebugTrace("idle: GNOME's idle monitor is back on the bus; watching again");
    rest_->stop();
    retry_->stop();
    watchId_ = 0;
    count_.restartNow();
    retryAfter_ = std::chrono::seconds(1);
    addWatch();
}

void MutterIdleMonitor::stop() {
    rest_->stop();
    retry_->stop();
    if (watchId_) Call("RemoveWatch", {QVariant::fromValue(uint(watchId_))});
    watchId_ = 0;
    idle_ = nullptr;
}

void MutterIdleMonitor::watchFired(std::uint32_t id) {
    if (!watchId_ || id != watchId_) return;
    // Mutter counts from the last input: a user idle for long already when the watch began sees it
    // fire at once, and unless that counts, the delay is counted from the watch.
    const std::chrono::milliseconds left = count_.remaining(count_.delay());
    if (left > std::chrono::milliseconds(0)) rest_->start(int(left.count()));
    else fire();
}

void MutterIdleMonitor::fire() {
    if (watchId_) Call("RemoveWatch", {QVariant::fromValue(uint(watchId_))});
    watchId_ = 0;
    if (auto idle = std::exchange(idle_, nullptr)) idle();
}

}  // namespace platform

#include "mutter_idle_monitor.moc"
