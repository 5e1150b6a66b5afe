// The saver and the real music companion together: started by name, paused with F3, and the
// play position stored when the saver ends.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <thread>

#include "picture_writers.h"
#include "saver_process.h"
#include "wav_writer.h"
#include "settings.h"
#include "windows.h"

using namespace integration;
using testing_support::TempRoot;

namespace {

void WriteWav(const std::filesystem::path& path, double seconds) {
    picture_writers::WriteFile(path, picture_writers::WavFile(seconds));
}

}  // namespace

TEST(MusicTest, TheSaverStartsTheRealCompanionPausesItWithF3AndStoresWhereItStopped) {
    TempRoot root;
    const auto song = root.path() / "song.wav";
    WriteWav(song, 4.0);
    StoreSetting("NoMidiSound", 0);
    StoreSetting("NotUseCD", 1);
    StoreString("MidiFiles", song.string() + "|");
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
