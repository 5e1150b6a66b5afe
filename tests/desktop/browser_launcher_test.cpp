#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "browser_launcher.h"
#include "stand_in_browser.h"
#include "temp_root.h"

namespace fs = std::filesystem;

namespace {

class BrowserLauncherTest : public ::testing::Test {
protected:
    void script(const std::string& name, const std::string& body) { browser_.script(name, body); }
    std::string opened() { return browser_.opened(); }

    testing_support::TempRoot root_;
    testing_support::StandInBrowser browser_{root_.path()};
    fs::path bin_ = browser_.bin();
};

}  // namespace

TEST_F(BrowserLauncherTest, TheAssociatedBrowserGetsTheAddressAndNothingIsLeftBehind) {
    const fs::path page = root_.path() / "data" / "temphtm.htm";
    fs::create_directories(page.parent_path());
    std::ofstream(page) << "left over";
    EXPECT_EQ(desktop::OpenUrlInBrowser(nullptr, "http://example.test/page"), 1);
    EXPECT_EQ(opened(), "--new-window http://example.test/page");
    EXPECT_FALSE(fs::exists(page));
}

TEST_F(BrowserLauncherTest, WithoutAnAssociatedProgramNothingStarts) {
    fs::remove(bin_ / "xdg-mime");
    EXPECT_EQ(desktop::OpenUrlInBrowser(nullptr, "http://example.test/"), 0);
    EXPECT_FALSE(fs::exists(root_.path() / "data" / "temphtm.htm"));
    // xdg-open stands in when the desktop names no browser.
    script("xdg-open", "echo \"$@\" > '" + (root_.path() / "opened").string() + "'\n");
    EXPECT_EQ(desktop::OpenUrlInBrowser(nullptr, "http://example.test/other"), 1);
    EXPECT_EQ(opened(), "http://example.test/other");
}

TEST_F(BrowserLauncherTest, WithoutXdgOpenTheBrowsersTheUserAndDebianNameAreTried) {
    fs::remove(bin_ / "xdg-mime");
    const auto recorded = root_.path() / "opened";
    const std::string record = "echo \"$(basename \"$0\") $*\" > '" + recorded.string() + "'\n";
    const auto open = [&](const std::string& address) {
        fs::remove(recorded);
        EXPECT_EQ(desktop::OpenUrlInBrowser(nullptr, address), 1) << address;
        return opened();
    };
    script("x-www-browser", record);
    EXPECT_EQ(open("http://example.test/a"), "x-www-browser http://example.test/a");
    script("sensible-browser", record);
    EXPECT_EQ(open("http://example.test/b"), "sensible-browser http://example.test/b");
    script("mine", record);
    ::setenv("BROWSER", "mine --tab %s:other", 1);
    EXPECT_EQ(open("http://example.test/c"), "mine --tab http://example.test/c");
    ::unsetenv("BROWSER");
}

TEST_F(BrowserLauncherTest, AnEntryWithQuotingAndFieldCodesStartsTheRightCommand) {
    script("fake browser", "echo \"[$1] [$2]\" > '" + (root_.path() / "opened").string() + "'\n");
    browser_.entry("[Desktop Entry]\nName=Fake\nIcon=fake\nExec=\"fake browser\" %i \"--profile=My Pages\" %U\n");
    EXPECT_EQ(desktop::OpenUrlInBrowser(nullptr, "http://example.test/a b"), 1);
    EXPECT_EQ(opened(), "[--profile=My Pages] [http://example.test/a b]");
}

TEST_F(BrowserLauncherTest, ABrowserThatCannotStartIsAFailure) {
    script("fakebrowser", "");
    std::ofstream(bin_ / "fakebrowser") << "#!/no/such/interpreter\n";  // executable, but cannot run
    EXPECT_EQ(desktop::OpenUrlInBrowser(nullptr, "http://example.test/"), 0);
    browser_.entry("[Desktop Entry]\nName=Fake\nExec=\"fakebrowser %u\n");  // an unterminated quote
    EXPECT_EQ(desktop::OpenUrlInBrowser(nullptr, "http://example.test/"), 0);
}
