// The configuration sheet and its Images page on Qt's offscreen platform, fetching from a real
// loopback server.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <fstream>

#include "image_preview_widget.h"
#include "sheet_fixture.h"
#include "video_sources.h"

using namespace platform;

TEST_F(SheetTest, EightTabsInTheirOrderAndTheButtonsByTheirIds) {
    open("");
    auto* tabs = dialog()->findChild<QTabWidget*>();
    ASSERT_TRUE(tabs);
    ASSERT_EQ(tabs->count(), 8);  // the Sound page is never among them
    for (int i = 0; i < 8; ++i) EXPECT_EQ(tabs->tabText(i).toStdString(), config::kTabTitles[i]);
    for (const char* id : {"IDOK", "IDCANCEL", "ID_APPLY_NOW", "102", "1133", "1009", "1010", "1029", "1130", "1131",
                           "1102", "1103", "1104", "1134", "1136", "1137", "1138", "1139", "1143", "1000", "1001",
                           "1002", "1140", "1141", "1142"})
        EXPECT_TRUE(dialog()->findChild<QWidget*>(id)) << id;
    EXPECT_EQ(caption(), "Kelvane Screen Saver");
    sheet_->OnStatusTimer();
    EXPECT_EQ(caption(), "Kelvane Screen Saver - Status: Online");
    SetOnlineOverride(false);
    sheet_->OnStatusTimer();
    EXPECT_EQ(caption(), "Kelvane Screen Saver - Status: Offline");
}

TEST_F(SheetTest, TheFirstSourceAddedIsSelectedStoredAsCurrentAndFetchedAtOnce) {
    open("");
    EXPECT_FALSE(enabled("1010"));
    EXPECT_EQ(text("1143"), "0 Selected");
    // A refused name and a refused address keep the dialog open with what was typed.
    addThroughDialog(false, {"a/b", "Harbour"}, server_.url("/harbour.jpg?lm=Mon,%2001%20Jun%202026"));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0], "A Cam Name cannot contain any of the following characters: \\/:*?\"<>| ");
    EXPECT_EQ(stillOpenWith_, std::vector<std::string>{"a/b"});

    const config::CamRows& rows = page().list().rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.selected(), 0);
    EXPECT_EQ(text("1136"), "Harbour");
    EXPECT_EQ(text("1143"), "1 Selected");
    EXPECT_TRUE(enabled("1010"));
    EXPECT_EQ(Stored("CurrentCam"), "Harbour");  // stored at once
    EXPECT_EQ(Stored("CamList"), "<none>");       // the list itself only with OK

    // Online, the new source is fetched at once: the page posted itself the update.
    EXPECT_TRUE(testing_support::PumpUntil(page().window(), [this] { return app_.fetch.FetchBusy != 0; }, 5));
    EXPECT_EQ(text("1134"), "Cancel");
    sheet_->OnStatusTimer();  // the fetch's captions stay while it runs
    EXPECT_NE(caption(), "Kelvane Screen Saver - Status: Online");
    waitForFetch();
    EXPECT_EQ(text("1134"), "Update Now");
    EXPECT_EQ(rows.row(0).LastResult, "Success");
    EXPECT_EQ(rows.row(0).Type, "JPG");
    EXPECT_EQ(rows.row(0).ImageDate, "Mon, 01 Jun 2026");
    EXPECT_NE(rows.row(0).LastUpdate, "??:??");
    EXPECT_EQ(text("1139"), "Success");
    EXPECT_TRUE(std::filesystem::exists(root_.path() / "data" / "images" / "Harbour.JPG"));
    EXPECT_EQ(page().currentPicturePath(), (root_.path() / "data" / "images" / "Harbour.JPG").string());
    EXPECT_TRUE(page().preview().preview().HasPicture());
    EXPECT_EQ(text("1137"), std::to_string(page().preview().preview().pictureWidth()) + " x " +
                                std::to_string(page().preview().preview().pictureHeight()));
    EXPECT_NE(caption().find("Downloading"), std::string::npos) << caption();

    // OK writes exactly the list the rows show.
    sheet_->OnOk();
    EXPECT_EQ(Stored("CamList"), page().list().rows().Save());
    EXPECT_EQ(Stored("CamList").substr(0, 8), "Harbour|");
}

