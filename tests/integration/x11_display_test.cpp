// The saver on a real X server (Xvfb): full screen with real key input, and the preview inside a
// host window of another program.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <thread>

#include "eventually.h"
#include "picture_writers.h"
#include "programs.h"
#include "saver_process.h"
#include "xvfb_server.h"

using namespace integration;
using testing_support::ChildProcess;
using testing_support::HelperPath;
using testing_support::TempRoot;

namespace {

// Two sources of one colour each, their pictures as if fetched: "Harbour" green (0x1EC81E), the
// current one, and "Bridge" blue (0x1E1EC8); 24-bit BMPs, or GIFs with a palette.
enum class PictureKind { Bmp, Gif };
void StoreTwoOneColourSources(const TempRoot& root, int width, int height, PictureKind kind = PictureKind::Bmp) {
    std::filesystem::create_directories(root.path() / "data" / "images");
    std::string list;
    const char* type = kind == PictureKind::Gif ? "GIF" : "BMP";
    for (const auto& [name, colour] : {std::pair{"Harbour", picture_writers::Rgb{30, 200, 30}},
                                       std::pair{"Bridge", picture_writers::Rgb{30, 30, 200}}}) {
        const std::string bytes =
            kind == PictureKind::Gif
                ? picture_writers::GifFile(picture_writers::IndexedPicture{
                      width, height, std::vector<std::uint8_t>(std::size_t(width * height), 1), {{0, 0, 0}, colour}})
                : picture_writers::BmpFile(picture_writers::TruePicture{
                      width, height, std::vector<picture_writers::Rgb>(std::size_t(width * height), colour)});
        picture_writers::WriteFile(root.path() / "data" / "images" / (std::string(name) + "." + type), bytes);
        list += std::string(name) + "|http://127.0.0.1:9/p|??:??|Unknown|" + type + "|1|||0|";
    }
    StoreString("CamList", list);
    StoreString("CurrentCam", "Harbour");
}

class X11DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        xvfb_ = std::make_unique<testing_support::XvfbServer>(800, 600, depth_);
        ASSERT_TRUE(xvfb_->running());
        displayName_ = xvfb_->name();
        display_ = xvfb_->display();
    }

    std::vector<std::string> environment() const { return {"DISPLAY=" + displayName_, "KELVANE_DISPLAY="}; }

    unsigned long pixelAt(int x, int y) { return xvfb_->pixelAt(x, y); }

    bool waitForColour(int x, int y, unsigned long colour, int timeoutMs) {
        return xvfb_->waitForColour(x, y, colour, timeoutMs);
    }

    // SIGTERM ends the hack in order (its window's registration taken away, as its destruction
    // does) and then by the signal, as a daemon expects of the programs it stops.
    static void ExpectAnOrderlyEndBySigterm(ChildProcess& saver, const TempRoot& root) {
        saver.kill(SIGTERM);
        EXPECT_EQ(saver.wait(10000), 128 + SIGTERM) << "the hack did not end by the signal";
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path() / "run"))
            EXPECT_NE(entry.path().extension(), ".info") << "left registered: " << entry.path();
    }

    int depth_ = 24;
    std::unique_ptr<testing_support::XvfbServer> xvfb_;
    std::string displayName_;
    Display* display_ = nullptr;
};

}  // namespace

TEST_F(X11DisplayTest, RunModeCoversTheScreenAndARealKeyEndsIt) {
    TempRoot root;
    StoreSetting("BackColor", 0x000000C0);  // red 0xC0
    auto saver = StartSaver(root, {{"/s"}, "", environment()});
    ASSERT_TRUE(waitForColour(2, 2, 0xC00000, 15000)) << "the saver never covered the screen";
    EXPECT_TRUE(waitForColour(797, 597, 0xC00000, 5000));  // frames arrive in stripes, top first
    EXPECT_EQ(pixelAt(2, 597), 0xC00000u);
    EXPECT_EQ(saver->wait(0), -1);

    const KeyCode escape = XKeysymToKeycode(display_, XK_Escape);
    XTestFakeKeyEvent(display_, escape, True, 0);
    XTestFakeKeyEvent(display_, escape, False, 0);
    XFlush(display_);
    EXPECT_EQ(saver->wait(10000), 0);
}

