// The source list comes from a settings file a person may edit: every field operation must take
// any text, and replacing a field must change that field of that record and nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cam_list.h"

namespace {

std::string* StoredField(sources::CamRecord& cam, int field) {
    switch (field) {
    case sources::kCamLastUpdate: return &cam.LastUpdate;
    case sources::kCamLastResult: return &cam.LastResult;
    case sources::kCamType: return &cam.Type;
    default: return &cam.ImageDate;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace sources;
    // Input: LIST \0 NAME \0 VALUE; the value's last byte also picks the selector.
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t first = input.find('\0');
    const size_t second = first == std::string::npos ? std::string::npos : input.find('\0', first + 1);
    const std::string list = input.substr(0, first);
    const std::string name = first == std::string::npos ? "" : input.substr(first + 1, second - first - 1);
    const std::string value = second == std::string::npos ? "x" : input.substr(second + 1);
    const int field = value.empty() ? 2 : static_cast<unsigned char>(value.back()) % 11;

    for (int selector = 0; selector <= 10; ++selector) GetCamField(list, name, selector);
    NextSelectedCam(list, name);
    ParseLastUpdate(list);
    ParseLastUpdate(value);

    std::string changed = list;
    if (!ReplaceCamField(changed, name, field, value)) {
        if (changed != list) std::abort();
        return 0;
    }
    if (GetCamField(changed, name, field) != value) std::abort();
    // A record cut short (the last one, edited by hand) is completed with a new record's values.
    std::vector<CamRecord> expected = ParseCamList(list);
    size_t fields = 0;
    for (char c : list) fields += c == '|';
    if (!list.empty() && list.back() != '|') ++fields;
    for (size_t record = 0; record < expected.size(); ++record) {
        CamRecord& cam = expected[record];
        if (cam.Name != name) continue;
        const size_t present = fields - record * kCamRecordFields;
        if (present < size_t(kCamRecordFields)) {
            const CamRecord fresh;
            std::string* mine[kCamRecordFields] = {&cam.Name, &cam.URL, &cam.LastUpdate, &cam.LastResult, &cam.Type,
                                                   &cam.Selected, &cam.RefURL, &cam.ImageDate, &cam.Ver};
            const std::string* theirs[kCamRecordFields] = {&fresh.Name, &fresh.URL, &fresh.LastUpdate, &fresh.LastResult,
                                                           &fresh.Type, &fresh.Selected, &fresh.RefURL, &fresh.ImageDate,
                                                           &fresh.Ver};
            for (size_t k = present; k < size_t(kCamRecordFields); ++k) *mine[k] = *theirs[k];
        } else {
            // A whole record: only that field's text changes, byte for byte.
            const std::string old = GetCamField(list, name, field);
            if (changed.size() != list.size() - old.size() + value.size()) std::abort();
        }
        *StoredField(cam, field) = value;
        break;
    }
    if (ParseCamList(changed) != expected) std::abort();
    // One program's change to a list of whole records survives a merge with the other's unchanged copy.
    if ((list.empty() || list.back() == '|') && fields % kCamRecordFields == 0) {
        if (saver::MergeRecordLists(list, list, changed, kCamRecordFields) != changed) std::abort();
        if (saver::MergeRecordLists(list, changed, list, kCamRecordFields) != changed) std::abort();
    }
    return 0;
}
