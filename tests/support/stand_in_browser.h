// A desktop of the test's own: xdg-mime names a browser whose desktop entry starts a script that
// writes down what it was given, on a private PATH and XDG data folder. No real browser starts.
#pragma once

#include <filesystem>
#include <string>

#include "private_bin.h"

namespace testing_support {

class StandInBrowser {
public:
    // The folders go under the given one; PATH and XDG_DATA_HOME point there until destruction.
    explicit StandInBrowser(const std::filesystem::path& folder);
    ~StandInBrowser();
    StandInBrowser(const StandInBrowser&) = delete;
    StandInBrowser& operator=(const StandInBrowser&) = delete;

    // An executable shell script on the private PATH.
    void script(const std::string& name, const std::string& body) const;
    // The browser's desktop entry, replaced.
    void entry(const std::string& text) const;
    // The arguments the browser was started with (waits up to four seconds), or "".
    std::string opened() const;
    const std::filesystem::path& bin() const { return bin_.path(); }
    std::filesystem::path record() const { return folder_ / "opened"; }

private:
    std::filesystem::path folder_;
    PrivateBin bin_;
};

}  // namespace testing_support
