#include "main_dialog.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "connectivity.h"
#include "icon_text_companion.h"
#include "idle_watcher_control.h"
#include "about_page.h"
#include "audio_page.h"
#include "browser_launcher.h"
#include "image_options_page.h"
#include "images_page.h"
#include "marquee_page.h"
#include "misc_page.h"
#include "transitions_page.h"
#include "wallpaper.h"
#include "wallpaper_page.h"
#include "link_bitmap_button.h"
#include "message_box.h"
#include "page_controls.h"
#include "programs.h"
#include "registry.h"
#include "string_table.h"

namespace config {

using namespace platform;

namespace {

constexpr const char* kOnlineCaption = "Kelvane Screen Saver - Status: Online";
constexpr const char* kOfflineCaption = "Kelvane Screen Saver - Status: Offline";

// The sheet's window: OK and Cancel go through the sheet's own handlers.
class SheetDialog : public QDialog {
public:
    std::function<void()> onOk;
    void accept() override {
        if (onOk) onOk();
    }
    void finishWithOk() { QDialog::accept(); }
};

}  // namespace

SheetOptions DesktopSheetOptions() {
    SheetOptions options;
    options.openUrl = [](const std::string& address) { return desktop::OpenUrlInBrowser(nullptr, address); };
    options.detectMusicPlayer = DetectMusicPlayer;
    options.removeWallpaper = desktop::RemoveWallpaper;
    return options;
}

CMainDialog::CMainDialog(saver::SaverApp& app, SheetOptions options) : app_(app) {
    // A service the caller leaves out is the desktop's own: no page is left without one.
    const SheetOptions desktop = DesktopSheetOptions();
    if (!options.openUrl) options.openUrl = desktop.openUrl;
    if (!options.removeWallpaper) options.removeWallpaper = desktop.removeWallpaper;
    if (!options.detectMusicPlayer) options.detectMusicPlayer = desktop.detectMusicPlayer;
    auto* dialog = new SheetDialog;
    dialog_.reset(dialog);
    dialog->onOk = [this] { OnOk(); };
    dialog_->setWindowTitle(QString::fromStdString(saver::LoadResourceString(saver::IDS_DESCRIPTION)));
    dialog_->setWindowIcon(ApplicationIcon());  // the caption's, and the taskbar's
    const SheetServices services{[this](const std::string& text) { SetCaption(text); },
                                 [this] { apply_->setEnabled(true); }};

    auto* layout = new QVBoxLayout(dialog_.get());
    tabs_ = new QTabWidget;
    tabs_->setObjectName("tabs");
    imagesPage_ = new CFilesPropPage(app_, services, options.openUrl);
    pages_ = {imagesPage_,
              new CImagePropDialog(services),
              new CTickerPropPage(app_.settings, services),
              new CTransitions(services),
              new CWallpaperPropPage(services, options.removeWallpaper),
              new CBackgroundPP(app_.settings, services, options.openUrl, options.detectMusicPlayer),
              new CMiscPP(app_.settings, services),
              new CAboutBox(services, options.openUrl)};
    for (SheetPage* page : pages_) tabs_->addTab(page, page->title());
    soundPage_ = std::make_unique<SheetPage>("Sound", services);
    layout->addWidget(tabs_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(desktop::LinkBitmapButton::kOkButtonName);
    ok->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("IDCANCEL");
    apply_ = buttons->button(QDialogButtonBox::Apply);
    apply_->setObjectName("ID_APPLY_NOW");
    apply_->setText("&Apply");
    apply_->setEnabled(false);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog_.get(), &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog_.get(), &QDialog::reject);
    QObject::connect(apply_, &QPushButton::clicked, dialog_.get(), [this] { OnApply(); });
    auto* preview = new QPushButton("&Preview");
    preview->setObjectName("102");
    preview->setAutoDefault(false);
    QObject::connect(preview, &QPushButton::clicked, dialog_.get(), [this] { OnPreview(); });

    // The foot: Preview, the link to the maker's site, then OK, Cancel and Apply.
    auto* foot = new QHBoxLayout;
    foot->addWidget(preview);
    foot->addSpacing(12);
    foot->addWidget(new desktop::LinkBitmapButton(dialog_.get()));
    foot->addStretch();
    foot->addWidget(buttons);
    layout->addLayout(foot);

    statusTimer_ = std::make_unique<QTimer>();
    statusTimer_->setInterval(1000);
    QObject::connect(statusTimer_.get(), &QTimer::timeout, [this] { OnStatusTimer(); });
    const UINT webcamUpdate = RegisterWindowMessage("WebcamUpdate");
    messages_ = std::make_unique<MessageWindow>("KelvaneSheet", [this, webcamUpdate](UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == webcamUpdate) imagesPage_->Reload();
        return 0;
    });
}

