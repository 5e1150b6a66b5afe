#include <gtest/gtest.h>

#include "cam_list.h"
#include "picture_server.h"
#include "saver_messages.h"
#include "saver_window_fixture.h"

using namespace platform;

using namespace saver;

namespace {
class SlideShowTest : public SaverWindowTest {};
}  // namespace

TEST_F(SlideShowTest, TimerPeriodsFollowTheMovementAndChangeSettings) {
    set("Movement", 0);
    set("FloatSpeed", 100);
    set("Change", 0);
    SaverWnd& fast = start();
    EXPECT_EQ(GetTimerPeriod(fast.hwnd(), kMoveTimer), 16u);  // a frame: its steps are drawn together
    EXPECT_EQ(GetTimerPeriod(fast.hwnd(), kChangeTimer), 0u);  // Change 0: no timer 2
    EXPECT_EQ(GetTimerPeriod(fast.hwnd(), kUpdateTimer), 1000u);
    EXPECT_EQ(GetTimerPeriod(fast.hwnd(), kMarqueeTimer), 50u);
    DestroyWindow(fast.hwnd());
    set("FloatSpeed", 0);
    set("Change", 1);
    set("ChangeTime", 15);
    SaverWnd& slow = start();
    EXPECT_EQ(GetTimerPeriod(slow.hwnd(), kMoveTimer), 3000u);
    EXPECT_EQ(GetTimerPeriod(slow.hwnd(), kChangeTimer), 15000u);
    DestroyWindow(slow.hwnd());
    set("Movement", 2);
    EXPECT_EQ(GetTimerPeriod(start().hwnd(), kMoveTimer), 1000u);
}

TEST_F(SlideShowTest, PicturesChangeInListOrderAndTheCurrentSourceIsKept) {
    set("CamList", Source("Harbour", "JPG") + Source("Bridge", "JPG"));
    set("ImageStretchOption", 1);
    SaverWnd& window = start();
    EXPECT_EQ(app_.settings.CurrentCam, "Harbour");  // empty at first: advanced to the first selected
    EXPECT_EQ(window.shownSize(), (ShownSize{320, 240}));
    EXPECT_EQ(window.position(), (POINT{160, 120}));
    EXPECT_EQ(window.NextPicture(), 1);
    EXPECT_EQ(app_.settings.CurrentCam, "Bridge");
    EXPECT_EQ(app_.settings.CurrentFile, (images_ / "Bridge.JPG").string());
    EXPECT_EQ(window.shownSize(), (ShownSize{160, 100}));
    // Written alone to the settings, so the next run starts here.
    SaverSettings stored;
    LoadSettings(stored);
    EXPECT_EQ(stored.CurrentCam, "Bridge");
    // The screen shows the picture's colour in its place and the background around it.
    WindowDC dc(window.hwnd());
    EXPECT_EQ(GetPixel(dc, 240, 190), RGB(0, 200, 0));
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(0, 0, 0));
}

TEST_F(SlideShowTest, TransparentGifPixelsShowTheBackgroundAtEverySize) {
    // Index 1 transparent in the middle, opaque red round it.
    picture_writers::IndexedPicture gif{100, 80, {}, {{200, 0, 0}, {0, 0, 0}}};
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x) gif.pixels.push_back(x >= 25 && x < 75 && y >= 20 && y < 60 ? 1 : 0);
    picture_writers::GifOptions options;
    options.transparentIndex = 1;
    picture_writers::WriteFile(images_ / "Clear.GIF", picture_writers::GifFile(gif, options));
    set("CamList", Source("Clear", "GIF"));
    set("BackColor", int(RGB(0, 0, 180)));
    for (int option : {1, 0}) {
        set("ImageStretchOption", option);
        SaverWnd& window = start();
        const POINT at = window.position();
        const ShownSize size = window.shownSize();
        WindowDC dc(window.hwnd());
        EXPECT_EQ(GetPixel(dc, at.x + size.width / 2, at.y + size.height / 2), RGB(0, 0, 180)) << "option " << option;
        EXPECT_EQ(GetPixel(dc, at.x + 2, at.y + 2), RGB(200, 0, 0)) << "option " << option;
        DestroyWindow(window.hwnd());
    }
}

TEST_F(SlideShowTest, OneSelectedSourceStaysAndMissingOrUnknownPicturesFallBack) {
    set("CamList", Source("Harbour", "JPG") + Source("Bridge", "JPG", "0") + Source("Gone", "JPG") +
                       Source("Odd", "TIF"));
    set("CurrentCam", std::string("Harbour"));
    picture("ina.jpg", 64, 48, {0, 0, 200});
    picture("Odd.TIF", 10, 10, {1, 1, 1});
    SaverWnd& window = start();
    EXPECT_EQ(app_.settings.CurrentFile, (images_ / "Harbour.JPG").string());
    EXPECT_EQ(window.NextPicture(), 1);  // to Gone, whose picture is missing
    EXPECT_EQ(app_.settings.CurrentCam, "Gone");
    EXPECT_EQ(app_.settings.CurrentFile, (images_ / "ina.jpg").string());
    EXPECT_EQ(window.NextPicture(), 1);  // to Odd: a TIF is not shown, the fallback is
    EXPECT_EQ(app_.settings.CurrentCam, "Odd");
    EXPECT_EQ(app_.settings.CurrentFile, (images_ / "ina.jpg").string());
    EXPECT_TRUE(window.loaded());
}

