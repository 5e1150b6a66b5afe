// The wallpaper handed to the running desktop: each desktop's own tool (stand-ins that write
// down what they are told), the X root window on a private X server, and putting back what the
// desktop showed before.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>

#include "picture_writers.h"
#include "programs.h"
#include "registry.h"
#include "root_window_wallpaper.h"
#include "run_command.h"
#include "stand_in_desktop.h"
#include "temp_root.h"
#include "wallpaper.h"
#include "wallpaper_setters.h"
#include "xvfb_server.h"

using namespace platform;
using testing_support::StandInDesktop;
namespace fs = std::filesystem;

namespace {

constexpr const char* kGnomeBefore =
    "org.gnome.desktop.background picture-uri='file:///usr/share/backgrounds/old.jpg'\n"
    "org.gnome.desktop.background picture-uri-dark='file:///usr/share/backgrounds/old-dark.jpg'\n"
    "org.gnome.desktop.background picture-options='zoom'\n";

class WallpaperSettersTest : public ::testing::Test {
protected:
    std::string bitmap() const { return desktop::WallpaperBitmapPath().string(); }
    std::string bitmapUri() const { return "file://" + (root_.path() / "data").string() + "/Ostrel%20Screen%20Saver.bmp"; }

    // A real picture where the wallpaper bitmap goes: flat blue.
    void writeBitmap(picture_writers::Rgb colour = {0, 0, 255}) const {
        picture_writers::TruePicture flat{64, 48, std::vector<picture_writers::Rgb>(64 * 48, colour)};
        fs::create_directories(desktop::WallpaperBitmapPath().parent_path());
        picture_writers::WriteFile(desktop::WallpaperBitmapPath(), picture_writers::BmpFile(flat));
    }

    static std::string DesktopValue(const char* key, const char* name) {
        RegKey opened;
        if (RegOpenKey(HKEY_CURRENT_USER, key, opened.out()) != ERROR_SUCCESS) return "(no key)";
        return RegReadString(opened.get(), name).value_or("(none)");
    }

    static int Count(const std::string& text, const std::string& part) {
        int count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
        return count;
    }

    testing_support::TempRoot root_;
};

}  // namespace

TEST(CurrentDesktopTest, TheFirstKnownNameOfTheListDecides) {
    const char* before = std::getenv("XDG_CURRENT_DESKTOP");
    const std::string saved = before ? before : "";
    const std::pair<const char*, const char*> cases[] = {
        {"ubuntu:GNOME", "gnome"}, {"Budgie:GNOME", "gnome"}, {"Unity", "gnome"}, {"X-Cinnamon", "cinnamon"},
        {"MATE", "mate"},          {"XFCE", "xfce"},          {"KDE", "kde"},     {"LXQt", "lxqt"},
        {"sway", "x11"},           {"i3", "x11"}};
    for (const auto& [name, desktop] : cases) {
        ::setenv("XDG_CURRENT_DESKTOP", name, 1);
        EXPECT_EQ(CurrentDesktop(), desktop) << name;
    }
    if (before) ::setenv("XDG_CURRENT_DESKTOP", saved.c_str(), 1);
    else ::unsetenv("XDG_CURRENT_DESKTOP");
}