TEST_F(X11DisplayTest, OnAScaledDesktopItDrawsAtDevicePixels) {
    // Qt scales by 2 as the user asked; the saver still covers every device pixel and draws its
    // marquee text at them, not at half the resolution doubled (where every aligned 2x2 block of
    // the screen would be one colour).
    TempRoot root;
    StoreSetting("BackColor", 0x000000C0);
    auto env = environment();
    env.push_back("QT_SCALE_FACTOR=2");
    auto saver = StartSaver(root, {{"/s"}, "", env});
    ASSERT_TRUE(waitForColour(797, 2, 0xC00000, 15000)) << "the saver never covered the screen";
    int mixedBlocks = 0;
    for (int waited = 0; waited < 10000 && mixedBlocks < 20; waited += 100) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        XImage* strip = XGetImage(display_, DefaultRootWindow(display_), 0, 552, 800, 48, AllPlanes, ZPixmap);
        ASSERT_TRUE(strip);
        mixedBlocks = 0;
        for (int y = 0; y + 1 < 48; y += 2)
            for (int x = 0; x + 1 < 800; x += 2) {
                const unsigned long corner = XGetPixel(strip, x, y);
                if (XGetPixel(strip, x + 1, y) != corner || XGetPixel(strip, x, y + 1) != corner ||
                    XGetPixel(strip, x + 1, y + 1) != corner)
                    ++mixedBlocks;
            }
        XDestroyImage(strip);
    }
    EXPECT_GE(mixedBlocks, 20) << "the marquee is drawn doubled";
    EXPECT_EQ(pixelAt(797, 540), 0xC00000u);  // the bottom right is covered, above the marquee
    saver->kill(SIGTERM);
    saver->wait(10000);
}

// An effect reaches the screen step by step, not only when it ends: the second picture's reveal,
// a wipe down, is caught with its top rows shown and its bottom rows not yet.
TEST_F(X11DisplayTest, ATransitionIsSeenStepByStep) {
    TempRoot root;
    StoreTwoOneColourSources(root, 640, 400);
    StoreSetting("BackColor", 0x000000C0);  // red 0xC0
    StoreSetting("ShowTicker", 0);
    StoreSetting("Movement", 2);
    StoreSetting("ImageStretchOption", 1);  // their own size, at 80,100 to 720,500
    StoreSetting("Change", 1);
    StoreSetting("ChangeTime", 3);
    StoreSetting("EnableTransitionEffect", 1);
    StoreSetting("AutoTransitionEffect", 0);
    StoreSetting("CurrentTransitionEffect", 1);  // Wipe Down, about a second and a half each way
    auto saver = StartSaver(root, {{"/s"}, "", environment()});

    // How far down the second picture shows, capture after capture, until it shows whole.
    constexpr unsigned long kSecond = 0x1E1EC8;
    constexpr int kRows = 393;  // rows 104 to 496 of the picture
    std::set<int> partlyShown;
    bool whole = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!whole && std::chrono::steady_clock::now() < deadline) {
        XImage* column = XGetImage(display_, DefaultRootWindow(display_), 400, 104, 1, kRows, AllPlanes, ZPixmap);
        if (column) {
            int shown = 0;
            while (shown < kRows && XGetPixel(column, 0, shown) == kSecond) ++shown;
            whole = shown == kRows;
            if (shown > 0 && !whole) partlyShown.insert(shown);
            XDestroyImage(column);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(whole) << "the second picture never showed whole";
    EXPECT_GE(partlyShown.size(), 3u) << "the reveal did not reach the screen step by step";
    xvfb_->pressKey(XK_Escape);
    EXPECT_EQ(saver->wait(10000), 0);
}

TEST_F(X11DisplayTest, TheServersOwnSaverNeverCoversTheSaver) {
    // As a launcher on the server's idle timer has it: the server's saver (its pattern, as with
    // `xset s noblank`) comes on first, and starts ours.
    XSetScreenSaver(display_, 1, 0, DontPreferBlanking, AllowExposures);
    testing_support::Eventually([&] { return xvfb_->serverSaverOn(); }, std::chrono::milliseconds(10000));
    ASSERT_TRUE(xvfb_->serverSaverOn());
    TempRoot root;
    StoreSetting("BackColor", 0x000000C0);  // red 0xC0
    auto saver = StartSaver(root, {{"/s"}, "", environment()});
    ASSERT_TRUE(waitForColour(2, 2, 0xC00000, 15000)) << "the server's saver stayed over the saver";
    // Well past the server's one-second timeout, it has not come back over the picture.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_FALSE(xvfb_->serverSaverOn());
    EXPECT_EQ(pixelAt(2, 2), 0xC00000u);
    saver->kill(SIGTERM);
    saver->wait(10000);
}

TEST_F(X11DisplayTest, KeysWithoutAMeaningOfTheirOwnEndTheSaverToo) {
    unsigned long red = 0x40;
    for (const KeySym key : {XK_Delete, XK_Home, XK_period, XK_slash, XK_Next, XK_KP_5, XK_KP_Add, XK_Insert}) {
        TempRoot root;
        red += 0x10;  // a colour of its own for each run, so the last run's screen is not taken for it
        StoreSetting("BackColor", int(red));
        auto saver = StartSaver(root, {{"/s"}, "", environment()});
        ASSERT_TRUE(waitForColour(2, 2, red << 16, 15000)) << "the saver never covered the screen";
        const KeyCode code = XKeysymToKeycode(display_, key);
        ASSERT_NE(code, 0) << XKeysymToString(key);
        XTestFakeKeyEvent(display_, code, True, 0);
        XTestFakeKeyEvent(display_, code, False, 0);
        XFlush(display_);
        EXPECT_EQ(saver->wait(10000), 0) << XKeysymToString(key) << " did not end the saver";
        saver->kill(SIGKILL);
    }
}

TEST_F(X11DisplayTest, PreviewDrawsInsideTheHostWindowAndEndsWithIt) {
    TempRoot root;
    StoreSetting("BackColor", 0x0000C000);  // green 0xC0
    ChildProcess host(HelperPath("x_host_window"), {"320", "240"}, environment());
    const std::string id = host.readLine(10000);
    ASSERT_FALSE(id.empty());
    ASSERT_TRUE(waitForColour(50, 40, 0xFFFFFF, 5000)) << "the host window is not on the screen";

    auto saver = StartSaver(root, {{"/p", id}, "", environment()});
    // The host sits at (40, 30) with 320 x 240 pixels: the preview fills exactly that.
    ASSERT_TRUE(waitForColour(41, 31, 0x00C000, 15000)) << "the preview never drew";
    EXPECT_TRUE(waitForColour(40 + 319, 30 + 239, 0x00C000, 5000));
    EXPECT_NE(pixelAt(40 + 320, 30 + 240), 0x00C000u);
    EXPECT_NE(pixelAt(39, 29), 0x00C000u);

    host.kill(SIGTERM);
    host.wait(5000);
    EXPECT_EQ(saver->wait(10000), 0) << "the preview did not end with its host";
}

namespace {

// Top-level windows on the X server, mapped or not.
size_t TopLevelWindows(Display* display) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    if (children) XFree(children);
    return count;
}

}  // namespace

