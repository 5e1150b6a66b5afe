#include <gtest/gtest.h>

#include "clock.h"
#include "headless_display.h"
#include "temp_root.h"
#include "transitions.h"
#include "windows.h"

using namespace imaging;
using namespace platform;

namespace {

constexpr COLORREF kPicture = RGB(200, 0, 0);
constexpr COLORREF kBackground = RGB(0, 0, 180);
constexpr COLORREF kBlack = RGB(0, 0, 0);

class TransitionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::instance().setVirtual(true);
        SetDisplay(std::make_unique<HeadlessDisplay>(800, 600));
        testing_support::DrainQueue();
        window_ = CreateWindowEx(0, "T", "t", WS_POPUP | WS_VISIBLE, 0, 0, 200, 150, nullptr, 0, DefWindowProc);
        testing_support::DrainQueue();
        memory_.reset(CreateCompatibleDC(nullptr));
        picture_.reset(CreateCompatibleBitmap(memory_.get(), 200, 150));
        previous_ = SelectObject(memory_.get(), picture_.get());
        fill(memory_.get(), RECT{0, 0, 200, 150}, kPicture);
        view_.window = window_;
        view_.memory = memory_.get();
        view_.areaRight = 200;
        view_.areaBottom = 150;
        view_.width = 200;
        view_.height = 150;
        view_.previousX = 20;
        view_.previousY = 10;
        view_.previousWidth = 120;
        view_.previousHeight = 90;
        view_.background = kBackground;
    }
    void TearDown() override {
        SelectObject(memory_.get(), previous_);
        memory_.reset();
        picture_.reset();
        DestroyWindow(window_);
        testing_support::DrainQueue();
        SetDisplay(nullptr);
        Clock::instance().setVirtual(false);
    }

    static void fill(HDC dc, RECT area, COLORREF color) {
        UniqueBrush brush(CreateSolidBrush(color));
        FillRect(dc, &area, brush.get());
    }
    void paintWindow(COLORREF color) {
        WindowDC dc(window_);
        fill(dc, RECT{0, 0, 200, 150}, color);
    }
    // How many pixels of the rectangle have the colour.
    int count(RECT area, COLORREF color) {
        WindowDC dc(window_);
        int found = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) found += GetPixel(dc, x, y) == color;
        return found;
    }
    static int size(RECT r) { return (r.right - r.left) * (r.bottom - r.top); }

    HWND window_ = nullptr;
    UniqueMemoryDC memory_;
    UniqueBitmap picture_;
    HGDIOBJ previous_ = nullptr;
    TransitionView view_;
};

}  // namespace

TEST_F(TransitionsTest, EveryDrawnEffectRevealsTheWholePictureAndTheRestDrawNothing) {
    const RECT all{0, 0, 200, 150};
    for (int effect = 0; effect <= 12; ++effect) {
        paintWindow(kBlack);
        WindowDC dc(window_);
        RevealPicture(view_, dc, effect);
        EXPECT_FALSE(view_.inProgress);
        if (effect <= kLastDrawnEffect) EXPECT_EQ(count(all, kPicture), size(all)) << "effect " << effect;
        else EXPECT_EQ(count(all, kBlack), size(all)) << "effect " << effect;
    }
}

TEST_F(TransitionsTest, EveryDrawnEffectErasesExactlyThePreviousRectangle) {
    const RECT old{20, 10, 140, 100};
    for (int effect = 0; effect <= 12; ++effect) {
        paintWindow(kPicture);
        EXPECT_EQ(ErasePicture(view_, effect, 0), 1);
        if (effect > kLastDrawnEffect) {
            EXPECT_EQ(count(RECT{0, 0, 200, 150}, kPicture), 200 * 150) << "effect " << effect;
            continue;
        }
        EXPECT_EQ(count(old, kBackground), size(old)) << "effect " << effect;
        EXPECT_EQ(count(RECT{0, 0, 20, 150}, kPicture), 20 * 150) << "effect " << effect;
        EXPECT_EQ(count(RECT{0, 0, 200, 10}, kPicture), 200 * 10) << "effect " << effect;
        EXPECT_EQ(count(RECT{0, 100, 200, 150}, kPicture), 200 * 50) << "effect " << effect;
        EXPECT_EQ(count(RECT{140, 0, 200, 150}, kPicture), 60 * 150) << "effect " << effect;
    }
    // With a strip height: the whole area above it.
    paintWindow(kPicture);
    ErasePicture(view_, 1, 20);
    EXPECT_EQ(count(RECT{0, 0, 200, 130}, kBackground), 200 * 130);
    EXPECT_EQ(count(RECT{0, 130, 200, 150}, kPicture), 200 * 20);
}

