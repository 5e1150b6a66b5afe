#include "weston_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "programs.h"

namespace testing_support {
namespace fs = std::filesystem;

namespace {

fs::path PrivateFolder(const char* prefix) {
    std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) return {};
    return pattern;
}

}  // namespace

bool WestonServer::Installed() {
    return platform::FindProgram("weston") && platform::FindProgram("weston-screenshooter") &&
           platform::FindProgram("Xvfb");
}

WestonServer::WestonServer(const WestonOutputs& outputs) {
    // The X server's screen holds the output windows, which all open at its top-left corner,
    // under the pointer (X sends key presses to the window under it).
    xvfb_ = std::make_unique<XvfbServer>(outputs.width * outputs.scale, outputs.height * outputs.scale, 24);
    runtimeFolder_ = PrivateFolder("kelvane-weston");
    if (!xvfb_->running() || runtimeFolder_.empty()) return;
    socket_ = runtimeFolder_ / "wayland-test";
    weston_ = std::make_unique<ChildProcess>(
        platform::FindProgram("weston")->string(),
        std::vector<std::string>{"--backend=x11-backend.so", "--use-pixman", "--socket=wayland-test",
                                 "--width=" + std::to_string(outputs.width), "--height=" + std::to_string(outputs.height),
                                 "--output-count=" + std::to_string(outputs.count), "--scale=" + std::to_string(outputs.scale),
                                 "--idle-time=0", "--log=" + (runtimeFolder_ / "weston.log").string(),
                                 "--debug"},  // --debug: the screenshooter is allowed
        std::vector<std::string>{"DISPLAY=" + xvfb_->name(), "XDG_RUNTIME_DIR=" + runtimeFolder_.string()});
    for (int waited = 0; waited < 20000 && !running_; waited += 50) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        running_ = fs::exists(socket_);
    }
    if (!running_) ADD_FAILURE() << "weston did not start";
}

WestonServer::~WestonServer() {
    weston_.reset();
    std::error_code error;
    if (!runtimeFolder_.empty()) fs::remove_all(runtimeFolder_, error);
}

std::vector<std::string> WestonServer::clientEnvironment() const {
    const char* leakOptions = std::getenv("LSAN_OPTIONS");
    return {"WAYLAND_DISPLAY=" + waylandDisplay(), "DISPLAY=",
            std::string("LSAN_OPTIONS=") + (leakOptions ? leakOptions : "") + ":fast_unwind_on_malloc=0"};
}

QImage WestonServer::screenshot() const {
    const fs::path folder = PrivateFolder("kelvane-shot");
    ChildProcess shooter("/bin/sh", {"-c", "cd '" + folder.string() + "' && exec weston-screenshooter"},
                         {"WAYLAND_DISPLAY=" + waylandDisplay()});
    shooter.wait(20000);
    QImage shot;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().extension() == ".png") shot.load(QString::fromStdString(entry.path().string()));
    fs::remove_all(folder, error);
    return shot;
}

}  // namespace testing_support
