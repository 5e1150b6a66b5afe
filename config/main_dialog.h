// The configuration sheet shown in configure mode: eight tabbed pages, "Preview", the link button,
// OK / Cancel / Apply, and the connection state in its caption.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <memory>
#include <vector>

#include "message_window.h"
#include "saver_app.h"
#include "sheet_page.h"

class QPushButton;
class QTabWidget;
class QTimer;

namespace config {

class CFilesPropPage;

// The tab titles, in their order.
constexpr const char* kTabTitles[] = {"Images", "Image Options", "Marquee", "Transitions",
                                      "Wallpaper", "Audio",         "Misc.",   "About"};

// What the sheet reaches outside the program through; tests put stand-ins here.
struct SheetOptions {
    std::function<int(const std::string&)> openUrl;  // 1 when a browser started
    std::function<int()> removeWallpaper;            // 1 when the saver's wallpaper was removed
    std::function<bool()> detectMusicPlayer;
};
SheetOptions DesktopSheetOptions();

class CMainDialog : public saver::ConfigurationSheet {
public:
    explicit CMainDialog(saver::SaverApp& app, SheetOptions options = DesktopSheetOptions());
    ~CMainDialog() override;

    void SettingsToSheet(const saver::SaverSettings& settings) override;
    void SettingsFromSheet(saver::SaverSettings& settings) override;
    bool DoModal() override;

    // What the sheet does before it shows: the pages take their data, the timer starts.
    void InitialisePages();
    // The handlers of the sheet's buttons and of its one-second timer.
    void OnOk();
    void OnApply();
    void OnPreview();
    void OnStatusTimer();

    QDialog& dialog() { return *dialog_; }
    CFilesPropPage& imagesPage() { return *imagesPage_; }

private:
    void CentreOnPrimaryScreen();
    bool ApplyChanges();
    void SetCaption(const std::string& text);

    saver::SaverApp& app_;
    std::unique_ptr<QDialog> dialog_;
    QTabWidget* tabs_ = nullptr;
    QPushButton* apply_ = nullptr;
    CFilesPropPage* imagesPage_ = nullptr;
    std::vector<SheetPage*> pages_;  // in tab order
    // The Sound page exists but is never part of the sheet.
    std::unique_ptr<SheetPage> soundPage_;
    std::unique_ptr<QTimer> statusTimer_;
    std::unique_ptr<MessageWindow> messages_;
};

std::unique_ptr<saver::ConfigurationSheet> MakeConfigurationSheet(saver::SaverApp& app);

}  // namespace config
