#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "cam_list.h"
#include "clock.h"
#include "connectivity.h"
#include "demo_pictures.h"
#include "entity_tags.h"
#include "retry_after.h"
#include "headless_display.h"
#include "message_pump.h"
#include "picture_server.h"
#include "picture_store.h"
#include "saver_messages.h"
#include "temp_root.h"
#include "update_cycle.h"
#include "windows.h"

using namespace sources;
using namespace platform;

TEST(UpdateWordsTest, ResultsStepsAndIntervals) {
    EXPECT_EQ(ResultWord(kFetchSuccess, UpdateOwner::SaverWindow), "Success");
    EXPECT_EQ(ResultWord(kFetchNotAnImage, UpdateOwner::ImagesPage), "Not an Image");
    EXPECT_EQ(ResultWord(kFetchError, UpdateOwner::SaverWindow), "Error");
    EXPECT_EQ(ResultWord(kFetchQueryInfoError, UpdateOwner::SaverWindow), "QI Error");
    EXPECT_EQ(ResultWord(kFetchRefused, UpdateOwner::SaverWindow), "Refused");
    EXPECT_EQ(ResultWord(kFetchNoChange, UpdateOwner::SaverWindow), "NoChange");
    EXPECT_EQ(ResultWord(kFetchNoChange, UpdateOwner::ImagesPage), "No Change");
    for (int other : {1, 3, 99}) EXPECT_EQ(ResultWord(other, UpdateOwner::SaverWindow), "Cancelled");

    EXPECT_EQ(FetchStatusText(saver::MSG_FETCH_STATUS, 1, 0, "Status: "), "Status: Connecting...");
    EXPECT_EQ(FetchStatusText(saver::MSG_FETCH_STATUS, 4, 0, "Kelvane Screen Saver - Status: "),
              "Kelvane Screen Saver - Status: Beginning Download...");
    EXPECT_EQ(FetchStatusText(saver::MSG_FETCH_PROGRESS, 2048, 5000, "Status: "), "Status: Downloading 2048 of 5000 bytes");
    EXPECT_EQ(FetchStatusText(saver::MSG_FETCH_PROGRESS, 2048, 0, "Status: "), "Status: Downloading 2048 of ??? bytes");
    EXPECT_FALSE(FetchStatusText(saver::MSG_FETCH_STATUS, 9, 0, "Status: "));

    saver::SaverSettings settings;
    EXPECT_EQ(UpdateIntervalSeconds(settings), 5);  // all zero: five seconds
    settings.EditHours = 1;
    settings.EditMinutes = 2;
    settings.EditSeconds = 3;
    EXPECT_EQ(UpdateIntervalSeconds(settings), 3723);
}

TEST(StorePictureTest, PicturesAreReplacedWholeAndOnlyInsideTheFolder) {
    testing_support::TempRoot root;
    const std::string folder = (root.path() / "images").string();
    const std::string first = "first picture", second = "second, longer picture";
    ASSERT_TRUE(StorePicture(folder, "Harbour", "JPG", reinterpret_cast<const BYTE*>(first.data()), first.size()));
    ASSERT_TRUE(StorePicture(folder, "Harbour", "JPG", reinterpret_cast<const BYTE*>(second.data()), second.size()));
    std::ifstream in(folder + "/Harbour.JPG");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), second);
    EXPECT_FALSE(std::filesystem::exists(folder + "/Harbour.JPG.tmp"));
    for (const char* name : {"../evil", "a/b", "a\\b", "..", ".", ""}) {
        EXPECT_FALSE(IsSafePictureName(name)) << name;
        EXPECT_FALSE(StorePicture(folder, name, "JPG", reinterpret_cast<const BYTE*>(first.data()), first.size())) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(root.path() / "evil.JPG"));
    EXPECT_FALSE(StorePicture("/dev/null/cams", "Harbour", "JPG", reinterpret_cast<const BYTE*>(first.data()), first.size()));

    // A link planted where the temporary file goes is never written through.
    const auto target = root.path() / "victim";
    std::ofstream(target) << "keep me";
    std::filesystem::create_symlink(target, folder + "/Bridge.JPG.tmp");
    ASSERT_TRUE(StorePicture(folder, "Bridge", "JPG", reinterpret_cast<const BYTE*>(first.data()), first.size()));
    std::ifstream victim(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "keep me");
    std::ifstream stored(folder + "/Bridge.JPG");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stored), {}), first);
    EXPECT_FALSE(std::filesystem::is_symlink(folder + "/Bridge.JPG"));
}

