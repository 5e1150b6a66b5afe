// The Images page's working copy of the source list, without widgets.
#include <gtest/gtest.h>

#include "cam_rows.h"

using config::CamRows;

namespace {

const std::string kThree =
    "Harbour|http://h/p.jpg|3:04:05 PM - 1/2/01|Success|JPG|1|http://ref/|Mon, 01 Jun 2026|7|"
    "Bridge|http://b/p.gif|??:??|Unknown|???|0|||0|"
    "Tower|http://t/p.jpg|??:??|Error|???|yes|||0|";

}  // namespace

TEST(CamRowsTest, ALoadedListIsWrittenBackAsItWasWithTheCheckBoxesAsFlags) {
    CamRows rows;
    rows.Load(kThree);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows.checked(0));
    EXPECT_FALSE(rows.checked(1));
    EXPECT_FALSE(rows.checked(2));  // only "1" checks a box
    EXPECT_EQ(rows.CountChecked(), 1);
    EXPECT_EQ(rows.selected(), -1);
    std::string expected = kThree;
    expected.replace(expected.find("|yes|"), 5, "|0|");
    EXPECT_EQ(rows.Save(), expected);

    rows.setChecked(1, true);
    rows.setChecked(0, false);
    EXPECT_EQ(rows.CountChecked(), 1);
    EXPECT_NE(rows.Save().find("Bridge|http://b/p.gif|??:??|Unknown|???|1|"), std::string::npos);
    EXPECT_NE(rows.Save().find("Harbour|http://h/p.jpg|3:04:05 PM - 1/2/01|Success|JPG|0|"), std::string::npos);
}

TEST(CamRowsTest, SelectingByNameIgnoresCaseAndFallsBackToTheFirstRow) {
    CamRows rows;
    EXPECT_EQ(rows.SelectByName("Harbour"), -1);  // an empty list selects nothing
    rows.Load(kThree);
    EXPECT_EQ(rows.SelectByName("bRiDgE"), 1);
    EXPECT_EQ(rows.SelectByName("Nowhere"), 0);
    EXPECT_EQ(rows.SelectByName(""), 0);
}

TEST(CamRowsTest, MovingStopsAtTheEndsAndCarriesTheWholeRow) {
    CamRows rows;
    rows.Load(kThree);
    EXPECT_FALSE(rows.MoveUp());  // nothing selected
    rows.select(0);
    EXPECT_FALSE(rows.MoveUp());
    EXPECT_EQ(rows.Save().substr(0, 7), "Harbour");
    rows.select(2);
    EXPECT_FALSE(rows.MoveDown());
    ASSERT_TRUE(rows.MoveUp());
    EXPECT_EQ(rows.selected(), 1);
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"Harbour", "Tower", "Bridge"}));
    rows.select(0);
    ASSERT_TRUE(rows.MoveDown());
    EXPECT_EQ(rows.selected(), 1);
    EXPECT_EQ(rows.row(1).RefURL, "http://ref/");  // every field moves with its row
    EXPECT_TRUE(rows.checked(1));
    EXPECT_EQ(rows.row(1).Ver, "7");
}

TEST(CamRowsTest, RemovingSelectsTheRowBeforeAndTheLastRemovalLeavesNoSelection) {
    CamRows rows;
    rows.Load(kThree);
    EXPECT_FALSE(rows.Remove());  // nothing selected
    rows.select(2);
    EXPECT_EQ(rows.Remove()->Name, "Tower");
    EXPECT_EQ(rows.selected(), 1);
    rows.select(0);
    EXPECT_EQ(rows.Remove()->Name, "Harbour");
    EXPECT_EQ(rows.selected(), 0);  // the first went and a row remains
    EXPECT_EQ(rows.Remove()->Name, "Bridge");
    EXPECT_EQ(rows.selected(), -1);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(rows.Save(), "");
}

TEST(CamRowsTest, AddingGivesTheInitialFieldsAndEditingKeepsEveryOtherFieldButTheOldAddresssDate) {
    CamRows rows;
    rows.Add("Harbour", "http://host/p.jpg");
    EXPECT_EQ(rows.Save(), "Harbour|http://host/p.jpg|??:??|Unknown|???|1|||0|");

    rows.Load(kThree);
    rows.select(0);
    ASSERT_TRUE(rows.Edit("Port", rows.row(0).URL));
    EXPECT_EQ(rows.row(0).ImageDate, "Mon, 01 Jun 2026");
    ASSERT_TRUE(rows.Edit("Port", "http://h/q.jpg"));
    EXPECT_EQ(rows.Save().substr(0, rows.Save().find("Bridge")),
              "Port|http://h/q.jpg|3:04:05 PM - 1/2/01|Success|JPG|1|http://ref/||7|");

    EXPECT_TRUE(rows.SetField("port", sources::kCamLastResult, "No Change"));
    EXPECT_TRUE(rows.SetField("Port", sources::kCamType, "GIF"));
    EXPECT_FALSE(rows.SetField("Port", sources::kCamUrl, "http://elsewhere/"));
    EXPECT_FALSE(rows.SetField("Nowhere", sources::kCamType, "GIF"));
    EXPECT_EQ(rows.row(0).LastResult, "No Change");
    EXPECT_EQ(rows.row(0).Type, "GIF");
    EXPECT_EQ(rows.row(0).URL, "http://h/q.jpg");
}
