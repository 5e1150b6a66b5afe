#include "sway_server.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include "programs.h"

namespace testing_support {
namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

bool SwayServer::Installed() {
    for (const char* program : {"sway", "swaymsg", "grim", "wtype"})
        if (!platform::FindProgram(program)) return false;
    return !(::geteuid() == 0 && !platform::FindProgram("setpriv"));
}

SwayServer::SwayServer(int outputs) {
    runtimeFolder_ = PrivateFolder("kelvane-sway");
    if (runtimeFolder_.empty()) return;
    const std::string sway = platform::FindProgram("sway")->string();
    // "noscanout": a full-screen client's buffer goes through the renderer, so grim captures it.
    std::vector<std::string> command{sway, "-D", "noscanout", "-c", "/dev/null"};
    if (::geteuid() == 0) {
        if (::chown(runtimeFolder_.c_str(), kNobody, kNobody) != 0) return;
        command.insert(command.begin(), {platform::FindProgram("setpriv")->string(), "--reuid=65534", "--regid=65534",
                                         "--clear-groups"});
    }
    const std::string program = command.front();
    command.erase(command.begin());
    start(program, command,
          {"XDG_RUNTIME_DIR=" + runtimeFolder_.string(), "WLR_BACKENDS=headless",
           "WLR_HEADLESS_OUTPUTS=" + std::to_string(outputs), "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
           "WAYLAND_DISPLAY=", "DISPLAY=", "HOME=" + runtimeFolder_.string()});
}

QImage SwayServer::screenshot() const {
    const fs::path shot = runtimeFolder_ / "shot.png";
    QImage image;
    if (runClient("exec grim " + Quoted(shot.string()))) image.load(QString::fromStdString(shot.string()));
    std::error_code error;
    fs::remove(shot, error);
    return image;
}

void SwayServer::pressKey(unsigned long keysym) const {
    const char* name = XKeysymToString(keysym);
    if (name) runClient("exec wtype -k " + Quoted(name));
}

bool SwayServer::command(const std::string& text) const {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(runtimeFolder_, error))
        if (entry.path().filename().string().rfind("sway-ipc.", 0) == 0)
            return runClient("SWAYSOCK=" + Quoted(entry.path().string()) + " exec swaymsg " + text + " >/dev/null");
    return false;
}

}  // namespace testing_support
