// Melodrin's window and player, on libmpv with no audio device, over WAV files made here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "headless_display.h"
#include "main_frame.h"
#include "message_pump.h"
#include "play_list.h"
#include "profile.h"
#include "picture_writers.h"
#include "saver_messages.h"
#include "settings.h"
#include "temp_root.h"
#include "wav_writer.h"
#include "windows.h"

using namespace platform;
using music::CMainFrame;

namespace {

// A mono 16-bit sine of the given length.
void WriteWav(const std::filesystem::path& path, double seconds) {
    picture_writers::WriteFile(path, picture_writers::WavFile(seconds));
}

class MelodrinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("KELVANE_AUDIO", "null", 1);
        SetDisplay(std::make_unique<HeadlessDisplay>(1, 1));
        testing_support::DrainQueue();
        saver::UseSaverRegistryKey();
        WriteWav(a_, 0.5);
        WriteWav(b_, 0.7);
        std::ofstream(bad_) << "not a sound at all";
    }
    void TearDown() override {
        frame_.reset();
        testing_support::DrainQueue();
        SetDisplay(nullptr);
    }

    void setList(const std::vector<std::string>& files, const std::string& current) {
        WriteProfileString(saver::kSettingsSection, "MidiFiles", saver::JoinBarList(files));
        WriteProfileString(saver::kSettingsSection, "Midi Current File", current);
    }
    static std::string current() { return GetProfileString(saver::kSettingsSection, "Midi Current File", "?"); }
    void start() {
        frame_ = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame_->Create());
        ASSERT_EQ(command(1), music::kPlayerReady);
        EXPECT_EQ(command(7), music::kDone);
    }
    LRESULT command(WPARAM which) { return SendMessage(frame_->hwnd(), saver::MSG_MUSIC_COMMAND, which, 0); }
    bool pumpUntil(const std::function<bool()>& done, int seconds = 10) {
        return testing_support::PumpUntil(frame_->hwnd(), done, seconds);
    }
    double position() { return frame_->player()->Position().value_or(-1); }
    // Files open on the player's own threads: the item plays a moment after the command.
    bool playing() {
        return pumpUntil([&] { return frame_->player() && frame_->player()->State() == music::kPlaying; });
    }

    testing_support::TempRoot root_;
    std::string a_ = (root_.path() / "a.wav").string(), b_ = (root_.path() / "b.wav").string(),
                bad_ = (root_.path() / "bad.wav").string(), long_ = (root_.path() / "long.wav").string();
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace

TEST(PlayListTest, TheNextFileWrapsAndEntriesAreComparedWhole) {
    EXPECT_EQ(music::NextMusicFile("/m/a.mp3|/m/b.mp3|", "/m/b.mp3"), "/m/a.mp3");
    EXPECT_EQ(music::NextMusicFile("/m/a.mp3|/m/b.mp3|", "/m/a.mp3"), "/m/b.mp3");
    EXPECT_EQ(music::NextMusicFile("/m/a.mp3|/m/b.mp3|", ""), "/m/a.mp3");
    EXPECT_EQ(music::NextMusicFile("/m/a.mp3|/m/b.mp3|", "/m/gone.mp3"), "/m/a.mp3");
    EXPECT_EQ(music::NextMusicFile("", "/m/a.mp3"), "");
    // A name inside a longer entry is not that entry.
    EXPECT_EQ(music::NextMusicFile("/m/a.mp3.bak|/m/a.mp3|/m/c.mp3|", "/m/a.mp3"), "/m/c.mp3");
    EXPECT_FALSE(music::ListHolds("/m/a.mp3.bak|", "/m/a.mp3"));
    EXPECT_TRUE(music::ListHolds("/m/a.mp3.bak|/m/a.mp3|", "/m/a.mp3"));
}

TEST_F(MelodrinTest, TheListPlaysInOrderAndWrapsAndTheCurrentFileIsAlwaysNamed) {
    setList({a_, b_}, b_);  // NotUseCD missing: the file list
    start();
    EXPECT_EQ(frame_->currentFile(), b_);
    EXPECT_TRUE(playing());
    // b ends: the first entry follows, then b again.
    EXPECT_TRUE(pumpUntil([&] { return current() == a_; }));
    EXPECT_TRUE(pumpUntil([&] { return current() == b_; }));
    EXPECT_EQ(command(4), music::kNoPlayer);  // an unknown command changes nothing
    EXPECT_TRUE(playing());
}

TEST_F(MelodrinTest, ACurrentFileNoLongerListedGivesWayToTheFirst) {
    setList({a_, b_}, (root_.path() / "gone.wav").string());
    start();
    EXPECT_EQ(current(), a_);
    EXPECT_EQ(frame_->currentFile(), a_);
}

TEST_F(MelodrinTest, AnEmptyListPlaysNothingAndThePlayerCountsAsGone) {
    setList({}, "");
    start();
    EXPECT_EQ(command(1), music::kNoPlayer);
}

TEST_F(MelodrinTest, PlaybackResumesOnlyWhereTheSameItemStopped) {
    // Long enough that the item cannot end and start again while a busy machine looks.
    WriteWav(long_, 6.0);
    setList({long_}, long_);
    WriteProfileInt(saver::kSettingsSection, "Resume", 1);
    saver::WriteStoredDouble("CurrentDuration", 6.0);
    saver::WriteStoredDouble("CurrentPosition", 3.0);
    start();
    // The seek lands as playback begins: at the stored place, not at the start.
    EXPECT_TRUE(pumpUntil([&] { return position() >= 2.99; }, 5)) << position();
    frame_.reset();

    saver::WriteStoredDouble("CurrentDuration", 9.0);  // another item was playing then
    start();
    ASSERT_TRUE(playing());
    EXPECT_LT(position(), 2.0);
}

