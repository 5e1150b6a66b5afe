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
    // then calls TakeStopped(). Nothing works (valid() false) when libmpv could not start.
    MediaPlayer(platform::HWND window, platform::UINT message);
    ~MediaPlayer();
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    bool valid() const { return handle_ != nullptr; }
    // Opens the file, paused at its start ("CDAUDIO:" is the first CD drive). False when it
    // cannot be played.
    bool SetFile(const std::string& path);
    std::optional<double> Position() const;
    bool SetPosition(double seconds);
    std::optional<double> Duration() const;
    bool Play();
    bool Pause();
    bool Stop();
    PlayState State() const;
    // True once for every time playback stopped (an item ended or failed, or Stop was asked)
    // since the last call; reads what the player reported.
    int TakeStopped();

private:
    const std::pair<platform::HWND, platform::UINT> wakeup_;
    mpv_handle* handle_ = nullptr;
    int stopsAsked_ = 0;
    bool loaded_ = false;
};

// "CDAUDIO:" as the player knows the CD; any other name as it stands.
std::string PlayerAddress(const std::string& fileName);

}  // namespace music
