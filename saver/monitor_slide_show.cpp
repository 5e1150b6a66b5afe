#include "monitor_slide_show.h"

#include <utility>

#include "cam_list.h"
#include "clock.h"
#include "image_preview.h"
#include "quality_stretch.h"
#include "windows.h"

namespace saver {

using namespace platform;

namespace {
constexpr const char* kMonitorClass = "KelvaneMonitorSlideShow";
constexpr std::uintptr_t kMoveTimer = 1, kChangeTimer = 2;
}  // namespace

MonitorSlideShow::MonitorSlideShow(HWND saver, const SaverSettings& settings, const RECT& monitor,
                                   std::optional<std::string> source)
    : saver_(saver), settings_(settings), source_(std::move(source)),
      background_(CreateSolidBrush(COLORREF(settings.BackColor))), memory_(CreateCompatibleDC(nullptr)) {
    RegisterClass(kMonitorClass, CS_VREDRAW | CS_HREDRAW);
    area_ = RECT{0, 0, monitor.width(), monitor.height()};
    window_ = CreateWindowEx(WS_EX_TOPMOST, kMonitorClass, "", WS_POPUP | WS_VISIBLE, monitor.left, monitor.top,
                             monitor.width(), monitor.height(), nullptr, 0,
                             [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
                                 return WindowProc(hwnd, message, wParam, lParam);
                             });
    if (!window_ || !source_) return;  // blank: the background alone
    Load();
    DrawAll();
    movePace_ = MovePace(MovePeriodMs(settings_), GetDeviceCaps(nullptr, VREFRESH));
    if (MovementOf(settings_) != PictureMovement::Still) SetTimer(window_, kMoveTimer, movePace_.timerPeriodMs());
    if (ChangeOf(settings_) == SourceChange::OnTime) SetTimer(window_, kChangeTimer, ChangePeriodMs(settings_));
}

MonitorSlideShow::~MonitorSlideShow() {
    if (window_) DestroyWindow(window_);
    scaled_.reset();
    ForgetPalette();
}

void MonitorSlideShow::ForgetPalette() {
    // The memory context keeps the palette of the picture it last drew; it must not outlive it.
    if (picture_ && picture_->GetPalette())
        SelectPalette(memory_.get(), static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
}

void MonitorSlideShow::Load() {
    std::string path = sources::CamImagePath(settings_, *source_);
    if (!sources::FileExists(path)) path = sources::FallbackImagePath(settings_);
    const int type = imaging::PreviewImageType(path);
    ForgetPalette();
    picture_ = type < 0 ? nullptr : std::make_unique<imaging::CImageFile>(path, type, imaging::DecodeOptions{COLORREF(settings_.BackColor)});
    scaled_.reset();
    if (!picture_ || picture_->GetWidth() <= 0 || picture_->GetHeight() <= 0) {
        picture_.reset();
        return;
    }
    const int width = picture_->GetWidth(), height = picture_->GetHeight();
    shown_ = DisplayedSize(width, height, SizeRulesFor(settings_, area_.right, area_.bottom));
    const bool quality = UsesQualityStretch(picture_->GetDepth(), settings_.InterStretch, imaging::GetDisplayBitDepth(),
                                            shown_, width, height);
    if (quality && shown_.width % 2) --shown_.width;  // the 24-bit scaler wants an even width
    position_ = motion_.position = StartPosition(area_, shown_);
    WindowDC screen(window_);
    scaled_.reset(memory_.get(), CreateCompatibleBitmap(screen, shown_.width, shown_.height));
    if (!scaled_) return;
    // A picture with a palette (a GIF) is drawn through its own colours, as on the primary.
    if (HPALETTE palette = picture_->GetPalette()) {
        SelectPalette(memory_.get(), palette, FALSE);
        RealizePalette(memory_.get());
    }
    imaging::ScalePicture(*picture_, memory_.get(), scaled_.get(), shown_.width, shown_.height, quality,
                          background_.get());
}

void MonitorSlideShow::DrawAll() {
    WindowDC dc(window_);
    FillRect(dc, &area_, background_.get());
    if (scaled_) BitBlt(dc, position_.x, position_.y, shown_.width, shown_.height, memory_.get(), 0, 0, SRCCOPY);
}

void MonitorSlideShow::Move() {
    const int steps = scaled_ ? movePace_.stepsAt(Clock::instance().nowMicros()) : 0;
    if (steps == 0) return;
    const POINT previous = position_;
    position_ = MovedPosition(MovementOf(settings_), motion_, position_, shown_, area_, steps);
    WindowDC dc(window_);
    BitBlt(dc, position_.x, position_.y, shown_.width, shown_.height, memory_.get(), 0, 0, SRCCOPY);
    for (const RECT& strip : UncoveredStrips(previous, position_, shown_, area_)) FillRect(dc, &strip, background_.get());
}

void MonitorSlideShow::Next() {
    const std::string next = sources::NextSelectedCam(settings_, *source_);
    if (next.empty() || next == *source_) return;  // the only selected source stays
    source_ = next;
    Load();
    DrawAll();
}

void MonitorSlideShow::PictureStored(const std::string& name) {
    if (!source_ || name != *source_) return;
    Load();
    DrawAll();
}

LRESULT MonitorSlideShow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        window_ = hwnd;
        DrawAll();
        return 1;
    case WM_TIMER:
        if (wParam == kMoveTimer) Move();
        else if (wParam == kChangeTimer) Next();
        return 0;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return TRUE;
    // What a person does here, they do to the saver.
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_MOUSEMOVE:
        PostMessage(saver_, message, wParam, lParam);
        return 0;
    default:
        return DefWindowProc(hwnd, message, wParam, lParam);
    }
}

}  // namespace saver
