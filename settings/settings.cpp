#include "settings.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>

#include "profile.h"
#include "registry.h"
#include "string_table.h"
#include "windows.h"

namespace saver {
namespace {

using namespace platform;

struct IntValue {
    const char* name;
    int SaverSettings::*field;
    int defaultValue;
    bool readOnly;
};

struct ByteValue {
    const char* name;
    BYTE SaverSettings::*field;
    int defaultValue;
};

struct TextValue {
    const char* name;
    std::string SaverSettings::*field;
    bool read;   // Files and Current File are only written
    bool write;  // TempImagesDirectory is only read
};

// The order is the record's; it is also the order of the values in a fresh settings file.
constexpr std::array<IntValue, 49> kIntValues{{
    {"InterStretch", &SaverSettings::InterStretch, 1, false},
    {"Height", &SaverSettings::Height, -24, false},
    {"Weight", &SaverSettings::Weight, 400, false},
    {"DateFormat", &SaverSettings::DateFormat, 0, false},
    {"TimeFormat", &SaverSettings::TimeFormat, 0, false},
    {"UseExtension", &SaverSettings::UseExtension, 0, false},
    {"UsePath", &SaverSettings::UsePath, 0, false},
    {"UseMovement", &SaverSettings::UseMovement, 0, false},
    {"ShowDate", &SaverSettings::ShowDate, 1, false},
    {"ShowGetRight", &SaverSettings::ShowGetRight, 0, false},
    {"ShowMillenniumCountDown", &SaverSettings::ShowMillenniumCountDown, 1, false},
    {"ShowTime", &SaverSettings::ShowTime, 1, false},
    {"ShowElapsedTime", &SaverSettings::ShowElapsedTime, 0, false},
    {"ShowFileName", &SaverSettings::ShowFileName, 1, false},
    {"ShowPersonalMessage", &SaverSettings::ShowPersonalMessage, 0, false},
    {"ShowTicker", &SaverSettings::ShowTicker, 1, false},
    {"FontColor", &SaverSettings::FontColor, 65535, false},
    {"Movement", &SaverSettings::Movement, 2, false},
    {"BlankOtherMonitors", &SaverSettings::BlankOtherMonitors, 0, false},
    {"StartWhenIdle", &SaverSettings::StartWhenIdle, 0, false},
    {"ImageStretchOption", &SaverSettings::ImageStretchOption, 2, false},
    {"Change", &SaverSettings::Change, 1, false},
    {"DirChangeMode", &SaverSettings::DirChangeMode, 0, false},
    {"ChangeTime", &SaverSettings::ChangeTime, 15, false},
    {"RandomSpeed", &SaverSettings::RandomSpeed, 30, false},
    {"FloatSpeed", &SaverSettings::FloatSpeed, 100, false},
    {"Stretch", &SaverSettings::Stretch, 1, false},
    {"WallMode", &SaverSettings::WallMode, 0, false},
    {"WallSize", &SaverSettings::WallSize, 1, false},
    {"WallDisplay", &SaverSettings::WallDisplay, 0, false},
    {"CheckTransIcon", &SaverSettings::CheckTransIcon, 1, false},
    {"EnableTransitionEffect", &SaverSettings::EnableTransitionEffect, 0, false},
    {"AutoTransitionEffect", &SaverSettings::AutoTransitionEffect, 1, false},
    {"CurrentTransitionEffect", &SaverSettings::CurrentTransitionEffect, 3, false},
    {"BackColor", &SaverSettings::BackColor, 0, false},
    {"BackColorChange", &SaverSettings::BackColorChange, 0, false},
    {"LeaveTails", &SaverSettings::LeaveTails, 0, false},
    {"IgnoreMouse", &SaverSettings::IgnoreMouse, 0, false},
    {"ShowStatus", &SaverSettings::ShowStatus, 0, true},
    {"EditHours", &SaverSettings::EditHours, 0, false},
    {"EditMinutes", &SaverSettings::EditMinutes, 1, false},
    {"EditSeconds", &SaverSettings::EditSeconds, 0, false},
    {"NoMidiSound", &SaverSettings::NoMidiSound, 1, false},
    {"SelectedPlayer", &SaverSettings::SelectedPlayer, 1, false},
    {"NotUseCD", &SaverSettings::NotUseCD, 1, false},
    {"Resume", &SaverSettings::Resume, 1, false},
    {"FilePreview", &SaverSettings::FilePreview, 1, false},
    {"PreviewCurrent", &SaverSettings::PreviewCurrent, 1, false},
    {"KioskMode", &SaverSettings::KioskMode, 0, true},
}};

constexpr std::array<ByteValue, 4> kByteValues{{
    {"Italic", &SaverSettings::Italic, 255},
    {"Underline", &SaverSettings::Underline, 0},
    {"CharSet", &SaverSettings::CharSet, 1},
    {"PitchAndFamily", &SaverSettings::PitchAndFamily, 34},
}};

constexpr std::array<TextValue, 11> kTextValues{{
    {"TempImagesDirectory", &SaverSettings::TempImagesDirectory, true, false},
    {"CamList", &SaverSettings::CamList, true, true},
    {"CurrentCam", &SaverSettings::CurrentCam, true, true},
    {"Files", &SaverSettings::Files, false, true},
    {"Current File", &SaverSettings::CurrentFile, false, true},
    {"Last Dir", &SaverSettings::LastDir, true, true},
    {"MidiFiles", &SaverSettings::MidiFiles, true, true},
    {"Midi Current File", &SaverSettings::MidiCurrentFile, true, true},
    {"Midi Last Dir", &SaverSettings::MidiLastDir, true, true},
    {"PersonalMessage", &SaverSettings::PersonalMessage, false, true},  // read with its own default below
    {"LockCommand", &SaverSettings::LockCommand, true, true},
}};

// A copy of the record's values without its own snapshot, so snapshots never chain.
SaverSettings Unsnapshotted(const SaverSettings& settings) {
    SaverSettings copy = settings;
    copy.stored = {};
    return copy;
}

// The saver stores each fetch's result in the list while the sheet adds, edits and removes
// sources in it: a changed list is merged with the stored one under the store's lock, so neither
// program's change undoes the other's. The merged list is left in `merged` once written.
void WriteCamList(const SaverSettings& settings, std::optional<std::string>& merged) {
    const SaverSettings* stored = settings.stored.values.get();
    if (stored && settings.CamList == stored->CamList) {
        WriteProfileString(kSettingsSection, "CamList", settings.CamList, RegWriteMode::KeepExisting);
        return;
    }
    // Runs when the batch of SaveSettings is written, while the record and `merged` still live.
    WriteProfileStringMerged(kSettingsSection, "CamList",
                             [base = stored ? std::optional(stored->CamList) : std::nullopt, &settings,
                              &merged](const std::optional<std::string>& now) {
                                 merged = now && base ? MergeRecordLists(*base, settings.CamList, *now, kCamRecordFields)
                                                      : settings.CamList;
                                 return *merged;
                             });
}

// A list split into records, or nothing when it is not whole records.
using Records = std::vector<std::vector<std::string>>;
std::optional<Records> WholeRecords(std::string_view list, int fields) {
    if (!list.empty() && list.back() != '|') return std::nullopt;
    const std::vector<std::string> entries = SplitBarList(list);
    if (entries.size() % size_t(fields) != 0) return std::nullopt;
    Records records;
    for (size_t at = 0; at < entries.size(); at += size_t(fields))
        records.emplace_back(entries.begin() + std::ptrdiff_t(at), entries.begin() + std::ptrdiff_t(at + fields));
    return records;
}

// Each record by its name and, for a name listed more than once, its place among those.
std::map<std::pair<std::string, int>, const std::vector<std::string>*> ByName(const Records& records) {
    std::map<std::pair<std::string, int>, const std::vector<std::string>*> byName;
    std::map<std::string, int> seen;
    for (const auto& record : records) byName[{record[0], seen[record[0]]++}] = &record;
    return byName;
}

}  // namespace

std::string MergeRecordLists(std::string_view base, std::string_view ours, std::string_view theirs, int fields) {
    const auto baseRecords = WholeRecords(base, fields);
    const auto ourRecords = WholeRecords(ours, fields);
    const auto theirRecords = WholeRecords(theirs, fields);
    if (!baseRecords || !ourRecords || !theirRecords) return std::string(ours);
    const auto baseByName = ByName(*baseRecords), theirsByName = ByName(*theirRecords);
    const auto oursByName = ByName(*ourRecords);
    std::vector<std::string> merged;
    std::map<std::string, int> seen;
    for (const auto& record : *ourRecords) {
        const std::pair<std::string, int> key{record[0], seen[record[0]]++};
        const auto inBase = baseByName.find(key);
        const auto inTheirs = theirsByName.find(key);
        if (inBase == baseByName.end()) {
            merged.insert(merged.end(), record.begin(), record.end());  // ours, added
            continue;
        }
        if (inTheirs == theirsByName.end()) continue;  // they removed it
        for (int field = 0; field < fields; ++field)
            merged.push_back(record[field] != (*inBase->second)[field] ? record[field] : (*inTheirs->second)[field]);
    }
    seen.clear();
    for (const auto& record : *theirRecords) {
        const std::pair<std::string, int> key{record[0], seen[record[0]]++};
        if (!baseByName.count(key) && !oursByName.count(key)) merged.insert(merged.end(), record.begin(), record.end());
    }
    return JoinBarList(merged);
}

void UseSaverRegistryKey() { SetRegistryKey(kRegistryCompany, LoadResourceString(IDS_APPLICATION_TITLE)); }

std::string SettingsKeyPath() { return GetAppRegistryPath() + "\\" + kSettingsSection; }

int LoadSettings(SaverSettings& settings) {
    for (const IntValue& value : kIntValues)
        settings.*value.field = int(GetProfileInt(kSettingsSection, value.name, value.defaultValue));
    for (const ByteValue& value : kByteValues)
        settings.*value.field = BYTE(GetProfileInt(kSettingsSection, value.name, value.defaultValue));
    for (const TextValue& value : kTextValues)
        if (value.read) settings.*value.field = GetProfileString(kSettingsSection, value.name, "");
    settings.FaceName = GetProfileString(kSettingsSection, "FaceName", "Arial").substr(0, kFaceNameLimit);
    settings.PersonalMessage =
        GetProfileString(kSettingsSection, "PersonalMessage", LoadResourceString(IDS_PERSONAL_MESSAGE));
    settings.MaxWidth = GetProfileInt(kSettingsSection, "MaxWidth", 640);
    settings.MaxHeight = GetProfileInt(kSettingsSection, "MaxHeight", 480);
    const int lock = int(GetProfileInt(kSettingsSection, "LockScreen", kLockAsTheDesktop));
    settings.LockScreen = lock == 0 || lock == 1 ? lock : kLockAsTheDesktop;
    // The snapshot holds what was read; what the load itself changes below is saved as a change.
    settings.stored.values = std::make_shared<const SaverSettings>(Unsnapshotted(settings));

    settings.ShowMillenniumCountDown = 0;
    // Against the whole screen: a host window standing in for the desktop (an XScreenSaver
    // preview) must not shrink the stored size. Unsigned on purpose: a stored value with the top
    // bit set counts as larger than any screen.
    const unsigned screenWidth = unsigned(GetSystemMetrics(SM_CXVIRTUALSCREEN));
    const unsigned screenHeight = unsigned(GetSystemMetrics(SM_CYVIRTUALSCREEN));
    if (settings.MaxWidth > screenWidth) settings.MaxWidth = screenWidth;
    if (settings.MaxHeight > screenHeight) settings.MaxHeight = screenHeight;
    settings.Height = ClampedFontHeight(settings.Height, GetSystemMetrics(SM_CYSCREEN));
    return 1;
}

int ClampedFontHeight(int height, int screenHeight) {
    // The marquee's line takes at most a quarter of the screen, so the picture keeps its room (a
    // hand-edited height of thousands of pixels left no picture and cost hundreds of megabytes).
    if (screenHeight <= 0) return height;  // no screen to judge by (a program without a display)
    const int limit = std::max(kSmallestFontLimit, screenHeight / 4);
    return std::clamp(height, -limit, limit);
}

int SaveSettings(SaverSettings& settings) {
    const SaverSettings* stored = settings.stored.values.get();
    // A value this program changed replaces the stored one; any other is only filled in when
    // missing, so a newer value from another program stays.
    auto modeFor = [stored](auto SaverSettings::*field, const SaverSettings& current) {
        return !stored || current.*field != stored->*field ? RegWriteMode::Replace : RegWriteMode::KeepExisting;
    };
    std::optional<std::string> mergedCamList;
    {
        ProfileWriteBatch batch;  // one locked write of the whole record
        for (const IntValue& value : kIntValues)
            if (!value.readOnly)
                WriteProfileInt(kSettingsSection, value.name, settings.*value.field, modeFor(value.field, settings));
        for (const ByteValue& value : kByteValues)
            WriteProfileInt(kSettingsSection, value.name, settings.*value.field, modeFor(value.field, settings));
        settings.FaceName.resize(std::min<size_t>(settings.FaceName.size(), kFaceNameLimit));
        WriteProfileString(kSettingsSection, "FaceName", settings.FaceName, modeFor(&SaverSettings::FaceName, settings));
        WriteProfileInt(kSettingsSection, "MaxWidth", int(settings.MaxWidth), modeFor(&SaverSettings::MaxWidth, settings));
        WriteProfileInt(kSettingsSection, "MaxHeight", int(settings.MaxHeight),
                        modeFor(&SaverSettings::MaxHeight, settings));
        if (settings.LockScreen == 0 || settings.LockScreen == 1)  // stored once chosen
            WriteProfileInt(kSettingsSection, "LockScreen", settings.LockScreen, modeFor(&SaverSettings::LockScreen, settings));
        for (const TextValue& value : kTextValues)
            if (value.write && value.field != &SaverSettings::CamList)
                WriteProfileString(kSettingsSection, value.name, settings.*value.field, modeFor(value.field, settings));
        WriteCamList(settings, mergedCamList);
        if (batch.Commit() != ERROR_SUCCESS) return 0;
    }
    if (mergedCamList) settings.CamList = *mergedCamList;
    settings.stored.values = std::make_shared<const SaverSettings>(Unsnapshotted(settings));
    return 1;
}

PictureMovement MovementOf(const SaverSettings& settings) {
    switch (settings.Movement) {
    case 0: return PictureMovement::Float;
    case 2: return PictureMovement::Still;
    default: return PictureMovement::Random;
    }
}

SourceChange ChangeOf(const SaverSettings& settings) {
    switch (settings.Change) {
    case 1: return SourceChange::OnTime;
    case 2: return SourceChange::AtEachEnd;
    default: return SourceChange::Stay;
    }
}

WallpaperMode WallpaperModeOf(const SaverSettings& settings) {
    switch (settings.WallMode) {
    case 1: return WallpaperMode::OnClose;
    case 2: return WallpaperMode::OnKey;
    default: return WallpaperMode::Never;
    }
}

unsigned ChangePeriodMs(const SaverSettings& settings) {
    if (ChangeOf(settings) != SourceChange::OnTime || settings.ChangeTime <= 0) return 0;
    constexpr long long kLongestPeriod = 0x7FFFFFFF;
    return unsigned(std::min(static_cast<long long>(settings.ChangeTime) * 1000, kLongestPeriod));
}

unsigned MovePeriodMs(const SaverSettings& settings) {
    const PictureMovement movement = MovementOf(settings);
    if (movement == PictureMovement::Still) return 1000;
    const int speed = movement == PictureMovement::Float ? settings.FloatSpeed : settings.RandomSpeed;
    return unsigned(std::max(0, 100 - speed) * 30);
}

void SaveCurrentCam(SaverSettings& settings) {
    WriteProfileString(kSettingsSection, "CurrentCam", settings.CurrentCam);
    if (!settings.stored.values) return;
    SaverSettings stored = *settings.stored.values;
    stored.CurrentCam = settings.CurrentCam;
    settings.stored.values = std::make_shared<const SaverSettings>(std::move(stored));
}

std::vector<std::string> SplitBarList(std::string_view list) {
    std::vector<std::string> entries;
    while (!list.empty()) {
        const size_t bar = list.find('|');
        entries.emplace_back(list.substr(0, bar));
        if (bar == std::string_view::npos) break;
        list.remove_prefix(bar + 1);
    }
    return entries;
}

std::string JoinBarList(const std::vector<std::string>& entries) {
    std::string list;
    for (const std::string& entry : entries) list.append(entry).push_back('|');
    return list;
}

std::optional<double> ReadStoredDouble(const char* valueName) {
    RegKey key;
    if (RegOpenKey(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), key.out()) != ERROR_SUCCESS) return std::nullopt;
    double value = 0;
    DWORD type = 0, size = sizeof value;
    if (RegQueryValueEx(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_BINARY || size != sizeof value)
        return std::nullopt;
    return value;
}

bool WriteStoredDouble(const char* valueName, double value) {
    RegKey key;
    if (RegCreateKey(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), key.out()) != ERROR_SUCCESS) return false;
    return RegSetValueEx(key.get(), valueName, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
}

}  // namespace saver
