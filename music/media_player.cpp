#include "media_player.h"

#include <mpv/client.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "trace.h"
#include "windows.h"

namespace music {

using namespace platform;

namespace {

// libmpv calls this on its own threads: only a posted message crosses to ours.
void OnWakeup(void* context) {
    const auto* wakeup = static_cast<const std::pair<HWND, UINT>*>(context);
    PostMessage(wakeup->first, wakeup->second, 0, 0);
}

}  // namespace

std::string PlayerAddress(const std::string& fileName) { return fileName == "CDAUDIO:" ? "cdda://" : fileName; }

MediaPlayer::MediaPlayer(HWND window, UINT message) : wakeup_(window, message) {
    mpv_handle* handle = mpv_create();
    if (!handle) return;
    // Audio only, none of the user's own mpv configuration, nothing on a terminal.
    const char* const options[][2] = {{"config", "no"},      {"terminal", "no"},   {"video", "no"},
                                      {"vo", "null"},        {"idle", "yes"},      {"pause", "yes"},
                                      {"load-scripts", "no"}, {"ytdl", "no"},      {"input-default-bindings", "no"},
                                      {"audio-display", "no"}, {"keep-open", "no"}, {"msg-level", "all=no"}};
    for (const auto& option : options) mpv_set_option_string(handle, option[0], option[1]);
    if (const char* audio = std::getenv("KELVANE_AUDIO"); audio && std::strcmp(audio, "null") == 0)
        mpv_set_option_string(handle, "ao", "null");
    if (mpv_initialize(handle) < 0) {
        DebugTrace("melodrin: the player could not start");
        mpv_terminate_destroy(handle);
        return;
    }
    handle_ = handle;
    mpv_set_wakeup_callback(handle_, OnWakeup, const_cast<std::pair<HWND, UINT>*>(&wakeup_));
    // Playback coming to rest (a pause taking hold) is news too: the position is settled then.
    mpv_observe_property(handle_, 0, "core-idle", MPV_FORMAT_FLAG);
}

MediaPlayer::~MediaPlayer() {
    if (handle_) mpv_terminate_destroy(handle_);
}

bool MediaPlayer::Open(const std::string& path) {
    if (!handle_ || path.empty()) return false;
    int paused = 1;
    mpv_set_property(handle_, "pause", MPV_FORMAT_FLAG, &paused);
    const std::string address = PlayerAddress(path);
    const char* command[] = {"loadfile", address.c_str(), "replace", nullptr};
    loaded_ = false;
    if (mpv_command(handle_, command) < 0) return false;
    opening_ = true;
    return true;
}

void MediaPlayer::AbandonOpening() {
    if (!handle_ || !opening_) return;
    const char* command[] = {"stop", nullptr};
    mpv_command(handle_, command);
    opening_ = false;
    abandoned_ = true;
}

std::optional<double> MediaPlayer::Position() const {
    double seconds = 0;
    if (!handle_ || !loaded_) return std::nullopt;
    if (mpv_get_property(handle_, "time-pos", MPV_FORMAT_DOUBLE, &seconds) < 0) return 0.0;
    return seconds;
}

bool MediaPlayer::SetPosition(double seconds) {
    if (!handle_ || !loaded_) return false;
    return mpv_set_property(handle_, "time-pos", MPV_FORMAT_DOUBLE, &seconds) >= 0;
}

std::optional<double> MediaPlayer::Duration() const {
    double seconds = 0;
    if (!handle_ || !loaded_) return std::nullopt;
    if (mpv_get_property(handle_, "duration", MPV_FORMAT_DOUBLE, &seconds) < 0) return 0.0;
    return seconds;
}

std::string MediaPlayer::Title() const {
    if (!handle_ || !loaded_) return {};
    char* title = mpv_get_property_string(handle_, "media-title");
    const std::string text = title ? title : "";
    mpv_free(title);
    return text;
}

bool MediaPlayer::Play() {
    if (!handle_ || !loaded_) return false;
    int paused = 0;
    return mpv_set_property(handle_, "pause", MPV_FORMAT_FLAG, &paused) >= 0;
}

bool MediaPlayer::Pause() {
    if (!handle_ || !loaded_) return false;
    int paused = 1;
    return mpv_set_property(handle_, "pause", MPV_FORMAT_FLAG, &paused) >= 0;
}

bool MediaPlayer::Stop() {
    if (!handle_ || !loaded_) return false;
    const char* command[] = {"stop", nullptr};
    if (mpv_command(handle_, command) < 0) return false;
    ++stopsAsked_;
    return true;
}

PlayState MediaPlayer::State() const {
    if (!handle_ || !loaded_) return kStopped;
    int paused = 0;
    mpv_get_property(handle_, "pause", MPV_FORMAT_FLAG, &paused);
    return paused ? kPaused : kPlaying;
}

MediaPlayer::News MediaPlayer::TakeNews() {
    News news;
    if (!handle_) return news;
    for (;;) {
        const mpv_event* event = mpv_wait_event(handle_, 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        if (event->event_id == MPV_EVENT_FILE_LOADED && opening_) {
            opening_ = false;
            loaded_ = true;
            news.opened = true;
            continue;
        }
        if (event->event_id != MPV_EVENT_END_FILE) continue;
        const auto* ended = static_cast<const mpv_event_end_file*>(event->data);
        if (opening_ || abandoned_) {
            // The file asked for did not open; an item it replaced ending meanwhile is no news.
            if (ended->reason == MPV_END_FILE_REASON_ERROR || abandoned_) {
                if (ended->reason == MPV_END_FILE_REASON_ERROR)
                    DebugTrace("melodrin: cannot play: %s", mpv_error_string(ended->error));
                opening_ = abandoned_ = false;
                news.openFailed = true;
            }
            continue;
        }
        // An item replaced by another is not a stop; one ended, failed or stopped on request is.
        if (ended->reason == MPV_END_FILE_REASON_STOP) {
            if (stopsAsked_ == 0) continue;
            --stopsAsked_;
        }
        loaded_ = false;
        ++news.stopped;
        if (ended->reason == MPV_END_FILE_REASON_ERROR) ++news.failed;
    }
    return news;
}

}  // namespace music
