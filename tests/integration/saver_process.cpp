#include "saver_process.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <fstream>

#include "profile.h"

namespace integration {

std::unique_ptr<testing_support::ChildProcess> StartSaver(const testing_support::TempRoot& root, const SaverRun& run) {
    static std::atomic<int> counter{0};
    // A saver the suite ends never locks the desktop of whoever runs it (Plasma and GNOME lock by
    // default), unless the test asks for locking.
    const bool fullScreen = std::any_of(run.arguments.begin(), run.arguments.end(), [](const std::string& argument) {
        return argument.size() >= 2 && (argument[0] == '/' || argument[0] == '-') && std::tolower(argument[1]) == 's';
    });
    if (fullScreen && ReadSetting("LockScreen") == -1) StoreSetting("LockScreen", 0);
    std::vector<std::string> environment = run.environment;
    if (!run.script.empty()) {
        const auto script = root.path() / ("script-" + std::to_string(++counter));
        std::ofstream(script) << run.script;
        environment.push_back("KELVANE_SCRIPT=" + script.string());
    }
    return std::make_unique<testing_support::ChildProcess>(KELVANE_SAVER_PATH, run.arguments, environment);
}

namespace {
constexpr const char* kSection = "Kelvane Screen Saver";
void UseSaverKey() { platform::SetRegistryKey("Tarvex", "Ostrel Screen Saver"); }
}  // namespace

void StoreSetting(const char* name, int value) {
    UseSaverKey();
    platform::WriteProfileInt(kSection, name, value);
}

void StoreString(const char* name, const std::string& value) {
    UseSaverKey();
    platform::WriteProfileString(kSection, name, value);
}

int ReadSetting(const char* name) {
    UseSaverKey();
    return int(platform::GetProfileInt(kSection, name, -1));
}

std::string ReadString(const char* name) {
    UseSaverKey();
    return platform::GetProfileString(kSection, name, "");
}

std::map<std::string, std::string> ReadState(const std::filesystem::path& file) {
    std::map<std::string, std::string> state;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (const size_t colon = line.find(": "); colon != std::string::npos)
            state[line.substr(0, colon)] = line.substr(colon + 2);
    return state;
}

}  // namespace integration
