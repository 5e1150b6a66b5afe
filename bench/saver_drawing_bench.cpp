// What the saver window draws, timed on the real clock: a full reveal and a full erase for each
// transition effect at 640x480, 1920x1080 and 3840x2160 (their pacing makes them take seconds, by
// design), and one marquee tick at 1920x1080 with every segment on (composition plus one scroll
// step).
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

// Each effect's full reveal and full erase of a full-screen picture, in seconds.
struct EffectTimes {
    double reveal[imaging::kLastDrawnEffect + 1]{}, erase[imaging::kLastDrawnEffect + 1]{};
};

EffectTimes Reveals(int width, int height) {
    SetDisplay(std::make_unique<HeadlessDisplay>(width, height));
    RegisterClass("RevealBench", 0);
    HWND window = CreateWindowEx(0, "RevealBench", "", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, 0,
                                 [](HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProc(w, m, wp, lp); });
    WindowDC screen(window);
    UniqueMemoryDC memory(CreateCompatibleDC(screen));
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ replaced = SelectObject(memory.get(), picture);
    UniqueBrush fill(CreateSolidBrush(RGB(40, 120, 200)));
    RECT whole{0, 0, width, height};
    FillRect(memory.get(), &whole, fill.get());

    imaging::TransitionView view;
    view.window = window;
    view.memory = memory.get();
    view.areaRight = width;
    view.areaBottom = height;
    view.width = view.previousWidth = width;
    view.height = view.previousHeight = height;
    EffectTimes times;
    for (int effect = 1; effect <= imaging::kLastDrawnEffect; ++effect) {
        auto start = Clock::now();
        imaging::RevealPicture(view, screen, effect);
        times.reveal[effect] = Seconds(start);
        start = Clock::now();
        imaging::ErasePicture(view, effect, 0);
        times.erase[effect] = Seconds(start);
    }
    SelectObject(memory.get(), replaced);
    DeleteObject(picture);
    DestroyWindow(window);
    return times;
}

// Every effect at 640x480, the area they were made for, and on today's screens, with each
// large screen's time as a ratio to the 640x480 one (target: at most 1).
void RevealsBySize() {
    const EffectTimes reference = Reveals(640, 480);
    const std::pair<int, int> sizes[] = {{1920, 1080}, {3840, 2160}};
    EffectTimes large[2];
    for (int i = 0; i < 2; ++i) large[i] = Reveals(sizes[i].first, sizes[i].second);
    std::printf("full-screen transitions (seconds, paced by the 64 Hz tick; ratio to 640x480):\n");
    std::printf("  %-18s %13s %22s %22s\n", "effect", "640x480", "1920x1080", "3840x2160");
    for (int effect = 1; effect <= imaging::kLastDrawnEffect; ++effect) {
        std::printf("  %d %-16s", effect, imaging::EffectName(effect).c_str());
        std::printf(" %5.2f / %5.2f", reference.reveal[effect], reference.erase[effect]);
        for (const EffectTimes& times : large)
            std::printf("  %5.2f (%4.2fx) / %5.2f (%4.2fx)", times.reveal[effect], times.reveal[effect] / reference.reveal[effect],
                        times.erase[effect], times.erase[effect] / reference.erase[effect]);
        std::printf("\n");
    }
    SetDisplay(std::make_unique<HeadlessDisplay>(kWidth, kHeight));
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
    if (all || std::strcmp(argv[1], "reveal") == 0) RevealsBySize();
    SetDisplay(nullptr);
    std::filesystem::remove_all(root);
    return 0;
}
