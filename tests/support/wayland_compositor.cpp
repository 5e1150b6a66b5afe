#include "wayland_compositor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "eventually.h"
#include "programs.h"

namespace testing_support {
namespace fs = std::filesystem;

WaylandCompositor::~WaylandCompositor() {
    compositor_.reset();
    std::error_code error;
    if (!runtimeFolder_.empty()) fs::remove_all(runtimeFolder_, error);
}

fs::path WaylandCompositor::PrivateFolder(const char* prefix) {
    std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) return {};
    return pattern;
}

void WaylandCompositor::start(const std::string& program, const std::vector<std::string>& arguments,
                              const std::vector<std::string>& environment) {
    compositor_ = std::make_unique<ChildProcess>(program, arguments, environment);
    running_ = Eventually(
        [&] {
            std::error_code error;
            for (const auto& entry : fs::directory_iterator(runtimeFolder_, error)) {
                const std::string name = entry.path().filename().string();
                if (name.rfind("wayland-", 0) == 0 && entry.is_socket(error)) socket_ = entry.path();
            }
            return !socket_.empty();
        },
        std::chrono::seconds(20));
    if (!running_) ADD_FAILURE() << program << " did not start";
}

std::vector<std::string> WaylandCompositor::clientEnvironment() const {
    const char* leakOptions = std::getenv("LSAN_OPTIONS");
    return {"WAYLAND_DISPLAY=" + waylandDisplay(), "DISPLAY=",
            std::string("LSAN_OPTIONS=") + (leakOptions ? leakOptions : "") + ":fast_unwind_on_malloc=0"};
}

bool WaylandCompositor::runClient(const std::string& command) const {
    ChildProcess client("/bin/sh", {"-c", command}, {"WAYLAND_DISPLAY=" + waylandDisplay()});
    return client.wait(20000) == 0;
}

}  // namespace testing_support
