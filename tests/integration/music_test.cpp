// The saver and the real music companion together: started by name, paused with F3, and the
// play position stored when the saver ends.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <fstream>
#include <thread>

#include "picture_server.h"
#include "picture_writers.h"
#include "saver_process.h"
#include "wav_writer.h"
#include "settings.h"
#include "windows.h"

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
    for (int waited = 0; waited < 10000 && platform::FindWindow(nullptr, "Melodrin"); waited += 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
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
    for (int waited = 0; waited < 5000 && !saver::ReadStoredDouble("CurrentDuration"); waited += 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    saver::UseSaverRegistryKey();
    const auto duration = saver::ReadStoredDouble("CurrentDuration");
    const auto position = saver::ReadStoredDouble("CurrentPosition");
    ASSERT_TRUE(duration && position);
    EXPECT_NEAR(*duration, 4.0, 0.01);
    // Paused at most about half a second in (on a busy machine before it has moved at all): not
    // the 2.4 seconds more that playing on would give.
    EXPECT_LT(*position, 1.5);
    for (int waited = 0; waited < 5000 && platform::FindWindow(nullptr, "Melodrin"); waited += 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
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
    auto saver = StartSaver(root, {{"/s"}, "", {"KELVANE_DISPLAY=headless", "KELVANE_AUDIO=null", "KELVANE_ONLINE=0"}});
    for (int waited = 0; waited < 20000 && !platform::FindWindow(nullptr, "Melodrin"); waited += 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(platform::FindWindow(nullptr, "Melodrin")) << "the saver never started its music";
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the companion has seen the saver
    saver->kill(SIGKILL);  // no orderly end, no command 99
    saver->wait(10000);
    EXPECT_TRUE(WaitForCompanionToClose()) << "the music played on without its saver";
}