TEST_F(WallpaperSettersTest, GnomeNamesTheBitmapAndRemovingGivesThePreviousWallpaperBack) {
    StandInDesktop gnome(root_.path() / "desktop", "ubuntu:GNOME");
    gnome.gsettings(kGnomeBefore);
    writeBitmap();

    ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 0), 1);
    const std::string shown = gnome.settings("gsettings");
    EXPECT_NE(shown.find("picture-uri='" + bitmapUri() + "'"), std::string::npos) << shown;
    EXPECT_NE(shown.find("picture-uri-dark='" + bitmapUri() + "'"), std::string::npos) << shown;
    EXPECT_NE(shown.find("picture-options='centered'"), std::string::npos) << shown;
    EXPECT_EQ(DesktopValue("Control Panel\\desktop", "Wallpaper"), bitmap());
    EXPECT_EQ(DesktopValue("Software\\Microsoft\\Internet Explorer\\Desktop\\General", "BackupWallpaper"), bitmap());
    EXPECT_EQ(desktop::IsSaverWallpaper(), 1);

    // Set again, tiled this time: the desktop takes it, and what it showed first is still known.
    ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 1), 1);
    EXPECT_NE(gnome.settings("gsettings").find("picture-options='wallpaper'"), std::string::npos);

    ASSERT_EQ(desktop::RemoveWallpaper(), 1);
    const std::string restored = gnome.settings("gsettings");
    for (const char* line : {"picture-uri='file:///usr/share/backgrounds/old.jpg'",
                             "picture-uri-dark='file:///usr/share/backgrounds/old-dark.jpg'", "picture-options='zoom'"})
        EXPECT_NE(restored.find(line), std::string::npos) << restored;
    EXPECT_EQ(DesktopValue("Control Panel\\desktop", "Wallpaper"), "");
    EXPECT_EQ(DesktopValue("Control Panel\\desktop", "TileWallpaper"), "1");  // untouched
    EXPECT_EQ(desktop::IsSaverWallpaper(), 0);

    // Removing again succeeds and changes nothing more on the desktop.
    const int setsBefore = Count(gnome.calls(), "gsettings set");
    EXPECT_EQ(desktop::RemoveWallpaper(), 1);
    EXPECT_EQ(Count(gnome.calls(), "gsettings set"), setsBefore);
    EXPECT_EQ(gnome.settings("gsettings"), restored);
}

TEST_F(WallpaperSettersTest, RemovingGivesBackThePictureTheUserChoseSinceTheFirstChange) {
    StandInDesktop gnome(root_.path() / "desktop", "GNOME");
    gnome.gsettings(kGnomeBefore);
    writeBitmap();
    ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 0), 1);
    // The user picks a picture of their own; a later run of the saver sets its picture again.
    gnome.gsettings("org.gnome.desktop.background picture-uri='file:///home/me/chosen.jpg'\n");
    ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 0), 1);
    ASSERT_EQ(desktop::RemoveWallpaper(), 1);
    const std::string restored = gnome.settings("gsettings");
    EXPECT_NE(restored.find("picture-uri='file:///home/me/chosen.jpg'"), std::string::npos) << restored;
    EXPECT_EQ(restored.find("old.jpg"), std::string::npos) << restored;
}

TEST_F(WallpaperSettersTest, MateTakesAPlainPathAndCinnamonItsOwnSchema) {
    {
        StandInDesktop mate(root_.path() / "mate", "MATE");
        mate.gsettings("org.mate.background picture-filename='/usr/share/backgrounds/mate.png'\n");
        ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 0), 1);
        EXPECT_NE(mate.settings("gsettings").find("org.mate.background picture-filename='" + bitmap() + "'"),
                  std::string::npos);
    }
    StandInDesktop cinnamon(root_.path() / "cinnamon", "X-Cinnamon");
    cinnamon.gsettings("org.cinnamon.desktop.background picture-uri='file:///old.jpg'\n");
    ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 1), 1);
    const std::string shown = cinnamon.settings("gsettings");
    EXPECT_NE(shown.find("org.cinnamon.desktop.background picture-uri='" + bitmapUri() + "'"), std::string::npos);
    EXPECT_NE(shown.find("org.cinnamon.desktop.background picture-options='wallpaper'"), std::string::npos);
}

