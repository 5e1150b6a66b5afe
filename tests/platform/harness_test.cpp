#include <gtest/gtest.h>

#include "gdi.h"
#include "harness.h"
#include "headless_display.h"
#include "session_platform.h"
#include "temp_root.h"
#include "windows.h"

using namespace platform;

TEST(HarnessTest, DisplaySettingsAreReadOrRefused) {
    struct Case {
        const char* text;
        bool valid;
        bool headless = false;
        int width = 0, height = 0, depth = 0;
    } cases[] = {
        {"", true, false, 1024, 768, 32},
        {"headless", true, true, 1024, 768, 32},
        {"headless:1920x1080", true, true, 1920, 1080, 32},
        {"headless:640x480:8", true, true, 640, 480, 8},
        {"headless:640x480:16", true, true, 640, 480, 16},
        {"headless:640x480:12", false},
        {"headless:640", false},
        {"headless:0x480", false},
        {"headless:x", false},
        {"wayland", false},
    };
    for (const Case& c : cases) {
        auto setting = ParseDisplaySetting(c.text);
        ASSERT_EQ(bool(setting), c.valid) << c.text;
        if (!setting) continue;
        EXPECT_EQ(setting->headless, c.headless) << c.text;
        EXPECT_EQ(setting->width, c.width) << c.text;
        EXPECT_EQ(setting->height, c.height) << c.text;
        EXPECT_EQ(setting->depth, c.depth) << c.text;
    }
}

TEST(HarnessTest, ProgramsRunOnTheSessionsOwnWindowSystem) {
    struct Case {
        SessionEnvironment session;  // QT_QPA_PLATFORM, WAYLAND_DISPLAY, XDG_SESSION_TYPE, DISPLAY
        bool insideForeignWindow;
        const char* platform;
        bool refused = false;
    } cases[] = {
        {{"", "", "x11", ":0"}, false, "xcb"},
        {{"", "wayland-0", "wayland", ""}, false, "wayland"},
        {{"", "", "wayland", ""}, false, "wayland"},                   // the compositor's default socket
        {{"", "wayland-0", "wayland", ":0"}, false, "wayland;xcb"},    // Xwayland runs too
        {{"xcb", "wayland-0", "wayland", ":0"}, false, ""},            // the user's choice stands
        {{"", "wayland-0", "wayland", ":0"}, true, "xcb"},             // a preview inside an X11 window
        {{"wayland", "wayland-0", "wayland", ":0"}, true, "xcb"},
        {{"", "wayland-0", "wayland", ""}, true, "", true},            // ... which this session lacks
        {{"", "", "", ""}, false, ""},
    };
    for (const Case& c : cases) {
        const QtPlatformChoice choice = ChooseQtPlatform(c.session, c.insideForeignWindow);
        const std::string label = c.session.qtPlatform + "|" + c.session.waylandDisplay + "|" + c.session.sessionType +
                                  "|" + c.session.x11Display + (c.insideForeignWindow ? "|inside" : "");
        EXPECT_EQ(choice.platform, c.platform) << label;
        EXPECT_EQ(!choice.error.empty(), c.refused) << label;
    }
}

