#include "x11_host_display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <cstring>

#include "clock.h"
#include "headless_display.h"
#include "message_queue.h"
#include "window_record.h"
#include "windows.h"

namespace platform {

namespace {

int IgnoreError(::Display*, XErrorEvent*) { return 0; }

// How often, at most, the host window is checked while nothing else happens.
constexpr std::uint64_t kHostCheckMicros = 250000;

}  // namespace

// Where one 8-bit colour channel goes in a pixel of the server's format.
struct ChannelPlace {
    int shift = 0;
    unsigned long top = 0;  // the channel's largest value

    explicit ChannelPlace(unsigned long mask = 0) {
        if (!mask) return;
        while (!((mask >> shift) & 1)) ++shift;
        top = mask >> shift;
    }
    unsigned long place(unsigned value) const { return ((value * top + 127) / 255) << shift; }
};

struct X11HostDisplay::X11 {
    ::Display* display = nullptr;
    GC gc = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    // True colour with 8-bit red, green and blue where a 32-bit surface keeps them.
    bool direct = false;
    ChannelPlace red, green, blue;

    ~X11() {
        if (gc) XFreeGC(display, gc);
        if (display) XCloseDisplay(display);
    }
};

std::optional<std::uint64_t> X11HostDisplay::RootWindowId() {
    ::Display* display = XOpenDisplay(nullptr);
    if (!display) return std::nullopt;
    const std::uint64_t root = DefaultRootWindow(display);
    XCloseDisplay(display);
    return root;
}

std::unique_ptr<X11HostDisplay> X11HostDisplay::Open(std::uint64_t hostWindow) {
    auto x11 = std::make_unique<X11>();
    x11->display = XOpenDisplay(nullptr);
    if (!x11->display || !hostWindow) return nullptr;
    XErrorHandler previous = XSetErrorHandler(IgnoreError);
    XWindowAttributes attributes{};
    const Status found = XGetWindowAttributes(x11->display, Window(hostWindow), &attributes);
    XSync(x11->display, False);
    XSetErrorHandler(previous);
    if (!found || attributes.width <= 0 || attributes.height <= 0) return nullptr;
    x11->visual = attributes.visual;
    x11->depth = attributes.depth;
    x11->direct = (attributes.depth == 24 || attributes.depth == 32) && attributes.visual->red_mask == 0xFF0000 &&
                  attributes.visual->green_mask == 0xFF00 && attributes.visual->blue_mask == 0xFF;
    x11->red = ChannelPlace(attributes.visual->red_mask);
    x11->green = ChannelPlace(attributes.visual->green_mask);
    x11->blue = ChannelPlace(attributes.visual->blue_mask);
    x11->gc = XCreateGC(x11->display, Window(hostWindow), 0, nullptr);
    // The host's size may change under us; its destruction is noticed by asking.
    auto display = std::unique_ptr<X11HostDisplay>(
        new X11HostDisplay(std::move(x11), hostWindow, attributes.width, attributes.height));
    display->physical_ = RECT{0, 0, WidthOfScreen(attributes.screen), HeightOfScreen(attributes.screen)};
    return display;
}

X11HostDisplay::X11HostDisplay(std::unique_ptr<X11> x11, std::uint64_t host, int width, int height)
    : x11_(std::move(x11)), host_(host), width_(width), height_(height), physical_{0, 0, width, height} {}

X11HostDisplay::~X11HostDisplay() = default;

void X11HostDisplay::surfaceChanged(HWND window, const RECT& area) {
    auto record = FindWindowRecord(window);
    if (!record || record->parent) return;
    const RECT onScreen{area.left + record->rect.left, area.top + record->rect.top, area.right + record->rect.left,
                        area.bottom + record->rect.top};
    dirty_ = UnionRects(dirty_, IntersectRects(onScreen, screenRect()));
}

void X11HostDisplay::windowShown(HWND window, bool visible) {
    auto record = FindWindowRecord(window);
    if (visible && record && !record->parent) dirty_ = UnionRects(dirty_, IntersectRects(record->rect, screenRect()));
}

void X11HostDisplay::flush() {
    if (IsRectEmpty(dirty_) || hostGone_) return;
    const RECT area = dirty_;
    dirty_ = RECT{};
    // The top-level windows composed as the screen shows them; only the changed part goes out.
    Surface screen = ComposeScreen(area);
    if (screen.depth() != 32) screen = screen.toRgb32();
    const int width = area.width(), height = area.height();
    XErrorHandler previous = XSetErrorHandler(IgnoreError);
    XImage* image = XCreateImage(x11_->display, x11_->visual, unsigned(x11_->depth), ZPixmap, 0, nullptr,
                                 unsigned(width), unsigned(height), 32, 0);
    if (image) {
        std::vector<char> pixels(size_t(image->bytes_per_line) * size_t(height));
        image->data = pixels.data();
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = screen.bytes().data() + std::ptrdiff_t(y) * screen.stride();
            if (x11_->direct && image->bits_per_pixel == 32) {
                std::memcpy(image->data + std::ptrdiff_t(y) * image->bytes_per_line, row, size_t(width) * 4);
                continue;
            }
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = row + x * 4;  // blue, green, red
                XPutPixel(image, x, y, x11_->red.place(p[2]) | x11_->green.place(p[1]) | x11_->blue.place(p[0]));
            }
        }
        XPutImage(x11_->display, Window(host_), x11_->gc, image, 0, 0, area.left, area.top, unsigned(width),
                  unsigned(height));
        image->data = nullptr;  // ours, freed with the vector
        XDestroyImage(image);
    }
    XSync(x11_->display, False);
    XSetErrorHandler(previous);
}

