#include <gtest/gtest.h>

#include <atomic>

#include "dde.h"
#include "getright_status.h"
#include "local_time.h"
#include "marquee_text.h"
#include "temp_root.h"

using namespace marquee;

namespace {

const std::string kScrollGap(10, ' ');

// Every segment off; each test switches on the ones it looks at.
saver::SaverSettings Quiet(bool scrolling) {
    saver::SaverSettings s;
    s.ShowDate = s.ShowTime = s.ShowFileName = s.UsePath = s.UseExtension = s.ShowStatus = 0;
    s.ShowGetRight = s.ShowElapsedTime = s.ShowMillenniumCountDown = s.ShowPersonalMessage = 0;
    s.UseMovement = scrolling ? 0 : 1;
    return s;
}

MarqueeMoment At(int hour, int minute) {
    MarqueeMoment moment;
    moment.now = testing_support::LocalTime(1997, 11, 4, hour, minute, 0);
    moment.start = moment.now - 75;
    return moment;
}

}  // namespace

TEST(MarqueeTextTest, NothingOnGivesNothingOrTheScrollGap) {
    EXPECT_EQ(ComposeMarqueeText(Quiet(false), At(13, 30)), "");
    EXPECT_EQ(ComposeMarqueeText(Quiet(true), At(13, 30)), kScrollGap);
    saver::SaverSettings s = Quiet(false);
    s.ShowPersonalMessage = 1;
    s.PersonalMessage = "";
    EXPECT_EQ(ComposeMarqueeText(s, At(13, 30)), "");  // an empty message is no segment
}

TEST(MarqueeTextTest, SegmentsJoinInTheirOrderWithSeparators) {
    saver::SaverSettings s = Quiet(true);
    s.ShowTime = 1;
    EXPECT_EQ(ComposeMarqueeText(s, At(13, 30)), "1:30 PM " + kScrollGap);  // no "- " before the first
    s.ShowDate = 1;
    EXPECT_EQ(ComposeMarqueeText(s, At(13, 30)), "Nov.4,1997 - 1:30 PM " + kScrollGap);

    s = Quiet(false);
    s.ShowFileName = s.UsePath = s.UseExtension = s.ShowStatus = s.ShowGetRight = s.ShowElapsedTime = 1;
    s.ShowPersonalMessage = 1;
    s.PersonalMessage = "Hello";
    s.CamList = "Harbour|http://h/p.jpg|09:00 11/04/97|Success|JPG|1|||0|";
    s.CurrentCam = "Harbour";
    MarqueeMoment moment = At(13, 30);
    moment.status = "Status: Online";
    moment.getRightText = "GetRight: A B";
    EXPECT_EQ(ComposeMarqueeText(s, moment),
              "Harbour - Last Update: 09:00 11/04/97 - Last Result: Success - Status: Online - GetRight: A B - "
              "Gone for: 01m15s - Hello ");
    // Segments with nothing in them keep their separators.
    moment.getRightText.clear();
    s.CurrentCam.clear();
    s.UsePath = s.UseExtension = s.ShowStatus = s.ShowElapsedTime = s.ShowPersonalMessage = 0;
    EXPECT_EQ(ComposeMarqueeText(s, moment), " -  ");
}

TEST(MarqueeTextTest, TheDownloadManagersItemsAreListed) {
    testing_support::TempRoot root;
    platform::DWORD instance = 0;
    ASSERT_EQ(platform::DdeInitialize(&instance, nullptr, platform::APPCMD_CLIENTONLY, 0), platform::DMLERR_NO_ERROR);
    EXPECT_EQ(QueryGetRightStatus(instance), "GetRight: No Files");  // not running
    EXPECT_EQ(QueryGetRightStatus(0), "GetRight: No Files");         // no client registered
    {
        platform::DdeServer peer("GetRight", {"DownloadInfo"},
                                 [](const std::string&, const std::string& item) -> std::optional<std::string> {
                                     if (item == "1") return "A|ignored|B|more|";
                                     if (item == "2") return "C|x|D";  // no third bar: D is not shown
                                     return std::nullopt;
                                 });
        EXPECT_EQ(QueryGetRightStatus(instance), "GetRight: A B / C ");
    }
    {
        platform::DdeServer empty("GetRight", {"DownloadInfo"},
                                  [](const std::string&, const std::string&) { return std::optional<std::string>(); });
        EXPECT_EQ(QueryGetRightStatus(instance), "GetRight: No Files");
    }
    {
        std::atomic<int> asked{0};
        platform::DdeServer endless("GetRight", {"DownloadInfo"}, [&](const std::string&, const std::string&) {
            ++asked;
            return std::optional<std::string>("f|x|1%|");
        });
        const std::string text = QueryGetRightStatus(instance);  // must end although every item answers
        EXPECT_EQ(text.rfind("GetRight: f 1%", 0), 0u);
        EXPECT_LE(asked.load(), 256);
    }
    platform::DdeUninitialize(instance);
}
