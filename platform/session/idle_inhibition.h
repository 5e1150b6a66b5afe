// An inhibition of the desktop's idle actions (its screen lock, its blanking) held on the session
// bus through org.freedesktop.ScreenSaver, as video players hold one; taken back when dropped, and
// by the bus when the program ends.
#pragma once

#include <memory>
#include <string>

namespace platform {

class IdleInhibition {
public:
    // Nothing where no program answers org.freedesktop.ScreenSaver.
    static std::unique_ptr<IdleInhibition> Hold(const std::string& reason);
    ~IdleInhibition();
    IdleInhibition(const IdleInhibition&) = delete;
    IdleInhibition& operator=(const IdleInhibition&) = delete;

private:
    explicit IdleInhibition(unsigned cookie) : cookie_(cookie) {}
    unsigned cookie_;
};

}  // namespace platform