TEST_F(SheetTest, UncheckingMarksTheSheetChangedAndReachesTheListOnlyWithOk) {
    open("Harbour|http://h/p.jpg|??:??|Unknown|???|1|||0|Bridge|http://b/p.jpg|??:??|Unknown|???|1|||0|", "Bridge");
    EXPECT_EQ(page().list().rows().selected(), 1);
    EXPECT_FALSE(enabled("ID_APPLY_NOW"));
    EXPECT_EQ(CheckListRow(dialog(), "1133", 0, false), "");
    EXPECT_EQ(text("1143"), "1 Selected");
    EXPECT_TRUE(enabled("ID_APPLY_NOW"));
    EXPECT_EQ(Stored("CamList"), "<none>");
    sheet_->OnApply();
    EXPECT_FALSE(enabled("ID_APPLY_NOW"));
    EXPECT_EQ(Stored("CamList"), "Harbour|http://h/p.jpg|??:??|Unknown|???|0|||0|Bridge|http://b/p.jpg|??:??|Unknown|???|1|||0|");
}

TEST_F(SheetTest, MovingPastTheEndsChangesNothingAndRemovingTheOnlyRowDisablesTheButtons) {
    open("Harbour|http://h/p.jpg|??:??|Unknown|JPG|1|||0|Bridge|http://b/p.jpg|??:??|Unknown|???|1|||0|", "harbour");
    EXPECT_EQ(page().list().rows().selected(), 0);  // the name matched without regard to case
    page().Move(true);
    EXPECT_FALSE(enabled("ID_APPLY_NOW"));
    EXPECT_EQ(SelectListRow(dialog(), "1133", 1), "");
    EXPECT_EQ(text("1136"), "Bridge");
    EXPECT_EQ(Stored("CurrentCam"), "Bridge");
    page().Move(false);
    EXPECT_EQ(page().list().rows().Names(), (std::vector<std::string>{"Harbour", "Bridge"}));
    page().Move(true);
    EXPECT_EQ(page().list().rows().Names(), (std::vector<std::string>{"Bridge", "Harbour"}));
    EXPECT_TRUE(enabled("ID_APPLY_NOW"));

    // Removing takes the source's picture file with it.
    const auto picture = root_.path() / "data" / "images" / "Harbour.JPG";
    std::filesystem::create_directories(picture.parent_path());
    std::ofstream(picture) << "jpeg";
    EXPECT_EQ(SelectListRow(dialog(), "1133", 1), "");
    page().RemoveSelected();
    EXPECT_FALSE(std::filesystem::exists(picture));
    EXPECT_EQ(text("1136"), "Bridge");
    page().RemoveSelected();
    EXPECT_EQ(page().list().rows().size(), 0);
    EXPECT_EQ(page().list().rows().selected(), -1);
    EXPECT_FALSE(enabled("1010"));
    EXPECT_FALSE(enabled("1130"));
    EXPECT_FALSE(enabled("1131"));
    EXPECT_EQ(text("1143"), "0 Selected");
}

TEST_F(SheetTest, EditingKeepsEveryOtherFieldButTheOldAddresssDate) {
    open("Cam|http://h/p.jpg|3:04:05 PM - 1/2/01|Success|JPG|0|http://ref/|Mon, 01 Jun 2026|7|Other|http://o/p.jpg|??:??|Unknown|???|1|||0|", "Cam");
    SetOnlineOverride(false);  // no fetch after the edit
    addThroughDialog(true, {"other", "cam", "Port"}, "http://h/q.jpg");
    // "other" is taken (letter case aside), "cam" differs from the old name by case only: refused too.
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1], "Camera name already used. Please select another name.");
    sheet_->OnOk();
    EXPECT_EQ(Stored("CamList"),
              "Port|http://h/q.jpg|3:04:05 PM - 1/2/01|Success|JPG|0|http://ref/||7|Other|http://o/p.jpg|??:??|Unknown|???|1|||0|");
}

