#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <set>
#include <fstream>
#include <functional>
#include <vector>
#include <thread>

#include "eventually.h"
#include "picture_server.h"
#include "profile.h"
#include "saver_process.h"
#include "windows.h"

using namespace integration;
using testing_support::TempRoot;

namespace {
const std::vector<std::string> kHeadless{"KELVANE_DISPLAY=headless"};
}

TEST(ConfigureModeTest, NoArgumentOpensTheSheetAndOkSaves) {
    TempRoot root;
    const auto shot = root.path() / "sheet.png";
    auto saver = StartSaver(root, {{}, "at 300 screenshot " + shot.string() + "\nat 500 key Return\n", kHeadless});
    ASSERT_EQ(saver->wait(30000), 0);
    EXPECT_TRUE(std::filesystem::exists(shot));
    const std::string settings = root.readUserRegistry();
    EXPECT_NE(settings.find("[HKEY_CURRENT_USER\\Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver]"),
              std::string::npos);
    EXPECT_NE(settings.find("\"ChangeTime\"=dword:0000000f"), std::string::npos) << settings;
}

TEST(ConfigureModeTest, CancelWritesNothing) {
    TempRoot root;
    auto saver = StartSaver(root, {{"/c:4242"}, "at 300 key Escape\n", kHeadless});
    ASSERT_EQ(saver->wait(30000), 0);
    EXPECT_FALSE(std::filesystem::exists(root.userRegistry()));
}

namespace {

// Adds a source through the Add dialog, dumps the sheet and presses OK, the actions due at the
// given times (milliseconds); the list, the stored settings and the dump all show the source.
void ExpectAScriptToAddASource(const std::vector<int>& at) {
    TempRoot root;
    const auto dump = root.path() / "sheet.txt";
    const std::vector<std::string> actions = {"press 1009", "set 1000 Harbour", "set 1001 http://127.0.0.1:9/p.jpg",
                                              "answer OK", "dump " + dump.string(), "press IDOK"};
    std::string script;
    for (size_t i = 0; i < actions.size(); ++i) script += "at " + std::to_string(at[i]) + " " + actions[i] + "\n";
    auto saver = StartSaver(root, {{}, script, {"KELVANE_DISPLAY=headless", "KELVANE_ONLINE=0"}});
    ASSERT_EQ(saver->wait(30000), 0);
    EXPECT_EQ(ReadString("CamList"), "Harbour|http://127.0.0.1:9/p.jpg|??:??|Unknown|???|1|||0|");
    EXPECT_EQ(ReadString("CurrentCam"), "Harbour");
    std::ifstream in(dump);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text.substr(0, text.find('\n')), "Kelvane Screen Saver");
    EXPECT_NE(text.find("  row 0 1 Harbour | http://127.0.0.1:9/p.jpg | ??:?? | Unknown | ???"), std::string::npos) << text;
    EXPECT_NE(text.find("1136 label 1 - Harbour"), std::string::npos) << text;
}

}  // namespace

TEST(ConfigureModeTest, AScriptAddsASourceThroughTheDialogAndOkStoresIt) {
    ExpectAScriptToAddASource({300, 500, 550, 600, 800, 900});
}

TEST(ConfigureModeTest, ScriptActionsDueAtOnceStillFollowTheEffectsOfTheOnesBefore) {
    // As on a busy machine, where the program runs late and every action is due when it looks.
    ExpectAScriptToAddASource({300, 300, 300, 300, 300, 300});
}

namespace {

// Waits up to the limit for the stored source list to satisfy the condition.
bool StoredListBecomes(const std::function<bool(const std::string&)>& condition, int limitMs) {
    return testing_support::Eventually([&] { return condition(ReadString("CamList")); }, std::chrono::milliseconds(limitMs),
                                       std::chrono::milliseconds(100));
}

std::string LastUpdateOf(const std::string& list, const std::string& name) {
    const size_t at = list.find(name + "|");
    if (at == std::string::npos) return {};
    std::vector<std::string> fields;
    std::string rest = list.substr(at);
    for (int i = 0; i < 3; ++i) {
        fields.push_back(rest.substr(0, rest.find('|')));
        rest = rest.substr(rest.find('|') + 1);
    }
    return fields[2];
}

}  // namespace

TEST(ConfigureModeTest, ASourceAddedInTheSheetWhileTheSaverRunsSurvivesTheSaversNextResults) {
    TempRoot root;
    picture_server::PictureServer server;
    StoreString("CamList", "Harbour|" + server.url("/cam.jpg") + "|??:??|Unknown|???|1|||0|");
    StoreSetting("EditMinutes", 0);
    StoreSetting("EditSeconds", 5);
    auto saver = StartSaver(root, {{"/s"}, "", {"KELVANE_DISPLAY=headless", "KELVANE_ONLINE=1"}});
    ASSERT_TRUE(StoredListBecomes([](const std::string& list) { return list.find("|Success|") != std::string::npos; }, 60000))
        << "the saver stored no result";

    auto sheet = StartSaver(root, {{},
                                   "at 300 press 1009\nat 300 set 1000 Quay\nat 300 set 1001 http://127.0.0.1:9/q.jpg\n"
                                   "at 300 answer OK\nat 300 press IDOK\n",
                                   {"KELVANE_DISPLAY=headless", "KELVANE_ONLINE=0"}});
    ASSERT_EQ(sheet->wait(30000), 0);
    const std::string added = ReadString("CamList");
    ASSERT_NE(added.find("Quay|http://127.0.0.1:9/q.jpg|"), std::string::npos) << added;

    // The saver, which read the list before the sheet changed it, stores its next results.
    const std::string before = LastUpdateOf(added, "Harbour");
    EXPECT_TRUE(StoredListBecomes([&](const std::string& list) { return LastUpdateOf(list, "Harbour") != before; }, 60000))
        << "the saver stored no later result";
    saver->kill(SIGTERM);
    saver->wait(30000);
    const std::string after = ReadString("CamList");
    EXPECT_NE(after.find("Quay|http://127.0.0.1:9/q.jpg|"), std::string::npos) << after;
    EXPECT_NE(after.find("Harbour|" + server.url("/cam.jpg") + "|"), std::string::npos) << after;
}

