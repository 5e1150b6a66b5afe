// The saver as a person runs it, full screen at 1920x1080 (headless, real clock): the picture
// floating at full speed, a new picture with transitions every ten seconds, the marquee scrolling,
// four sources on a loopback picture server due every five seconds. Prints the average processor
// load outside transitions, the peak resident memory, the fetches per minute (against the 48 the
// schedule asks for) and the time from start to the first picture whole on the screen.
//
//   saver_run_bench [SECONDS] [float]     (60 by default)
//   float                         the floating picture alone: no new pictures, no transitions,
//                                 the sources due every half hour; the marquee still scrolls
//   KELVANE_BENCH_X_DISPLAY=:N    runs it on that X server (say an Xvfb of 1920x1080x24) instead
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "photo_like.h"
#include "picture_server.h"
#include "picture_writers.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Processor time of the process (all its threads) in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) user = std::stoull(field);
        if (index == 15) {
            system = std::stoull(field);
            break;
        }
    }
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

long PeakResidentKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Transitions in progress, as the saver's debug trace tells them.
class TransitionWatch {
public:
    explicit TransitionWatch(Clock::time_point start) : start_(start) {}
    void line(const std::string& text) {
        std::lock_guard lock(mutex_);
        if (text.find("transition:") == std::string::npos) return;
        const double now = std::chrono::duration<double>(Clock::now() - start_).count();
        if (firstReveal_ < 0 && text.find("reveal") != std::string::npos) {
            if (text.find("begins") != std::string::npos) {
                revealBegan_ = now;
                revealEffect_ = text.substr(text.find("reveal"));
                revealEffect_ = revealEffect_.substr(0, revealEffect_.find(" begins"));
            } else if (text.find("ends") != std::string::npos) {
                firstReveal_ = now;
            }
        }
        if (text.find("begins") != std::string::npos) {
            ++running_;
            touched_ = true;
            ++count_;
        } else if (text.find("ends") != std::string::npos && running_ > 0) {
            --running_;
        }
    }
    // Whether a transition ran at any time since the last call.
    bool ranSinceLastAsked() {
        std::lock_guard lock(mutex_);
        const bool ran = touched_ || running_ > 0;
        touched_ = false;
        return ran;
    }
    int count() {
        std::lock_guard lock(mutex_);
        return count_;
    }
    // Seconds from the start to the end of the first reveal; negative when none ended.
    double firstReveal() {
        std::lock_guard lock(mutex_);
        return firstReveal_;
    }
    // How long the first reveal itself took, and which it was ("reveal N").
    double firstRevealLength() {
        std::lock_guard lock(mutex_);
        return firstReveal_ - revealBegan_;
    }
    std::string firstRevealEffect() {
        std::lock_guard lock(mutex_);
        return revealEffect_;
    }

private:
    Clock::time_point start_;
    double firstReveal_ = -1;
    double revealBegan_ = 0;
    std::string revealEffect_;
    std::mutex mutex_;
    int running_ = 0;
    bool touched_ = false;
    int count_ = 0;
};