TEST_F(SheetTest, AnEditedAddressIsFetchedAtOnceThoughItsServerGivesTheSameDate) {
    const std::string date = "lm=Mon,%2001%20Jun%202026";
    open("");
    addThroughDialog(false, {"Harbour"}, server_.url("/harbour.jpg?" + date));
    EXPECT_TRUE(testing_support::PumpUntil(page().window(), [this] { return app_.fetch.FetchBusy != 0; }, 5));
    waitForFetch();
    ASSERT_EQ(page().list().rows().row(0).Type, "JPG");
    QTimer::singleShot(0, [] { EXPECT_EQ(QApplication::activeModalWidget()->windowTitle(), "Edit Camera"); });
    addThroughDialog(true, {"Harbour"}, server_.url("/harbour.gif?body=gif&" + date));
    EXPECT_TRUE(testing_support::PumpUntil(page().window(), [this] { return app_.fetch.FetchBusy != 0; }, 5));
    waitForFetch();
    EXPECT_EQ(page().list().rows().row(0).LastResult, "Success");
    EXPECT_EQ(page().list().rows().row(0).Type, "GIF");
}

TEST_F(SheetTest, ACamerasVideoStreamAddedThroughTheDialogIsPreviewedAsItsFirstFrame) {
    testing_support::RtspServer camera("h264.mkv");
    ASSERT_TRUE(camera.running());
    open("");
    addThroughDialog(false, {"Quay"}, camera.url());
    ASSERT_TRUE(boxes_.empty()) << boxes_.front();
    EXPECT_TRUE(testing_support::PumpUntil(page().window(), [this] { return app_.fetch.FetchBusy != 0; }, 5));
    waitForFetch();
    EXPECT_EQ(page().list().rows().row(0).LastResult, "Success");
    EXPECT_EQ(page().list().rows().row(0).Type, "JPG");
    EXPECT_TRUE(page().preview().preview().HasPicture());
    EXPECT_EQ(text("1137"), "320 x 240");
}

TEST_F(SheetTest, RemovingASourceAddedAndFetchedHereTakesItsPictureWithIt) {
    open("");
    addThroughDialog(false, {"Harbour"}, server_.url("/cam.jpg"));
    const auto picture = root_.path() / "data" / "images" / "Harbour.JPG";
    ASSERT_TRUE(testing_support::PumpUntil(page().window(), [&] {
        return std::filesystem::exists(picture) && !app_.fetch.FetchBusy;
    }));
    page().RemoveSelected();  // a source no stored list knows yet
    EXPECT_FALSE(std::filesystem::exists(picture));
}

TEST_F(SheetTest, RemovingASourceWhileItsPictureComesKeepsNothingOfIt) {
    open("Slow|" + server_.url("/slow.jpg?slow=100&piece=512") + "|??:??|Unknown|???|1|||0|", "Slow");
    page().UpdateNow();
    ASSERT_TRUE(app_.fetch.FetchBusy);
    page().RemoveSelected();
    waitForFetch();
    EXPECT_FALSE(std::filesystem::exists(root_.path() / "data" / "images" / "Slow.JPG"));
    EXPECT_EQ(page().list().rows().size(), 0);
}

TEST_F(SheetTest, ASourceWithoutItsPictureShowsTheCardButNoSize) {
    open("Gone|http://127.0.0.1:9/p.jpg|??:??|Refused|JPG|1|||0|", "Gone");
    EXPECT_TRUE(page().preview().preview().HasPicture());  // the card in its place
    EXPECT_EQ(text("1137"), "");
}

