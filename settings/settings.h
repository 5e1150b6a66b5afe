// The settings record and its store in the per-user registry.
#pragma once

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

    bool operator==(const SaverSettings&) const = default;
};

// Reads every value (defaults for missing ones); the countdown flag always ends as 0 and the
// custom picture size is clamped to the desktop. Returns 1.
int LoadSettings(SaverSettings& settings);
// Writes every value but the three read-only ones, including the write-only Files and Current File.
// Returns 1.
int SaveSettings(const SaverSettings& settings);
// Writes CurrentCam alone, as the slide show does when the source advances.
void SaveCurrentCam(const SaverSettings& settings);

// The period of the change-on-time timer in milliseconds; 0 for none. A hand-edited time too
// large for the timer gets the longest period the timer has, never an overflow.
unsigned ChangePeriodMs(const SaverSettings& settings);

// "|"-terminated lists: each entry followed by one "|".
std::vector<std::string> SplitBarList(std::string_view list);
std::string JoinBarList(const std::vector<std::string>& entries);

// The music companion's play position and song length: 8-byte doubles in REG_BINARY values.
std::optional<double> ReadStoredDouble(const char* valueName);
bool WriteStoredDouble(const char* valueName, double value);

}  // namespace saver
