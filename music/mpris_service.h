// Melodrin on the desktop's media controls: an MPRIS player (org.mpris.MediaPlayer2.melodrin on
// the session bus) while it plays, which GNOME's and Plasma's panels, playerctl and KDE Connect
// show and drive. Qt's D-Bus module (which the saver links already) runs the bus on a thread of its
// own with its own event loop, so nothing polls and the player's thread never waits on the bus.
// What the bus asks for becomes a music command posted to Melodrin's window, where every command
// is decided; the window tells the service what plays.
#pragma once

#include <memory>
#include <string>

#include "win_types.h"

class QThread;

namespace music {

// What the media controls show.
struct NowPlaying {
    enum class Status { Stopped, Paused, Playing };
    Status status = Status::Stopped;
    std::string title;
    std::string file;      // its path, shown as a file:// address
    double length = 0;     // seconds; 0 when unknown
    double position = 0;   // seconds, when this was told
    int item = 0;          // changes with every item opened
};

class MprisBus;

class MprisService {
public:
    // Nothing where there is no session bus, another Melodrin has the name, or the program has no
    // Qt application object.
    static std::unique_ptr<MprisService> Start(platform::HWND window);
    ~MprisService();
    MprisService(const MprisService&) = delete;
    MprisService& operator=(const MprisService&) = delete;

    // What plays now; a jump in the position of the same item is told as a seek.
    void update(const NowPlaying& now, bool seeked = false);

private:
    MprisService(std::unique_ptr<MprisBus> bus, std::unique_ptr<QThread> thread);
    std::unique_ptr<MprisBus> bus_;
    std::unique_ptr<QThread> thread_;  // the bus's
};

}  // namespace music