TEST_F(SheetTest, UpAndDownStepTheIntervalAsItsArrowsDo) {
    open("");
    auto* minutes = qobject_cast<QLineEdit*>(control("1001"));
    ASSERT_TRUE(minutes);
    EXPECT_EQ(minutes->text(), "1");
    for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(minutes, &press);
    }
    EXPECT_EQ(minutes->text(), "2");
    EXPECT_TRUE(enabled("ID_APPLY_NOW"));
}

TEST_F(SheetTest, AnOkThePagesRefuseKeepsACancelTheUserAskedFor) {
    open("");
    app_.fetch.CancelRequested = 1;  // Update Now pressed a second time, the fetch not ended yet
    EXPECT_EQ(SetControlText(dialog(), "1001", "75"), "");  // minutes beyond 59
    sheet_->OnOk();
    EXPECT_TRUE(sheet_->dialog().isVisible());  // refused: the sheet stays
    EXPECT_EQ(app_.fetch.CancelRequested, 1);
}

TEST_F(SheetTest, UpdateNowCancelsAStalledFetchAndAnEmptyBodyIsAnError) {
    open("Slow|" + server_.url("/slow.jpg?stall=100") + "|??:??|Unknown|???|1|||0|Empty|" +
             server_.url("/empty.jpg?body=bytes&size=0") + "|??:??|Unknown|???|1|||0|",
         "Slow");
    page().UpdateNow();
    ASSERT_TRUE(app_.fetch.FetchBusy);
    EXPECT_EQ(text("1134"), "Cancel");
    page().UpdateNow();  // the button now cancels
    EXPECT_EQ(caption(), "Ostrel Screen Saver - Status: Canceling...");
    page().UpdateNow();  // pressed again before the end: nothing happens
    EXPECT_EQ(caption(), "Ostrel Screen Saver - Status: Canceling...");
    waitForFetch();
    EXPECT_EQ(page().list().rows().row(0).LastResult, "Cancelled");
    EXPECT_EQ(page().list().rows().row(0).LastUpdate, "??:??");  // a failure keeps the time
    EXPECT_EQ(caption(), "Kelvane Screen Saver - Status: Cancelled");
    EXPECT_EQ(text("1134"), "Update Now");
    EXPECT_EQ(app_.fetch.CancelRequested, 0);

    EXPECT_EQ(SelectListRow(dialog(), "1133", 1), "");
    page().UpdateNow();
    waitForFetch();
    EXPECT_EQ(page().list().rows().row(1).LastResult, "Error");
    EXPECT_EQ(caption(), "Kelvane Screen Saver - Status: Error");
}

TEST_F(SheetTest, UpdateNowNeedsAConnectionAndASelectedSource) {
    open("");
    SetOnlineOverride(false);
    page().UpdateNow();
    SetOnlineOverride(true);
    page().UpdateNow();
    EXPECT_EQ(boxes_, (std::vector<std::string>{"You must be connected to the Internet to download the image.",
                                                "No valid camera selected."}));
    EXPECT_EQ(caption(), "Kelvane Screen Saver - Status: Connecting...");
    EXPECT_FALSE(app_.fetch.FetchBusy);
}

TEST_F(SheetTest, AnIntervalOutOfRangeIsRefusedWithItsRangeAndNothingIsSaved) {
    open("");
    EXPECT_EQ(SetControlText(dialog(), "1001", "75"), "");
    // Refused as it is typed, and again at OK.
    EXPECT_EQ(boxes_, std::vector<std::string>{"Please enter an integer between 0 and 59."});
    sheet_->OnOk();
    EXPECT_EQ(boxes_, std::vector<std::string>(2, "Please enter an integer between 0 and 59."));
    EXPECT_FALSE(std::filesystem::exists(root_.userRegistry()));
    EXPECT_EQ(SetControlText(dialog(), "1001", "5"), "");
    EXPECT_EQ(SetControlText(dialog(), "1000", "2"), "");
    sheet_->OnOk();
    saver::SaverSettings stored = StoredSettings();
    EXPECT_EQ(stored.EditHours, 2);
    EXPECT_EQ(stored.EditMinutes, 5);
}

