// What a fetch reports to its owner: the steps it goes through and how it ended.
#pragma once

namespace sources {

// The outcome carried in lParam of the completion message.
enum FetchResult {
    kFetchSuccess = 0,
    kFetchCancelled = 1,
    kFetchNotAnImage = 2,
    kFetchError = 4,
    kFetchQueryInfoError = 5,
    kFetchRefused = 6,
    kFetchNoChange = 7,
};

// Steps reported by MSG_FETCH_STATUS.
enum FetchStep { kStepConnecting = 1, kStepRequesting = 2, kStepQuerying = 3, kStepDownloading = 4 };

}  // namespace sources