TEST_F(WallpaperSettersTest, XfceSetsEveryMonitorAndWorkspaceAndPutsThemBack) {
    StandInDesktop xfce(root_.path() / "desktop", "XFCE");
    const std::string before =
        "/backdrop/screen0/monitorHDMI-1/workspace0/last-image=/usr/share/backgrounds/a.png\n"
        "/backdrop/screen0/monitorHDMI-1/workspace0/image-style=5\n"
        "/backdrop/screen0/monitoreDP-1/workspace1/last-image=/usr/share/backgrounds/b.png\n";
    xfce.xfconfQuery(before);
    ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 1), 1);
    const std::string shown = xfce.settings("xfconf-query");
    EXPECT_EQ(Count(shown, "last-image=" + bitmap()), 2) << shown;
    EXPECT_NE(shown.find("monitorHDMI-1/workspace0/image-style=2"), std::string::npos) << shown;
    EXPECT_NE(shown.find("monitoreDP-1/workspace1/image-style=2"), std::string::npos) << shown;

    ASSERT_EQ(desktop::RemoveWallpaper(), 1);
    const std::string restored = xfce.settings("xfconf-query");
    EXPECT_NE(restored.find("monitorHDMI-1/workspace0/last-image=/usr/share/backgrounds/a.png"), std::string::npos);
    EXPECT_NE(restored.find("monitorHDMI-1/workspace0/image-style=5"), std::string::npos);
    EXPECT_NE(restored.find("monitoreDP-1/workspace1/last-image=/usr/share/backgrounds/b.png"), std::string::npos);
}

TEST_F(WallpaperSettersTest, XfceWithoutAnyPictureYetGetsTheFirstMonitors) {
    StandInDesktop xfce(root_.path() / "desktop", "XFCE");
    xfce.xfconfQuery("");
    ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 0), 1);
    const std::string shown = xfce.settings("xfconf-query");
    EXPECT_NE(shown.find("/backdrop/screen0/monitor0/workspace0/last-image=" + bitmap()), std::string::npos) << shown;
    EXPECT_NE(shown.find("/backdrop/screen0/monitor0/workspace0/image-style=1"), std::string::npos) << shown;
}

TEST_F(WallpaperSettersTest, PlasmaGetsAScriptForEveryDesktopAndTheOldPictureBack) {
    StandInDesktop kde(root_.path() / "desktop", "KDE");
    kde.qdbus("file:///home/someone/old.png");
    ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 0), 1);
    std::string calls = kde.calls();
    EXPECT_NE(calls.find("org.kde.plasmashell /PlasmaShell org.kde.PlasmaShell.evaluateScript"), std::string::npos);
    EXPECT_NE(calls.find("writeConfig('Image', '" + bitmapUri() + "')"), std::string::npos) << calls;
    EXPECT_NE(calls.find("writeConfig('FillMode', '6')"), std::string::npos) << calls;

    ASSERT_EQ(desktop::RemoveWallpaper(), 1);
    calls = kde.calls();
    EXPECT_NE(calls.find("writeConfig('Image', 'file:///home/someone/old.png')"), std::string::npos) << calls;
    EXPECT_NE(calls.find("writeConfig('FillMode', '2')"), std::string::npos) << calls;
}

TEST_F(WallpaperSettersTest, WithNoWayToSetItTheDesktopIsReportedToRefuse) {
    {
        StandInDesktop gnomeWithoutTools(root_.path() / "gnome", "GNOME");
        EXPECT_EQ(desktop::WriteWallpaperSettings(bitmap(), 0), 0);
        // The settings are written all the same.
        EXPECT_EQ(DesktopValue("Control Panel\\desktop", "Wallpaper"), bitmap());
    }
    StandInDesktop plainX(root_.path() / "x", "i3");  // a plain X session, and no display either
    EXPECT_EQ(desktop::WriteWallpaperSettings(bitmap(), 0), 0);
    // A desktop tool that refuses counts as refusing.
    StandInDesktop refusing(root_.path() / "refusing", "GNOME");
    refusing.failing("gsettings");
    EXPECT_EQ(desktop::WriteWallpaperSettings(bitmap(), 0), 0);
    EXPECT_NE(refusing.calls().find("gsettings set org.gnome.desktop.background picture-uri"), std::string::npos);
}

namespace {

// A plain X session: no desktop, only the root window of a private X server.
class RootWindowWallpaperTest : public WallpaperSettersTest {
protected:
    void SetUp() override {
        xprop_ = FindProgram("xprop");  // found before the private PATH hides it
        plainX_ = std::make_unique<StandInDesktop>(root_.path() / "desktop", "i3");  // a window manager alone
        ASSERT_TRUE(xvfb_.running());
        ::setenv("DISPLAY", xvfb_.name().c_str(), 1);
        ::unsetenv("WAYLAND_DISPLAY");  // an X11 session, whatever the test runs in
        ::unsetenv("XDG_SESSION_TYPE");
    }
    void TearDown() override { plainX_.reset(); }

