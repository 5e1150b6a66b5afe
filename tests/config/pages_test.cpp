// The sheet's other pages: what they show, what they enable, and what they copy back.
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <set>
#include <cstdlib>
#include <fstream>

#include "about_page.h"
#include "icon_text_companion.h"
#include "idle_watcher_control.h"
#include "music_list.h"
#include "program_info.h"
#include "registry.h"
#include "saver_messages.h"
#include "sheet_fixture.h"
#include "stand_in_browser.h"
#include "transitions_page.h"
#include "windows.h"

using namespace platform;

using config::MusicList;

namespace {

// Presses the named button of whatever dialog is open next (a colour dialog, a question).
void AnswerNextDialog(const std::string& button) {
    QTimer::singleShot(0, [button] { EXPECT_EQ(AnswerDialog(QApplication::activeModalWidget(), button), ""); });
}

bool Checked(QWidget* widget) { return qobject_cast<QAbstractButton*>(widget)->isChecked(); }

}  // namespace

TEST_F(SheetTest, TabEntersEachRadioGroupOnItsCheckedButtonOnEveryPage) {
    openPage("Image Options", [](saver::SaverSettings& stored) {
        stored.Change = 1;              // After, the middle one
        stored.ImageStretchOption = 1;  // Use Original Size, the middle one
        stored.WallMode = 1;            // so the wallpaper's size and display can be chosen
    });
    QApplication::setActiveWindow(dialog());  // as the window manager does for a new window
    for (const char* title : {"Images", "Image Options", "Marquee", "Transitions", "Wallpaper", "Audio", "Misc.", "About"}) {
        SCOPED_TRACE(title);
        ASSERT_EQ(ShowTab(dialog(), title), "");
        std::set<std::string> checked, reached;
        for (const QRadioButton* button : dialog()->findChildren<QRadioButton*>())
            if (button->isVisible() && button->isEnabled() && button->isChecked())
                checked.insert(button->objectName().toStdString());
        dialog()->findChild<QTabBar*>()->setFocus();
        for (int press = 0; press < 60; ++press) {
            QWidget* focused = QApplication::focusWidget();
            ASSERT_TRUE(focused);
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QApplication::sendEvent(focused, &tab);
            if (qobject_cast<QRadioButton*>(QApplication::focusWidget()))
                reached.insert(QApplication::focusWidget()->objectName().toStdString());
        }
        EXPECT_EQ(reached, checked);
    }
}

TEST_F(SheetTest, TheChangeChoiceIsOneGroupThoughAfterSitsInARowOfItsOwn) {
    openPage("Image Options", [](saver::SaverSettings& stored) { stored.Change = 1; });
    for (const char* id : {"1035", "1036", "1036"}) ASSERT_EQ(PressControl(dialog(), id), "");
    EXPECT_TRUE(qobject_cast<QRadioButton*>(control("1036"))->isChecked());
    EXPECT_FALSE(qobject_cast<QRadioButton*>(control("1035"))->isChecked());
    sheet_->OnOk();
    EXPECT_EQ(StoredSettings().Change, 1);
    openPage("Image Options", [](saver::SaverSettings& stored) { stored.Change = 1; });
    ASSERT_EQ(PressControl(dialog(), "1035"), "");
    EXPECT_FALSE(qobject_cast<QRadioButton*>(control("1036"))->isChecked());
    sheet_->OnOk();
    EXPECT_EQ(StoredSettings().Change, 0);
}

