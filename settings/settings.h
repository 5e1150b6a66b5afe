// The settings record and its store in the per-user registry.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win_types.h"

namespace saver {

using platform::BYTE;

// The registry identity: HKEY_CURRENT_USER\Software\Tarvex\Ostrel Screen Saver\Kelvane Screen Saver.
constexpr const char* kRegistryCompany = "Tarvex";
constexpr const char* kSettingsSection = "Kelvane Screen Saver";
// Sets the registry key and the application name for every settings read and write.
void UseSaverRegistryKey();
// The full key path of the settings section, for programs that open it directly.
std::string SettingsKeyPath();

constexpr int kFaceNameLimit = 31;
constexpr int kLockAsTheDesktop = -1;  // LockScreen not chosen: as the desktop's own lock-on-idle

struct SaverSettings;

// The values as this program last read them from the store or wrote them to it. Bookkeeping,
// not a setting: two records with the same settings are equal whatever their snapshots.
struct StoredSnapshot {
    std::shared_ptr<const SaverSettings> values;
    bool operator==(const StoredSnapshot&) const { return true; }
};

struct SaverSettings {
    int InterStretch = 0;
    int Height = 0;
    int Weight = 0;
    BYTE Italic = 0;
    BYTE Underline = 0;
    BYTE CharSet = 0;
    BYTE PitchAndFamily = 0;
    std::string FaceName;
    std::string PersonalMessage;
    int DateFormat = 0;
    int TimeFormat = 0;
    int UseExtension = 0;
    int UsePath = 0;
    int UseMovement = 0;
    int ShowDate = 0;
    int ShowGetRight = 0;
    int ShowMillenniumCountDown = 0;
    int ShowTime = 0;
    int ShowElapsedTime = 0;
    int ShowFileName = 0;
    int ShowPersonalMessage = 0;
    int ShowTicker = 0;
    int FontColor = 0;
    int Movement = 0;
    int BlankOtherMonitors = 0;  // 1: the monitors beside the primary show the background only
    int StartWhenIdle = 0;       // 1: the idle watcher starts at log-on and runs the saver when idle
    unsigned MaxWidth = 0;
    unsigned MaxHeight = 0;
    int ImageStretchOption = 0;
    int Change = 0;
    int DirChangeMode = 0;
    int ChangeTime = 0;
    int RandomSpeed = 0;
    int FloatSpeed = 0;
    int Stretch = 0;
    int WallMode = 0;
    int WallSize = 0;
    int WallDisplay = 0;
    int CheckTransIcon = 0;
    int EnableTransitionEffect = 0;
    int AutoTransitionEffect = 0;
    int CurrentTransitionEffect = 0;
    int BackColor = 0;
    int BackColorChange = 0;
    int LeaveTails = 0;
    int IgnoreMouse = 0;
    // 1: the saver ends only once the session's screen locker holds the screen; 0: it just ends;
    // kLockAsTheDesktop until chosen (stored only once chosen).
    int LockScreen = -1;
    std::string LockCommand;  // a locker of the user's own, used first (`swaylock -f`)
    std::string TempImagesDirectory;
    std::string CamList;
    std::string CurrentCam;
    std::string Files;
    std::string CurrentFile;  // stored as "Current File"
    std::string LastDir;      // stored as "Last Dir"
    std::string MidiFiles;
    std::string MidiCurrentFile;  // stored as "Midi Current File"
    std::string MidiLastDir;      // stored as "Midi Last Dir"
    int ShowStatus = 0;
    int EditHours = 0;
    int EditMinutes = 0;
    int EditSeconds = 0;
    int NoMidiSound = 0;
    int SelectedPlayer = 0;
    int NotUseCD = 0;
    int Resume = 0;
    int FilePreview = 0;
    int PreviewCurrent = 0;
    int KioskMode = 0;

    // Several programs share the store: a save writes only what this program changed since.
    StoredSnapshot stored;

    bool operator==(const SaverSettings&) const = default;
};

// Reads every value (defaults for missing ones); the countdown flag always ends as 0, the custom
// picture size is clamped to the desktop and the font height to the screen. Returns 1.
int LoadSettings(SaverSettings& settings);
// The marquee's font height (either sign, as stored) as a screen of that height can show it.
int ClampedFontHeight(int height, int screenHeight);
constexpr int kSmallestFontLimit = 24;  // the limit on a very small screen

// Writes the values this program changed since it last loaded or saved the record, and fills in
// those the store does not hold yet; a value another program wrote meanwhile (Melodrin's current
// file, the sheet's edits) is never put back to this program's older copy. The source list is
// merged with the stored one field by field (see MergeRecordLists), and the record then holds the
// merged list. Never writes the three read-only values; writes the write-only Files and Current
// File. Returns 1, or 0 when the store could not be written (it then holds what it held).
int SaveSettings(SaverSettings& settings);
// Writes CurrentCam alone, as the slide show does when the source advances.
void SaveCurrentCam(SaverSettings& settings);

// The stored choices as the program speaks of them. A number no choice has (a hand-edited file)
// means what it always did: moving at random, no change of source, no wallpaper.
enum class PictureMovement { Float, Random, Still };
enum class SourceChange { Stay, OnTime, AtEachEnd };
enum class WallpaperMode { Never, OnClose, OnKey };
PictureMovement MovementOf(const SaverSettings& settings);
SourceChange ChangeOf(const SaverSettings& settings);
WallpaperMode WallpaperModeOf(const SaverSettings& settings);

// The period of the change-on-time timer in milliseconds; 0 for none. A hand-edited time too
// large for the timer gets the longest period the timer has, never an overflow.
unsigned ChangePeriodMs(const SaverSettings& settings);
// The period of the movement timer in milliseconds: from the speed of the chosen movement (the
// faster, the shorter), a second while the picture stands still.
unsigned MovePeriodMs(const SaverSettings& settings);

// "|"-terminated lists: each entry followed by one "|".
std::vector<std::string> SplitBarList(std::string_view list);
std::string JoinBarList(const std::vector<std::string>& entries);

// The fields of one source in the source list (CamList).
constexpr int kCamRecordFields = 9;

// Two programs' changes to a "|"-list of records (each `fields` entries, the first its name)
// made from the same base: a record one side added or removed is added or removed; in a record
// both keep, each field takes the side that changed it (ours where both did). Records keep our
// order, theirs' additions follow. A list that is not whole records gives ours unchanged.
std::string MergeRecordLists(std::string_view base, std::string_view ours, std::string_view theirs, int fields);

// The music companion's play position and song length: 8-byte doubles in REG_BINARY values.
std::optional<double> ReadStoredDouble(const char* valueName);
bool WriteStoredDouble(const char* valueName, double value);

}  // namespace saver