TEST_F(X11DisplayTest, AsAHackItDrawsTheFullSaverIntoTheDaemonsWindowAndEndsOnSigterm) {
    TempRoot root;
    StoreSetting("BackColor", 0x00C0C000);  // teal
    StoreSetting("ShowTicker", 0);
    StoreSetting("ImageStretchOption", 1);  // the fallback picture at its own 320 x 240
    ChildProcess host(HelperPath("x_host_window"), {"640", "480"}, environment());
    const std::string id = host.readLine(10000);
    ASSERT_FALSE(id.empty());
    ASSERT_TRUE(waitForColour(50, 40, 0xFFFFFF, 5000)) << "the host window is not on the screen";
    const size_t windowsBefore = TopLevelWindows(display_);

    // The daemon names its window in hexadecimal; "-root" then means that window.
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%lx", std::stoul(id));
    auto environment = this->environment();
    environment.push_back(std::string("XSCREENSAVER_WINDOW=") + hex);
    auto saver = StartSaver(root, {{"-root"}, "", environment});
    ASSERT_TRUE(waitForColour(41, 31, 0x00C0C0, 15000))
        << "the hack never drew into the window: " << std::hex << pixelAt(41, 31);
    // A frame reaches the server in stripes, top first: the far corner may follow a moment later.
    EXPECT_TRUE(waitForColour(40 + 639, 30 + 479, 0x00C0C0, 5000))  // the whole window: the hack's screen
        << std::hex << pixelAt(40 + 639, 30 + 479);
    EXPECT_NE(pixelAt(40 + 640, 30 + 480), 0x00C0C0u);
    EXPECT_NE(pixelAt(40 + 320, 30 + 240), 0x00C0C0u);  // the fallback picture in the middle
    EXPECT_EQ(TopLevelWindows(display_), windowsBefore) << "the hack made a window of its own";
    EXPECT_EQ(saver->wait(0), -1);

    ExpectAnOrderlyEndBySigterm(*saver, root);
}