TEST_F(SheetTest, ImageOptionsKeepASpeedForEachMovementAndLimitTheCustomSize) {
    openPage("Image Options", [](saver::SaverSettings& stored) {
        stored.Movement = 0;
        stored.FloatSpeed = 30;
        stored.RandomSpeed = 70;
        stored.ImageStretchOption = 2;
        stored.Change = 0;
    });
    auto* slider = qobject_cast<QSlider*>(control("1026"));
    EXPECT_EQ(slider->value(), 30);
    EXPECT_FALSE(enabled("ID_APPLY_NOW"));
    EXPECT_EQ(SetControlText(dialog(), "1026", "45"), "");  // dragged as a user drags it
    EXPECT_EQ(qobject_cast<QLineEdit*>(control("1038"))->text(), "45");
    EXPECT_TRUE(enabled("ID_APPLY_NOW"));
    EXPECT_EQ(SetControlText(dialog(), "1026", "30"), "");
    EXPECT_EQ(PressControl(dialog(), "1018"), "");  // Random Positions
    EXPECT_EQ(slider->value(), 70);
    EXPECT_EQ(text("1038"), "<no 1038>");  // an edit, read below
    EXPECT_EQ(SetControlText(dialog(), "1038", "150"), "");
    EXPECT_EQ(slider->value(), 100);
    ASSERT_EQ(boxes_, std::vector<std::string>{"Please enter an integer between 0 and 100."});  // when the field is left
    EXPECT_EQ(PressControl(dialog(), "1019"), "");  // Centered: no speed of its own
    EXPECT_FALSE(slider->isEnabled());
    EXPECT_EQ(PressControl(dialog(), "1017"), "");
    EXPECT_EQ(slider->value(), 30);

    // The desktop is 1024 wide: a larger width is refused as it is typed.
    EXPECT_EQ(SetControlText(dialog(), "1000", "2000"), "");
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1], "Please enter an integer between 0 and 1024.");
    EXPECT_EQ(SetControlText(dialog(), "1000", "800"), "");
    EXPECT_EQ(PressControl(dialog(), "1112"), "");  // Stretch To Fit Desktop: no custom size
    EXPECT_FALSE(enabled("1000"));
    EXPECT_FALSE(enabled("1002"));  // the seconds only with a change on time
    EXPECT_EQ(PressControl(dialog(), "1151"), "");  // the other monitors blank
    sheet_->OnOk();
    saver::SaverSettings saved = StoredSettings();
    EXPECT_EQ(saved.FloatSpeed, 30);
    EXPECT_EQ(saved.RandomSpeed, 100);
    EXPECT_EQ(saved.Movement, 0);
    EXPECT_EQ(saved.ImageStretchOption, 0);
    EXPECT_EQ(saved.MaxWidth, 800u);
    EXPECT_EQ(saved.BlankOtherMonitors, 1);
}

TEST_F(SheetTest, AHandEditedTimeBeyondItsFieldDoesNotBlockOk) {
    openPage("Image Options", [](saver::SaverSettings& stored) {
        stored.Change = 0;  // the seconds field is disabled
        stored.ChangeTime = 500000;
        stored.EditHours = 5000;
    });
    sheet_->OnOk();
    EXPECT_TRUE(boxes_.empty()) << boxes_.front();
    EXPECT_FALSE(sheet_->dialog().isVisible());
    const saver::SaverSettings saved = StoredSettings();
    EXPECT_EQ(saved.ChangeTime, 100000);
    EXPECT_EQ(saved.EditHours, 999);
}

TEST_F(SheetTest, OnA256ColourScreenTheStretchChoiceIsDisabledButKept) {
    SetDisplay(std::make_unique<HeadlessDisplay>(1024, 768, 8));
    openPage("Image Options", [](saver::SaverSettings& stored) {
        stored.InterStretch = 1;
    });
    EXPECT_FALSE(enabled("1119"));
    EXPECT_TRUE(control("1121")->isVisible());
    EXPECT_TRUE(Checked(control("1119")));
    sheet_->OnOk();
    saver::SaverSettings saved = StoredSettings();
    EXPECT_EQ(saved.InterStretch, 1);
}

