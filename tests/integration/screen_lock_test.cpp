// Locking when the saver ends, with real lockers: on X (Xvfb) through a stand-in logind on a
// private system bus and the real xss-lock running i3lock, or i3lock named as the locker; on Sway
// with swaylock. The desktop is never seen unlocked: the saver ends only after the locker holds the
// screen, stays (saying why) when no locker answers, and a guardian locks when it is killed.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "eventually.h"
#include "child_process.h"
#include "private_bus.h"
#include "programs.h"
#include "saver_process.h"
#include "sway_server.h"
#include "xvfb_server.h"

// After Qt's headers (sway_server.h): Xlib's macros would break them.
#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace integration;
using testing_support::ChildProcess;
using testing_support::PrivateBus;
using testing_support::TempRoot;

namespace {

constexpr unsigned long kBackground = 0x00C000;
constexpr int kScreenWidth = 800, kScreenHeight = 600;

class ScreenLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        StoreSetting("BackColor", 0x0000C000);
        StoreSetting("LockScreen", 1);
    }

    // Whether another client holds the keyboard, as a locker does while it shows.
    bool keyboardHeld() const {
        Display* display = xvfb_.display();
        const int result = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (result == GrabSuccess) XUngrabKeyboard(display, CurrentTime);
        XSync(display, False);
        return result == AlreadyGrabbed;
    }
    bool waitUntilKeyboardHeld(int timeoutMs) const {
        return testing_support::Eventually([&] { return keyboardHeld(); }, std::chrono::milliseconds(timeoutMs));
    }

    std::vector<std::string> xSession(const PrivateBus& system) const {
        return {"DISPLAY=" + xvfb_.name(), "KELVANE_DISPLAY=", "KELVANE_ONLINE=0", "KELVANE_AUDIO=null",
                system.asSystemBus(), "XDG_SESSION_ID=c1"};
    }
    std::unique_ptr<ChildProcess> startSaver(const std::vector<std::string>& session, const std::string& script = "") {
        auto saver = StartSaver(root_, {{"/s"}, script, session});
        EXPECT_TRUE(xvfb_.waitForColour(2, 2, kBackground, 20000)) << "the saver did not come up";
        return saver;
    }

    TempRoot root_;
    testing_support::XvfbServer xvfb_{kScreenWidth, kScreenHeight, 24};
};

// Whether the stand-in is asked for that (passing over what else it was asked meanwhile).
bool Asked(ChildProcess& logind, const std::string& what, int timeoutMs) {
    for (std::string line = logind.readLine(timeoutMs); !line.empty(); line = logind.readLine(timeoutMs))
        if (line == what) return true;
    return false;
}

bool LockersInstalled() {
    return PrivateBus::Installed() && platform::FindProgram("xss-lock") && platform::FindProgram("i3lock");
}

}  // namespace

TEST_F(ScreenLockTest, UnderXssLockAKeyEndsTheSaverOnlyOnceI3lockHoldsTheKeyboardAndAKillLocksToo) {
    if (!LockersInstalled()) GTEST_SKIP() << "dbus-daemon, xss-lock or i3lock is not installed (Debian packages of those names)";
    PrivateBus system, session;
    ChildProcess logind(testing_support::HelperPath("logind_stand_in"), {"--screen-saver-service"},
                        {system.asSystemBus(), session.asSessionBus()});
    ASSERT_EQ(logind.readLine(20000), "ready");
    ChildProcess xssLock(platform::FindProgram("xss-lock")->string(), {"--", "i3lock", "-n", "-c", "ff00ff"},
                         {"DISPLAY=" + xvfb_.name(), system.asSystemBus(), "XDG_SESSION_ID=c1"});

    std::vector<std::string> desktop = xSession(system);
    desktop.push_back(session.asSessionBus());
    auto saver = startSaver(desktop);
    EXPECT_TRUE(Asked(logind, "Inhibit", 20000)) << "the desktop's own idle lock is not held off while the saver shows";
    xvfb_.pressKey(XK_space);
    EXPECT_TRUE(Asked(logind, "Lock", 20000)) << "the saver did not ask logind to lock";
    EXPECT_EQ(saver->wait(20000), 0);
    EXPECT_TRUE(keyboardHeld()) << "the saver ended before i3lock held the keyboard";
    EXPECT_EQ(xvfb_.pixelAt(400, 300), 0xFF00FFu) << "i3lock's colour is not what shows";

    // Unlocked (i3lock ends), the saver again, killed: its guardian locks at once.
    std::system(("pkill -x -f 'i3lock -n -c ff00ff'"));
    ASSERT_TRUE(testing_support::Eventually([&] { return !keyboardHeld(); }, std::chrono::seconds(10))) << "i3lock did not end";
    saver = startSaver(xSession(system));
    saver->kill(SIGKILL);
    EXPECT_EQ(saver->wait(10000), 128 + SIGKILL);
    EXPECT_TRUE(Asked(logind, "Lock", 20000)) << "nothing locked after the saver was killed";
    EXPECT_TRUE(waitUntilKeyboardHeld(20000)) << "i3lock did not come up after the saver was killed";
    xssLock.kill(SIGTERM);
}

