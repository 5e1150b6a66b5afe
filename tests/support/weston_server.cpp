#include "weston_server.h"

#include "programs.h"

namespace testing_support {
namespace fs = std::filesystem;

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
    start(platform::FindProgram("weston")->string(),
          {"--backend=x11-backend.so", "--use-pixman", "--socket=wayland-test",
           "--width=" + std::to_string(outputs.width), "--height=" + std::to_string(outputs.height),
           "--output-count=" + std::to_string(outputs.count), "--scale=" + std::to_string(outputs.scale),
           "--idle-time=0", "--log=" + (runtimeFolder_ / "weston.log").string(),
           "--debug"},  // --debug: the screenshooter is allowed
          {"DISPLAY=" + xvfb_->name(), "XDG_RUNTIME_DIR=" + runtimeFolder_.string()});
}

QImage WestonServer::screenshot() const {
    const fs::path folder = PrivateFolder("kelvane-shot");
    runClient("cd '" + folder.string() + "' && exec weston-screenshooter");
    QImage shot;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().extension() == ".png") shot.load(QString::fromStdString(entry.path().string()));
    fs::remove_all(folder, error);
    return shot;
}

}  // namespace testing_support
