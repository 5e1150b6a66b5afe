#include "update_cycle.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>

#include "cam_list.h"
#include "clock.h"
#include "connectivity.h"
#include "entity_tags.h"
#include "retry_after.h"
#include "saver_messages.h"
#include "windows.h"

namespace sources {

std::string ResultWord(int result, UpdateOwner owner) {
    switch (result) {
    case kFetchSuccess: return "Success";
    case kFetchNotAnImage: return "Not an Image";
    case kFetchError: return "Error";
    case kFetchQueryInfoError: return "QI Error";
    case kFetchRefused: return "Refused";
    case kFetchNoChange: return owner == UpdateOwner::SaverWindow ? "NoChange" : "No Change";
    default: return "Cancelled";
    }
}

std::optional<std::string> FetchStatusText(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                           std::string_view prefix) {
    std::string text(prefix);
    if (message == saver::MSG_FETCH_PROGRESS) {
        char progress[96];
        if (lParam) std::snprintf(progress, sizeof progress, "Downloading %lu of %ld bytes", (unsigned long)wParam, (long)lParam);
        else std::snprintf(progress, sizeof progress, "Downloading %lu of ??? bytes", (unsigned long)wParam);
        return text + progress;
    }
    if (message != saver::MSG_FETCH_STATUS) return std::nullopt;
    switch (wParam) {
    case kStepConnecting: return text + "Connecting...";
    case kStepRequesting: return text + "Requesting File...";
    case kStepQuerying: return text + "Querying File Info...";
    case kStepDownloading: return text + "Beginning Download...";
    default: return std::nullopt;
    }
}

int UpdateIntervalSeconds(const saver::SaverSettings& settings) {
    const long long seconds = (long long)settings.EditHours * 3600 + (long long)settings.EditMinutes * 60 + settings.EditSeconds;
    return int(std::clamp<long long>(seconds, 5, 999LL * 3600 + 59 * 60 + 59));
}

UpdateCycle::UpdateCycle(saver::SaverSettings& settings, FetchState& state, CImageFetcher& fetcher, HWND owner)
    : settings_(settings), state_(state), fetcher_(fetcher), owner_(owner), interval_(UpdateIntervalSeconds(settings)) {}

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
    const std::string next = settings_.Change == 1 ? schedule_.NextSelected(currentCam) : std::string();
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
    if (preview || !platform::IsOnline() || state_.FetchBusy) return 0;
    const std::string url = GetCamField(settings_, name, kCamUrl);
    const std::string referrer = GetCamField(settings_, name, kCamRefUrl);
    state_.FetchImageDate = GetCamField(settings_, name, kCamImageDate);
    state_.FetchEntityTag = StoredEntityTag(url);
    fetcher_.ReleaseBuffer();
    // A name that cannot be a file in the images folder is never fetched for.
    const int started = IsSafePictureName(name) ? fetcher_.StartFetch(url, referrer) : 2;
    if (started != 0) {
        // A failure counts as an update: the source is tried again after the interval, not at
        // every tick (each of which would write the settings).
        SetCamField(settings_, name, kCamLastResult, kFailedWord);
        SetCamField(settings_, name, kCamLastUpdate, FormatLastUpdate(platform::Clock::instance().calendarNow()));
        return 1;
    }
    state_.FetchBusy = 1;
    state_.FetchCamName = name;
    state_.FetchCamUrl = url;
    return 1;
}

std::optional<std::string> UpdateCycle::OnFetchDone(unsigned message, std::uintptr_t bytes, std::intptr_t result,
                                                    std::time_t now) {
    const std::string name = state_.FetchCamName;
    const char* extension = StoredPictureType(message);
    if (result == kFetchSuccess && bytes == 0) {
        // Nothing arrived: handled as an error when the reposted message comes back.
        platform::PostMessage(owner_, saver::MSG_FETCH_DONE_JPG, 0, kFetchError);
        return std::nullopt;
    }
    std::optional<std::string> stored;
    if (result == kFetchSuccess) {
        const bool written = StorePicture(ImagesDirectory(settings_), name, extension, fetcher_.Buffer(), bytes);
        fetcher_.ReleaseBuffer();
        if (written) {
            SetCamField(settings_, name, kCamType, extension);
            SetCamField(settings_, name, kCamLastResult, ResultWord(kFetchSuccess, UpdateOwner::SaverWindow));
            SetCamField(settings_, name, kCamImageDate, state_.FetchImageDate);
            StoreEntityTag(state_.FetchCamUrl, state_.FetchEntityTag);
            stored = name;
        } else {
            SetCamField(settings_, name, kCamLastResult, kFailedWord);
        }
    } else {
        state_.CancelRequested = 0;
        fetcher_.ReleaseBuffer();
        SetCamField(settings_, name, kCamLastResult, ResultWord(int(result), UpdateOwner::SaverWindow));
    }
    // A server that asked to be left alone for a while is; one that answered is asked as before.
    const std::time_t notBefore = result == kFetchRefused && state_.FetchRetryAfter > 0 ? now + state_.FetchRetryAfter : 0;
    retryNotBefore_[state_.FetchCamUrl] = notBefore;
    StoreRetryNotBefore(state_.FetchCamUrl, notBefore);
    SetCamField(settings_, name, kCamLastUpdate, FormatLastUpdate(now));
    if (stored && GetCamField(settings_, name, kCamName).empty()) {
        // The sheet removed the source while its picture came: the list as saved has no row for
        // it, so the picture goes too.
        std::error_code error;
        std::filesystem::remove(PicturePath(settings_, name, extension), error);
        stored.reset();
    }
    state_.FetchBusy = 0;
    state_.FetchCamName.clear();
    state_.FetchCamUrl.clear();
    return stored;
}

void UpdateCycle::OnFetchProgress(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (auto text = FetchStatusText(message, wParam, lParam, "Status: ")) status_ = *text;
}

std::string UpdateCycle::MarqueeStatus() const {
    if (state_.FetchBusy) return status_;
    return platform::IsOnline() ? "Status: Online" : "Status: Offline";
}

}  // namespace sources
