#include "message_queue.h"

#include <algorithm>
#include <chrono>

#include "clock.h"

namespace platform {
namespace {

thread_local std::shared_ptr<MessageQueue> tQueue;

bool InRange(UINT message, UINT first, UINT last) {
    return (first == 0 && last == 0) || (message >= first && message <= last);
}

}  // namespace

// Defined by the window layer: calls the window procedure of a message's window.
LRESULT DeliverToWindow(const MSG& message);

MessageQueue& MessageQueue::current() { return *currentShared(); }

std::shared_ptr<MessageQueue> MessageQueue::currentShared() {
    if (!tQueue) tQueue = std::make_shared<MessageQueue>();
    return tQueue;
}

MessageQueue::MessageQueue() : thread_(std::this_thread::get_id()) {}

MessageQueue::~MessageQueue() {
    for (auto& sent : sent_) sent->result.set_value(0);
}

void MessageQueue::post(const MSG& message) {
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(message);
    }
    wake();
}

void MessageQueue::postQuit(int exitCode) {
    {
        std::lock_guard lock(mutex_);
        quitPosted_ = true;
        quitCode_ = exitCode;
    }
    wake();
}

std::optional<LRESULT> MessageQueue::sendFromOtherThread(const MSG& message, std::uint32_t timeoutMs) {
    auto sent = std::make_shared<SentMessage>();
    sent->message = message;
    std::future<LRESULT> result = sent->result.get_future();
    {
        std::lock_guard lock(mutex_);
        sent_.push_back(sent);
    }
    wake();
    if (timeoutMs == 0) return result.get();
    if (result.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready) return std::nullopt;
    return result.get();
}

void MessageQueue::wake() {
    std::function<void()> waker;
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
        waker = waker_;
    }
    changed_.notify_all();
    if (waker) waker();
}

void MessageQueue::setWaiter(Waiter waiter, std::function<void()> waker) {
    std::lock_guard lock(mutex_);
    waiter_ = std::move(waiter);
    waker_ = std::move(waker);
}

std::uintptr_t MessageQueue::setTimer(HWND window, std::uintptr_t id, UINT periodMs) {
    const UINT period = std::max(periodMs, kMinimumTimerMs);
    const std::uint64_t due = Clock::instance().nowMicros() + std::uint64_t(period) * 1000;
    std::lock_guard lock(mutex_);
    if (!window) {
        // A thread timer gets an identifier of its own.
        std::uintptr_t next = 1;
        for (const Timer& timer : timers_)
            if (!timer.window) next = std::max(next, timer.id + 1);
        id = next;
    }
    for (Timer& timer : timers_) {
        if (timer.window == window && timer.id == id) {
            timer.period = period;
            timer.due = due;
            return id;
        }
    }
    timers_.push_back(Timer{window, id, period, due});
    return window ? (id ? id : 1) : id;
}

bool MessageQueue::killTimer(HWND window, std::uintptr_t id) {
    std::lock_guard lock(mutex_);
    const auto before = timers_.size();
    timers_.remove_if([&](const Timer& timer) { return timer.window == window && timer.id == id; });
    // A WM_TIMER already posted by hand stays; generated ones simply stop.
    return timers_.size() != before;
}

std::optional<UINT> MessageQueue::timerPeriod(HWND window, std::uintptr_t id) const {
    std::lock_guard lock(mutex_);
    for (const Timer& timer : timers_)
        if (timer.window == window && timer.id == id) return timer.period;
    return std::nullopt;
}

void MessageQueue::markPaint(HWND window) {
    {
        std::lock_guard lock(mutex_);
        needsPaint_.insert(window);
    }
    wake();
}

void MessageQueue::clearPaint(HWND window) {
    std::lock_guard lock(mutex_);
    needsPaint_.erase(window);
}

void MessageQueue::forgetWindow(HWND window) {
    std::lock_guard lock(mutex_);
    needsPaint_.erase(window);
    timers_.remove_if([&](const Timer& timer) { return timer.window == window; });
    std::erase_if(posted_, [&](const MSG& message) { return message.hwnd == window; });
}

bool MessageQueue::hasPosted() const {
    std::lock_guard lock(mutex_);
    return !posted_.empty();
}

void MessageQueue::schedule(std::uint64_t atMicros, std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        tasks_.emplace(atMicros, std::move(work));
    }
    wake();
}

void MessageQueue::runDueTasks() {
    while (true) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty() || tasks_.begin()->first > Clock::instance().nowMicros()) return;
            work = std::move(tasks_.begin()->second);
            tasks_.erase(tasks_.begin());
        }
        work();
    }
}

void MessageQueue::deliverSentMessages() {
    while (true) {
        std::shared_ptr<SentMessage> sent;
        {
            std::lock_guard lock(mutex_);
            if (sent_.empty()) return;
            sent = sent_.front();
            sent_.pop_front();
        }
        sent->result.set_value(DeliverToWindow(sent->message));
    }
}

