// The slide show moving through pictures of every reader kind, at every size option and depth:
// the program must survive the sequence (the test build runs under the sanitizers) and show each.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "picture_writers.h"
#include "saver_process.h"

using namespace integration;
using namespace picture_writers;
using testing_support::TempRoot;

namespace {

IndexedPicture Indexed(int width, int height, int colours) {
    IndexedPicture picture{width, height, {}, {}};
    for (int i = 0; i < colours; ++i) picture.colours.push_back(Rgb{std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 7)});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.pixels.push_back(std::uint8_t((x * 13 + y * 7) % colours));
    return picture;
}

TruePicture Coloured(int width, int height) {
    TruePicture picture{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.pixels.push_back(Rgb{std::uint8_t(x), std::uint8_t(y), std::uint8_t(x ^ y)});
    return picture;
}

GifOptions TransparentAt(int index) {
    GifOptions options;
    options.transparentIndex = index;
    return options;
}

struct Source {
    std::string name, type, bytes;
};

// One of each reader kind, the 8-bit ones with full and small tables, at a size below the screen.
std::vector<Source> EveryKind() {
    return {
        {"Gif256", "gif", GifFile(Indexed(320, 240, 256))},
        {"JpegGrey", "jpg", JpegFile(Coloured(320, 240), JpegKind::Grey)},
        {"Gif4", "gif", GifFile(Indexed(200, 150, 4))},
        {"JpegColour", "jpg", JpegFile(Coloured(300, 200))},
        {"Bmp8", "bmp", BmpFile(Indexed(160, 120, 256))},
        {"Bmp24", "bmp", BmpFile(Coloured(256, 100))},
        {"GifTransparent", "gif", GifFile(Indexed(100, 80, 16), TransparentAt(3))},
    };
}

std::vector<std::string> StateDumps(const std::filesystem::path& folder, int count) {
    std::vector<std::string> dumps;
    for (int i = 0; i < count; ++i) {
        std::ifstream in(folder / ("state-" + std::to_string(i)));
        std::stringstream text;
        text << in.rdbuf();
        dumps.push_back(text.str());
    }
    return dumps;
}

}  // namespace

class PictureSequenceTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(PictureSequenceTest, EveryKindOfPictureFollowsEveryOther) {
    const auto [stretchOption, depth] = GetParam();
    TempRoot root;
    const auto images = root.path() / "data" / "images";
    std::filesystem::create_directories(images);
    std::string list;
    const auto sources = EveryKind();
    for (const Source& source : sources) {
        WriteFile(images / (source.name + "." + source.type), source.bytes);
        list += source.name + "|http://127.0.0.1:9/" + source.name + "|??:??|Unknown|" + source.type + "|1|||0|";
    }
    StoreString("CamList", list);
    StoreString("CurrentCam", sources.front().name);
    StoreSetting("ImageStretchOption", stretchOption);
    StoreSetting("Change", 1);
    StoreSetting("ChangeTime", 1);
    StoreSetting("Movement", 0);  // floating: every step draws the picture again
    StoreSetting("FloatSpeed", 95);
    StoreSetting("EnableTransitionEffect", 1);
    StoreSetting("AutoTransitionEffect", 1);

    // A state dump every second for long enough to go round the list twice with transitions.
    const int rounds = 40;
    std::string script;
    for (int i = 0; i < rounds; ++i)
        script += "at " + std::to_string(1000 * i + 900) + " state " + (root.path() / ("state-" + std::to_string(i))).string() + "\n";
    script += "at " + std::to_string(1000 * rounds + 500) + " quit\n";
    auto saver = StartSaver(root, {{"/s"}, script,
                                   {"KELVANE_DISPLAY=headless:640x480:" + std::to_string(depth), "KELVANE_CLOCK=virtual",
                                    "KELVANE_ONLINE=0"}});
    ASSERT_EQ(saver->wait(120000), 0) << "the saver did not end cleanly";

    std::set<std::string> shown;
    for (const std::string& dump : StateDumps(root.path(), rounds)) {
        const size_t at = dump.find("current file: ");
        ASSERT_NE(at, std::string::npos) << dump;
        const std::string file = dump.substr(at + 14, dump.find('\n', at) - at - 14);
        EXPECT_EQ(file.find("ina.jpg"), std::string::npos) << "a picture fell back to the fallback: " << dump;
        shown.insert(std::filesystem::path(file).stem().string());
        EXPECT_EQ(dump.find("picture size: 0 "), std::string::npos) << dump;
    }
    for (const Source& source : sources) EXPECT_TRUE(shown.count(source.name)) << source.name << " never shown";
}

INSTANTIATE_TEST_SUITE_P(StretchOptionsAndDepths, PictureSequenceTest,
                         ::testing::Values(std::tuple{0, 32}, std::tuple{1, 32}, std::tuple{2, 32}, std::tuple{1, 8},
                                           std::tuple{0, 16}, std::tuple{2, 24}),
                         [](const ::testing::TestParamInfo<std::tuple<int, int>>& run) {
                             return "Stretch" + std::to_string(std::get<0>(run.param)) + "Depth" +
                                    std::to_string(std::get<1>(run.param));
                         });
