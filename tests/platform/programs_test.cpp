#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "eventually.h"
#include "programs.h"
#include "temp_root.h"

using namespace platform;

TEST(ProgramsTest, SystemNamesMapToTheInstalledPrograms) {
    EXPECT_EQ(InstalledProgramName("MelodrinWC"), "melodrin");
    EXPECT_EQ(InstalledProgramName("glyphveilwc.exe"), "glyphveil");
    EXPECT_EQ(InstalledProgramName("Kelvane Screen Saver.scr"), "kelvane-saver");
    EXPECT_EQ(InstalledProgramName("ls"), "ls");
    EXPECT_EQ(SplitCommandLine("Kelvane Screen Saver.scr /s"),
              (std::vector<std::string>{"Kelvane Screen Saver.scr", "/s"}));
    EXPECT_EQ(SplitCommandLine("MelodrinWC"), (std::vector<std::string>{"MelodrinWC"}));
    EXPECT_EQ(SplitCommandLine("tool \"a b\"  c"), (std::vector<std::string>{"tool", "a b", "c"}));
}

TEST(ProgramsTest, WinExecStartsAProgramOnThePathAndReportsAMissingOne) {
    testing_support::TempRoot root;
    const auto marker = root.path() / "started";
    EXPECT_GT(WinExec(("touch " + marker.string()).c_str(), 0), 31u);
    testing_support::Eventually([&] { return std::filesystem::exists(marker); }, std::chrono::milliseconds(10000), std::chrono::milliseconds(10));
    EXPECT_TRUE(std::filesystem::exists(marker));
    EXPECT_EQ(WinExec("no-such-program-anywhere --flag", 0), 2u);
    EXPECT_EQ(WinExec("", 0), 2u);
}
