#include <gtest/gtest.h>

#include <chrono>

#include "saver_process.h"
#include "surface.h"

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
    for (int i = 0; i < 200 && !std::filesystem::exists(root.path() / "run"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto started = std::chrono::steady_clock::now();
    auto second = StartSaver(root, {{"-S"}, "at 5000 state " + state.string() + "\n", realClock});
    EXPECT_EQ(second->wait(4000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
    EXPECT_FALSE(std::filesystem::exists(state));  // it never ran its loop
    EXPECT_EQ(first->wait(0), -1);                  // the first still runs
    first->kill(SIGTERM);
}

TEST(RunModeTest, AMistakeInTheHarnessVariablesIsReported) {
    TempRoot root;
    auto saver = StartSaver(root, {{"/s"}, "", {"KELVANE_DISPLAY=headless:huge"}});
    EXPECT_EQ(saver->wait(20000), 2);
    auto scripted = StartSaver(root, {{"/s"}, "at soon quit\n", {"KELVANE_DISPLAY=headless"}});
    EXPECT_EQ(scripted->wait(20000), 2);
}
