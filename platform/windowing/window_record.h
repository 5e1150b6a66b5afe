// The platform's own bookkeeping of a window; shared by the window, drawing and backend code.
#pragma once

#include <memory>
#include <string>

#include "gdi.h"
#include "message_queue.h"
#include "surface.h"
#include "win_types.h"

namespace platform {

struct WindowRecord {
    enum class Kind { Local, Foreign, Remote };

    HWND handle = nullptr;
    Kind kind = Kind::Local;
    std::string className;
    std::string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    UINT classStyle = 0;
    RECT rect;  // relative to the parent's client area; screen coordinates for a top-level window
    HWND parent = nullptr;
    int controlId = 0;
    bool visible = false;
    bool destroying = false;
    bool eraseNeeded = false;
    WNDPROC procedure;
    std::shared_ptr<MessageQueue> queue;
    std::uint64_t nativeId = 0;   // Foreign: the host's native window id
    std::string remoteSocket;     // Remote: the socket of the other program's window
    std::shared_ptr<Surface> surface;  // set on windows that own their pixels
};

// Snapshot of the record; null for an unknown handle.
std::shared_ptr<WindowRecord> FindWindowRecord(HWND window);

// The window that holds the pixels of the given window, and the window's offset inside it.
SurfaceTarget SurfaceFor(HWND window);

// All local windows that own a surface, bottom to top.
std::vector<std::shared_ptr<WindowRecord>> SurfaceWindows();

}  // namespace platform
