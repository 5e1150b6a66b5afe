#include "screen_saver_inhibitions.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>

#include "trace.h"

namespace platform {

namespace {

constexpr const char* kService = "org.freedesktop.ScreenSaver";
constexpr const char* kInterface = "org.freedesktop.ScreenSaver";
// Callers use either path.
constexpr const char* kPaths[] = {"/ScreenSaver", "/org/freedesktop/ScreenSaver"};

constexpr const char* kIntrospection = R"(<interface name="org.freedesktop.ScreenSaver">
  <method name="Inhibit"><arg name="application_name" type="s" direction="in"/><arg name="reason_for_inhibit" type="s" direction="in"/><arg name="cookie" type="u" direction="out"/></method>
  <method name="UnInhibit"><arg name="cookie" type="u" direction="in"/></method>
  <method name="GetActive"><arg type="b" direction="out"/></method>
  <method name="SimulateUserActivity"/>
</interface>
)";

}  // namespace

class ScreenSaverInhibitions::BusObject : public QDBusVirtualObject {
public:
    explicit BusObject(ScreenSaverInhibitions& owner) : owner_(owner) {}

    QString introspect(const QString&) const override { return kIntrospection; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != kInterface) return false;
        const QList<QVariant> arguments = message.arguments();
        const QString member = message.member();
        if (member == "Inhibit" && arguments.size() == 2) {
            const std::uint32_t cookie =
                owner_.inhibit(message.service(), arguments[0].toString(), arguments[1].toString());
            connection.send(message.createReply(QVariant::fromValue(cookie)));
        } else if (member == "UnInhibit" && arguments.size() == 1) {
            owner_.release(arguments[0].toUInt());
            connection.send(message.createReply());
        } else if (member == "GetActive") {
            connection.send(message.createReply(false));
        } else if (member == "SimulateUserActivity") {
            connection.send(message.createReply());
        } else {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, "no such method: " + member));
        }
        return true;
    }

private:
    ScreenSaverInhibitions& owner_;
};

ScreenSaverInhibitions::ScreenSaverInhibitions() = default;

ScreenSaverInhibitions::~ScreenSaverInhibitions() {
    if (!busObject_) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    for (const char* path : kPaths) bus.unregisterObject(path);
    bus.unregisterService(kService);
}

std::unique_ptr<ScreenSaverInhibitions> ScreenSaverInhibitions::Offer() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return nullptr;
    std::unique_ptr<ScreenSaverInhibitions> offered(new ScreenSaverInhibitions);
    offered->busObject_ = std::make_unique<BusObject>(*offered);
    for (const char* path : kPaths) bus.registerVirtualObject(path, offered->busObject_.get());
    // Without queueing or replacing: a desktop's own answer stays the one callers get.
    if (!bus.registerService(kService)) {
        for (const char* path : kPaths) bus.unregisterObject(path);
        offered->busObject_.reset();
        return nullptr;
    }
    offered->leaving_ = std::make_unique<QDBusServiceWatcher>();
    offered->leaving_->setConnection(bus);
    offered->leaving_->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    ScreenSaverInhibitions* self = offered.get();
    QObject::connect(offered->leaving_.get(), &QDBusServiceWatcher::serviceUnregistered,
                     [self](const QString& holder) { self->holderLeft(holder); });
    return offered;
}

std::uint32_t ScreenSaverInhibitions::inhibit(const QString& holder, const QString& application, const QString& reason) {
    const std::uint32_t cookie = nextCookie_++;
    holders_[cookie] = Holder{holder, application, reason};
    leaving_->addWatchedService(holder);
    DebugTrace("idle: %s keeps the saver away (%s)", application.toStdString().c_str(), reason.toStdString().c_str());
    return cookie;
}

void ScreenSaverInhibitions::release(std::uint32_t cookie) {
    if (holders_.erase(cookie)) releasedIfLast();
}

void ScreenSaverInhibitions::holderLeft(const QString& holder) {
    const size_t before = holders_.size();
    std::erase_if(holders_, [&](const auto& entry) { return entry.second.busName == holder; });
    leaving_->removeWatchedService(holder);
    if (holders_.size() != before) releasedIfLast();
}

void ScreenSaverInhibitions::releasedIfLast() {
    if (holders_.empty() && released_) released_();
}

}  // namespace platform
