// The display without a screen: windows keep their pixels; a screenshot composes them.
#pragma once

#include "display_backend.h"
#include "surface.h"

namespace platform {

class HeadlessDisplay : public DisplayBackend {
public:
    HeadlessDisplay(int width = 1024, int height = 768, int depth = 32);

    bool isHeadless() const override { return true; }
    RECT screenRect() const override { return RECT{0, 0, width_, height_}; }
    int depth() const override { return depth_; }
    POINT cursorPos() const override { return cursor_; }
    void setCursorPos(POINT point) override { cursor_ = point; }
    void cursorVisibilityChanged(bool visible) override { cursorVisible_ = visible; }
    bool cursorVisible() const { return cursorVisible_; }
    bool screenshot(const std::filesystem::path& file) override;

private:
    int width_, height_, depth_;
    POINT cursor_{};
    bool cursorVisible_ = true;
};

// Composes the visible windows that own surfaces into one screen-sized surface.
Surface ComposeScreen(const RECT& screen);

}  // namespace platform
