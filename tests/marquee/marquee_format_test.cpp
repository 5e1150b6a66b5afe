#include <gtest/gtest.h>

#include "local_time.h"
#include "marquee_format.h"

using namespace marquee;

using testing_support::LocalTime;

namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second) {
    return testing_support::LocalCalendar(year, month, day, hour, minute, second);
}

}  // namespace

TEST(MarqueeFormatTest, DatesDropLeadingZerosAndUseEnglishNames) {
    const std::tm day = At(1997, 11, 4, 13, 30, 55);  // a Tuesday
    EXPECT_EQ(FormatMarqueeDate(0, day), "Nov.4,1997");
    EXPECT_EQ(FormatMarqueeDate(1, day), "November 4, 1997");
    EXPECT_EQ(FormatMarqueeDate(2, day), "Tuesday, November 4, 1997");
    EXPECT_EQ(FormatMarqueeDate(3, day), "Tue. Nov.4,1997");
    EXPECT_EQ(FormatMarqueeDate(4, day), "11/4/97");
    EXPECT_EQ(FormatMarqueeDate(5, day), "Tue 11/4/97");
    EXPECT_EQ(FormatMarqueeDate(4, At(2005, 3, 9, 0, 0, 0)), "3/9/05");  // the year keeps its zero
    EXPECT_EQ(FormatMarqueeDate(6, day), "");
    EXPECT_EQ(FormatMarqueeDate(-1, day), "");
}

TEST(MarqueeFormatTest, TimesInTwelveAndTwentyFourHours) {
    const std::tm morning = At(2026, 12, 8, 9, 5, 7);
    EXPECT_EQ(FormatMarqueeTime(0, morning), "9:05 AM");
    EXPECT_EQ(FormatMarqueeTime(1, morning), "09:05");
    EXPECT_EQ(FormatMarqueeTime(2, morning), "9:05:07 AM");
    EXPECT_EQ(FormatMarqueeTime(3, morning), "09:05:07");
    EXPECT_EQ(FormatMarqueeTime(0, At(2026, 12, 8, 13, 30, 0)), "1:30 PM");
    EXPECT_EQ(FormatMarqueeTime(0, At(2026, 12, 8, 0, 0, 0)), "12:00 AM");
    EXPECT_EQ(FormatMarqueeTime(0, At(2026, 12, 8, 12, 0, 0)), "12:00 PM");
    EXPECT_EQ(FormatMarqueeTime(4, morning), "");
}

TEST(MarqueeFormatTest, SpansShowEachUnitOnceReached) {
    EXPECT_EQ(FormatElapsedTime(1000, 1000 + 3600), "Gone for: 01h00m00s");
    EXPECT_EQ(FormatElapsedTime(1000, 1000 + 59), "Gone for: 59s");
    EXPECT_EQ(FormatElapsedTime(1000, 1000 + 4), "Gone for: 04s");
    EXPECT_EQ(FormatElapsedTime(1000, 1000 + 75), "Gone for: 01m15s");
    EXPECT_EQ(FormatElapsedTime(1000, 1000 + 86405), "Gone for: 1d00h00m05s");
    EXPECT_EQ(FormatTimeSpan("%D days %H:%M:%S %x", 3 * 86400 + 7322), "3 days 02:02:02 %x");  // others copied
}

TEST(MarqueeFormatTest, TheCountdownEndsWithTheMillennium) {
    const std::time_t midnight = LocalTime(2000, 1, 1, 0, 0, 0);
    EXPECT_EQ(FormatMillenniumCountdown(midnight), "Millennium Countdown: 00s");
    EXPECT_EQ(FormatMillenniumCountdown(midnight - 60), "Millennium Countdown: 01m:00s");
    EXPECT_EQ(FormatMillenniumCountdown(midnight - 86400 - 3661), "Millennium Countdown: 1d:01h:01m:01s");
    EXPECT_EQ(FormatMillenniumCountdown(midnight + 1), "The New Millennium is here! Don't wait for the next! :-)");
    EXPECT_EQ(FormatMillenniumCountdown(LocalTime(2026, 12, 8, 12, 0, 0)),
              "The New Millennium is here! Don't wait for the next! :-)");
}

TEST(MarqueeFormatTest, DownloadItemsShowTheirFirstAndThirdFields) {
    EXPECT_EQ(FormatGetRightItem("no bars", true), " ");
    EXPECT_EQ(FormatGetRightItem("a|b|", true), "a ");
    EXPECT_EQ(FormatGetRightItem("a|b|c|d|e", true), "a c");
    EXPECT_EQ(FormatGetRightItem("C|x|D|", false), " / C D");
    EXPECT_EQ(FormatGetRightItem("", false), " /  ");
}