TEST_F(X11DisplayTest, AHackFollowsItsWindowsNewSize) {
    TempRoot root;
    StoreSetting("BackColor", 0x00C0C000);  // teal
    StoreSetting("FontColor", 0x000000FF);  // red marquee text
    StoreSetting("ShowTicker", 1);
    StoreSetting("MaxWidth", 500);
    ChildProcess host(HelperPath("x_host_window"), {"320", "240"}, environment());
    const std::string id = host.readLine(10000);
    ASSERT_FALSE(id.empty());
    auto saver = StartSaver(root, {{"-window-id", id}, "", environment()});
    ASSERT_TRUE(waitForColour(41, 31, 0x00C0C0, 15000)) << "the hack never drew into the window";
    // The daemon grows its window, as when the screen changes or its preview is resized.
    XResizeWindow(display_, Window(std::stoul(id)), 640, 480);
    XFlush(display_);
    EXPECT_TRUE(waitForColour(40 + 639, 30 + 300, 0x00C0C0, 5000)) << "the new part stayed undrawn";
    // The marquee runs along the new bottom.
    bool marqueeAtTheBottom = false;
    for (int waited = 0; waited < 10000 && !marqueeAtTheBottom; waited += 100) {
        for (int x = 0; x < 640 && !marqueeAtTheBottom; x += 2)
            for (int y = 480 - 24; y < 480 && !marqueeAtTheBottom; ++y)
                marqueeAtTheBottom = pixelAt(40 + x, 30 + y) == 0xFF0000u;
        if (!marqueeAtTheBottom) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(marqueeAtTheBottom) << "no marquee text along the new bottom";
    ExpectAnOrderlyEndBySigterm(*saver, root);
    EXPECT_EQ(ReadSetting("MaxWidth"), 500);  // the host's size is never stored
}

TEST_F(X11DisplayTest, AHackWhoseWindowChangesSizeDuringEffectsDrawsOnlyInsideIt) {
    TempRoot root;
    StoreTwoOneColourSources(root, 300, 200);
    StoreSetting("BackColor", 0x00C0C000);  // teal
    StoreSetting("ShowTicker", 1);
    StoreSetting("EnableTransitionEffect", 1);
    StoreSetting("AutoTransitionEffect", 1);
    StoreSetting("CurrentTransitionEffect", 5);  // Cave In, the longest, and then the others
    StoreSetting("Change", 1);
    StoreSetting("ChangeTime", 1);
    ChildProcess host(HelperPath("x_host_window"), {"400", "300"}, environment());
    const std::string id = host.readLine(10000);
    ASSERT_FALSE(id.empty());
    auto saver = StartSaver(root, {{"-window-id", id}, "", environment()});
    ASSERT_TRUE(waitForColour(41, 31, 0x00C0C0, 15000)) << "the hack never drew into the window";
    // The host grows, shrinks and changes again while pictures are being revealed and erased
    // (under the sanitizers a drawing past the window's pixels ends the hack at once).
    const std::pair<int, int> sizes[] = {{900, 640}, {320, 200}, {640, 480}, {200, 150}, {700, 300}, {400, 300}};
    for (int round = 0; round < 4; ++round)
        for (const auto& [width, height] : sizes) {
            XResizeWindow(display_, Window(std::stoul(id)), unsigned(width), unsigned(height));
            XFlush(display_);
            std::this_thread::sleep_for(std::chrono::milliseconds(350));
            ASSERT_EQ(saver->wait(0), -1) << "the hack ended while its window changed size";
        }
    XResizeWindow(display_, Window(std::stoul(id)), 640, 480);
    XFlush(display_);
    EXPECT_TRUE(waitForColour(40 + 639, 30 + 300, 0x00C0C0, 10000)) << "the last size stayed undrawn";
    ExpectAnOrderlyEndBySigterm(*saver, root);
}

TEST_F(X11DisplayTest, AHackEndsWithItsWindowAndRefusesABadWindowId) {
    TempRoot root;
    StoreSetting("BackColor", 0x000000C0);
    // The user's custom size is larger than the daemon's small preview window.
    StoreSetting("MaxWidth", 640);
    StoreSetting("MaxHeight", 480);
    // A source that fails at once, so the settings are written while the hack runs.
    StoreString("CamList", "Gone|http://127.0.0.1:9/p.jpg|??:??|Unknown|???|1|||0|");
    ChildProcess host(HelperPath("x_host_window"), {"200", "100"}, environment());
    const std::string id = host.readLine(10000);
    ASSERT_FALSE(id.empty());
    auto online = environment();
    online.push_back("KELVANE_ONLINE=1");
    auto saver = StartSaver(root, {{"-window-id", id}, "", online});
    ASSERT_TRUE(waitForColour(41, 31, 0xC00000, 15000)) << "the hack never drew into the window";
    testing_support::Eventually([&] { return ReadString("CamList").find("Unknown") == std::string::npos; }, std::chrono::milliseconds(10000), std::chrono::milliseconds(100));
    EXPECT_EQ(ReadString("CamList").find("Unknown"), std::string::npos) << "the source was never fetched";
    host.kill(SIGTERM);
    host.wait(5000);
    EXPECT_EQ(saver->wait(10000), 0) << "the hack did not end with its window";
    EXPECT_EQ(ReadSetting("MaxWidth"), 640);
    EXPECT_EQ(ReadSetting("MaxHeight"), 480);

    auto refused = StartSaver(root, {{"-window-id", "0xzz"}, "", environment()});
    EXPECT_EQ(refused->wait(10000), 2);
}

namespace {

class X11SixteenBitDisplayTest : public X11DisplayTest {
protected:
    X11SixteenBitDisplayTest() { depth_ = 16; }
};

}  // namespace

TEST_F(X11SixteenBitDisplayTest, AHackConvertsItsColoursForTheServersFormat) {
    TempRoot root;
    StoreSetting("BackColor", 0x00C0C000);  // teal: red 0, green 0xC0, blue 0xC0
    StoreSetting("ShowTicker", 0);
    StoreSetting("ImageStretchOption", 1);
    ChildProcess host(HelperPath("x_host_window"), {"640", "480"}, environment());
    const std::string id = host.readLine(10000);
    ASSERT_FALSE(id.empty());
    auto saver = StartSaver(root, {{"-window-id", id}, "", environment()});
    // 5-6-5 bits: green 0xC0 of 0xFF is 47 of 63, blue 23 of 31.
    const unsigned long teal = (47ul << 5) | 23ul;
    ASSERT_TRUE(waitForColour(41, 31, teal, 15000)) << "found " << std::hex << pixelAt(41, 31);
    EXPECT_TRUE(waitForColour(40 + 639, 30 + 479, teal, 5000)) << std::hex << pixelAt(40 + 639, 30 + 479);
    ExpectAnOrderlyEndBySigterm(*saver, root);
}

namespace {

// A display of two RandR monitors of different sizes side by side, the primary on the right, as
// a laptop beside a larger screen has it. The strip below the smaller one is on no monitor.
class X11TwoMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        xvfb_ = std::make_unique<testing_support::XvfbServer>(1824, 768, 24);
        ASSERT_TRUE(xvfb_->running());
        const auto xrandr = platform::FindProgram("xrandr");
        ASSERT_TRUE(xrandr) << "xrandr is needed for these tests (Debian package x11-xserver-utils)";
        xrandr_ = xrandr->string();
        randr({"--setmonitor", "LEFT", "1024/270x768/200+0+0", "screen"});
        randr({"--setmonitor", "*RIGHT", "800/210x600/160+1024+0", "none"});
    }
    void randr(const std::vector<std::string>& arguments) {
        ChildProcess run(xrandr_, arguments, {"DISPLAY=" + xvfb_->name()});
        ASSERT_EQ(run.wait(10000), 0) << "xrandr " << arguments[0] << " " << arguments[1];
    }
    std::vector<std::string> environment() const { return {"DISPLAY=" + xvfb_->name(), "KELVANE_DISPLAY="}; }

    std::unique_ptr<testing_support::XvfbServer> xvfb_;
    std::string xrandr_;
};

}  // namespace

