#include "cam_rows.h"

#include <algorithm>
#include <filesystem>

#include "picture_store.h"
#include "text_compare.h"

namespace config {

void CamRows::Load(std::string_view camList) {
    rows_ = sources::ParseCamList(camList);
    // A flag other than "1" is an unchecked box, and is written back as "0".
    for (CamRecord& record : rows_) record.Selected.assign(1, record.Selected == "1" ? '1' : '0');
    selected_ = -1;
}

std::string CamRows::Save() const { return sources::FormatCamList(rows_); }

void CamRows::setChecked(int index, bool checked) { rows_.at(size_t(index)).Selected.assign(1, checked ? '1' : '0'); }

int CamRows::CountChecked() const {
    return int(std::count_if(rows_.begin(), rows_.end(), [](const CamRecord& record) { return record.Selected == "1"; }));
}

std::vector<std::string> CamRows::Names() const {
    std::vector<std::string> names;
    for (const CamRecord& record : rows_) names.push_back(record.Name);
    return names;
}

void CamRows::select(int index) { selected_ = index >= 0 && index < size() ? index : -1; }

int CamRows::Find(std::string_view name) const {
    for (int i = 0; i < size(); ++i)
        if (platform::EqualsNoCase(rows_[size_t(i)].Name, name)) return i;
    return -1;
}

int CamRows::SelectByName(std::string_view name) {
    if (empty()) {
        selected_ = -1;
        return -1;
    }
    const int found = Find(name);
    selected_ = found >= 0 ? found : 0;
    return selected_;
}

bool CamRows::MoveUp() {
    if (selected_ <= 0) return false;
    std::swap(rows_[size_t(selected_)], rows_[size_t(selected_ - 1)]);
    --selected_;
    return true;
}

bool CamRows::MoveDown() {
    if (selected_ < 0 || selected_ + 1 >= size()) return false;
    std::swap(rows_[size_t(selected_)], rows_[size_t(selected_ + 1)]);
    ++selected_;
    return true;
}

std::optional<CamRecord> CamRows::Remove() {
    if (selected_ < 0) return std::nullopt;
    CamRecord removed = std::move(rows_[size_t(selected_)]);
    rows_.erase(rows_.begin() + selected_);
    selected_ = empty() ? -1 : std::max(selected_ - 1, 0);
    return removed;
}

void CamRows::Add(const std::string& name, const std::string& url) {
    CamRecord record;
    record.Name = name;
    record.URL = url;
    rows_.push_back(record);
}

bool CamRows::Edit(const std::string& name, const std::string& url) {
    if (selected_ < 0) return false;
    CamRecord& record = rows_[size_t(selected_)];
    // Another address is another picture: its date says nothing about the new one, which is
    // fetched whole next time.
    if (record.URL != url) record.ImageDate.clear();
    record.Name = name;
    record.URL = url;
    return true;
}

bool CamRows::SetField(std::string_view name, int field, const std::string& value) {
    const int index = Find(name);
    if (index < 0) return false;
    CamRecord& record = rows_[size_t(index)];
    switch (field) {
    case sources::kCamType: record.Type = value; return true;
    case sources::kCamImageDate: record.ImageDate = value; return true;
    case sources::kCamLastResult: record.LastResult = value; return true;
    case sources::kCamLastUpdate: record.LastUpdate = value; return true;
    default: return false;
    }
}

std::string SelectedPicturePath(const CamRows& rows, const saver::SaverSettings& settings) {
    if (rows.selected() < 0) return {};
    const CamRecord& record = rows.row(rows.selected());
    const std::string path = sources::PicturePath(settings, record.Name, record.Type);
    return !path.empty() && sources::FileExists(path) ? path : sources::FallbackImagePath(settings);
}

}  // namespace config
