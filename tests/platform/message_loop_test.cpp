#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "clock.h"
#include "gdi.h"
#include "temp_root.h"
#include "windows.h"

using namespace platform;

namespace {

struct Received {
    UINT message;
    WPARAM wParam;
    std::uint64_t atMs;
};

class MessageLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::instance().setVirtual(true);
        start_ = Clock::instance().nowMicros();
        testing_support::DrainQueue();
    }
    void TearDown() override {
        for (HWND window : windows_) DestroyWindow(window);
        testing_support::DrainQueue();
        Clock::instance().setVirtual(false);
    }

    std::uint64_t elapsedMs() const { return (Clock::instance().nowMicros() - start_) / 1000; }

    // A window that records what it receives and otherwise behaves by default.
    HWND makeWindow(std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> extra = {}, HWND parent = nullptr) {
        HWND window = CreateWindowEx(0, "TestWindow", "test", parent ? WS_CHILD : WS_POPUP, 0, 0, 100, 100, parent, 0,
                                     [this, extra](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                                         received_.push_back({message, wParam, elapsedMs()});
                                         if (extra) return extra(hwnd, message, wParam, lParam);
                                         return DefWindowProc(hwnd, message, wParam, lParam);
                                     });
        if (!parent) windows_.push_back(window);
        return window;
    }

    // Dispatches messages until the clock has run for the given time, and what is due by then.
    void pumpFor(std::uint64_t ms) {
        const std::uint64_t end = Clock::instance().nowMicros() + ms * 1000;
        const std::uintptr_t wakeUp = SetTimer(nullptr, 0, UINT(ms));  // wakes the loop at the end
        MSG message;
        while (Clock::instance().nowMicros() < end && GetMessage(&message, nullptr, 0, 0))
            if (message.hwnd) DispatchMessage(&message);
        while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE))
            if (message.hwnd) DispatchMessage(&message);
        KillTimer(nullptr, wakeUp);
    }

    std::vector<std::uint64_t> timerTimes(WPARAM id) const {
        std::vector<std::uint64_t> times;
        for (const Received& entry : received_)
            if (entry.message == WM_TIMER && entry.wParam == id) times.push_back(entry.atMs);
        return times;
    }

    std::uint64_t start_ = 0;
    std::vector<Received> received_;
    std::vector<HWND> windows_;
};

}  // namespace

TEST_F(MessageLoopTest, TimersFireAtTheirPeriodAndNeverBelowTenMilliseconds) {
    HWND window = makeWindow();
    SetTimer(window, 1, 50);
    SetTimer(window, 2, 0);  // raised to the minimum
    EXPECT_EQ(GetTimerPeriod(window, 1), 50u);
    EXPECT_EQ(GetTimerPeriod(window, 2), 10u);
    pumpFor(200);
    EXPECT_EQ(timerTimes(1), (std::vector<std::uint64_t>{50, 100, 150, 200}));
    EXPECT_EQ(timerTimes(2).size(), 20u);
    KillTimer(window, 1);
    received_.clear();
    pumpFor(100);
    EXPECT_TRUE(timerTimes(1).empty());
    EXPECT_EQ(GetTimerPeriod(window, 1), 0u);
}

