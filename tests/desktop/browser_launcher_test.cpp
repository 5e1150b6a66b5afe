#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "browser_launcher.h"
#include "temp_root.h"

namespace fs = std::filesystem;

namespace {

// A desktop of our own: xdg-mime naming a browser whose entry starts a script that writes down
// what it was given.
class BrowserLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        bin_ = root_.path() / "bin";
        fs::create_directories(bin_);
        fs::create_directories(root_.path() / "share" / "applications");
        script("xdg-mime", "case \"$2\" in filetype) echo text/html;; default) echo fakebrowser.desktop;; esac\n");
        script("fakebrowser", "echo \"$@\" > '" + (root_.path() / "opened").string() + "'\n");
        std::ofstream(root_.path() / "share" / "applications" / "fakebrowser.desktop")
            << "[Desktop Entry]\nName=Fake\nExec=fakebrowser --new-window %u\n";
        oldPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        ::setenv("PATH", bin_.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root_.path() / "share").c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", oldPath_.c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
    }

    void script(const std::string& name, const std::string& body) {
        const fs::path file = bin_ / name;
        std::ofstream(file) << "#!/bin/sh\n" << body;
        fs::permissions(file, fs::perms::owner_all);
    }

    std::string opened() {
        for (int i = 0; i < 200; ++i) {
            std::ifstream in(root_.path() / "opened");
            std::string line;
            if (std::getline(in, line)) return line;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {};
    }

    testing_support::TempRoot root_;
    fs::path bin_;
    std::string oldPath_;
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
