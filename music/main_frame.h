// Melodrin's hidden main window: it answers the music commands, plays the music list (or the
// audio CD) round and round, and keeps the saver's settings informed of what plays and where.
#pragma once

#include <memory>
#include <string>

#include "media_player.h"
#include "mpris_service.h"
#include "win_types.h"

namespace music {

constexpr const char* kMainWindowClass = "MelodrinMain";

// Replies to MSG_MUSIC_COMMAND.
constexpr platform::LRESULT kPlayerReady = 10;
constexpr platform::LRESULT kNoPlayer = 20;
constexpr platform::LRESULT kDone = 666;

class CMainFrame {
public:
    CMainFrame();
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Creates the hidden window titled "Melodrin" and the player; false when the window cannot be.
    bool Create();
    platform::HWND hwnd() const { return hwnd_; }

    // Every command decided in one place, whoever sends it: the saver (its keys, its end) or the
    // desktop's media controls. `argument` is the seek's milliseconds.
    platform::LRESULT OnMusicCommand(platform::WPARAM command, platform::LPARAM argument = 0);
    // Starts opening the item to play (the stored current file, resumed where it stopped); the
    // window's thread never waits for a file to open: it plays once the player says it is open.
    void StartPlayback();
    void AdvanceToNextFile();
    void SavePlaybackPosition();
    // The player stopped (broke off with an error when failed): the next file of the list, or
    // the CD from its start.
    void OnStopped(bool failed = false);

    bool hasPlayer() const { return player_ && player_->valid(); }
    // Playback rests after items that ended at once, one after the other, until started again.
    bool resting() const { return quickEnds_ >= kQuickEndsBeforeRest; }
    const std::string& currentFile() const { return currentFile_; }
    MediaPlayer* player() { return hasPlayer() ? player_.get() : nullptr; }

private:
    // What happens once the item being opened is open, and when it cannot be.
    struct Opening {
        bool resume = false;           // seek to the stored position when it is the item that was playing
        int nextFilesToTry = 0;        // on failure, move on through the list this many times
        bool loseOnFailure = false;    // and when none opens, the player counts as gone
    };

    platform::LRESULT WindowProc(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam);
    // Starts opening an item; a failure to start is handled as a failure to open.
    void Open(const std::string& path, Opening opening);
    void OnOpened();
    void OnOpenFailed();
    void OnPlayerNews();
    // The saver that claimed this companion is gone without closing it: it closes itself.
    void WatchTheSaver();
    void LosePlayer();
    void PauseOnly();
    void ResumeOnly();
    void PlayNextFile();
    // Tells the media controls what plays now.
    void Publish(bool seeked = false);

    platform::HWND hwnd_ = nullptr;
    std::unique_ptr<MediaPlayer> player_;
    std::string currentFile_;
    std::string playList_;
    Opening opening_;
    int paused_ = 0;
    bool claimed_ = false;
    bool sawSaver_ = false;
    // Items that end at once, one after the other (no sound device, nothing audible in them)
    // would have the list go round without rest: after a few, playback rests instead.
    static constexpr int kQuickEndsBeforeRest = 5;
    bool shortItem_ = false;  // the item playing has almost nothing to play
    int quickEnds_ = 0;
    std::unique_ptr<MprisService> mpris_;  // on the media controls once playback started
    int item_ = 0;                          // items opened so far
};

}  // namespace music