TEST_F(TransitionsTest, WipesArePacedByTheTickAndPreviewsDrawAtOnce) {
    WindowDC dc(window_);
    std::uint64_t start = Clock::instance().nowMicros();
    RevealPicture(view_, dc, 1);  // 150 rows, a pause every 4: 37 ticks
    const double seconds = double(Clock::instance().nowMicros() - start) / 1e6;
    EXPECT_NEAR(seconds, 37 * 0.015625, 0.02);
    view_.preview = true;
    start = Clock::instance().nowMicros();
    RevealPicture(view_, dc, 1);
    ErasePicture(view_, 3, 0);
    EXPECT_EQ(Clock::instance().nowMicros(), start);
}

TEST_F(TransitionsTest, ACloseDuringWipeDownStopsItWithinFourRows) {
    paintWindow(kBlack);
    PostMessage(window_, WM_CLOSE, 0, 0);
    {
        WindowDC dc(window_);
        RevealPicture(view_, dc, 1);
    }
    EXPECT_TRUE(view_.abort);
    EXPECT_EQ(count(RECT{0, 0, 200, 150}, kPicture), 200 * 4);
    MSG message;
    ASSERT_TRUE(PeekMessage(&message, window_, 0, 0, PM_NOREMOVE));  // put back for the window
    EXPECT_EQ(message.message, UINT(WM_CLOSE));
    // Once aborted: reveals draw nothing, erases fill their rectangle at once.
    paintWindow(kPicture);
    const std::uint64_t start = Clock::instance().nowMicros();
    ErasePicture(view_, 1, 0);
    EXPECT_EQ(count(RECT{20, 10, 140, 100}, kBackground), 120 * 90);
    EXPECT_LT(Clock::instance().nowMicros() - start, 20000u);
}

TEST(EffectNumbersTest, NamesStartsAndTheCycle) {
    EXPECT_EQ(EffectName(1), "Wipe Down");
    EXPECT_EQ(EffectName(7), "Vertical Stripes");
    EXPECT_EQ(EffectName(12), "Large Random Blocks");
    EXPECT_EQ(EffectName(0), "");
    EXPECT_EQ(EffectName(13), "");
    EXPECT_EQ(EffectFromName("cave out"), 6);
    EXPECT_EQ(EffectFromName("Sparkle"), 0);
    EXPECT_EQ(RandomStartEffect(0), 1);
    EXPECT_EQ(RandomStartEffect(32766), 6);
    EXPECT_EQ(RandomStartEffect(32767), 7);
    int effect = 6;
    std::vector<int> cycle;
    for (int i = 0; i < 4; ++i) cycle.push_back(effect = NextEffect(effect, 1));
    EXPECT_EQ(cycle, (std::vector<int>{7, 1, 2, 3}));
    EXPECT_EQ(NextEffect(0, 1), 0);
    EXPECT_EQ(NextEffect(3, 0), 3);
}

TEST_F(TransitionsTest, NothingIsDrawnBelowThePictureArea) {
    // The marquee strip takes the bottom 20 rows: no effect may draw or fill there.
    view_.areaBottom = 130;
    view_.previousHeight = 140;
    for (int effect = 1; effect <= kLastDrawnEffect; ++effect) {
        paintWindow(kBlack);
        WindowDC dc(window_);
        RevealPicture(view_, dc, effect);
        EXPECT_EQ(count(RECT{0, 0, 200, 130}, kPicture), 200 * 130) << "effect " << effect;
        EXPECT_EQ(count(RECT{0, 130, 200, 150}, kBlack), 200 * 20) << "effect " << effect;
        ErasePicture(view_, effect, 0);
        EXPECT_EQ(count(RECT{0, 130, 200, 150}, kBlack), 200 * 20) << "effect " << effect;
    }
}