TEST_F(ScreenLockTest, AsOnGnomeAndPlasmaTheLockIsConfirmedByLogindOrTheDesktopsScreenSaverService) {
    if (!PrivateBus::Installed()) GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus-daemon)";
    // The desktop's locker answers logind's Lock (LockedHint); without logind, the screen-saver
    // service's Lock (GetActive). No X client grabs the keyboard here: only those confirm.
    for (const std::vector<std::string>& desktop : {std::vector<std::string>{"--desktop-locks"},
                                                    std::vector<std::string>{"--desktop-locks", "--no-logind"}}) {
        PrivateBus system, session;
        std::vector<std::string> arguments = desktop;
        arguments.push_back("--screen-saver-service");
        ChildProcess stand(testing_support::HelperPath("logind_stand_in"), arguments,
                           {system.asSystemBus(), session.asSessionBus()});
        ASSERT_EQ(stand.readLine(20000), "ready");
        std::vector<std::string> environment = xSession(system);
        environment.push_back(session.asSessionBus());
        auto saver = startSaver(environment);
        xvfb_.pressKey(XK_space);
        EXPECT_TRUE(Asked(stand, "Lock", 20000)) << desktop.back();
        EXPECT_EQ(saver->wait(20000), 0) << desktop.back();
    }
}

TEST_F(ScreenLockTest, WithNoLockerAnsweringAKeyLeavesTheSaverUpWithTheReason) {
    if (!PrivateBus::Installed()) GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus-daemon)";
    PrivateBus system;
    ChildProcess logind(testing_support::HelperPath("logind_stand_in"), {}, {system.asSystemBus()});  // nobody locks
    ASSERT_EQ(logind.readLine(20000), "ready");
    StoreSetting("ShowTicker", 0);  // the reason is shown all the same
    const auto state = root_.path() / "state";
    std::string script;
    for (int at = 1000; at <= 60000; at += 500) script += "at " + std::to_string(at) + " state " + state.string() + "\n";
    auto saver = startSaver(xSession(system), script);
    xvfb_.pressKey(XK_space);
    EXPECT_EQ(logind.readLine(20000), "Lock");
    std::string marquee;
    testing_support::Eventually(
        [&] {
            if (std::filesystem::exists(state)) marquee = ReadState(state)["marquee text"];
            return marquee.find("not locked") != std::string::npos;
        },
        std::chrono::seconds(40), std::chrono::milliseconds(250));
    EXPECT_EQ(marquee.rfind("The screen was not locked, so the saver stays", 0), 0u) << marquee;
    EXPECT_EQ(marquee.find("   "), std::string::npos) << "the hidden marquee's own text came along: " << marquee;
    int stripHeight = 0;
    testing_support::Eventually([&] { return (stripHeight = std::atoi(ReadState(state)["marquee height"].c_str())) > 0; },
                                std::chrono::seconds(10), std::chrono::milliseconds(250));
    EXPECT_GT(stripHeight, 0) << "the reason was not shown";
    // On the screen: letters cross the middle of the strip at the bottom as it scrolls.
    const int stripMiddle = kScreenHeight - 1 - stripHeight / 2;
    EXPECT_TRUE(testing_support::Eventually(
        [&] {
            for (int x = 0; x < kScreenWidth; x += 2)
                if (xvfb_.pixelAt(x, stripMiddle) != kBackground) return true;
            return false;
        },
        std::chrono::seconds(10), std::chrono::milliseconds(100)))
        << "no letter on the strip";
    EXPECT_EQ(saver->wait(0), -1) << "the saver ended with the desktop unlocked";
    EXPECT_EQ(xvfb_.pixelAt(2, 2), kBackground);
    // A launcher's SIGTERM still ends it at once (its guardian would lock, had it a locker).
    saver->kill(SIGTERM);
    EXPECT_EQ(saver->wait(10000), 128 + SIGTERM);
}