TEST(ConfigureModeTest, AScriptNamingAControlThatDoesNotExistEndsWithStatusThree) {
    TempRoot root;
    auto saver = StartSaver(root, {{}, "at 300 dump /dev/null\nat 400 press 4242\nat 5000 press IDOK\n", kHeadless});
    EXPECT_EQ(saver->wait(30000), 3);
    EXPECT_FALSE(std::filesystem::exists(root.userRegistry()));
}

namespace {

// The saver processes of a test's own root.
std::vector<pid_t> SaversOf(const TempRoot& root) {
    std::vector<pid_t> found;
    const std::string marker = "KELVANE_ROOT=" + root.path().string();
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream environment(entry.path() / "environ");
        std::string variables((std::istreambuf_iterator<char>(environment)), {});
        std::ifstream command(entry.path() / "cmdline");
        std::string line((std::istreambuf_iterator<char>(command)), {});
        if (line.find("kelvane-saver") == std::string::npos) continue;
        for (size_t start = 0; start < variables.size();) {
            const size_t end = variables.find('\0', start);
            if (variables.compare(start, (end == std::string::npos ? variables.size() : end) - start, marker) == 0)
                found.push_back(pid_t(std::stoi(name)));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    return found;
}

}  // namespace

TEST(ConfigureModeTest, PreviewSavesAndStartsTheSaverAndASecondPressFindsItRunning) {
    TempRoot root;
    const std::string script = "at 300 set 1002 30\nat 400 press 102\nat 1500 press 102\nat 4000 press IDCANCEL\n";
    auto sheet = StartSaver(root, {{}, script, {"KELVANE_DISPLAY=headless", "KELVANE_ONLINE=0"}});
    EXPECT_EQ(sheet->wait(60000), 0);
    EXPECT_EQ(ReadSetting("EditSeconds"), 30);  // saved before the saver started
    // One saver is left: the second found the first by its window and ended (however long a
    // busy machine takes for that).
    std::vector<pid_t> savers;
    testing_support::Eventually([&] { return (savers = SaversOf(root)).size() == 1; }, std::chrono::seconds(30),
                                std::chrono::milliseconds(100));
    EXPECT_EQ(savers.size(), 1u);
    for (pid_t saver : savers) ::kill(saver, SIGTERM);
    testing_support::Eventually([&] { return SaversOf(root).empty(); }, std::chrono::milliseconds(10000), std::chrono::milliseconds(100));
    EXPECT_TRUE(SaversOf(root).empty());
}

namespace {

// The values of the settings file, by name.
std::map<std::string, std::string> RegistryValues(const TempRoot& root) {
    std::ifstream in(root.userRegistry());
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(in, line);) {
        const size_t equals = line.find("\"=");
        if (line.empty() || line[0] != '"' || equals == std::string::npos) continue;
        values[line.substr(1, equals - 1)] = line.substr(equals + 2);
    }
    return values;
}

}  // namespace

TEST(ConfigureModeTest, AChangeOnEveryPageReachesTheSettingsAndNothingElseChanges) {
    TempRoot root;
    const std::vector<std::string> environment{"KELVANE_DISPLAY=headless", "KELVANE_ONLINE=0"};
    ASSERT_EQ(StartSaver(root, {{}, "at 300 press IDOK\n", environment})->wait(30000), 0);
    const auto before = RegistryValues(root);
    ASSERT_FALSE(before.empty());
    const std::string script = "at 300 set 1002 30\n"
                               "at 350 tab Image Options\nat 400 press 1037\n"
                               "at 450 tab Marquee\nat 500 press 1062\n"
                               "at 550 tab Transitions\nat 600 press 1039\n"
                               "at 650 tab Wallpaper\nat 700 press 1098\n"
                               "at 750 tab Misc.\nat 800 press 1086\n"
                               "at 900 press IDOK\n";
    ASSERT_EQ(StartSaver(root, {{}, script, environment})->wait(30000), 0);
    const auto after = RegistryValues(root);
    std::set<std::string> changed;
    for (const auto& [name, value] : after)
        if (!before.count(name) || before.at(name) != value) changed.insert(name);
    EXPECT_EQ(changed, (std::set<std::string>{"EditSeconds", "Change", "ShowElapsedTime", "EnableTransitionEffect",
                                              "WallMode", "IgnoreMouse"}));
    EXPECT_EQ(after.at("EditSeconds"), "dword:0000001e");
    EXPECT_EQ(after.at("Change"), "dword:00000002");
    EXPECT_EQ(after.at("WallMode"), "dword:00000001");
    // With the wallpaper chosen and the labels transparent by default, OK started the icon-text
    // companion; it stays after the sheet has gone.
    const platform::HWND companion = platform::FindWindow("GLYPHVEIL", nullptr);
    EXPECT_TRUE(companion);
    if (companion) platform::SendMessage(companion, platform::WM_CLOSE, 0, 0);
}
