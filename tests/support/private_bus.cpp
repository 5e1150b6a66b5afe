#include "private_bus.h"

#include "programs.h"

namespace testing_support {

bool PrivateBus::Installed() { return platform::FindProgram("dbus-daemon").has_value(); }

PrivateBus::PrivateBus()
    : daemon_(std::make_unique<ChildProcess>(platform::FindProgram("dbus-daemon").value_or("dbus-daemon").string(),
                                             std::vector<std::string>{"--session", "--nofork", "--print-address=1"})),
      address_(daemon_->readLine(20000)) {}

}  // namespace testing_support