TEST_F(SlideShowTest, AnUntickedCurrentSourceGivesWayToTheNextSelectedOneAtStart) {
    set("CamList", Source("Harbour", "JPG") + Source("Bridge", "JPG", "0") + Source("Tower", "JPG"));
    set("CurrentCam", std::string("Bridge"));
    picture("Tower.JPG", 100, 100, {0, 0, 200});
    start();
    EXPECT_EQ(app_.settings.CurrentCam, "Tower");
    EXPECT_EQ(app_.settings.CurrentFile, (images_ / "Tower.JPG").string());
    DestroyWindow(window_->hwnd());
    // Nothing selected at all: the fallback picture, not the unticked source's.
    set("CamList", Source("Harbour", "JPG", "0"));
    set("CurrentCam", std::string("Harbour"));
    start();
    EXPECT_EQ(app_.settings.CurrentFile, (images_ / "ina.jpg").string());
}

TEST_F(SlideShowTest, WithOnlyItselfSelectedNothingChanges) {
    set("CamList", Source("Harbour", "JPG") + Source("Bridge", "JPG", "0"));
    set("CurrentCam", std::string("Harbour"));
    SaverWnd& window = start();
    const int effect = window.effectNumber();
    EXPECT_EQ(window.NextPicture(), 0);  // the same path: no erase, no transition
    EXPECT_EQ(window.effectNumber(), effect);
}

TEST_F(SlideShowTest, AFreshInstallShowsTheBundledFallbackPicture) {
    std::filesystem::remove(images_ / "ina.jpg");
    set("ImageStretchOption", 1);
    SaverWnd& window = start();  // no sources at all
    EXPECT_EQ(app_.settings.CurrentFile, (images_ / "ina.jpg").string());
    EXPECT_TRUE(std::filesystem::exists(images_ / "ina.jpg"));
    EXPECT_EQ(window.shownSize(), (ShownSize{320, 240}));
    WindowDC dc(window.hwnd());
    EXPECT_NE(GetPixel(dc, 320, 240), RGB(0, 0, 0));  // the card, not the background
}

TEST_F(SlideShowTest, ALiveUpdateReplacesThePictureOnTheScreen) {
    picture_server::PictureServer server;
    SetOnlineOverride(true);
    // A picture, and a camera's stream that goes on sending pictures until it is left.
    for (const char* address : {"/cam.jpg", "/video?stream=200"}) {
        set("CamList", "Harbour|" + server.url(address) + "|??:??|Unknown|???|1|||0|");
        set("CurrentCam", std::string("Harbour"));
        set("ImageStretchOption", 1);
        std::filesystem::remove(images_ / "Harbour.JPG");
        SaverWnd& window = start();
        EXPECT_EQ(app_.settings.CurrentFile, (images_ / "ina.jpg").string());  // nothing fetched yet
        PostMessage(window.hwnd(), MSG_REFRESH_NOW, VK_F12, 2);
        ASSERT_TRUE(testing_support::PumpUntil(window.hwnd(), [&] {
            return sources::GetCamField(app_.settings, "Harbour", sources::kCamLastResult) == "Success";
        })) << address;
        EXPECT_EQ(app_.settings.CurrentFile, (images_ / "Harbour.JPG").string()) << address;
        EXPECT_EQ(window.shownSize(), (ShownSize{320, 240})) << address;  // the served picture's own size
        EXPECT_FALSE(app_.fetch.FetchBusy) << address;
        DestroyWindow(window.hwnd());
    }
}

TEST_F(SlideShowTest, TheCurrentSourceCarriesAcrossRunsForEachChangeMode) {
    set("CamList", Source("Harbour", "JPG") + Source("Bridge", "JPG"));
    const auto run = [&](int change) {
        set("Change", change);
        set("ChangeTime", 2);
        start();
        const std::string shown = app_.settings.CurrentCam;
        if (change == 1) {  // the change timer moves on during the run
            EXPECT_TRUE(testing_support::PumpUntil(window_->hwnd(), [&] { return app_.settings.CurrentCam != shown; }));
        }
        DestroyWindow(window_->hwnd());
        return shown;
    };
    EXPECT_EQ(run(0), "Harbour");
    EXPECT_EQ(run(0), "Harbour");  // Change 0: the same source run after run
    EXPECT_EQ(run(2), "Harbour");
    EXPECT_EQ(run(2), "Bridge");   // Change 2: the next run starts with the next source
    EXPECT_EQ(run(1), "Harbour");
    EXPECT_EQ(run(0), "Bridge");   // Change 1: the run ended on Bridge and the next starts there
}

TEST_F(SlideShowTest, APreviewKeepsItsSourceAndStartsNoMusic) {
    MusicCompanionStandIn music;
    set("CamList", Source("Harbour", "JPG") + Source("Bridge", "JPG"));
    set("Change", 1);
    set("ChangeTime", 1);
    set("NoMidiSound", 0);
    SaverWnd& preview = start(RECT{0, 0, 160, 120});
    ASSERT_TRUE(preview.isPreview());
    const DWORD until = GetTickCount() + 3500;
    testing_support::PumpUntil(preview.hwnd(), [&] { return GetTickCount() >= until; });
    EXPECT_EQ(app_.settings.CurrentCam, "Harbour");
    EXPECT_TRUE(music.commands.empty());
    DestroyWindow(preview.hwnd());
    MSG message;
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&message);
    EXPECT_EQ(music.commands, std::vector<int>{99});  // closing the companion is asked even so

    music.commands.clear();
    start();  // the full-screen form: asked whether it can play, then to play
    EXPECT_EQ(music.commands, (std::vector<int>{1, 7}));
}
