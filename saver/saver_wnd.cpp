#include "saver_wnd.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

#include "cam_list.h"
#include "clock.h"
#include "dde.h"
#include "getright_status.h"
#include "harness.h"
#include "image_preview.h"
#include "png_image.h"
#include "marquee_text.h"
#include "programs.h"
#include "quality_stretch.h"
#include "saver_app.h"
#include "saver_messages.h"
#include "start_page.h"
#include "trace.h"
#include "windows.h"

namespace saver {

using namespace platform;

namespace {

constexpr const char* kSaverWindowClass = "KelvaneSaverWindow";
constexpr const char* kNoImageText = "No Image was selected.  Run SETUP to select an image.";
constexpr WPARAM kMusicQuery = 1, kMusicPlay = 7, kMusicClose = 99;
constexpr LRESULT kMusicUsable = 10;
constexpr int kGetRightPollTicks = 30;
constexpr int kNoticeFontHeight = -16;  // the notices' letters, at 96 dpi

}  // namespace

SaverWnd::SaverWnd(SaverApp& app) : app_(app) {}

SaverWnd::~SaverWnd() {
    if (hwnd_ && IsWindow(hwnd_)) {
        autoDelete_ = false;  // being deleted already
        DestroyWindow(hwnd_);
    }
}

const SaverSettings& SaverWnd::settings() const { return app_.settings; }

bool SaverWnd::Create(DWORD exStyle, DWORD style, const RECT& rect, HWND parent, int controlId) {
    return CreateNamed(kSaverWindowClass, CS_HREDRAW | CS_VREDRAW, "", exStyle, style, rect, parent, controlId);
}

bool SaverWnd::CreateNamed(const char* className, UINT classStyle, const char* title, DWORD exStyle, DWORD style,
                           const RECT& rect, HWND parent, int controlId) {
    RegisterClass(className, classStyle);
    hwnd_ = CreateWindowEx(exStyle, className, title, style, rect.left, rect.top, rect.width(), rect.height(), parent,
                           controlId, [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
                               if (!hwnd_) hwnd_ = window;  // messages sent during creation
                               return WindowProc(message, wParam, lParam);
                           });
    return hwnd_ != nullptr;
}

LRESULT SaverWnd::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(hwnd_, message, wParam, lParam);
}

LRESULT SaverWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate();
    case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_SIZE: OnSize(); return 0;
    case WM_PAINT: OnPaint(); return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_NCDESTROY:
        Default(message, wParam, lParam);
        PostNcDestroy();
        return 0;
    case MSG_FETCH_DONE_JPG:
    case MSG_FETCH_DONE_GIF:
    case MSG_FETCH_DONE_PNG:
    case MSG_FETCH_DONE_WEBP:
        if (cycle_) {
            const auto stored = cycle_->OnFetchDone(message, wParam, lParam, Clock::instance().calendarNow());
            if (stored) PictureStored(*stored);
            // During an effect the new picture waits for it to end: the effect draws from the
            // picture it started with.
            if (stored && *stored == app_.settings.CurrentCam) {
                if (view_.inProgress) reloadAfterEffect_ = true;
                else ReloadCurrentPicture();
            }
        }
        return 0;
    case MSG_FETCH_PROGRESS:
    case MSG_FETCH_STATUS:
        if (cycle_) cycle_->OnFetchProgress(message, wParam, lParam);
        return 0;
    case MSG_REFRESH_NOW:
        if (cycle_) cycle_->StartCamUpdate(app_.settings.CurrentCam, preview_);
        return 0;
    case MSG_SET_WALLPAPER: return SetImageAsWallpaper(int(lParam));
    case MSG_NEXT_PICTURE:
        if (ReadyToDraw()) ShowNextPicture();
        return 0;
    default: return Default(message, wParam, lParam);
    }
}

void SaverWnd::PostNcDestroy() {
    hwnd_ = nullptr;
    if (autoDelete_) delete this;
}

