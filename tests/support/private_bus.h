// A private D-Bus bus for one test (a dbus-daemon of the session kind): as the session bus, or as
// the system bus where a stand-in plays logind.
#pragma once

#include <memory>
#include <string>

#include "child_process.h"

namespace testing_support {

class PrivateBus {
public:
    // Whether dbus-daemon is installed; a test skips itself where not.
    static bool Installed();
    PrivateBus();

    const std::string& address() const { return address_; }
    // The environment entries that make it a program's session or system bus.
    std::string asSessionBus() const { return "DBUS_SESSION_BUS_ADDRESS=" + address_; }
    std::string asSystemBus() const { return "DBUS_SYSTEM_BUS_ADDRESS=" + address_; }

private:
    std::unique_ptr<ChildProcess> daemon_;
    std::string address_;
};

}  // namespace testing_support
