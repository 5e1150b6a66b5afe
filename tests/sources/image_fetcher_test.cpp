#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "eventually.h"
#include "demo_pictures.h"
#include "headless_display.h"
#include "message_pump.h"
#include "fetch_fixture.h"
#include "image_fetcher.h"
#include "picture_store.h"
#include "picture_server.h"
#include "saver_messages.h"
#include "temp_root.h"
#include "test_proxy.h"
#include "windows.h"

using namespace sources;
using namespace platform;

namespace {

using fetch_testing::Outcome;
class ImageFetcherTest : public fetch_testing::FetchFixture {};


const std::string& SampleJpeg() {
    static const std::string jpeg = picture_server::DemoJpeg("/sample.jpg", 0);
    return jpeg;
}

}  // namespace

TEST_F(ImageFetcherTest, APictureArrivesWholeWithItsStepsAndHeaders) {
    const Outcome first = fetch(server_.url("/cam.jpg"), "http://ref.example/page");
    EXPECT_EQ(first.message, saver::MSG_FETCH_DONE_JPG);
    EXPECT_EQ(first.result, kFetchSuccess);
    EXPECT_EQ(first.bytes, SampleJpeg().size());
    EXPECT_EQ(first.body, SampleJpeg());
    EXPECT_EQ(first.steps, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_GE(first.progress, 2);
    const auto request = server_.lastRequest();
    EXPECT_EQ(request.version, "HTTP/1.0");
    EXPECT_EQ(request.target, "/cam.jpg");
    EXPECT_EQ(request.headers.at("user-agent"), "Vessory Kelvane Screen Saver");
    EXPECT_EQ(request.headers.at("referer"), "http://ref.example/page");
    EXPECT_EQ(request.headers.at("cache-control"), "max-age=0");  // a cache on the way checks its copy
    EXPECT_EQ(request.headers.count("pragma"), 0u);
    // The same fetcher keeps its session: no connecting step the second time.
    const Outcome second = fetch(server_.url("/cam.jpg"));
    EXPECT_EQ(second.steps, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(second.result, kFetchSuccess);
}

TEST_F(ImageFetcherTest, ContentTypesDecideTheKind) {
    EXPECT_EQ(fetch(server_.url("/a.gif?body=gif")).message, saver::MSG_FETCH_DONE_GIF);
    const Outcome pjpeg = fetch(server_.url("/a?type=image/pjpeg"));
    EXPECT_EQ(pjpeg.result, kFetchSuccess);
    EXPECT_EQ(pjpeg.message, saver::MSG_FETCH_DONE_JPG);
    for (const char* type : {"image/JPEG", "text/html"}) {
        const Outcome other = fetch(server_.url(std::string("/a?type=") + type));
        EXPECT_EQ(other.result, kFetchNotAnImage) << type;
        EXPECT_EQ(other.message, saver::MSG_FETCH_DONE_JPG);
        EXPECT_EQ(other.bytes, 0u);
    }
    EXPECT_EQ(fetch(server_.url("/a?type=none")).result, kFetchQueryInfoError);
    const Outcome png = fetch(server_.url("/a.png?body=png"));
    EXPECT_EQ(png.result, kFetchSuccess);
    EXPECT_EQ(png.message, saver::MSG_FETCH_DONE_PNG);
    EXPECT_EQ(png.body.substr(1, 3), "PNG");
    const Outcome webp = fetch(server_.url("/a.webp?body=webp"));
    EXPECT_EQ(webp.result, kFetchSuccess);
    EXPECT_EQ(webp.message, saver::MSG_FETCH_DONE_WEBP);
}

TEST_F(ImageFetcherTest, TheBodyNotItsLabelSaysWhetherItIsAPicture) {
    const Outcome page = fetch(server_.url("/a?body=html"));  // labelled image/jpeg
    EXPECT_EQ(page.result, kFetchNotAnImage);
    EXPECT_EQ(page.bytes, 0u);
    // A GIF, a PNG or a WebP labelled as a JPEG is still a picture, of its own kind.
    EXPECT_EQ(fetch(server_.url("/a?body=png&type=image/jpeg")).message, saver::MSG_FETCH_DONE_PNG);
    EXPECT_EQ(fetch(server_.url("/a?body=webp&type=image/jpeg")).message, saver::MSG_FETCH_DONE_WEBP);
    const Outcome gif = fetch(server_.url("/a?body=gif&type=image/jpeg"));
    EXPECT_EQ(gif.result, kFetchSuccess);
    EXPECT_EQ(gif.message, saver::MSG_FETCH_DONE_GIF);
}

TEST_F(ImageFetcherTest, LastModifiedDecidesNoChange) {
    const std::string date = "Tue, 01 Jan 2002 10:00:00 GMT";
    const Outcome same = fetch(server_.url("/a?lm=" + std::string("Tue,%2001%20Jan%202002%2010:00:00%20GMT")), "", date);
    EXPECT_EQ(same.result, kFetchNoChange);
    EXPECT_EQ(same.bytes, 0u);
    EXPECT_EQ(same.steps, (std::vector<int>{1, 2, 3}));  // the body is never read
    // An empty stored date never means no change; the server's date is taken over.
    const Outcome fresh = fetch(server_.url("/a?lm=Tue,%2001%20Jan%202002%2010:00:00%20GMT"), "", "");
    EXPECT_EQ(fresh.result, kFetchSuccess);
    EXPECT_EQ(state_.FetchImageDate, date);
    // No Last-Modified: the stored date stays.
    fetch(server_.url("/a"), "", "kept");
    EXPECT_EQ(state_.FetchImageDate, "kept");
}

TEST_F(ImageFetcherTest, ConnectionFailuresHaveTheirCodes) {
    const std::uint16_t closed = picture_server::RefusedPort();
    EXPECT_EQ(fetch("http://127.0.0.1:" + std::to_string(closed) + "/p.jpg").result, kFetchRefused);
    EXPECT_EQ(fetch("http://no-such-host.invalid/p.jpg").result, kFetchError);
}

TEST_F(ImageFetcherTest, BodiesThatLieOrBreakOffAreErrors) {
    const Outcome longer = fetch(server_.url("/a?len=more"));  // the connection ends before the length
    EXPECT_EQ(longer.result, kFetchError);
    // More bytes than announced: the body ends where its length says, as HTTP has it.
    const Outcome shorter = fetch(server_.url("/a?len=less"));
    EXPECT_EQ(shorter.result, kFetchSuccess);
    EXPECT_EQ(shorter.body, SampleJpeg().substr(0, SampleJpeg().size() / 2));
    EXPECT_EQ(fetch(server_.url("/a?close=300")).result, kFetchError);
    const Outcome huge = fetch(server_.url("/a?len=huge"));
    EXPECT_EQ(huge.result, kFetchError);
    EXPECT_EQ(huge.bytes, 0u);
    const Outcome unannounced = fetch(server_.url("/a?len=none"));
    EXPECT_EQ(unannounced.result, kFetchSuccess);
    EXPECT_EQ(unannounced.body, SampleJpeg());
    // No length and more than any picture may be.
    EXPECT_EQ(fetch(server_.url("/a?body=bytes&len=none&size=" + std::to_string(kMaxPictureBytes + 4096))).result,
              kFetchError);
    const Outcome big = fetch(server_.url("/a?body=bytes&len=none&size=3000000"));
    EXPECT_EQ(big.result, kFetchSuccess);
    EXPECT_EQ(big.bytes, 3000000u);
}

TEST_F(ImageFetcherTest, ACancelDuringTheTransferKeepsTheBytesSoFar) {
    cancelOnProgress_ = true;
    const Outcome cancelled = fetch(server_.url("/a?slow=30"));
    EXPECT_EQ(cancelled.result, kFetchCancelled);
    EXPECT_GT(cancelled.bytes, 0u);
    EXPECT_LT(cancelled.bytes, SampleJpeg().size());
}

TEST_F(ImageFetcherTest, CredentialsAndReferrersReachTheServer) {
    const std::string authority = "user:pa:ss@127.0.0.1:" + std::to_string(server_.port());
    EXPECT_EQ(fetch("http://" + authority + "/a?auth=user:pa:ss").result, kFetchSuccess);
    EXPECT_EQ(fetch("http://wrong:pw@127.0.0.1:" + std::to_string(server_.port()) + "/a?auth=user:pa:ss").result,
              kFetchError);  // the 401 page
    EXPECT_EQ(fetch(server_.url("/a?ref=http://mine/"), "http://mine/").result, kFetchSuccess);
    EXPECT_EQ(fetch(server_.url("/a?ref=http://mine/"), "http://other/").result, kFetchError);
}

TEST_F(ImageFetcherTest, StartFetchRefusesWhatItCannotStart) {
    fetch(server_.url("/a"));
    EXPECT_TRUE(fetcher_->HoldsBuffer());
    EXPECT_EQ(fetcher_->StartFetch(server_.url("/a"), ""), 1);  // the last picture is still held
    fetcher_->ReleaseBuffer();
    for (const char* url : {"http:/", "ftp://host/x.jpg", "http:///p.jpg", "http://host:0/p", "http://host:99999/p",
                            "http://host:/p", "http://[::1/p", "gopher://x"})
        EXPECT_EQ(fetcher_->StartFetch(url, ""), 2) << url;
}

TEST_F(ImageFetcherTest, AStalledServerEndsInAnErrorAndADestroyedFetcherStops) {
    SetInternetTimeouts({2, 1});
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(fetch(server_.url("/a?slow=3000")).result, kFetchError);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    SetInternetTimeouts({});
    // A fetcher destroyed in the middle of a slow transfer cancels and waits for its worker.
    fetcher_->ReleaseBuffer();
    ASSERT_EQ(fetcher_->StartFetch(server_.url("/a?slow=200"), ""), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto stopping = std::chrono::steady_clock::now();
    fetcher_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(3));
}

TEST_F(ImageFetcherTest, AnErrorAnswerIsNeverThePictureWhateverItCarries) {
    EXPECT_EQ(fetch(server_.url("/missing?status=404")).result, kFetchError);
    EXPECT_EQ(fetch(server_.url("/broken?status=500")).result, kFetchError);
    for (const char* status : {"404", "500", "302", "204", "199"}) {
        const Outcome answer = fetch(server_.url(std::string("/a?body=jpg&status=") + status));
        EXPECT_EQ(answer.result, kFetchError) << status;
    }
    EXPECT_EQ(fetch(server_.url("/a?body=jpg&status=203")).result, kFetchSuccess);
    // An interim answer is not the answer: the final one after it is.
    for (const char* interim : {"100", "103"}) {
        const Outcome answer = fetch(server_.url(std::string("/a?interim=") + interim));
        EXPECT_EQ(answer.result, kFetchSuccess) << interim;
        EXPECT_EQ(answer.body, SampleJpeg()) << interim;
    }
}

TEST_F(ImageFetcherTest, ABodyEndsAtItsLengthOnAConnectionTheServerKeepsOpen) {
    SetInternetTimeouts({2, 5});
    const auto started = std::chrono::steady_clock::now();
    const Outcome kept = fetch(server_.url("/a?keep=1"));
    EXPECT_EQ(kept.result, kFetchSuccess);
    EXPECT_EQ(kept.body, SampleJpeg());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    // A body shorter than its length on an open connection is still no picture.
    SetInternetTimeouts({2, 1});
    EXPECT_EQ(fetch(server_.url("/a?stall=300")).result, kFetchError);
    SetInternetTimeouts({});
}

TEST_F(ImageFetcherTest, ACompressedAnswerArrivesDecoded) {
    const Outcome compressed = fetch(server_.url("/a?encoding=gzip"));
    EXPECT_EQ(compressed.result, kFetchSuccess);
    EXPECT_EQ(compressed.body, SampleJpeg());
}

TEST_F(ImageFetcherTest, ACancelEndsAStalledBodyAtOnce) {
    ASSERT_EQ(fetcher_->StartFetch(server_.url("/a?stall=300"), ""), 0);
    // Wait until the body has begun, then cancel while the read waits for bytes that never come.
    ASSERT_TRUE(testing_support::PumpUntil(window_, [this] { return current_.progress > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto cancelled = std::chrono::steady_clock::now();
    fetcher_->Cancel();
    ASSERT_TRUE(testing_support::PumpUntil(window_, [this] { return done_; }));
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, testing_support::WithSanitizerMargin(std::chrono::milliseconds(500)));
    EXPECT_EQ(current_.result, kFetchCancelled);
    EXPECT_EQ(current_.bytes, 300u);
    // A cancel that comes before the request is under way is not lost: a server that never
    // answers cannot hold the fetch for the connection limits.
    fetcher_->ReleaseBuffer();
    done_ = false;
    state_.CancelRequested = 1;
    ASSERT_EQ(fetcher_->StartFetch(server_.url("/a?mute=1"), ""), 0);
    ASSERT_TRUE(testing_support::PumpUntil(window_, [this] { return done_; }));
    EXPECT_EQ(current_.result, kFetchCancelled);
    // The same for a fetcher destroyed while its body stalls.
    fetcher_->ReleaseBuffer();
    state_.CancelRequested = 0;
    ASSERT_EQ(fetcher_->StartFetch(server_.url("/a?stall=300"), ""), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto destroyed = std::chrono::steady_clock::now();
    fetcher_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - destroyed, testing_support::WithSanitizerMargin(std::chrono::milliseconds(500)));
}

TEST_F(ImageFetcherTest, ATricklingServerCannotHoldAFetchForLong) {
    // Two bytes a second: below the low-speed limit.
    SetInternetTimeouts({2, 2, 256, 60});
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(fetch(server_.url("/a?piece=2&slow=1000")).result, kFetchError);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    // Fast enough every second, but longer than a whole fetch may take.
    SetInternetTimeouts({2, 30, 256, 2});
    started = std::chrono::steady_clock::now();
    EXPECT_EQ(fetch(server_.url("/a?body=bytes&size=200000&piece=1000&slow=50")).result, kFetchError);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    SetInternetTimeouts({});
}

TEST(FetchAddressTest, AddressesAreTakenApartProperly) {
    auto a = ParseFetchAddress("http://user:pass:word@host.example:8080/cams/p.jpg?x=1");
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->secure);
    EXPECT_EQ(a->user, "user");
    EXPECT_EQ(a->password, "pass:word");
    EXPECT_EQ(a->server, "host.example");
    EXPECT_EQ(a->port, 8080);
    EXPECT_EQ(a->path, "/cams/p.jpg?x=1");
    auto b = ParseFetchAddress("https://host");
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->secure);
    EXPECT_EQ(b->path, "");
    EXPECT_EQ(b->port, 0);
    auto c = ParseFetchAddress("HTTP://[::1]:81/p");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->server, "[::1]");
    EXPECT_EQ(c->port, 81);
    EXPECT_FALSE(ParseFetchAddress("http://user@/p"));
}

TEST_F(ImageFetcherTest, AnUnchangedPictureCostsOnlyHeadersWhereTheServerHonoursConditions) {
    const std::string tagged = server_.url("/cam.jpg?etag=v1&cond=1");
    EXPECT_EQ(fetch(tagged).result, kFetchSuccess);
    EXPECT_EQ(state_.FetchEntityTag, "\"v1\"");
    EXPECT_EQ(server_.lastRequest().headers.count("if-none-match"), 0u);  // nothing known yet

    const Outcome unchanged = fetch(tagged);
    EXPECT_EQ(server_.lastRequest().headers["if-none-match"], "\"v1\"");
    EXPECT_EQ(unchanged.result, kFetchNoChange);
    EXPECT_EQ(unchanged.bytes, 0u);
    EXPECT_EQ(unchanged.steps, (std::vector<int>{2, 3}));  // no body to download

    // The stored date goes along too; a server without ETags compares it.
    const std::string date = "Tue, 01 Jan 2002 10:00:00 GMT";
    state_.FetchEntityTag.clear();
    EXPECT_EQ(fetch(server_.url("/a?cond=1&lm=Tue,%2001%20Jan%202002%2010:00:00%20GMT"), "", date).result, kFetchNoChange);
    EXPECT_EQ(server_.lastRequest().headers["if-modified-since"], date);

    // A new picture has a new tag; a stored tag that is no header value is never sent.
    state_.FetchEntityTag = "\"v1\"";
    EXPECT_EQ(fetch(server_.url("/cam.jpg?etag=v2&cond=1")).result, kFetchSuccess);
    EXPECT_EQ(state_.FetchEntityTag, "\"v2\"");
    state_.FetchEntityTag = "\"v2\"\r\nX-Injected: 1";
    EXPECT_EQ(fetch(server_.url("/cam.jpg?etag=v2&cond=1")).result, kFetchSuccess);
    EXPECT_EQ(server_.lastRequest().headers.count("x-injected"), 0u);
    EXPECT_EQ(server_.lastRequest().headers.count("if-none-match"), 0u);
}

TEST_F(ImageFetcherTest, ThroughAProxyTheDateGoesAlongButNotTheTagWhichACacheWouldPassOn) {
    testing_support::TestProxy proxy;
    setenv("http_proxy", proxy.url().c_str(), 1);
    setenv("no_proxy", "", 1);
    const std::string date = "Tue, 01 Jan 2002 10:00:00 GMT";
    state_.FetchEntityTag = "\"v1\"";
    const Outcome unchanged = fetch(server_.url("/cam.jpg?etag=v1&cond=1&lm=Tue,%2001%20Jan%202002%2010:00:00%20GMT"), "", date);
    unsetenv("http_proxy");
    unsetenv("no_proxy");
    ASSERT_EQ(proxy.requestLines().size(), 1u);
    EXPECT_EQ(server_.lastRequest().headers["if-modified-since"], date);
    EXPECT_EQ(server_.lastRequest().headers.count("if-none-match"), 0u);
    EXPECT_EQ(unchanged.result, kFetchNoChange);  // the server's 304, by the date
}

TEST_F(ImageFetcherTest, ACameraStreamGivesItsFirstWholePictureAndIsLeft) {
    // The server streams a new picture every 100 ms for as long as the connection stays open:
    // the fetch ends with the first one, with or without part lengths, whatever the boundary.
    const std::string firstFrame = picture_server::DemoJpeg("/stream.jpg", 0);
    for (const char* options : {"", "&len=none", "&boundary=--myboundary", "&lm=Tue,%2001%20Jan%202002",
                                "&type=application/octet-stream"}) {
        const Outcome stream = fetch(server_.url(std::string("/video?stream=100") + options), "", "Tue, 01 Jan 2002");
        EXPECT_EQ(stream.result, kFetchSuccess) << options;
        EXPECT_EQ(stream.message, saver::MSG_FETCH_DONE_JPG) << options;
        EXPECT_EQ(stream.body, firstFrame) << options;
        EXPECT_EQ(state_.FetchImageDate, "Tue, 01 Jan 2002") << "a stream's dates never mean no change";
    }
    // A stream that never completes a picture ends when it stalls; one without a boundary is no stream.
    SetInternetTimeouts({2, 1});
    EXPECT_EQ(fetch(server_.url("/video?stream=100&frames=0")).result, kFetchError);
    SetInternetTimeouts({});
    EXPECT_EQ(fetch(server_.url("/video?type=multipart/x-mixed-replace")).result, kFetchError);
    // Labelled only as bytes, a picture or a page is judged by its body too.
    EXPECT_EQ(fetch(server_.url("/cam.jpg?type=application/octet-stream")).result, kFetchSuccess);
    EXPECT_EQ(fetch(server_.url("/cam.jpg?type=application/octet-stream&body=html")).result, kFetchNotAnImage);
}
