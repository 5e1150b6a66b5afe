#include "windows.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "clock.h"
#include "display_backend.h"
#include "gdi.h"
#include "message_queue.h"
#include "text_compare.h"
#include "window_record.h"
#include "window_sockets.h"

namespace platform {

struct HCURSOR__ {
    int resourceId;
};

namespace {

std::recursive_mutex gMutex;
std::map<HWND, std::shared_ptr<WindowRecord>> gWindows;
std::uintptr_t gNextHandle = 0x10000;
std::map<std::string, UINT, CaseInsensitiveLess> gClasses;
std::map<std::string, UINT, CaseInsensitiveLess> gRegisteredMessages;
HWND gMainWindow = nullptr;
HWND gForeground = nullptr;
int gCursorCount = 0;
HCURSOR__ gArrowCursor{129};
HCURSOR gCursor = &gArrowCursor;

// Below the first handle NewHandle gives out.
HWND const kDesktopWindow = reinterpret_cast<HWND>(std::uintptr_t(0x10000));

HWND NewHandle() {
    gNextHandle += 4;
    return reinterpret_cast<HWND>(gNextHandle);
}

bool Matches(const std::string& className, const std::string& title, const char* wantedClass, const char* wantedTitle) {
    return (!wantedClass || EqualsNoCase(className, wantedClass)) && (!wantedTitle || EqualsNoCase(title, wantedTitle));
}

bool OwnsSurface(const WindowRecord& record) {
    if (!record.parent) return true;
    auto parent = FindWindowRecord(record.parent);
    return parent && parent->kind == WindowRecord::Kind::Foreign;
}

void CursorStateChanged(int before, int after) {
    if ((before >= 0) != (after >= 0)) Display().cursorVisibilityChanged(after >= 0 && gCursor);
}

std::shared_ptr<WindowRecord> RecordFor(const std::string& socketPath) {
    std::lock_guard lock(gMutex);
    for (auto& [handle, record] : gWindows)
        if (record->kind == WindowRecord::Kind::Remote && record->remoteSocket == socketPath) return record;
    auto record = std::make_shared<WindowRecord>();
    record->handle = NewHandle();
    record->kind = WindowRecord::Kind::Remote;
    record->remoteSocket = socketPath;
    gWindows[record->handle] = record;
    return record;
}

}  // namespace

LRESULT DeliverToWindow(const MSG& message) {
    auto record = FindWindowRecord(message.hwnd);
    if (!record) return 0;
    if (record->kind == WindowRecord::Kind::Remote)
        return RemoteSendMessage(record->remoteSocket, message.message, message.wParam, message.lParam,
                                 kCrossProgramSendTimeoutMs)
            .value_or(0);
    if (record->kind != WindowRecord::Kind::Local) return 0;
    if (record->procedure) return record->procedure(message.hwnd, message.message, message.wParam, message.lParam);
    return DefWindowProc(message.hwnd, message.message, message.wParam, message.lParam);
}

std::shared_ptr<WindowRecord> FindWindowRecord(HWND window) {
    std::lock_guard lock(gMutex);
    auto it = gWindows.find(window);
    return it == gWindows.end() ? nullptr : it->second;
}

SurfaceTarget SurfaceFor(HWND window) {
    SurfaceTarget target;
    auto record = FindWindowRecord(window);
    if (!record || record->kind != WindowRecord::Kind::Local) return target;
    RECT clip{0, 0, record->rect.width(), record->rect.height()};
    POINT offset{0, 0};
    std::lock_guard lock(gMutex);
    while (record && !record->surface) {
        offset.x += record->rect.left;
        offset.y += record->rect.top;
        clip.left += record->rect.left;
        clip.right += record->rect.left;
        clip.top += record->rect.top;
        clip.bottom += record->rect.top;
        auto it = gWindows.find(record->parent);
        record = it == gWindows.end() ? nullptr : it->second;
        if (record) clip = IntersectRects(clip, RECT{0, 0, record->rect.width(), record->rect.height()});
    }
    if (!record) return SurfaceTarget{};
    target.owner = record->handle;
    target.surface = record->surface;
    target.offset = offset;
    target.clip = IntersectRects(clip, RECT{0, 0, record->surface->width(), record->surface->height()});
    return target;
}

std::vector<std::shared_ptr<WindowRecord>> SurfaceWindows() {
    std::vector<std::shared_ptr<WindowRecord>> windows;
    {
        std::lock_guard lock(gMutex);
        for (auto& [handle, record] : gWindows)
            if (record->kind == WindowRecord::Kind::Local && record->surface && !record->destroying)
                windows.push_back(record);
    }
    std::stable_sort(windows.begin(), windows.end(), [](const auto& a, const auto& b) {
        return (a->exStyle & WS_EX_TOPMOST) < (b->exStyle & WS_EX_TOPMOST);
    });
    return windows;
}

namespace {

// Window contexts reach the windows' pixels through this.
class WindowSurfacesOfRecords final : public WindowSurfaces {
public:
    SurfaceTarget surfaceFor(HWND window) override { return SurfaceFor(window); }
    void changed(HWND owner, const RECT& area) override {
        if (IsWindow(owner)) Display().surfaceChanged(owner, area);
    }
};
WindowSurfacesOfRecords gWindowSurfaceRecords;
const bool gWindowSurfacesInstalled = (SetWindowSurfaces(&gWindowSurfaceRecords), true);
// Messages from the suite's other programs arrive as if posted or sent here.
const bool gRemoteRequestsInstalled = (SetWindowRequestHandler([](HWND window, bool send, UINT message, WPARAM wParam,
                                                                  LPARAM lParam) -> LRESULT {
                                           if (send) return SendMessage(window, message, wParam, lParam);
                                           PostMessage(window, message, wParam, lParam);
                                           return 0;
                                       }),
                                       true);

}  // namespace

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (!paint) return nullptr;
    HDC dc = GetDC(window);
    paint->hdc = dc;
    paint->fErase = FALSE;
    GetClientRect(window, &paint->rcPaint);
    ValidateRect(window, nullptr);
    auto record = FindWindowRecord(window);
    if (dc && record && record->eraseNeeded) {
        record->eraseNeeded = false;
        // The window erases its own background; when it does not, the paint handler must.
        paint->fErase = SendMessage(window, WM_ERASEBKGND, WPARAM(dc), 0) == 0;
    }
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (!paint) return FALSE;
    ReleaseDC(window, paint->hdc);
    return TRUE;
}

