// The saver and the real music companion together: started by name, paused with F3, and the
// play position stored when the saver ends.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <fstream>
#include <thread>

#include "eventually.h"
#include "picture_server.h"
#include "private_bus.h"
#include "programs.h"
#include "picture_writers.h"
#include "saver_process.h"
#include "wav_writer.h"
#include "settings.h"
#include "windows.h"
#include "xvfb_server.h"

// After Qt's and the project's headers: Xlib's macros would break them.
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

using namespace integration;
using testing_support::TempRoot;

namespace {

// A song of the given length as the whole music list, music on; returns its path.
std::filesystem::path UseSong(const TempRoot& root, double seconds) {
    const auto song = root.path() / "song.wav";
    picture_writers::WriteFile(song, picture_writers::WavFile(seconds));
    StoreSetting("NoMidiSound", 0);
    StoreSetting("NotUseCD", 1);
    StoreString("MidiFiles", song.string() + "|");
    return song;
}

// Waits until the companion has gone; it stores where it stopped before it goes.
bool WaitForCompanionToClose() {
    testing_support::Eventually([&] { return !platform::FindWindow(nullptr, "Melodrin"); }, std::chrono::milliseconds(10000));
    return !platform::FindWindow(nullptr, "Melodrin");
}

}  // namespace

TEST(MusicTest, TheSaverStartsTheRealCompanionPausesItWithF3AndStoresWhereItStopped) {
    TempRoot root;
    const auto song = UseSong(root, 4.0);
    // No stand-in: the saver starts melodrin itself and finds it at once.
    auto saver = StartSaver(root, {{"/s"}, "at 600 key F3\nat 3000 key Escape\n",
                                   {"KELVANE_DISPLAY=headless", "KELVANE_AUDIO=null", "KELVANE_ONLINE=0"}});
    EXPECT_EQ(saver->wait(30000), 0);
    EXPECT_EQ(ReadString("Midi Current File"), song.string());
    // The companion stores the position when the saver ends, then closes.
    testing_support::Eventually([&] { return saver::ReadStoredDouble("CurrentDuration"); }, std::chrono::milliseconds(5000));
    saver::UseSaverRegistryKey();
    const auto duration = saver::ReadStoredDouble("CurrentDuration");
    const auto position = saver::ReadStoredDouble("CurrentPosition");
    ASSERT_TRUE(duration && position);
    EXPECT_NEAR(*duration, 4.0, 0.01);
    // Paused at most about half a second in (on a busy machine before it has moved at all): not
    // the 2.4 seconds more that playing on would give.
    EXPECT_LT(*position, 1.5);
    testing_support::Eventually([&] { return !platform::FindWindow(nullptr, "Melodrin"); }, std::chrono::milliseconds(5000));
    EXPECT_FALSE(platform::FindWindow(nullptr, "Melodrin")) << "the companion did not close";
}

TEST(MusicTest, EachRunResumesWhereTheLastStoppedThoughTheSaverSavesMeanwhile) {
    TempRoot root;
    picture_server::PictureServer server;
    const auto song = UseSong(root, 60.0);
    StoreSetting("Resume", 1);
    double last = 0;
    for (int run = 1; run <= 3; ++run) {
        // A source due at once: its fetch saves the settings record while the music plays.
        StoreString("CamList", "Harbour|" + server.url("/cam.jpg") + "|??:??|Unknown|???|1|||0|");
        auto saver = StartSaver(root, {{"/s"}, "at 3000 key Escape\n",
                                       {"KELVANE_DISPLAY=headless", "KELVANE_AUDIO=null", "KELVANE_ONLINE=1"}});
        ASSERT_EQ(saver->wait(30000), 0);
        ASSERT_TRUE(WaitForCompanionToClose());
        ASSERT_NE(ReadString("CamList").find("|Success|"), std::string::npos) << "no save during run " << run;
        EXPECT_EQ(ReadString("Midi Current File"), song.string()) << "run " << run;
        saver::UseSaverRegistryKey();
        const double position = saver::ReadStoredDouble("CurrentPosition").value_or(0.0);
        EXPECT_GT(position, last) << "run " << run << " did not go on from " << last;
        last = position;
    }
}

