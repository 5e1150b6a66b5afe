// Brings a window's changed parts to an X server that reads our memory itself (MIT-SHM): the
// window's surface lives in a segment the server has attached, so a frame costs a request per
// changed rectangle and the server's own copy, none of ours.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include <QRegion>

struct xcb_connection_t;

namespace platform {

class Surface;

class X11SharedPresenter {
public:
    // Null unless Qt runs on X and the server offers shared memory.
    static std::unique_ptr<X11SharedPresenter> Open();
    ~X11SharedPresenter();
    X11SharedPresenter(const X11SharedPresenter&) = delete;
    X11SharedPresenter& operator=(const X11SharedPresenter&) = delete;

    // Puts the parts of the surface into the native window of the given owner, both in device
    // pixels (an owner's native window may be made anew, on another X screen say). False where
    // this window or surface cannot be put so (the surface is not in a segment, or the window is
    // not of the surface's depth, or the server refused the segment): the caller takes its own way.
    bool present(const void* owner, std::uint64_t window, const Surface& surface, const QRegion& parts);
    // The owner is gone: its segment and drawing context are given back.
    void forget(const void* owner);

private:
    explicit X11SharedPresenter(xcb_connection_t* connection) : connection_(connection) {}
    struct Target {
        std::uint64_t window = 0;
        int segment = -1;           // the surface's segment, as attached for this window
        std::uint32_t attached = 0; // the server's name for it
        std::uint32_t context = 0;  // a drawing context for the window
        bool usable = false;
    };
    bool prepare(Target& target, std::uint64_t window, int segment);
    void release(Target& target);

    xcb_connection_t* connection_;
    std::map<const void*, Target> targets_;
};

}  // namespace platform
