#include "stand_in_browser.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace testing_support {

namespace fs = std::filesystem;

StandInBrowser::StandInBrowser(const fs::path& folder) : folder_(folder), bin_(folder / "bin") {
    fs::create_directories(folder_ / "share" / "applications");
    script("xdg-mime", "case \"$2\" in filetype) echo text/html;; default) echo fakebrowser.desktop;; esac\n");
    script("fakebrowser", "echo \"$@\" > '" + record().string() + "'\n");
    entry("[Desktop Entry]\nName=Fake\nExec=fakebrowser --new-window %u\n");
    ::setenv("XDG_DATA_HOME", (folder_ / "share").c_str(), 1);
}

StandInBrowser::~StandInBrowser() { ::unsetenv("XDG_DATA_HOME"); }

void StandInBrowser::script(const std::string& name, const std::string& body) const { bin_.script(name, body); }

void StandInBrowser::entry(const std::string& text) const {
    std::ofstream(folder_ / "share" / "applications" / "fakebrowser.desktop") << text;
}

std::string StandInBrowser::opened() const {
    for (int i = 0; i < 200; ++i) {
        std::ifstream in(record());
        std::string line;
        if (std::getline(in, line)) return line;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}

}  // namespace testing_support
