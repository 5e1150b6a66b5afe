// One message queue per user-interface thread: posted messages, messages sent from other
// threads, paint requests, timers and scheduled internal tasks.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "win_types.h"

namespace platform {

class MessageQueue {
public:
    // The queue of the calling thread, made on first use.
    static MessageQueue& current();
    // The queue of the thread that owns the given queue pointer stays valid while that thread lives.
    static std::shared_ptr<MessageQueue> currentShared();

    MessageQueue();
    ~MessageQueue();

    void post(const MSG& message);
    void postQuit(int exitCode);
    // Whether posted messages wait to be handled.
    bool hasPosted() const;
    // From another thread: hand the message to this queue's thread and wait for its result.
    // Returns nothing when the timeout passes first (no timeout when zero).
    std::optional<LRESULT> sendFromOtherThread(const MSG& message, std::uint32_t timeoutMs);

    // Retrieves the next message within the filter (null window and 0,0 range match all).
    // wait: block until one arrives. Returns false when nothing matched (or on WM_QUIT with wait,
    // where message holds WM_QUIT).
    bool get(MSG& message, HWND filter, UINT first, UINT last, bool remove, bool wait);

    // Returns when a message for the filter is ready (nothing removed) or the clock reaches the
    // deadline.
    void waitForMessage(HWND filter, std::uint64_t deadlineMicros);

    std::uintptr_t setTimer(HWND window, std::uintptr_t id, UINT periodMs);
    bool killTimer(HWND window, std::uintptr_t id);
    std::optional<UINT> timerPeriod(HWND window, std::uintptr_t id) const;

    // Paint bookkeeping: a window with an invalid area gets WM_PAINT when nothing is posted.
    void markPaint(HWND window);
    void clearPaint(HWND window);

    // Forget everything of a destroyed window.
    void forgetWindow(HWND window);

    // Runs work on this queue's thread at the given clock time (microseconds), inside get().
    void schedule(std::uint64_t atMicros, std::function<void()> work);

    // A waiter replaces the plain condition wait (the Qt backend waits in its event loop).
    using Waiter = std::function<void(std::optional<std::uint64_t> deadlineMicros)>;
    void setWaiter(Waiter waiter, std::function<void()> waker);
    void wake();

    std::thread::id thread() const { return thread_; }

    static constexpr UINT kMinimumTimerMs = 10;

private:
    struct Timer {
        HWND window;
        std::uintptr_t id;
        UINT period;
        std::uint64_t due;
    };
    struct SentMessage {
        MSG message;
        std::promise<LRESULT> result;
    };

    bool takeReady(MSG& message, HWND filter, UINT first, UINT last, bool remove);
    void runDueTasks();
    void deliverSentMessages();
    // The earliest time a timer (of the filter's window; all with none) or a task falls due.
    std::optional<std::uint64_t> nextDeadline(HWND filter = nullptr) const;
    void waitUntil(std::optional<std::uint64_t> deadline);
    // A queue never empty (timers due faster than their work runs) still lets the waiter's event
    // loop take in input and window-system news now and then.
    void letWaiterLookIfStarved();

    std::thread::id thread_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool woken_ = false;
    std::deque<MSG> posted_;
    std::deque<std::shared_ptr<SentMessage>> sent_;
    std::list<Timer> timers_;
    std::set<HWND> needsPaint_;
    std::multimap<std::uint64_t, std::function<void()>> tasks_;
    bool quitPosted_ = false;
    int quitCode_ = 0;
    Waiter waiter_;
    std::function<void()> waker_;
    std::chrono::steady_clock::time_point waiterLooked_ = std::chrono::steady_clock::now();
    bool looking_ = false;
};

}  // namespace platform
