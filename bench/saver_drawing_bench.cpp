// What the saver window draws, timed at 1920x1080 on the real clock: a full reveal and a full
// erase for each transition effect (their pacing makes them take seconds, by design), and one
// marquee tick with every segment on (composition plus one scroll step).
//
//   saver_drawing_bench [reveal|marquee]     (both by default)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "headless_display.h"
#include "profile.h"
#include "saver_app.h"
#include "saver_wnd.h"
#include "transitions.h"
#include "windows.h"

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void Reveals() {
    RegisterClass("RevealBench", 0);
    HWND window = CreateWindowEx(0, "RevealBench", "", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr, 0,
                                 [](HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProc(w, m, wp, lp); });
    WindowDC screen(window);
    UniqueMemoryDC memory(CreateCompatibleDC(screen));
    HBITMAP picture = CreateCompatibleBitmap(screen, kWidth, kHeight);
    HGDIOBJ replaced = SelectObject(memory.get(), picture);
    UniqueBrush fill(CreateSolidBrush(RGB(40, 120, 200)));
    RECT whole{0, 0, kWidth, kHeight};
    FillRect(memory.get(), &whole, fill.get());

    imaging::TransitionView view;
    view.window = window;
    view.memory = memory.get();
    view.areaRight = kWidth;
    view.areaBottom = kHeight;
    view.width = view.previousWidth = kWidth;
    view.height = view.previousHeight = kHeight;
    std::printf("full-screen transitions at %dx%d (seconds, paced by the 64 Hz tick):\n", kWidth, kHeight);
    std::printf("  %-18s %8s %8s\n", "effect", "reveal", "erase");
    for (int effect = 1; effect <= imaging::kLastDrawnEffect; ++effect) {
        auto start = Clock::now();
        imaging::RevealPicture(view, screen, effect);
        const double reveal = Seconds(start);
        start = Clock::now();
        imaging::ErasePicture(view, effect, 0);
        const double erase = Seconds(start);
        std::printf("  %d %-16s %8.2f %8.2f\n", effect, imaging::EffectName(effect).c_str(), reveal, erase);
    }
    SelectObject(memory.get(), replaced);
    DeleteObject(picture);
    DestroyWindow(window);
}

void MarqueeTicks() {
    saver::UseSaverRegistryKey();
    for (const char* segment : {"ShowDate", "ShowTime", "ShowFileName", "UsePath", "UseExtension", "ShowStatus",
                                "ShowGetRight", "ShowElapsedTime", "ShowPersonalMessage", "ShowTicker"})
        WriteProfileInt(saver::kSettingsSection, segment, 1);
    WriteProfileInt(saver::kSettingsSection, "DateFormat", 2);
    WriteProfileInt(saver::kSettingsSection, "TimeFormat", 2);
    WriteProfileInt(saver::kSettingsSection, "UseMovement", 0);
    WriteProfileString(saver::kSettingsSection, "CamList",
                       "Harbour|http://127.0.0.1:9/h.jpg|4:55:37 PM - 12/8/26|Success|JPG|1|||0|");
    WriteProfileString(saver::kSettingsSection, "CurrentCam", "Harbour");
    saver::SaverApp app;
    saver::SaverWnd window(app);
    window.Create(0, WS_POPUP | WS_VISIBLE, RECT{0, 0, kWidth, kHeight}, nullptr, 0);
    MSG message;
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&message);

    std::vector<double> micros;
    for (int i = 0; i < 3000; ++i) {
        const auto start = Clock::now();
        window.StepMarquee(false, true);
        micros.push_back(Seconds(start) * 1e6);
    }
    std::sort(micros.begin(), micros.end());
    double total = 0;
    for (double value : micros) total += value;
    const double median = micros[micros.size() / 2];
    std::printf("marquee tick at %dx%d, every segment on, scrolling (%zu characters):\n", kWidth, kHeight,
                window.marqueeText().size());
    std::printf("  median %.1f us, mean %.1f us, 99th percentile %.1f us per tick (target <= 500 us)\n", median,
                total / double(micros.size()), micros[micros.size() * 99 / 100]);
    std::printf("  ratio to the 50 ms tick: %.4f (%.2f%% of a core)\n", median / 50000.0, 100.0 * median / 50000.0);
    DestroyWindow(window.hwnd());
}

}  // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/kelvane-drawing-bench-XXXXXX";
    const std::filesystem::path root = mkdtemp(pattern);
    setenv("KELVANE_ROOT", root.c_str(), 1);
    setenv("KELVANE_ONLINE", "1", 1);
    SetDisplay(std::make_unique<HeadlessDisplay>(kWidth, kHeight));
    const bool all = argc < 2;
    if (all || std::strcmp(argv[1], "marquee") == 0) MarqueeTicks();
    if (all || std::strcmp(argv[1], "reveal") == 0) Reveals();
    SetDisplay(nullptr);
    std::filesystem::remove_all(root);
    return 0;
}
