// Whether a program asks that the screen stay awake now (a film, a presentation), wherever the
// session keeps those requests.
#pragma once

#include <functional>

namespace platform {

class SessionInhibitions {
public:
    virtual ~SessionInhibitions() = default;
    virtual bool inhibited() const = 0;
    // Called when the last inhibition ends.
    virtual void whenReleased(std::function<void()> released) = 0;
};

}  // namespace platform
