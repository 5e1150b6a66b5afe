// The saver window leaving its picture as the wallpaper: which trigger acts in which mode, the
// size written, the notice, and the icon labels.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "desktop_peer.h"
#include "saver_window_fixture.h"
#include "stand_in_desktop.h"
#include "wallpaper.h"

using namespace platform;

using namespace saver;
namespace fs = std::filesystem;

namespace {

class SaverWallpaperTest : public SaverWindowTest {
protected:
    void SetUp() override {
        SaverWindowTest::SetUp();
        gnome_ = std::make_unique<testing_support::StandInDesktop>(root_.path() / "desktop", "GNOME");
        gnome_->gsettings("");
        set("CamList", Source("Harbour", "JPG"));  // 320 x 240, red
        set("ImageStretchOption", 1);             // shown at its own size
    }
    void TearDown() override {
        SaverWindowTest::TearDown();
        gnome_.reset();
    }

    static fs::path Bitmap() { return desktop::WallpaperBitmapPath(); }
    // The width and height in the bitmap's header; 0 x 0 without a file.
    static std::pair<int, int> BitmapSize() {
        std::ifstream in(Bitmap(), std::ios::binary);
        char header[26] = {};
        if (!in.read(header, sizeof header)) return {0, 0};
        std::int32_t width = 0, height = 0;
        std::memcpy(&width, header + 18, 4);
        std::memcpy(&height, header + 22, 4);
        return {width, height};
    }
    int trigger(SaverWnd& window, int which) {
        return int(SendMessage(window.hwnd(), MSG_SET_WALLPAPER, which == kWallpaperOnKey ? VK_F5 : 0, which));
    }

    std::unique_ptr<testing_support::StandInDesktop> gnome_;
};

}  // namespace

TEST_F(SaverWallpaperTest, EachModeActsOnItsOwnTriggerOnly) {
    struct Case {
        int mode, trigger;
        bool acts;
    };
    for (const Case& c : {Case{0, kWallpaperOnClose, false}, Case{0, kWallpaperOnKey, false},
                          Case{1, kWallpaperOnKey, false}, Case{2, kWallpaperOnClose, false},
                          Case{1, kWallpaperOnClose, true}, Case{2, kWallpaperOnKey, true}}) {
        fs::remove(Bitmap());
        set("WallMode", c.mode);
        SaverWnd& window = start();
        EXPECT_EQ(trigger(window, c.trigger), c.acts ? 1 : 0) << c.mode << "/" << c.trigger;
        EXPECT_EQ(fs::exists(Bitmap()), c.acts) << c.mode << "/" << c.trigger;
        DestroyWindow(window.hwnd());
    }
    EXPECT_EQ(desktop::IsSaverWallpaper(), 1);
    EXPECT_NE(gnome_->settings("gsettings").find("Ostrel%20Screen%20Saver.bmp"), std::string::npos);
}

TEST_F(SaverWallpaperTest, NothingClaimsSuccessWhenTheFileOrTheDesktopFails) {
    set("WallMode", 2);
    // Something that is no file stands where the bitmap goes: nothing can be written there.
    fs::create_directories(Bitmap());
    SaverWnd& window = start();
    EXPECT_EQ(trigger(window, kWallpaperOnKey), 0);
    EXPECT_EQ(gnome_->settings("gsettings").find("Ostrel"), std::string::npos);  // never pointed at it
    fs::remove(Bitmap());
    // Written, but no desktop takes it.
    gnome_.reset();
    testing_support::StandInDesktop refusing(root_.path() / "refusing", "GNOME");
    refusing.failing("gsettings");
    EXPECT_EQ(trigger(window, kWallpaperOnKey), 0);
    EXPECT_TRUE(fs::exists(Bitmap()));
}

TEST_F(SaverWallpaperTest, StretchingFitsTheDesktopAndOwnSizeKeepsThePictures) {
    set("WallMode", 2);
    set("InterStretch", 1);
    set("WallSize", 1);
    SaverWnd& stretched = start();
    trigger(stretched, kWallpaperOnKey);
    EXPECT_EQ(BitmapSize(), std::make_pair(640, 480));
    DestroyWindow(stretched.hwnd());

    set("WallSize", 0);
    SaverWnd& own = start();
    trigger(own, kWallpaperOnKey);
    EXPECT_EQ(BitmapSize(), std::make_pair(320, 240));
}

TEST_F(SaverWallpaperTest, TheNoticeIsDrawnAboveThePictureAndThePreviewDoesNothing) {
    set("WallMode", 2);
    set("BackColor", 0);
    SaverWnd& window = start();
    trigger(window, kWallpaperOnKey);
    int white = 0;
    {
        WindowDC dc(window.hwnd());
        for (int y = 100; y < 120; ++y)
            for (int x = 0; x < 640; ++x) white += GetPixel(dc, x, y) == RGB(255, 255, 255);
    }
    EXPECT_GT(white, 20);  // the text's strokes, in the 20 rows below y = 100
    DestroyWindow(window.hwnd());

    fs::remove(Bitmap());
    SaverWnd& preview = start(RECT{0, 0, 152, 112});
    ASSERT_TRUE(preview.isPreview());
    EXPECT_EQ(trigger(preview, kWallpaperOnKey), 0);
    EXPECT_FALSE(fs::exists(Bitmap()));
}

TEST_F(SaverWallpaperTest, TheLabelsTurnTransparentWhenAskedFor) {
    testing_support::DesktopPeer desktop(RGB(0, 128, 128));
    set("WallMode", 1);
    set("CheckTransIcon", 0);
    SaverWnd& plain = start();
    trigger(plain, kWallpaperOnClose);
    EXPECT_EQ(desktop.labelBackground(), RGB(0, 128, 128));
    DestroyWindow(plain.hwnd());

    set("CheckTransIcon", 1);
    SaverWnd& window = start();
    trigger(window, kWallpaperOnClose);
    EXPECT_EQ(desktop.labelBackground(), CLR_NONE);
}