namespace {

// A saver-window stand-in: its window hands the fetch messages to the update cycle.
class UpdateCycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDisplay(std::make_unique<HeadlessDisplay>());
        SetOnlineOverride(true);
        testing_support::DrainQueue();
        saver::UseSaverRegistryKey();
        window_ = CreateWindowEx(0, "Owner", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, 0,
                                 [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                                     if (sources::IsFetchDoneMessage(message)) {
                                         stored_ = cycle_->OnFetchDone(message, wParam, lParam, now_);
                                         finished_ = !state_.FetchBusy;
                                     } else if (message == saver::MSG_FETCH_PROGRESS || message == saver::MSG_FETCH_STATUS) {
                                         cycle_->OnFetchProgress(message, wParam, lParam);
                                         statuses_.push_back(cycle_->statusText());
                                     }
                                     return DefWindowProc(hwnd, message, wParam, lParam);
                                 });
        fetcher_ = std::make_unique<CImageFetcher>(state_);
        fetcher_->SetOwner(window_);
    }
    void TearDown() override {
        fetcher_.reset();
        DestroyWindow(window_);
        testing_support::DrainQueue();
        SetOnlineOverride(std::nullopt);
        SetDisplay(nullptr);
    }

    void useList(const std::string& list, int change = 0) {
        settings_.CamList = list;
        settings_.Change = change;
        cycle_ = std::make_unique<UpdateCycle>(settings_, state_, *fetcher_, window_);
    }

    // Dispatches until the fetch under way has finished (or 20 s pass).
    void waitForCompletion() {
        finished_ = false;
        testing_support::PumpUntil(window_, [this] { return !state_.FetchBusy || finished_; });
        EXPECT_FALSE(state_.FetchBusy);
    }

    std::string record(const std::string& name, const std::string& query, const std::string& selected = "1") {
        return name + "|" + server_.url("/" + name + ".jpg" + query) + "|??:??|Unknown|???|" + selected + "|||0|";
    }

    testing_support::TempRoot root_;
    picture_server::PictureServer server_;
    saver::SaverSettings settings_;
    FetchState state_;
    std::unique_ptr<CImageFetcher> fetcher_;
    std::unique_ptr<UpdateCycle> cycle_;
    HWND window_ = nullptr;
    std::time_t now_ = 1'800'000'000;
    std::optional<std::string> stored_;
    bool finished_ = false;
    std::vector<std::string> statuses_;
};

}  // namespace

TEST_F(UpdateCycleTest, ANeverUpdatedSourceIsFetchedAndRecordedAtTheFirstTick) {
    useList(record("Harbour", "?lm=Mon,%2001%20Jun%202026") + record("Bridge", ""));
    cycle_->CheckDue("Harbour", now_, false);
    EXPECT_TRUE(state_.FetchBusy);
    EXPECT_EQ(state_.FetchCamName, "Harbour");
    waitForCompletion();
    ASSERT_EQ(stored_, "Harbour");
    const std::string picture = (root_.path() / "data" / "images" / "Harbour.JPG").string();
    std::ifstream in(picture);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), picture_server::DemoJpeg("/sample.jpg", 0));
    EXPECT_EQ(GetCamField(settings_, "Harbour", kCamType), "JPG");
    EXPECT_EQ(GetCamField(settings_, "Harbour", kCamLastResult), "Success");
    EXPECT_EQ(GetCamField(settings_, "Harbour", kCamImageDate), "Mon, 01 Jun 2026");
    EXPECT_EQ(GetCamField(settings_, "Harbour", kCamLastUpdate), FormatLastUpdate(now_));
    EXPECT_TRUE(state_.FetchCamName.empty());
    EXPECT_TRUE(state_.FetchCamUrl.empty());
    EXPECT_FALSE(fetcher_->HoldsBuffer());
    EXPECT_EQ(cycle_->MarqueeStatus(), "Status: Online");
    EXPECT_NE(std::find(statuses_.begin(), statuses_.end(), "Status: Beginning Download..."), statuses_.end());
    // Saved: the record on disk is current.
    saver::SaverSettings stored;
    saver::LoadSettings(stored);
    EXPECT_EQ(GetCamField(stored, "Harbour", kCamLastResult), "Success");

    // The same Last-Modified again: no change, and the picture stays.
    now_ += 60;
    cycle_->StartCamUpdate("Harbour", false);
    waitForCompletion();
    EXPECT_EQ(GetCamField(settings_, "Harbour", kCamLastResult), "NoChange");
}

