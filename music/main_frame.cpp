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
// The longest a file may take to open before it counts as unplayable.
constexpr std::uintptr_t kOpenTimer = 2;
constexpr UINT kOpenMs = 10000;
// Once claimed, the companion looks every second whether the saver's window is still there: a
// saver that ended without closing it (killed, crashed) leaves no music behind.
constexpr std::uintptr_t kSaverWatchTimer = 3;
constexpr UINT kSaverWatchMs = 1000;
constexpr double kQuickEndSeconds = 0.3;

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
    case saver::MSG_MUSIC_COMMAND: {
        KillTimer(hwnd_, kUnclaimedTimer);
        if (!claimed_) {
            // A saver that claims the music runs now: seen at once, a saver that ends within the
            // first watch still takes its music along.
            SetTimer(hwnd_, kSaverWatchTimer, kSaverWatchMs);
            WatchTheSaver();
        }
        claimed_ = true;
        const LRESULT result = OnMusicCommand(wParam, lParam);
        Publish(wParam == saver::kMusicSeek);
        return result;
    }
    case WM_TIMER:
        if (wParam == kUnclaimedTimer) PostMessage(hwnd_, WM_CLOSE, 0, 0);
        if (wParam == kOpenTimer && player_) player_->AbandonOpening();
        if (wParam == kSaverWatchTimer) WatchTheSaver();
        return 0;
    case kPlayerEvents:
        OnPlayerNews();
        Publish();
        return 0;
    case WM_DESTROY:
        mpris_.reset();
        player_.reset();
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProc(hwnd_, message, wParam, lParam);
    }
}

LRESULT CMainFrame::OnMusicCommand(WPARAM command, LPARAM argument) {
    switch (command) {
    case 1: return hasPlayer() ? kPlayerReady : kNoPlayer;
    case 2:
        if (hasPlayer()) player_->Play();
        return kDone;
    case saver::kMusicPauseResume:
        if (paused_) ResumeOnly();
        else PauseOnly();
        return kDone;
    case saver::kMusicSecondCommand:
    case 6:
        if (hasPlayer()) player_->Stop();
        return kDone;
    case 7: StartPlayback(); return kDone;
    case saver::kMusicNext: PlayNextFile(); return kDone;
    case saver::kMusicPause: PauseOnly(); return kDone;
    case saver::kMusicResume: ResumeOnly(); return kDone;
    case saver::kMusicSeek:
        if (hasPlayer()) player_->SetPosition(double(argument) / 1000.0);
        return kDone;
    case 98: PostMessage(hwnd_, WM_CLOSE, 0, 0); return kDone;
    case saver::kMusicSaveAndClose:
        SavePlaybackPosition();
        PostMessage(hwnd_, WM_CLOSE, 0, 0);
        return kDone;
    default: return kNoPlayer;
    }
}

void CMainFrame::PauseOnly() {
    if (paused_) return;
    if (hasPlayer()) player_->Pause();
    paused_ = 1;
}

void CMainFrame::ResumeOnly() {
    if (!paused_) return;
    if (hasPlayer()) player_->Play();
    paused_ = 0;
}

void CMainFrame::PlayNextFile() {
    if (!hasPlayer() || CdMode()) return;
    AdvanceToNextFile();
    Open(currentFile_, Opening{false, 1, false});  // a pause holds across it
}

void CMainFrame::Publish(bool seeked) {
    if (!mpris_) return;
    NowPlaying now;
    now.item = item_;
    if (hasPlayer() && player_->loaded()) {
        now.status = paused_ ? NowPlaying::Status::Paused
                             : player_->State() == kPlaying ? NowPlaying::Status::Playing : NowPlaying::Status::Stopped;
        now.title = player_->Title();
        now.file = currentFile_;
        now.length = player_->Duration().value_or(0.0);
        now.position = player_->Position().value_or(0.0);
    }
    mpris_->update(now, seeked);
}

void CMainFrame::LosePlayer() {
    KillTimer(hwnd_, kOpenTimer);
    player_.reset();
}

void CMainFrame::OnPlayerNews() {
    if (!player_) return;
    const MediaPlayer::News news = player_->TakeNews();
    if (news.opened) OnOpened();
    if (news.openFailed) OnOpenFailed();
    for (int stops = news.stopped; stops > 0 && hasPlayer(); --stops) OnStopped(stops <= news.failed);
}