TEST_F(SheetTest, GetNewCameraListsSaysSoWhenNoBrowserStarts) {
    std::vector<std::string> opened;
    config::CFilesPropPage page(app_, {}, [&](const std::string& address) {
        opened.push_back(address);
        return 0;
    });
    page.OpenCameraLists();
    EXPECT_EQ(opened, std::vector<std::string>{config::kCameraListsPage});
    EXPECT_EQ(boxes_, std::vector<std::string>{"Unable to lauch your default browser."});
}

TEST_F(SheetTest, TheListWorksFromTheKeyboard) {
    open("Harbour|http://h/p.jpg|??:??|Unknown|???|1|||0|Bridge|http://b/p.jpg|??:??|Unknown|???|1|||0|", "Harbour");
    QWidget* list = dialog()->findChild<QWidget*>("1133");
    const auto key = [list](int code) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, code == Qt::Key_Space ? " " : "");
        QApplication::sendEvent(list, &press);
    };
    key(Qt::Key_Down);
    EXPECT_EQ(text("1136"), "Bridge");
    key(Qt::Key_Space);
    EXPECT_FALSE(page().list().rows().checked(1));
    EXPECT_EQ(text("1143"), "1 Selected");
    key(Qt::Key_Up);
    EXPECT_EQ(text("1136"), "Harbour");
}

TEST_F(SheetTest, ABarInAnAddressIsStoredEncodedAndTheListStaysWhole) {
    open("");
    addThroughDialog(false, {"Harbour"}, server_.url("/a|b.jpg"));
    const config::CamRows& rows = page().list().rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.row(0).URL, server_.url("/a%7Cb.jpg"));
    waitForFetch();
    sheet_->OnOk();
    const auto stored = sources::ParseCamList(Stored("CamList"));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].URL, server_.url("/a%7Cb.jpg"));
    EXPECT_EQ(stored[0].Selected, "1");
}

TEST_F(SheetTest, AnOkThatCannotSaveSaysSoAndKeepsTheSheetWithWhatWasTyped) {
    open("");
    addThroughDialog(false, {"Harbour"}, "http://127.0.0.1:9/p.jpg");
    waitForFetch();
    // Where the new file must be written stands a folder: the save fails, even for root.
    std::filesystem::create_directories(root_.userRegistry().string() + ".tmp");
    boxes_.clear();
    sheet_->OnOk();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].find("could not be saved"), std::string::npos) << boxes_[0];
    EXPECT_TRUE(sheet_->dialog().isVisible());
    EXPECT_EQ(page().list().rows().size(), 1);
    std::filesystem::remove(root_.userRegistry().string() + ".tmp");
    sheet_->OnOk();
    EXPECT_FALSE(sheet_->dialog().isVisible());
    EXPECT_EQ(sources::ParseCamList(Stored("CamList")).size(), 1u);
}

TEST_F(SheetTest, ASettingsFileWithALineThatCannotBeReadIsSetAsideAndThePersonTold) {
    std::filesystem::create_directories(root_.userRegistry().parent_path());
    std::ofstream(root_.userRegistry()) << "Windows Registry Editor Version 5.00\n\n"
                                           "[HKEY_CURRENT_USER\\Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver]\n"
                                           "\"FloatSpeed\"=dword:00000028\n\"PersonalMessage\"=\"Hello wor";
    open("");
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].find("Some of your settings could not be read"), std::string::npos) << boxes_[0];
    EXPECT_EQ(app_.settings.FloatSpeed, 40);
}
