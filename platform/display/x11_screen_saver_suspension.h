// Keeps the X server's own screen saver (its blanking, or its pattern under `xset s noblank`) off
// the saver's full-screen window: the server's saver is suspended while an object lives, as video
// players do, and one that is already on (it may be what started us) is turned off.
#pragma once

#include <memory>

namespace platform {

class X11ScreenSaverSuspension {
public:
    // Null when there is no X server or it lacks the screen-saver extension.
    static std::unique_ptr<X11ScreenSaverSuspension> Begin();
    ~X11ScreenSaverSuspension();
    X11ScreenSaverSuspension(const X11ScreenSaverSuspension&) = delete;
    X11ScreenSaverSuspension& operator=(const X11ScreenSaverSuspension&) = delete;

    // Turns the server's saver off and restarts its idle count, as input would.
    void reset();

private:
    explicit X11ScreenSaverSuspension(void* display) : display_(display) {}
    void* display_;  // ::Display*, its own connection: a suspension lasts as long as the connection
};

}  // namespace platform
