#include "source_schedule.h"

#include <algorithm>
#include <limits>

#include "cam_list.h"

namespace sources {

void SourceSchedule::Refresh(std::string_view camList) {
    if (read_ && camList == text_) return;
    read_ = true;
    text_ = camList;
    const std::vector<CamRecord> records = ParseCamList(camList);
    if (parsedDates_.size() > 2 * records.size() + 16) parsedDates_.clear();
    sources_.clear();
    firstPlace_.clear();
    oldestUpdate_ = records.empty() ? 0 : std::numeric_limits<std::time_t>::max();
    for (const CamRecord& record : records) {
        auto parsed = parsedDates_.find(record.LastUpdate);
        if (parsed == parsedDates_.end())
            parsed = parsedDates_.emplace(record.LastUpdate, ParseLastUpdate(record.LastUpdate)).first;
        firstPlace_.emplace(record.Name, sources_.size());
        sources_.push_back(Source{record.Name, record.URL, record.Selected == "1", parsed->second});
        oldestUpdate_ = std::min(oldestUpdate_, parsed->second);
    }
}

std::time_t SourceSchedule::LastUpdate(std::string_view name) const {
    const auto place = firstPlace_.find(std::string(name));
    return place == firstPlace_.end() ? 0 : sources_[place->second].lastUpdate;
}

const std::string& SourceSchedule::Url(std::string_view name) const {
    static const std::string kNone;
    const auto place = firstPlace_.find(std::string(name));
    return place == firstPlace_.end() ? kNone : sources_[place->second].url;
}

std::string SourceSchedule::NextSelected(std::string_view name) const {
    const auto place = firstPlace_.find(std::string(name));
    return NextSelectedAfter(
        sources_.size(), place == firstPlace_.end() ? std::nullopt : std::optional<size_t>(place->second), name,
        [&](size_t at) { return std::string_view(sources_[at].name); }, [&](size_t at) { return sources_[at].selected; });
}

}  // namespace sources