TEST_F(UpdateCycleTest, AFailureIsStampedSoTheNextTryWaitsAnInterval) {
    const std::string refused = "Gone|http://127.0.0.1:" + std::to_string(picture_server::RefusedPort()) +
                                "/p.jpg|??:??|Unknown|???|1|||0|";
    useList(refused);
    cycle_->CheckDue("Gone", now_, false);
    waitForCompletion();
    EXPECT_EQ(GetCamField(settings_, "Gone", kCamLastResult), "Refused");
    EXPECT_EQ(GetCamField(settings_, "Gone", kCamLastUpdate), FormatLastUpdate(now_));
    cycle_->CheckDue("Gone", now_ + 3, false);
    EXPECT_FALSE(state_.FetchBusy);  // within the interval: not yet
    cycle_->CheckDue("Gone", now_ + 61, false);
    EXPECT_TRUE(state_.FetchBusy);
    waitForCompletion();
}

TEST_F(UpdateCycleTest, AHandEditedShortRecordWaitsItsIntervalToo) {
    settings_.EditMinutes = 1;
    useList("Short|http://127.0.0.1:" + std::to_string(picture_server::RefusedPort()) + "/p.jpg|");
    cycle_->CheckDue("Short", now_, false);
    waitForCompletion();
    EXPECT_EQ(GetCamField(settings_, "Short", kCamLastResult), "Refused");
    for (int second = 1; second < 60; second += 7) {
        cycle_->CheckDue("Short", now_ + second, false);
        EXPECT_FALSE(state_.FetchBusy) << "fetched again after " << second << " s";
        if (state_.FetchBusy) waitForCompletion();
    }
}

TEST_F(UpdateCycleTest, WithChangeOnTimeTheNextSelectedSourceIsFetchedWhenOverdue) {
    // The unticked source between is never asked; the one the show moves to next is.
    useList(record("Current", "") + record("Unticked", "", "0") + record("Next", ""), 1);
    ASSERT_TRUE(ReplaceCamField(settings_.CamList, "Current", kCamLastUpdate, FormatLastUpdate(now_)));
    cycle_->CheckDue("Current", now_ + 1, false);
    EXPECT_EQ(state_.FetchCamName, "Next");
    waitForCompletion();
    EXPECT_EQ(GetCamField(settings_, "Next", kCamLastResult), "Success");
    EXPECT_EQ(GetCamField(settings_, "Unticked", kCamLastResult), "Unknown");
    // With only the current source selected there is nothing to look ahead to.
    useList(record("Current", "") + record("Unticked", "", "0"), 1);
    ASSERT_TRUE(ReplaceCamField(settings_.CamList, "Current", kCamLastUpdate, FormatLastUpdate(now_)));
    cycle_->CheckDue("Current", now_ + 1, false);
    EXPECT_FALSE(state_.FetchBusy);
}

TEST_F(UpdateCycleTest, EverySelectedSourceIsKeptFreshInTurnOneFetchATick) {
    useList(record("Current", "") + record("Second", "") + record("Unticked", "", "0") + record("Fourth", ""));
    ASSERT_TRUE(ReplaceCamField(settings_.CamList, "Current", kCamLastUpdate, FormatLastUpdate(now_)));
    std::vector<std::string> fetched;
    for (int tick = 1; tick <= 4; ++tick) {
        cycle_->CheckDue("Current", now_ + tick, false);
        if (!state_.FetchBusy) continue;
        fetched.push_back(state_.FetchCamName);
        waitForCompletion();
    }
    EXPECT_EQ(fetched, (std::vector<std::string>{"Second", "Fourth"}));
    EXPECT_EQ(GetCamField(settings_, "Unticked", kCamLastResult), "Unknown");
}

TEST_F(UpdateCycleTest, ABodyThatIsNoPictureLeavesTheLastGoodOne) {
    useList(record("Harbour", ""));
    cycle_->StartCamUpdate("Harbour", false);
    waitForCompletion();
    const auto picture = root_.path() / "data" / "images" / "Harbour.JPG";
    ASSERT_TRUE(std::filesystem::exists(picture));
    useList(record("Harbour", "?body=html"));
    cycle_->StartCamUpdate("Harbour", false);
    waitForCompletion();
    EXPECT_EQ(GetCamField(settings_, "Harbour", kCamLastResult), "Not an Image");
    std::ifstream in(picture);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), picture_server::DemoJpeg("/sample.jpg", 0));
}

