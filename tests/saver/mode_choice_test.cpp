#include <gtest/gtest.h>

#include "headless_display.h"
#include "saver_app.h"
#include "system_services.h"
#include "temp_root.h"
#include "windows.h"

using namespace saver;
using namespace platform;

TEST(ModeChoiceTest, TheCommandLineChoosesTheMode) {
    struct Case {
        std::vector<std::string> arguments;
        SaverMode mode;
    } cases[] = {
        {{"saver"}, SaverMode::Configure},
        {{"saver", "/c"}, SaverMode::Configure},
        {{"saver", "-C"}, SaverMode::Configure},
        {{"saver", "c"}, SaverMode::Configure},
        {{"saver", "/c:1234"}, SaverMode::Configure},  // a parent after a colon changes nothing
        {{"saver", "/s"}, SaverMode::RunFullScreen},
        {{"saver", "-s"}, SaverMode::RunFullScreen},
        {{"saver", "S"}, SaverMode::RunFullScreen},
        {{"saver", "/S"}, SaverMode::RunFullScreen},
        {{"saver", "/s", "extra"}, SaverMode::Configure},  // the whole tail must be the switch
        {{"saver", "/s1"}, SaverMode::Configure},
        {{"saver", "/p", "1234"}, SaverMode::Preview},
        {{"saver", "-P", "1234", "more"}, SaverMode::Preview},
        {{"saver", "p"}, SaverMode::Preview},
        {{"saver", "/a", "77"}, SaverMode::ChangePassword},
        {{"saver", "A"}, SaverMode::ChangePassword},
        {{"saver", "/x"}, SaverMode::Configure},
        {{"saver", ""}, SaverMode::Configure},
        {{"saver", "/ps"}, SaverMode::Configure},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseSaverMode(c.arguments), c.mode) << CommandTail(c.arguments);
    EXPECT_EQ(LeadingNumber("1234abc"), 1234u);
    EXPECT_EQ(LeadingNumber("x12"), 0u);
    EXPECT_EQ(LeadingNumber("99999999999999999999999"), 0u);
}

namespace {

// A stand-in for the platform's password-change service.
struct PasswordService {
    int calls = 0;
    std::string provider;
    HWND parent = nullptr;

    void install() {
        RegisterPlatformLibrary("MPR.DLL", {{"PwdChangePasswordA", std::function<DWORD(const char*, HWND, DWORD, void*)>(
                                                                    [this](const char* name, HWND window, DWORD, void*) {
                                                                        ++calls;
                                                                        provider = name;
                                                                        parent = window;
                                                                        return DWORD(0);
                                                                    })}});
    }
    ~PasswordService() { UnregisterPlatformLibrary("MPR.DLL"); }
};

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override { SetDisplay(std::make_unique<HeadlessDisplay>(800, 600)); }
    void TearDown() override {
        SelectPlatformFamily(VER_PLATFORM_OTHER);
        if (HWND main = GetMainWindow()) DestroyWindow(main);
        SetDisplay(nullptr);
    }
    testing_support::TempRoot root_;
};

std::string Handle(HWND window) { return std::to_string(reinterpret_cast<std::uintptr_t>(window)); }

}  // namespace

TEST_F(StartUpTest, PasswordChangeCallsTheServiceOnlyOnTheWindows95Family) {
    PasswordService service;
    service.install();
    HWND owner = CreateWindowEx(0, "Owner", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, 0, DefWindowProc);
    HWND foreground = GetForegroundWindow();
    ASSERT_EQ(foreground, owner);

    SaverApp app;
    EXPECT_FALSE(app.InitInstance({"saver", "/a", Handle(owner)}));
    EXPECT_EQ(service.calls, 0);  // neither family by default: nothing happens

    SelectPlatformFamily(VER_PLATFORM_WIN32_WINDOWS);
    HWND other = CreateWindowEx(0, "Other", "other", WS_POPUP, 0, 0, 10, 10, nullptr, 0, DefWindowProc);
    EXPECT_FALSE(app.InitInstance({"saver", "/a", Handle(other)}));
    EXPECT_EQ(service.calls, 1);
    EXPECT_EQ(service.provider, "SCRSAVE");
    EXPECT_EQ(service.parent, other);

    // A handle that names no window, or none at all, parents the dialog to the foreground window.
    app.ChangePassword("-A   99999999");
    EXPECT_EQ(service.parent, foreground);
    app.ChangePassword("a");
    EXPECT_EQ(service.calls, 3);
    EXPECT_EQ(service.parent, foreground);

    UnregisterPlatformLibrary("MPR.DLL");
    app.ChangePassword("/a 1");  // a missing library is silent
    EXPECT_EQ(service.calls, 3);
    DestroyWindow(owner);
    DestroyWindow(other);
}

TEST_F(StartUpTest, RunModeMakesOneFullScreenSaverAndASecondStartEndsAtOnce) {
    SaverApp first;
    ASSERT_TRUE(first.InitInstance({"saver", "/s"}));
    HWND saverWindow = GetMainWindow();
    ASSERT_NE(saverWindow, nullptr);
    EXPECT_EQ(GetWindowText(saverWindow), "Kelvane Screen Saver");
    RECT rect;
    GetWindowRect(saverWindow, &rect);
    EXPECT_EQ(rect, (RECT{0, 0, 800, 600}));
    EXPECT_TRUE(IsWindowVisible(saverWindow));

    SaverApp second;
    EXPECT_FALSE(second.InitInstance({"saver", "/s"}));
    EXPECT_EQ(GetMainWindow(), saverWindow);
    DestroyWindow(saverWindow);  // before the application object it belongs to
}

TEST_F(StartUpTest, PreviewWithoutAUsableHostEndsWithoutAWindow) {
    SaverApp app;
    EXPECT_FALSE(app.InitInstance({"saver", "/p"}));
    EXPECT_FALSE(app.InitInstance({"saver", "/p", "12345"}));  // headless: no host window exists
    EXPECT_FALSE(app.InitInstance({"saver", "/p", "junk"}));
    EXPECT_EQ(GetMainWindow(), nullptr);
}
