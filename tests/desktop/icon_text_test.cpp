// The desktop icon labels' text background, and starting, registering, closing and
// unregistering the icon-text companion.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "eventually.h"
#include "autostart_entries.h"
#include "desktop_peer.h"
#include "headless_display.h"
#include "icon_text_companion.h"
#include "private_bin.h"
#include "programs.h"
#include "registry.h"
#include "run_command.h"
#include "temp_root.h"
#include "wallpaper.h"
#include "windows.h"

using namespace platform;
using testing_support::DesktopPeer;
namespace fs = std::filesystem;

namespace {

constexpr COLORREF kTeal = 0x00808000;

class IconTextTest : public ::testing::Test {
protected:
    void SetUp() override { SetDisplay(std::make_unique<HeadlessDisplay>(640, 480)); }
    void TearDown() override { SetDisplay(nullptr); }
    testing_support::TempRoot root_;
};

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST_F(IconTextTest, TheIconListsLabelsTurnTransparentOnceAndGetAColourBack) {
    DesktopPeer desktop(kTeal);
    EXPECT_EQ(desktop::SetIconTextTransparent(1, 0), kTeal);  // the colour it had
    EXPECT_EQ(desktop.labelBackground(), CLR_NONE);
    EXPECT_EQ(desktop::SetIconTextTransparent(1, 0), 0u);     // already transparent: nothing
    EXPECT_EQ(desktop.backgroundChanges(), 1);
    EXPECT_EQ(desktop::SetIconTextTransparent(0, 0x00FFFFFF), 0x00FFFFFFu);
    EXPECT_EQ(desktop.labelBackground(), 0x00FFFFFFu);
    EXPECT_EQ(desktop::SetIconTextTransparent(0, kTeal), kTeal);  // not transparent: left alone
    EXPECT_EQ(desktop.labelBackground(), 0x00FFFFFFu);
}

TEST_F(IconTextTest, WithoutADesktopWindowNothingIsFoundOrChanged) {
    EXPECT_EQ(desktop::SetIconTextTransparent(1, kTeal), kTeal);
    EXPECT_FALSE(desktop::IsActiveDesktopOn());
}

TEST_F(IconTextTest, TheWebStyleDesktopIsFoundByItsExactClassName) {
    DesktopPeer desktop;
    EXPECT_FALSE(desktop::IsActiveDesktopOn());
    desktop.addChild("internet explorer_server");
    EXPECT_FALSE(desktop::IsActiveDesktopOn());
    desktop.addChild("Internet Explorer_Server");
    EXPECT_TRUE(desktop::IsActiveDesktopOn());
}

TEST_F(IconTextTest, TheAutostartEntryQuotesWhatItMustAndIsReplacedNotDuplicated) {
    EXPECT_EQ(DesktopEntryExecArgument("/usr/bin/glyphveil"), "/usr/bin/glyphveil");
    EXPECT_EQ(DesktopEntryExecArgument("/opt/my apps/glyph$veil"), "\"/opt/my apps/glyph\\\\$veil\"");
    EXPECT_EQ(DesktopEntryExecArgument("/opt/100%/g"), "/opt/100%%/g");

    HKEY run = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, desktop::kRunKey, &run), ERROR_SUCCESS);
    RegWriteString(run, "GlyphveilWC", "/opt/my apps/glyphveil");
    RegWriteString(run, "GlyphveilWC", "\"/opt/my apps/glyphveil\"");
    const fs::path entry = AutostartEntryPath("GlyphveilWC");
    EXPECT_NE(ReadAll(entry).find("Exec=\"/opt/my apps/glyphveil\"\n"), std::string::npos) << ReadAll(entry);
    int entries = 0;
    for ([[maybe_unused]] const auto& file : fs::directory_iterator(entry.parent_path())) ++entries;
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(RegDeleteValue(run, "GlyphveilWC"), ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(entry));
    RegCloseKey(run);
}

namespace {

// The real companion behind a stand-in that writes down each start.
class CompanionControlTest : public IconTextTest {
protected:
    void SetUp() override {
        IconTextTest::SetUp();
        validator_ = FindProgram("desktop-file-validate");
        bin_ = std::make_unique<testing_support::PrivateBin>(root_.path() / "bin");
        bin_->script("glyphveil", "echo started >> '" + starts().string() + "'\nexec '" GLYPHVEIL_PATH "'\n");
    }
    void TearDown() override {
        if (HWND companion = FindWindow(desktop::kIconTextClass, nullptr)) PostMessage(companion, WM_CLOSE, 0, 0);
        waitFor([] { return !FindWindow(desktop::kIconTextClass, nullptr); });
        bin_.reset();
        IconTextTest::TearDown();
    }

    fs::path starts() const { return root_.path() / "starts"; }
    int startCount() const {
        const std::string text = ReadAll(starts());
        return int(std::count(text.begin(), text.end(), '\n'));
    }
    static bool waitFor(const std::function<bool()>& done) {
        testing_support::Eventually([&] { return done(); }, std::chrono::milliseconds(5000), std::chrono::milliseconds(20));
        return done();
    }
    static std::optional<std::string> RunValue() {
        RegKey run;
        if (RegOpenKey(HKEY_LOCAL_MACHINE, desktop::kRunKey, run.out()) != ERROR_SUCCESS) return std::nullopt;
        return RegReadString(run.get(), desktop::kRunValue);
    }

    std::optional<fs::path> validator_;
    std::unique_ptr<testing_support::PrivateBin> bin_;
};

}  // namespace

TEST_F(CompanionControlTest, ApplyingTwiceStartsItOnceAndRegistersItsLogOnStart) {
    EXPECT_EQ(desktop::ControlIconTextCompanion(1), 1);
    EXPECT_EQ(desktop::ControlIconTextCompanion(1), 1);
    EXPECT_TRUE(FindWindow(desktop::kIconTextClass, nullptr));
    EXPECT_EQ(startCount(), 1);
    EXPECT_EQ(RunValue(), (root_.path() / "bin" / "glyphveil").string());

    const fs::path entry = AutostartEntryPath(desktop::kRunValue);
    ASSERT_TRUE(fs::exists(entry));
    EXPECT_NE(ReadAll(entry).find("Exec=" + (root_.path() / "bin" / "glyphveil").string() + "\n"), std::string::npos);
    if (validator_) {
        const auto checked = RunCommand({validator_->string(), entry.string()});
        ASSERT_TRUE(checked.has_value());
        EXPECT_TRUE(Succeeded(checked)) << checked->output;
    }
}

TEST_F(CompanionControlTest, TurningItOffClosesItAndRemovesTheRegistrationButWallModeZeroLeavesItBe) {
    desktop::ControlIconTextCompanion(1);
    ASSERT_TRUE(waitFor([] { return FindWindow(desktop::kIconTextClass, nullptr) != nullptr; }));

    desktop::ApplyIconTextSetting(0, 0);  // the saver does not set the wallpaper: nothing changes
    EXPECT_TRUE(FindWindow(desktop::kIconTextClass, nullptr));
    EXPECT_TRUE(RunValue().has_value());

    desktop::ApplyIconTextSetting(1, 0);
    EXPECT_TRUE(waitFor([] { return !FindWindow(desktop::kIconTextClass, nullptr); }));
    EXPECT_FALSE(RunValue().has_value());
    EXPECT_FALSE(fs::exists(AutostartEntryPath(desktop::kRunValue)));
    EXPECT_EQ(desktop::ControlIconTextCompanion(0), 1);  // nothing left to close or remove
}
