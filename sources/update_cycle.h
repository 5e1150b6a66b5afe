// When a source's picture is fetched again, and what a finished fetch writes: the picture file,
// the source's Type, ImageDate, Last Result and Last Update. The saver window runs this protocol;
// the Images page runs the same fetch (source_fetch.h).
#pragma once

#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image_fetcher.h"
#include "picture_store.h"
#include "settings.h"
#include "source_fetch.h"
#include "source_schedule.h"

namespace sources {

// EditHours, EditMinutes and EditSeconds together, at least 5 seconds.
int UpdateIntervalSeconds(const saver::SaverSettings& settings);

class UpdateCycle {
public:
    UpdateCycle(saver::SaverSettings& settings, FetchState& state, CImageFetcher& fetcher, HWND owner);

    // Timer 3: the current source when it is due, else (changing on time) the following one,
    // else the first due of those other monitors show, else the next due selected source.
    void CheckDue(const std::string& currentCam, std::time_t now, bool preview,
                  const std::vector<std::string>& alsoShown = {});
    // 1 when it got as far as starting the fetch (or recording that it could not start).
    int StartCamUpdate(const std::string& name, bool preview);

    // The completion message. Returns the source whose new picture was stored, if one was.
    std::optional<std::string> OnFetchDone(unsigned message, std::uintptr_t bytes, std::intptr_t result, std::time_t now);
    void OnFetchProgress(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    int intervalSeconds() const { return interval_; }
    const std::string& statusText() const { return status_; }
    // The marquee's status segment: the fetch's text while one runs, else online or offline.
    std::string MarqueeStatus() const;

private:
    // Whether the source is due: its interval and its own small offset past its last update, and
    // no wait its server asked for still running.
    bool Due(const std::string& name, std::time_t now);
    // A random offset of up to a tenth of the interval (at least a second, at most a minute),
    // drawn again after each update of the source: desktops started together drift apart
    // instead of asking a server (or an office's cache) in the same second for ever.
    int SpreadOf(const std::string& name, std::time_t lastUpdate);
    std::time_t RetryNotBefore(const std::string& url);

    saver::SaverSettings& settings_;
    FetchState& state_;
    HWND owner_;
    SourceFetch fetch_;
    StoredListFields fields_;
    int interval_;
    std::string status_;
    SourceSchedule schedule_;
    struct Spread {
        std::time_t lastUpdate;
        int seconds;
    };
    std::map<std::string, Spread> spread_;               // by source name
    std::time_t firstCheck_ = 0;                         // when this program first looked
    std::map<std::string, std::time_t> retryNotBefore_;  // by address, read from the store once
};

}  // namespace sources
