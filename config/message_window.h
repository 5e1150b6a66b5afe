// A hidden window of the program's own kind, so a Qt page can receive the messages the rest of
// the program posts (a fetch's progress, a request to update).
#pragma once

#include <functional>

#include "windows.h"

namespace config {

class MessageWindow {
public:
    using Handler = std::function<platform::LRESULT(platform::UINT, platform::WPARAM, platform::LPARAM)>;

    MessageWindow(const char* className, Handler handler) : handler_(std::move(handler)) {
        platform::RegisterClass(className, 0);
        hwnd_ = platform::CreateWindowEx(0, className, "", 0, 0, 0, 0, 0, nullptr, 0,
                                         [this](platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                                platform::LPARAM lParam) -> platform::LRESULT {
                                             if (window == hwnd_ && handler_) return handler_(message, wParam, lParam);
                                             return platform::DefWindowProc(window, message, wParam, lParam);
                                         });
    }
    ~MessageWindow() {
        if (hwnd_) platform::DestroyWindow(hwnd_);
    }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    platform::HWND hwnd() const { return hwnd_; }

private:
    Handler handler_;
    platform::HWND hwnd_ = nullptr;
};

}  // namespace config