TEST_F(X11TwoMonitorTest, EachMonitorShowsItsOwnSourceAndAClickOnTheOtherEndsTheSaver) {
    TempRoot root;
    // The primary shows the current source, the other monitor the next: pictures with a palette,
    // which reach each monitor's drawing with their own colours.
    StoreTwoOneColourSources(root, 64, 48, PictureKind::Gif);
    StoreSetting("BackColor", 0x000000C0);  // red 0xC0
    StoreSetting("Movement", 2);
    StoreSetting("ImageStretchOption", 1);  // their own size, in the middle
    auto saver = StartSaver(root, {{"/s"}, "", environment()});
    // The whole of both monitors, corner to corner.
    for (auto [x, y] : {std::pair{2, 2}, {1021, 765}, {1026, 2}, {1821, 597}})
        EXPECT_TRUE(xvfb_->waitForColour(x, y, 0xC00000, 15000)) << x << "," << y << " is not covered";
    EXPECT_TRUE(xvfb_->waitForColour(1024 + 400, 280, 0x1EC81E, 10000)) << "the primary's source";
    EXPECT_TRUE(xvfb_->waitForColour(512, 384, 0x1E1EC8, 10000)) << "the other monitor's source";

    Display* display = xvfb_->display();
    XTestFakeMotionEvent(display, -1, 300, 300, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XFlush(display);
    EXPECT_EQ(saver->wait(10000), 0);
}

TEST_F(X11TwoMonitorTest, AskedToTheOtherMonitorsShowOnlyTheBackground) {
    TempRoot root;
    StoreSetting("BackColor", 0x000000C0);
    StoreSetting("BlankOtherMonitors", 1);
    auto saver = StartSaver(root, {{"/s"}, "", environment()});
    EXPECT_TRUE(xvfb_->waitForColour(1024 + 400, 2, 0xC00000, 15000));
    EXPECT_NE(xvfb_->pixelAt(1024 + 400, 280), 0xC00000u);  // the card on the primary
    for (auto [x, y] : {std::pair{2, 2}, {512, 384}, {1021, 765}})
        EXPECT_TRUE(xvfb_->waitForColour(x, y, 0xC00000, 10000)) << x << "," << y;
    saver->kill(SIGTERM);
    EXPECT_EQ(saver->wait(10000), 128 + SIGTERM);
}

namespace {

// The mapped top-level windows with where they are, bottom first.
std::vector<std::pair<Window, XWindowAttributes>> ViewableWindows(Display* display) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    std::vector<std::pair<Window, XWindowAttributes>> viewable;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
            viewable.emplace_back(children[i], attributes);
    }
    if (children) XFree(children);
    return viewable;
}

