#include "main_frame.h"

#include "play_list.h"
#include "profile.h"
#include "saver_messages.h"
#include "settings.h"
#include "windows.h"

namespace music {

using namespace platform;

namespace {

// The player's reports reach the window as this message.
constexpr UINT kPlayerEvents = WM_USER + 300;

constexpr const char* kCdAudio = "CDAUDIO:";
// A companion nobody talks to soon after its start (its starter gave up waiting, or ended)
// closes itself rather than wait for ever.
constexpr std::uintptr_t kUnclaimedTimer = 1;
constexpr UINT kUnclaimedMs = 10000;
constexpr auto kQuickEnd = std::chrono::milliseconds(300);
constexpr int kQuickEndsBeforeRest = 5;

bool CdMode() { return GetProfileInt(saver::kSettingsSection, "NotUseCD", 1) != 1; }
bool Resume() { return GetProfileInt(saver::kSettingsSection, "Resume", 0) == 1; }

}  // namespace

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() {
    player_.reset();
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

bool CMainFrame::Create() {
    RegisterClass(kMainWindowClass, 0);
    hwnd_ = CreateWindowEx(0, kMainWindowClass, saver::kMusicWindowTitle, 0, 0, 0, 0, 0, nullptr, 0,
                           [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                               if (!hwnd_) hwnd_ = window;
                               return WindowProc(message, wParam, lParam);
                           });
    if (!hwnd_) return false;
    SetTimer(hwnd_, kUnclaimedTimer, kUnclaimedMs);
    return true;
}

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        // The player exists before the window can be found, so a caller that finds it is answered
        // at once. The process asks the sound server for nothing special: raising its own
        // priority needs privileges an ordinary user does not have, and the player buffers ahead.
        player_ = std::make_unique<MediaPlayer>(hwnd_, kPlayerEvents);
        return 0;
    case saver::MSG_MUSIC_COMMAND:
        KillTimer(hwnd_, kUnclaimedTimer);
        return OnMusicCommand(wParam);
    case WM_TIMER:
        if (wParam == kUnclaimedTimer) PostMessage(hwnd_, WM_CLOSE, 0, 0);
        return 0;
    case kPlayerEvents:
        if (player_)
            for (int stops = player_->TakeStopped(); stops > 0; --stops) OnStopped();
        return 0;
    case WM_DESTROY:
        player_.reset();
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProc(hwnd_, message, wParam, lParam);
    }
}

LRESULT CMainFrame::OnMusicCommand(WPARAM command) {
    switch (command) {
    case 1: return hasPlayer() ? kPlayerReady : kNoPlayer;
    case 2:
        if (hasPlayer()) player_->Play();
        return kDone;
    case 3:
        if (hasPlayer()) {
            if (!paused_) player_->Pause();
            else player_->Play();
        }
        paused_ = !paused_;
        return kDone;
    case 5:
    case 6:
        if (hasPlayer()) player_->Stop();
        return kDone;
    case 7: StartPlayback(); return kDone;
    case 98: PostMessage(hwnd_, WM_CLOSE, 0, 0); return kDone;
    case 99:
        SavePlaybackPosition();
        PostMessage(hwnd_, WM_CLOSE, 0, 0);
        return kDone;
    default: return kNoPlayer;
    }
}

void CMainFrame::LosePlayer() { player_.reset(); }

bool CMainFrame::PlayFile(const std::string& path) {
    if (path.empty() || !player_->SetFile(path) || !player_->Play()) return false;
    lastStart_ = std::chrono::steady_clock::now();
    return true;
}

bool CMainFrame::ResumeItem(const std::string& path) {
    const double storedDuration = saver::ReadStoredDouble("CurrentDuration").value_or(0.0);
    const double storedPosition = saver::ReadStoredDouble("CurrentPosition").value_or(0.0);
    if (!player_->SetFile(path)) return false;
    const auto duration = player_->Duration();
    if (!duration) return false;
    if (*duration == storedDuration && storedPosition != 0 && !player_->SetPosition(Resume() ? storedPosition : 0.0))
        return false;
    lastPlayState_ = player_->State();
    if (!player_->Play()) return false;
    lastPlayState_ = player_->State();
    lastStart_ = std::chrono::steady_clock::now();
    return true;
}

void CMainFrame::StartPlayback() {
    if (!hasPlayer()) return;
    paused_ = 0;
    if (CdMode()) {
        if (!ResumeItem(kCdAudio)) LosePlayer();
        return;
    }
    currentFile_ = GetProfileString(saver::kSettingsSection, "Midi Current File", "");
    playList_ = GetProfileString(saver::kSettingsSection, "MidiFiles", "");
    if (!currentFile_.empty() && !ListHolds(playList_, currentFile_)) AdvanceToNextFile();
    if (currentFile_.empty()) {
        AdvanceToNextFile();
        if (!PlayFile(currentFile_)) LosePlayer();
        return;
    }
    if (ResumeItem(currentFile_)) return;
    // The file cannot be played: the next one is tried once.
    AdvanceToNextFile();
    if (!PlayFile(currentFile_)) LosePlayer();
}

void CMainFrame::AdvanceToNextFile() {
    currentFile_ = NextMusicFile(playList_, currentFile_);
    WriteProfileString(saver::kSettingsSection, "Midi Current File", currentFile_);
}

void CMainFrame::SavePlaybackPosition() {
    if (!hasPlayer()) return;
    saver::WriteStoredDouble("CurrentPosition", player_->Position().value_or(0.0));
    saver::WriteStoredDouble("CurrentDuration", player_->Duration().value_or(0.0));
}

void CMainFrame::OnStopped() {
    if (!hasPlayer()) return;
    paused_ = 0;
    quickEnds_ = std::chrono::steady_clock::now() - lastStart_ < kQuickEnd ? quickEnds_ + 1 : 0;
    if (quickEnds_ >= kQuickEndsBeforeRest) return;
    if (CdMode()) {
        if (player_->SetFile(kCdAudio)) player_->Play();
        return;
    }
    // An item that cannot be played is skipped once; a list of nothing playable stops here.
    for (int attempt = 0; attempt < 2; ++attempt) {
        AdvanceToNextFile();
        if (PlayFile(currentFile_)) return;
    }
}

}  // namespace music