TEST_F(TransitionsTest, AnotherWindowsDueTimerDoesNotStallThePauses) {
    // A timer of a window the pause does not serve is due all along: the pause must still pass.
    HWND other = CreateWindowEx(0, "T", "other", WS_POPUP, 0, 0, 10, 10, nullptr, 0, DefWindowProc);
    SetTimer(other, 1, 10);
    Sleep(50);
    WindowDC dc(window_);
    const std::uint64_t start = Clock::instance().nowMicros();
    RevealPicture(view_, dc, 1);
    EXPECT_GT(Clock::instance().nowMicros(), start);
    EXPECT_EQ(count(RECT{0, 0, 200, 150}, kPicture), 200 * 150);
    DestroyWindow(other);
}

namespace {

// Stops an effect part-way: a timer of the window asks it to close, which every pause honours.
// Which pixels of the window have the colour.
std::vector<std::vector<bool>> PixelsOf(HWND window, COLORREF colour) {
    WindowDC dc(window);
    std::vector<std::vector<bool>> rows(150, std::vector<bool>(200));
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x) rows[size_t(y)][size_t(x)] = GetPixel(dc, x, y) == colour;
    return rows;
}

// Timer 1 asks the window to close, which every pause honours; timer 2 notes the pixels the
// erase has filled so far and lets it go on (an aborted erase fills the rest at once).
constexpr std::uintptr_t kCloseTimer = 1, kLookTimer = 2;
std::vector<std::vector<bool>> gErasedSoFar;

class TransitionPatternTest : public TransitionsTest {
protected:
    void SetUp() override {
        TransitionsTest::SetUp();
        DestroyWindow(window_);
        window_ = CreateWindowEx(0, "T", "t", WS_POPUP | WS_VISIBLE, 0, 0, 200, 150, nullptr, 0,
                                 [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                                     if (message == WM_TIMER) {
                                         KillTimer(hwnd, wParam);
                                         if (wParam == kCloseTimer) PostMessage(hwnd, WM_CLOSE, 0, 0);
                                         else gErasedSoFar = PixelsOf(hwnd, kBackground);
                                         return 0;
                                     }
                                     return DefWindowProc(hwnd, message, wParam, lParam);
                                 });
        testing_support::DrainQueue();
        view_.window = window_;
    }
    void erasePart(int effect, UINT ms) {
        paintWindow(kPicture);
        view_.abort = false;
        gErasedSoFar.clear();
        SetTimer(window_, kLookTimer, ms);
        ErasePicture(view_, effect, 0);
        ASSERT_FALSE(gErasedSoFar.empty()) << "effect " << effect << " ended before the look";
    }
    void stopAfter(UINT ms) {
        view_.abort = false;
        SetTimer(window_, kCloseTimer, ms);
    }
    void revealPart(int effect, UINT ms) {
        paintWindow(kBlack);
        stopAfter(ms);
        WindowDC dc(window_);
        RevealPicture(view_, dc, effect);
        ASSERT_TRUE(view_.abort) << "effect " << effect << " ended before the close";
        testing_support::DrainQueue();
    }
    // The step count s (0 < s < last) for which the pixels (by default those showing the
    // picture) are exactly the pattern, or 0.
    template <typename Pattern>
    int matchingStep(int last, Pattern pattern) {
        return matchingStep(PixelsOf(window_, kPicture), last, pattern);
    }
    template <typename Pattern>
    static int matchingStep(const std::vector<std::vector<bool>>& screen, int last, Pattern pattern) {
        for (int step = 1; step < last; ++step) {
            bool same = true;
            for (int y = 0; y < 150 && same; ++y)
                for (int x = 0; x < 200 && same; ++x) same = screen[size_t(y)][size_t(x)] == pattern(x, y, step);
            if (same) return step;
        }
        return 0;
    }
};

}  // namespace

