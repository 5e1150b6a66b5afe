// What the update cycle asks of the source list on every tick (each source's last update, the
// selected source after another), read from the list's text once per change of it, so that a
// list of thousands of sources costs a tick next to nothing.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sources {

class SourceSchedule {
public:
    // Reads the list again when its text differs from the one last read.
    void Refresh(std::string_view camList);

    // A source's Last Update as a time (0 for never, and for a name not in the list).
    std::time_t LastUpdate(std::string_view name) const;
    // A source's address ("" for a name not in the list).
    const std::string& Url(std::string_view name) const;
    // As NextSelectedCam on the list.
    std::string NextSelected(std::string_view name) const;
    bool Contains(std::string_view name) const { return firstPlace_.count(std::string(name)) != 0; }
    // The oldest Last Update of any source in the list; nothing is due before it plus the interval.
    std::time_t OldestUpdate() const { return oldestUpdate_; }

private:
    struct Source {
        std::string name;
        std::string url;
        bool selected;
        std::time_t lastUpdate;
    };
    std::string text_;
    bool read_ = false;
    std::vector<Source> sources_;
    std::unordered_map<std::string, size_t> firstPlace_;
    std::time_t oldestUpdate_ = 0;
    // Last Update texts already turned into times: most stay the same from one change to the next.
    std::unordered_map<std::string, std::time_t> parsedDates_;
};

}  // namespace sources