imaging::TransitionView& SaverWnd::View() {
    view_.window = hwnd_;
    view_.memory = memory_.get();
    view_.areaRight = area_.right;
    view_.areaBottom = area_.bottom;
    view_.x = position_.x;
    view_.y = position_.y;
    view_.width = shown_.width;
    view_.height = shown_.height;
    view_.previousX = previousPosition_.x;
    view_.previousY = previousPosition_.y;
    view_.previousWidth = previousShown_.width;
    view_.previousHeight = previousShown_.height;
    view_.background = backColor_;
    view_.preview = preview_;
    return view_;
}

int SaverWnd::OnCreate() {
    SaverSettings& s = app_.settings;
    fetcher_ = std::make_unique<sources::CImageFetcher>(app_.fetch);
    fetcher_->SetOwner(hwnd_);
    LoadSettings(s);
    backColor_ = COLORREF(s.BackColor);
    marqueeShown_ = s.ShowTicker != 0;
    marqueeStill_ = s.UseMovement != 0;
    musicWanted_ = s.NoMidiSound == 0;

    // The stored height is for a screen of 96 dpi: the marquee keeps its size on a denser one.
    LOGFONT logFont;
    logFont.lfHeight = ForScreen(s.Height);
    logFont.lfWeight = s.Weight;
    logFont.lfItalic = s.Italic;
    logFont.lfUnderline = s.Underline;
    logFont.lfCharSet = s.CharSet;
    logFont.lfPitchAndFamily = s.PitchAndFamily;
    std::strncpy(logFont.lfFaceName, s.FaceName.c_str(), sizeof logFont.lfFaceName - 1);
    marqueeFont_.reset(CreateFontIndirect(&logFont));
    LOGFONT noticeFont;
    noticeFont.lfHeight = ForScreen(kNoticeFontHeight);
    std::strcpy(noticeFont.lfFaceName, "Arial");
    noticeFont_.reset(CreateFontIndirect(&noticeFont));

    std::srand(unsigned(Clock::instance().calendarNow()));
    std::rand();
    std::rand();
    effect_ = s.EnableTransitionEffect == 0 ? 0
              : s.AutoTransitionEffect   ? imaging::RandomStartEffect(std::rand() & 0x7FFF)
                                         : s.CurrentTransitionEffect;

    sources::EnsureFallbackPicture(s);
    // A source the user unticked (or deleted) since the last run is not shown again: the show
    // starts at the next selected one.
    if (sources::GetCamField(s, s.CurrentCam, sources::kCamSelected) != "1") app_.AdvanceSource();
    s.CurrentFile = sources::CamImagePath(s, s.CurrentCam);
    if (!sources::FileExists(s.CurrentFile)) s.CurrentFile = sources::FallbackImagePath(s);

    memory_.reset(CreateCompatibleDC(nullptr));
    backgroundBrush_.reset(CreateSolidBrush(backColor_));

    if (!marqueeFont_) marqueeShown_ = false;
    LayOut();
    preview_ = area_.height() < desktop_.height();
    if (!preview_ && marqueeShown_) area_.bottom -= marquee_.height();
    if (preview_) marqueeShown_ = false;
    if (!preview_ && s.ShowGetRight &&
        DdeInitialize(&ddeInstance_, DdeIgnoreTransactions, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        ddeInstance_ = 0;

    changePeriodMs_ = ChangePeriodMs(s);
    movePace_ = MovePace(MovePeriodMs(s), GetDeviceCaps(nullptr, VREFRESH));
    cycle_ = std::make_unique<sources::UpdateCycle>(s, app_.fetch, *fetcher_, hwnd_);
    timers_[kMoveTimer] = SetTimer(hwnd_, kMoveTimer, movePace_.timerPeriodMs());
    timers_[kUpdateTimer] = SetTimer(hwnd_, kUpdateTimer, 1000);
    timers_[kMarqueeTimer] = SetTimer(hwnd_, kMarqueeTimer, 50);
    if (changePeriodMs_) timers_[kChangeTimer] = SetTimer(hwnd_, kChangeTimer, changePeriodMs_);

    loaded_ = false;
    if (!LoadPicture(s.CurrentFile)) {
        s.CurrentFile = sources::FallbackImagePath(s);
        LoadPicture(s.CurrentFile);
    }
    loaded_ = true;

    if (musicWanted_ && !preview_) {
        const UINT started = WinExec("MelodrinWC", SW_HIDE);
        HWND music = FindWindow(nullptr, kMusicWindowTitle);
        const LRESULT answer = music ? SendMessage(music, MSG_MUSIC_COMMAND, kMusicQuery, 0) : 0;
        DebugTrace("music: start %u, window %s, answer %ld", started, music ? "found" : "missing", long(answer));
        if (answer == kMusicUsable) SendMessage(music, MSG_MUSIC_COMMAND, kMusicPlay, 0);
    }
    if (s.KioskMode) desktop::OpenStartPageByDde();
    SetStateReporter([this] { return StateText(); });
    startTime_ = Clock::instance().calendarNow();
    return 0;
}

int SaverWnd::LoadPicture(const std::string& path) {
    if (!IsWindow(hwnd_)) return 0;
    if (!preview_ && !FindWindow(nullptr, "Windows Screen Saver")) {
        if (ShowCursor(FALSE) < -1) ShowCursor(TRUE);
    }
    const int type = imaging::PreviewImageType(path);
    if (type == imaging::kImageTypeUnknown) return 0;
    // What shows through a picture's transparent parts is the background.
    ReplacePicture(std::make_unique<imaging::CImageFile>(path, type, imaging::DecodeOptions{backColor_}));
    const int width = picture_->GetWidth(), height = picture_->GetHeight();
    if (width <= 0 || height <= 0) {
        ReplacePicture(nullptr);
        return 0;
    }
    const SaverSettings& s = app_.settings;
    SizeRules rules = SizeRulesFor(s, desktop_.right, desktop_.bottom);
    rules.preview = preview_;
    rules.clientHeight = area_.height();
    rules.desktopHeight = desktop_.bottom - desktop_.top;
    shown_ = DisplayedSize(width, height, rules);
    position_ = StartPosition(area_, shown_);
    motion_.position = position_;
    qualityStretch_ = UsesQualityStretch(picture_->GetDepth(), s.InterStretch, imaging::GetDisplayBitDepth(), shown_,
                                         width, height);
    if (qualityStretch_) {
        if (shown_.width % 2) --shown_.width;  // the 24-bit scaler wants an even width
        PrepareScaledBitmap();
    }
    return 1;
}

void SaverWnd::PrepareScaledBitmap() {
    scaledBitmap_.reset();
    if (!picture_ || shown_.width <= 0 || shown_.height <= 0) return;
    WindowDC dc(hwnd_);
    scaledBitmap_.reset(memory_.get(), CreateCompatibleBitmap(dc, shown_.width, shown_.height));
    if (!scaledBitmap_) return;
    imaging::ScalePicture(*picture_, memory_.get(), scaledBitmap_.get(), shown_.width, shown_.height, qualityStretch_,
                          backgroundBrush_.get());
}

void SaverWnd::DrawPicture(HDC dc, bool withEffect) {
    if (!picture_) return;
    HPALETTE palette = picture_->GetPalette();
    HPALETTE previous = nullptr;
    if (palette) {
        previous = SelectPalette(dc, palette, FALSE);
        SelectPalette(memory_.get(), palette, FALSE);
        RealizePalette(dc);
        RealizePalette(memory_.get());
    }
    if (!qualityStretch_) PrepareScaledBitmap();
    imaging::RevealPicture(View(), dc, withEffect ? effect_ : 0);
    effect_ = imaging::NextEffect(effect_, app_.settings.AutoTransitionEffect);
    if (previous) SelectPalette(dc, previous, FALSE);
}

void SaverWnd::ReplacePicture(std::unique_ptr<imaging::CImageFile> next) {
    // The memory context keeps the palette of the picture it last drew; it must not outlive it.
    if (memory_ && picture_ && picture_->GetPalette())
        SelectPalette(memory_.get(), static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
    picture_ = std::move(next);
}

void SaverWnd::ForgetPicture() {
    ReplacePicture(nullptr);
    if (loaded_) {
        previousShown_ = shown_;
        previousPosition_ = position_;
    }
    loaded_ = false;
}

int SaverWnd::NextPicture() {
    view_.abort = false;
    const std::string remembered = app_.settings.CurrentFile;
    app_.AdvanceSource();
    if (marqueeShown_) {
        ClearMarqueeStrip();
        StepMarquee(true, false);
    }
    if (app_.settings.CurrentFile == remembered) return 0;  // the picture on the screen stays
    ForgetPicture();
    if (!LoadPicture(app_.settings.CurrentFile)) {
        app_.settings.CurrentFile = sources::FallbackImagePath(app_.settings);
        LoadPicture(app_.settings.CurrentFile);
    }
    imaging::ErasePicture(View(), effect_, 0);
    {
        WindowDC dc(hwnd_);
        DrawPicture(dc, true);
    }
    loaded_ = true;
    return 1;
}

bool SaverWnd::ShowsPlaceholder() const {
    const SaverSettings& s = app_.settings;
    return s.CurrentFile == sources::FallbackImagePath(s) && !sources::GetCamField(s, s.CurrentCam, sources::kCamUrl).empty();
}

int SaverWnd::ReloadCurrentPicture() {
    view_.abort = false;
    // The card stood in for this picture, which has come: it goes at once.
    const int eraseEffect = ShowsPlaceholder() ? 0 : effect_;
    if (marqueeShown_) {
        ClearMarqueeStrip();
        StepMarquee(true, false);
    }
    ForgetPicture();
    SaverSettings& s = app_.settings;
    s.CurrentFile = sources::CamImagePath(s, s.CurrentCam);
    if (LoadPicture(s.CurrentFile)) {
        imaging::ErasePicture(View(), eraseEffect, 0);
    } else {
        s.CurrentFile = sources::FallbackImagePath(s);
        LoadPicture(s.CurrentFile);
    }
    {
        WindowDC dc(hwnd_);
        DrawPicture(dc, false);
    }
    loaded_ = true;
    return 1;
}

void SaverWnd::MoveStep() {
    if (!loaded_ || !picture_) return;
    const int steps = movePace_.stepsAt(Clock::instance().nowMicros());
    if (steps == 0) return;
    previousPosition_ = position_;
    position_ = MovedPosition(MovementOf(app_.settings), motion_, position_, shown_, area_, steps);
    WindowDC dc(hwnd_);
    if (HPALETTE palette = picture_->GetPalette()) {
        SelectPalette(memory_.get(), palette, FALSE);
        RealizePalette(memory_.get());
    }
    BitBlt(dc, position_.x, position_.y, area_.right - position_.x, area_.bottom - position_.y, memory_.get(), 0, 0,
           SRCCOPY);
    for (const RECT& strip : UncoveredStrips(previousPosition_, position_, shown_, area_))
        FillRect(dc, &strip, backgroundBrush_.get());
}

int SaverWnd::ForScreen(int pixelsAt96Dpi) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? int(std::lround(double(pixelsAt96Dpi) * dpi / 96.0)) : pixelsAt96Dpi;
}

void SaverWnd::ShowStatusText(HDC dc, const char* text) {
    RECT window{};
    GetClientRect(hwnd_, &window);
    SetBkColor(dc, RGB(255, 0, 0));
    SetBkMode(dc, OPAQUE);
    SetTextAlign(dc, TA_CENTER | TA_UPDATECP);
    MoveToEx(dc, window.width() / 2, window.height() / 2, nullptr);
    HGDIOBJ previous = noticeFont_ ? SelectObject(dc, noticeFont_.get()) : nullptr;
    TextOut(dc, 0, 0, text, int(std::strlen(text)));
    if (previous) SelectObject(dc, previous);
}

void SaverWnd::ClearMarqueeStrip() { marquee_.Clear(hwnd_, backgroundBrush_.get()); }

int SaverWnd::BuildMarqueeText() {
    if (composing_) return 0;
    composing_ = true;
    previousMarqueeText_ = marqueeText_;
    marquee::MarqueeMoment moment;
    moment.now = Clock::instance().calendarNow();
    moment.start = startTime_;
    moment.status = cycle_ ? cycle_->MarqueeStatus() : std::string();
    moment.getRightText = getRightText_;
    marqueeText_ = marquee::ComposeMarqueeText(app_.settings, moment);
    // A strip the settings hide is up for the notice alone.
    if (!marqueeNotice_.empty())
        marqueeText_ = marqueeText_.empty() || !app_.settings.ShowTicker ? marqueeNotice_ : marqueeNotice_ + "   " + marqueeText_;
    if (marquee_.SetTextWidth(marqueeText_)) ClearMarqueeStrip();  // a shorter text leaves nothing behind
    composing_ = false;
    return 1;
}

void SaverWnd::SetMarqueeNotice(const std::string& notice) {
    if (notice == marqueeNotice_) return;
    marqueeNotice_ = notice;
    // Why the saver stays must be seen: with the marquee off, the strip comes up while a notice stands.
    const bool stripWanted = app_.settings.ShowTicker != 0 || !notice.empty();
    if (!preview_ && marqueeFont_ && stripWanted != marqueeShown_) {
        marqueeShown_ = stripWanted;
        PostMessage(hwnd_, WM_SIZE, 0, 0);  // laid out again with or without it
    }
    if (loaded_) BuildMarqueeText();
}

void SaverWnd::StepMarquee(bool forceRedraw, bool recompose) {
    if (preview_ || !marqueeFont_) return;
    if (recompose && loaded_) BuildMarqueeText();
    marquee_.Step(hwnd_, *marqueeFont_, COLORREF(app_.settings.FontColor), marqueeStill_, marqueeText_,
                  previousMarqueeText_, forceRedraw);
}

void SaverWnd::PollGetRight() {
    if (!marqueeShown_ || !app_.settings.ShowGetRight) return;
    if (++getRightTicks_ <= kGetRightPollTicks) return;
    if (!getRightQuerying_) {
        getRightQuerying_ = true;
        getRightText_ = marquee::QueryGetRightStatus(ddeInstance_);
        if (getRightText_.size() != previousGetRightText_.size()) ClearMarqueeStrip();
        previousGetRightText_ = getRightText_;
        getRightQuerying_ = false;
    }
    getRightTicks_ = 0;
}

BOOL SaverWnd::OnEraseBkgnd(HDC dc) {
    if (firstPaint_) {
        // A new window shows nothing but its background: it is filled at once, with no effect,
        // and the first picture follows.
        if (marqueeShown_) {
            ClearMarqueeStrip();
            imaging::ErasePicture(View(), 0, marquee_.height());
            StepMarquee(true, true);
        } else {
            imaging::ErasePicture(View(), 0, 1);
        }
    } else {
        FillRect(dc, &area_, backgroundBrush_.get());
    }
    if (app_.settings.CurrentFile.empty()) ShowStatusText(dc, kNoImageText);
    {
        WindowDC window(hwnd_);
        DrawPicture(window, firstPaint_ && !ShowsPlaceholder());
    }
    firstPaint_ = false;
    drawnByErase_ = true;
    return FALSE;
}

void SaverWnd::LayOut() {
    GetWindowRect(GetDesktopWindow(), &desktop_);
    if (marqueeShown_) {
        marquee_.Layout(hwnd_, *marqueeFont_, desktop_, backColor_);
        desktop_.bottom -= marquee_.height();
    }
    GetClientRect(hwnd_, &area_);
    // The first erase after it covers the whole window.
    previousShown_ = ShownSize{area_.width(), area_.height()};
    previousPosition_ = POINT{0, 0};
}

void SaverWnd::OnSize() {
    if (view_.inProgress) {
        // An effect is drawing on the old layout (the first picture's too): it stops, and the new
        // layout follows after it.
        view_.abort = true;
        PostMessage(hwnd_, WM_SIZE, 0, 0);
        return;
    }
    if (!memory_ || !loaded_) return;  // still being created: creation lays it out
    LayOut();
    if (!preview_ && marqueeShown_) area_.bottom -= marquee_.height();
    if (!LoadPicture(app_.settings.CurrentFile)) ReplacePicture(nullptr);
    WindowDC dc(hwnd_);
    RECT client{};
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, backgroundBrush_.get());
    DrawPicture(dc, false);
    if (marqueeShown_) StepMarquee(true, false);
}

void SaverWnd::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd_, &paint);
    // The erase of this same paint has just drawn the picture: once is enough (a second reveal
    // would wipe it away and show it again).
    const bool drawn = std::exchange(drawnByErase_, false);
    if (dc && !drawn) {
        UniqueBrush brush(CreateSolidBrush(COLORREF(app_.settings.BackColor)));
        FillRect(dc, &area_, brush.get());
        DrawPicture(dc, true);
    }
    EndPaint(hwnd_, &paint);
}

