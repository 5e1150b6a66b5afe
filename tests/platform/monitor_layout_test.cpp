#include <gtest/gtest.h>

#include "monitor_layout.h"

using platform::MonitorLayout;
using platform::RECT;
using platform::ScreenReport;

namespace {

std::vector<std::array<int, 4>> Rects(const std::vector<RECT>& rects) {
    std::vector<std::array<int, 4>> out;
    for (const RECT& r : rects) out.push_back({r.left, r.top, r.right, r.bottom});
    return out;
}

}  // namespace

TEST(MonitorLayoutTest, ScaledScreensKeepTheirCornersApart) {
    // What Qt reports for a 1024x768 monitor and an 800x600 primary on its right at a scale of 2:
    // the corners stay in device pixels, the sizes are halved.
    const MonitorLayout scaled({{QRect(1024, 0, 400, 300), 2.0, 0, true}, {QRect(0, 0, 512, 384), 2.0, 0, false}}, {});
    EXPECT_EQ(Rects(scaled.monitors()), (std::vector<std::array<int, 4>>{{0, 0, 800, 600}, {-1024, 0, 0, 768}}));
    const auto left = scaled.place(RECT{-1024, 0, 0, 768});
    EXPECT_EQ(left.screen, 1);
    EXPECT_EQ(left.geometry, QRect(0, 0, 512, 384));
    EXPECT_EQ(scaled.place(RECT{0, 0, 800, 600}).geometry, QRect(1024, 0, 400, 300));
    EXPECT_EQ(scaled.fromQt(QPoint(256, 192)).x, -512);
    EXPECT_EQ(scaled.toQt(platform::POINT{-512, 384}), QPoint(256, 192));

    // Mixed: a 2560x1440 monitor at a ratio of 2 beside a 1920x1080 primary at 1.
    const MonitorLayout mixed({{QRect(0, 0, 1920, 1080), 1.0, 0, true}, {QRect(1920, 0, 1280, 720), 2.0, 0, false}}, {});
    EXPECT_EQ(Rects(mixed.monitors()), (std::vector<std::array<int, 4>>{{0, 0, 1920, 1080}, {1920, 0, 4480, 1440}}));
    EXPECT_EQ(mixed.place(RECT{1920, 0, 4480, 1440}).geometry, QRect(1920, 0, 1280, 720));
    EXPECT_EQ(mixed.fromQt(QPoint(1920 + 640, 360)).x, 1920 + 1280);

    // Wayland gives corners in layout units: a 2560x1440 primary at 2 with a 1920x1080 monitor at
    // 1 on its right (at 1280 in those units) would overlap it in device pixels.
    const MonitorLayout wayland(
        {{QRect(0, 0, 1280, 720), 2.0, 0, true, true}, {QRect(1280, 0, 1920, 1080), 1.0, 0, false, true}}, {});
    EXPECT_EQ(Rects(wayland.monitors()), (std::vector<std::array<int, 4>>{{0, 0, 2560, 1440}, {2560, 0, 4480, 1080}}));
    const auto right = wayland.place(RECT{2560, 0, 4480, 1080});
    EXPECT_EQ(right.screen, 1) << "the right monitor's window goes to its own screen";
    EXPECT_EQ(right.geometry, QRect(1280, 0, 1920, 1080));
    EXPECT_EQ(wayland.place(RECT{0, 0, 2560, 1440}).geometry, QRect(0, 0, 1280, 720));
    EXPECT_EQ(wayland.toQt(platform::POINT{2560 + 100, 50}), QPoint(1380, 50));
}

TEST(MonitorLayoutTest, OtherXScreensFollowAndXineramaHeadsStandInForOneScreen) {
    // Two X screens, each with its own desktop from (0, 0): the second is laid to the right.
    const MonitorLayout screens({{QRect(0, 0, 640, 480), 1.0, 1, false}, {QRect(0, 0, 800, 600), 1.0, 0, true}}, {});
    EXPECT_EQ(Rects(screens.monitors()), (std::vector<std::array<int, 4>>{{0, 0, 800, 600}, {800, 0, 1440, 480}}));
    const auto second = screens.place(RECT{800, 0, 1440, 480});
    EXPECT_EQ(second.screen, 0);
    EXPECT_EQ(second.geometry, QRect(0, 0, 640, 480));

    // Xinerama: one screen for Qt, two heads; the head where Qt's primary starts comes first.
    const MonitorLayout heads({{QRect(800, 0, 800, 600), 1.0, 0, true}}, {QRect(0, 0, 800, 600), QRect(800, 0, 800, 600)});
    EXPECT_EQ(Rects(heads.monitors()), (std::vector<std::array<int, 4>>{{0, 0, 800, 600}, {-800, 0, 0, 600}}));
    EXPECT_EQ(heads.place(RECT{-800, 0, 0, 600}).geometry, QRect(0, 0, 800, 600));
    // Heads that only repeat Qt's screens change nothing.
    const MonitorLayout same({{QRect(0, 0, 800, 600), 1.0, 0, true}, {QRect(800, 0, 800, 600), 1.0, 0, false}},
                             {QRect(0, 0, 800, 600), QRect(800, 0, 800, 600)});
    EXPECT_EQ(same.monitors().size(), 2u);
}

TEST(MonitorLayoutTest, QtsWholeDesktopStandInForADeletedMonitorIsNoMonitor) {
    // After `xrandr --delmonitor LEFT` Qt may keep LEFT's screen with the whole desktop's size.
    const MonitorLayout afterDeletion(
        {{QRect(1024, 0, 800, 768), 1.0, 0, true}, {QRect(0, 0, 1824, 768), 1.0, 0, false}}, {});
    EXPECT_EQ(Rects(afterDeletion.monitors()), (std::vector<std::array<int, 4>>{{0, 0, 800, 768}}));
    // Two monitors of the same place (a mirrored pair) are both kept.
    const MonitorLayout mirrored({{QRect(0, 0, 800, 600), 1.0, 0, true}, {QRect(0, 0, 800, 600), 1.0, 0, false}}, {});
    EXPECT_EQ(mirrored.monitors().size(), 2u);
}