void CMainFrame::Open(const std::string& path, Opening opening) {
    opening_ = opening;
    if (!player_->Open(path)) return OnOpenFailed();
    SetTimer(hwnd_, kOpenTimer, kOpenMs);
}

void CMainFrame::OnOpened() {
    KillTimer(hwnd_, kOpenTimer);
    ++item_;
    if (opening_.resume) {
        // The same item as when it last stopped (its length tells): on from where it stopped.
        const double storedDuration = saver::ReadStoredDouble("CurrentDuration").value_or(0.0);
        const double storedPosition = saver::ReadStoredDouble("CurrentPosition").value_or(0.0);
        const auto duration = player_->Duration();
        if (duration && *duration == storedDuration && storedPosition != 0)
            player_->SetPosition(Resume() ? storedPosition : 0.0);
    }
    if (!paused_) player_->Play();  // a pause asked for while it opened holds
    // What there is to play of it, from where it starts; unknown (a stream, a CD) counts as long.
    const double length = player_->Duration().value_or(0.0);
    const double start = player_->Position().value_or(0.0);
    shortItem_ = length > 0 && length - start < kQuickEndSeconds;
}

void CMainFrame::OnOpenFailed() {
    KillTimer(hwnd_, kOpenTimer);
    if (opening_.nextFilesToTry > 0 && !CdMode()) {
        // The file cannot be played: the next one is tried.
        --opening_.nextFilesToTry;
        AdvanceToNextFile();
        return Open(currentFile_, Opening{false, opening_.nextFilesToTry, opening_.loseOnFailure});
    }
    if (opening_.loseOnFailure) LosePlayer();
}

void CMainFrame::StartPlayback() {
    if (!hasPlayer()) return;
    if (!mpris_) mpris_ = MprisService::Start(hwnd_);
    paused_ = 0;
    if (CdMode()) return Open(kCdAudio, Opening{true, 0, true});
    currentFile_ = GetProfileString(saver::kSettingsSection, "Midi Current File", "");
    playList_ = GetProfileString(saver::kSettingsSection, "MidiFiles", "");
    if (!currentFile_.empty() && !ListHolds(playList_, currentFile_)) AdvanceToNextFile();
    if (currentFile_.empty()) {
        AdvanceToNextFile();
        return Open(currentFile_, Opening{false, 0, true});
    }
    // When the stored item cannot be played, the next one is tried once.
    Open(currentFile_, Opening{true, 1, true});
}

void CMainFrame::WatchTheSaver() {
    if (FindWindow(nullptr, saver::kSaverTitle)) {
        sawSaver_ = true;
    } else if (sawSaver_) {
        SavePlaybackPosition();
        PostMessage(hwnd_, WM_CLOSE, 0, 0);
    }
}

void CMainFrame::AdvanceToNextFile() {
    currentFile_ = NextMusicFile(playList_, currentFile_);
    WriteProfileString(saver::kSettingsSection, "Midi Current File", currentFile_);
}

void CMainFrame::SavePlaybackPosition() {
    if (!hasPlayer()) return;
    if (!player_->loaded()) {
        // Still opening: the item to resume keeps its stored place; a new one starts from the top.
        if (opening_.resume) return;
        saver::WriteStoredDouble("CurrentPosition", 0.0);
        saver::WriteStoredDouble("CurrentDuration", 0.0);
        return;
    }
    saver::WriteStoredDouble("CurrentPosition", player_->Position().value_or(0.0));
    saver::WriteStoredDouble("CurrentDuration", player_->Duration().value_or(0.0));
}

void CMainFrame::OnStopped(bool failed) {
    if (!hasPlayer()) return;
    paused_ = 0;
    // Judged by what there was to play, not by the time it took: on a busy machine a blip takes
    // longer to open and end than a long item that ends on time.
    quickEnds_ = failed || shortItem_ ? quickEnds_ + 1 : 0;
    if (quickEnds_ >= kQuickEndsBeforeRest) return;
    if (CdMode()) return Open(kCdAudio, Opening{false, 0, false});
    // An item that cannot be played is skipped once; a list of nothing playable stops here.
    AdvanceToNextFile();
    Open(currentFile_, Opening{false, 1, false});
}

}  // namespace music
