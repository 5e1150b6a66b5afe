#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "headless_display.h"
#include "profile.h"
#include "reg_file.h"
#include "settings.h"
#include "temp_root.h"

using namespace saver;
using platform::HeadlessDisplay;
using platform::SetDisplay;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDisplay(std::make_unique<HeadlessDisplay>(1024, 768));
        UseSaverRegistryKey();
    }
    void TearDown() override { SetDisplay(nullptr); }

    const platform::RegKeyData* storedSection() {
        hive_ = platform::ParseRegFile(root_.readUserRegistry(), "HKEY_CURRENT_USER");
        return hive_ ? hive_->findKey(SettingsKeyPath()) : nullptr;
    }

    testing_support::TempRoot root_;
    std::optional<platform::RegHive> hive_;
};

}  // namespace

TEST_F(SettingsTest, AFreshUserGetsTheDefaults) {
    SaverSettings settings;
    EXPECT_EQ(LoadSettings(settings), 1);
    EXPECT_EQ(settings.InterStretch, 1);
    EXPECT_EQ(settings.Height, -24);
    EXPECT_EQ(settings.Weight, 400);
    EXPECT_EQ(settings.Italic, 255);
    EXPECT_EQ(settings.CharSet, 1);
    EXPECT_EQ(settings.PitchAndFamily, 34);
    EXPECT_EQ(settings.FaceName, "Arial");
    EXPECT_EQ(settings.PersonalMessage, "Add your own personal message!");
    EXPECT_EQ(settings.ShowMillenniumCountDown, 0);  // stored default 1, always 0 after a load
    EXPECT_EQ(settings.FontColor, 65535);
    EXPECT_EQ(settings.Movement, 2);
    EXPECT_EQ(settings.MaxWidth, 640u);
    EXPECT_EQ(settings.MaxHeight, 480u);
    EXPECT_EQ(settings.ImageStretchOption, 2);
    EXPECT_EQ(settings.Change, 1);
    EXPECT_EQ(settings.ChangeTime, 15);
    EXPECT_EQ(settings.RandomSpeed, 30);
    EXPECT_EQ(settings.FloatSpeed, 100);
    EXPECT_EQ(settings.WallSize, 1);
    EXPECT_EQ(settings.CheckTransIcon, 1);
    EXPECT_EQ(settings.AutoTransitionEffect, 1);
    EXPECT_EQ(settings.CurrentTransitionEffect, 3);
    EXPECT_EQ(settings.EditMinutes, 1);
    EXPECT_EQ(settings.NoMidiSound, 1);
    EXPECT_EQ(settings.SelectedPlayer, 1);
    EXPECT_EQ(settings.NotUseCD, 1);
    EXPECT_EQ(settings.Resume, 1);
    EXPECT_EQ(settings.FilePreview, 1);
    EXPECT_EQ(settings.PreviewCurrent, 1);
    EXPECT_EQ(settings.ShowTicker, 1);
    EXPECT_EQ(settings.ShowDate, 1);
    EXPECT_EQ(settings.ShowTime, 1);
    EXPECT_EQ(settings.ShowFileName, 1);
    EXPECT_EQ(settings.TempImagesDirectory, "");
    EXPECT_EQ(settings.CamList, "");
    EXPECT_FALSE(std::filesystem::exists(root_.userRegistry()));  // reading writes nothing
}

TEST_F(SettingsTest, TheCustomSizeAndTheFontHeightAreClampedToTheScreen) {
    platform::WriteProfileInt(kSettingsSection, "MaxWidth", 4000);
    platform::WriteProfileInt(kSettingsSection, "MaxHeight", int(0x80000010u));  // top bit set
    SaverSettings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.MaxWidth, 1024u);
    EXPECT_EQ(settings.MaxHeight, 768u);
    platform::WriteProfileInt(kSettingsSection, "MaxWidth", 800);
    platform::WriteProfileInt(kSettingsSection, "MaxHeight", 768);
    LoadSettings(settings);
    EXPECT_EQ(settings.MaxWidth, 800u);
    EXPECT_EQ(settings.MaxHeight, 768u);
    // A hand-edited font height: at most a quarter of the 768-pixel screen, either sign kept.
    for (auto [stored, read] : std::vector<std::pair<int, int>>{{10000, 192}, {-1000000, -192}, {INT_MIN, -192}, {-24, -24}}) {
        platform::WriteProfileInt(kSettingsSection, "Height", stored);
        LoadSettings(settings);
        EXPECT_EQ(settings.Height, read) << stored;
    }
}

