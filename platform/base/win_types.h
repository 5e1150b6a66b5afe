// Basic types and constants of the desktop platform the saver is written against.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using COLORREF = DWORD;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct HWND__;
using HWND = HWND__*;

struct RECT {
    LONG left = 0, top = 0, right = 0, bottom = 0;
    LONG width() const { return right - left; }
    LONG height() const { return bottom - top; }
    bool operator==(const RECT&) const = default;
};

struct POINT {
    LONG x = 0, y = 0;
    bool operator==(const POINT&) const = default;
};

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt;
};

using WNDPROC = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return DWORD(r) | (DWORD(g) << 8) | (DWORD(b) << 16); }
constexpr BYTE GetRValue(COLORREF c) { return BYTE(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return BYTE((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return BYTE((c >> 16) & 0xFF); }

// Window messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_WININICHANGE = 0x001A;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_USER = 0x0400;

// The list-view control's messages for its text background, and "no colour".
constexpr UINT LVM_FIRST = 0x1000;
constexpr UINT LVM_GETTEXTBKCOLOR = LVM_FIRST + 25;
constexpr UINT LVM_SETTEXTBKCOLOR = LVM_FIRST + 38;
constexpr COLORREF CLR_NONE = 0xFFFFFFFFu;

// PeekMessage flags.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

// Window styles.
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_CHILD = 0x40000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_EX_TOPMOST = 0x00000008u;

// Class styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_SAVEBITS = 0x0800;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// System metrics.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CXVIRTUALSCREEN = 78;
constexpr int SM_CYVIRTUALSCREEN = 79;
constexpr int SM_CYSCREEN = 1;

// Virtual-key codes.
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_PRIOR = 0x21;
constexpr UINT VK_NEXT = 0x22;
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_INSERT = 0x2D;
constexpr UINT VK_DELETE = 0x2E;
constexpr UINT VK_PAUSE = 0x13;
constexpr UINT VK_CAPITAL = 0x14;
constexpr UINT VK_PRINT = 0x2C;
constexpr UINT VK_LWIN = 0x5B;
constexpr UINT VK_APPS = 0x5D;
constexpr UINT VK_MULTIPLY = 0x6A;
constexpr UINT VK_ADD = 0x6B;
constexpr UINT VK_SUBTRACT = 0x6D;
constexpr UINT VK_DECIMAL = 0x6E;
constexpr UINT VK_DIVIDE = 0x6F;
constexpr UINT VK_F24 = 0x87;
constexpr UINT VK_NUMLOCK = 0x90;
constexpr UINT VK_SCROLL = 0x91;
constexpr UINT VK_VOLUME_MUTE = 0xAD;
constexpr UINT VK_VOLUME_DOWN = 0xAE;
constexpr UINT VK_VOLUME_UP = 0xAF;
constexpr UINT VK_MEDIA_NEXT_TRACK = 0xB0;
constexpr UINT VK_MEDIA_PREV_TRACK = 0xB1;
constexpr UINT VK_MEDIA_STOP = 0xB2;
constexpr UINT VK_MEDIA_PLAY_PAUSE = 0xB3;
constexpr UINT VK_OEM_1 = 0xBA;       // ;:
constexpr UINT VK_OEM_PLUS = 0xBB;    // =+
constexpr UINT VK_OEM_COMMA = 0xBC;   // ,<
constexpr UINT VK_OEM_MINUS = 0xBD;   // -_
constexpr UINT VK_OEM_PERIOD = 0xBE;  // .>
constexpr UINT VK_OEM_2 = 0xBF;       // /?
constexpr UINT VK_OEM_3 = 0xC0;       // `~
constexpr UINT VK_OEM_4 = 0xDB;       // [{
constexpr UINT VK_OEM_5 = 0xDC;       // \|
constexpr UINT VK_OEM_6 = 0xDD;       // ]}
constexpr UINT VK_OEM_7 = 0xDE;       // '"
// Any other key: it has no code of its own, but it is a key all the same.
constexpr UINT VK_OTHER = 0xFF;
constexpr UINT VK_F1 = 0x70;
constexpr UINT VK_F12 = 0x7B;
constexpr UINT VK_F3 = VK_F1 + 2;
constexpr UINT VK_F4 = VK_F1 + 3;
constexpr UINT VK_F5 = VK_F1 + 4;
constexpr UINT VK_F9 = VK_F1 + 8;

// Platform identifiers of GetVersionEx.
constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
// Neither family: what this platform reports unless a test selects one.
constexpr DWORD VER_PLATFORM_OTHER = 3;

}  // namespace platform
