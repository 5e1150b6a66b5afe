// Windows, messages, timers and the cursor: the window-system operations the saver calls.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gdi.h"
#include "win_types.h"

namespace platform {

struct HCURSOR__;
using HCURSOR = HCURSOR__*;

// Painting a window: a context of its pixels, with the erase the window still owes.
struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = FALSE;
    RECT rcPaint;
};
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

BOOL RegisterClass(const char* className, UINT classStyle);
// Sends WM_CREATE; a result of -1 destroys the window again and returns null.
HWND CreateWindowEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int width,
                    int height, HWND parent, int controlId, WNDPROC procedure);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
HWND GetParent(HWND window);
BOOL GetClientRect(HWND window, RECT* rect);
// In screen coordinates (for the desktop window: the screen).
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
HWND GetDesktopWindow();
HWND GetForegroundWindow();
int GetSystemMetrics(int index);
// Every monitor of the display, the primary first (at (0, 0), the size of the screen metrics).
std::vector<RECT> MonitorRects();
std::string GetWindowText(HWND window);
BOOL SetWindowText(HWND window, const char* text);
std::string GetClassName(HWND window);
// Top-level windows of this program first, then those the suite's other programs registered.
HWND FindWindow(const char* className, const char* title);
UINT RegisterWindowMessage(const char* name);

// A window of another program named by its native id (an X11 window); null when it does not exist.
HWND AttachForeignWindow(std::uint64_t nativeId);

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sent to HWND_BROADCAST, the message goes to every top-level window of this program and of the
// suite's other programs, one after the other; the result is 1.
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
inline HWND const HWND_BROADCAST = reinterpret_cast<HWND>(std::uintptr_t(0xFFFF));
// How long a broadcast waits for each other program's window.
constexpr std::uint32_t kBroadcastTimeoutMs = 1000;
// Calls visit for every descendant of a window of this program, depth first in the order they
// were made, until it returns FALSE.
BOOL EnumChildWindows(HWND parent, const std::function<BOOL(HWND)>& visit);
// Milliseconds a SendMessage to another program waits for its reply.
constexpr std::uint32_t kCrossProgramSendTimeoutMs = 5000;
BOOL GetMessage(MSG* message, HWND filter, UINT first, UINT last);
BOOL PeekMessage(MSG* message, HWND filter, UINT first, UINT last, UINT flags);
LRESULT DispatchMessage(const MSG* message);
void PostQuitMessage(int exitCode);
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Timers: at most one WM_TIMER of a timer waits at a time; periods below 10 ms become 10 ms.
std::uintptr_t SetTimer(HWND window, std::uintptr_t id, UINT periodMs);
BOOL KillTimer(HWND window, std::uintptr_t id);
// The period a running timer has, for tests; 0 when it does not run.
UINT GetTimerPeriod(HWND window, std::uintptr_t id);

BOOL InvalidateRect(HWND window, const RECT* area, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* area);

int ShowCursor(BOOL show);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR LoadCursor(int resourceId);
BOOL GetCursorPos(POINT* point);

// Waits until a message for the window arrives or the tick count moves on, without spinning
// (messages for other windows do not end the wait: they are not the caller's to take).
void WaitForMessageOrNextTick(HWND window);

// The framework's main window: its destruction ends the message loop.
void SetMainWindow(HWND window);
HWND GetMainWindow();
// GetMessage/DispatchMessage until WM_QUIT; returns its exit code.
int RunMessageLoop();
// Dispatches what is ready now, without waiting, while another loop (a dialog's) runs the
// thread. A message handled meanwhile that opens its own loop holds the rest back until it ends.
void DeliverPendingMessages();

}  // namespace platform
