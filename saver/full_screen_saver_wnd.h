// The full-screen form of the saver window: hides the cursor, ends on input, offers a few keys,
// and on the Windows 95 family asks for the screen-saver password before it closes.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "end_lock.h"
#include "monitor_covers.h"
#include "saver_wnd.h"
#include "system_services.h"

namespace saver {

using platform::BOOL;
using platform::DWORD;
using platform::HMODULE;
using platform::HWND;
using platform::LPARAM;
using platform::LRESULT;

class FullScreenSaverWnd : public SaverWnd {
public:
    explicit FullScreenSaverWnd(SaverApp& app);
    ~FullScreenSaverWnd() override;

    // Full screen, top-most, titled "Kelvane Screen Saver".
    bool Create();

    BOOL VerifyPassword();
    void LoadPasswordHook();
    void UnloadPasswordHook();

    bool closing() const { return closing_; }
    bool dialogInProgress() const { return dialogInProgress_; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;
    bool passwordDialogOpen() const override { return dialogInProgress_; }
    void PictureStored(const std::string& name) override;
    std::vector<std::string> OtherShownSources() const override;

private:
    LRESULT OnKeyDown(UINT key, WPARAM wParam, LPARAM lParam);
    void OnMouseMove();
    void PostClose();

    bool onWindows95_ = false;
    HMODULE passwordLibrary_ = nullptr;
    std::function<BOOL(HWND)> verifyRoutine_;
    bool closing_ = false;
    bool dialogInProgress_ = false;
    std::optional<DWORD> lastVerification_;
    std::optional<POINT> mouseReference_;
    std::unique_ptr<MonitorCovers> covers_;
    std::unique_ptr<EndLock> endLock_;  // none as a daemon's hack: the daemon locks
};

}  // namespace saver