TEST(MusicTest, AKilledSaverLeavesNoMusicBehind) {
    TempRoot root;
    UseSong(root, 60.0);
    // The saver's first scripted step comes after it has started its music and claimed it.
    const std::filesystem::path running = root.path() / "running.txt";
    auto saver = StartSaver(root, {{"/s"}, "at 0 state " + running.string() + "\n",
                                   {"KELVANE_DISPLAY=headless", "KELVANE_AUDIO=null", "KELVANE_ONLINE=0"}});
    testing_support::Eventually([&] { return std::filesystem::exists(running); }, std::chrono::milliseconds(20000));
    ASSERT_TRUE(platform::FindWindow(nullptr, "Melodrin")) << "the saver never started its music";
    saver->kill(SIGKILL);  // no orderly end, no command 99
    saver->wait(10000);
    EXPECT_TRUE(WaitForCompanionToClose()) << "the music played on without its saver";
}

TEST(MusicTest, OnTheMediaControlsPlayerctlSeesPausesResumesAndSkipsAndTheSaversF3Shows) {
    const auto playerctl = platform::FindProgram("playerctl");
    if (!playerctl || !testing_support::PrivateBus::Installed())
        GTEST_SKIP() << "playerctl or dbus-daemon is not installed (Debian packages playerctl, dbus-daemon)";
    TempRoot root;
    const auto first = UseSong(root, 60.0);
    const auto second = root.path() / "second.wav";
    picture_writers::WriteFile(second, picture_writers::WavFile(60.0));
    StoreString("MidiFiles", first.string() + "|" + second.string() + "|");
    testing_support::XvfbServer xvfb(640, 480, 24);
    const testing_support::PrivateBus session;
    const auto ask = [&](const std::vector<std::string>& words) {
        std::vector<std::string> arguments{"-p", "melodrin"};
        arguments.insert(arguments.end(), words.begin(), words.end());
        testing_support::ChildProcess asked(playerctl->string(), arguments, {session.asSessionBus()});
        const std::string answer = asked.readLine(10000);
        asked.wait(10000);
        return answer;
    };
    const auto waitFor = [&](const std::vector<std::string>& words, const std::string& wanted) {
        std::string answer;
        testing_support::Eventually([&] { return (answer = ask(words)) == wanted; }, std::chrono::milliseconds(20000), std::chrono::milliseconds(100));
        return answer;
    };
    auto saver = StartSaver(root, {{"/s"}, "", {"DISPLAY=" + xvfb.name(), "KELVANE_DISPLAY=", "KELVANE_AUDIO=null",
                                                "KELVANE_ONLINE=0", session.asSessionBus()}});
    EXPECT_EQ(waitFor({"status"}, "Playing"), "Playing") << "Melodrin is not on the media controls";
    EXPECT_EQ(ask({"metadata", "title"}), "song.wav");
    EXPECT_EQ(ask({"pause"}), "");
    EXPECT_EQ(waitFor({"status"}, "Paused"), "Paused");
    EXPECT_EQ(ask({"play"}), "");
    EXPECT_EQ(waitFor({"status"}, "Playing"), "Playing");
    EXPECT_EQ(ask({"next"}), "");
    EXPECT_EQ(waitFor({"metadata", "title"}, "second.wav"), "second.wav");

    xvfb.pressKey(XK_F3);  // the saver's own key, seen on the media controls
    EXPECT_EQ(waitFor({"status"}, "Paused"), "Paused");
    xvfb.pressKey(XF86XK_AudioPlay);  // the keyboard's play key does the same, and the saver stays
    EXPECT_EQ(waitFor({"status"}, "Playing"), "Playing");
    xvfb.pressKey(XK_F3);
    EXPECT_EQ(waitFor({"status"}, "Paused"), "Paused");
    // Paused, the position shown stays (once the pause has taken hold).
    std::string shownText = ask({"position"});
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const std::string again = ask({"position"});
        if (again == shownText) break;
        shownText = again;
    }
    const double shown = std::atof(shownText.c_str());
    xvfb.pressKey(XK_Escape);
    EXPECT_EQ(saver->wait(20000), 0);
    EXPECT_TRUE(WaitForCompanionToClose());
    saver::UseSaverRegistryKey();
    const auto stored = saver::ReadStoredDouble("CurrentPosition");
    ASSERT_TRUE(stored);
    EXPECT_NEAR(*stored, shown, 0.05) << "the stored position is not where the pause left it";
    EXPECT_EQ(ask({"status"}), "") << "Melodrin's name stays on the bus";
}