// The topmost mapped window that covers the point of the root window.
Window TopWindowAt(Display* display, int x, int y) {
    Window found = 0;
    for (const auto& [window, at] : ViewableWindows(display))
        if (x >= at.x && x < at.x + at.width && y >= at.y && y < at.y + at.height) found = window;
    return found;
}

}  // namespace

TEST_F(X11TwoMonitorTest, AKeyOnTheOtherMonitorsWindowEndsTheSaverDuringAnEffect) {
    TempRoot root;
    StoreTwoOneColourSources(root, 640, 480);
    StoreSetting("BackColor", 0x000000C0);
    StoreSetting("ShowTicker", 0);
    StoreSetting("Movement", 2);
    StoreSetting("ImageStretchOption", 1);  // the primary's picture at 1104,60 to 1744,540
    StoreSetting("EnableTransitionEffect", 1);
    StoreSetting("AutoTransitionEffect", 0);
    StoreSetting("CurrentTransitionEffect", 5);  // Cave In: from the middle out, for seconds
    auto saver = StartSaver(root, {{"/s"}, "", environment()});
    // The first picture has begun to show in the middle; its rim is still to come.
    ASSERT_TRUE(xvfb_->waitForColour(1024 + 400, 300, 0x1EC81E, 20000)) << "the reveal never began";
    Display* display = xvfb_->display();
    const Window other = TopWindowAt(display, 512, 384);
    ASSERT_NE(other, Window(0));
    XSetInputFocus(display, other, RevertToParent, CurrentTime);
    xvfb_->pressKey(XK_space);
    // The saver ends before the effect would have: the rim never shows.
    bool rimShown = false;
    int status = -1;
    for (int waited = 0; waited < 20000 && (status = saver->wait(0)) == -1; waited += 5) {
        rimShown = rimShown || xvfb_->pixelAt(1024 + 82, 62) == 0x1EC81Eu;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(rimShown) << "the key waited for the effect to end";
}

TEST_F(X11TwoMonitorTest, TheSheetOpensOnThePrimaryMonitor) {
    TempRoot root;
    auto sheet = StartSaver(root, {{}, "at 60000 press IDCANCEL\n", environment()});
    Display* display = xvfb_->display();
    XWindowAttributes shown{};
    for (int waited = 0; waited < 20000 && shown.width < 200; waited += 50) {
        for (const auto& [window, at] : ViewableWindows(display))
            if (at.width >= 200) shown = at;
        if (shown.width < 200) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_GE(shown.width, 200) << "the sheet never showed";
    const int centreX = shown.x + shown.width / 2, centreY = shown.y + shown.height / 2;
    EXPECT_TRUE(centreX >= 1024 && centreX < 1824 && centreY < 600) << centreX << "," << centreY;  // the primary, RIGHT
    sheet->kill(SIGTERM);
    sheet->wait(10000);
}

TEST_F(X11TwoMonitorTest, AMonitorResizedRemovedOrAddedWhileItRunsIsCoveredAgain) {
    TempRoot root;
    StoreSetting("BackColor", 0x000000C0);
    StoreSetting("BlankOtherMonitors", 1);
    auto saver = StartSaver(root, {{"/s"}, "", environment()});
    ASSERT_TRUE(xvfb_->waitForColour(1821, 2, 0xC00000, 15000));
    EXPECT_NE(xvfb_->pixelAt(1821, 700), 0xC00000u);  // below the primary: on no monitor yet
    randr({"--delmonitor", "RIGHT"});
    randr({"--setmonitor", "*RIGHT", "800/210x768/200+1024+0", "none"});
    EXPECT_TRUE(xvfb_->waitForColour(1821, 765, 0xC00000, 10000)) << "the grown primary is not covered";
    EXPECT_TRUE(xvfb_->waitForColour(2, 765, 0xC00000, 10000));
    // The other monitor unplugged: its window goes; plugged in again: covered again. The keyboard
    // stays with the primary's window, so nothing of the saver loses it on the way.
    Display* display = xvfb_->display();
    Window focus = 0, child = 0;
    int revert = 0, x = -1, y = -1;
    XGetInputFocus(display, &focus, &revert);
    if (focus > PointerRoot) XTranslateCoordinates(display, focus, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    EXPECT_EQ(x, 1024) << "the keyboard is not with the primary monitor's window";
    randr({"--delmonitor", "LEFT"});
    bool uncovered = false;
    for (int waited = 0; waited < 10000 && !uncovered; waited += 50) {
        uncovered = xvfb_->pixelAt(512, 384) != 0xC00000u;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(uncovered) << "the window of a monitor that went stays";
    randr({"--setmonitor", "LEFT", "1024/270x768/200+0+0", "none"});
    EXPECT_TRUE(xvfb_->waitForColour(512, 384, 0xC00000, 10000)) << "the monitor plugged in again is not covered";
    saver->kill(SIGTERM);
    EXPECT_EQ(saver->wait(10000), 128 + SIGTERM);
}

TEST(X11SeveralScreensTest, EveryXScreenAndEveryXineramaHeadIsCoveredAndAClickOnAnyEndsIt) {
    // Two X screens of one server; then Xinerama's two heads in Xephyr, which RandR reports as one
    // monitor. The other monitors blank, so every corner shows the background colour.
    const auto run = [](const testing_support::XvfbServer& server, int otherScreen, std::pair<int, int> otherCorner) {
        TempRoot root;
        StoreSetting("BackColor", 0x000000C0);
        StoreSetting("BlankOtherMonitors", 1);
        auto saver = StartSaver(root, {{"/s"}, "", {"DISPLAY=" + server.name(), "KELVANE_DISPLAY="}});
        EXPECT_TRUE(server.waitForColour(2, 2, 0xC00000, 15000)) << server.name() << ": the primary";
        const auto [x, y] = otherCorner;
        EXPECT_TRUE(server.waitForColour(x, y, 0xC00000, 10000, otherScreen)) << server.name() << ": the other monitor";
        Display* display = server.display();
        XTestFakeMotionEvent(display, otherScreen, x - 100, y - 100, 0);
        XTestFakeButtonEvent(display, 1, True, 0);
        XTestFakeButtonEvent(display, 1, False, 0);
        XFlush(display);
        EXPECT_EQ(saver->wait(10000), 0) << server.name();
    };
    const testing_support::XvfbServer screens(
        "Xvfb", {"-screen", "0", "800x600x24", "-screen", "1", "640x480x24", "-nolisten", "tcp"}, 24);
    ASSERT_TRUE(screens.running());
    run(screens, 1, {637, 477});
    const testing_support::XvfbServer host(1700, 700, 24);
    ASSERT_TRUE(host.running());
    const testing_support::XvfbServer heads("Xephyr", {"-screen", "800x600", "-screen", "800x600", "+xinerama", "-nolisten", "tcp"},
                                            24, {"DISPLAY=" + host.name()});
    ASSERT_TRUE(heads.running());
    run(heads, 0, {1597, 597});
}

TEST(X11ResizedScreenTest, AScreenResizedInPlaceIsFollowedGrownAndShrunk) {
    // A resizeable Xephyr changes its one monitor's size with its window, telling clients of the
    // screen's new size but not of the monitor's until one asks.
    const testing_support::XvfbServer host(1200, 900, 24);
    ASSERT_TRUE(host.running());
    const testing_support::XvfbServer resizeable("Xephyr", {"-screen", "800x600", "-resizeable", "-nolisten", "tcp"}, 24,
                                                 {"DISPLAY=" + host.name()});
    ASSERT_TRUE(resizeable.running());
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(host.display(), DefaultRootWindow(host.display()), &root, &parent, &children, &count);
    ASSERT_EQ(count, 1u) << "Xephyr's window is the host's one window";
    const Window xephyr = children[0];
    XFree(children);
    const auto resize = [&](int width, int height) {
        XResizeWindow(host.display(), xephyr, width, height);
        XSync(host.display(), False);
    };
    // The saver's windows as wide as the screen at most (the root's children that are mapped).
    const auto widest = [&] {
        Display* display = resizeable.display();
        Window top = 0, up = 0, *windows = nullptr;
        unsigned n = 0;
        int widest = 0;
        XQueryTree(display, DefaultRootWindow(display), &top, &up, &windows, &n);
        for (unsigned i = 0; i < n; ++i) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, windows[i], &attributes) && attributes.map_state == IsViewable)
                widest = std::max(widest, attributes.width);
        }
        if (windows) XFree(windows);
        return widest;
    };

    TempRoot saverRoot;
    StoreSetting("BackColor", 0x000000C0);
    auto saver = StartSaver(saverRoot, {{"/s"}, "", {"DISPLAY=" + resizeable.name(), "KELVANE_DISPLAY="}});
    ASSERT_TRUE(resizeable.waitForColour(2, 2, 0xC00000, 15000));
    resize(1024, 768);
    EXPECT_TRUE(resizeable.waitForColour(1021, 765, 0xC00000, 10000)) << "the grown screen's new strip is not covered";
    resize(640, 480);
    bool within = false;
    for (int waited = 0; waited < 10000 && !within; waited += 50) {
        within = widest() == 640;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(within) << "the saver's window stays wider than the shrunk screen: " << widest();
    saver->kill(SIGTERM);
    EXPECT_EQ(saver->wait(10000), 128 + SIGTERM);
}

TEST_F(X11DisplayTest, OnA192DpiDesktopTheMarqueeIsTwiceAsTall) {
    // The desktop's own setting, as `xrdb` leaves it; Qt reads it as a program starts.
    const auto marqueeHeight = [&](const char* name) {
        TempRoot root;
        StoreSetting("ShowTicker", 1);
        const auto state = root.path() / name;
        auto saver = StartSaver(root, {{"/s"}, "at 1500 state " + state.string() + "\nat 1600 quit\n", environment()});
        EXPECT_EQ(saver->wait(20000), 0);
        return std::atoi(ReadState(state)["marquee height"].c_str());
    };
    const int at96 = marqueeHeight("96");
    const char resources[] = "Xft.dpi:\t192\n";
    XChangeProperty(display_, DefaultRootWindow(display_), XInternAtom(display_, "RESOURCE_MANAGER", False), XA_STRING,
                    8, PropModeReplace, reinterpret_cast<const unsigned char*>(resources), int(sizeof resources - 1));
    XSync(display_, False);
    const int at192 = marqueeHeight("192");
    EXPECT_GT(at96, 10);
    EXPECT_NEAR(at192, 2 * at96, 3) << "96 dpi: " << at96 << ", 192 dpi: " << at192;
}