TEST_F(TransitionPatternTest, PartWayEachEffectShowsItsOwnPattern) {
    revealPart(1, 100);  // rows from the top
    EXPECT_GT(matchingStep(150, [](int, int y, int s) { return y < s; }), 0);
    revealPart(2, 100);  // columns from the left
    EXPECT_GT(matchingStep(200, [](int x, int, int s) { return x < s; }), 0);
    // The patterns below keep a one-pixel margin at the top and left (the two-pixel allowance
    // split either side) until the final copy.
    revealPart(3, 100);  // the top rows of eight bands of 150 / 8 rows
    EXPECT_GT(matchingStep(18, [](int x, int y, int s) { return x >= 1 && y >= 1 && (y - 1) % 18 < s && y - 1 < 144; }), 0);
    revealPart(4, 100);  // the left columns of eight bands of 200 / 8 + 1 columns
    EXPECT_GT(matchingStep(26, [](int x, int, int s) { return x % 26 < s; }), 0);
    revealPart(5, 100);  // a rectangle growing from the middle: 25 + s wide each side, 1 + s high
    EXPECT_GT(matchingStep(74, [](int x, int y, int s) { return std::abs(2 * x + 1 - 200) < 2 * (25 + s) &&
                                                               std::abs(2 * y + 1 - 150) < 2 * (1 + s); }), 0);
    revealPart(6, 100);  // a frame growing from the edges of the 198 x 148 inside
    EXPECT_GT(matchingStep(74, [](int x, int y, int s) {
                  const bool across = x >= 1 && x < 199, down = y >= 1 && y < 149;
                  return (across && ((y >= 1 && y <= s) || (y <= 149 && y > 149 - s))) ||
                         (down && ((x >= 1 && x <= s) || (x <= 199 && x > 199 - s)));
              }),
              0);
    revealPart(7, 100);  // first the even stripes of 200 / 15 + 1 columns, from the top
    EXPECT_GT(matchingStep(150, [](int x, int y, int s) { return (x / 14) % 2 == 0 && y < s; }), 0);
}

TEST_F(TransitionPatternTest, APictureOverhangingTheAreaKeepsItsPatternInside) {
    // 300 x 200 on the 200 x 150 area: 102 and 52 pixels hang over, split either side.
    UniqueBitmap large(CreateCompatibleBitmap(memory_.get(), 300, 200));
    SelectObject(memory_.get(), large.get());
    fill(memory_.get(), RECT{0, 0, 300, 200}, kPicture);
    view_.width = 300;
    view_.height = 200;
    revealPart(3, 100);  // bands of 150 / 8 rows, 26 rows down and 51 columns in
    EXPECT_GT(matchingStep(18, [](int x, int y, int s) { return x >= 51 && y >= 26 && (y - 26) % 18 < s; }), 0);
    revealPart(5, 100);  // the middle of the whole picture, (150, 100), is off the area's centre
    EXPECT_GT(matchingStep(74, [](int x, int y, int s) { return x >= 125 - s && x < 175 + s && y >= 99 - s && y < 101 + s; }),
              0);
    revealPart(6, 100);  // the frame starts at the visible part's top and left edges
    EXPECT_GT(matchingStep(74, [](int x, int y, int s) {
                  return (y >= 26 && y < 27 + s && x >= 51) || (x >= 51 && x < 52 + s && y >= 26);
              }),
              0);
    SelectObject(memory_.get(), picture_.get());
}

