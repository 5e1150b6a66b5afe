#include <gtest/gtest.h>

#include "clock.h"

using namespace platform;

TEST(ClockTest, TickCountMovesInSixtyFourthsOfASecondAndWrapsAt32Bits) {
    Clock& clock = Clock::instance();
    clock.setVirtual(true);
    clock.setVirtualNow(1'000'000'000);  // 1000 s: a whole number of ticks
    EXPECT_EQ(GetTickCount(), 1'000'000u);
    clock.setVirtualNow(1'000'015'624);
    EXPECT_EQ(GetTickCount(), 1'000'000u);  // still the same tick
    clock.setVirtualNow(1'000'015'625);
    EXPECT_EQ(GetTickCount(), 1'000'015u);  // 15.625 ms, truncated
    clock.setVirtualNow(1'000'031'250);
    EXPECT_EQ(GetTickCount(), 1'000'031u);

    // Past 2^32 ms the count starts again from 0: the first tick after it is 4294967296.875 ms.
    constexpr std::uint64_t kFirstTickAfterWrap = 274877907;
    clock.setVirtualNow(kFirstTickAfterWrap * 15625 - 1);
    EXPECT_EQ(GetTickCount(), 4294967281u);
    clock.setVirtualNow(kFirstTickAfterWrap * 15625);
    EXPECT_EQ(GetTickCount(), 0u);
    clock.setVirtualNow((kFirstTickAfterWrap + 1) * 15625);
    EXPECT_EQ(GetTickCount(), 16u);

    Sleep(1000);
    EXPECT_EQ(GetTickCount(), 1016u);  // sleeping on the virtual clock only moves it
    clock.setVirtual(false);
}

TEST(ClockTest, TickDifferenceWrapsAsTheTimingRulesCountIt) {
    EXPECT_EQ(TickDifference(100, 300), 200u);
    EXPECT_EQ(TickDifference(0xFFFFFF00u, 0x10u), 0x110u);
    EXPECT_EQ(TickDifference(0xFFFFFFFFu, 0u), 1u);
}
