#include "play_list.h"

#include <vector>

#include "settings.h"

namespace music {

bool ListHolds(std::string_view list, std::string_view entry) {
    for (const std::string& item : saver::SplitBarList(list))
        if (item == entry) return true;
    return false;
}

std::string NextMusicFile(std::string_view list, std::string_view current) {
    const std::vector<std::string> entries = saver::SplitBarList(list);
    if (entries.empty()) return {};
    for (size_t i = 0; i < entries.size(); ++i)
        if (!current.empty() && entries[i] == current) return entries[(i + 1) % entries.size()];
    return entries.front();
}

}  // namespace music
