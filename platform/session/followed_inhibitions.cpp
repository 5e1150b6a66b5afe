#include "followed_inhibitions.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QObject>

#include "trace.h"

namespace platform {

namespace {

// Plasma's power manager: its kind of inhibition that keeps the screen from blanking.
const FollowedInhibitions::Keeper kPlasma{"Plasma's power manager",
                                          "org.kde.Solid.PowerManagement.PolicyAgent",
                                          "/org/kde/Solid/PowerManagement/PolicyAgent",
                                          "org.kde.Solid.PowerManagement.PolicyAgent",
                                          "HasInhibition",
                                          4,
                                          {"InhibitionsChanged"}};
// GNOME's session manager: its flag for idleness.
const FollowedInhibitions::Keeper kGnome{"GNOME's session manager",
                                         "org.gnome.SessionManager",
                                         "/org/gnome/SessionManager",
                                         "org.gnome.SessionManager",
                                         "IsInhibited",
                                         8,
                                         {"InhibitorAdded", "InhibitorRemoved"}};

}  // namespace

// Receives the keeper's signals (a bus signal needs a slot to arrive at).
class InhibitionSignalListener : public QObject {
    Q_OBJECT
public:
    explicit InhibitionSignalListener(FollowedInhibitions& owner) : owner_(owner) {}
public slots:
    void changed(const QDBusMessage&) { owner_.inhibitionsChanged(); }

private:
    FollowedInhibitions& owner_;
};

std::unique_ptr<FollowedInhibitions> FollowedInhibitions::OpenPlasma() { return Open(kPlasma); }

std::unique_ptr<FollowedInhibitions> FollowedInhibitions::OpenGnome() { return Open(kGnome); }

std::unique_ptr<FollowedInhibitions> FollowedInhibitions::Open(const Keeper& keeper) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(keeper.service)) return nullptr;
    std::unique_ptr<FollowedInhibitions> inhibitions(new FollowedInhibitions(keeper));
    for (const char* signal : keeper.changeSignals)
        if (!bus.connect(keeper.service, keeper.path, keeper.interface, signal, inhibitions->listener_.get(),
                         SLOT(changed(QDBusMessage))))
            return nullptr;
    inhibitions->wasInhibited_ = inhibitions->inhibited();
    DebugTrace("idle: following the inhibitions of %s", keeper.desktop);
    return inhibitions;
}

FollowedInhibitions::FollowedInhibitions(const Keeper& keeper)
    : keeper_(keeper), listener_(std::make_unique<InhibitionSignalListener>(*this)) {}

FollowedInhibitions::~FollowedInhibitions() = default;

bool FollowedInhibitions::inhibited() const {
    QDBusMessage call = QDBusMessage::createMethodCall(keeper_.service, keeper_.path, keeper_.interface, keeper_.question);
    call.setArguments({QVariant::fromValue(uint(keeper_.flag))});
    const QDBusReply<bool> held = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    if (!held.isValid())
        DebugTrace("idle: %s did not say: %s", keeper_.desktop, held.error().message().toStdString().c_str());
    return held.isValid() && held.value();
}

void FollowedInhibitions::inhibitionsChanged() {
    const bool now = inhibited();
    const bool released = wasInhibited_ && !now;
    wasInhibited_ = now;
    if (released && released_) released_();
}

}  // namespace platform

#include "followed_inhibitions.moc"