TEST_F(UpdateCycleTest, NothingArrivingIsAnError) {
    useList(record("Empty", "?body=bytes&size=0"));
    cycle_->StartCamUpdate("Empty", false);
    waitForCompletion();
    EXPECT_EQ(GetCamField(settings_, "Empty", kCamLastResult), "Error");
    EXPECT_FALSE(std::filesystem::exists(root_.path() / "data" / "images" / "Empty.JPG"));
}

TEST_F(UpdateCycleTest, UpdatesThatCannotStartOrStoreEndAsFailed) {
    const int requests = server_.requestCount();
    useList("../evil|" + server_.url("/p.jpg") + "|??:??|Unknown|???|1|||0|" + "Bad|ftp://x/y.jpg|??:??|Unknown|???|1|||0|");
    EXPECT_EQ(cycle_->StartCamUpdate("../evil", false), 1);
    EXPECT_EQ(GetCamField(settings_, "../evil", kCamLastResult), "Failed");
    EXPECT_EQ(cycle_->StartCamUpdate("Bad", false), 1);
    EXPECT_EQ(GetCamField(settings_, "Bad", kCamLastResult), "Failed");
    EXPECT_FALSE(state_.FetchBusy);
    EXPECT_EQ(server_.requestCount(), requests);
    // Such a failure counts as an update: the source waits its interval like any other.
    EXPECT_NE(GetCamField(settings_, "Bad", kCamLastUpdate), kNeverUpdated);
    const std::string listed = settings_.CamList;
    cycle_->CheckDue("Bad", platform::Clock::instance().calendarNow(), false);
    EXPECT_EQ(settings_.CamList, listed);

    // A picture that cannot be written: the update still ends, and the next one can start.
    useList(record("Harbour", ""));
    settings_.TempImagesDirectory = "/dev/null/cams";
    cycle_->StartCamUpdate("Harbour", false);
    waitForCompletion();
    EXPECT_EQ(GetCamField(settings_, "Harbour", kCamLastResult), "Failed");
    EXPECT_FALSE(fetcher_->HoldsBuffer());
    EXPECT_TRUE(state_.FetchCamName.empty());

    // Offline, or in a preview: nothing starts.
    SetOnlineOverride(false);
    EXPECT_EQ(cycle_->StartCamUpdate("Harbour", false), 0);
    EXPECT_EQ(cycle_->MarqueeStatus(), "Status: Offline");
    SetOnlineOverride(true);
    EXPECT_EQ(cycle_->StartCamUpdate("Harbour", true), 0);
}

TEST_F(UpdateCycleTest, ThePicturesTagIsKeptByAddressAndAsksOnlyForAChange) {
    useList(record("Harbour", "?etag=v1&cond=1"));
    const std::string url = GetCamField(settings_, "Harbour", kCamUrl);
    cycle_->StartCamUpdate("Harbour", false);
    waitForCompletion();
    EXPECT_EQ(StoredEntityTag(url), "\"v1\"");
    EXPECT_EQ(std::count(settings_.CamList.begin(), settings_.CamList.end(), '|'), 9);  // the list's format stays

    // A later run (a new fetch state) sends it along: the server answers "not modified".
    state_.FetchEntityTag.clear();
    now_ += 60;
    cycle_->StartCamUpdate("Harbour", false);
    waitForCompletion();
    EXPECT_EQ(server_.lastRequest().headers["if-none-match"], "\"v1\"");
    EXPECT_EQ(GetCamField(settings_, "Harbour", kCamLastResult), "NoChange");
}

TEST_F(UpdateCycleTest, ASourceTheSheetRemovedWhileItsPictureCameLeavesNoPicture) {
    useList(record("Harbour", "?slow=100&piece=512&etag=v") + record("Bridge", ""));
    const std::string url = GetCamField(settings_, "Harbour", kCamUrl);
    saver::SaveSettings(settings_);
    cycle_->StartCamUpdate("Harbour", false);
    // The sheet, meanwhile, removes the source and saves.
    saver::SaverSettings sheet;
    saver::LoadSettings(sheet);
    sheet.CamList = record("Bridge", "");
    saver::SaveSettings(sheet);
    waitForCompletion();
    EXPECT_FALSE(std::filesystem::exists(root_.path() / "data" / "images" / "Harbour.JPG"));
    EXPECT_EQ(settings_.CamList, record("Bridge", ""));
    // Nor its tag: the address added again would be answered "not modified" with no picture kept.
    EXPECT_EQ(StoredEntityTag(url), "");
}