BOOL RegisterClass(const char* className, UINT classStyle) {
    if (!className) return FALSE;
    std::lock_guard lock(gMutex);
    gClasses[className] = classStyle;
    return TRUE;
}

HWND CreateWindowEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int width,
                    int height, HWND parent, int controlId, WNDPROC procedure) {
    if (parent && !IsWindow(parent)) return nullptr;
    auto record = std::make_shared<WindowRecord>();
    record->className = className ? className : "";
    record->title = title ? title : "";
    record->style = style & ~WS_VISIBLE;
    record->exStyle = exStyle;
    record->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    record->parent = parent;
    record->controlId = controlId;
    record->procedure = std::move(procedure);
    record->queue = MessageQueue::currentShared();
    if (OwnsSurface(*record))
        record->surface = std::make_shared<Surface>(width, height, Display().depth(), Display().windowPixelSharing());
    {
        std::lock_guard lock(gMutex);
        if (auto it = gClasses.find(record->className); it != gClasses.end()) record->classStyle = it->second;
        record->handle = NewHandle();
        gWindows[record->handle] = record;
    }
    const HWND window = record->handle;
    if (record->surface) Display().windowCreated(window);
    // Other programs find a top-level window from its creation on: one that it tells about itself
    // while it is being created can look it up at once.
    if (!parent) PublishWindow(window, record->className, record->title);
    if (SendMessage(window, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    if (!IsWindow(window)) return nullptr;
    if (style & WS_VISIBLE) ShowWindow(window, SW_SHOW);
    return window;
}

BOOL DestroyWindow(HWND window) {
    auto record = FindWindowRecord(window);
    if (!record || record->kind != WindowRecord::Kind::Local || record->destroying) return FALSE;
    record->destroying = true;
    if (record->visible && record->surface) Display().windowShown(window, false);
    SendMessage(window, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        std::lock_guard lock(gMutex);
        for (auto& [handle, child] : gWindows)
            if (child->parent == window) children.push_back(handle);
    }
    for (HWND child : children) DestroyWindow(child);
    SendMessage(window, WM_NCDESTROY, 0, 0);
    if (!record->parent) WithdrawWindow(window);
    record->queue->forgetWindow(window);
    if (record->surface) Display().windowDestroyed(window);
    bool wasMain;
    {
        std::lock_guard lock(gMutex);
        gWindows.erase(window);
        if (gForeground == window) gForeground = nullptr;
        wasMain = gMainWindow == window;
        if (wasMain) gMainWindow = nullptr;
    }
    if (wasMain) PostQuitMessage(0);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    if (window == kDesktopWindow) return TRUE;
    auto record = FindWindowRecord(window);
    if (!record || record->destroying) return FALSE;
    switch (record->kind) {
    case WindowRecord::Kind::Foreign: return Display().foreignWindowExists(record->nativeId);
    case WindowRecord::Kind::Remote: return IsRemoteWindowAlive(record->remoteSocket);
    default: return TRUE;
    }
}

BOOL ShowWindow(HWND window, int command) {
    auto record = FindWindowRecord(window);
    if (!record || record->kind != WindowRecord::Kind::Local) return FALSE;
    const bool show = command != SW_HIDE;
    const bool wasVisible = record->visible;
    if (show == wasVisible) return wasVisible;
    {
        std::lock_guard lock(gMutex);
        record->visible = show;
        if (show) {
            record->style |= WS_VISIBLE;
            if (!record->parent) gForeground = window;
        } else {
            record->style &= ~WS_VISIBLE;
        }
    }
    SendMessage(window, WM_SHOWWINDOW, show, 0);
    if (record->surface) Display().windowShown(window, show);
    if (show) InvalidateRect(window, nullptr, TRUE);
    return wasVisible;
}

BOOL IsWindowVisible(HWND window) {
    auto record = FindWindowRecord(window);
    return record && record->visible;
}

HWND GetParent(HWND window) {
    auto record = FindWindowRecord(window);
    return record ? record->parent : nullptr;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    if (!rect) return FALSE;
    if (window == kDesktopWindow) {
        const RECT screen = Display().screenRect();
        *rect = RECT{0, 0, screen.width(), screen.height()};
        return TRUE;
    }
    auto record = FindWindowRecord(window);
    if (!record || record->kind == WindowRecord::Kind::Remote) return FALSE;
    if (record->kind == WindowRecord::Kind::Foreign) {
        auto client = Display().foreignClientRect(record->nativeId);
        if (!client) return FALSE;
        *rect = *client;
        return TRUE;
    }
    std::lock_guard lock(gMutex);
    *rect = RECT{0, 0, record->rect.width(), record->rect.height()};
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    if (!rect) return FALSE;
    if (window == kDesktopWindow) {
        *rect = Display().screenRect();
        return TRUE;
    }
    auto record = FindWindowRecord(window);
    if (!record || record->kind != WindowRecord::Kind::Local) return GetClientRect(window, rect);
    std::lock_guard lock(gMutex);
    RECT result = record->rect;
    for (auto parent = FindWindowRecord(record->parent); parent && parent->kind == WindowRecord::Kind::Local;
         parent = FindWindowRecord(parent->parent)) {
        result.left += parent->rect.left;
        result.right += parent->rect.left;
        result.top += parent->rect.top;
        result.bottom += parent->rect.top;
    }
    *rect = result;
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    auto record = FindWindowRecord(window);
    if (!record || record->kind != WindowRecord::Kind::Local) return FALSE;
    {
        std::lock_guard lock(gMutex);
        record->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        if (record->surface && (record->surface->width() != width || record->surface->height() != height))
            record->surface->resize(width, height);
    }
    if (record->surface) Display().windowGeometryChanged(window);
    SendMessage(window, WM_SIZE, 0, LPARAM((std::max(height, 0) << 16) | (std::max(width, 0) & 0xFFFF)));
    if (repaint) InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}

HWND GetDesktopWindow() { return kDesktopWindow; }

std::vector<RECT> MonitorRects() { return Display().monitors(); }

HWND GetForegroundWindow() {
    std::lock_guard lock(gMutex);
    return gForeground;
}

int GetSystemMetrics(int index) {
    const RECT screen = Display().screenRect();
    switch (index) {
    case SM_CXSCREEN: return screen.width();
    case SM_CYSCREEN: return screen.height();
    case SM_CXVIRTUALSCREEN: return Display().physicalScreenRect().width();
    case SM_CYVIRTUALSCREEN: return Display().physicalScreenRect().height();
    default: return 0;
    }
}

std::string GetWindowText(HWND window) {
    auto record = FindWindowRecord(window);
    std::lock_guard lock(gMutex);
    return record ? record->title : std::string();
}

BOOL SetWindowText(HWND window, const char* text) {
    auto record = FindWindowRecord(window);
    if (!record || record->kind != WindowRecord::Kind::Local) return FALSE;
    {
        std::lock_guard lock(gMutex);
        record->title = text ? text : "";
    }
    if (!record->parent) {
        WithdrawWindow(window);
        PublishWindow(window, record->className, record->title);
    }
    return TRUE;
}

std::string GetClassName(HWND window) {
    auto record = FindWindowRecord(window);
    std::lock_guard lock(gMutex);
    return record ? record->className : std::string();
}

HWND FindWindow(const char* className, const char* title) {
    {
        std::lock_guard lock(gMutex);
        for (auto& [handle, record] : gWindows)
            if (record->kind == WindowRecord::Kind::Local && !record->parent && !record->destroying &&
                Matches(record->className, record->title, className, title))
                return handle;
    }
    for (const RemoteWindowInfo& info : ListRemoteWindows()) {
        if (!Matches(info.className, info.title, className, title)) continue;
        auto record = RecordFor(info.socketPath);
        std::lock_guard lock(gMutex);
        record->className = info.className;
        record->title = info.title;
        return record->handle;
    }
    return nullptr;
}

UINT RegisterWindowMessage(const char* name) {
    if (!name || !*name) return 0;
    std::lock_guard lock(gMutex);
    auto [it, added] = gRegisteredMessages.emplace(name, UINT(0xC000 + gRegisteredMessages.size()));
    return it->second;
}

HWND AttachForeignWindow(std::uint64_t nativeId) {
    if (!nativeId || !Display().foreignWindowExists(nativeId)) return nullptr;
    std::lock_guard lock(gMutex);
    for (auto& [handle, record] : gWindows)
        if (record->kind == WindowRecord::Kind::Foreign && record->nativeId == nativeId) return handle;
    auto record = std::make_shared<WindowRecord>();
    record->handle = NewHandle();
    record->kind = WindowRecord::Kind::Foreign;
    record->nativeId = nativeId;
    record->visible = true;
    gWindows[record->handle] = record;
    return record->handle;
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG posted{window, message, wParam, lParam, GetTickCount(), {}};
    if (!window) {
        MessageQueue::current().post(posted);
        return TRUE;
    }
    auto record = FindWindowRecord(window);
    if (!record || record->destroying) return FALSE;
    switch (record->kind) {
    case WindowRecord::Kind::Remote: return RemotePostMessage(record->remoteSocket, message, wParam, lParam);
    case WindowRecord::Kind::Foreign: return FALSE;
    default: record->queue->post(posted); return TRUE;
    }
}

namespace {

LRESULT Broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
    std::vector<HWND> local;
    {
        std::lock_guard lock(gMutex);
        for (auto& [handle, record] : gWindows)
            if (record->kind == WindowRecord::Kind::Local && !record->parent && !record->destroying) local.push_back(handle);
    }
    for (HWND window : local) SendMessage(window, message, wParam, lParam);
    for (const RemoteWindowInfo& info : ListRemoteWindows())
        RemoteSendMessage(info.socketPath, message, wParam, lParam, kBroadcastTimeoutMs);
    return 1;
}

void CollectChildren(HWND parent, std::vector<HWND>& found) {
    std::vector<HWND> children;
    {
        std::lock_guard lock(gMutex);
        for (auto& [handle, record] : gWindows)
            if (record->kind == WindowRecord::Kind::Local && record->parent == parent && !record->destroying)
                children.push_back(handle);
    }
    for (HWND child : children) {
        found.push_back(child);
        CollectChildren(child, found);
    }
}

}  // namespace

BOOL EnumChildWindows(HWND parent, const std::function<BOOL(HWND)>& visit) {
    if (!parent || !visit) return FALSE;
    std::vector<HWND> descendants;
    CollectChildren(parent, descendants);
    for (HWND window : descendants)
        if (!visit(window)) break;
    return TRUE;
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == HWND_BROADCAST) return Broadcast(message, wParam, lParam);
    auto record = FindWindowRecord(window);
    if (!record) return 0;
    const MSG sent{window, message, wParam, lParam, GetTickCount(), {}};
    if (record->kind == WindowRecord::Kind::Local && record->queue->thread() != std::this_thread::get_id())
        return record->queue->sendFromOtherThread(sent, 0).value_or(0);
    return DeliverToWindow(sent);
}

