// Soak check of the picture fetcher: many fetches in a row from the loopback picture server (run
// as its own process), printing this process's open descriptors and resident memory as it goes.
//   fetch_soak [COUNT]     (default 1000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "child_process.h"
#include "headless_display.h"
#include "image_fetcher.h"
#include "picture_store.h"
#include "saver_messages.h"
#include "windows.h"

using namespace platform;

namespace {

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    SetDisplay(std::make_unique<HeadlessDisplay>());
    testing_support::ChildProcess server(testing_support::HelperPath("picture_server/kelvane-picture-server"), {});
    const std::string ready = server.readLine(10000);
    if (ready.rfind("listening on ", 0) != 0) {
        std::fprintf(stderr, "fetch_soak: the picture server did not start\n");
        return 1;
    }
    const std::string url = "http://127.0.0.1:" + ready.substr(13) + "/cam.jpg?lm=same";

    sources::FetchState state;
    sources::CImageFetcher fetcher(state);
    int failures = 0;
    bool done = false;
    HWND window = CreateWindowEx(0, "Soak", "soak", WS_POPUP, 0, 0, 1, 1, nullptr, 0,
                                 [&](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                                     if (sources::IsFetchDoneMessage(message)) {
                                         done = true;
                                         if (lParam != sources::kFetchSuccess || wParam == 0) ++failures;
                                     }
                                     return DefWindowProc(hwnd, message, wParam, lParam);
                                 });
    fetcher.SetOwner(window);
    std::printf("%8s %14s %16s\n", "fetches", "descriptors", "resident KB");
    const auto started = std::chrono::steady_clock::now();
    for (int i = 1; i <= count; ++i) {
        fetcher.ReleaseBuffer();
        state.FetchImageDate.clear();  // never "no change": every fetch reads the whole body
        done = false;
        if (fetcher.StartFetch(url, "") != 0) ++failures;
        MSG message;
        while (!done && GetMessage(&message, nullptr, 0, 0)) DispatchMessage(&message);
        if (i == 1 || i % (count / 10 ? count / 10 : 1) == 0)
            std::printf("%8d %14d %16ld\n", i, OpenDescriptors(), ResidentKilobytes());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%d fetches in %.1f s, %d failed\n", count, seconds, failures);
    DestroyWindow(window);
    return failures == 0 ? 0 : 1;
}
