#include <gtest/gtest.h>

#include "profile.h"
#include "saver_process.h"

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
