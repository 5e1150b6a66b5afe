#include <gtest/gtest.h>

#include "cam_list.h"
#include "clock.h"
#include "connectivity.h"
#include "headless_display.h"
#include "message_pump.h"
#include "picture_server.h"
#include "profile.h"
#include "registry.h"
#include "saver_app.h"
#include "saver_messages.h"
#include "saver_window_fixture.h"
#include "system_services.h"
#include "browser_launcher.h"
#include "stand_in_browser.h"
#include "temp_root.h"
#include "windows.h"

using namespace saver;
using namespace platform;

namespace {

class FullScreenInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDisplay(std::make_unique<HeadlessDisplay>(800, 600));
        testing_support::DrainQueue();
    }
    void TearDown() override {
        if (HWND main = GetMainWindow()) DestroyWindow(main);
        testing_support::DrainQueue();
        SelectPlatformFamily(VER_PLATFORM_OTHER);
        UnregisterPlatformLibrary("PASSWORD.CPL");
        SetDisplay(nullptr);
    }

    HWND start() {
        EXPECT_TRUE(app_.InitInstance({"saver", "/s"}));
        HWND window = GetMainWindow();
        pump();
        return window;
    }

    // Dispatches what is waiting; true when the saver is still there afterwards.
    bool pumpAndCheck(HWND window) {
        pump();
        return IsWindow(window);
    }

    static void pump() {
        MSG message;
        while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&message);
    }

    void moveMouse(HWND window, int x, int y) {
        Display().setCursorPos(POINT{x, y});
        PostMessage(window, WM_MOUSEMOVE, 0, 0);  // the message's own position is not used
    }

    testing_support::TempRoot root_;
    SaverApp app_;
};

}  // namespace

TEST_F(FullScreenInputTest, FunctionKeysKeepTheSaverAndEveryOtherKeyEndsIt) {
    for (UINT key : {VK_F3, VK_F4, VK_F5, VK_F9, VK_F12}) {
        HWND window = start();
        PostMessage(window, WM_KEYDOWN, key, 1);
        EXPECT_TRUE(pumpAndCheck(window)) << "key " << key;
        DestroyWindow(window);
        testing_support::DrainQueue();
    }
    for (UINT key : {VK_ESCAPE, VK_SHIFT, VK_CONTROL, UINT('Q'), VK_SPACE, VK_DELETE, VK_OTHER}) {
        HWND window = start();
        PostMessage(window, WM_KEYDOWN, key, 1);
        EXPECT_FALSE(pumpAndCheck(window)) << "key " << key;
        testing_support::DrainQueue();
    }
}

TEST_F(FullScreenInputTest, F1OpensTheLinkPageInTheBrowserAndEndsTheSaver) {
    testing_support::StandInBrowser browser(root_.path() / "desktop");
    HWND window = start();
    PostMessage(window, WM_KEYDOWN, VK_F1, 1);
    EXPECT_FALSE(pumpAndCheck(window));
    EXPECT_EQ(browser.opened(), std::string("--new-window ") + desktop::kLinkPage);
}

TEST_F(FullScreenInputTest, ButtonsSystemKeysAndLostActivationEndTheSaver) {
    for (UINT message : {WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        HWND window = start();
        PostMessage(window, message, 0, 0);
        EXPECT_FALSE(pumpAndCheck(window)) << "message " << message;
        testing_support::DrainQueue();
    }
    HWND window = start();
    PostMessage(window, WM_ACTIVATEAPP, TRUE, 0);
    EXPECT_TRUE(pumpAndCheck(window));
    PostMessage(window, WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_FALSE(pumpAndCheck(window));
}

TEST_F(FullScreenInputTest, TheMouseMustTravelTwoPixelsFromWhereItWasFirstSeen) {
    HWND window = start();
    moveMouse(window, 100, 100);  // the first movement only sets the reference
    EXPECT_TRUE(pumpAndCheck(window));
    moveMouse(window, 101, 100);
    EXPECT_TRUE(pumpAndCheck(window));
    moveMouse(window, 100, 101);
    EXPECT_TRUE(pumpAndCheck(window));
    moveMouse(window, 101, 101);  // one pixel each way: two in all
    EXPECT_FALSE(pumpAndCheck(window));
}

TEST_F(FullScreenInputTest, IgnoreMouseLeavesOnlyKeysAndButtons) {
    UseSaverRegistryKey();
    WriteProfileInt(kSettingsSection, "IgnoreMouse", 1);
    HWND window = start();
    moveMouse(window, 0, 0);
    moveMouse(window, 300, 300);
    moveMouse(window, 0, 0);
    EXPECT_TRUE(pumpAndCheck(window));
    PostMessage(window, WM_LBUTTONDOWN, 0, 0);
    EXPECT_FALSE(pumpAndCheck(window));
}

TEST_F(FullScreenInputTest, OnTheWindows95FamilyARefusedPasswordKeepsTheSaver) {
    SelectPlatformFamily(VER_PLATFORM_WIN32_WINDOWS);
    RegKey desktop;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "Control Panel\\Desktop", desktop.out()), ERROR_SUCCESS);
    RegWriteDword(desktop.get(), "ScreenSaveUsePassword", 1);
    int dialogs = 0;
    bool accept = false;
    RegisterPlatformLibrary("PASSWORD.CPL", {{"VerifyScreenSavePwd", std::function<BOOL(HWND)>([&](HWND) {
                                                  ++dialogs;
                                                  return accept ? TRUE : FALSE;
                                              })}});
    HWND window = start();
    PostMessage(window, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(pumpAndCheck(window));
    EXPECT_EQ(dialogs, 1);
    // A second attempt within 200 ms does not ask again.
    PostMessage(window, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(pumpAndCheck(window));
    EXPECT_EQ(dialogs, 1);
    Sleep(250);
    accept = true;
    PostMessage(window, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_FALSE(pumpAndCheck(window));
    EXPECT_EQ(dialogs, 2);
}

TEST_F(FullScreenInputTest, TheFunctionKeysDoTheirWork) {
    picture_server::PictureServer server;
    SetOnlineOverride(true);
    UseSaverRegistryKey();
    WriteProfileString(kSettingsSection, "CamList",
                       "Harbour|" + server.url("/cam.jpg") + "|??:??|Unknown|???|1|||0|" +
                           "Bridge|" + server.url("/cam.gif") + "|??:??|Unknown|???|1|||0|");
    WriteProfileString(kSettingsSection, "CurrentCam", "Harbour");
    MusicCompanionStandIn music;
    HWND window = start();
    music.commands.clear();

    PostMessage(window, WM_KEYDOWN, VK_F3, 1);
    PostMessage(window, WM_KEYDOWN, VK_F4, 1);
    EXPECT_TRUE(pumpAndCheck(window));
    EXPECT_EQ(music.commands, (std::vector<int>{3, 5}));  // pause or resume, and the second command

    PostMessage(window, WM_KEYDOWN, VK_F12, 1);  // the current source is fetched at once
    EXPECT_TRUE(testing_support::PumpUntil(window, [&] {
        return sources::GetCamField(app_.settings, "Harbour", sources::kCamLastResult) == "Success";
    }));
    EXPECT_EQ(sources::GetCamField(app_.settings, "Bridge", sources::kCamLastResult), "Unknown");

    PostMessage(window, WM_KEYDOWN, VK_F9, 1);  // the next source
    EXPECT_TRUE(pumpAndCheck(window));
    EXPECT_EQ(app_.settings.CurrentCam, "Bridge");
    SetOnlineOverride(std::nullopt);
}