TEST_F(ScreenLockTest, RunAsXssLocksLockerTheSaverNeverAsksLogindWhichWouldStartItAgain) {
    if (!LockersInstalled() || !platform::FindProgram("xset"))
        GTEST_SKIP() << "dbus-daemon, xss-lock or xset is not installed (Debian packages dbus-daemon, xss-lock, x11-xserver-utils)";
    PrivateBus system;
    ChildProcess logind(testing_support::HelperPath("logind_stand_in"), {}, {system.asSystemBus()});
    ASSERT_EQ(logind.readLine(20000), "ready");
    // The old recipe: the saver as xss-lock's locker, started when the server's timer runs out.
    ChildProcess idleTime(platform::FindProgram("xset")->string(), {"s", "1"}, {"DISPLAY=" + xvfb_.name()});
    ASSERT_EQ(idleTime.wait(10000), 0);
    StoreSetting("LockScreen", 1);
    std::vector<std::string> session = xSession(system);
    ChildProcess xssLock(platform::FindProgram("xss-lock")->string(), {"--", KELVANE_SAVER_PATH, "/s"}, session);
    ASSERT_TRUE(xvfb_.waitForColour(2, 2, kBackground, 20000)) << "xss-lock did not start the saver";
    xvfb_.pressKey(XK_space);
    EXPECT_EQ(logind.readLine(4000), "") << "the saver asked logind, whose Lock comes back to xss-lock";
    EXPECT_EQ(xvfb_.pixelAt(2, 2), kBackground) << "the saver ended with nothing locked";
    std::system(("pkill -KILL -P " + std::to_string(xssLock.pid())).c_str());  // the saver, which stays
    EXPECT_EQ(logind.readLine(4000), "") << "the saver's guardian asked logind";
    xssLock.kill(SIGTERM);
}

TEST_F(ScreenLockTest, TheGuardianLocksWithTheNamedLockerWhenTheSaverIsKilledOrAborts) {
    if (!platform::FindProgram("i3lock")) GTEST_SKIP() << "i3lock is not installed (Debian package i3lock)";
    StoreString("LockCommand", "i3lock -c ee00ee");
    for (const int signal : {SIGKILL, SIGABRT}) {
        auto saver = startSaver({"DISPLAY=" + xvfb_.name(), "KELVANE_DISPLAY=", "KELVANE_ONLINE=0", "KELVANE_AUDIO=null"});
        saver->kill(signal);
        EXPECT_EQ(saver->wait(10000), 128 + signal);
        EXPECT_TRUE(waitUntilKeyboardHeld(20000)) << "nothing locked after signal " << signal;
        std::system("pkill -x -f 'i3lock -c ee00ee'");
        testing_support::Eventually([&] { return !keyboardHeld(); }, std::chrono::milliseconds(10000));
    }
}

TEST_F(ScreenLockTest, OnSwayTheSaverGoesOnlyAfterSwaylockHoldsTheScreen) {
    if (!testing_support::SwayServer::Installed() || !platform::FindProgram("swaylock"))
        GTEST_SKIP() << "sway, grim, wtype or swaylock is not installed (Debian packages of those names)";
    testing_support::SwayServer sway(1);
    ASSERT_TRUE(sway.running());
    StoreString("LockCommand", "swaylock -f -c ff00ff");
    auto session = sway.clientEnvironment();
    session.insert(session.end(), {"QT_QPA_PLATFORM=", "KELVANE_DISPLAY=", "KELVANE_ONLINE=0", "KELVANE_AUDIO=null"});
    auto saver = StartSaver(root_, {{"/s"}, "", session});
    const auto shows = [&](QRgb colour) {
        return testing_support::Eventually(
            [&] {
                const QImage shot = sway.screenshot();
                return !shot.isNull() && (shot.pixel(shot.width() / 2, 2) | 0xFF000000u) == colour;
            },
            std::chrono::seconds(20), std::chrono::milliseconds(250));
    };
    ASSERT_TRUE(shows(qRgb(0, 0xC0, 0))) << "the saver did not come up";
    sway.pressKey(XK_Escape);
    EXPECT_EQ(saver->wait(20000), 0);
    EXPECT_TRUE(shows(qRgb(0xFF, 0, 0xFF))) << "swaylock does not hold the screen";
}
