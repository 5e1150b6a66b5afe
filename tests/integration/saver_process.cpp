#include "saver_process.h"

#include <atomic>
#include <fstream>

#include "profile.h"

namespace integration {

std::unique_ptr<testing_support::ChildProcess> StartSaver(const testing_support::TempRoot& root, const SaverRun& run) {
    static std::atomic<int> counter{0};
    std::vector<std::string> environment = run.environment;
    if (!run.script.empty()) {
        const auto script = root.path() / ("script-" + std::to_string(++counter));
        std::ofstream(script) << run.script;
        environment.push_back("KELVANE_SCRIPT=" + script.string());
    }
    return std::make_unique<testing_support::ChildProcess>(KELVANE_SAVER_PATH, run.arguments, environment);
}

void StoreSetting(const char* name, int value) {
    platform::SetRegistryKey("Tarvex", "Ostrel Screen Saver");
    platform::WriteProfileInt("Kelvane Screen Saver", name, value);
}

void StoreString(const char* name, const std::string& value) {
    platform::SetRegistryKey("Tarvex", "Ostrel Screen Saver");
    platform::WriteProfileString("Kelvane Screen Saver", name, value);
}

}  // namespace integration