TEST_F(SettingsTest, ALongFaceNameKeepsItsFirst31Characters) {
    platform::WriteProfileString(kSettingsSection, "FaceName", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn");
    SaverSettings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.FaceName, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcde");
}

TEST_F(SettingsTest, SavingWritesTypedValuesButNotTheReadOnlyOnes) {
    SaverSettings settings;
    LoadSettings(settings);
    settings.Files = "a.jpg|b.gif|";
    settings.CurrentFile = "/images/Harbour.jpg";
    settings.TempImagesDirectory = "/should/not/be/written";
    settings.ShowStatus = 1;
    settings.KioskMode = 1;
    settings.Height = -24;
    ASSERT_EQ(SaveSettings(settings), 1);

    const platform::RegKeyData* section = storedSection();
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->values.count("TempImagesDirectory"), 0u);
    EXPECT_EQ(section->values.count("ShowStatus"), 0u);
    EXPECT_EQ(section->values.count("KioskMode"), 0u);
    EXPECT_EQ(section->values.at("Files"), (platform::RegValue{platform::REG_SZ, "a.jpg|b.gif|"}));
    EXPECT_EQ(section->values.at("Current File").type, platform::REG_SZ);
    EXPECT_EQ(section->values.at("Italic").type, platform::REG_DWORD);  // byte fields are stored as DWORDs
    EXPECT_EQ(section->values.at("MaxWidth").type, platform::REG_DWORD);
    EXPECT_EQ(section->values.at("FaceName").data, "Arial");
    EXPECT_NE(root_.readUserRegistry().find("\"Height\"=dword:ffffffe8"), std::string::npos);

    // Files and Current File are written for others, never read back.
    SaverSettings next;
    LoadSettings(next);
    EXPECT_EQ(next.Files, "");
    EXPECT_EQ(next.CurrentFile, "");
}

TEST_F(SettingsTest, SavingAndLoadingChangesOnlyTheCountdownAndTheClamp) {
    SaverSettings settings;
    LoadSettings(settings);
    settings.Height = -13;
    settings.Italic = 0;
    settings.FaceName = "DejaVu Sans";
    settings.PersonalMessage = "Back at 3 \"o'clock\" \\ see you";
    settings.ShowMillenniumCountDown = 1;
    settings.MaxWidth = 5000;
    settings.CamList = "Harbour|http://127.0.0.1:8080/a.jpg|??:??|Unknown|???|1|||0|";
    settings.CurrentCam = "Harbour";
    settings.MidiFiles = "/music/a.ogg|/music/b.ogg|";
    settings.Movement = 0;
    settings.BackColor = int(0x00FF8000);
    settings.DirChangeMode = 3;
    SaveSettings(settings);

    SaverSettings loaded;
    LoadSettings(loaded);
    SaverSettings expected = settings;
    expected.ShowMillenniumCountDown = 0;
    expected.MaxWidth = 1024;
    expected.Files.clear();        // written only
    expected.CurrentFile.clear();  // written only
    EXPECT_TRUE(loaded == expected);
}

TEST_F(SettingsTest, ASaveWritesWhatThisProgramChangedAndKeepsOthersNewerValues) {
    SaverSettings saver;
    LoadSettings(saver);
    // Another program (the music companion, the sheet) writes after this one loaded.
    platform::WriteProfileString(kSettingsSection, "Midi Current File", "/music/b.ogg");
    platform::WriteProfileInt(kSettingsSection, "FloatSpeed", 40);
    saver.CamList = "Harbour|http://h/p.jpg|??:??|Success|JPG|1|||0|";
    SaveSettings(saver);
    SaverSettings stored;
    LoadSettings(stored);
    EXPECT_EQ(stored.CamList, saver.CamList);
    EXPECT_EQ(stored.MidiCurrentFile, "/music/b.ogg");
    EXPECT_EQ(stored.FloatSpeed, 40);
    // A value both changed: this program's save is the newer one.
    saver.FloatSpeed = 70;
    SaveSettings(saver);
    LoadSettings(stored);
    EXPECT_EQ(stored.FloatSpeed, 70);
}