TEST_F(MelodrinTest, PauseTwicePlaysOnFromTheSamePlace) {
    WriteWav(long_, 6.0);
    setList({long_}, long_);
    start();
    ASSERT_TRUE(playing());
    EXPECT_EQ(command(3), music::kDone);
    EXPECT_EQ(frame_->player()->State(), music::kPaused);
    const double paused = position();
    pumpUntil([] { return false; }, 1);  // a while passes
    EXPECT_NEAR(position(), paused, 0.01);
    EXPECT_EQ(command(3), music::kDone);
    EXPECT_EQ(frame_->player()->State(), music::kPlaying);
}

TEST_F(MelodrinTest, AFileThatCannotBePlayedIsSkippedOnceAndAListOfThemEndsQuietly) {
    setList({bad_, a_}, bad_);
    start();
    EXPECT_TRUE(playing());
    EXPECT_EQ(frame_->currentFile(), a_);
    EXPECT_EQ(command(1), music::kPlayerReady);
    frame_.reset();

    setList({bad_, bad_ + "2"}, bad_);
    start();
    EXPECT_TRUE(pumpUntil([&] { return command(1) == music::kNoPlayer; }));
    // Nothing keeps trying: the queue stays quiet.
    MSG message;
    pumpUntil([] { return false; }, 1);
    EXPECT_FALSE(PeekMessage(&message, nullptr, 0, 0, PM_REMOVE) && message.message != WM_TIMER);
}

TEST_F(MelodrinTest, EndingStoresThePositionAndDurationAsDoubles) {
    WriteWav(long_, 4.0);
    setList({long_}, long_);
    start();
    ASSERT_TRUE(playing());
    pumpUntil([] { return false; }, 1);
    EXPECT_EQ(command(99), music::kDone);
    const auto stored = saver::ReadStoredDouble("CurrentDuration");
    ASSERT_TRUE(stored);
    EXPECT_NEAR(*stored, 4.0, 0.01);
    ASSERT_TRUE(saver::ReadStoredDouble("CurrentPosition"));
    // The window closes after the command.
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(frame_->hwnd()); }, 5));
}

TEST_F(MelodrinTest, ItemsThatEndAtOnceDoNotKeepTheListGoingRound) {
    const std::string blip = (root_.path() / "blip.wav").string();
    WriteWav(blip, 0.01);
    setList({blip}, blip);
    start();
    ASSERT_TRUE(pumpUntil([&] { return frame_->resting(); }, 60));
    int playingSeen = 0;
    pumpUntil([&] {
        playingSeen += frame_->player()->State() == music::kPlaying;
        return false;
    }, 1);
    EXPECT_EQ(playingSeen, 0);
    EXPECT_EQ(command(1), music::kPlayerReady);  // resting, not gone: the next start plays again
}

TEST_F(MelodrinTest, ItAnswersAtOnceWhileAFileIsStillOpening) {
    // A named pipe nobody writes to: opening it waits until somebody does.
    const std::string pipe = (root_.path() / "slow.wav").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    setList({pipe, a_}, pipe);
    start();  // returned although the file is not open
    ASSERT_TRUE(frame_->player());
    EXPECT_TRUE(frame_->player()->opening());
    EXPECT_EQ(command(1), music::kPlayerReady);
    EXPECT_EQ(command(3), music::kDone);  // a pause asked for while it opens
    EXPECT_EQ(command(3), music::kDone);  // and taken back
    // The pipe ends without a sound in it: the next file plays.
    ::close(::open(pipe.c_str(), O_WRONLY));
    EXPECT_TRUE(playing());
    EXPECT_EQ(frame_->currentFile(), a_);
}

TEST_F(MelodrinTest, ASaverThatGoesWithoutClosingItEndsTheMusic) {
    RegisterClass("SaverStandIn", 0);
    HWND saverWindow = CreateWindowEx(0, "SaverStandIn", saver::kSaverTitle, WS_POPUP, 0, 0, 1, 1, nullptr, 0,
                                      [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
                                          return DefWindowProc(window, message, wParam, lParam);
                                      });
    WriteWav(long_, 8.0);
    setList({long_}, long_);
    start();
    ASSERT_TRUE(playing());
    pumpUntil([] { return false; }, 2);  // it has seen the saver
    ASSERT_TRUE(IsWindow(frame_->hwnd()));
    DestroyWindow(saverWindow);  // as a killed saver's window goes, without command 99
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(frame_->hwnd()); }, 10));
    EXPECT_NEAR(saver::ReadStoredDouble("CurrentDuration").value_or(0), 8.0, 0.01);  // where it stopped is kept
}

TEST_F(MelodrinTest, ACompanionNobodyTalksToClosesItself) {
    frame_ = std::make_unique<CMainFrame>();
    ASSERT_TRUE(frame_->Create());
    EXPECT_EQ(GetTimerPeriod(frame_->hwnd(), 1), 10000u);
    PostMessage(frame_->hwnd(), WM_TIMER, 1, 0);
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(frame_->hwnd()); }, 5));

    // A command claims it: the timer is gone.
    frame_ = std::make_unique<CMainFrame>();
    ASSERT_TRUE(frame_->Create());
    command(1);
    EXPECT_EQ(GetTimerPeriod(frame_->hwnd(), 1), 0u);
}