TEST_F(MessageLoopTest, ALateLoopGetsOneTimerMessageNotABacklog) {
    HWND window = makeWindow();
    SetTimer(window, 7, 50);
    Sleep(500);  // ten periods pass while the loop is busy elsewhere
    MSG message;
    ASSERT_TRUE(PeekMessage(&message, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, UINT(WM_TIMER));
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_FALSE(PeekMessage(&message, window, 0, 0, PM_NOREMOVE));  // the period starts again
    Sleep(50);
    EXPECT_TRUE(PeekMessage(&message, window, 0, 0, PM_NOREMOVE));
}

TEST_F(MessageLoopTest, PeekMessageRemovesWaitingTimerMessagesUntilNoneIsLeft) {
    HWND window = makeWindow();
    SetTimer(window, 1, 20);
    SetTimer(window, 2, 30);
    PostMessage(window, WM_TIMER, 99, 0);  // a posted one, as F9 sends
    Sleep(100);
    MSG message;
    int removed = 0;
    while (PeekMessage(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD)) ++removed;
    EXPECT_EQ(removed, 3);
    EXPECT_FALSE(PeekMessage(&message, window, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    // Other messages stay where they are.
    PostMessage(window, WM_USER, 1, 0);
    EXPECT_FALSE(PeekMessage(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE));
    ASSERT_TRUE(PeekMessage(&message, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, UINT(WM_USER));
}

TEST_F(MessageLoopTest, AWorkerThreadCanPostAndSend) {
    std::thread::id handledOn;
    HWND window = makeWindow([&](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_USER + 5) {
            handledOn = std::this_thread::get_id();
            return LRESULT(wParam + 1);
        }
        return DefWindowProc(hwnd, message, wParam, lParam);
    });
    LRESULT sendResult = 0;
    std::thread worker([&] {
        sendResult = SendMessage(window, WM_USER + 5, 41, 0);
        PostMessage(window, WM_USER + 6, 7, 0);
    });
    MSG message;
    bool posted = false;
    while (!posted && GetMessage(&message, nullptr, 0, 0)) {
        DispatchMessage(&message);
        posted = message.message == WM_USER + 6;
    }
    worker.join();
    EXPECT_EQ(sendResult, 42);
    EXPECT_EQ(handledOn, std::this_thread::get_id());  // handled on the window's own thread
    EXPECT_TRUE(posted);
}

TEST_F(MessageLoopTest, CreationAndDestructionFollowThePlatformOrder) {
    // A creation handler answering -1 leaves no window.
    HWND refused = CreateWindowEx(0, "TestWindow", "refused", WS_POPUP, 0, 0, 10, 10, nullptr, 0,
                                  [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT { return message == WM_CREATE ? -1 : 0; });
    EXPECT_EQ(refused, nullptr);

    std::vector<std::string> order;
    const auto recorder = [&order](const char* name) {
        return [&order, name](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (message == WM_DESTROY) order.push_back(std::string(name) + " destroy");
            if (message == WM_NCDESTROY) order.push_back(std::string(name) + " final");
            return DefWindowProc(hwnd, message, wParam, lParam);
        };
    };
    HWND parent = CreateWindowEx(0, "TestWindow", "parent", WS_POPUP, 0, 0, 100, 100, nullptr, 0, recorder("parent"));
    HWND child = CreateWindowEx(0, "TestWindow", "", WS_CHILD, 10, 10, 20, 20, parent, 0, recorder("child"));
    ASSERT_TRUE(parent && child);
    RECT rect;
    GetWindowRect(child, &rect);
    EXPECT_EQ(rect, (RECT{10, 10, 30, 30}));
    GetClientRect(child, &rect);
    EXPECT_EQ(rect, (RECT{0, 0, 20, 20}));

    // The main window's end ends the loop; WM_CLOSE's default processing destroys it.
    SetMainWindow(parent);
    PostMessage(parent, WM_CLOSE, 0, 0);
    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(order, (std::vector<std::string>{"parent destroy", "child destroy", "child final", "parent final"}));
    EXPECT_FALSE(PostMessage(parent, WM_USER, 0, 0));
}

TEST_F(MessageLoopTest, ShowingAWindowAsksForAnEraseAndAPaint) {
    bool erased = false;
    int paints = 0;
    HWND window = makeWindow([&](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_ERASEBKGND) erased = true;
        if (message == WM_PAINT) {
            ++paints;
            PAINTSTRUCT paint;
            BeginPaint(hwnd, &paint);
            EndPaint(hwnd, &paint);
            return 0;
        }
        return DefWindowProc(hwnd, message, wParam, lParam);
    });
    ShowWindow(window, SW_SHOW);
    PostMessage(window, WM_USER, 0, 0);
    MSG message;
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&message);
    EXPECT_TRUE(erased);
    EXPECT_EQ(paints, 1);  // painting validates: no second WM_PAINT
    // Posted messages come before the paint.
    ASSERT_GE(received_.size(), 3u);
    auto user = std::find_if(received_.begin(), received_.end(), [](const Received& r) { return r.message == WM_USER; });
    auto paint = std::find_if(received_.begin(), received_.end(), [](const Received& r) { return r.message == WM_PAINT; });
    EXPECT_LT(user, paint);
}
