// A saver window on a headless screen of its own, on the virtual clock, with a private root whose
// images folder holds two pictures.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "clock.h"
#include "connectivity.h"
#include "headless_display.h"
#include "message_pump.h"
#include "picture_writers.h"
#include "profile.h"
#include "saver_app.h"
#include "saver_messages.h"
#include "saver_wnd.h"
#include "temp_root.h"
#include "windows.h"

namespace saver {

using platform::Clock;
using platform::CreateWindowEx;
using platform::DestroyWindow;
using platform::DispatchMessage;
using platform::HWND;
using platform::HeadlessDisplay;
using platform::LPARAM;
using platform::LRESULT;
using platform::MSG;
using platform::PM_REMOVE;
using platform::PeekMessage;
using platform::RegisterClass;
using platform::SetDisplay;
using platform::SetOnlineOverride;
using platform::UINT;
using platform::WPARAM;
using platform::WS_POPUP;
using platform::WS_VISIBLE;
using platform::WriteProfileInt;
using platform::WriteProfileString;

using picture_writers::Rgb;

// A window titled as the music companion's, writing down the commands it gets; it answers the
// query (command 1) with 10, "usable".
class MusicCompanionStandIn {
public:
    MusicCompanionStandIn() {
        RegisterClass("MusicStandIn", 0);
        window_ = CreateWindowEx(0, "MusicStandIn", "Melodrin", WS_POPUP, 0, 0, 1, 1, nullptr, 0,
                                 [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                                     if (message != MSG_MUSIC_COMMAND) return DefWindowProc(window, message, wParam, lParam);
                                     commands.push_back(int(wParam));
                                     return wParam == 1 ? 10 : 0;
                                 });
    }
    ~MusicCompanionStandIn() { DestroyWindow(window_); }

    std::vector<int> commands;

private:
    HWND window_ = nullptr;
};

class SaverWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::instance().setVirtual(true);
        SetDisplay(std::make_unique<HeadlessDisplay>(screenWidth_, screenHeight_));
        SetOnlineOverride(false);
        testing_support::DrainQueue();
        UseSaverRegistryKey();
        images_ = root_.path() / "data" / "images";
        std::filesystem::create_directories(images_);
        picture("Harbour.JPG", 320, 240, {200, 0, 0});
        picture("Bridge.JPG", 160, 100, {0, 200, 0});
        set("ShowTicker", 0);
        set("EnableTransitionEffect", 0);
    }
    void TearDown() override {
        if (window_) DestroyWindow(window_->hwnd());
        window_.reset();
        testing_support::DrainQueue();
        SetOnlineOverride(std::nullopt);
        SetDisplay(nullptr);
        Clock::instance().setVirtual(false);
    }

    void picture(const std::string& name, int width, int height, Rgb colour) {
        picture_writers::TruePicture flat{width, height, std::vector<Rgb>(size_t(width) * size_t(height), colour)};
        picture_writers::WriteFile(images_ / name, picture_writers::JpegFile(flat));
    }
    static void set(const char* name, int value) { WriteProfileInt(kSettingsSection, name, value); }
    static void set(const char* name, const std::string& value) { WriteProfileString(kSettingsSection, name, value); }

    static std::string Source(const std::string& name, const std::string& type, const char* selected = "1") {
        return name + "|http://127.0.0.1:1/" + name + "|??:??|Unknown|" + type + "|" + selected + "|||0|";
    }

    // A full-screen-sized picture window (the saver window without its input rules).
    SaverWnd& start() { return start(RECT{0, 0, screenWidth_, screenHeight_}); }
    SaverWnd& start(const RECT& rect) {
        window_ = std::make_unique<SaverWnd>(app_);
        EXPECT_TRUE(window_->Create(0, WS_POPUP | WS_VISIBLE, rect, nullptr, 0));
        MSG message;
        while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&message);
        return *window_;
    }

    int screenWidth_ = 640, screenHeight_ = 480;
    testing_support::TempRoot root_;
    std::filesystem::path images_;
    SaverApp app_;
    std::unique_ptr<SaverWnd> window_;
};


}  // namespace saver