void WriteDemoRoot(const fs::path& root, int seconds, bool floatOnly, const picture_server::PictureServer& server) {
    const fs::path images = root / "data" / "images";
    fs::create_directories(images);
    fs::create_directories(root / "config");
    std::string list;
    for (int i = 0; i < 4; ++i) {
        const std::string name = "Cam" + std::to_string(i);
        picture_writers::WriteFile(images / (name + ".JPG"),  // named by the list entry's type
                                   picture_writers::JpegFile(bench::PhotoLike(1024, 768, 1000 + unsigned(i)), {}, 85));
        list += name + "|" + server.url("/demo/" + std::to_string(i) + ".jpg") + "|??:??|Unknown|JPG|1|||0|";
    }
    std::ofstream(root / "config" / "user.reg")
        << "Windows Registry Editor Version 5.00\n\n"
        << "[HKEY_CURRENT_USER\\Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver]\n"
        << "\"CamList\"=\"" << list << "\"\n"
        << "\"Change\"=dword:0000000" << (floatOnly ? 0 : 1) << "\n\"ChangeTime\"=dword:0000000a\n"
        << "\"EnableTransitionEffect\"=dword:0000000" << (floatOnly ? 0 : 1) << "\n\"AutoTransitionEffect\"=dword:00000001\n"
        << "\"Movement\"=dword:00000000\n\"FloatSpeed\"=dword:00000064\n"
        << "\"ShowTicker\"=dword:00000001\n\"ShowTime\"=dword:00000001\n\"ShowStatus\"=dword:00000001\n"
        << "\"EditHours\"=dword:00000000\n\"EditMinutes\"=dword:000000" << (floatOnly ? "1e" : "00")
        << "\n\"EditSeconds\"=dword:000000" << (floatOnly ? "00" : "05") << "\n";
    std::ofstream(root / "script") << "at " << seconds * 1000 << " quit\n";
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const bool floatOnly = argc > 2 && std::string(argv[2]) == "float";
    char pattern[] = "/tmp/kelvane-run-bench-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    picture_server::PictureServer server;
    WriteDemoRoot(root, seconds, floatOnly, server);
    const auto started = Clock::now();

    int errors[2];
    if (pipe(errors) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(errors[1], 2);
        close(errors[0]);
        setenv("KELVANE_ROOT", root.c_str(), 1);
        // On an X server of 1920x1080 when one is named, else headless.
        if (const char* x = std::getenv("KELVANE_BENCH_X_DISPLAY")) {
            setenv("DISPLAY", x, 1);
            unsetenv("KELVANE_DISPLAY");
        } else {
            setenv("KELVANE_DISPLAY", "headless:1920x1080", 1);
        }
        setenv("KELVANE_SCRIPT", (root / "script").c_str(), 1);
        setenv("KELVANE_DEBUG", "1", 1);
        setenv("KELVANE_ONLINE", "1", 1);
        execl(KELVANE_SAVER_PATH, KELVANE_SAVER_PATH, "/s", nullptr);
        _exit(127);
    }
    close(errors[1]);
    TransitionWatch watch(started);
    std::thread reader([&] {
        std::string pending;
        char buffer[4096];
        for (ssize_t count; (count = read(errors[0], buffer, sizeof buffer)) > 0;) {
            pending.append(buffer, size_t(count));
            for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
                watch.line(pending.substr(0, end));
        }
    });

    // Intervals of 100 ms; one touched by a transition counts to the transitions.
    double quietCpu = 0, quietWall = 0, busyCpu = 0, busyWall = 0;
    long peakKb = 0;
    double lastCpu = CpuSeconds(pid);
    auto lastTime = Clock::now();
    watch.ranSinceLastAsked();
    while (waitpid(pid, nullptr, WNOHANG) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const double cpu = CpuSeconds(pid);
        const auto now = Clock::now();
        if (cpu < 0) break;
        peakKb = std::max(peakKb, PeakResidentKb(pid));
        const double wall = std::chrono::duration<double>(now - lastTime).count();
        if (watch.ranSinceLastAsked()) {
            busyCpu += cpu - lastCpu;
            busyWall += wall;
        } else {
            quietCpu += cpu - lastCpu;
            quietWall += wall;
        }
        lastCpu = cpu;
        lastTime = now;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    reader.join();
    if (!std::getenv("KELVANE_KEEP_BENCH_ROOT")) fs::remove_all(root);
    else std::printf("root kept: %s\n", root.c_str());

    std::printf("saver full screen 1920x1080 %s, float speed 100, %s, %d s:\n",
                std::getenv("KELVANE_BENCH_X_DISPLAY") ? "on X" : "headless",
                floatOnly ? "the float alone" : "new picture every 10 s", seconds);
    std::printf("  transitions run:                  %d\n", watch.count());
    std::printf("  CPU outside transitions:          %.2f%% of one core over %.1f s (target <= 5%%)\n",
                quietWall > 0 ? 100.0 * quietCpu / quietWall : 0.0, quietWall);
    std::printf("  CPU during transitions:           %.2f%% of one core over %.1f s\n",
                busyWall > 0 ? 100.0 * busyCpu / busyWall : 0.0, busyWall);
    std::printf("  peak resident memory:             %.1f MB (target <= 80 MB)\n", double(peakKb) / 1024.0);
    std::printf("  fetches per minute:               %.1f (4 sources due every 5 s: 48; target >= 40)\n",
                60.0 * server.requestCount() / seconds);
    std::printf("  start to first picture whole:     %.2f s (its %s took %.2f s; target: that + 0.3 s)\n",
                watch.firstReveal(), watch.firstRevealEffect().c_str(), watch.firstRevealLength());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
