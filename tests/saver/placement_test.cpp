#include <gtest/gtest.h>

#include "placement.h"

using namespace saver;

namespace {

SizeRules Screen(int option, int stripHeight = 0) {
    SizeRules rules;
    rules.imageStretchOption = option;
    rules.desktopRight = 1024;
    rules.desktopBottom = 768 - stripHeight;
    return rules;
}

}  // namespace

TEST(PlacementTest, TheSizeRulesOfTheThreeOptions) {
    EXPECT_EQ(DisplayedSize(320, 240, Screen(0)), (ShownSize{1024, 768}));
    const ShownSize withStrip = DisplayedSize(320, 240, Screen(0, 20));
    EXPECT_EQ(withStrip, (ShownSize{997, 748}));  // height-limited, 320 x 748 / 240 truncated
    EXPECT_EQ(DisplayedSize(320, 240, Screen(1)), (ShownSize{320, 240}));
    EXPECT_EQ(DisplayedSize(320, 240, Screen(2)), (ShownSize{640, 480}));
    EXPECT_EQ(DisplayedSize(2000, 1000, Screen(1)), (ShownSize{2000, 1000}));
    // Too large for the custom limits: shrunk with its proportions.
    EXPECT_EQ(DisplayedSize(1600, 600, Screen(2)), (ShownSize{640, 240}));
    // Custom limits above the desktop are lowered to it.
    SizeRules large = Screen(2);
    large.maxWidth = 5000;
    large.maxHeight = 5000;
    EXPECT_EQ(DisplayedSize(100, 100, large), (ShownSize{768, 768}));
    // No stretching: small pictures keep their size.
    SizeRules keep = Screen(2);
    keep.imageStretchOption = 3;
    keep.stretch = 0;
    EXPECT_EQ(DisplayedSize(100, 50, keep), (ShownSize{100, 50}));
    // A preview scales by its height against the desktop's.
    SizeRules preview = Screen(1);
    preview.preview = true;
    preview.clientHeight = 96;
    preview.desktopHeight = 768;
    EXPECT_EQ(DisplayedSize(320, 240, preview), (ShownSize{40, 30}));
}

TEST(PlacementTest, StartAndQualityDecision) {
    EXPECT_EQ(StartPosition(RECT{0, 0, 1024, 748}, {997, 748}), (POINT{14, 0}));
    EXPECT_EQ(StartPosition(RECT{0, 0, 1024, 768}, {2000, 1000}), (POINT{-488, -116}));
    EXPECT_TRUE(UsesQualityStretch(24, 1, 32, {997, 748}, 320, 240));
    EXPECT_FALSE(UsesQualityStretch(8, 1, 32, {997, 748}, 320, 240));   // GIFs never
    EXPECT_FALSE(UsesQualityStretch(24, 0, 32, {997, 748}, 320, 240));  // not selected
    EXPECT_FALSE(UsesQualityStretch(24, 1, 8, {997, 748}, 320, 240));   // palette display
    EXPECT_FALSE(UsesQualityStretch(24, 1, 32, {320, 240}, 320, 240));  // own size
}

TEST(PlacementTest, AnOversizedPicturePansFromEdgeToEdge) {
    const RECT area{0, 0, 1024, 768};
    FloatMotion motion{StartPosition(area, {2000, 1000}), 1, 1};
    int lowest = motion.position.x, highest = motion.position.x;
    for (int tick = 0; tick < 5000; ++tick) {
        FloatStep(motion, {2000, 1000}, area);
        lowest = std::min<int>(lowest, motion.position.x);
        highest = std::max<int>(highest, motion.position.x);
    }
    EXPECT_EQ(lowest, -976);
    EXPECT_EQ(highest, 0);
}

TEST(PlacementTest, FloatBouncesAndAFullWidthPictureStays) {
    const RECT area{0, 0, 100, 80};
    FloatMotion motion{{88, 10}, 1, -1};
    FloatStep(motion, {10, 10}, area);
    EXPECT_EQ(motion.position, (POINT{89, 9}));
    FloatStep(motion, {10, 10}, area);
    EXPECT_EQ(motion.position, (POINT{90, 8}));
    EXPECT_EQ(motion.dx, -1);  // touched the right edge
    FloatMotion wide{{0, 10}, 1, 1};
    FloatStep(wide, {100, 10}, area);
    EXPECT_EQ(wide.position.x, 0);
    EXPECT_EQ(wide.dx, 1);  // both bounce tests fired
    EXPECT_EQ(RandomPosition(32767, 0, {10, 10}, RECT{0, 20, 100, 80}), (POINT{90, 20}));
}

TEST(PlacementTest, TheStripsAMoveUncovers) {
    const RECT area{0, 0, 200, 100};
    // Right and down by one: the left column and the top row of the old place.
    auto strips = UncoveredStrips({10, 10}, {11, 11}, {20, 20}, area);
    ASSERT_EQ(strips.size(), 2u);
    EXPECT_EQ(strips[0], (RECT{10, 10, 11, 31}));
    EXPECT_EQ(strips[1], (RECT{11, 10, 30, 11}));
    // Left and up: the right column and the bottom row.
    strips = UncoveredStrips({10, 10}, {9, 9}, {20, 20}, area);
    ASSERT_EQ(strips.size(), 2u);
    EXPECT_EQ(strips[0], (RECT{29, 10, 30, 31}));
    EXPECT_EQ(strips[1], (RECT{10, 29, 29, 31}));
}

TEST(PlacementTest, AtFullSpeedTheMovementIsDrawnOnceAFrameAndKeepsItsSpeed) {
    MovePace sixtyHertz(0, 60);
    EXPECT_EQ(sixtyHertz.timerPeriodMs(), 16u);
    int steps = 0;
    for (std::uint64_t now = 0; now <= 1'000'000; now += 16'000) steps += sixtyHertz.stepsAt(now);
    EXPECT_EQ(steps, 100);  // a step each 10 ms, as when every step was drawn
    // After a pause (timers wait while an effect runs) the picture does not leap ahead.
    EXPECT_EQ(sixtyHertz.stepsAt(4'000'000), 4);
    EXPECT_EQ(sixtyHertz.stepsAt(4'005'000), 0);  // a tick that came early
    // Slower movements, or screens faster than the steps, keep one step a tick.
    MovePace slower(30, 60), fasterScreen(0, 144);
    EXPECT_EQ(slower.timerPeriodMs(), 30u);
    EXPECT_EQ(fasterScreen.timerPeriodMs(), 0u);
    for (MovePace* pace : {&slower, &fasterScreen}) {
        EXPECT_EQ(pace->stepsAt(0), 1);
        EXPECT_EQ(pace->stepsAt(2'000'000), 1);
    }
}