TEST_F(SheetTest, TheMarqueeControlsFollowTheirCheckBoxes) {
    openPage("Marquee", [](saver::SaverSettings& stored) {
        stored.ShowTicker = 1;
        stored.ShowDate = 0;
        stored.DateFormat = 3;
        stored.FontColor = 0x0000FF;
    });
    EXPECT_FALSE(enabled("1060"));
    EXPECT_EQ(qobject_cast<QComboBox*>(control("1060"))->currentIndex(), 3);  // kept while disabled
    EXPECT_EQ(qobject_cast<QComboBox*>(control("1060"))->count(), 6);
    EXPECT_EQ(qobject_cast<QComboBox*>(control("1061"))->count(), 4);
    EXPECT_EQ(PressControl(dialog(), "1057"), "");
    EXPECT_TRUE(enabled("1060"));
    EXPECT_EQ(PressControl(dialog(), "1056"), "");  // the marquee off: everything else off
    for (const char* id : {"1066", "1057", "1060", "1058", "1061", "1062", "1063", "1064", "1065", "1071", "1000", "1087",
                           "1070", "1073"})
        EXPECT_FALSE(enabled(id)) << id;
    EXPECT_TRUE(enabled("1056"));
    EXPECT_TRUE(enabled("1074"));

    // A cancelled colour dialog changes nothing but still counts as a change.
    EXPECT_EQ(PressControl(dialog(), "1056"), "");
    sheet_->OnApply();
    EXPECT_FALSE(enabled("ID_APPLY_NOW"));
    AnswerNextDialog("Cancel");
    EXPECT_EQ(PressControl(dialog(), "1073"), "");
    EXPECT_TRUE(enabled("ID_APPLY_NOW"));
    EXPECT_EQ(app_.settings.FontColor, 0x0000FF);
    EXPECT_EQ(static_cast<config::ColorSwatch*>(control("1074"))->color(), 0x0000FFu);
    EXPECT_EQ(SetControlText(dialog(), "1000", "Hello from the harbour"), "");
    sheet_->OnOk();
    saver::SaverSettings saved = StoredSettings();
    EXPECT_EQ(saved.ShowDate, 1);
    EXPECT_EQ(saved.DateFormat, 3);
    EXPECT_EQ(saved.PersonalMessage, "Hello from the harbour");
}

TEST_F(SheetTest, TransitionsAreChosenByNameAndAStoredNumberOutsideTheListStays) {
    EXPECT_EQ(config::TransitionEffectName(7), "Vertical Stripes");
    EXPECT_EQ(config::TransitionEffectName(13), "");
    EXPECT_EQ(config::TransitionEffectNumber("Large Random Blocks"), 12);
    EXPECT_EQ(config::TransitionEffectNumber("cave in"), 0);  // exact, with case

    openPage("Transitions", [](saver::SaverSettings& stored) {
        stored.EnableTransitionEffect = 1;
        stored.AutoTransitionEffect = 0;
        stored.CurrentTransitionEffect = 9;
    });
    auto* effects = qobject_cast<QComboBox*>(control("1044"));
    EXPECT_EQ(effects->currentIndex(), -1);
    EXPECT_EQ(effects->itemText(0).toStdString(), "Cave In");  // alphabetical
    EXPECT_EQ(effects->count(), 7);
    sheet_->OnApply();
    saver::SaverSettings saved = StoredSettings();
    EXPECT_EQ(saved.CurrentTransitionEffect, 9);

    EXPECT_EQ(SetControlText(dialog(), "1044", "Wipe Across"), "");
    EXPECT_FALSE(enabled("ID_APPLY_NOW"));  // a choice alone does not count as a change
    EXPECT_EQ(PressControl(dialog(), "1041"), "");  // varied automatically: no choice
    EXPECT_FALSE(enabled("1044"));
    sheet_->OnOk();
    saved = StoredSettings();
    EXPECT_EQ(saved.CurrentTransitionEffect, 2);
    EXPECT_EQ(saved.AutoTransitionEffect, 1);
}

TEST_F(SheetTest, TheWallpaperChoicesNeedAModeAndRemovingWorksInEveryMode) {
    openPage("Wallpaper", [](saver::SaverSettings& stored) {
        stored.WallMode = 0;
        stored.WallSize = 1;
        stored.CheckTransIcon = 1;
    });
    for (const char* id : {"1092", "1093", "1095", "1096", "1100", "1101"}) EXPECT_FALSE(enabled(id)) << id;
    EXPECT_TRUE(Checked(control("1093")));
    EXPECT_EQ(PressControl(dialog(), "1105"), "");
    EXPECT_EQ(wallpaperRemovals_, 1);
    EXPECT_TRUE(boxes_.empty());  // the desktop shows it worked
    wallpaperRemoved_ = 0;
    EXPECT_EQ(PressControl(dialog(), "1105"), "");
    ASSERT_EQ(boxes_.size(), 1u);  // a failure is said
    EXPECT_NE(boxes_[0].find("could not be removed"), std::string::npos);
    EXPECT_FALSE(enabled("ID_APPLY_NOW"));
    // OK with the mode "do not set" leaves the icon-text companion's log-on start alone.
    sheet_->OnApply();
    HKEY run = nullptr;
    EXPECT_NE(RegOpenKey(HKEY_LOCAL_MACHINE, desktop::kRunKey, &run), ERROR_SUCCESS);
    EXPECT_EQ(PressControl(dialog(), "1098"), "");
    EXPECT_TRUE(enabled("1100"));
    sheet_->OnOk();
    ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, desktop::kRunKey, &run), ERROR_SUCCESS);
    EXPECT_TRUE(RegReadString(run, desktop::kRunValue));
    RegCloseKey(run);
}