BOOL GetMessage(MSG* message, HWND filter, UINT first, UINT last) {
    MSG received;
    MessageQueue::current().get(received, filter, first, last, true, true);
    if (message) *message = received;
    return received.message != WM_QUIT;
}

BOOL PeekMessage(MSG* message, HWND filter, UINT first, UINT last, UINT flags) {
    MSG received;
    if (!MessageQueue::current().get(received, filter, first, last, (flags & PM_REMOVE) != 0, false)) return FALSE;
    if (message) *message = received;
    return TRUE;
}

LRESULT DispatchMessage(const MSG* message) {
    if (!message || !message->hwnd) return 0;
    return DeliverToWindow(*message);
}

void PostQuitMessage(int exitCode) { MessageQueue::current().postQuit(exitCode); }

void DeliverPendingMessages() {
    static thread_local bool delivering = false;
    if (delivering) return;
    delivering = true;
    MSG message;
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(int(message.wParam));  // the program's own loop ends on it later
            break;
        }
        DispatchMessage(&message);
    }
    delivering = false;
}

LRESULT DefWindowProc(HWND window, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;  // begins with the erase the window still owes
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND: return 0;
    default: return 0;
    }
}

std::uintptr_t SetTimer(HWND window, std::uintptr_t id, UINT periodMs) {
    if (window) {
        auto record = FindWindowRecord(window);
        if (!record || record->kind != WindowRecord::Kind::Local) return 0;
        return record->queue->setTimer(window, id, periodMs);
    }
    return MessageQueue::current().setTimer(nullptr, id, periodMs);
}

