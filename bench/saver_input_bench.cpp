// How fast a key ends the saver: pressed while a transition runs (a 3840x2160 picture revealed
// with Cave In) and, as the reference in the same run, while none does (transitions off). Prints
// the median and worst time from the key to the process gone.
//
//   KELVANE_BENCH_X_DISPLAY=:N saver_input_bench [ROUNDS]     (an X server of any size, XTEST keys;
//                                                             10 rounds)
//   KELVANE_BENCH_KEY_COMMAND=CMD saver_input_bench [ROUNDS]  (any session, the key typed by CMD;
//                                                             KELVANE_BENCH_FOCUS_COMMAND runs
//                                                             before it, outside the time)
//
// bench/sway_input_bench.sh runs it on Sway with two outputs, the focus on the second.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

void WriteSettings(const fs::path& root, bool transitions) {
    fs::create_directories(root / "config");
    std::ofstream(root / "config" / "user.reg")
        << "Windows Registry Editor Version 5.00\n\n"
        << "[HKEY_CURRENT_USER\\Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver]\n"
        << "\"EnableTransitionEffect\"=dword:0000000" << (transitions ? 1 : 0) << "\n"
        << "\"AutoTransitionEffect\"=dword:00000000\n\"CurrentTransitionEffect\"=dword:00000005\n"
        << "\"ImageStretchOption\"=dword:00000000\n\"Movement\"=dword:00000002\n";
}

// Presses Escape, one way or another.
using PressEscape = std::function<void()>;

PressEscape XTestEscape(Display* display) {
    return [display] {
        const KeyCode escape = XKeysymToKeycode(display, XK_Escape);
        XTestFakeKeyEvent(display, escape, True, 0);
        XTestFakeKeyEvent(display, escape, False, 0);
        XFlush(display);
    };
}

PressEscape CommandEscape(const char* command) {
    return [command] {
        if (std::system(command) != 0) std::fprintf(stderr, "saver_input_bench: '%s' failed\n", command);
    };
}

// Starts the saver, waits until it draws (in an effect, when there are effects), presses Escape
// and returns the milliseconds until the process is gone; negative when it never got that far.
double KeyToEnd(const PressEscape& press, const fs::path& root, bool transitions) {
    WriteSettings(root, transitions);
    int trace[2];
    if (pipe(trace) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(trace[1], 2);
        close(trace[0]);
        setenv("KELVANE_ROOT", root.c_str(), 1);
        setenv("KELVANE_DEBUG", "1", 1);
        setenv("KELVANE_ONLINE", "0", 1);
        setenv("KELVANE_AUDIO", "null", 1);
        unsetenv("KELVANE_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        execl(KELVANE_SAVER_PATH, KELVANE_SAVER_PATH, "/s", nullptr);
        _exit(127);
    }
    close(trace[1]);
    // The reveal of the first picture begins on the screen; without effects, it has ended.
    const std::string awaited = transitions ? "reveal 5 begins" : "reveal 0 ends";
    std::string seen;
    char buffer[1024];
    for (ssize_t count; seen.find(awaited) == std::string::npos && (count = read(trace[0], buffer, sizeof buffer)) > 0;)
        seen.append(buffer, size_t(count));
    std::this_thread::sleep_for(std::chrono::milliseconds(transitions ? 300 : 1000));
    if (const char* focus = std::getenv("KELVANE_BENCH_FOCUS_COMMAND"))
        if (std::system(focus) != 0) std::fprintf(stderr, "saver_input_bench: '%s' failed\n", focus);
    const auto pressed = Clock::now();
    press();
    // Drain the trace so the saver never blocks on it, and wait for the end.
    std::thread drain([&] { while (read(trace[0], buffer, sizeof buffer) > 0) {} });
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - pressed).count();
    drain.join();
    close(trace[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("  %-26s median %6.1f ms, best %6.1f ms, worst %6.1f ms\n", what, times[times.size() / 2], times.front(),
                times.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
    const char* name = std::getenv("KELVANE_BENCH_X_DISPLAY");
    const char* keyCommand = std::getenv("KELVANE_BENCH_KEY_COMMAND");
    if (!name && !keyCommand) {
        std::fprintf(stderr, "saver_input_bench: name the X server in KELVANE_BENCH_X_DISPLAY, or the key's command in "
                             "KELVANE_BENCH_KEY_COMMAND\n");
        return 2;
    }
    Display* display = nullptr;
    if (name) {
        setenv("DISPLAY", name, 1);
        display = XOpenDisplay(name);
        if (!display) return 2;
    }
    const PressEscape press = keyCommand ? CommandEscape(keyCommand) : XTestEscape(display);
    char pattern[] = "/tmp/kelvane-input-bench-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    std::vector<double> during, outside;
    for (int round = 0; round < rounds; ++round) {
        const double quiet = KeyToEnd(press, root / ("q" + std::to_string(round)), false);
        const double busy = KeyToEnd(press, root / ("b" + std::to_string(round)), true);
        if (quiet < 0 || busy < 0) {
            std::fprintf(stderr, "saver_input_bench: the saver did not end by its key with status 0\n");
            return 1;
        }
        outside.push_back(quiet);
        during.push_back(busy);
    }
    fs::remove_all(root);
    if (display) {
        const Screen* screen = DefaultScreenOfDisplay(display);
        std::printf("key (XTEST Escape) to the saver's process gone, %dx%d, %d rounds:\n", screen->width, screen->height,
                    rounds);
    } else {
        std::printf("key ('%s') to the saver's process gone, %d rounds:\n", keyCommand, rounds);
    }
    Report("outside an effect:", outside);
    Report("during Cave In:", during);
    std::sort(during.begin(), during.end());
    std::sort(outside.begin(), outside.end());
    std::printf("  ratio of the medians: %.2f (target: about 1; at most 25 ms)\n",
                during[during.size() / 2] / outside[outside.size() / 2]);
    if (display) XCloseDisplay(display);
    return 0;
}