TEST_F(UpdateCycleTest, APictureReplacedWithItsDateKeptIsANewPictureByItsTag) {
    // The server answers the conditional request with the whole new picture, a new tag and the old date.
    useList(record("Harbour", "?lm=Mon,%2001%20Jun%202026&etag=v&retag=1&cond=1"));
    const std::string url = GetCamField(settings_, "Harbour", kCamUrl);
    cycle_->StartCamUpdate("Harbour", false);
    waitForCompletion();
    EXPECT_EQ(StoredEntityTag(url), "\"v-1\"");
    std::filesystem::remove(root_.path() / "data" / "images" / "Harbour.JPG");
    state_.FetchEntityTag.clear();
    now_ += 60;
    cycle_->StartCamUpdate("Harbour", false);
    waitForCompletion();
    EXPECT_EQ(server_.lastRequest().headers["if-none-match"], "\"v-1\"");
    EXPECT_EQ(GetCamField(settings_, "Harbour", kCamLastResult), "Success");
    EXPECT_EQ(StoredEntityTag(url), "\"v-2\"");
    EXPECT_TRUE(std::filesystem::exists(root_.path() / "data" / "images" / "Harbour.JPG"));
    // Asked for as it is, so that a server compressing on the fly keeps its tags and answers 304.
    EXPECT_EQ(server_.lastRequest().headers["accept-encoding"], "identity");
}

TEST(RetryAfterTest, SecondsOrADateAsSecondsFromNowWithinADay) {
    const std::time_t now = 1'800'000'000;  // 2027-01-15 08:00:00 UTC
    EXPECT_EQ(ParseRetryAfter("120", now), 120);
    EXPECT_EQ(ParseRetryAfter(" 0 ", now), 0);
    EXPECT_EQ(ParseRetryAfter("99999999999999999999", now), kLongestRetryAfterSeconds);
    EXPECT_EQ(ParseRetryAfter("Fri, 15 Jan 2027 08:05:00 GMT", now), 300);
    EXPECT_EQ(ParseRetryAfter("Thu, 01 Jan 1970 00:00:00 GMT", now), 0);  // a date past: at once
    for (const char* nonsense : {"", "soon", "-5", "12s", "Fri, 15 Jan 2027"}) EXPECT_FALSE(ParseRetryAfter(nonsense, now)) << nonsense;
}

TEST_F(UpdateCycleTest, AServerTooBusyIsLeftAloneAsLongAsItAsksEvenByASaverStartedAgain) {
    useList(record("Busy", "?status=503&retry=120"));
    cycle_->CheckDue("Busy", now_, false);
    waitForCompletion();
    EXPECT_EQ(GetCamField(settings_, "Busy", kCamLastResult), "Refused");
    const int asked = server_.requestCount();
    for (const std::time_t later : {now_ + 10, now_ + 119}) {
        cycle_->CheckDue("Busy", later, false);  // its interval (5 s) is long past
        EXPECT_FALSE(state_.FetchBusy) << later - now_;
    }
    // A saver started again meanwhile knows the wait too.
    useList(settings_.CamList);
    cycle_->CheckDue("Busy", now_ + 60, false);
    EXPECT_FALSE(state_.FetchBusy);
    EXPECT_EQ(server_.requestCount(), asked);
    cycle_->CheckDue("Busy", now_ + 121, false);
    EXPECT_TRUE(state_.FetchBusy);
    waitForCompletion();
    EXPECT_EQ(server_.requestCount(), asked + 1);
}

TEST_F(UpdateCycleTest, EachSourceWaitsItsIntervalPlusAtMostATenthMore) {
    settings_.EditSeconds = 50;  // 50 s: an offset of 0 to 5 s
    useList(record("Harbour", ""));
    cycle_->CheckDue("Harbour", now_, false);
    waitForCompletion();
    cycle_->CheckDue("Harbour", now_ + 50, false);
    EXPECT_FALSE(state_.FetchBusy);
    cycle_->CheckDue("Harbour", now_ + 56, false);
    EXPECT_TRUE(state_.FetchBusy);
    waitForCompletion();
}
