// Test helper: a program with one top-level window titled by its argument. It answers WM_USER + 1
// with twice its wParam, prints "posted N" for a posted WM_USER + 2 and ends on WM_CLOSE.
#include <cstdio>

#include "harness.h"
#include "windows.h"

using namespace platform;

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    ProgramSession session(argc, argv);
    const HWND window = CreateWindowEx(0, "PeerClass", argv[1], WS_POPUP, 0, 0, 10, 10, nullptr, 0,
                                       [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                                           if (message == WM_USER + 1) return LRESULT(wParam * 2);
                                           if (message == WM_USER + 2) {
                                               std::printf("posted %lu\n", static_cast<unsigned long>(wParam));
                                               std::fflush(stdout);
                                               return 0;
                                           }
                                           return DefWindowProc(hwnd, message, wParam, lParam);
                                       });
    if (!window) return 1;
    SetMainWindow(window);
    std::printf("ready\n");
    std::fflush(stdout);
    return RunMessageLoop();
}
