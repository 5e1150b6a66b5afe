// A Wayland client that keeps the screen awake as a video player does: it shows a small window
// and holds an idle inhibitor on it (idle-inhibit-unstable-v1). Prints "inhibiting" once the
// window is shown with the inhibitor in place, then holds it until ended by a signal.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include <wayland-client.h>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

struct Globals {
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* shell = nullptr;
    zwp_idle_inhibit_manager_v1* inhibitors = nullptr;
    bool configured = false;
};

void Announce(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (!std::strcmp(interface, wl_compositor_interface.name))
        globals->compositor = static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 1));
    else if (!std::strcmp(interface, wl_shm_interface.name))
        globals->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    else if (!std::strcmp(interface, xdg_wm_base_interface.name))
        globals->shell = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    else if (!std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name))
        globals->inhibitors = static_cast<zwp_idle_inhibit_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
}
void Remove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistry{Announce, Remove};

void Ping(void*, xdg_wm_base* shell, uint32_t serial) { xdg_wm_base_pong(shell, serial); }
const xdg_wm_base_listener kShell{Ping};

void Configure(void* data, xdg_surface* surface, uint32_t serial) {
    xdg_surface_ack_configure(surface, serial);
    static_cast<Globals*>(data)->configured = true;
}
const xdg_surface_listener kSurface{Configure};

void ToplevelConfigure(void*, xdg_toplevel*, int32_t, int32_t, wl_array*) {}
void ToplevelClose(void*, xdg_toplevel*) {}
const xdg_toplevel_listener kToplevel{ToplevelConfigure, ToplevelClose};

// A grey buffer of the size, in shared memory.
wl_buffer* GreyBuffer(wl_shm* shm, int width, int height) {
    const int stride = width * 4, size = stride * height;
    const int fd = memfd_create("wayland-inhibitor", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) != 0) return nullptr;
    void* pixels = mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) return nullptr;
    std::memset(pixels, 0x80, size_t(size));
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "wayland_inhibitor: no compositor\n");
        return 1;
    }
    Globals globals;
    wl_registry_add_listener(wl_display_get_registry(display), &kRegistry, &globals);
    wl_display_roundtrip(display);
    if (!globals.compositor || !globals.shm || !globals.shell || !globals.inhibitors) {
        std::fprintf(stderr, "wayland_inhibitor: the compositor lacks what is needed\n");
        return 1;
    }
    xdg_wm_base_add_listener(globals.shell, &kShell, nullptr);
    wl_surface* surface = wl_compositor_create_surface(globals.compositor);
    xdg_surface* shellSurface = xdg_wm_base_get_xdg_surface(globals.shell, surface);
    xdg_surface_add_listener(shellSurface, &kSurface, &globals);
    xdg_toplevel* toplevel = xdg_surface_get_toplevel(shellSurface);
    xdg_toplevel_add_listener(toplevel, &kToplevel, nullptr);
    xdg_toplevel_set_title(toplevel, "a film plays");
    wl_surface_commit(surface);
    while (!globals.configured && wl_display_dispatch(display) != -1) {
    }
    wl_surface_attach(surface, GreyBuffer(globals.shm, 320, 240), 0, 0);
    zwp_idle_inhibit_manager_v1_create_inhibitor(globals.inhibitors, surface);
    wl_surface_commit(surface);
    wl_display_roundtrip(display);
    std::printf("inhibiting\n");
    std::fflush(stdout);
    while (wl_display_dispatch(display) != -1) {
    }
    return 0;
}
