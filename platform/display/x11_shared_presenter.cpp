#include "x11_shared_presenter.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include "surface.h"

namespace platform {

std::unique_ptr<X11SharedPresenter> X11SharedPresenter::Open() {
    if (QGuiApplication::platformName() != "xcb") return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return nullptr;
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection, &xcb_shm_id);
    if (!shm || !shm->present) return nullptr;
    return std::unique_ptr<X11SharedPresenter>(new X11SharedPresenter(connection));
}

X11SharedPresenter::~X11SharedPresenter() {
    for (auto& [owner, target] : targets_) release(target);
    xcb_flush(connection_);
}

void X11SharedPresenter::release(Target& target) {
    if (target.attached) xcb_shm_detach(connection_, target.attached);
    if (target.context) xcb_free_gc(connection_, target.context);
    target = Target();
}

void X11SharedPresenter::forget(const void* owner) {
    auto it = targets_.find(owner);
    if (it == targets_.end()) return;
    release(it->second);
    targets_.erase(it);
    xcb_flush(connection_);
}

bool X11SharedPresenter::prepare(Target& target, std::uint64_t window, int segment) {
    if (target.window == window && target.segment == segment) return target.usable;
    release(target);
    target.window = window;
    target.segment = segment;
    // Our pixels are 32 bits, the top byte unused: a window of depth 24 shows them as they are.
    const xcb_get_geometry_cookie_t geometry = xcb_get_geometry(connection_, xcb_drawable_t(window));
    xcb_get_geometry_reply_t* reply = xcb_get_geometry_reply(connection_, geometry, nullptr);
    const bool depth24 = reply && reply->depth == 24;
    std::free(reply);
    if (!depth24) return false;
    target.attached = xcb_generate_id(connection_);
    xcb_generic_error_t* error =
        xcb_request_check(connection_, xcb_shm_attach_checked(connection_, target.attached, std::uint32_t(segment), 1));
    if (error) {  // a server on another machine, say
        std::free(error);
        target.attached = 0;
        return false;
    }
    target.context = xcb_generate_id(connection_);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(connection_, target.context, xcb_drawable_t(window), XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    target.usable = true;
    return true;
}

bool X11SharedPresenter::present(const void* owner, std::uint64_t window, const Surface& surface, const QRegion& parts) {
    const int segment = surface.bytes().segment();
    if (segment < 0 || surface.depth() != 32) return false;
    Target& target = targets_[owner];
    if (!prepare(target, window, segment)) return false;
    const QRect whole(0, 0, surface.width(), surface.height());
    for (const QRect& rect : parts.intersected(whole))
        xcb_shm_put_image(connection_, xcb_drawable_t(window), target.context, std::uint16_t(surface.stride() / 4),
                          std::uint16_t(surface.height()), std::uint16_t(rect.x()), std::uint16_t(rect.y()),
                          std::uint16_t(rect.width()), std::uint16_t(rect.height()), std::int16_t(rect.x()),
                          std::int16_t(rect.y()), 24, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, target.attached, 0);
    // No answer is asked for: one would wake Qt's reader thread every frame. A server that falls
    // behind fills the connection's buffer, and the flush waits.
    xcb_flush(connection_);
    return true;
}

}  // namespace platform
