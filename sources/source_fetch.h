// One source's fetch from its start to its picture stored, as the saver window and the Images page
// both run it: the picture's date and tag sent along, the fetch, a success without bytes taken
// back as an error, the picture written safely, and the source's fields. Where those fields live
// (the stored list, the page's rows) and what is shown of the outcome stay with the owner.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cam_list.h"
#include "image_fetcher.h"

namespace sources {

enum class UpdateOwner { SaverWindow, ImagesPage };

// The Last Result word of a fetch result (0 bytes of success count as an error).
std::string ResultWord(int result, UpdateOwner owner);
// The word of an update that could not start (or whose picture could not be stored).
constexpr const char* kFailedWord = "Failed";

// The text of a step or progress message, after the owner's prefix ("Status: " for the saver
// window); nothing for a step the table does not know.
std::optional<std::string> FetchStatusText(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                           std::string_view prefix);

// The sources' fields where an owner keeps them.
class SourceFields {
public:
    virtual ~SourceFields() = default;
    // Whether the source is still there: a picture that comes for one removed meanwhile is dropped.
    virtual bool Listed(const std::string& name) const = 0;
    virtual void Set(const std::string& name, CamField field, const std::string& value) = 0;
};

// The fields in the stored list of the settings (each change saved).
class StoredListFields : public SourceFields {
public:
    explicit StoredListFields(saver::SaverSettings& settings) : settings_(settings) {}
    bool Listed(const std::string& name) const override;
    void Set(const std::string& name, CamField field, const std::string& value) override;

private:
    saver::SaverSettings& settings_;
};

struct SourceToFetch {
    std::string name;
    std::string url;
    std::string referrer;
    std::string imageDate;  // the date of the picture the source has, sent along with its tag
};

// How a fetch ended for its source.
struct FetchOutcome {
    std::string name;
    std::string url;
    int result = kFetchCancelled;  // the fetch's own result
    const char* type = nullptr;    // what a picture that came is stored as
    bool stored = false;           // the picture is in the images folder and the fields say so
    bool writeFailed = false;      // a picture came but could not be written ("Failed")
};

class SourceFetch {
public:
    SourceFetch(FetchState& state, CImageFetcher& fetcher, UpdateOwner owner);

    bool busy() const { return state_.FetchBusy != 0; }
    // Starts the source's fetch. False when it could not start (a name that cannot be a file in
    // the images folder, an address refused): its Last Result then says so.
    bool Start(const SourceToFetch& source, SourceFields& fields);
    // The completion message `window` received. Nothing when no fetch waits for it, or when a
    // success without bytes is posted back to `window` as an error.
    std::optional<FetchOutcome> Finish(unsigned message, std::uintptr_t bytes, std::intptr_t result,
                                       platform::HWND window, const std::string& imagesDirectory,
                                       SourceFields& fields);
    // Asks the running fetch to stop; its completion comes as Cancelled.
    void Cancel();
    // Stops the running fetch for good: its completion goes nowhere.
    void Abandon();

private:
    void Store(FetchOutcome& outcome, std::uintptr_t bytes, const std::string& imagesDirectory, SourceFields& fields);

    FetchState& state_;
    CImageFetcher& fetcher_;
    UpdateOwner owner_;
};

}  // namespace sources