TEST_F(SheetTest, StartingWhenIdleIsAStoredChoiceWithItsLogOnStart) {
    // No display to watch: a watcher the sheet starts here ends at once.
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    openPage("Misc.", [](saver::SaverSettings&) {});
    const std::filesystem::path entry = platform::AutostartEntryPath(idle::kAutostartName);
    EXPECT_EQ(PressControl(dialog(), "1152"), "");
    sheet_->OnApply();
    EXPECT_EQ(StoredSettings().StartWhenIdle, 1);
    std::ifstream written(entry);
    const std::string text((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find(" --idle\n"), std::string::npos) << text;
    EXPECT_EQ(PressControl(dialog(), "1152"), "");
    sheet_->OnOk();
    EXPECT_EQ(StoredSettings().StartWhenIdle, 0);
    EXPECT_FALSE(std::filesystem::exists(entry));
}

TEST_F(SheetTest, LockingIsStoredOnlyOnceChosenAndThePageSaysWhichLockerLocks) {
    ::unsetenv("XDG_CURRENT_DESKTOP");  // a desktop that does not lock by itself
    openPage("Misc.", [](saver::SaverSettings&) {});
    EXPECT_FALSE(Checked(control("1153")));
    sheet_->OnApply();
    EXPECT_EQ(StoredSettings().LockScreen, saver::kLockAsTheDesktop) << "an untouched choice follows the desktop";
    EXPECT_EQ(platform::SetControlText(dialog(), "1154", "i3lock -c 000000"), "");
    EXPECT_NE(qobject_cast<QLabel*>(control("1155"))->text().toStdString().find("i3lock -c 000000"), std::string::npos);
    EXPECT_EQ(PressControl(dialog(), "1153"), "");
    sheet_->OnOk();
    const saver::SaverSettings stored = StoredSettings();
    EXPECT_EQ(stored.LockScreen, 1);
    EXPECT_EQ(stored.LockCommand, "i3lock -c 000000");
}

TEST_F(SheetTest, OnTheNtFamilyTheF5ChoiceIsHiddenButAStoredChoiceStays) {
    ::setenv("KELVANE_PLATFORM_FAMILY", "nt", 1);
    openPage("Wallpaper", [](saver::SaverSettings& stored) {
        stored.WallMode = 2;
    });
    EXPECT_FALSE(control("1099")->isVisible());
    ASSERT_EQ(ShowTab(dialog(), "Misc."), "");
    EXPECT_FALSE(enabled("1086"));
    EXPECT_TRUE(control("1122")->isVisible());
    sheet_->OnOk();
    ::unsetenv("KELVANE_PLATFORM_FAMILY");
    saver::SaverSettings saved = StoredSettings();
    EXPECT_EQ(saved.WallMode, 2);
}

TEST_F(SheetTest, TheBackgroundColourChangesOnlyWhenTheColourDialogSaysOk) {
    open("");
    ASSERT_EQ(ShowTab(dialog(), "Misc."), "");
    AnswerNextDialog("Cancel");
    EXPECT_EQ(PressControl(dialog(), "1052"), "");
    EXPECT_TRUE(enabled("ID_APPLY_NOW"));
    EXPECT_EQ(app_.settings.BackColor, 0);
    QTimer::singleShot(0, [] {
        auto* colours = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(colours);
        colours->setCurrentColor(QColor(10, 20, 30));
        AnswerDialog(colours, "OK");
    });
    EXPECT_EQ(PressControl(dialog(), "1052"), "");
    EXPECT_EQ(app_.settings.BackColor, 0x1E140A);
    sheet_->OnOk();
    EXPECT_EQ(saver::SaverSettings{}.BackColor, 0);
    saver::SaverSettings saved = StoredSettings();
    EXPECT_EQ(saved.BackColor, 0x1E140A);
}

TEST_F(SheetTest, BothAboutButtonsOpenTheSameAddressAndFailInTheirOwnWords) {
    open("");
    ASSERT_EQ(ShowTab(dialog(), "About"), "");
    browserStarts_ = 0;
    EXPECT_EQ(PressControl(dialog(), "1053"), "");
    EXPECT_EQ(PressControl(dialog(), "1054"), "");
    EXPECT_EQ(opened_, (std::vector<std::string>{config::kMakerSite, config::kMakerSite}));
    EXPECT_EQ(boxes_, (std::vector<std::string>{"Unable to lauch your Internet Browser.", "Unable to lauch your default browser."}));
    QString shown;
    for (const QLabel* label : dialog()->findChildren<QLabel*>())
        if (label->isVisible())
            shown += label->text() + "\n";
    EXPECT_TRUE(shown.contains(QString("Kelvane Screen Saver %1").arg(platform::SuiteVersion()))) << shown.toStdString();
    for (const char* placeholder : {"P.O. Box", "City, State", "your-company", "1.10"})
        EXPECT_FALSE(shown.contains(placeholder)) << placeholder;
    // The program's own icon on the page and in the caption, drawn, not Qt's blank default.
    const QImage icon = dialog()->findChild<QLabel*>("icon")->pixmap().toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_GT(icon.width(), 16);
    EXPECT_GT(qAlpha(icon.pixel(icon.width() / 2, icon.height() / 2)), 0);
    EXPECT_FALSE(dialog()->windowIcon().pixmap(64, 64).isNull());
}

TEST_F(SheetTest, ASheetGivenNoBrowserOpenerUsesTheDesktopsOwn) {
    testing_support::StandInBrowser browser(root_.path() / "browser");
    saver::LoadSettings(app_.settings);
    config::CMainDialog sheet(app_, config::SheetOptions{});
    sheet.SettingsToSheet(app_.settings);
    sheet.InitialisePages();
    sheet.dialog().show();
    ASSERT_EQ(ShowTab(&sheet.dialog(), "About"), "");
    EXPECT_EQ(PressControl(&sheet.dialog(), "1054"), "");  // no longer a call of nothing
    EXPECT_NE(browser.opened().find(config::kMakerSite), std::string::npos);
}

TEST(MusicListTest, NoDuplicatesWhateverTheCaseAndTheEndsStayPut) {
    EXPECT_EQ(config::JoinMusicPath("/", "a.mp3"), "/a.mp3");
    EXPECT_EQ(config::JoinMusicPath("/music/", "a.mp3"), "/music/a.mp3");
    EXPECT_EQ(config::JoinMusicPath("/music", "a.mp3"), "/music/a.mp3");
    MusicList music;
    music.Load("/m/One.mp3|/m/two.mp3|/m/three.mp3|");
    EXPECT_FALSE(music.Add("/M/ONE.MP3"));
    EXPECT_FALSE(music.Add("/m/tw"));  // an entry begins with it
    EXPECT_TRUE(music.Add("/m/four.mp3"));
    EXPECT_EQ(music.Text(), "/m/One.mp3|/m/two.mp3|/m/three.mp3|/m/four.mp3|");
    EXPECT_FALSE(music.MoveUp(0));
    EXPECT_FALSE(music.MoveDown(3));
    EXPECT_EQ(music.MoveDown(0), 1);
    EXPECT_EQ(music.Remove(0), 0);  // the new first entry is selected
    EXPECT_EQ(music.entries().front(), "/m/One.mp3");
    EXPECT_EQ(music.Remove(2), 1);
    music.Clear();
    EXPECT_EQ(music.Text(), "");
}

namespace {

// A music companion that can play, or cannot, for the page's check.
class StandInPlayer {
public:
    explicit StandInPlayer(LRESULT answer) {
        window_ = CreateWindowEx(0, "StandInPlayer", saver::kMusicWindowTitle, 0, 0, 0, 0, 0, nullptr, 0,
                                 [this, answer](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                                     if (message != saver::MSG_MUSIC_COMMAND) return DefWindowProc(hwnd, message, wParam, lParam);
                                     commands.push_back(int(wParam));
                                     return wParam == 1 ? answer : 20;
                                 });
    }
    ~StandInPlayer() { DestroyWindow(window_); }
    std::vector<int> commands;

private:
    HWND window_ = nullptr;
};

}  // namespace

TEST_F(SheetTest, WithoutAPlayerTheAudioPageSaysSoAndLetsNothingBeChanged) {
    open("");
    EXPECT_EQ(playerSearches_, 0);  // not looked for while the page is not shown
    ASSERT_EQ(ShowTab(dialog(), "Audio"), "");
    EXPECT_EQ(playerSearches_, 1);
    for (const char* id : {"1126", "1128", "1127"}) EXPECT_TRUE(control(id)->isVisible()) << id;
    for (const char* id : {"1080", "1123", "1124", "1079", "1125", "1081", "1082", "1083", "1130", "1131"})
        EXPECT_FALSE(enabled(id)) << id;
    EXPECT_EQ(PressControl(dialog(), "1127"), "");
    EXPECT_EQ(opened_.size(), 1u);
}

TEST_F(SheetTest, TheAudioPageEditsTheMusicListWithAPlayerPresent) {
    StandInPlayer player(10);
    saver::SaverSettings stored = StoredSettings();  // a new user's defaults
    stored.MidiFiles = "/m/a.mp3|/m/b.mp3|/m/c.mp3|";
    stored.NotUseCD = 1;
    stored.NoMidiSound = 0;
    saver::SaveSettings(stored);
    open("");
    ASSERT_EQ(ShowTab(dialog(), "Audio"), "");
    EXPECT_EQ(player.commands, (std::vector<int>{1, 98}));
    EXPECT_FALSE(control("1126")->isVisible());
    EXPECT_TRUE(enabled("1079"));
    EXPECT_FALSE(enabled("1130"));  // no entry selected
    EXPECT_EQ(SelectListRow(dialog(), "1079", 0), "");
    EXPECT_TRUE(enabled("1130"));
    EXPECT_EQ(PressControl(dialog(), "1130"), "");  // Move Up on the first: nothing
    EXPECT_FALSE(enabled("ID_APPLY_NOW"));
    EXPECT_EQ(PressControl(dialog(), "1082"), "");
    auto* list = qobject_cast<QListWidget*>(control("1079"));
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentItem()->text().toStdString(), "/m/b.mp3");

    // Files chosen in the file dialog join the list once; the folder is remembered at once.
    const auto folder = root_.path() / "music";
    std::filesystem::create_directories(folder);
    for (const char* name : {"x.mp3", "y.ogg"}) std::ofstream(folder / name) << "sound";
    QTimer::singleShot(0, [folder] {
        EXPECT_EQ(AnswerDialog(QApplication::activeModalWidget(), (folder / "x.mp3").string() + "|" + (folder / "y.ogg").string()), "");
    });
    EXPECT_EQ(PressControl(dialog(), "1081"), "");
    EXPECT_EQ(list->count(), 4);
    EXPECT_EQ(app_.settings.MidiLastDir, folder.string());

    // "Remove All" asks first.
    SetMessageBoxHook([this](const std::string& text, const std::string&, UINT) {
        boxes_.push_back(text);
        return IDNO;
    });
    EXPECT_EQ(PressControl(dialog(), "1083"), "");
    EXPECT_EQ(list->count(), 4);
    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_.back(), "Do you really want to remove all the files from the list?");

    // The CD: no list, but resume stays; no audio: nothing but the check box.
    EXPECT_EQ(PressControl(dialog(), "1123"), "");
    EXPECT_FALSE(enabled("1079"));
    EXPECT_TRUE(enabled("1125"));
    EXPECT_EQ(PressControl(dialog(), "1080"), "");
    EXPECT_FALSE(enabled("1125"));
    EXPECT_FALSE(enabled("1124"));
    EXPECT_TRUE(enabled("1080"));
    sheet_->OnOk();
    saver::SaverSettings saved = StoredSettings();
    EXPECT_EQ(saved.MidiFiles, "/m/b.mp3|/m/c.mp3|" + (folder / "x.mp3").string() + "|" + (folder / "y.ogg").string() + "|");
    EXPECT_EQ(saved.NotUseCD, 0);
    EXPECT_EQ(saved.NoMidiSound, 1);
    EXPECT_EQ(saved.MidiLastDir, folder.string());
}
