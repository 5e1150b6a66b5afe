// The HTTP layer's buffer contracts, which the fetcher relies on: a header is handed out only
// into a buffer that holds it and its terminator, and a read never writes past what was asked.
#include <gtest/gtest.h>

#include <string>

#include "demo_pictures.h"
#include "internet.h"
#include "picture_server.h"

using namespace platform;

namespace {

class InternetTest : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = InternetOpen("buffer test", INTERNET_OPEN_TYPE_PRECONFIG, "", nullptr, 0);
        connection_ = InternetConnect(session_, "127.0.0.1", WORD(server_.port()), "", "", INTERNET_SERVICE_HTTP, 0, 0);
        request_ = HttpOpenRequest(connection_, "GET", "/cam.jpg?lm=Mon,%2001%20Jun%202026", "HTTP/1.0", "", nullptr,
                                   INTERNET_FLAG_RELOAD, 0);
        ASSERT_TRUE(request_);
        ASSERT_TRUE(HttpSendRequestEx(request_, nullptr, nullptr, HSR_SYNC, 0));
        HttpEndRequest(request_, nullptr, HSR_SYNC, 0);
    }
    void TearDown() override {
        for (HINTERNET handle : {request_, connection_, session_})
            if (handle) InternetCloseHandle(handle);
    }

    picture_server::PictureServer server_;
    HINTERNET session_ = nullptr, connection_ = nullptr, request_ = nullptr;
};

}  // namespace

TEST_F(InternetTest, AHeaderComesOnlyIntoABufferThatHoldsItWithItsTerminator) {
    const std::string date = "Mon, 01 Jun 2026";
    char buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    DWORD length = DWORD(date.size());  // one short: no room for the terminator
    EXPECT_FALSE(HttpQueryInfo(request_, HTTP_QUERY_LAST_MODIFIED, buffer, &length, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(length, date.size() + 1);  // what it needs
    EXPECT_EQ(buffer[0], '#');           // nothing written
    EXPECT_TRUE(HttpQueryInfo(request_, HTTP_QUERY_LAST_MODIFIED, buffer, &length, nullptr));
    EXPECT_EQ(length, date.size());  // what it wrote, without the terminator
    EXPECT_EQ(std::string(buffer), date);
    EXPECT_EQ(buffer[date.size() + 1], '#');
    length = 0;
    EXPECT_FALSE(HttpQueryInfo(request_, HTTP_QUERY_STATUS_CODE, nullptr, &length, nullptr));
    EXPECT_EQ(length, 4u);  // "200" and its terminator
}

TEST_F(InternetTest, AReadNeverWritesPastWhatWasAsked) {
    const std::string body = picture_server::DemoJpeg("/sample.jpg", 0);
    std::string received;
    char block[9];
    for (int reads = 0; reads < 100000; ++reads) {
        std::fill(std::begin(block), std::end(block), '#');
        DWORD read = 0;
        ASSERT_TRUE(InternetReadFile(request_, block, 7, &read));
        ASSERT_LE(read, 7u);
        EXPECT_EQ(block[7], '#');
        received.append(block, read);
        if (read == 0) break;
    }
    EXPECT_EQ(received, body);
}
