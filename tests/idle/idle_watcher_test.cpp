#include <gtest/gtest.h>

#include "clock.h"
#include "idle_count.h"
#include "idle_watcher.h"

using namespace idle;
using namespace std::chrono_literals;

TEST(IdleRequestTest, TheDelayIsAWholeNumberOfSecondsUpToADay) {
    EXPECT_FALSE(ParseIdleRequest({"kelvane-saver", "/s"}).asked);
    const IdleRequest plain = ParseIdleRequest({"kelvane-saver", "--idle"});
    EXPECT_TRUE(plain.asked);
    EXPECT_FALSE(plain.delay);
    EXPECT_EQ(ParseIdleRequest({"kelvane-saver", "--idle=90"}).delay, 90s);
    for (const char* refused : {"--idle=", "--idle=0", "--idle=-5", "--idle=1.5", "--idle=10m", "--idle=86401"}) {
        const IdleRequest request = ParseIdleRequest({"kelvane-saver", refused});
        EXPECT_TRUE(request.asked) << refused;
        EXPECT_NE(request.error, "") << refused;
    }
}

// The desktop reports idle time from the last input; a watch counts it from its own start unless
// idle time already past is to count.
TEST(IdleCountTest, AWatchCountsFromItsStartOrFromTheLastInput) {
    platform::Clock& clock = platform::Clock::instance();
    clock.setVirtual(true);
    platform::IdleCount fromNow, fromLastInput;
    fromNow.begin(10s, platform::IdleMonitor::CountFrom::Now);
    fromLastInput.begin(10s, platform::IdleMonitor::CountFrom::LastInput);
    clock.sleepMicros(4'000'000);
    EXPECT_EQ(fromNow.remaining(60s), 6s);        // away for a minute, but watched for 4 s
    EXPECT_EQ(fromNow.remaining(3s), 7s);         // a key 3 s ago
    EXPECT_LE(fromLastInput.remaining(60s), 0s);  // a minute away counts
    EXPECT_EQ(fromLastInput.remaining(3s), 7s);
    clock.sleepMicros(6'000'000);
    EXPECT_LE(fromNow.remaining(60s), 0s);
    fromNow.restartNow();  // a desktop that forgot its count: from now on
    EXPECT_EQ(fromNow.remaining(60s), 10s);
    clock.setVirtual(false);
}

namespace {

// Idle whenever the test says so.
class ScriptedMonitor : public platform::IdleMonitor {
public:
    std::string name() const override { return "the test"; }
    std::optional<std::chrono::seconds> desktopDelay() const override { return std::nullopt; }
    void watch(std::chrono::milliseconds delay, CountFrom from, std::function<void()> idle) override {
        ++watches;
        watchedDelay = delay;
        countedFrom = from;
        idle_ = std::move(idle);
    }
    void stop() override { idle_ = nullptr; }
    bool suspended() const override { return suspendedNow; }
    void becomeIdle() { std::exchange(idle_, nullptr)(); }

    int watches = 0;
    std::chrono::milliseconds watchedDelay{0};
    CountFrom countedFrom = CountFrom::Now;
    bool suspendedNow = false;

private:
    std::function<void()> idle_;
};

}  // namespace

TEST(IdleWatcherTest, StartsTheSaverWhenIdleUnlessSuspendedAndWatchesAgainWhenItEnds) {
    auto owned = std::make_unique<ScriptedMonitor>();
    ScriptedMonitor& monitor = *owned;
    int started = 0;
    std::function<void()> endSaver;
    IdleWatcher watcher(std::move(owned), nullptr, 2s, [&](std::function<void()> ended) {
        ++started;
        endSaver = std::move(ended);
    });
    watcher.start();
    EXPECT_EQ(monitor.watches, 1);
    EXPECT_EQ(monitor.watchedDelay, 2s);
    EXPECT_EQ(monitor.countedFrom, platform::IdleMonitor::CountFrom::LastInput) << "idle time before the start counts";

    monitor.suspendedNow = true;  // as `xdg-screensaver suspend` leaves the X server
    monitor.becomeIdle();
    EXPECT_EQ(started, 0);
    EXPECT_EQ(monitor.watches, 2) << "it keeps watching while suspended";

    monitor.suspendedNow = false;
    monitor.becomeIdle();
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(watcher.saverRunning());
    EXPECT_EQ(monitor.watches, 2) << "no watching while the saver runs";
    endSaver();
    EXPECT_FALSE(watcher.saverRunning());
    EXPECT_EQ(monitor.watches, 3);
    EXPECT_EQ(monitor.countedFrom, platform::IdleMonitor::CountFrom::Now) << "the saver's end counts as activity";
}
