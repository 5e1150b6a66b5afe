// The picture window: the slide show runs in it, alone as the preview or as the base of the
// full-screen saver window.
#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "gdi.h"
#include "image_file.h"
#include "image_fetcher.h"
#include "marquee_strip.h"
#include "placement.h"
#include "settings.h"
#include "text.h"
#include "transitions.h"
#include "update_cycle.h"
#include "win_types.h"

namespace saver {

using platform::BOOL;
using platform::COLORREF;
using platform::DWORD;
using platform::Font;
using platform::HBITMAP;
using platform::HDC;
using platform::HGDIOBJ;
using platform::HWND;
using platform::LPARAM;
using platform::LRESULT;
using platform::UINT;
using platform::SelectedBitmap;
using platform::UniqueBrush;
using platform::UniqueMemoryDC;
using platform::WPARAM;

class SaverApp;

// Timer identifiers.
constexpr std::uintptr_t kMoveTimer = 1;
constexpr std::uintptr_t kChangeTimer = 2;
constexpr std::uintptr_t kUpdateTimer = 3;
constexpr std::uintptr_t kMarqueeTimer = 4;

constexpr int kWallpaperOnClose = 1;
constexpr int kWallpaperOnKey = 2;

class SaverWnd {
public:
    explicit SaverWnd(SaverApp& app);
    virtual ~SaverWnd();
    SaverWnd(const SaverWnd&) = delete;
    SaverWnd& operator=(const SaverWnd&) = delete;

    // Registers the window class once per process and creates the window with an empty title.
    bool Create(DWORD exStyle, DWORD style, const RECT& rect, HWND parent, int controlId);

    HWND hwnd() const { return hwnd_; }
    bool isPreview() const { return preview_; }
    SaverApp& app() { return app_; }
    const SaverSettings& settings() const;

    // The window object deletes itself after its window is gone.
    void setAutoDelete(bool autoDelete) { autoDelete_ = autoDelete; }

    // The slide show (public for the tests that drive it).
    int NextPicture();
    int LoadPicture(const std::string& path);
    void DrawPicture(HDC dc, bool withEffect);
    int ReloadCurrentPicture();
    // The fallback card stands in for the current source's own picture, not fetched yet: it is
    // shown and taken away without an effect, so that the real picture comes at once.
    bool ShowsPlaceholder() const;
    void MoveStep();
    // A text dump of the window's state, for the harness's state action.
    std::string StateText() const;

    int effectNumber() const { return effect_; }
    bool loaded() const { return loaded_; }
    ShownSize shownSize() const { return shown_; }
    POINT position() const { return position_; }
    const RECT& pictureArea() const { return area_; }
    int stripHeight() const { return marqueeShown_ ? marquee_.height() : 0; }

    // The marquee (public for the tests that drive it): composes the line; 0 when a composition
    // runs already.
    int BuildMarqueeText();
    void StepMarquee(bool forceRedraw, bool recompose);
    // A notice the marquee leads with until replaced (an empty one ends it).
    void SetMarqueeNotice(const std::string& notice);
    const std::string& marqueeText() const { return marqueeText_; }
    int marqueeX() const { return marquee_.x(); }
    int marqueeTextWidth() const { return marquee_.textWidth(); }

    // Leaves the picture on the desktop as wallpaper when the settings ask for it on this
    // trigger: kWallpaperOnClose or kWallpaperOnKey. 1 when the wallpaper was written.
    int SetImageAsWallpaper(int trigger);

protected:
    // Creates the window with the given class and title; the full-screen form uses its own.
    bool CreateNamed(const char* className, UINT classStyle, const char* title, DWORD exStyle, DWORD style,
                     const RECT& rect, HWND parent, int controlId);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void PostNcDestroy();
    // A source's new picture was stored; the full-screen form shows it on other monitors too.
    virtual void PictureStored(const std::string&) {}
    // The sources other monitors show, which the update cycle keeps fresh too.
    virtual std::vector<std::string> OtherShownSources() const { return {}; }
    // The full-screen form has a password dialog; while it is open the pictures stay.
    virtual bool passwordDialogOpen() const { return false; }

    int OnCreate();
    BOOL OnEraseBkgnd(HDC dc);
    // The window has a new size (a host window or the screen changed): the picture area, the
    // marquee strip and the picture's size and place follow, and the whole window is redrawn.
    void OnSize();
    void OnPaint();
    void OnTimer(std::uintptr_t id);
    // False while a transition runs; else a picture that came during one is loaded first.
    bool ReadyToDraw();
    // The next source's picture, the marquee's strip cleared for it.
    void ShowNextPicture();
    void OnDestroy();

private:
    // The desktop rectangle less the marquee strip, the marquee laid out along it, and the
    // picture area as the whole client area (the caller takes the strip off it).
    void LayOut();
    void PrepareScaledBitmap();
    // Fills the marquee strip with the background.
    void ClearMarqueeStrip();
    // Every 31st marquee tick: the download manager's state into the cached text.
    void PollGetRight();
    void ShowStatusText(HDC dc, const char* text);
    void ShowWallpaperNotice();
    // A length in pixels on a 96-dpi screen, in pixels of this screen.
    static int ForScreen(int pixelsAt96Dpi);
    void SendMusicCommand(WPARAM command, bool post);
    // Every change of the picture object goes through here.
    void ReplacePicture(std::unique_ptr<imaging::CImageFile> next);
    void ForgetPicture();
    imaging::TransitionView& View();

    SaverApp& app_;
    HWND hwnd_ = nullptr;
    bool autoDelete_ = false;
    bool preview_ = false;
    bool firstPaint_ = true;
    bool reloadAfterEffect_ = false;
    bool drawnByErase_ = false;  // the background erase of the paint under way drew the picture  // the current source's new picture came during an effect
    bool loaded_ = false;
    bool marqueeShown_ = false;
    bool musicWanted_ = false;
    COLORREF backColor_ = 0;
    UniqueBrush backgroundBrush_;
    std::unique_ptr<Font> marqueeFont_;
    std::unique_ptr<Font> noticeFont_;  // the status and wallpaper notices, sized for the screen
    UniqueMemoryDC memory_;
    SelectedBitmap scaledBitmap_;  // the picture at its shown size, in memory_
    std::unique_ptr<imaging::CImageFile> picture_;
    bool qualityStretch_ = false;
    ShownSize shown_, previousShown_;
    POINT position_{}, previousPosition_{};
    FloatMotion motion_;
    MovePace movePace_;
    int effect_ = 0;
    RECT desktop_{};
    RECT area_{};
    MarqueeStrip marquee_;
    bool marqueeStill_ = false;
    std::string marqueeText_, previousMarqueeText_;
    std::string marqueeNotice_;
    bool composing_ = false;
    std::string getRightText_, previousGetRightText_;
    bool getRightQuerying_ = false;
    int getRightTicks_ = 0;
    DWORD ddeInstance_ = 0;
    unsigned changePeriodMs_ = 0;
    std::uintptr_t timers_[5] = {};
    imaging::TransitionView view_;
    std::unique_ptr<sources::CImageFetcher> fetcher_;
    std::unique_ptr<sources::UpdateCycle> cycle_;
    std::time_t startTime_ = 0;
};

}  // namespace saver
