#include "misc_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "idle_watcher.h"
#include "idle_watcher_control.h"
#include "os_platform.h"
#include "screen_locker.h"

namespace config {

CMiscPP::CMiscPP(saver::SaverSettings& live, SheetServices services) : SheetPage("Misc.", std::move(services)), live_(live) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(IntroText("You can change miscellaneous settings."));
    auto* mouse = new QGroupBox("Mouse Movement");
    auto* mouseLayout = new QVBoxLayout(mouse);
    mouseLayout->addWidget(IntroText("By default, the screen saver is turned off by a keystroke OR mouse movement. You can "
                                     "choose to ignore mouse movements and turn the screen saver off by keystroke only."));
    ignoreMouse_ = CheckBox("Ignore mouse movements.", "1086");
    notSupported_ = Label("Not supported under Windows NT.", "1122");
    notSupported_->hide();
    mouseLayout->addWidget(ignoreMouse_);
    mouseLayout->addWidget(notSupported_);
    layout->addWidget(mouse);
    auto* background = new QGroupBox("Background Color");
    auto* backgroundLayout = new QGridLayout(background);
    backgroundLayout->addWidget(IntroText("By default, the background color on the screen saver is black. This can be "
                                          "changed to any other color."),
                                0, 0, 1, 3);
    swatch_ = new ColorSwatch("1051");
    auto* change = PushButton("&Change", "1052");
    backgroundLayout->addWidget(swatch_, 1, 0);
    backgroundLayout->addWidget(change, 1, 1);
    backgroundLayout->setColumnStretch(2, 1);
    layout->addWidget(background);
    auto* idle = new QGroupBox("Starting");
    auto* idleLayout = new QVBoxLayout(idle);
    startWhenIdle_ = CheckBox("Start when the computer is idle", "1152");
    idleLayout->addWidget(startWhenIdle_);
    const std::string when = "The screen saver starts " + idle::IdleDelayText(idle::DesktopIdleDelay()) +
                             ", unless a program such as a video player asks that it does not.";
    idleLayout->addWidget(IntroText(when.c_str()));
    layout->addWidget(idle);
    auto* lock = new QGroupBox("Locking");
    auto* lockLayout = new QGridLayout(lock);
    lockScreen_ = CheckBox("Lock the screen when the saver ends", "1153");
    lockLayout->addWidget(lockScreen_, 0, 0, 1, 2);
    lockLayout->addWidget(Label("Locker command (optional):"), 1, 0);
    lockCommand_ = new QLineEdit;
    lockCommand_->setObjectName("1154");
    lockCommand_->setPlaceholderText("swaylock -f");
    lockLayout->addWidget(lockCommand_, 1, 1);
    locker_ = IntroText("");
    locker_->setObjectName("1155");
    lockLayout->addWidget(locker_, 2, 0, 1, 2);
    lockLayout->addWidget(IntroText("While it shows, the saver holds off the desktop's own idle lock and locks as it ends."),
                          3, 0, 1, 2);
    layout->addWidget(lock);
    layout->addStretch();
    QObject::connect(lockScreen_, &QCheckBox::clicked, this, [this] {
        lockChosen_ = true;
        SetModified();
    });
    QObject::connect(lockCommand_, &QLineEdit::textEdited, this, [this] {
        SayWhichLocker();
        SetModified();
    });
    QObject::connect(ignoreMouse_, &QCheckBox::clicked, this, [this] { SetModified(); });
    QObject::connect(startWhenIdle_, &QCheckBox::clicked, this, [this] { SetModified(); });
    QObject::connect(change, &QPushButton::clicked, this, [this] { ChangeBackColor(); });
}

void CMiscPP::SettingsToPage(const saver::SaverSettings& settings) {
    ignoreMouse_->setChecked(settings.IgnoreMouse != 0);
    startWhenIdle_->setChecked(settings.StartWhenIdle != 0);
    lockChosen_ = settings.LockScreen != saver::kLockAsTheDesktop;
    lockScreen_->setChecked(platform::LockWanted(settings.LockScreen));
    lockCommand_->setText(QString::fromStdString(settings.LockCommand));
    SayWhichLocker();
}

void CMiscPP::SayWhichLocker() {
    const auto locker = platform::ScreenLocker::Find(lockCommand_->text().trimmed().toStdString());
    locker_->setText(locker ? QString::fromStdString("The screen is locked with " + locker->name() + ".")
                            : QString(platform::ScreenLocker::kNoneFound));
}

void CMiscPP::SettingsFromPage(saver::SaverSettings& settings) {
    settings.IgnoreMouse = ignoreMouse_->isChecked() ? 1 : 0;
    settings.BackColor = live_.BackColor;
    settings.StartWhenIdle = startWhenIdle_->isChecked() ? 1 : 0;
    if (lockChosen_) settings.LockScreen = lockScreen_->isChecked() ? 1 : 0;
    settings.LockCommand = lockCommand_->text().trimmed().toStdString();
}

void CMiscPP::Initialise() {
    swatch_->setColor(platform::COLORREF(live_.BackColor));
    if (desktop::GetOsPlatform() == 2) {
        ignoreMouse_->setEnabled(false);
        notSupported_->show();
    }
    BeginUserChanges();
}

void CMiscPP::ChangeBackColor() {
    if (const auto color = ChooseColor(this, platform::COLORREF(live_.BackColor))) live_.BackColor = int(*color);
    SetModified();
    swatch_->setColor(platform::COLORREF(live_.BackColor));
}

}  // namespace config
