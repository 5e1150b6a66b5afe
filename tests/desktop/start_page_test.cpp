#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "dde.h"
#include "registry.h"
#include "start_page.h"
#include "temp_root.h"

using namespace platform;

namespace {

// A browser's exchange service that writes down the addresses it is asked for.
class BrowserPeer {
public:
    BrowserPeer()
        : server_("IExplore", {"WWW_OpenURL"}, [this](const std::string&, const std::string& item) {
              std::lock_guard lock(mutex_);
              requested_.push_back(item);
              return std::optional<std::string>("0");
          }) {}

    std::vector<std::string> requested() {
        std::lock_guard lock(mutex_);
        return requested_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> requested_;
    DdeServer server_;
};

void SetStartPage(const char* page) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", &key), 0);
    RegWriteString(key, "Start Page", page);
    RegCloseKey(key);
}

}  // namespace

TEST(StartPageTest, TheBrowserIsAskedForTheStartPageEvenWhenItIsEmpty) {
    testing_support::TempRoot root;
    BrowserPeer browser;
    SetStartPage("http://start.example/");
    EXPECT_TRUE(desktop::OpenStartPageByDde());
    SetStartPage("");
    EXPECT_TRUE(desktop::OpenStartPageByDde());
    EXPECT_EQ(browser.requested(), (std::vector<std::string>{"http://start.example/", ""}));
}

TEST(StartPageTest, NoBrowserAndNoSettingIsStillSuccess) {
    testing_support::TempRoot root;
    EXPECT_TRUE(desktop::OpenStartPageByDde());
    BrowserPeer browser;
    EXPECT_TRUE(desktop::OpenStartPageByDde());
    EXPECT_EQ(browser.requested(), std::vector<std::string>{""});
}