bool SaverWnd::ReadyToDraw() {
    if (view_.inProgress) return false;  // a transition runs: the drawing waits
    if (reloadAfterEffect_) {
        reloadAfterEffect_ = false;
        ReloadCurrentPicture();
    }
    return true;
}

void SaverWnd::ShowNextPicture() {
    if (!loaded_) return;
    NextPicture();
    if (marqueeShown_) ClearMarqueeStrip();
}

void SaverWnd::OnTimer(std::uintptr_t id) {
    if (id == kMarqueeTimer) PollGetRight();
    const SaverSettings& s = app_.settings;
    // Starting a fetch draws nothing: the update cycle keeps its pace through the effects.
    if (id == kUpdateTimer) {
        if (cycle_) cycle_->CheckDue(s.CurrentCam, Clock::instance().calendarNow(), preview_, OtherShownSources());
        return;
    }
    if (!ReadyToDraw()) return;
    switch (id) {
    case kMoveTimer:
        if (MovementOf(s) != PictureMovement::Still) MoveStep();
        break;
    case kChangeTimer:
        if (ChangeOf(s) == SourceChange::OnTime && !preview_ && !passwordDialogOpen()) ShowNextPicture();
        break;
    case kMarqueeTimer:
        if (!preview_ && marqueeShown_) StepMarquee(false, true);
        break;
    default: break;
    }
}