TEST_F(SettingsTest, TwoProgramsChangingTheSourceListKeepEachOthersChanges) {
    const std::string harbour = "Harbour|http://h/p.jpg|??:??|Unknown|???|1|||0|";
    const std::string bridge = "Bridge|http://b/p.jpg|??:??|Unknown|???|1|||0|";
    platform::WriteProfileString(kSettingsSection, "CamList", harbour + bridge);
    SaverSettings saver, sheet;
    LoadSettings(saver);
    LoadSettings(sheet);
    // The sheet adds a source, renames the address of another and removes one.
    const std::string added = "Quay|http://q/p.jpg|??:??|Unknown|???|1|||0|";
    sheet.CamList = "Harbour|http://h/new.jpg|??:??|Unknown|???|1|||0|" + added;
    ASSERT_EQ(SaveSettings(sheet), 1);
    // The saver, still holding the list it read at its start, stores two fetches' results.
    saver.CamList = "Harbour|http://h/p.jpg|1:02:03 PM - 1/2/26|Success|JPG|1|||0|"
                    "Bridge|http://b/p.jpg|1:02:04 PM - 1/2/26|Error|???|1|||0|";
    ASSERT_EQ(SaveSettings(saver), 1);
    const std::string merged = "Harbour|http://h/new.jpg|1:02:03 PM - 1/2/26|Success|JPG|1|||0|" + added;
    EXPECT_EQ(saver.CamList, merged);  // the saver now sees the sheet's source too
    SaverSettings stored;
    LoadSettings(stored);
    EXPECT_EQ(stored.CamList, merged);
    // And the sheet's next save keeps the saver's results.
    sheet.CamList += "Pier|http://p/p.jpg|??:??|Unknown|???|0|||0|";
    ASSERT_EQ(SaveSettings(sheet), 1);
    LoadSettings(stored);
    EXPECT_EQ(stored.CamList, merged + "Pier|http://p/p.jpg|??:??|Unknown|???|0|||0|");
}

TEST_F(SettingsTest, ASaveThatCannotBeWrittenSaysSoAndKeepsTheStoredValues) {
    SaverSettings settings;
    LoadSettings(settings);
    ASSERT_EQ(SaveSettings(settings), 1);
    // A folder where the temporary file must go makes the write fail, even for root.
    std::filesystem::create_directory(root_.userRegistry().string() + ".tmp");
    settings.FloatSpeed = 12;
    EXPECT_EQ(SaveSettings(settings), 0);
    SaverSettings stored;
    LoadSettings(stored);
    EXPECT_EQ(stored.FloatSpeed, 100);
}

TEST_F(SettingsTest, BarListsAndStoredDoubles) {
    EXPECT_EQ(SplitBarList("a|b c|"), (std::vector<std::string>{"a", "b c"}));
    EXPECT_EQ(SplitBarList(""), (std::vector<std::string>{}));
    EXPECT_EQ(SplitBarList("|x|"), (std::vector<std::string>{"", "x"}));
    EXPECT_EQ(SplitBarList("unterminated"), (std::vector<std::string>{"unterminated"}));
    EXPECT_EQ(JoinBarList({"/m/a.ogg", "/m/b.ogg"}), "/m/a.ogg|/m/b.ogg|");
    EXPECT_EQ(SplitBarList(JoinBarList({"one", "two"})), (std::vector<std::string>{"one", "two"}));

    EXPECT_FALSE(ReadStoredDouble("CurrentPosition"));
    ASSERT_TRUE(WriteStoredDouble("CurrentPosition", 1.0));
    EXPECT_EQ(ReadStoredDouble("CurrentPosition"), 1.0);
    EXPECT_NE(root_.readUserRegistry().find("\"CurrentPosition\"=hex:00,00,00,00,00,00,f0,3f"), std::string::npos);
    platform::WriteProfileInt(kSettingsSection, "CurrentDuration", 5);  // not 8 bytes: not a position
    EXPECT_FALSE(ReadStoredDouble("CurrentDuration"));
}

