// A fetcher reporting to a window of its own, and one fetch run to its completion message.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "headless_display.h"
#include "image_fetcher.h"
#include "message_pump.h"
#include "picture_server.h"
#include "picture_store.h"
#include "saver_messages.h"
#include "temp_root.h"
#include "windows.h"

namespace fetch_testing {

using platform::HWND;
using platform::LPARAM;
using platform::LRESULT;
using platform::UINT;
using platform::WPARAM;

struct Outcome {
    UINT message = 0;  // the completion message
    std::size_t bytes = 0;
    int result = -1;
    std::vector<int> steps;
    int progress = 0;
    std::string body;
};

class FetchFixture : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetDisplay(std::make_unique<platform::HeadlessDisplay>());
        testing_support::DrainQueue();
        window_ = platform::CreateWindowEx(0, "Owner", "owner", platform::WS_POPUP, 0, 0, 10, 10, nullptr, 0,
                                 [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                                     record(message, wParam, lParam);
                                     return platform::DefWindowProc(hwnd, message, wParam, lParam);
                                 });
        fetcher_ = std::make_unique<sources::CImageFetcher>(state_);
        fetcher_->SetOwner(window_);
    }
    void TearDown() override {
        fetcher_.reset();
        platform::DestroyWindow(window_);
        testing_support::DrainQueue();
        platform::SetDisplay(nullptr);
    }

    void record(UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == saver::MSG_FETCH_STATUS) current_.steps.push_back(int(wParam));
        if (message == saver::MSG_FETCH_PROGRESS) {
            ++current_.progress;
            if (cancelOnProgress_) state_.CancelRequested = 1;
        }
        if (sources::IsFetchDoneMessage(message)) {
            current_.message = message;
            current_.bytes = wParam;
            current_.result = int(lParam);
            current_.body.assign(reinterpret_cast<const char*>(fetcher_->Buffer()), fetcher_->HoldsBuffer() ? wParam : 0);
            done_ = true;
        }
    }

    // Runs one fetch to its completion message (or fails after 20 s).
    Outcome fetch(const std::string& url, const std::string& referrer = "", const std::string& imageDate = "") {
        current_ = Outcome{};
        done_ = false;
        state_.FetchImageDate = imageDate;
        state_.CancelRequested = 0;
        fetcher_->ReleaseBuffer();
        EXPECT_EQ(fetcher_->StartFetch(url, referrer), 0) << url;
        EXPECT_TRUE(testing_support::PumpUntil(window_, [this] { return done_; })) << "no completion message for " << url;
        return current_;
    }

    picture_server::PictureServer server_;
    sources::FetchState state_;
    std::unique_ptr<sources::CImageFetcher> fetcher_;
    HWND window_ = nullptr;
    Outcome current_;
    bool done_ = false;
    bool cancelOnProgress_ = false;
};

}  // namespace fetch_testing
