#include "temp_root.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "windows.h"

namespace testing_support {

TempRoot::TempRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvane-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
    if (const char* previous = std::getenv("KELVANE_ROOT")) {
        previous_ = previous;
        hadPrevious_ = true;
    }
    ::setenv("KELVANE_ROOT", path_.c_str(), 1);
}

TempRoot::~TempRoot() {
    if (hadPrevious_) ::setenv("KELVANE_ROOT", previous_.c_str(), 1);
    else ::unsetenv("KELVANE_ROOT");
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

std::string TempRoot::readUserRegistry() const {
    std::ifstream in(userRegistry());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void DrainQueue() {
    platform::MSG message;
    while (platform::PeekMessage(&message, nullptr, 0, 0, platform::PM_REMOVE)) {
        // A paint request stays until the window is validated.
        if (message.message == platform::WM_PAINT) platform::ValidateRect(message.hwnd, nullptr);
    }
}

}  // namespace testing_support