TEST_F(SettingsTest, TheChangePeriodNeverOverflows) {
    SaverSettings settings;
    settings.Change = 1;
    const std::pair<int, unsigned> cases[] = {
        {15, 15000u}, {1, 1000u}, {0, 0u}, {-3, 0u}, {2147483, 2147483000u}, {2147484, 0x7FFFFFFFu}, {INT_MAX, 0x7FFFFFFFu}};
    for (auto [seconds, period] : cases) {
        settings.ChangeTime = seconds;
        EXPECT_EQ(ChangePeriodMs(settings), period) << seconds;
    }
    settings.Change = 0;  // the picture changes at every run, not on time
    EXPECT_EQ(ChangePeriodMs(settings), 0u);
}

TEST_F(SettingsTest, AnAdministratorsDefaultsGiveWhatTheUserNeverSetAndNoMore) {
    // Two system folders: the first listed wins where both give a value.
    const auto defaults = [&](const char* folder, const std::string& values) {
        std::filesystem::create_directories(root_.path() / folder / "kelvane");
        std::ofstream(root_.path() / folder / "kelvane" / "defaults.reg")
            << "Windows Registry Editor Version 5.00\n\n; the office's sources\n[HKEY_CURRENT_USER\\" << SettingsKeyPath()
            << "]\n" << values;
    };
    defaults("site", "\"EditMinutes\"=dword:00000003\n\"PersonalMessage\"=\"Welcome to the office\"\n");
    defaults("vendor", "\"EditMinutes\"=dword:0000000a\n\"CamList\"=\"Lobby|http://cams.example/lobby.jpg|??:??|Unknown|???|1|||0|\"\n");
    const std::string folders = (root_.path() / "site").string() + ":" + (root_.path() / "vendor").string();
    setenv("XDG_CONFIG_DIRS", folders.c_str(), 1);
    platform::WriteProfileString(kSettingsSection, "PersonalMessage", "Mine");

    SaverSettings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.EditMinutes, 3);
    EXPECT_EQ(settings.CamList, "Lobby|http://cams.example/lobby.jpg|??:??|Unknown|???|1|||0|");
    EXPECT_EQ(settings.PersonalMessage, "Mine");
    // Saving what was read copies none of it into the user's file, so the office can change it later.
    SaveSettings(settings);
    ASSERT_TRUE(storedSection());
    EXPECT_FALSE(storedSection()->values.count("EditMinutes"));
    EXPECT_FALSE(storedSection()->values.count("CamList"));
    defaults("site", "\"EditMinutes\"=dword:00000004\n");
    SaverSettings later;
    LoadSettings(later);
    EXPECT_EQ(later.EditMinutes, 4);
    // What the user sets is the user's.
    later.EditMinutes = 9;
    SaveSettings(later);
    SaverSettings after;
    LoadSettings(after);
    EXPECT_EQ(after.EditMinutes, 9);
    unsetenv("XDG_CONFIG_DIRS");
}

TEST_F(SettingsTest, TheShippedExampleOfDefaultsIsReadWhole) {
    std::ifstream example(std::string(KELVANE_SOURCE_DIR) + "/docs/examples/defaults.reg");
    const std::string text((std::istreambuf_iterator<char>(example)), std::istreambuf_iterator<char>());
    const auto hive = platform::ParseRegFile(text, "HKEY_CURRENT_USER");  // strict: every line reads
    ASSERT_TRUE(hive);
    const platform::RegKeyData* section = hive->findKey(SettingsKeyPath());
    ASSERT_TRUE(section);
    EXPECT_EQ(section->values.at("CurrentCam").data, "Lobby");
    EXPECT_EQ(section->values.at("CamList").data.substr(0, 5), "Lobby");
}