CMainDialog::~CMainDialog() = default;

void CMainDialog::SettingsToSheet(const saver::SaverSettings& settings) {
    for (SheetPage* page : pages_) page->SettingsToPage(settings);
}

void CMainDialog::SettingsFromSheet(saver::SaverSettings& settings) {
    for (SheetPage* page : pages_) page->SettingsFromPage(settings);
}

void CMainDialog::InitialisePages() {
    if (const auto setAside = TakeSetAsideRegistryFile()) {
        const std::string text = "Some of your settings could not be read. Those that could are kept; the others are back "
                                 "to their defaults.\nThe settings file as it was is kept in " + setAside->string() + ".";
        MessageBox(nullptr, text.c_str(), kSheetMessageTitle, MB_ICONEXCLAMATION);
    }
    for (SheetPage* page : pages_) page->Initialise();
    apply_->setEnabled(false);
    statusTimer_->start();
}

bool CMainDialog::DoModal() {
    InitialisePages();
    CentreOnPrimaryScreen();
    const bool ok = dialog_->exec() == QDialog::Accepted;
    statusTimer_->stop();
    return ok;
}

bool CMainDialog::ApplyChanges() {
    for (SheetPage* page : pages_)
        if (!page->Validate()) {
            tabs_->setCurrentWidget(page);
            return false;
        }
    const bool startedWhenIdle = app_.settings.StartWhenIdle != 0;
    SettingsFromSheet(app_.settings);
    if (!saver::SaveSettings(app_.settings)) {
        // The sheet stays open with everything typed in it, so the person can make room and try again.
        const std::string text = "Your settings could not be saved to " + RegistryFilePath(HKEY_CURRENT_USER).string() +
                                 ".\nThe disk may be full or the folder read-only. The settings stay as they were "
                                 "before; free some space or make the folder writable and press OK again.";
        MessageBox(nullptr, text.c_str(), kSheetMessageTitle, MB_ICONSTOP);
        return false;
    }
    desktop::ApplyIconTextSetting(app_.settings.WallMode, app_.settings.CheckTransIcon);
    // A watcher started by hand is left alone unless the box is ticked or was until now.
    if (startedWhenIdle || app_.settings.StartWhenIdle) idle::ApplyStartWhenIdle(app_.settings.StartWhenIdle != 0);
    return true;
}

void CMainDialog::OnOk() {
    // An update started from the Images page stops; when a page refuses its values the sheet
    // stays, and a cancel the user had asked for before still holds.
    const int cancelBefore = app_.fetch.CancelRequested.exchange(1);
    if (!ApplyChanges()) {
        app_.fetch.CancelRequested = cancelBefore;
        return;
    }
    static_cast<SheetDialog*>(dialog_.get())->finishWithOk();
}

void CMainDialog::OnApply() {
    if (!ApplyChanges()) return;
    apply_->setEnabled(false);
}

void CMainDialog::OnPreview() {
    if (!ApplyChanges()) return;
    apply_->setEnabled(false);
    WinExec("Kelvane Screen Saver.scr /s", SW_SHOWNORMAL);
}

void CMainDialog::OnStatusTimer() {
    if (app_.fetch.FetchBusy) return;  // the fetch's own texts stay
    SetCaption(IsOnline() ? kOnlineCaption : kOfflineCaption);
}

void CMainDialog::CentreOnPrimaryScreen() {
    // Without a parent, Qt would centre the sheet on the monitor under the pointer.
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) return;
    dialog_->adjustSize();
    QRect frame(QPoint(0, 0), dialog_->size());
    frame.moveCenter(primary->availableGeometry().center());
    dialog_->move(frame.topLeft());
}

void CMainDialog::SetCaption(const std::string& text) { dialog_->setWindowTitle(QString::fromStdString(text)); }

std::unique_ptr<saver::ConfigurationSheet> MakeConfigurationSheet(saver::SaverApp& app) {
    return std::make_unique<CMainDialog>(app);
}

}  // namespace config
