// The Audio page's list of music files, kept as the "|"-terminated text the settings hold.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace config {

// A folder and a file name joined by one separator, whatever the folder ends with.
std::string JoinMusicPath(std::string_view folder, std::string_view name);

class MusicList {
public:
    void Load(std::string_view text);
    std::string Text() const;
    const std::vector<std::string>& entries() const { return entries_; }

    // Adds the path at the end unless an entry already begins with it, letter case aside.
    // True when it was added.
    bool Add(const std::string& path);
    // Removes the entry; returns the one to select after it (the one before, or the first),
    // nothing when the list is empty.
    std::optional<int> Remove(int index);
    void Clear() { entries_.clear(); }
    // Moves the entry one place; returns its new index, or nothing when it cannot move.
    std::optional<int> MoveUp(int index);
    std::optional<int> MoveDown(int index);

private:
    std::vector<std::string> entries_;
};

}  // namespace config