void X11HostDisplay::wait(std::optional<std::uint64_t> deadline) {
    flush();
    Clock& clock = Clock::instance();
    const std::uint64_t now = clock.nowMicros();
    // A round trip to the server: asked at most every check period, not at every wait.
    const bool checkDue = !hostGone_ && now - lastHostCheck_ >= kHostCheckMicros;
    if (checkDue) lastHostCheck_ = now;
    const std::optional<RECT> host = checkDue ? probe_.clientRect(host_) : std::nullopt;
    if (checkDue && !host) {
        hostGone_ = true;
        // Closed through their queues: the windows may be in the middle of drawing.
        for (const auto& record : SurfaceWindows())
            if (!record->parent) PostMessage(record->handle, WM_CLOSE, 0, 0);
        return;
    }
    if (host && (host->width() != width_ || host->height() != height_)) {
        // The host is this program's screen: a new size is a display change for its windows.
        width_ = host->width();
        height_ = host->height();
        dirty_ = screenRect();
        for (const auto& record : SurfaceWindows())
            if (!record->parent)
                PostMessage(record->handle, WM_DISPLAYCHANGE, 32, LPARAM((height_ << 16) | (width_ & 0xFFFF)));
    }
    std::uint64_t until = now + kHostCheckMicros;
    if (deadline && *deadline < until) until = *deadline;
    std::unique_lock lock(mutex_);
    if (clock.isVirtual()) {
        if (!wakeRequested_ && deadline) clock.advanceTo(*deadline);
    } else {
        woken_.wait_for(lock, std::chrono::microseconds(until > now ? until - now : 0), [this] { return wakeRequested_; });
    }
    wakeRequested_ = false;
}

void X11HostDisplay::attachQueue(MessageQueue& queue) {
    queue.setWaiter([this](std::optional<std::uint64_t> deadline) { wait(deadline); },
                    [this] {
                        {
                            std::lock_guard lock(mutex_);
                            wakeRequested_ = true;
                        }
                        woken_.notify_all();
                    });
}

bool X11HostDisplay::screenshot(const std::filesystem::path& file) {
    return WritePng(ComposeScreen(screenRect()), file);
}

}  // namespace platform
