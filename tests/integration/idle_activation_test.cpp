// Idle activation without the XScreenSaver daemon: the saver's own idle watcher, and the common
// launchers that start the saver when the X server's own screen saver turns on (xss-lock) or when
// asked to lock (xautolock). The saver covers the screen, a real key ends it, and it exits with
// status 0 as the launchers expect.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <csignal>
#include <fstream>
#include <memory>
#include <thread>

#include "eventually.h"
#include "child_process.h"
#include "private_bus.h"
#include "programs.h"
#include "saver_process.h"
#include "sway_server.h"
#include "weston_server.h"
#include "xvfb_server.h"

using namespace integration;
using testing_support::ChildProcess;
using testing_support::TempRoot;

namespace {

class IdleActivationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb_.running());
        StoreSetting("BackColor", 0x0000C000);  // green 0xC0
        StoreSetting("LockScreen", 0);          // the savers the launchers start never lock this desktop
        StoreSetting("ShowTicker", 0);
    }

    std::vector<std::string> environment() const {
        return {"DISPLAY=" + xvfb_.name(), "KELVANE_DISPLAY=", "KELVANE_ONLINE=0", "KELVANE_AUDIO=null"};
    }
    // The saver as the launcher's command: its exit status is written down.
    std::string lockerCommand() const {
        return std::string("'") + KELVANE_SAVER_PATH + "' /s; echo $? > '" + status().string() + "'";
    }
    std::filesystem::path status() const { return root_.path() / "status"; }
    std::string exitStatus(int timeoutMs) const {
        std::string line;
        const auto written = [&] {
            std::ifstream in(status());
            return bool(std::getline(in, line));
        };
        return testing_support::Eventually(written, std::chrono::milliseconds(timeoutMs)) ? line : "(the saver did not end)";
    }
    // The saver covers the screen, and the first key ends it with status 0.
    void expectSaverRunsAndEndsOnAKey() {
        ASSERT_TRUE(xvfb_.waitForColour(2, 2, 0x00C000, 20000)) << "the launcher never started the saver";
        EXPECT_TRUE(xvfb_.waitForColour(799, 2, 0x00C000, 5000)) << "the saver does not cover the screen";
        xvfb_.pressKey(XK_space);
        EXPECT_EQ(exitStatus(10000), "0");
    }

    // A private session bus, where inhibitions are asked for.
    std::string sessionBus() {
        if (!bus_) bus_ = std::make_unique<testing_support::PrivateBus>();
        return bus_->asSessionBus();
    }
    // Whether a compositor's capture shows the saver (its background colour on a good part).
    static bool SaverShown(const QImage& shot) {
        int green = 0;
        for (int y = 0; y < shot.height(); y += 4)
            for (int x = 0; x < shot.width(); x += 4) green += (shot.pixel(x, y) | 0xFF000000u) == qRgb(0, 0xC0, 0);
        return green > 5000;
    }
    static bool WaitUntilShown(const testing_support::WaylandCompositor& compositor, bool shown) {
        return testing_support::Eventually([&] { return SaverShown(compositor.screenshot()) == shown; },
                                           std::chrono::seconds(20), std::chrono::milliseconds(250));
    }
    // A Wayland session of the compositor, without X.
    static std::vector<std::string> WaylandSession(const testing_support::WaylandCompositor& compositor) {
        auto session = compositor.clientEnvironment();
        session.insert(session.end(), {"XDG_SESSION_TYPE=wayland", "KELVANE_DISPLAY=", "KELVANE_ONLINE=0",
                                       "KELVANE_AUDIO=null", "QT_QPA_PLATFORM="});
        return session;
    }

    // The watcher on the X server and the session bus; a traced one prints its traces, and those
    // of a saver it starts, on its output.
    std::unique_ptr<ChildProcess> startWatcher(const char* delay, bool traced = false) {
        auto env = environment();
        env.push_back(sessionBus());
        if (!traced) return std::make_unique<ChildProcess>(KELVANE_SAVER_PATH, std::vector<std::string>{delay}, env);
        return TracedWatcher(delay, env);
    }
    static std::unique_ptr<ChildProcess> TracedWatcher(const char* delay, std::vector<std::string> env) {
        env.push_back("KELVANE_DEBUG=1");
        return std::make_unique<ChildProcess>("/bin/sh", std::vector<std::string>{"-c", "exec \"$0\" \"$@\" 2>&1", KELVANE_SAVER_PATH, delay}, env);
    }
    // Whether the program prints a line that begins so within the time.
    static bool Says(ChildProcess& program, const std::string& wanted, int timeoutMs) {
        return testing_support::Eventually([&] { return program.readLine(250).rfind(wanted, 0) == 0; },
                                           std::chrono::milliseconds(timeoutMs), std::chrono::milliseconds(0));
    }
    static constexpr const char* kRefusedForAnInhibition = "idle: idle, but a program inhibits the screen saver";

    TempRoot root_;
    testing_support::XvfbServer xvfb_{800, 600, 24};  // larger than the bundled picture
    std::unique_ptr<testing_support::PrivateBus> bus_;
};

}  // namespace

