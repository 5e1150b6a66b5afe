// The "Images" page: the sources with their check boxes, adding, editing, removing and ordering
// them, the selected source's details and picture, the update interval, and "Update Now".
#pragma once

#include <memory>
#include <string>

#include "cam_list_ctrl.h"
#include "source_fetch.h"
#include "message_window.h"
#include "sheet_page.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace saver {
class SaverApp;
}

namespace config {

class ImagePreviewWidget;
class NumberField;

// Where "Get New Camera Lists" leads: the maker's page of picture addresses.
constexpr const char* kCameraListsPage = "http://www.vessory.example/camlists.htm";

class CFilesPropPage : public SheetPage {
public:
    // Opens a web page; 1 when a browser started.
    using Opener = std::function<int(const std::string&)>;

    CFilesPropPage(saver::SaverApp& app, SheetServices services, Opener opener = {});
    ~CFilesPropPage() override;

    void SettingsToPage(const saver::SaverSettings& settings) override;
    void SettingsFromPage(saver::SaverSettings& settings) override;
    bool Validate() override;

    // Page initialisation: the list from CamList with the current source selected, the preview,
    // the fetcher's owner. The sheet calls it once, before it shows.
    void Initialise() override;
    // "WebcamUpdate": the settings and the list read again, the selected row kept.
    void Reload();

    // The actions of the page's buttons.
    void AddOrEdit(bool edit);
    void RemoveSelected();
    void Move(bool up);
    void ToggleShowPreview();
    void UpdateNow();
    void OpenCameraLists();

    CCamListCtrl& list() { return *list_; }
    ImagePreviewWidget& preview() { return *preview_; }
    platform::HWND window() const { return messages_.hwnd(); }
    const std::string& currentPicturePath() const { return currentPicturePath_; }

private:
    platform::LRESULT OnMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam);
    void OnFetchDone(platform::UINT message, std::uintptr_t bytes, std::intptr_t result);
    void SelectByName(const std::string& name);
    void ShowDetails();
    void RefreshDetailLabels();
    void RefreshPreview();
    void RefreshButtons();
    void SetUpdateButtonText(bool fetching);

    saver::SaverApp& app_;
    Opener opener_;
    sources::CImageFetcher fetcher_;
    sources::SourceFetch fetch_;
    MessageWindow messages_;
    std::string currentName_;
    std::string currentPicturePath_;
    int showPreview_ = 1;

    CCamListCtrl* list_ = nullptr;
    ImagePreviewWidget* preview_ = nullptr;
    QLabel* current_ = nullptr;
    QLabel* imageSize_ = nullptr;
    QLabel* lastUpdate_ = nullptr;
    QLabel* lastResult_ = nullptr;
    QLabel* selectedCount_ = nullptr;
    QCheckBox* showPreviewBox_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* moveUp_ = nullptr;
    QPushButton* moveDown_ = nullptr;
    QPushButton* cameraLists_ = nullptr;
    QPushButton* updateNow_ = nullptr;
    NumberField* interval_[3] = {};
};

}  // namespace config
