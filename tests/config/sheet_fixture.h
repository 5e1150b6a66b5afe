// The configuration sheet as configure mode opens it, on Qt's offscreen platform, with the
// desktop's browser and wallpaper replaced by stand-ins.
#pragma once

#include <gtest/gtest.h>

#include <QKeyEvent>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "add_camera_dialog.h"
#include "audio_page.h"
#include "connectivity.h"
#include "dialog_actions.h"
#include "headless_display.h"
#include "images_page.h"
#include "main_dialog.h"
#include "message_box.h"
#include "message_pump.h"
#include "offscreen_app.h"
#include "picture_server.h"
#include "profile.h"
#include "saver_app.h"
#include "temp_root.h"

using platform::AnswerDialog;
using platform::GetProfileString;
using platform::HeadlessDisplay;
using platform::IDOK;
using platform::SetControlText;
using platform::SetDisplay;
using platform::SetMessageBoxHook;
using platform::SetOnlineOverride;
using platform::ShowTab;
using platform::UINT;

// The settings as the registry holds them now (defaults for what it lacks).
inline saver::SaverSettings StoredSettings() {
    saver::SaverSettings settings;
    saver::LoadSettings(settings);
    return settings;
}

inline std::string Stored(const char* name) {
    saver::UseSaverRegistryKey();
    return GetProfileString(saver::kSettingsSection, name, "<none>");
}

class SheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::OffscreenApplication();
        SetDisplay(std::make_unique<HeadlessDisplay>());
        SetOnlineOverride(true);
        testing_support::DrainQueue();
        saver::UseSaverRegistryKey();
        SetMessageBoxHook([this](const std::string& text, const std::string&, UINT) {
            boxes_.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override {
        sheet_.reset();
        testing_support::DrainQueue();
        SetMessageBoxHook({});
        SetOnlineOverride(std::nullopt);
        SetDisplay(nullptr);
    }

    // The sheet as configure mode opens it, over the given list.
    void open(const std::string& camList, const std::string& currentCam = {}) {
        saver::LoadSettings(app_.settings);
        app_.settings.CamList = camList;
        app_.settings.CurrentCam = currentCam;
        config::SheetOptions options;
        options.openUrl = [this](const std::string& address) {
            opened_.push_back(address);
            return browserStarts_;
        };
        options.removeWallpaper = [this] {
            ++wallpaperRemovals_;
            return wallpaperRemoved_;
        };
        options.detectMusicPlayer = [this] {
            ++playerSearches_;
            return config::DetectMusicPlayer();
        };
        sheet_ = std::make_unique<config::CMainDialog>(app_, options);
        sheet_->SettingsToSheet(app_.settings);
        sheet_->InitialisePages();
        sheet_->dialog().show();  // as on the screen: only the page in front is visible
    }
    // A new user's settings changed as given, and the sheet opened on the page of that title.
    void openPage(const char* title, const std::function<void(saver::SaverSettings&)>& adjust) {
        saver::SaverSettings stored = StoredSettings();
        adjust(stored);
        saver::SaveSettings(stored);
        open("");
        ASSERT_EQ(ShowTab(dialog(), title), "");
    }
    config::CFilesPropPage& page() { return sheet_->imagesPage(); }
    QWidget* dialog() { return &sheet_->dialog(); }
    // The control of that id on the page in front (pages reuse ids), else any.
    QWidget* control(const char* id) {
        QWidget* any = nullptr;
        for (QWidget* widget : dialog()->findChildren<QWidget*>(id)) {
            if (widget->isVisible()) return widget;
            if (!any) any = widget;
        }
        return any;
    }
    std::string text(const char* id) {
        QWidget* widget = control(id);
        if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text().toStdString();
        return "<no " + std::string(id) + ">";
    }
    bool enabled(const char* id) { return control(id)->isEnabled(); }
    std::string caption() { return dialog()->windowTitle().toStdString(); }

    // Runs the Add (or Edit) dialog with what a person types, pressing OK once per name given.
    void addThroughDialog(bool edit, const std::vector<std::string>& names, const std::string& url) {
        QTimer::singleShot(0, [this, names, url] {
            QWidget* add = QApplication::activeModalWidget();
            ASSERT_TRUE(dynamic_cast<config::CAddCameraDlg*>(add));
            for (const std::string& name : names) {
                EXPECT_EQ(SetControlText(add, "1000", name), "");
                EXPECT_EQ(SetControlText(add, "1001", url), "");
                EXPECT_EQ(AnswerDialog(add, "OK"), "");
                if (QApplication::activeModalWidget() == add) stillOpenWith_.push_back(name);
            }
            if (QApplication::activeModalWidget() == add) AnswerDialog(add, "Cancel");
        });
        page().AddOrEdit(edit);
    }
    void waitForFetch() {
        EXPECT_TRUE(testing_support::PumpUntil(page().window(), [this] { return !app_.fetch.FetchBusy; }));
    }

    testing_support::TempRoot root_;
    saver::SaverApp app_;
    picture_server::PictureServer server_;
    std::unique_ptr<config::CMainDialog> sheet_;
    std::vector<std::string> boxes_;
    std::vector<std::string> stillOpenWith_;
    std::vector<std::string> opened_;
    int browserStarts_ = 1;
    int wallpaperRemovals_ = 0;
    int wallpaperRemoved_ = 1;
    int playerSearches_ = 0;
};

