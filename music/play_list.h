// The music list ("|" after every entry) and the file that follows the current one.
#pragma once

#include <string>
#include <string_view>

namespace music {

// The entry after `current`, wrapping from the last to the first; the first entry when `current`
// is empty or not in the list; empty for an empty list. Entries are compared whole.
std::string NextMusicFile(std::string_view list, std::string_view current);
// Whether the list holds exactly that entry.
bool ListHolds(std::string_view list, std::string_view entry);

}  // namespace music
