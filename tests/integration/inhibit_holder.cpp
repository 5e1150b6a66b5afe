#include "eventually.h"
// Holds a screen-saver inhibition on the session bus, as a video player does while it plays: asks
// org.freedesktop.ScreenSaver (once some program answers for it), prints the cookie, and keeps the
// inhibition until it is killed.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    testing_support::Eventually([&] { return bus.interface()->isServiceRegistered("org.freedesktop.ScreenSaver"); }, std::chrono::milliseconds(20000));
    QDBusInterface screenSaver("org.freedesktop.ScreenSaver", "/ScreenSaver", "org.freedesktop.ScreenSaver", bus);
    const QDBusReply<unsigned> cookie = screenSaver.call("Inhibit", "inhibit_holder", "playing a film");
    if (!cookie.isValid()) {
        std::fprintf(stderr, "inhibit_holder: %s\n", cookie.error().message().toLocal8Bit().data());
        return 1;
    }
    std::printf("%u\n", cookie.value());
    std::fflush(stdout);
    return QCoreApplication::exec();
}
