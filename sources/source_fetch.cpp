#include "source_fetch.h"

#include <cstdio>

#include "entity_tags.h"
#include "picture_store.h"
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

bool StoredListFields::Listed(const std::string& name) const { return !GetCamField(settings_, name, kCamName).empty(); }

void StoredListFields::Set(const std::string& name, CamField field, const std::string& value) {
    SetCamField(settings_, name, field, value);
}

SourceFetch::SourceFetch(FetchState& state, CImageFetcher& fetcher, UpdateOwner owner)
    : state_(state), fetcher_(fetcher), owner_(owner) {}

bool SourceFetch::Start(const SourceToFetch& source, SourceFields& fields) {
    state_.FetchImageDate = source.imageDate;
    state_.FetchEntityTag = StoredEntityTag(source.url);
    fetcher_.ReleaseBuffer();
    // A name that cannot be a file in the images folder is never fetched for.
    if (!IsSafePictureName(source.name) || fetcher_.StartFetch(source.url, source.referrer) != 0) {
        fields.Set(source.name, kCamLastResult, kFailedWord);
        return false;
    }
    state_.FetchBusy = 1;
    state_.FetchCamName = source.name;
    state_.FetchCamUrl = source.url;
    return true;
}

std::optional<FetchOutcome> SourceFetch::Finish(unsigned message, std::uintptr_t bytes, std::intptr_t result,
                                                platform::HWND window, const std::string& imagesDirectory,
                                                SourceFields& fields) {
    if (!state_.FetchBusy) return std::nullopt;  // a completion nobody waits for any more
    if (result == kFetchSuccess && bytes == 0) {
        // Nothing arrived: handled as an error when the reposted message comes back.
        platform::PostMessage(window, saver::MSG_FETCH_DONE_JPG, 0, kFetchError);
        return std::nullopt;
    }
    FetchOutcome outcome;
    outcome.name = state_.FetchCamName;
    outcome.url = state_.FetchCamUrl;
    outcome.result = int(result);
    outcome.type = StoredPictureType(message);
    if (result == kFetchSuccess) {
        Store(outcome, bytes, imagesDirectory, fields);
    } else {
        state_.CancelRequested = 0;
        fields.Set(outcome.name, kCamLastResult, ResultWord(outcome.result, owner_));
    }
    fetcher_.ReleaseBuffer();
    state_.FetchBusy = 0;
    state_.FetchCamName.clear();
    state_.FetchCamUrl.clear();
    return outcome;
}

void SourceFetch::Store(FetchOutcome& outcome, std::uintptr_t bytes, const std::string& imagesDirectory,
                        SourceFields& fields) {
    if (!fields.Listed(outcome.name)) return;  // removed while its picture came: nothing of it is kept
    if (!StorePicture(imagesDirectory, outcome.name, outcome.type, fetcher_.Buffer(), bytes)) {
        // The picture could not be written (a read-only or missing images folder).
        outcome.writeFailed = true;
        fields.Set(outcome.name, kCamLastResult, kFailedWord);
        return;
    }
    fields.Set(outcome.name, kCamType, outcome.type);
    fields.Set(outcome.name, kCamLastResult, ResultWord(kFetchSuccess, owner_));
    fields.Set(outcome.name, kCamImageDate, state_.FetchImageDate);
    // A stored list learns that another program removed the source when its first field is saved.
    if (!fields.Listed(outcome.name)) {
        RemoveStoredPicture(imagesDirectory, outcome.name, outcome.type);
        return;
    }
    outcome.stored = true;
    StoreEntityTag(outcome.url, state_.FetchEntityTag);
}

void SourceFetch::Cancel() { fetcher_.Cancel(); }

void SourceFetch::Abandon() {
    if (!state_.FetchBusy) return;
    fetcher_.Cancel();
    state_.FetchBusy = 0;
}

}  // namespace sources