BOOL KillTimer(HWND window, std::uintptr_t id) {
    auto record = window ? FindWindowRecord(window) : nullptr;
    MessageQueue& queue = record ? *record->queue : MessageQueue::current();
    return queue.killTimer(window, id);
}

UINT GetTimerPeriod(HWND window, std::uintptr_t id) {
    auto record = window ? FindWindowRecord(window) : nullptr;
    MessageQueue& queue = record ? *record->queue : MessageQueue::current();
    return queue.timerPeriod(window, id).value_or(0);
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL erase) {
    auto record = FindWindowRecord(window);
    if (!record || record->kind != WindowRecord::Kind::Local) return FALSE;
    if (erase) {
        std::lock_guard lock(gMutex);
        record->eraseNeeded = true;
    }
    record->queue->markPaint(window);
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT*) {
    auto record = FindWindowRecord(window);
    if (!record || record->kind != WindowRecord::Kind::Local) return FALSE;
    record->queue->clearPaint(window);
    return TRUE;
}

int ShowCursor(BOOL show) {
    std::lock_guard lock(gMutex);
    const int before = gCursorCount;
    gCursorCount += show ? 1 : -1;
    CursorStateChanged(before, gCursorCount);
    return gCursorCount;
}

HCURSOR SetCursor(HCURSOR cursor) {
    std::lock_guard lock(gMutex);
    HCURSOR previous = gCursor;
    gCursor = cursor;
    if (bool(previous) != bool(cursor)) Display().cursorVisibilityChanged(gCursorCount >= 0 && cursor);
    return previous;
}

HCURSOR LoadCursor(int) { return &gArrowCursor; }

BOOL GetCursorPos(POINT* point) {
    if (!point) return FALSE;
    *point = Display().cursorPos();
    return TRUE;
}

void WaitForMessageOrNextTick(HWND window) {
    constexpr std::uint64_t kTickMicros = 15625;
    const std::uint64_t nextTick = (Clock::instance().nowMicros() / kTickMicros + 1) * kTickMicros;
    MessageQueue::current().waitForMessage(window, nextTick);
}

void SetMainWindow(HWND window) {
    std::lock_guard lock(gMutex);
    gMainWindow = window;
}

HWND GetMainWindow() {
    std::lock_guard lock(gMutex);
    return gMainWindow;
}

int RunMessageLoop() {
    MSG message;
    while (GetMessage(&message, nullptr, 0, 0)) DispatchMessage(&message);
    return int(message.wParam);
}

}  // namespace platform
