// The picture window: the slide show runs in it, alone as the preview or as the base of the
// full-screen saver window.
#pragma once

#include "gdi.h"
#include "settings.h"
#include "win_types.h"

namespace saver {

using namespace platform;

class SaverApp;

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

protected:
    // Creates the window with the given class and title; the full-screen form uses its own.
    bool CreateNamed(const char* className, UINT classStyle, const char* title, DWORD exStyle, DWORD style,
                     const RECT& rect, HWND parent, int controlId);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void PostNcDestroy();

    int OnCreate();
    BOOL OnEraseBkgnd(HDC dc);
    void OnPaint();
    void OnDestroy();

private:
    void FillPictureArea(HDC dc);

    SaverApp& app_;
    HWND hwnd_ = nullptr;
    bool autoDelete_ = false;
    bool preview_ = false;
    bool firstPaint_ = true;
    COLORREF backColor_ = 0;
    UniqueBrush backgroundBrush_;
    RECT desktopRect_{};
    RECT pictureArea_{};
};

}  // namespace saver
