// Text comparisons without regard to (ASCII) letter case, as the platform compares names.
#pragma once

#include <string_view>

namespace platform {

char FoldCase(char c);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);

// An ordering of names without regard to letter case, for maps keyed by them.
struct CaseInsensitiveLess {
    bool operator()(std::string_view a, std::string_view b) const;
};

}  // namespace platform
