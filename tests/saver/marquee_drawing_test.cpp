#include <gtest/gtest.h>

#include <mutex>

#include "dde.h"
#include "local_time.h"
#include "saver_window_fixture.h"

using namespace platform;

using namespace saver;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);

// The marquee on a 1024 x 768 screen with every segment off; each test switches on its own.
class MarqueeDrawingTest : public SaverWindowTest {
protected:
    MarqueeDrawingTest() {
        screenWidth_ = 1024;
        screenHeight_ = 768;
    }
    void SetUp() override {
        SaverWindowTest::SetUp();
        set("ShowTicker", 1);
        for (const char* segment : {"ShowDate", "ShowTime", "ShowFileName", "UsePath", "UseExtension",
                                    "ShowGetRight", "ShowElapsedTime", "ShowPersonalMessage"})
            set(segment, 0);
        set("UseMovement", 0);
        set("Movement", 2);
        set("BackColor", 0);
        set("FontColor", int(RGB(255, 255, 0)));
    }

    // The strip's pixels, row by row.
    std::vector<std::vector<COLORREF>> strip() {
        const int top = screenHeight_ - window_->stripHeight();
        WindowDC dc(window_->hwnd());
        std::vector<std::vector<COLORREF>> rows;
        for (int y = top; y < screenHeight_; ++y) {
            rows.emplace_back();
            for (int x = 0; x < screenWidth_; ++x) rows.back().push_back(GetPixel(dc, x, y));
        }
        return rows;
    }

    // The first and last columns holding anything but the given colour, or {-1, -1}.
    static std::pair<int, int> InkColumns(const std::vector<std::vector<COLORREF>>& rows, COLORREF background = 0) {
        int first = -1, last = -1;
        for (const auto& row : rows)
            for (int x = 0; x < int(row.size()); ++x)
                if (row[size_t(x)] != background) {
                    if (first < 0 || x < first) first = x;
                    last = std::max(last, x);
                }
        return {first, last};
    }

    // One scroll step must move everything one pixel to the left: nothing jumps.
    void expectOnePixelShift() {
        const auto before = strip();
        window_->StepMarquee(false, false);
        const auto after = strip();
        for (size_t y = 0; y < before.size(); ++y)
            for (int x = 0; x + 1 < screenWidth_ - 1; ++x)
                ASSERT_EQ(after[y][size_t(x)], before[y][size_t(x) + 1])
                    << "row " << y << " column " << x << " at scroll position " << window_->marqueeX();
    }

    void stepUntil(int x) {
        for (int guard = 0; window_->marqueeX() != x && guard < 100000; ++guard) window_->StepMarquee(false, false);
        ASSERT_EQ(window_->marqueeX(), x);
    }

    void paintStrip(COLORREF colour) {
        WindowDC dc(window_->hwnd());
        UniqueBrush brush(CreateSolidBrush(colour));
        RECT rect{0, screenHeight_ - window_->stripHeight(), screenWidth_, screenHeight_};
        FillRect(dc, &rect, brush.get());
    }

    static std::time_t Local(int hour, int minute, int second) {
        return testing_support::LocalTime(2026, 12, 8, hour, minute, second);
    }
};

}  // namespace

TEST_F(MarqueeDrawingTest, AShortTextScrollsAndWrapsWithoutAJump) {
    set("ShowPersonalMessage", 1);
    set("PersonalMessage", std::string("Kelvane"));
    SaverWnd& window = start();
    EXPECT_EQ(window.marqueeText(), "Kelvane " + std::string(10, ' '));
    EXPECT_EQ(window.marqueeX(), 340);  // the first step: a third of the width, less one
    const auto first = strip();
    const auto [left, right] = InkColumns(first);
    EXPECT_GE(left, 340);
    EXPECT_LT(right, 340 + int(window.marqueeText().size()) * 8 + 40);
    EXPECT_GT(right, left);
    EXPECT_EQ(window.pictureArea().bottom, 768 - window.stripHeight());

    stepUntil(0);
    expectOnePixelShift();  // X = -1: the second copy enters at the right edge
    for (int i = 0; i < 30; ++i) window.StepMarquee(false, false);
    const auto entering = strip();  // the second copy's first 31 columns at the right edge
    for (size_t y = 0; y < first.size(); ++y)
        for (int x = 0; x < 31; ++x) ASSERT_EQ(entering[y][size_t(1024 - 31 + x)], first[y][size_t(340 + x)]);

    // The wrap: the first copy has left, X continues from the second copy's place.
    const int textWidth = window.marqueeTextWidth();
    stepUntil(-textWidth);
    expectOnePixelShift();
    EXPECT_EQ(window.marqueeX(), 1024 - textWidth - 1);
}

TEST_F(MarqueeDrawingTest, ALongTextIsFollowedByItsNextCopyAfterAGap) {
    set("ShowPersonalMessage", 1);
    std::string message;
    for (int i = 0; i < 8; ++i) message += "Pictures from around the world. ";
    set("PersonalMessage", message);
    SaverWnd& window = start();
    const int textWidth = window.marqueeTextWidth();
    ASSERT_GT(textWidth, 1024);
    const int gap = 15 * textWidth / int(window.marqueeText().size());
    stepUntil(-textWidth);
    // Only the next copy, after the gap of fifteen characters, is in the strip.
    const auto [left, right] = InkColumns(strip());
    EXPECT_GE(left, gap);
    EXPECT_EQ(right, 1023);
    expectOnePixelShift();
    EXPECT_EQ(window.marqueeX(), gap - 1);
}

