// One monitor beside the primary while the full-screen saver runs: a window covering it that
// shows the selected sources' pictures in turn, placed and moved as the settings say (or only the
// background colour, when the other monitors are to be blank). What a person does on it, they do
// to the saver.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "gdi.h"
#include "image_file.h"
#include "placement.h"
#include "settings.h"
#include "win_types.h"

namespace saver {

class MonitorSlideShow {
public:
    // source: the first source shown ("" when none is selected: the card that says so); nothing
    // for a blank monitor.
    MonitorSlideShow(platform::HWND saver, const SaverSettings& settings, const platform::RECT& monitor,
                     std::optional<std::string> source);
    ~MonitorSlideShow();
    MonitorSlideShow(const MonitorSlideShow&) = delete;
    MonitorSlideShow& operator=(const MonitorSlideShow&) = delete;

    // The source shown; nothing on a blank monitor.
    const std::optional<std::string>& source() const { return source_; }
    // A source's picture was stored anew: shown again when it is this monitor's.
    void PictureStored(const std::string& name);

private:
    platform::LRESULT WindowProc(platform::HWND hwnd, platform::UINT message, platform::WPARAM wParam,
                                 platform::LPARAM lParam);
    // The source's picture (the fallback card when it has none), scaled to its shown size.
    void Load();
    void ForgetPalette();
    void DrawAll();
    void Move();
    void Next();

    platform::HWND saver_;
    const SaverSettings& settings_;
    std::optional<std::string> source_;
    platform::HWND window_ = nullptr;
    platform::UniqueBrush background_;
    platform::UniqueMemoryDC memory_;
    platform::SelectedBitmap scaled_;
    std::unique_ptr<imaging::CImageFile> picture_;
    ShownSize shown_;
    POINT position_{};
    FloatMotion motion_;
    MovePace movePace_;
    platform::RECT area_{};
};

}  // namespace saver
