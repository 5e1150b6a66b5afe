// The list of picture sources ("cams"): one text value of nine "|"-terminated fields per source,
// read and changed field by field in place.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings.h"

namespace sources {

using saver::SaverSettings;

// Field selectors of the field operations (their numbering differs from the stored order).
enum CamField {
    kCamName = 0,
    kCamUrl = 1,
    kCamLastUpdate = 2,
    kCamLastResult = 3,
    kCamType = 4,
    kCamSelected = 5,
    kCamVer = 6,
    kCamRefUrl = 7,
    kCamImageDate = 8,
    kCamNextName = 9,
};

// One source, fields in stored order.
struct CamRecord {
    std::string Name;
    std::string URL;
    std::string LastUpdate = "??:??";
    std::string LastResult = "Unknown";
    std::string Type = "???";
    std::string Selected = "1";
    std::string RefURL;
    std::string ImageDate;
    std::string Ver = "0";
    bool operator==(const CamRecord&) const = default;
};

using saver::kCamRecordFields;
constexpr const char* kNeverUpdated = "??:??";

// The list text <-> records; a text that ends inside a record gives that record empty fields.
std::vector<CamRecord> ParseCamList(std::string_view list);
std::string FormatCamList(const std::vector<CamRecord>& records);

// The operations on a list text.
std::string GetCamField(std::string_view list, std::string_view name, int field);
// Only Last Update, Last Result, Type and ImageDate can be set; a value holding the separator "|"
// would shift every later field, so it is refused too. The rest of the text stays byte for byte.
bool ReplaceCamField(std::string& list, std::string_view name, int field, std::string_view value);
std::string NextSelectedCam(std::string_view list, std::string_view name);

// The walk of NextSelectedCam over `count` sources in list order, given by their names and ticks;
// start is the place of the source named (nothing when the list lacks it).
template <typename NameAt, typename SelectedAt>
std::string NextSelectedAfter(size_t count, std::optional<size_t> start, std::string_view name, NameAt nameAt,
                              SelectedAt selectedAt) {
    if (!start) {
        // A name that is not in the list: the first selected source, so one is shown when any is.
        for (size_t place = 0; place < count; ++place)
            if (selectedAt(place)) return std::string(nameAt(place));
        return {};
    }
    // Walk on from the source, at most once round, by position: a hand-edited list holding a
    // name twice cannot send the walk round in circles.
    for (size_t step = 1; step < count; ++step) {
        const size_t place = (*start + step) % count;
        const std::string_view candidate = nameAt(place);
        if (candidate.empty() || candidate == name) return {};
        if (selectedAt(place)) return std::string(candidate);
    }
    return {};
}

// The same on the settings record; SetCamField saves the settings when it changed the list.
std::string GetCamField(const SaverSettings& settings, std::string_view name, int field);
bool SetCamField(SaverSettings& settings, std::string_view name, int field, std::string_view value);
std::string NextSelectedCam(const SaverSettings& settings, std::string_view name);

// Last Update: "3:04:05 PM - 1/2/01" as local time; "??:??" is never (time 0).
std::string FormatLastUpdate(std::time_t when);
std::time_t ParseLastUpdate(std::string_view text);
std::time_t GetLastUpdateTime(const SaverSettings& settings, std::string_view name);
long long SecondsSinceUpdate(const SaverSettings& settings, std::string_view name, std::time_t now);

// The folder of downloaded pictures: TempImagesDirectory, or the default images folder.
std::string ImagesDirectory(const SaverSettings& settings);
// The picture of a source: images folder / name . type
std::string CamImagePath(const SaverSettings& settings, std::string_view name);
// The picture file of a source of that name and type; empty when either would lead out of the
// images folder.
std::string PicturePath(const SaverSettings& settings, std::string_view name, std::string_view type);
// The picture shown when a source has none: ina.jpg in the images folder.
std::string FallbackImagePath(const SaverSettings& settings);
bool FileExists(const std::string& path);
// With the default images folder: creates it and puts the bundled ina.jpg there when missing.
void EnsureFallbackPicture(const SaverSettings& settings);

}  // namespace sources
