// The saver on a real Wayland compositor (weston): native, opaque, on every output, at the
// output's scale, and ended by a real key.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

#include "saver_process.h"
#include "weston_server.h"

using namespace integration;
using testing_support::TempRoot;
using testing_support::WestonOutputs;
using testing_support::WestonServer;

namespace {

constexpr QRgb kBackground = qRgb(0xC0, 0, 0);

class WaylandDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!WestonServer::Installed()) GTEST_SKIP() << "weston is not installed (Debian package weston)";
        StoreSetting("BackColor", 0x000000C0);  // red 0xC0
    }

    TempRoot root_;

    // A Wayland session with no X display: the saver has to run natively.
    static std::vector<std::string> SessionOf(const WestonServer& weston) {
        auto environment = weston.clientEnvironment();
        environment.insert(environment.end(), {"QT_QPA_PLATFORM=", "KELVANE_DISPLAY="});
        return environment;
    }

    // The compositor's capture once it shows what is wanted (or the last one taken).
    static QImage WaitForShot(const WestonServer& weston, const std::function<bool(const QImage&)>& wanted) {
        QImage shot;
        for (int attempt = 0; attempt < 60; ++attempt) {
            shot = weston.screenshot();
            if (!shot.isNull() && wanted(shot)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        return shot;
    }

    static int TransparentPixels(const QImage& shot) {
        return Count(shot, shot.rect(), [](QRgb pixel) { return qAlpha(pixel) != 255; });
    }

    static int Count(const QImage& shot, const QRect& area, const std::function<bool(QRgb)>& counted) {
        int count = 0;
        const QRect part = area.intersected(shot.rect());
        for (int y = part.top(); y <= part.bottom(); ++y)
            for (int x = part.left(); x <= part.right(); ++x) count += counted(shot.pixel(x, y));
        return count;
    }
    static bool Background(QRgb pixel) { return (pixel | 0xFF000000u) == kBackground; }
    static bool MarqueeText(QRgb pixel) { return qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) < 100; }
    static bool Picture(QRgb pixel) { return !Background(pixel) && !MarqueeText(pixel) && (pixel & 0xFFFFFF) != 0; }
};

}  // namespace

TEST_F(WaylandDisplayTest, EveryOutputIsCoveredOpaqueWithPicturesAndARealKeyEndsIt) {
    WestonServer weston({2, 1024, 768, 1});
    ASSERT_TRUE(weston.running());
    auto saver = StartSaver(root_, {{"/s"}, "", SessionOf(weston)});
    const QRect outputs[] = {{0, 0, 1024, 768}, {1024, 0, 1024, 768}};
    const auto bottomBand = [](const QRect& output) { return QRect(output.left(), output.bottom() - 50, output.width(), 51); };
    const auto shown = [&](const QImage& shot) {
        return shot.width() == 2048 && Count(shot, bottomBand(outputs[0]), MarqueeText) > 50 &&
               std::all_of(std::begin(outputs), std::end(outputs), [&](const QRect& output) {
                   return Count(shot, output, Background) > 100000 && Count(shot, output, Picture) > 20000;
               });
    };
    const QImage shot = WaitForShot(weston, shown);
    ASSERT_EQ(shot.width(), 2048) << "the capture holds both outputs";
    EXPECT_TRUE(shown(shot)) << "both outputs are covered, each with a picture, the marquee on the first";
    EXPECT_EQ(TransparentPixels(shot), 0) << "every pixel on screen is opaque";
    EXPECT_EQ(Count(shot, bottomBand(outputs[1]), MarqueeText), 0) << "the marquee runs on the primary output only";

    weston.pressKey(XK_Escape);
    EXPECT_EQ(saver->wait(15000), 0) << "a key ends the saver";
}

TEST_F(WaylandDisplayTest, AtOutputScaleTwoItDrawsAtDevicePixels) {
    // Drawn at half the resolution and doubled, every aligned 2x2 block of the marquee's text
    // would be one colour.
    WestonServer weston({1, 400, 300, 2});
    ASSERT_TRUE(weston.running());
    auto saver = StartSaver(root_, {{"/s"}, "", SessionOf(weston)});
    const auto mixedBlocks = [](const QImage& shot) {
        int mixed = 0;
        for (int y = shot.height() - 60; y + 1 < shot.height(); y += 2)
            for (int x = 0; x + 1 < shot.width(); x += 2) {
                const QRgb corner = shot.pixel(x, y);
                mixed += shot.pixel(x + 1, y) != corner || shot.pixel(x, y + 1) != corner || shot.pixel(x + 1, y + 1) != corner;
            }
        return mixed;
    };
    const QImage shot = WaitForShot(weston, [&](const QImage& candidate) {
        return candidate.width() == 800 && Count(candidate, candidate.rect(), Background) > 100000 &&
               mixedBlocks(candidate) >= 20;
    });
    ASSERT_EQ(shot.size(), QSize(800, 600)) << "the output is captured at its device pixels";
    EXPECT_GE(mixedBlocks(shot), 20) << "the marquee is drawn doubled";
    EXPECT_EQ(TransparentPixels(shot), 0);
    saver->kill(SIGTERM);
    saver->wait(10000);
}
