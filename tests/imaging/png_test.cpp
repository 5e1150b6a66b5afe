// PNG pictures: their pixels in place, transparency on the picture background, and files that lie.
#include "imaging_fixture.h"

using picture_writers::Rgb;

using PngTest = TransparentPictureTest;

TEST_F(PngTest, ThePixelsArriveInPlaceAndTransparencyShowsTheBackground) {
    ExpectTwoBands(*load(file("bands.png", picture_writers::PngFile(TwoBands()))));

    std::vector<std::uint8_t> alphas;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) alphas.push_back(x < 20 ? 255 : 0);
    imaging::SetPictureBackground(platform::RGB(0, 0, 200));
    auto cutOut = load(file("cut.png", picture_writers::PngFile(TwoBands(), alphas)));
    EXPECT_EQ(rgbAt(*cutOut, 5, 5), (Rgb{220, 20, 20}));
    EXPECT_EQ(rgbAt(*cutOut, 35, 5), (Rgb{0, 0, 200}));
    EXPECT_EQ(rgbAt(*cutOut, 35, 25), (Rgb{0, 0, 200}));
}

TEST_F(PngTest, FilesThatLieAreRefusedOrKeepWhatWasRead) {
    const std::string whole = picture_writers::PngFile(TwoBands());
    // Cut short in its data: no crash, at most the rows read.
    auto cut = load(file("cut.png", whole.substr(0, whole.size() - 30)));
    EXPECT_LE(cut->GetWidth(), 40);
    // A header claiming 16384 x 16384 in a file of a few hundred bytes: nothing is allocated.
    std::string huge = whole;
    const char side[4] = {0, 0, 0x40, 0};
    huge.replace(16, 4, side, 4);
    huge.replace(20, 4, side, 4);
    auto claimed = load(file("huge.png", huge));
    EXPECT_EQ(claimed->GetWidth(), 0);
    // Not a PNG at all.
    EXPECT_EQ(load(file("page.png", "<html>offline</html>"))->GetWidth(), 0);
}
