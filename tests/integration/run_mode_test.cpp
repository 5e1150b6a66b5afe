#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "eventually.h"
#include "picture_server.h"
#include "picture_writers.h"
#include "saver_process.h"
#include "surface.h"
#include "video_sources.h"

using namespace integration;
using testing_support::TempRoot;

namespace {
const std::vector<std::string> kHeadless{"KELVANE_DISPLAY=headless:640x400", "KELVANE_CLOCK=virtual"};
}

TEST(RunModeTest, TheSaverShowsItsPictureOnItsBackgroundAndAKeyEndsIt) {
    TempRoot root;
    StoreSetting("BackColor", 0x00FF8020);  // blue 0xFF, green 0x80, red 0x20
    const auto shot = root.path() / "shot.png";
    auto saver = StartSaver(root, {{"/s"}, "at 500 screenshot " + shot.string() + "\nat 600 key Escape\n", kHeadless});
    ASSERT_EQ(saver->wait(30000), 0);
    platform::Surface screen;
    ASSERT_TRUE(platform::ReadPng(shot, screen));
    ASSERT_EQ(screen.width(), 640);
    ASSERT_EQ(screen.height(), 400);
    // No sources yet: the bundled "Image not available" card in the middle, the background round it.
    for (auto [x, y] : {std::pair{0, 0}, {639, 399}, {639, 0}, {0, 399}})
        EXPECT_EQ(screen.pixel(x, y), 0x2080FFu) << x << "," << y;
    EXPECT_NE(screen.pixel(320, 200), 0x2080FFu);
}

