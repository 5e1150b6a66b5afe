#include "root_window_wallpaper.h"

#include <QImage>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstring>
#include <memory>
#include <optional>

namespace platform {

namespace {

int gXErrors = 0;
int CountXError(Display*, XErrorEvent*) {
    ++gXErrors;
    return 0;
}

// A display connection whose protocol errors are counted instead of ending the program.
class Connection {
public:
    Connection() : display_(XOpenDisplay(nullptr)) {
        gXErrors = 0;
        previousHandler_ = XSetErrorHandler(CountXError);
    }
    ~Connection() {
        if (display_) XCloseDisplay(display_);
        XSetErrorHandler(previousHandler_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Display* get() const { return display_; }
    Window root() const { return DefaultRootWindow(display_); }
    bool failed() {
        XSync(display_, False);
        return gXErrors != 0;
    }

private:
    Display* display_;
    XErrorHandler previousHandler_;
};

std::optional<Pixmap> AnnouncedPixmap(Display* display, Window root, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None) return std::nullopt;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, root, atom, 0, 1, False, XA_PIXMAP, &type, &format, &count, &after, &data) !=
        Success)
        return std::nullopt;
    std::optional<Pixmap> pixmap;
    if (data && type == XA_PIXMAP && format == 32 && count == 1) pixmap = *reinterpret_cast<Pixmap*>(data);
    if (data) XFree(data);
    return pixmap;
}

// Frees the pixmap the previous setter left (both names announce the same one when a setter
// kept it for us to free), then withdraws the announcement.
void FreeAnnouncedPixmap(Display* display, Window root) {
    const auto shown = AnnouncedPixmap(display, root, "_XROOTPMAP_ID");
    const auto kept = AnnouncedPixmap(display, root, "ESETROOT_PMAP_ID");
    if (shown && kept && *shown == *kept) XKillClient(display, *shown);
    for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"})
        if (const Atom atom = XInternAtom(display, name, True); atom != None) XDeleteProperty(display, root, atom);
}

// The screen's picture: the file centred on black, or repeated from the top left corner.
QImage Compose(const QImage& picture, int width, int height, bool tiled) {
    QImage screen(width, height, QImage::Format_RGB32);
    screen.fill(Qt::black);
    const int pictureWidth = picture.width(), pictureHeight = picture.height();
    const int left = tiled ? 0 : (width - pictureWidth) / 2, top = tiled ? 0 : (height - pictureHeight) / 2;
    for (int y = 0; y < height; ++y) {
        int sourceY = y - top;
        if (tiled) sourceY %= pictureHeight;
        if (sourceY < 0 || sourceY >= pictureHeight) continue;
        const auto* from = reinterpret_cast<const quint32*>(picture.constScanLine(sourceY));
        auto* to = reinterpret_cast<quint32*>(screen.scanLine(y));
        for (int x = 0; x < width; ++x) {
            int sourceX = x - left;
            if (tiled) sourceX %= pictureWidth;
            if (sourceX >= 0 && sourceX < pictureWidth) to[x] = from[sourceX];
        }
    }
    return screen;
}

// The visual's pixels are 32-bit words holding 8-bit red, green and blue, as QImage's RGB32.
bool MatchesRgb32(Display* display, Visual* visual, int depth) {
    return (depth == 24 || depth == 32) && visual->red_mask == 0xFF0000 && visual->green_mask == 0x00FF00 &&
           visual->blue_mask == 0x0000FF && ImageByteOrder(display) == LSBFirst;
}

}  // namespace

bool SetRootWindowPicture(const std::filesystem::path& file, bool tiled, std::string& cause) {
    QImage picture(QString::fromStdString(file.string()));
    if (picture.isNull()) {
        cause = "the picture " + file.string() + " cannot be read";
        return false;
    }
    picture = picture.convertToFormat(QImage::Format_RGB32);
    Connection connection;
    Display* display = connection.get();
    if (!display) {
        cause = "no X display to set the root window's picture on";
        return false;
    }
    const int screenNumber = DefaultScreen(display);
    const int depth = DefaultDepth(display, screenNumber);
    Visual* visual = DefaultVisual(display, screenNumber);
    if (!MatchesRgb32(display, visual, depth)) {
        cause = "the root window's visual is not 24-bit true colour";
        return false;
    }
    const int width = DisplayWidth(display, screenNumber), height = DisplayHeight(display, screenNumber);
    QImage screen = Compose(picture, width, height, tiled);

    // The pixmap must outlive this connection: it belongs to the server until the next setter frees it.
    XSetCloseDownMode(display, RetainPermanent);
    const Window root = connection.root();
    FreeAnnouncedPixmap(display, root);
    const Pixmap pixmap = XCreatePixmap(display, root, unsigned(width), unsigned(height), unsigned(depth));
    XImage* image = XCreateImage(display, visual, unsigned(depth), ZPixmap, 0, reinterpret_cast<char*>(screen.bits()),
                                 unsigned(width), unsigned(height), 32, int(screen.bytesPerLine()));
    if (!image) {
        cause = "the X server refused the picture";
        return false;
    }
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, unsigned(width), unsigned(height));
    XFreeGC(display, gc);
    image->data = nullptr;  // the pixels belong to the QImage
    XDestroyImage(image);

    for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"})
        XChangeProperty(display, root, XInternAtom(display, name, False), XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pixmap), 1);
    XSetWindowBackgroundPixmap(display, root, pixmap);
    XClearWindow(display, root);
    if (connection.failed()) {
        cause = "the X server reported an error while setting the root window's picture";
        return false;
    }
    return true;
}

RootPicture SaveRootWindowPicture(const std::filesystem::path& png) {
    Connection connection;
    Display* display = connection.get();
    if (!display) return RootPicture::Unreadable;
    const auto pixmap = AnnouncedPixmap(display, connection.root(), "_XROOTPMAP_ID");
    if (!pixmap) return RootPicture::Absent;
    Window ignoredRoot;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(display, *pixmap, &ignoredRoot, &x, &y, &width, &height, &border, &depth) || connection.failed())
        return RootPicture::Absent;  // announced, but gone: nothing to give back
    XImage* image = XGetImage(display, *pixmap, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image) return RootPicture::Unreadable;
    QImage copy(int(width), int(height), QImage::Format_RGB32);
    for (int row = 0; row < int(height); ++row) {
        auto* to = reinterpret_cast<quint32*>(copy.scanLine(row));
        for (int column = 0; column < int(width); ++column) to[column] = 0xFF000000u | quint32(XGetPixel(image, column, row));
    }
    XDestroyImage(image);
    return copy.save(QString::fromStdString(png.string()), "PNG") ? RootPicture::Saved : RootPicture::Unreadable;
}

bool ClearRootWindowPicture(std::string& cause) {
    Connection connection;
    Display* display = connection.get();
    if (!display) {
        cause = "no X display";
        return false;
    }
    FreeAnnouncedPixmap(display, connection.root());
    XSetWindowBackgroundPixmap(display, connection.root(), None);
    XClearWindow(display, connection.root());
    if (connection.failed()) {
        cause = "the X server reported an error while clearing the root window";
        return false;
    }
    return true;
}

}  // namespace platform