TEST_F(TransitionPatternTest, PartWayEachEraseShowsItsOwnPattern) {
    // The previous picture's rectangle is (20, 10) to (140, 100): 120 x 90.
    const auto inside = [](int x, int y) { return x >= 20 && x < 140 && y >= 10 && y < 100; };
    erasePart(1, 100);  // rows from the top
    EXPECT_GT(matchingStep(gErasedSoFar, 90, [&](int x, int y, int s) { return inside(x, y) && y - 10 < s; }), 0);
    erasePart(2, 100);  // columns from the left
    EXPECT_GT(matchingStep(gErasedSoFar, 120, [&](int x, int y, int s) { return inside(x, y) && x - 20 < s; }), 0);
    erasePart(3, 100);  // the top rows of bands of 90 / 8 + 1 rows
    EXPECT_GT(matchingStep(gErasedSoFar, 12, [&](int x, int y, int s) { return inside(x, y) && (y - 10) % 12 < s; }), 0);
    erasePart(4, 100);  // the left columns of bands of 120 / 8 + 1 columns
    EXPECT_GT(matchingStep(gErasedSoFar, 16, [&](int x, int y, int s) { return inside(x, y) && (x - 20) % 16 < s; }), 0);
    erasePart(5, 100);  // a frame closing in from the rectangle's edges
    EXPECT_GT(matchingStep(gErasedSoFar, 46, [&](int x, int y, int s) {
                  return inside(x, y) && (x - 20 < s || 139 - x < s || y - 10 < s || 99 - y < s);
              }),
              0);
    erasePart(6, 100);  // a rectangle growing from the middle, 15 wider than high each side
    EXPECT_GT(matchingStep(gErasedSoFar, 45, [&](int x, int y, int s) {
                  return inside(x, y) && x >= 66 - s && x < 95 + s && y >= 55 - s && y < 56 + s;
              }),
              0);
    erasePart(7, 40);  // first the even stripes of 120 / 15 + 1 columns, from the top
    EXPECT_GT(matchingStep(gErasedSoFar, 90, [&](int x, int y, int s) {
                  return inside(x, y) && ((x - 20) / 9) % 2 == 0 && y - 10 < s;
              }),
              0);
}

namespace {

// How many ticks of the virtual clock each effect's reveal and erase take over a full-screen
// picture on an area of that size, and whether each reveal left the whole picture behind.
struct EffectPace {
    std::uint64_t revealTicks[kLastDrawnEffect + 1]{}, eraseTicks[kLastDrawnEffect + 1]{};
    bool whole[kLastDrawnEffect + 1]{};
};

EffectPace PaceOn(int width, int height) {
    SetDisplay(std::make_unique<HeadlessDisplay>(width, height));
    HWND window = CreateWindowEx(0, "T", "t", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, 0, DefWindowProc);
    testing_support::DrainQueue();
    UniqueMemoryDC memory(CreateCompatibleDC(nullptr));
    UniqueBitmap picture(CreateCompatibleBitmap(memory.get(), width, height));
    HGDIOBJ replaced = SelectObject(memory.get(), picture.get());
    UniqueBrush red(CreateSolidBrush(kPicture));
    const RECT all{0, 0, width, height};
    FillRect(memory.get(), &all, red.get());
    TransitionView view;
    view.window = window;
    view.memory = memory.get();
    view.areaRight = view.width = view.previousWidth = width;
    view.areaBottom = view.height = view.previousHeight = height;
    view.background = kBackground;
    EffectPace pace;
    constexpr std::uint64_t kTick = 15625;
    for (int effect = 1; effect <= kLastDrawnEffect; ++effect) {
        WindowDC dc(window);
        std::uint64_t start = Clock::instance().nowMicros();
        RevealPicture(view, dc, effect);
        pace.revealTicks[effect] = (Clock::instance().nowMicros() - start) / kTick;
        pace.whole[effect] = GetPixel(dc, 0, 0) == kPicture && GetPixel(dc, width - 1, height - 1) == kPicture &&
                             GetPixel(dc, width / 3, height / 5) == kPicture;
        start = Clock::instance().nowMicros();
        ErasePicture(view, effect, 0);
        pace.eraseTicks[effect] = (Clock::instance().nowMicros() - start) / kTick;
    }
    SelectObject(memory.get(), replaced);
    DestroyWindow(window);
    testing_support::DrainQueue();
    return pace;
}

}  // namespace

TEST_F(TransitionsTest, OnALargeScreenEachEffectTakesNoLongerThanOn640x480) {
    const EffectPace reference = PaceOn(640, 480), large = PaceOn(1920, 1080);
    for (int effect = 1; effect <= kLastDrawnEffect; ++effect) {
        EXPECT_GT(reference.revealTicks[effect], 20u) << "effect " << effect << " is paced at 640x480";
        EXPECT_LE(large.revealTicks[effect], reference.revealTicks[effect] + 1) << "reveal " << effect;
        EXPECT_LE(large.eraseTicks[effect], reference.eraseTicks[effect] + 1) << "erase " << effect;
        EXPECT_GE(large.revealTicks[effect] * 2, reference.revealTicks[effect]) << "reveal " << effect << " is not rushed";
        EXPECT_TRUE(large.whole[effect]) << "reveal " << effect;
    }
}
