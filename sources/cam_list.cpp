#include "cam_list.h"

#include <cctype>
#include <optional>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "bundled_files.h"
#include "picture_store.h"
#include "user_folders.h"

namespace sources {
namespace {

// Where each of the list's fields starts and ends (the end is its "|", or the text's end).
struct FieldSpan {
    size_t begin;
    size_t end;
};

std::vector<FieldSpan> FieldSpans(std::string_view list) {
    std::vector<FieldSpan> spans;
    size_t begin = 0;
    while (begin < list.size()) {
        size_t bar = list.find('|', begin);
        if (bar == std::string_view::npos) bar = list.size();
        spans.push_back(FieldSpan{begin, bar});
        begin = bar + 1;
    }
    return spans;
}

// The field spans of one record (missing fields absent), by record index.
struct RecordView {
    std::string_view list;
    std::vector<FieldSpan> spans;
    // A record cut short counts while it has its name and address: a lone name after the last
    // whole record is the debris of a damaged list (a separator inside a field), not a source.
    size_t records() const {
        const size_t whole = spans.size() / kCamRecordFields;
        return whole + (spans.size() % kCamRecordFields >= 2 ? 1 : 0);
    }
    std::string_view field(size_t record, int stored) const {
        const size_t index = record * kCamRecordFields + size_t(stored);
        if (index >= spans.size()) return {};
        return list.substr(spans[index].begin, spans[index].end - spans[index].begin);
    }
    // The first record whose name equals the name exactly.
    std::optional<size_t> find(std::string_view name) const {
        for (size_t record = 0; record < records(); ++record)
            if (field(record, 0) == name) return record;
        return std::nullopt;
    }
};

RecordView View(std::string_view list) { return RecordView{list, FieldSpans(list)}; }

// The stored position (0-based) a selector reads; -1 for the special ones.
int StoredPosition(int field) {
    switch (field) {
    case kCamUrl: return 1;
    case kCamLastUpdate: return 2;
    case kCamLastResult: return 3;
    case kCamType: return 4;
    case kCamSelected: return 5;
    case kCamRefUrl: return 6;
    case kCamImageDate: return 7;
    case kCamVer: return 8;
    case kCamName:
    case kCamNextName: return -1;
    default: return 4;  // any other selector reads the type
    }
}

int LeadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    int value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (value > 100000) break;  // no field of a date is that long
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// The text before the next separator, moving past it.
std::string_view CutBefore(std::string_view& text, char separator) {
    const size_t at = text.find(separator);
    const std::string_view part = text.substr(0, at);
    text = at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
    return part;
}

// Appends the fields the list's last record lacks, with a new record's values.
void CompleteLastRecord(std::string& list, size_t fieldsPresent) {
    if (!list.empty() && list.back() != '|') list.push_back('|');
    const CamRecord fresh;
    const std::string* fields[kCamRecordFields] = {&fresh.Name,     &fresh.URL,    &fresh.LastUpdate,
                                                   &fresh.LastResult, &fresh.Type,  &fresh.Selected,
                                                   &fresh.RefURL,   &fresh.ImageDate, &fresh.Ver};
    for (size_t stored = fieldsPresent; stored < size_t(kCamRecordFields); ++stored) list.append(*fields[stored]).push_back('|');
}

}  // namespace

std::vector<CamRecord> ParseCamList(std::string_view list) {
    const RecordView view = View(list);
    std::vector<CamRecord> records;
    for (size_t record = 0; record < view.records(); ++record) {
        CamRecord cam;
        std::string* fields[kCamRecordFields] = {&cam.Name, &cam.URL, &cam.LastUpdate, &cam.LastResult, &cam.Type,
                                                 &cam.Selected, &cam.RefURL, &cam.ImageDate, &cam.Ver};
        for (int i = 0; i < kCamRecordFields; ++i) *fields[i] = std::string(view.field(record, i));
        records.push_back(std::move(cam));
    }
    return records;
}

std::string FormatCamList(const std::vector<CamRecord>& records) {
    std::string list;
    for (const CamRecord& cam : records)
        for (const std::string* field :
             {&cam.Name, &cam.URL, &cam.LastUpdate, &cam.LastResult, &cam.Type, &cam.Selected, &cam.RefURL, &cam.ImageDate, &cam.Ver})
            list.append(*field).push_back('|');
    return list;
}

std::string GetCamField(std::string_view list, std::string_view name, int field) {
    const RecordView view = View(list);
    const auto record = view.find(name);
    if (!record) return {};
    if (field == kCamName) return std::string(name);
    if (field == kCamNextName) return std::string(view.field((*record + 1) % view.records(), 0));
    return std::string(view.field(*record, StoredPosition(field)));
}

bool ReplaceCamField(std::string& list, std::string_view name, int field, std::string_view value) {
    if (field != kCamLastUpdate && field != kCamLastResult && field != kCamType && field != kCamImageDate) return false;
    if (value.find('|') != std::string_view::npos) return false;
    RecordView view = View(list);
    const auto record = view.find(name);
    if (!record) return false;
    const size_t index = *record * kCamRecordFields + size_t(StoredPosition(field));
    const size_t present = view.spans.size() - *record * kCamRecordFields;
    if (present < size_t(kCamRecordFields)) {
        // A hand-edited record cut short (only the last one can be) is completed with the initial
        // values when first written, or its result would never be kept and it would be fetched
        // again and again.
        CompleteLastRecord(list, present);
        view = View(list);
    }
    const FieldSpan span = view.spans[index];
    list.replace(span.begin, span.end - span.begin, value);
    return true;
}

std::string NextSelectedCam(std::string_view list, std::string_view name) {
    const RecordView view = View(list);
    return NextSelectedAfter(
        view.records(), view.find(name), name, [&](size_t record) { return view.field(record, 0); },
        [&](size_t record) { return view.field(record, 5) == "1"; });
}

std::string GetCamField(const SaverSettings& settings, std::string_view name, int field) {
    return GetCamField(settings.CamList, name, field);
}

bool SetCamField(SaverSettings& settings, std::string_view name, int field, std::string_view value) {
    if (!ReplaceCamField(settings.CamList, name, field, value)) return false;
    saver::SaveSettings(settings);
    return true;
}

std::string NextSelectedCam(const SaverSettings& settings, std::string_view name) {
    return NextSelectedCam(settings.CamList, name);
}

std::string FormatLastUpdate(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    const int hour = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char text[64];
    std::snprintf(text, sizeof text, "%d:%02d:%02d %s - %d/%d/%02d", hour, local.tm_min, local.tm_sec,
                  local.tm_hour < 12 ? "AM" : "PM", local.tm_mon + 1, local.tm_mday, local.tm_year % 100);
    return text;
}

std::time_t ParseLastUpdate(std::string_view text) {
    if (text == kNeverUpdated || text.empty()) return 0;
    std::string_view rest = text;
    int hour = LeadingInteger(CutBefore(rest, ':'));
    const int minute = LeadingInteger(CutBefore(rest, ':'));
    const int second = LeadingInteger(CutBefore(rest, ' '));
    const std::string_view marker = CutBefore(rest, ' ');
    rest.remove_prefix(std::min<size_t>(2, rest.size()));  // "- "
    const int month = LeadingInteger(CutBefore(rest, '/'));
    const int day = LeadingInteger(CutBefore(rest, '/'));
    const int year = LeadingInteger(rest);
    if (marker == "AM") {
        if (hour == 12) hour = 0;
    } else if (hour != 12) {
        hour += 12;
    }
    std::tm local{};
    local.tm_year = year + 2000 - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;  // the system decides daylight saving time
    const std::time_t result = std::mktime(&local);
    return result == std::time_t(-1) ? 0 : result;
}

std::time_t GetLastUpdateTime(const SaverSettings& settings, std::string_view name) {
    return ParseLastUpdate(GetCamField(settings, name, kCamLastUpdate));
}

long long SecondsSinceUpdate(const SaverSettings& settings, std::string_view name, std::time_t now) {
    return static_cast<long long>(now) - static_cast<long long>(GetLastUpdateTime(settings, name));
}

std::string ImagesDirectory(const SaverSettings& settings) {
    if (!settings.TempImagesDirectory.empty()) return settings.TempImagesDirectory;
    return platform::GetUserFolders().images.string();
}

std::string CamImagePath(const SaverSettings& settings, std::string_view name) {
    return PicturePath(settings, name, GetCamField(settings, name, kCamType));
}

std::string PicturePath(const SaverSettings& settings, std::string_view name, std::string_view type) {
    // A name or type that would lead out of the folder (a hand-edited list) names no picture.
    if (!IsSafePictureName(name) || !IsSafePictureName(type)) return {};
    return ImagesDirectory(settings) + "/" + std::string(name) + "." + std::string(type);
}

std::string FallbackImagePath(const SaverSettings& settings) { return ImagesDirectory(settings) + "/ina.jpg"; }

void EnsureFallbackPicture(const SaverSettings& settings) {
    if (!settings.TempImagesDirectory.empty()) return;  // an administrator's folder is left as it is
    const std::string path = FallbackImagePath(settings);
    if (FileExists(path)) return;
    const std::string_view picture = resources::FallbackPicture();
    StorePicture(ImagesDirectory(settings), "ina", "jpg", reinterpret_cast<const BYTE*>(picture.data()), picture.size());
}

bool FileExists(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace sources