TEST_F(IdleActivationTest, XssLockStartsTheSaverWhenTheServerGoesIdle) {
    const auto xssLock = platform::FindProgram("xss-lock");
    const auto xset = platform::FindProgram("xset");
    if (!xssLock || !xset) GTEST_SKIP() << "xss-lock or xset is not installed (xss-lock, x11-xserver-utils): not tested";
    // The README's recipe as written, but for the idle time: the server's own timer, blanking as
    // it likes, then xss-lock.
    ChildProcess setIdleTime(xset->string(), {"s", "2"}, environment());
    ASSERT_EQ(setIdleTime.wait(10000), 0);
    ChildProcess launcher(xssLock->string(), {"--", "/bin/sh", "-c", lockerCommand()}, environment());
    ASSERT_TRUE(xvfb_.waitForColour(2, 2, 0x00C000, 20000)) << "the launcher never started the saver";
    // The server's blanking stays off the saver, past its idle time again.
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    EXPECT_FALSE(xvfb_.serverSaverOn());
    EXPECT_EQ(xvfb_.pixelAt(2, 2), 0x00C000u);
    expectSaverRunsAndEndsOnAKey();
    launcher.kill(SIGTERM);
}

TEST_F(IdleActivationTest, XautolockStartsTheSaverWhenToldToLockNow) {
    const auto xautolock = platform::FindProgram("xautolock");
    if (!xautolock) GTEST_SKIP() << "xautolock is not installed (Debian package xautolock): not tested";
    ChildProcess launcher(xautolock->string(), {"-time", "10", "-locker", lockerCommand()}, environment());
    // The launcher hears "lock now" only once it has started, which a busy machine delays: asked
    // again until the saver shows (a launcher whose locker runs starts no second one).
    bool started = false;
    for (int attempt = 0; attempt < 10 && !started; ++attempt) {
        ChildProcess lockNow(xautolock->string(), {"-locknow"}, environment());
        lockNow.wait(10000);  // it fails while the launcher is not up yet
        started = xvfb_.waitForColour(2, 2, 0x00C000, 2000);
    }
    ASSERT_TRUE(started) << "the launcher never started the saver";
    expectSaverRunsAndEndsOnAKey();
    launcher.kill(SIGTERM);
}