bool MessageQueue::takeReady(MSG& message, HWND filter, UINT first, UINT last, bool remove) {
    const auto matchesWindow = [&](HWND window) { return !filter || window == filter; };
    for (auto it = posted_.begin(); it != posted_.end(); ++it) {
        if (matchesWindow(it->hwnd) && InRange(it->message, first, last)) {
            message = *it;
            if (remove) posted_.erase(it);
            return true;
        }
    }
    if (quitPosted_ && InRange(WM_QUIT, first, last)) {
        message = MSG{nullptr, WM_QUIT, WPARAM(quitCode_), 0, GetTickCount(), {}};
        if (remove) quitPosted_ = false;
        return true;
    }
    if (InRange(WM_PAINT, first, last)) {
        for (HWND window : needsPaint_) {
            if (matchesWindow(window)) {
                message = MSG{window, WM_PAINT, 0, 0, GetTickCount(), {}};
                return true;
            }
        }
    }
    if (InRange(WM_TIMER, first, last)) {
        const std::uint64_t now = Clock::instance().nowMicros();
        Timer* earliest = nullptr;
        for (Timer& timer : timers_)
            if (timer.due <= now && matchesWindow(timer.window) && (!earliest || timer.due < earliest->due))
                earliest = &timer;
        if (earliest) {
            message = MSG{earliest->window, WM_TIMER, WPARAM(earliest->id), 0, GetTickCount(), {}};
            // Retrieving a timer message restarts its period: missed periods never pile up.
            if (remove) earliest->due = now + std::uint64_t(earliest->period) * 1000;
            return true;
        }
    }
    return false;
}

std::optional<std::uint64_t> MessageQueue::nextDeadline(HWND filter) const {
    std::optional<std::uint64_t> deadline;
    for (const Timer& timer : timers_)
        if ((!filter || timer.window == filter) && (!deadline || timer.due < *deadline)) deadline = timer.due;
    if (!tasks_.empty() && (!deadline || tasks_.begin()->first < *deadline)) deadline = tasks_.begin()->first;
    return deadline;
}

void MessageQueue::waitUntil(std::optional<std::uint64_t> deadline) {
    Clock& clock = Clock::instance();
    Waiter waiter;
    {
        std::lock_guard lock(mutex_);
        waiter = waiter_;
    }
    if (clock.isVirtual() && deadline) {
        // Nothing to do until the deadline: on the virtual clock that costs no real time.
        bool pending;
        {
            std::lock_guard lock(mutex_);
            pending = woken_;
            woken_ = false;
        }
        if (!pending) clock.advanceTo(*deadline);
        if (waiter) waiter(clock.nowMicros());
        return;
    }
    if (waiter) {
        {
            std::lock_guard lock(mutex_);
            woken_ = false;
        }
        waiter(deadline);
        waiterLooked_ = std::chrono::steady_clock::now();
        return;
    }
    std::unique_lock lock(mutex_);
    if (deadline) {
        const std::uint64_t now = clock.nowMicros();
        const auto remaining = std::chrono::microseconds(*deadline > now ? *deadline - now : 0);
        changed_.wait_for(lock, remaining, [&] { return woken_; });
    } else {
        changed_.wait(lock, [&] { return woken_; });
    }
    woken_ = false;
}

void MessageQueue::waitForMessage(HWND filter, std::uint64_t deadlineMicros) {
    while (Clock::instance().nowMicros() < deadlineMicros) {
        runDueTasks();
        deliverSentMessages();
        MSG ready;
        std::optional<std::uint64_t> deadline;
        {
            std::lock_guard lock(mutex_);
            if (takeReady(ready, filter, 0, 0, false)) return;
            // Only the deadline and this window's own timers can end the wait.
            deadline = std::min(nextDeadline(filter).value_or(deadlineMicros), deadlineMicros);
        }
        waitUntil(deadline);
    }
}

void MessageQueue::letWaiterLookIfStarved() {
    constexpr auto kLongestStarvation = std::chrono::milliseconds(50);
    if (looking_ || std::chrono::steady_clock::now() - waiterLooked_ < kLongestStarvation) return;
    Waiter waiter;
    {
        std::lock_guard lock(mutex_);
        waiter = waiter_;
    }
    waiterLooked_ = std::chrono::steady_clock::now();
    if (!waiter) return;
    looking_ = true;  // the event loop may read messages itself: it is not asked again meanwhile
    waiter(Clock::instance().nowMicros());  // a deadline already here: no waiting
    looking_ = false;
}

bool MessageQueue::get(MSG& message, HWND filter, UINT first, UINT last, bool remove, bool wait) {
    while (true) {
        runDueTasks();
        deliverSentMessages();
        letWaiterLookIfStarved();
        std::optional<std::uint64_t> deadline;
        {
            std::lock_guard lock(mutex_);
            if (takeReady(message, filter, first, last, remove)) return true;
            if (!wait) return false;
            if (!sent_.empty() || woken_) {
                woken_ = false;
                continue;
            }
            deadline = nextDeadline();
        }
        waitUntil(deadline);
    }
}

}  // namespace platform