TEST_F(MarqueeDrawingTest, AccentedLettersCountAsOneCharacterEach) {
    set("ShowPersonalMessage", 1);
    set("PersonalMessage", std::string("Cafe creme brulee"));
    const int plain = start().marqueeTextWidth();
    DestroyWindow(window_->hwnd());
    set("PersonalMessage", std::string("Caf\u00e9 cr\u00e8me br\u00fbl\u00e9e"));  // four letters of two bytes
    EXPECT_EQ(start().marqueeTextWidth(), plain);
}

TEST_F(MarqueeDrawingTest, AStillTextSitsCentredAndIsRedrawnOnlyWhenItChanges) {
    set("UseMovement", 1);
    set("ShowTime", 1);
    set("TimeFormat", 3);
    Clock::instance().setVirtualCalendar(Local(13, 30, 5));
    SaverWnd& window = start();
    EXPECT_EQ(window.marqueeText(), "13:30:05 ");
    const auto [left, right] = InkColumns(strip());
    EXPECT_NEAR((left + right) / 2, 512, 12);

    paintStrip(kRed);
    window.StepMarquee(false, true);  // the same text: not drawn again
    EXPECT_EQ(InkColumns(strip(), kRed), (std::pair<int, int>{-1, -1}));
    Clock::instance().setVirtualCalendar(Local(13, 30, 6));
    window.StepMarquee(false, true);
    EXPECT_EQ(window.marqueeText(), "13:30:06 ");
    EXPECT_NE(InkColumns(strip(), kRed).first, -1);

    paintStrip(kRed);
    window.StepMarquee(true, false);  // forced, as a new picture does
    EXPECT_NE(InkColumns(strip(), kRed).first, -1);
}

TEST_F(MarqueeDrawingTest, TheStripIsClearedWhenTheTextGrows) {
    set("ShowTime", 1);
    set("TimeFormat", 0);
    Clock::instance().setVirtualCalendar(Local(9, 59, 58));
    SaverWnd& window = start();
    EXPECT_EQ(window.marqueeText(), "9:59 AM " + std::string(10, ' '));
    paintStrip(kRed);
    window.StepMarquee(false, true);
    WindowDC dc(window.hwnd());
    const int y = 768 - window.stripHeight() / 2;
    EXPECT_EQ(GetPixel(dc, 1000, y), kRed);  // only the text's own cells were drawn
    Clock::instance().setVirtualCalendar(Local(10, 0, 0));
    window.StepMarquee(false, true);
    EXPECT_EQ(window.marqueeText(), "10:00 AM " + std::string(10, ' '));
    EXPECT_EQ(GetPixel(dc, 1000, y), RGB(0, 0, 0));
}

TEST_F(MarqueeDrawingTest, APreviewShowsNoMarquee) {
    set("ShowPersonalMessage", 1);
    set("PersonalMessage", std::string("Kelvane"));
    SaverWnd& window = start(RECT{0, 0, 200, 150});
    EXPECT_TRUE(window.isPreview());
    EXPECT_EQ(window.stripHeight(), 0);
    EXPECT_EQ(window.pictureArea().bottom, 150);
    const DWORD until = GetTickCount() + 500;
    testing_support::PumpUntil(window.hwnd(), [&] { return GetTickCount() >= until; });
    window.StepMarquee(true, true);
    EXPECT_EQ(window.marqueeText(), "");
    EXPECT_EQ(InkColumns(strip()), (std::pair<int, int>{-1, -1}));
}

TEST_F(MarqueeDrawingTest, TheDownloadManagerIsAskedEveryThirtyFirstTick) {
    std::mutex mutex;
    int conversations = 0;
    DdeServer peer("GetRight", {"DownloadInfo"}, [&](const std::string&, const std::string& item) {
        std::lock_guard lock(mutex);
        if (item == "1") ++conversations;
        if (item == "1") return std::optional<std::string>("A|x|B|");
        if (item == "2") return std::optional<std::string>("C|y|D|");
        return std::optional<std::string>();
    });
    set("ShowGetRight", 1);
    SaverWnd& window = start();
    EXPECT_EQ(window.marqueeText(), " " + std::string(10, ' '));  // nothing asked yet
    const DWORD start = GetTickCount();
    ASSERT_TRUE(testing_support::PumpUntil(window.hwnd(), [&] {
        return window.marqueeText() == "GetRight: A B / C D " + std::string(10, ' ');
    }));
    const DWORD firstAnswer = GetTickCount() - start;
    EXPECT_GE(firstAnswer, 31u * 50u - 50u);
    EXPECT_LE(firstAnswer, 31u * 50u + 200u);
    const DWORD later = GetTickCount() + 2325;  // half-way between the next poll and the one after
    testing_support::PumpUntil(window.hwnd(), [&] { return GetTickCount() >= later; });
    std::lock_guard lock(mutex);
    EXPECT_EQ(conversations, 2);
}