TEST_F(IdleActivationTest, TheWatcherStartsTheSaverWhenIdleAndAgainAfterAKey) {
    if (!platform::FindProgram("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus-daemon)";
    auto watcher = startWatcher("--idle=2");
    ASSERT_TRUE(xvfb_.waitForColour(2, 2, 0x00C000, 20000)) << "the watcher never started the saver";
    EXPECT_TRUE(xvfb_.waitForColour(799, 599, 0x00C000, 5000)) << "the saver does not cover the screen";
    // One watcher a session: a second one says so and leaves.
    auto second = startWatcher("--idle");
    EXPECT_EQ(second->wait(15000), 0);

    xvfb_.pressKey(XK_space);
    ASSERT_TRUE(testing_support::Eventually([&] { return xvfb_.pixelAt(2, 2) != 0x00C000; }, std::chrono::seconds(10)))
        << "the key did not end the saver";
    EXPECT_TRUE(xvfb_.waitForColour(2, 2, 0x00C000, 20000)) << "the saver did not come back after the idle time";

    // Stopped, the watcher takes its saver with it and ends by the signal.
    watcher->kill(SIGTERM);
    EXPECT_EQ(watcher->wait(15000), 128 + SIGTERM);
    EXPECT_NE(xvfb_.pixelAt(2, 2), 0x00C000u);
}

TEST_F(IdleActivationTest, AnInhibitionOnTheSessionBusKeepsTheSaverAwayUntilItsHolderLeaves) {
    if (!platform::FindProgram("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus-daemon)";
    auto watcher = startWatcher("--idle=2", true);
    ChildProcess holder(testing_support::HelperPath("inhibit_holder"), {}, {sessionBus()});
    // Input until the inhibition is in place, so the watcher cannot start the saver before.
    std::string cookie;
    for (int attempt = 0; attempt < 60 && cookie.empty(); ++attempt) {
        xvfb_.pressKey(XK_Shift_L);
        cookie = holder.readLine(500);
    }
    ASSERT_FALSE(cookie.empty()) << "the watcher took no inhibition";
    ASSERT_TRUE(Says(*watcher, kRefusedForAnInhibition, 20000)) << "the watcher never found the user idle";
    EXPECT_NE(xvfb_.pixelAt(2, 2), 0x00C000u) << "the saver came up while inhibited";

    holder.kill(SIGTERM);  // a player that goes away takes its inhibition with it
    EXPECT_TRUE(xvfb_.waitForColour(2, 2, 0x00C000, 20000)) << "the saver never came up once released";
    watcher->kill(SIGTERM);
    watcher->wait(15000);
}

TEST_F(IdleActivationTest, WhereAnotherProgramOwnsTheScreenSaverNameThePowerManagersInhibitionsAreFollowed) {
    if (!platform::FindProgram("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus-daemon)";
    const std::filesystem::path keptOnWhile = root_.path() / "a film plays";
    std::ofstream(keptOnWhile) << "\n";
    ChildProcess plasma(testing_support::HelperPath("plasma_stand_in"), {keptOnWhile.string()}, {sessionBus()});
    ASSERT_EQ(plasma.readLine(20000), "ready");
    auto watcher = startWatcher("--idle=1", true);
    ASSERT_TRUE(Says(*watcher, kRefusedForAnInhibition, 20000)) << "the watcher never found the user idle";
    EXPECT_NE(xvfb_.pixelAt(2, 2), 0x00C000u) << "the saver came up while the power manager kept the screen on";
    std::filesystem::remove(keptOnWhile);
    EXPECT_TRUE(xvfb_.waitForColour(2, 2, 0x00C000, 20000)) << "the saver never came up once the film ended";
    watcher->kill(SIGTERM);
    watcher->wait(15000);
}

TEST_F(IdleActivationTest, OnGnomeUnderWaylandTheWatcherFollowsMuttersIdleMonitorAndTheSessionsInhibitions) {
    if (!platform::FindProgram("dbus-daemon") || !testing_support::WestonServer::Installed())
        GTEST_SKIP() << "dbus-daemon or weston is not installed (Debian packages dbus-daemon, weston)";
    testing_support::WestonServer weston({1, 800, 600, 1});
    ASSERT_TRUE(weston.running());
    const std::filesystem::path inhibitedWhile = root_.path() / "a film plays";
    std::ofstream(inhibitedWhile) << "\n";
    ChildProcess gnome(testing_support::HelperPath("mutter_stand_in"), {inhibitedWhile.string()}, {sessionBus()});
    ASSERT_EQ(gnome.readLine(20000), "ready");
    auto session = WaylandSession(weston);
    session.push_back(sessionBus());
    ChildProcess watcher(KELVANE_SAVER_PATH, {"--idle=1"}, session);
    // Inhibited by the session manager: the watch fires, nothing starts, and nothing is asked
    // again until the session manager says the inhibition ended.
    EXPECT_EQ(gnome.readLine(20000), "AddIdleWatch 1000");
    EXPECT_EQ(gnome.readLine(3000), "") << "the watcher keeps waking while inhibited";
    EXPECT_FALSE(SaverShown(weston.screenshot())) << "the saver came up while inhibited";

    std::filesystem::remove(inhibitedWhile);
    EXPECT_EQ(gnome.readLine(20000), "AddIdleWatch 1000");
    ASSERT_TRUE(WaitUntilShown(weston, true)) << "the watcher never started the saver";
    weston.pressKey(XK_space);
    std::string asked;
    while ((asked = gnome.readLine(20000)) == "AddIdleWatch 1000" && SaverShown(weston.screenshot())) {
    }
    EXPECT_EQ(asked, "AddIdleWatch 1000") << "no watching again after the saver ended";
    watcher.kill(SIGTERM);
    EXPECT_EQ(watcher.wait(15000), 128 + SIGTERM);
}

TEST_F(IdleActivationTest, OnGnomeAWatcherStartedWhileTheUserIsAwayAlreadyStartsTheSaverAtOnce) {
    if (!platform::FindProgram("dbus-daemon") || !testing_support::WestonServer::Installed())
        GTEST_SKIP() << "dbus-daemon or weston is not installed (Debian packages dbus-daemon, weston)";
    testing_support::WestonServer weston({1, 800, 600, 1});
    ASSERT_TRUE(weston.running());
    ChildProcess gnome(testing_support::HelperPath("mutter_stand_in"), {"--away-already"}, {sessionBus()});
    ASSERT_EQ(gnome.readLine(20000), "ready");
    auto session = WaylandSession(weston);
    session.push_back(sessionBus());
    ChildProcess watcher(KELVANE_SAVER_PATH, {"--idle=3600"}, session);  // an hour: only idle time past counts
    EXPECT_TRUE(WaitUntilShown(weston, true)) << "the watcher waited the delay again";
    watcher.kill(SIGTERM);
    EXPECT_EQ(watcher.wait(15000), 128 + SIGTERM);
}

TEST_F(IdleActivationTest, OnGnomeAWatchMutterDidNotAnswerIsAskedAgainAndAShellThatReturnsIsWatchedAgain) {
    if (!platform::FindProgram("dbus-daemon") || !testing_support::WestonServer::Installed())
        GTEST_SKIP() << "dbus-daemon or weston is not installed (Debian packages dbus-daemon, weston)";
    testing_support::WestonServer weston({1, 800, 600, 1});
    ASSERT_TRUE(weston.running());
    auto gnome = std::make_unique<ChildProcess>(testing_support::HelperPath("mutter_stand_in"),
                                                std::vector<std::string>{"--stall-first"}, std::vector<std::string>{sessionBus()});
    ASSERT_EQ(gnome->readLine(20000), "ready");
    auto session = WaylandSession(weston);
    session.push_back(sessionBus());
    ChildProcess watcher(KELVANE_SAVER_PATH, {"--idle=1000"}, session);
    EXPECT_EQ(gnome->readLine(20000), "AddIdleWatch 1000000");  // never answered
    EXPECT_EQ(gnome->readLine(30000), "AddIdleWatch 1000000") << "the watch was not asked for again";
    // The shell stops and comes back: its watches are gone, and the watcher asks anew.
    gnome->kill(SIGTERM);
    gnome->wait(10000);
    gnome = std::make_unique<ChildProcess>(testing_support::HelperPath("mutter_stand_in"), std::vector<std::string>{},
                                           std::vector<std::string>{sessionBus()});
    ASSERT_EQ(gnome->readLine(20000), "ready");
    EXPECT_EQ(gnome->readLine(30000), "AddIdleWatch 1000000") << "the watcher did not watch the returned shell";
    watcher.kill(SIGTERM);
    EXPECT_EQ(watcher.wait(15000), 128 + SIGTERM);
}

TEST_F(IdleActivationTest, OnSwayTheWatcherFollowsTheCompositorsIdleNotices) {
    if (!testing_support::SwayServer::Installed())
        GTEST_SKIP() << "sway, grim or wtype is not installed (Debian packages sway, grim, wtype)";
    testing_support::SwayServer sway(1);
    ASSERT_TRUE(sway.running());
    ChildProcess watcher(KELVANE_SAVER_PATH, {"--idle=2"}, WaylandSession(sway));
    ASSERT_TRUE(WaitUntilShown(sway, true)) << "the watcher never started the saver";
    sway.pressKey(XK_space);
    ASSERT_TRUE(WaitUntilShown(sway, false)) << "the key did not end the saver";
    EXPECT_TRUE(WaitUntilShown(sway, true)) << "the saver did not come back after the idle time";
    watcher.kill(SIGTERM);
    EXPECT_EQ(watcher.wait(15000), 128 + SIGTERM);
}

TEST_F(IdleActivationTest, AWatcherWhoseCompositorEndsSaysSoAndEnds) {
    if (!testing_support::SwayServer::Installed())
        GTEST_SKIP() << "sway, grim or wtype is not installed (Debian packages sway, grim, wtype)";
    auto sway = std::make_unique<testing_support::SwayServer>(1);
    ASSERT_TRUE(sway->running());
    ChildProcess watcher(KELVANE_SAVER_PATH, {"--idle=1"}, WaylandSession(*sway));
    ASSERT_TRUE(WaitUntilShown(*sway, true)) << "the watcher never started the saver";
    sway.reset();
    EXPECT_EQ(watcher.wait(15000), 1) << "the watcher went on without a compositor";
}

TEST_F(IdleActivationTest, AWatcherWhoseXServerEndsSaysSoAndEnds) {
    auto server = std::make_unique<testing_support::XvfbServer>(640, 480, 24);
    auto watcher = TracedWatcher("--idle=600", {"DISPLAY=" + server->name(), "KELVANE_DISPLAY=", "KELVANE_ONLINE=0"});
    ASSERT_TRUE(Says(*watcher, "idle: watching", 20000)) << "the watcher never began to watch";
    server.reset();
    EXPECT_TRUE(Says(*watcher, "kelvane-saver: the X server went away", 15000)) << "the watcher did not say what went";
    EXPECT_EQ(watcher->wait(15000), 1);
}

TEST_F(IdleActivationTest, OnSwayAShownWindowsInhibitorKeepsTheSaverAwayUntilItGoes) {
    if (!testing_support::SwayServer::Installed())
        GTEST_SKIP() << "sway, grim or wtype is not installed (Debian packages sway, grim, wtype)";
    testing_support::SwayServer sway(1);
    ASSERT_TRUE(sway.running());
    ChildProcess film(testing_support::HelperPath("wayland_inhibitor"), {}, {"WAYLAND_DISPLAY=" + sway.waylandDisplay()});
    ASSERT_EQ(film.readLine(20000), "inhibiting");
    auto watcher = TracedWatcher("--idle=1", WaylandSession(sway));
    ASSERT_TRUE(Says(*watcher, "idle: watching", 20000)) << "the watcher never began to watch";
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));  // four times the idle time
    EXPECT_FALSE(SaverShown(sway.screenshot())) << "the saver came up while inhibited";
    film.kill(SIGTERM);
    EXPECT_TRUE(WaitUntilShown(sway, true)) << "the saver never came up once the film ended";
    watcher->kill(SIGTERM);
    watcher->wait(15000);
}

TEST_F(IdleActivationTest, UnderPlasmaTheDelayIsTheScreenLockingTimeout) {
    // Sway stands in for KWin: both offer the idle protocol; Plasma's own delay is in its settings.
    if (!testing_support::SwayServer::Installed())
        GTEST_SKIP() << "sway, grim or wtype is not installed (Debian packages sway, grim, wtype)";
    testing_support::SwayServer sway(1);
    ASSERT_TRUE(sway.running());
    const auto config = root_.path() / "plasma-config";
    std::filesystem::create_directories(config);
    std::ofstream(config / "kscreenlockerrc") << "[Daemon]\nTimeout=7\n";
    auto session = WaylandSession(sway);
    session.insert(session.end(), {"XDG_CURRENT_DESKTOP=KDE", "XDG_CONFIG_HOME=" + config.string(), "KELVANE_DEBUG=1"});
    ChildProcess watcher("/bin/sh", {"-c", std::string("exec '") + KELVANE_SAVER_PATH + "' --idle 2>&1"}, session);
    std::string line;
    while ((line = watcher.readLine(20000)).find("the saver starts after") == std::string::npos && !line.empty()) {
    }
    EXPECT_NE(line.find("the saver starts after 420 s"), std::string::npos) << line;
    watcher.kill(SIGTERM);
    watcher.wait(15000);
}
