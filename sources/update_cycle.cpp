#include "update_cycle.h"

#include <algorithm>
#include <random>
#include <set>

#include "cam_list.h"
#include "clock.h"
#include "connectivity.h"
#include "retry_after.h"

namespace sources {

int UpdateIntervalSeconds(const saver::SaverSettings& settings) {
    const long long seconds = (long long)settings.EditHours * 3600 + (long long)settings.EditMinutes * 60 + settings.EditSeconds;
    return int(std::clamp<long long>(seconds, 5, 999LL * 3600 + 59 * 60 + 59));
}

UpdateCycle::UpdateCycle(saver::SaverSettings& settings, FetchState& state, CImageFetcher& fetcher, HWND owner)
    : settings_(settings),
      state_(state),
      owner_(owner),
      fetch_(state, fetcher, UpdateOwner::SaverWindow),
      fields_(settings),
      interval_(UpdateIntervalSeconds(settings)) {}

void UpdateCycle::CheckDue(const std::string& currentCam, std::time_t now, bool preview,
                           const std::vector<std::string>& alsoShown) {
    schedule_.Refresh(settings_.CamList);
    if (!firstCheck_) firstCheck_ = now;
    const auto due = [&](const std::string& name) { return Due(name, now); };
    // Nothing in the list is due before its oldest update plus the interval; a name shown that
    // the list lacks counts as never updated, so it is looked at below.
    const bool shownAreListed = (currentCam.empty() || schedule_.Contains(currentCam)) &&
                                std::all_of(alsoShown.begin(), alsoShown.end(),
                                            [&](const std::string& name) { return name.empty() || schedule_.Contains(name); });
    if (shownAreListed && interval_ >= static_cast<long long>(now) - static_cast<long long>(schedule_.OldestUpdate()))
        return;
    if (due(currentCam)) {
        StartCamUpdate(currentCam, preview);
        return;
    }
    // The look-ahead fetches the source the show moves to next: an unticked one is never asked.
    const std::string next = saver::ChangeOf(settings_) == saver::SourceChange::OnTime ? schedule_.NextSelected(currentCam) : std::string();
    if (due(next)) {
        StartCamUpdate(next, preview);
        return;
    }
    // One fetch a tick serves every monitor: a source shown on two is fetched once.
    for (const std::string& name : alsoShown)
        if (due(name)) {
            StartCamUpdate(name, preview);
            return;
        }
    // Then every other selected source in list order, so the interval holds for each and the
    // show finds a fresh picture whenever it comes to one (a name listed twice is asked once).
    std::set<std::string> asked{currentCam};
    for (std::string name = schedule_.NextSelected(currentCam); asked.insert(name).second;
         name = schedule_.NextSelected(name))
        if (due(name)) {
            StartCamUpdate(name, preview);
            return;
        }
}

bool UpdateCycle::Due(const std::string& name, std::time_t now) {
    if (name.empty()) return false;
    const std::time_t last = schedule_.LastUpdate(name);
    const int spread = SpreadOf(name, last);
    if (interval_ + spread >= static_cast<long long>(now) - static_cast<long long>(last)) return false;
    // A picture kept from an earlier run waits its offset after this program's start too: savers
    // started together (a morning's log-ons) do not all ask at once. A source never fetched is
    // asked at once.
    if (last != 0 && now < firstCheck_ + spread) return false;
    return RetryNotBefore(schedule_.Url(name)) <= now;
}

int UpdateCycle::SpreadOf(const std::string& name, std::time_t lastUpdate) {
    const auto known = spread_.find(name);
    if (known != spread_.end() && known->second.lastUpdate == lastUpdate) return known->second.seconds;
    static std::mt19937 random{std::random_device{}()};
    const int widest = std::clamp(interval_ / 10, 1, 60);
    const int seconds = std::uniform_int_distribution<int>(0, widest)(random);
    spread_[name] = Spread{lastUpdate, seconds};
    return seconds;
}

std::time_t UpdateCycle::RetryNotBefore(const std::string& url) {
    const auto known = retryNotBefore_.find(url);
    if (known != retryNotBefore_.end()) return known->second;
    return retryNotBefore_[url] = StoredRetryNotBefore(url);
}

int UpdateCycle::StartCamUpdate(const std::string& name, bool preview) {
    if (preview || !platform::IsOnline() || fetch_.busy()) return 0;
    const SourceToFetch source{name, GetCamField(settings_, name, kCamUrl), GetCamField(settings_, name, kCamRefUrl),
                               GetCamField(settings_, name, kCamImageDate)};
    // A failure counts as an update: the source is tried again after the interval, not at every
    // tick (each of which would write the settings).
    if (!fetch_.Start(source, fields_))
        SetCamField(settings_, name, kCamLastUpdate, FormatLastUpdate(platform::Clock::instance().calendarNow()));
    return 1;
}

std::optional<std::string> UpdateCycle::OnFetchDone(unsigned message, std::uintptr_t bytes, std::intptr_t result,
                                                    std::time_t now) {
    const auto outcome = fetch_.Finish(message, bytes, result, owner_, ImagesDirectory(settings_), fields_);
    if (!outcome) return std::nullopt;
    // A server that asked to be left alone for a while is; one that answered is asked as before.
    const std::time_t notBefore = result == kFetchRefused && state_.FetchRetryAfter > 0 ? now + state_.FetchRetryAfter : 0;
    retryNotBefore_[outcome->url] = notBefore;
    StoreRetryNotBefore(outcome->url, notBefore);
    SetCamField(settings_, outcome->name, kCamLastUpdate, FormatLastUpdate(now));
    return outcome->stored ? std::optional(outcome->name) : std::nullopt;
}

void UpdateCycle::OnFetchProgress(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (auto text = FetchStatusText(message, wParam, lParam, "Status: ")) status_ = *text;
}

std::string UpdateCycle::MarqueeStatus() const {
    if (fetch_.busy()) return status_;
    return platform::IsOnline() ? "Status: Online" : "Status: Offline";
}

}  // namespace sources
