#include "wallpaper_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "message_box.h"
#include "os_platform.h"

namespace config {

CWallpaperPropPage::CWallpaperPropPage(SheetServices services, std::function<int()> removeWallpaper)
    : SheetPage("Wallpaper", std::move(services)), removeWallpaper_(std::move(removeWallpaper)) {
    auto* layout = new QGridLayout(this);
    layout->addWidget(IntroText("Your screen saver image may be used as a desktop wallpaper."), 0, 0, 1, 2);
    mode_ = std::make_unique<RadioChoice>(std::vector<QRadioButton*>{
        RadioButton("&Do not set my wallpaper", "1097"), RadioButton("&Use last screen saver image as wallpaper", "1098"),
        RadioButton("Press &F5 while screen saver is running to set the current image as wallpaper", "1099")});
    for (int i = 0; i < 3; ++i) layout->addWidget(mode_->buttons()[size_t(i)], 1 + i, 0, 1, 2);

    size_ = std::make_unique<RadioChoice>(std::vector<QRadioButton*>{RadioButton("&Keep Original Image Size", "1092"),
                                                                      RadioButton("&Stretch Image to Fit Desktop", "1093")});
    sizeBox_ = new QGroupBox("Wallpaper Size");
    sizeBox_->setObjectName("1091");
    auto* sizeLayout = new QVBoxLayout(sizeBox_);
    for (QRadioButton* button : size_->buttons()) sizeLayout->addWidget(button);
    display_ = std::make_unique<RadioChoice>(std::vector<QRadioButton*>{RadioButton("&Centered", "1095"), RadioButton("&Tiled", "1096")});
    displayBox_ = new QGroupBox("Display");
    displayBox_->setObjectName("1094");
    auto* displayLayout = new QVBoxLayout(displayBox_);
    for (QRadioButton* button : display_->buttons()) displayLayout->addWidget(button);
    layout->addWidget(sizeBox_, 4, 0);
    layout->addWidget(displayBox_, 4, 1);
    transparentIcons_ = CheckBox("&Make Icon Text Background Transparent", "1100");
    layout->addWidget(transparentIcons_, 5, 0, 1, 2);
    auto* remove = PushButton("&Remove Wallpaper", "1105");
    layout->addWidget(remove, 6, 0);
    note_ = Label("*Note: Settings will come into effect the next time the screen saver is activated.", "1101");
    note_->setWordWrap(true);
    layout->addWidget(note_, 7, 0, 1, 2);
    layout->setRowStretch(8, 1);

    for (RadioChoice* choice : {mode_.get(), size_.get(), display_.get()})
        choice->onClicked([this] {
            SetModified();
            ApplyEnablingRules();
        });
    QObject::connect(transparentIcons_, &QCheckBox::clicked, this, [this] {
        SetModified();
        ApplyEnablingRules();
    });
    // At once, whatever the mode, and nothing to apply afterwards. Success shows on the desktop
    // itself; a failure would show nowhere, so it is said.
    QObject::connect(remove, &QPushButton::clicked, this, [this] {
        if (removeWallpaper_ && !removeWallpaper_())
            platform::MessageBox(nullptr, "The wallpaper could not be removed: the desktop did not take its former picture back.",
                                 kSheetMessageTitle, platform::MB_OK);
    });
}

void CWallpaperPropPage::SettingsToPage(const saver::SaverSettings& settings) {
    mode_->setValue(settings.WallMode);
    size_->setValue(settings.WallSize);
    display_->setValue(settings.WallDisplay);
    transparentIcons_->setChecked(settings.CheckTransIcon != 0);
}

void CWallpaperPropPage::SettingsFromPage(saver::SaverSettings& settings) {
    settings.WallMode = mode_->value();
    settings.WallSize = size_->value();
    settings.WallDisplay = display_->value();
    settings.CheckTransIcon = transparentIcons_->isChecked() ? 1 : 0;
}

void CWallpaperPropPage::Initialise() {
    ApplyEnablingRules();
    BeginUserChanges();
}

void CWallpaperPropPage::ApplyEnablingRules() {
    const bool setsWallpaper = mode_->value() != 0;
    for (QWidget* widget : std::initializer_list<QWidget*>{sizeBox_, displayBox_, transparentIcons_, note_})
        widget->setEnabled(setsWallpaper);
    mode_->buttons()[2]->setVisible(desktop::GetOsPlatform() != 2);
}

}  // namespace config