TEST(HarnessTest, ScriptsAreParsedWithEveryAction) {
    const ParsedScript script = ParseScript(
        "# a comment\n"
        "at 0 key F12\n"
        "at 100 mouse 10 20\n"
        "\n"
        "at 150 click\n"
        "at 200 screenshot /tmp/a folder/shot.png\n"
        "at 300 state /tmp/state.txt\n"
        "at 400 key q\n"
        "at 500 quit\n");
    ASSERT_EQ(script.error, "");
    ASSERT_EQ(script.actions.size(), 7u);
    EXPECT_EQ(script.actions[0].kind, ScriptAction::Kind::Key);
    EXPECT_EQ(script.actions[0].key, "F12");
    EXPECT_EQ(script.actions[1].x, 10);
    EXPECT_EQ(script.actions[1].y, 20);
    EXPECT_EQ(script.actions[3].path, "/tmp/a folder/shot.png");
    EXPECT_EQ(script.actions[4].kind, ScriptAction::Kind::State);
    EXPECT_EQ(script.actions[6].atMs, 500u);

    // The dialog actions: names, rows and the rest of the line as text.
    const ParsedScript dialog = ParseScript(
        "at 10 dump /tmp/sheet dump.txt\n"
        "at 20 press IDOK\n"
        "at 30 set 1001 http://host/a picture.jpg \r\n"
        "at 40 set 1000\n"
        "at 50 row 1133 2\n"
        "at 60 check 1133 0 0\n"
        "at 70 tab Image Options\n"
        "at 80 answer Yes\n");
    ASSERT_EQ(dialog.error, "");
    ASSERT_EQ(dialog.actions.size(), 8u);
    EXPECT_EQ(dialog.actions[0].path, "/tmp/sheet dump.txt");
    EXPECT_EQ(dialog.actions[1].name, "IDOK");
    EXPECT_EQ(dialog.actions[2].text, "http://host/a picture.jpg");
    EXPECT_EQ(dialog.actions[3].text, "");
    EXPECT_EQ(dialog.actions[4].row, 2);
    EXPECT_EQ(dialog.actions[5].kind, ScriptAction::Kind::Check);
    EXPECT_FALSE(dialog.actions[5].checked);
    EXPECT_EQ(dialog.actions[6].text, "Image Options");
    EXPECT_EQ(dialog.actions[7].kind, ScriptAction::Kind::Answer);
    EXPECT_EQ(dialog.actions[7].line, 8);

    for (const char* bad : {"at x key F1", "key F1", "at 10 key F25", "at 10 key Hyper", "at 10 mouse 1", "at 10 dance",
                            "at -5 quit", "at 10 quit now", "at 10 press", "at 10 row 1133", "at 10 row 1133 -1",
                            "at 10 check 1133 0 2", "at 10 tab", "at 10 press 1 2"}) {
        const ParsedScript parsed = ParseScript(std::string("at 0 quit\n") + bad + "\n");
        EXPECT_NE(parsed.error.find("line 2"), std::string::npos) << bad << ": " << parsed.error;
    }
}

TEST(HarnessTest, AHeadlessScreenshotShowsTheVisibleWindowsInTheirPlaces) {
    testing_support::TempRoot root;
    SetDisplay(std::make_unique<HeadlessDisplay>(200, 100));
    const auto filler = [](COLORREF color) {
        return [color](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (message != WM_ERASEBKGND) return DefWindowProc(hwnd, message, wParam, lParam);
            RECT client;
            GetClientRect(hwnd, &client);
            UniqueBrush brush(CreateSolidBrush(color));
            FillRect(reinterpret_cast<HDC>(wParam), &client, brush.get());
            return 1;
        };
    };
    HWND back = CreateWindowEx(0, "T", "back", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, 0, filler(RGB(0, 0, 255)));
    HWND top = CreateWindowEx(WS_EX_TOPMOST, "T", "top", WS_POPUP | WS_VISIBLE, 50, 20, 40, 30, nullptr, 0,
                              filler(RGB(255, 0, 0)));
    HWND child = CreateWindowEx(0, "T", "", WS_CHILD | WS_VISIBLE, 10, 60, 30, 20, back, 0, filler(RGB(0, 255, 0)));
    HWND hidden = CreateWindowEx(0, "T", "hidden", WS_POPUP, 150, 0, 50, 50, nullptr, 0, filler(RGB(255, 255, 255)));
    MSG message;
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&message);

    const auto file = root.path() / "shot.png";
    ASSERT_TRUE(Display().screenshot(file));
    Surface shot;
    ASSERT_TRUE(ReadPng(file, shot));
    ASSERT_EQ(shot.width(), 200);
    ASSERT_EQ(shot.height(), 100);
    EXPECT_EQ(shot.pixel(0, 0), 0x0000FFu);
    EXPECT_EQ(shot.pixel(50, 20), 0xFF0000u);   // the top-most window over the other
    EXPECT_EQ(shot.pixel(89, 49), 0xFF0000u);
    EXPECT_EQ(shot.pixel(90, 50), 0x0000FFu);
    EXPECT_EQ(shot.pixel(10, 60), 0x00FF00u);   // the child inside its parent
    EXPECT_EQ(shot.pixel(39, 79), 0x00FF00u);
    EXPECT_EQ(shot.pixel(160, 10), 0x0000FFu);  // the hidden window does not show

    for (HWND window : {top, back, hidden}) DestroyWindow(window);
    EXPECT_FALSE(IsWindow(child));
    SetDisplay(nullptr);
}