void SaverWnd::SendMusicCommand(WPARAM command, bool post) {
    if (HWND music = FindWindow(nullptr, kMusicWindowTitle)) {
        if (post) PostMessage(music, MSG_MUSIC_COMMAND, command, 0);
        else SendMessage(music, MSG_MUSIC_COMMAND, command, 0);
    }
}

void SaverWnd::OnDestroy() {
    if (fetcher_) fetcher_->Cancel();
    for (std::uintptr_t id : {kMoveTimer, kUpdateTimer, kChangeTimer, kMarqueeTimer}) {
        if (timers_[id]) KillTimer(hwnd_, id);
        timers_[id] = 0;
    }
    backgroundBrush_.reset();
    if (ChangeOf(app_.settings) == SourceChange::AtEachEnd) app_.AdvanceSource();
    if (app_.settings.ShowGetRight && ddeInstance_) DdeUninitialize(ddeInstance_);
    ddeInstance_ = 0;
    marqueeFont_.reset();
    noticeFont_.reset();
    scaledBitmap_.reset();
    ReplacePicture(nullptr);
    memory_.reset();
    if (musicWanted_) SendMusicCommand(kMusicClose, true);
    SetStateReporter(nullptr);
}

std::string SaverWnd::StateText() const {
    std::ostringstream out;
    const SaverSettings& s = app_.settings;
    out << "current source: " << s.CurrentCam << '\n'
        << "current file: " << s.CurrentFile << '\n'
        << "picture size: " << shown_.width << ' ' << shown_.height << '\n'
        << "picture position: " << position_.x << ' ' << position_.y << '\n'
        << "effect: " << effect_ << '\n'
        << "marquee text: " << marqueeText_ << '\n'
        << "marquee position: " << marquee_.x() << '\n'
        << "marquee height: " << (marqueeShown_ ? marquee_.height() : 0) << '\n'
        << "status text: " << (cycle_ ? cycle_->MarqueeStatus() : std::string()) << '\n';
    return out.str();
}

}  // namespace saver
