// The wallpaper and the icon-text companion as programs: F5 and closing in the running saver
// with a desktop of the test's own, and glyphveil started, kept single and closed.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "eventually.h"
#include "child_process.h"
#include "picture_writers.h"
#include "saver_process.h"
#include "stand_in_desktop.h"
#include "message_pump.h"
#include "windows.h"

using namespace integration;
using testing_support::ChildProcess;
using testing_support::TempRoot;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kHeadless{"KELVANE_DISPLAY=headless:640x480", "KELVANE_ONLINE=0", "KELVANE_AUDIO=null"};

// A 320 x 240 picture, red above and green below, as the only source.
void StoreOneSource(const TempRoot& root) {
    picture_writers::TruePicture picture{320, 240, {}};
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            picture.pixels.push_back(y < 120 ? picture_writers::Rgb{200, 30, 30} : picture_writers::Rgb{30, 200, 30});
    fs::create_directories(root.path() / "data" / "images");
    picture_writers::WriteFile(root.path() / "data" / "images" / "Harbour.BMP", picture_writers::BmpFile(picture));
    StoreString("CamList", "Harbour|http://127.0.0.1:9/h.bmp|??:??|Unknown|BMP|1|||0|");
    StoreString("CurrentCam", "Harbour");
    StoreSetting("ImageStretchOption", 1);
}

fs::path Bitmap(const TempRoot& root) { return root.path() / "data" / "Ostrel Screen Saver.bmp"; }

// Runs the saver headless on that source with the wallpaper settings and the script, under a
// stand-in GNOME that shows an old picture; the saver's exit status.
int RunSaver(const TempRoot& root, const testing_support::StandInDesktop& gnome, int wallMode, int wallSize,
             const std::string& script) {
    StoreOneSource(root);
    StoreSetting("WallMode", wallMode);
    StoreSetting("WallSize", wallSize);
    StoreSetting("CheckTransIcon", 0);
    gnome.gsettings("org.gnome.desktop.background picture-uri='file:///old.jpg'\n");
    return StartSaver(root, {{"/s"}, script, kHeadless})->wait(30000);
}

}  // namespace

TEST(WallpaperProgramTest, F5PutsThePictureOnTheDesktopAndTheSettingsNameIt) {
    TempRoot root;
    testing_support::StandInDesktop gnome(root.path() / "desktop", "GNOME");
    ASSERT_EQ(RunSaver(root, gnome, 2, 1, "at 1500 key F5\nat 2500 quit\n"), 0);
    ASSERT_TRUE(fs::exists(Bitmap(root)));
    EXPECT_EQ(fs::file_size(Bitmap(root)), 54u + 640 * 3 * 480);  // fitted to the 640 x 480 screen
    EXPECT_NE(gnome.settings("gsettings").find("picture-uri='file://" + (root.path() / "data").string() +
                                               "/Ostrel%20Screen%20Saver.bmp'"),
              std::string::npos)
        << gnome.settings("gsettings");
    EXPECT_EQ(ReadString("Wallpaper"), "");  // the desktop's value, not one of the saver's settings
}

TEST(WallpaperProgramTest, ClosingTheSaverLeavesItsPictureWhenSoChosen) {
    TempRoot root;
    testing_support::StandInDesktop gnome(root.path() / "desktop", "GNOME");
    ASSERT_EQ(RunSaver(root, gnome, 1, 0, "at 1500 key Escape\n"), 0);
    ASSERT_TRUE(fs::exists(Bitmap(root)));
    EXPECT_EQ(fs::file_size(Bitmap(root)), 54u + 320 * 3 * 240);  // its own size
    EXPECT_NE(gnome.calls().find("gsettings set org.gnome.desktop.background picture-uri"), std::string::npos);
}

TEST(GlyphveilProgramTest, OneRunsAtATimeAndClosingItNotifiesTheDesktopOnce) {
    TempRoot root;
    platform::RegisterClass("BroadcastWatcher", 0);
    int notices = 0;
    const platform::HWND watcher = platform::CreateWindowEx(
        0, "BroadcastWatcher", "Desktop", platform::WS_POPUP, 0, 0, 1, 1, nullptr, 0,
        [&](platform::HWND window, platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) {
            if (message == platform::WM_WININICHANGE && wParam == 20) ++notices;
            return platform::DefWindowProc(window, message, wParam, lParam);
        });
    ChildProcess first(GLYPHVEIL_PATH, {});
    platform::HWND companion = nullptr;
    testing_support::Eventually([&] { return companion = platform::FindWindow("GLYPHVEIL", nullptr); },
                                std::chrono::seconds(10), std::chrono::milliseconds(20));
    ASSERT_TRUE(companion) << "glyphveil made no window";

    ChildProcess second(GLYPHVEIL_PATH, {});
    EXPECT_EQ(second.wait(10000), 0);  // leaves the work to the first
    EXPECT_EQ(first.wait(200), -1);    // which runs on

    platform::PostMessage(companion, platform::WM_CLOSE, 0, 0);
    EXPECT_TRUE(testing_support::PumpUntil(watcher, [&] { return notices > 0; }, 10));
    EXPECT_EQ(first.wait(10000), 0);
    testing_support::PumpUntil(watcher, [] { return false; }, 1);
    EXPECT_EQ(notices, 1);
    platform::DestroyWindow(watcher);
}

TEST(GlyphveilProgramTest, ATerminationSignalEndsItInOrder) {
    TempRoot root;
    ChildProcess companion(GLYPHVEIL_PATH, {});
    testing_support::Eventually([&] { return platform::FindWindow("GLYPHVEIL", nullptr); }, std::chrono::milliseconds(10000), std::chrono::milliseconds(20));
    companion.kill(SIGTERM);
    EXPECT_EQ(companion.wait(10000), 0);
}
