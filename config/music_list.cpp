#include "music_list.h"

#include <algorithm>
#include <cctype>

#include "settings.h"

namespace config {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

}  // namespace

std::string JoinMusicPath(std::string_view folder, std::string_view name) {
    while (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
    return std::string(folder) + "/" + std::string(name);
}

void MusicList::Load(std::string_view text) { entries_ = saver::SplitBarList(text); }

std::string MusicList::Text() const { return saver::JoinBarList(entries_); }

bool MusicList::Add(const std::string& path) {
    if (path.empty()) return false;
    for (const std::string& entry : entries_)
        if (StartsWithNoCase(entry, path)) return false;
    entries_.push_back(path);
    return true;
}

std::optional<int> MusicList::Remove(int index) {
    if (index < 0 || index >= int(entries_.size())) return std::nullopt;
    entries_.erase(entries_.begin() + index);
    if (entries_.empty()) return std::nullopt;
    return std::max(index - 1, 0);
}

std::optional<int> MusicList::MoveUp(int index) {
    if (index <= 0 || index >= int(entries_.size())) return std::nullopt;
    std::swap(entries_[size_t(index)], entries_[size_t(index - 1)]);
    return index - 1;
}

std::optional<int> MusicList::MoveDown(int index) {
    if (index < 0 || index + 1 >= int(entries_.size())) return std::nullopt;
    std::swap(entries_[size_t(index)], entries_[size_t(index + 1)]);
    return index + 1;
}

}  // namespace config
