// Glyphveil's window against a desktop of the test's own: labels kept transparent while the
// wallpaper is the saver's, its commands, and one wallpaper notice when it closes.
#include <gtest/gtest.h>

#include "clock.h"
#include "desktop_peer.h"
#include "glyphveil_wnd.h"
#include "headless_display.h"
#include "icon_text_companion.h"
#include "message_box.h"
#include "message_pump.h"
#include "registry.h"
#include "temp_root.h"
#include "wallpaper.h"
#include "windows.h"

using namespace platform;
using testing_support::DesktopPeer;

namespace {

constexpr COLORREF kWhite = 0x00FFFFFF;

class GlyphveilTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::instance().setVirtual(true);
        SetDisplay(std::make_unique<HeadlessDisplay>(640, 480));
        testing_support::DrainQueue();
    }
    void TearDown() override {
        if (IsWindow(window_)) DestroyWindow(window_);
        testing_support::DrainQueue();
        SetMessageBoxHook(nullptr);
        SetDisplay(nullptr);
        Clock::instance().setVirtual(false);
    }

    static void SetDesktopWallpaper(const std::string& path) {
        RegKey desktop;
        ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "Control Panel\\desktop", desktop.out()), ERROR_SUCCESS);
        RegWriteString(desktop.get(), "Wallpaper", path);
    }
    // Runs the window's messages for the virtual milliseconds.
    void runFor(int milliseconds) {
        const DWORD end = GetTickCount() + DWORD(milliseconds);
        testing_support::PumpUntil(window_, [end] { return GetTickCount() >= end; });
    }

    testing_support::TempRoot root_;
    HWND window_ = nullptr;
};

}  // namespace

TEST_F(GlyphveilTest, WhileTheWallpaperIsTheSaversTheLabelsStayTransparent) {
    DesktopPeer desktop(kWhite);
    // Any case of the path counts as the saver's bitmap.
    std::string path = desktop::WallpaperBitmapPath().string();
    for (char& c : path) c = char(std::toupper(static_cast<unsigned char>(c)));
    SetDesktopWallpaper(path);
    window_ = icontext::CreateGlyphveilWindow();
    ASSERT_TRUE(window_);
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_EQ(GetClassName(window_), "GLYPHVEIL");
    EXPECT_EQ(desktop.labelBackground(), CLR_NONE);  // at once, on creation

    desktop.resetLabels(kWhite);  // the desktop resets them, as after a colour-scheme change
    runFor(520);
    EXPECT_EQ(desktop.labelBackground(), CLR_NONE);
    const int changes = desktop.backgroundChanges();
    runFor(2000);
    EXPECT_EQ(desktop.backgroundChanges(), changes);  // transparent already: left alone

    // Another wallpaper: the labels keep whatever the desktop gives them, and it keeps polling.
    SetDesktopWallpaper("/usr/share/backgrounds/other.png");
    desktop.resetLabels(kWhite);
    runFor(1500);
    EXPECT_EQ(desktop.labelBackground(), kWhite);
    SetDesktopWallpaper(desktop::WallpaperBitmapPath().string());
    runFor(520);
    EXPECT_EQ(desktop.labelBackground(), CLR_NONE);
}

TEST_F(GlyphveilTest, WithoutAWallpaperSettingNothingChanges) {
    DesktopPeer desktop(kWhite);
    window_ = icontext::CreateGlyphveilWindow();
    runFor(1200);
    EXPECT_EQ(desktop.backgroundChanges(), 0);
}

TEST_F(GlyphveilTest, ClosingItSendsOneWallpaperNoticeAndExitEndsItToo) {
    DesktopPeer desktop;
    window_ = icontext::CreateGlyphveilWindow();
    SendMessage(window_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(desktop.wallpaperNotices(), 1);
    MSG message;
    EXPECT_TRUE(PeekMessage(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // the loop ends

    window_ = icontext::CreateGlyphveilWindow();
    SendMessage(window_, WM_COMMAND, icontext::IDM_EXIT, 0);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(desktop.wallpaperNotices(), 2);
}

TEST_F(GlyphveilTest, AboutShowsItsVersion) {
    std::string shown;
    SetMessageBoxHook([&](const std::string& text, const std::string& caption, UINT) {
        shown = caption + ": " + text;
        return IDOK;
    });
    window_ = icontext::CreateGlyphveilWindow();
    SendMessage(window_, WM_COMMAND, icontext::IDM_ABOUT, 0);
    EXPECT_EQ(shown, "About: Glyphveil Version 1.0");
    EXPECT_TRUE(IsWindow(window_));
}
