#include "powerdevil_inhibitions.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QObject>

#include "trace.h"

namespace platform {

namespace {

constexpr const char* kService = "org.kde.Solid.PowerManagement.PolicyAgent";
constexpr const char* kPath = "/org/kde/Solid/PowerManagement/PolicyAgent";
constexpr const char* kInterface = "org.kde.Solid.PowerManagement.PolicyAgent";
// The policy agent's kinds of inhibition: the one that keeps the screen from blanking.
constexpr unsigned kChangeScreenSettings = 4;

}  // namespace

// Receives the agent's InhibitionsChanged signal (a bus signal needs a slot to arrive at).
class PolicyAgentListener : public QObject {
    Q_OBJECT
public:
    explicit PolicyAgentListener(PowerDevilInhibitions& owner) : owner_(owner) {}
public slots:
    void changed(const QDBusMessage&) { owner_.inhibitionsChanged(); }

private:
    PowerDevilInhibitions& owner_;
};

std::unique_ptr<PowerDevilInhibitions> PowerDevilInhibitions::Open() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kService)) return nullptr;
    std::unique_ptr<PowerDevilInhibitions> inhibitions(new PowerDevilInhibitions);
    if (!bus.connect(kService, kPath, kInterface, "InhibitionsChanged", inhibitions->listener_.get(),
                     SLOT(changed(QDBusMessage))))
        return nullptr;
    inhibitions->wasInhibited_ = inhibitions->inhibited();
    return inhibitions;
}

PowerDevilInhibitions::PowerDevilInhibitions() : listener_(std::make_unique<PolicyAgentListener>(*this)) {}

PowerDevilInhibitions::~PowerDevilInhibitions() = default;

bool PowerDevilInhibitions::inhibited() const {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "HasInhibition");
    call.setArguments({QVariant::fromValue(uint(kChangeScreenSettings))});
    const QDBusReply<bool> held = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    if (!held.isValid()) DebugTrace("idle: Plasma's power manager did not say: %s", held.error().message().toStdString().c_str());
    return held.isValid() && held.value();
}

void PowerDevilInhibitions::inhibitionsChanged() {
    const bool now = inhibited();
    const bool released = wasInhibited_ && !now;
    wasInhibited_ = now;
    if (released && released_) released_();
}

}  // namespace platform

#include "powerdevil_inhibitions.moc"