    // What xprop reads of the root window's property.
    std::string rootProperty(const char* name) const {
        const auto printed = RunCommand({xprop_->string(), "-root", name});
        return printed ? printed->output : "";
    }

    testing_support::XvfbServer xvfb_{320, 240, 24};
    std::optional<fs::path> xprop_;
    std::unique_ptr<StandInDesktop> plainX_;
};

}  // namespace

TEST_F(RootWindowWallpaperTest, TheRootWindowShowsThePictureAndGetsItsFormerPictureBack) {
    if (!xprop_) GTEST_SKIP() << "xprop (Debian package x11-utils) is not installed";
    // Someone else's picture first: flat green, announced as the convention says.
    const fs::path former = root_.path() / "former.bmp";
    picture_writers::TruePicture green{320, 240, std::vector<picture_writers::Rgb>(320 * 240, {0, 255, 0})};
    picture_writers::WriteFile(former, picture_writers::BmpFile(green));
    std::string cause;
    ASSERT_TRUE(SetRootWindowPicture(former, true, cause)) << cause;
    EXPECT_EQ(xvfb_.pixelAt(5, 5), 0x00FF00u);

    writeBitmap({0, 0, 255});  // 64 x 48 blue
    ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 0), 1);
    EXPECT_NE(rootProperty("_XROOTPMAP_ID").find("pixmap id # 0x"), std::string::npos) << rootProperty("_XROOTPMAP_ID");
    EXPECT_EQ(rootProperty("_XROOTPMAP_ID").substr(rootProperty("_XROOTPMAP_ID").find('#')),
              rootProperty("ESETROOT_PMAP_ID").substr(rootProperty("ESETROOT_PMAP_ID").find('#')));
    EXPECT_EQ(xvfb_.pixelAt(160, 120), 0x0000FFu);  // centred
    EXPECT_EQ(xvfb_.pixelAt(5, 5), 0x000000u);      // black around it

    ASSERT_EQ(desktop::RemoveWallpaper(), 1);
    EXPECT_EQ(xvfb_.pixelAt(160, 120), 0x00FF00u);
    EXPECT_EQ(xvfb_.pixelAt(5, 5), 0x00FF00u);
}

TEST_F(RootWindowWallpaperTest, WithNoFormerPictureRemovingLeavesTheServersOwnBackground) {
    if (!xprop_) GTEST_SKIP() << "xprop (Debian package x11-utils) is not installed";
    writeBitmap({0, 0, 255});
    ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 1), 1);
    EXPECT_EQ(xvfb_.pixelAt(5, 5), 0x0000FFu);  // tiled from the corner
    ASSERT_EQ(desktop::RemoveWallpaper(), 1);
    EXPECT_NE(rootProperty("_XROOTPMAP_ID").find("not found"), std::string::npos) << rootProperty("_XROOTPMAP_ID");
    EXPECT_NE(xvfb_.pixelAt(5, 5), 0x0000FFu);
}

TEST_F(RootWindowWallpaperTest, OnAWaylandSessionXwaylandsUnseenRootWindowIsNotTakenForTheDesktop) {
    ::setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    writeBitmap({0, 0, 255});
    EXPECT_EQ(desktop::WriteWallpaperSettings(bitmap(), 1), 0) << "refused, not reported as shown";
    ::unsetenv("WAYLAND_DISPLAY");
    EXPECT_NE(xvfb_.pixelAt(5, 5), 0x0000FFu);
}

TEST_F(RootWindowWallpaperTest, FehIsPreferredWhenInstalled) {
    plainX_->recorder("feh");
    writeBitmap();
    ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 0), 1);
    ASSERT_EQ(desktop::WriteWallpaperSettings(bitmap(), 1), 1);
    const std::string calls = plainX_->calls();
    EXPECT_NE(calls.find("feh --no-fehbg --bg-center " + bitmap()), std::string::npos) << calls;
    EXPECT_NE(calls.find("feh --no-fehbg --bg-tile " + bitmap()), std::string::npos) << calls;
}
