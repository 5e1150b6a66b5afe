#include "images_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>
#include <filesystem>

#include "add_camera_dialog.h"
#include "browser_launcher.h"
#include "cam_validation.h"
#include "clock.h"
#include "connectivity.h"
#include "image_preview_widget.h"
#include "message_box.h"
#include "page_controls.h"
#include "saver_app.h"
#include "saver_messages.h"
#include "update_cycle.h"

namespace config {

using namespace platform;
using saver::SaverSettings;

namespace {

constexpr const char* kCaptionPrefix = "Kelvane Screen Saver - Status: ";
constexpr const char* kFailedCaption = "Ostrel Screen Saver - Status: FAILED!";
constexpr const char* kCancelingCaption = "Ostrel Screen Saver - Status: Canceling...";

// The interval fields: hours, minutes, seconds, with their ranges and control ids.
struct IntervalField {
    const char* label;
    int maximum;
    const char* editId;
    const char* spinId;
};
constexpr IntervalField kIntervalFields[3] = {
    {"Hours", 999, "1000", "1140"}, {"Minutes", 59, "1001", "1141"}, {"Seconds", 59, "1002", "1142"}};

QLabel* ValueLabel(const char* id) {
    auto* label = new QLabel;
    label->setObjectName(id);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(label->fontMetrics().averageCharWidth() * 24);
    return label;
}

// The caption a finished fetch leaves on the sheet: nothing for a success or "Not an Image".
std::optional<std::string> ResultCaption(int result) {
    switch (result) {
    case sources::kFetchSuccess:
    case sources::kFetchNotAnImage: return std::nullopt;
    default: return std::string(kCaptionPrefix) + sources::ResultWord(result, sources::UpdateOwner::ImagesPage);
    }
}

std::time_t Now() { return Clock::instance().calendarNow(); }

// The page's own rows: a source added or removed here is fetched for as the page shows it.
class RowFields : public sources::SourceFields {
public:
    explicit RowFields(CamRows& rows) : rows_(rows) {}
    bool Listed(const std::string& name) const override { return rows_.Find(name) >= 0; }
    void Set(const std::string& name, sources::CamField field, const std::string& value) override {
        rows_.SetField(name, field, value);
    }

private:
    CamRows& rows_;
};

}  // namespace

CFilesPropPage::CFilesPropPage(saver::SaverApp& app, SheetServices services, Opener opener)
    : SheetPage("Images", std::move(services)),
      app_(app),
      opener_(std::move(opener)),
      fetcher_(app.fetch),
      fetch_(app.fetch, fetcher_, sources::UpdateOwner::ImagesPage),
      messages_("KelvaneImagesPage", [this](UINT message, WPARAM wParam, LPARAM lParam) {
          return OnMessage(message, wParam, lParam);
      }) {
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel("The screen saver will cycle though the selected Images stored on a server at the indicated URL:");
    intro->setWordWrap(true);
    layout->addWidget(intro);

    list_ = new CCamListCtrl;
    list_->setMinimumHeight(list_->fontMetrics().height() * 7);
    layout->addWidget(list_, 1);

    auto* listButtons = new QHBoxLayout;
    auto* add = PushButton("A&dd", "1009");
    remove_ = PushButton("&Remove", "1010");
    auto* editButton = PushButton("&Edit", "1029");
    moveUp_ = PushButton("Move &Up", "1130");
    moveDown_ = PushButton("Move Do&wn", "1131");
    listButtons->addWidget(add);
    listButtons->addWidget(remove_);
    listButtons->addWidget(editButton);
    listButtons->addSpacing(12);
    listButtons->addWidget(new QLabel("Change Order:"));
    listButtons->addWidget(moveUp_);
    listButtons->addWidget(moveDown_);
    listButtons->addStretch();
    selectedCount_ = new QLabel;
    selectedCount_->setObjectName("1143");
    listButtons->addWidget(selectedCount_);
    layout->addLayout(listButtons);

    auto* lower = new QHBoxLayout;
    auto* details = new QGridLayout;
    current_ = ValueLabel("1136");
    imageSize_ = ValueLabel("1137");
    lastUpdate_ = ValueLabel("1138");
    lastResult_ = ValueLabel("1139");
    const std::pair<const char*, QLabel*> rows[] = {
        {"Current:", current_}, {"Image Size:", imageSize_}, {"Last Update:", lastUpdate_}, {"Last Result:", lastResult_}};
    int row = 0;
    for (const auto& [text, value] : rows) {
        details->addWidget(new QLabel(text), row, 0);
        details->addWidget(value, row++, 1);
    }
    auto* interval = new QGroupBox("Update Images Every:");
    auto* intervalLayout = new QGridLayout(interval);
    for (int i = 0; i < 3; ++i) {
        const IntervalField& field = kIntervalFields[i];
        interval_[i] = new NumberField(field.editId, field.spinId, 0, field.maximum);
        interval_[i]->onChanged = [this] { SetModified(); };
        interval_[i]->checkAsTyped = true;
        auto* label = new QLabel(field.label);
        label->setBuddy(interval_[i]->edit());
        intervalLayout->addWidget(label, 0, i);
        intervalLayout->addWidget(interval_[i], 1, i);
    }
    updateNow_ = PushButton("Update Now", "1134");
    intervalLayout->addWidget(updateNow_, 1, 3);
    details->addWidget(interval, row, 0, 1, 2);
    lower->addLayout(details, 1);

    auto* previewColumn = new QVBoxLayout;
    preview_ = new ImagePreviewWidget;
    preview_->setObjectName("1104");
    preview_->setMinimumSize(160, 120);
    preview_->setToolTip(sources::kShownKinds);
    previewColumn->addWidget(preview_, 1);
    showPreviewBox_ = new QCheckBox("Show Preview");
    showPreviewBox_->setObjectName("1103");
    previewColumn->addWidget(showPreviewBox_);
    cameraLists_ = PushButton("Get New Camera Lists", "1102");
    previewColumn->addWidget(cameraLists_);
    lower->addLayout(previewColumn);
    layout->addLayout(lower);

    connect(add, &QPushButton::clicked, this, [this] { AddOrEdit(false); });
    connect(editButton, &QPushButton::clicked, this, [this] { AddOrEdit(true); });
    connect(remove_, &QPushButton::clicked, this, [this] { RemoveSelected(); });
    connect(moveUp_, &QPushButton::clicked, this, [this] { Move(true); });
    connect(moveDown_, &QPushButton::clicked, this, [this] { Move(false); });
    connect(showPreviewBox_, &QCheckBox::clicked, this, [this] { ToggleShowPreview(); });
    connect(cameraLists_, &QPushButton::clicked, this, [this] { OpenCameraLists(); });
    connect(updateNow_, &QPushButton::clicked, this, [this] { UpdateNow(); });
    list_->onSelectionChanged = [this] { ShowDetails(); };
    list_->onCheckChanged = [this] {
        SetModified();
        RefreshButtons();
    };
    connect(list_, &QTableWidget::cellDoubleClicked, this, [this] { AddOrEdit(true); });
}

// A fetch of this page that is still running ends here, and its messages go nowhere.
CFilesPropPage::~CFilesPropPage() { fetch_.Abandon(); }

void CFilesPropPage::SettingsToPage(const SaverSettings& settings) {
    const int values[3] = {settings.EditHours, settings.EditMinutes, settings.EditSeconds};
    for (int i = 0; i < 3; ++i)  // a hand-edited value beyond its field is shown within it
        interval_[i]->setValue(std::clamp(values[i], interval_[i]->minimum(), interval_[i]->maximum()));
    currentName_ = settings.CurrentCam;
}

void CFilesPropPage::SettingsFromPage(SaverSettings& settings) {
    int* values[3] = {&settings.EditHours, &settings.EditMinutes, &settings.EditSeconds};
    for (int i = 0; i < 3; ++i)
        if (const auto value = interval_[i]->value()) *values[i] = *value;
    settings.CamList = list_->rows().Save();
    settings.CurrentCam = currentName_;
}

bool CFilesPropPage::Validate() {
    for (NumberField* field : interval_)
        if (!field->Validate()) return false;
    return true;
}

void CFilesPropPage::Initialise() {
    sources::EnsureFallbackPicture(app_.settings);
    showPreview_ = app_.settings.PreviewCurrent;
    preview_->setBackColor(COLORREF(app_.settings.BackColor));
    list_->Load(app_.settings.CamList);
    SelectByName(currentName_);
    currentPicturePath_ = SelectedPicturePath(list_->rows(), app_.settings);
    RefreshPreview();
    RefreshButtons();
    fetcher_.SetOwner(window());
    BeginUserChanges();
}

void CFilesPropPage::Reload() {
    saver::LoadSettings(app_.settings);
    const int selected = list_->rows().selected();
    list_->Load(app_.settings.CamList);
    list_->rows().select(selected);
    list_->ShowSelection();
    if (list_->rows().selected() >= 0) ShowDetails();
    RefreshButtons();
}

void CFilesPropPage::SelectByName(const std::string& name) {
    if (list_->rows().SelectByName(name) < 0) return;
    list_->ShowSelection();
    ShowDetails();
}

void CFilesPropPage::ShowDetails() {
    const CamRows& rows = list_->rows();
    if (rows.selected() >= 0) {
        const CamRecord& record = rows.row(rows.selected());
        currentName_ = record.Name;
        app_.settings.CurrentCam = record.Name;
        saver::SaveCurrentCam(app_.settings);
    } else {
        currentName_.clear();
    }
    current_->setText(QString::fromStdString(currentName_));
    RefreshDetailLabels();
    currentPicturePath_ = SelectedPicturePath(rows, app_.settings);
    RefreshPreview();
    SetModified();
}

void CFilesPropPage::RefreshDetailLabels() {
    const CamRows& rows = list_->rows();
    const int index = rows.Find(current_->text().toStdString());
    lastUpdate_->setText(index >= 0 ? QString::fromStdString(rows.row(index).LastUpdate) : QString());
    lastResult_->setText(index >= 0 ? QString::fromStdString(rows.row(index).LastResult) : QString());
}

void CFilesPropPage::RefreshPreview() {
    bool ownPicture = false;
    if (showPreview_ && !currentPicturePath_.empty()) {
        const bool loaded = preview_->Load(currentPicturePath_) > 0;
        ownPicture = loaded && currentPicturePath_ != sources::FallbackImagePath(app_.settings);
        if (loaded) {
            RefreshDetailLabels();
        } else {
            app_.settings.CurrentFile = sources::FallbackImagePath(app_.settings);
            preview_->Load(app_.settings.CurrentFile);
        }
    } else {
        preview_->Clear();
    }
    // The size is the source's picture's: the card shown in place of a missing one has none.
    const imaging::CImagePreview& shown = preview_->preview();
    imageSize_->setText(ownPicture ? QString("%1 x %2").arg(shown.pictureWidth()).arg(shown.pictureHeight()) : QString());
}

void CFilesPropPage::RefreshButtons() {
    const CamRows& rows = list_->rows();
    showPreviewBox_->setChecked(showPreview_ != 0);
    cameraLists_->setEnabled(showPreview_ != 0);
    remove_->setEnabled(!rows.empty());
    moveUp_->setEnabled(rows.selected() >= 0);
    moveDown_->setEnabled(rows.selected() >= 0);
    selectedCount_->setText(QString("%1 Selected").arg(rows.CountChecked()));
}

void CFilesPropPage::AddOrEdit(bool edit) {
    CamRows& rows = list_->rows();
    if (edit && rows.selected() < 0) return;
    const CamRecord* record = edit ? &rows.row(rows.selected()) : nullptr;
    CAddCameraDlg dialog(this, record ? record->Name : "", record ? record->URL : "", rows.Names());
    if (dialog.exec() != QDialog::Accepted) return;
    if (edit) {
        rows.Edit(dialog.name(), dialog.url());
        list_->Refresh();
        ShowDetails();
    } else {
        rows.Add(dialog.name(), dialog.url());
        currentName_ = dialog.name();
        list_->Refresh();
        SelectByName(currentName_);
    }
    RefreshButtons();
    if (IsOnline()) PostMessage(window(), saver::MSG_UPDATE_NOW, 0, 0);
    SetModified();
}

void CFilesPropPage::RemoveSelected() {
    const auto removed = list_->rows().Remove();
    if (!removed) return;
    // The page's own row says which picture it has: one added and fetched here is in no stored list.
    if (const std::string picture = sources::PicturePath(app_.settings, removed->Name, removed->Type); !picture.empty()) {
        std::error_code error;
        std::filesystem::remove(picture, error);
    }
    list_->ShowSelection();
    ShowDetails();
    SetModified();
    RefreshButtons();
}

void CFilesPropPage::Move(bool up) {
    const bool moved = up ? list_->rows().MoveUp() : list_->rows().MoveDown();
    if (!moved) return;
    list_->ShowSelection();
    SetModified();
}

void CFilesPropPage::ToggleShowPreview() {
    showPreview_ = showPreview_ ? 0 : 1;
    app_.settings.PreviewCurrent = showPreview_;
    RefreshPreview();
    RefreshButtons();
}

void CFilesPropPage::OpenCameraLists() {
    const int opened = opener_ ? opener_(kCameraListsPage) : desktop::OpenUrlInBrowser(window(), kCameraListsPage);
    if (!opened) MessageBox(window(), "Unable to lauch your default browser.", kSheetMessageTitle, MB_OK);
}

void CFilesPropPage::SetUpdateButtonText(bool fetching) { updateNow_->setText(fetching ? "Cancel" : "Update Now"); }

void CFilesPropPage::UpdateNow() {
    if (!IsOnline()) {
        MessageBox(window(), "You must be connected to the Internet to download the image.", kSheetMessageTitle, MB_OK);
        return;
    }
    if (app_.fetch.CancelRequested) return;
    if (fetch_.busy()) {
        SetCaption(kCancelingCaption);
        fetch_.Cancel();
        return;
    }
    SetCaption(std::string(kCaptionPrefix) + "Connecting...");
    CamRows& rows = list_->rows();
    if (rows.selected() < 0) {
        MessageBox(window(), "No valid camera selected.", kSheetMessageTitle, MB_OK);
        return;
    }
    const CamRecord& record = rows.row(rows.selected());
    SetUpdateButtonText(true);
    RowFields fields(rows);
    if (!fetch_.Start({record.Name, record.URL, record.RefURL, record.ImageDate}, fields)) {
        SetUpdateButtonText(false);
        SetCaption(kFailedCaption);
        list_->Refresh();
        RefreshDetailLabels();
    }
}

LRESULT CFilesPropPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case saver::MSG_UPDATE_NOW: UpdateNow(); return 0;
    case saver::MSG_FETCH_DONE_JPG:
    case saver::MSG_FETCH_DONE_GIF:
    case saver::MSG_FETCH_DONE_PNG:
    case saver::MSG_FETCH_DONE_WEBP: OnFetchDone(message, std::uintptr_t(wParam), std::intptr_t(lParam)); return 0;
    case saver::MSG_FETCH_PROGRESS:
    case saver::MSG_FETCH_STATUS:
        if (const auto text = sources::FetchStatusText(message, std::uintptr_t(wParam), std::intptr_t(lParam), kCaptionPrefix))
            SetCaption(*text);
        return 0;
    default: return DefWindowProc(window(), message, wParam, lParam);
    }
}

void CFilesPropPage::OnFetchDone(UINT message, std::uintptr_t bytes, std::intptr_t result) {
    CamRows& rows = list_->rows();
    RowFields fields(rows);
    const auto outcome = fetch_.Finish(message, bytes, result, window(), sources::ImagesDirectory(app_.settings), fields);
    if (!outcome) return;
    if (outcome->stored) {
        rows.SetField(outcome->name, sources::kCamLastUpdate, sources::FormatLastUpdate(Now()));
        currentPicturePath_ = SelectedPicturePath(rows, app_.settings);
        RefreshPreview();
    } else if (outcome->writeFailed) {
        SetCaption(kFailedCaption);
    } else if (const auto caption = ResultCaption(outcome->result)) {
        SetCaption(*caption);
    }
    list_->Refresh();
    RefreshDetailLabels();
    SetUpdateButtonText(false);
}

}  // namespace config
