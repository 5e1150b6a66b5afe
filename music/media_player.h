// The music companion's player: one file (or the audio CD) at a time on libmpv, audio only,
// driven from the program's one thread. Its end of an item arrives as a window message.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "win_types.h"

struct mpv_handle;

namespace music {

// Play states as the companion reports them.
enum PlayState { kStopped = 0, kPaused = 1, kPlaying = 2 };

class MediaPlayer {
public:
    // Tells `window` with `message` whenever the player has something to report; the window
    // then calls TakeNews(). Nothing works (valid() false) when libmpv could not start.
    MediaPlayer(platform::HWND window, platform::UINT message);
    ~MediaPlayer();
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    bool valid() const { return handle_ != nullptr; }
    // Starts opening the file, paused at its start ("CDAUDIO:" is the first CD drive), and
    // returns at once: whether it opened arrives with TakeNews(). False when it cannot even start.
    bool Open(const std::string& path);
    // Gives up a file that is still opening; its failure arrives with TakeNews().
    void AbandonOpening();
    bool opening() const { return opening_; }
    bool loaded() const { return loaded_; }
    std::optional<double> Position() const;
    bool SetPosition(double seconds);
    std::optional<double> Duration() const;
    // The item's title from its tags, else its file name; empty when nothing is open.
    std::string Title() const;
    bool Play();
    bool Pause();
    bool Stop();
    PlayState State() const;
    // What the player reported since the last call.
    struct News {
        bool opened = false;      // the file asked for is open, paused at its start
        bool openFailed = false;  // it cannot be played
        int stopped = 0;          // times playback of an open item stopped (ended, failed, or Stop)
        int failed = 0;           // of those, the times it broke off with an error
    };
    News TakeNews();

private:
    const std::pair<platform::HWND, platform::UINT> wakeup_;
    mpv_handle* handle_ = nullptr;
    int stopsAsked_ = 0;
    bool loaded_ = false;
    bool opening_ = false;
    bool abandoned_ = false;  // an open given up: its end is the failure to report
};

// "CDAUDIO:" as the player knows the CD; any other name as it stands.
std::string PlayerAddress(const std::string& fileName);

}  // namespace music