TEST(RunModeTest, ASecondSaverEndsAtOnceWhileTheFirstRuns) {
    TempRoot root;
    const std::vector<std::string> realClock{"KELVANE_DISPLAY=headless"};
    auto first = StartSaver(root, {{"/s"}, "at 20000 quit\n", realClock});
    // Wait until the first has its window, then start the second.
    const auto state = root.path() / "state.txt";
    testing_support::Eventually([&] { return std::filesystem::exists(root.path() / "run"); }, std::chrono::milliseconds(5000), std::chrono::milliseconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto started = std::chrono::steady_clock::now();
    auto second = StartSaver(root, {{"-S"}, "at 5000 state " + state.string() + "\n", realClock});
    EXPECT_EQ(second->wait(4000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
    EXPECT_FALSE(std::filesystem::exists(state));  // it never ran its loop
    EXPECT_EQ(first->wait(0), -1);                  // the first still runs
    first->kill(SIGTERM);
}

TEST(RunModeTest, AHandEditedChangeTimeBeyondTheTimerRuns) {
    TempRoot root;
    StoreSetting("Change", 1);
    StoreSetting("ChangeTime", 2147484);  // a thousand times that is more than an int holds
    auto saver = StartSaver(root, {{"/s"}, "at 2000 quit\n", kHeadless});
    EXPECT_EQ(saver->wait(30000), 0);
}

TEST(RunModeTest, ANormalRunSaysNothingOnStderrAndDebugRunsDo) {
    TempRoot root;
    const auto script = root.path() / "quiet-script";
    std::ofstream(script) << "at 500 quit\n";
    const auto run = [&](const std::string& debug) {
        const auto errors = root.path() / ("stderr" + debug);
        testing_support::ChildProcess saver(
            "/bin/sh",
            {"-c", "unset XDG_RUNTIME_DIR; exec \"$0\" /s 2>\"$1\"", KELVANE_SAVER_PATH, errors.string()},
            {"KELVANE_DISPLAY=headless", "KELVANE_CLOCK=virtual", "KELVANE_DEBUG=" + debug, "KELVANE_SCRIPT=" + script.string()});
        EXPECT_EQ(saver.wait(30000), 0);
        std::ifstream in(errors);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(run("0"), "");
    EXPECT_NE(run("1").find("Qt: "), std::string::npos);  // Qt's notes become traces
}

TEST(RunModeTest, AMistakeInTheHarnessVariablesIsReported) {
    TempRoot root;
    auto saver = StartSaver(root, {{"/s"}, "", {"KELVANE_DISPLAY=headless:huge"}});
    EXPECT_EQ(saver->wait(20000), 2);
    auto scripted = StartSaver(root, {{"/s"}, "at soon quit\n", {"KELVANE_DISPLAY=headless"}});
    EXPECT_EQ(scripted->wait(20000), 2);
}

TEST(RunModeTest, WithoutADisplayItSaysSoAndEnds) {
    TempRoot root;
    const auto run = [&](const std::string& display, const std::string& mode) {
        const auto errors = root.path() / "stderr";
        testing_support::ChildProcess saver(
            "/bin/sh", {"-c", "unset WAYLAND_DISPLAY KELVANE_DISPLAY; " + display + " exec \"$0\" $1 2>\"$2\"",
                        KELVANE_SAVER_PATH, mode, errors.string()});
        const int status = saver.wait(20000);
        if (status == -1) saver.kill(SIGKILL);
        std::ifstream in(errors);
        return std::pair{status, std::string(std::istreambuf_iterator<char>(in), {})};
    };
    for (const char* mode : {"/s", ""}) {
        const auto [status, errors] = run("unset DISPLAY;", mode);
        EXPECT_EQ(status, 2) << "mode '" << mode << "'";
        EXPECT_NE(errors.find("cannot open display"), std::string::npos) << errors;
    }
    const auto [status, errors] = run("export DISPLAY=:97;", "/s");  // no server there
    EXPECT_EQ(status, 2);
    EXPECT_NE(errors.find("cannot open display :97"), std::string::npos) << errors;
}

TEST(RunModeTest, APictureIsWipedInOntoItsRectangleAndTheMarqueeRunsBelow) {
    TempRoot root;
    // A picture of known colours: red above, green below.
    picture_writers::TruePicture picture{320, 240, {}};
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) picture.pixels.push_back(y < 120 ? picture_writers::Rgb{200, 30, 30}
                                                                       : picture_writers::Rgb{30, 200, 30});
    std::filesystem::create_directories(root.path() / "data" / "images");
    picture_writers::WriteFile(root.path() / "data" / "images" / "Harbour.BMP", picture_writers::BmpFile(picture));
    StoreSetting("BackColor", 0x00402010);  // blue 0x40, green 0x20, red 0x10
    StoreSetting("ImageStretchOption", 1);  // the picture's own size
    StoreSetting("Movement", 2);            // standing still
    StoreSetting("EnableTransitionEffect", 1);
    StoreSetting("AutoTransitionEffect", 0);
    StoreSetting("CurrentTransitionEffect", 1);  // "Wipe Down"
    StoreSetting("ShowTicker", 1);
    StoreString("CamList", "Harbour|http://127.0.0.1:9/h.bmp|??:??|Unknown|BMP|1|||0|");
    StoreString("CurrentCam", "Harbour");
    const auto during = root.path() / "during.png", after = root.path() / "after.png", state = root.path() / "state";
    auto saver = StartSaver(root, {{"/s"},
                                   "at 500 screenshot " + during.string() + "\nat 8000 screenshot " + after.string() +
                                       "\nat 8000 state " + state.string() + "\nat 8100 quit\n",
                                   kHeadless});
    ASSERT_EQ(saver->wait(30000), 0);

    auto values = ReadState(state);
    int left = 0, top = 0;
    std::istringstream(values["picture position"]) >> left >> top;
    EXPECT_EQ(values["picture size"], "320 240");
    EXPECT_EQ(left, 160);
    EXPECT_GT(top, 0);
    const std::uint32_t background = 0x102040, red = 0xC81E1E, green = 0x1EC81E;
    platform::Surface screen;
    ASSERT_TRUE(platform::ReadPng(after, screen));
    EXPECT_EQ(screen.pixel(left, top), red);
    EXPECT_EQ(screen.pixel(left + 319, top + 119), red);
    EXPECT_EQ(screen.pixel(left, top + 120), green);
    EXPECT_EQ(screen.pixel(left + 319, top + 239), green);
    for (auto [x, y] : {std::pair{left - 1, top}, {left, top - 1}, {left + 320, top + 239}, {left + 319, top + 240}})
        EXPECT_EQ(screen.pixel(x, y), background) << x << "," << y;
    // The marquee's text along the bottom, in its colour on the background.
    int ink = 0;
    for (int y = 370; y < 400; ++y)
        for (int x = 0; x < 640; ++x) ink += screen.pixel(x, y) != background;
    EXPECT_GT(ink, 100);

    // Half-way through the wipe the top rows show the picture and the rest the background.
    ASSERT_TRUE(platform::ReadPng(during, screen));
    int shown = 0;
    while (shown < 240 && screen.pixel(left + 160, top + shown) != background) ++shown;
    EXPECT_GT(shown, 8);
    EXPECT_LT(shown, 232);
    for (int y = shown; y < 240; ++y) ASSERT_EQ(screen.pixel(left + 160, top + y), background) << "row " << y;
}

namespace {

// A still picture stretched to fit on magenta, no marquee, revealed by "Cave In" (from the middle
// out, 241 ticks or 3.77 s at any size).
void StoreStillPictureRevealedByCaveIn() {
    StoreSetting("BackColor", 0x00FF00FF);
    StoreSetting("ImageStretchOption", 0);
    StoreSetting("Movement", 2);
    StoreSetting("ShowTicker", 0);
    StoreSetting("EnableTransitionEffect", 1);
    StoreSetting("AutoTransitionEffect", 0);
    StoreSetting("CurrentTransitionEffect", 5);
}

}  // namespace

TEST(RunModeTest, OnA4kScreenTheFirstPictureIsWholeWithinItsRevealTime) {
    // Cave In over a 3840x2160 screen takes as long as over 640x480 (241 ticks, 3.77 s), and the
    // new window, showing nothing yet, is not erased step by step first.
    TempRoot root;
    StoreStillPictureRevealedByCaveIn();
    const auto shot = root.path() / "shot.png";
    auto saver = StartSaver(root, {{"/s"}, "at 4100 screenshot " + shot.string() + "\nat 4200 quit\n",
                                   {"KELVANE_DISPLAY=headless:3840x2160", "KELVANE_CLOCK=virtual"}});
    ASSERT_EQ(saver->wait(60000), 0);
    platform::Surface screen;
    ASSERT_TRUE(platform::ReadPng(shot, screen));
    // The card keeps its 4:3 shape: 2880 pixels wide in the middle, the full height.
    for (auto [x, y] : {std::pair{1920, 2}, {1920, 2157}, {490, 1080}, {3349, 1080}, {1920, 1080}, {600, 100}})
        EXPECT_NE(screen.pixel(x, y), 0xFF00FFu) << x << "," << y;
    EXPECT_EQ(screen.pixel(470, 1080), 0xFF00FFu);
}

TEST(RunModeTest, PngAndWebpSourcesAreShownWithTheBackgroundThroughTheirTransparentPart) {
    picture_writers::TruePicture picture{200, 100, std::vector<picture_writers::Rgb>(200 * 100, {200, 30, 30})};
    std::vector<std::uint8_t> alphas;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) alphas.push_back(x < 100 ? 255 : 0);
    const std::pair<const char*, std::string> kinds[] = {{"PNG", picture_writers::PngFile(picture, alphas)},
                                                         {"WEBP", picture_writers::WebpFile(picture, alphas)}};
    for (const auto& [type, file] : kinds) {
        TempRoot root;
        std::filesystem::create_directories(root.path() / "data" / "images");
        picture_writers::WriteFile(root.path() / "data" / "images" / (std::string("Harbour.") + type), file);
        StoreString("CamList", std::string("Harbour|http://127.0.0.1:9/h|??:??|Unknown|") + type + "|1|||0|");
        StoreString("CurrentCam", "Harbour");
        StoreSetting("BackColor", 0x00402010);
        StoreSetting("ImageStretchOption", 1);
        StoreSetting("Movement", 2);
        const auto shot = root.path() / "shot.png";
        auto saver = StartSaver(root, {{"/s"}, "at 500 screenshot " + shot.string() + "\nat 600 quit\n", kHeadless});
        ASSERT_EQ(saver->wait(30000), 0) << type;
        platform::Surface screen;
        ASSERT_TRUE(platform::ReadPng(shot, screen)) << type;
        // 200 x 100 in the middle of the 640 x 400 screen, less the marquee's strip.
        int red = 0, background = 0;
        for (int x = 0; x < 640; ++x) {
            red += screen.pixel(x, 180) == 0xC81E1Eu;
            background += screen.pixel(x, 180) == 0x102040u;
        }
        EXPECT_EQ(red, 100) << type;
        EXPECT_EQ(background, 540) << type;
    }
}

TEST(RunModeTest, TheCardStandingInForAPictureNotFetchedYetShowsAtOnce) {
    // A source never fetched: the card shows whole at once instead of being revealed over seconds
    // (and taken away just as slowly) while its picture comes.
    TempRoot root;
    StoreString("CamList", "Harbour|http://127.0.0.1:9/h.jpg|??:??|Unknown|???|1|||0|");
    StoreString("CurrentCam", "Harbour");
    StoreStillPictureRevealedByCaveIn();
    const auto shot = root.path() / "shot.png";
    auto saver = StartSaver(root, {{"/s"}, "at 500 screenshot " + shot.string() + "\nat 600 quit\n", kHeadless});
    ASSERT_EQ(saver->wait(60000), 0);
    platform::Surface screen;
    ASSERT_TRUE(platform::ReadPng(shot, screen));
    // The 4:3 card fills the height: its corners are drawn already.
    for (auto [x, y] : {std::pair{320, 200}, {100, 5}, {540, 394}}) EXPECT_NE(screen.pixel(x, y), 0xFF00FFu) << x << "," << y;
}

TEST(RunModeTest, VideoSourcesAreFetchedAsTheirFirstFramesAndShown) {
    TempRoot root;
    picture_server::PictureServer server;
    server.serveFilesFrom(testing_support::VideoClipsFolder().string());
    testing_support::RtspServer camera("h265.mkv");
    ASSERT_TRUE(camera.running());
    StoreString("CamList", "Harbour|" + camera.url() + "|??:??|Unknown|???|1|||0|Quay|" +
                               server.url("/files/live.m3u8") + "|??:??|Unknown|???|1|||0|");
    StoreString("CurrentCam", "Harbour");
    StoreSetting("ImageStretchOption", 1);
    StoreSetting("Movement", 2);
    // The saver fetches both (on the real clock: the fetches are real) and stores what came.
    auto fetching = StartSaver(root, {{"/s"}, "", {"KELVANE_DISPLAY=headless:640x400", "KELVANE_ONLINE=1"}});
    const bool stored = testing_support::Eventually(
        [&] {
            const std::string list = ReadString("CamList");
            return list.find("Harbour|" + camera.url() + "|") != std::string::npos &&
                   list.find("|Success|JPG|", list.find("Harbour|")) < list.find("Quay|") &&
                   list.find("|Success|JPG|", list.find("Quay|")) != std::string::npos;
        },
        std::chrono::seconds(60), std::chrono::milliseconds(100));
    fetching->kill(SIGTERM);
    fetching->wait(30000);
    ASSERT_TRUE(stored) << ReadString("CamList");
    // Shown as any picture: the camera's red first frame fills the middle of the screen.
    const auto shot = root.path() / "shot.png";
    auto showing = StartSaver(root, {{"/s"}, "at 500 screenshot " + shot.string() + "\nat 600 quit\n",
                                     {"KELVANE_DISPLAY=headless:640x400", "KELVANE_CLOCK=virtual", "KELVANE_ONLINE=0"}});
    ASSERT_EQ(showing->wait(30000), 0);
    platform::Surface screen;
    ASSERT_TRUE(platform::ReadPng(shot, screen));
    const std::uint32_t middle = screen.pixel(320, 180);
    EXPECT_TRUE(testing_support::NearColour({int(middle >> 16 & 255), int(middle >> 8 & 255), int(middle & 255)}, {255, 0, 0}))
        << std::hex << middle;
}
