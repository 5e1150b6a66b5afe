#include "idle_inhibition.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>

#include "trace.h"

namespace platform {

namespace {

QDBusMessage Call(const char* method) {
    return QDBusMessage::createMethodCall("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                                          "org.freedesktop.ScreenSaver", method);
}

}  // namespace

std::unique_ptr<IdleInhibition> IdleInhibition::Hold(const std::string& reason) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return nullptr;
    QDBusMessage inhibit = Call("Inhibit");
    inhibit.setArguments({QString("kelvane-saver"), QString::fromStdString(reason)});
    const QDBusReply<uint> cookie = bus.call(inhibit, QDBus::Block, 2000);
    if (!cookie.isValid()) {
        DebugTrace("lock: the desktop's idle actions are not held off: %s", cookie.error().message().toStdString().c_str());
        return nullptr;
    }
    return std::unique_ptr<IdleInhibition>(new IdleInhibition(cookie.value()));
}

IdleInhibition::~IdleInhibition() {
    QDBusMessage release = Call("UnInhibit");
    release.setArguments({QVariant::fromValue(cookie_)});
    QDBusConnection::sessionBus().call(release, QDBus::NoBlock);
}

}  // namespace platform
