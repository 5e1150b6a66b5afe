# The Debian package, made from the same build with `cpack -G DEB` (configure with
# -DCMAKE_BUILD_TYPE=Release). Its run-time dependencies come from dpkg-shlibdeps; only what the
# programs load by name at run time, which shlibdeps cannot see, is written here.
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vessory")
set(CPACK_PACKAGE_CONTACT "Kelvane developers <kelvane@vessory.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver of pictures from the web, such as public webcams")
set(CPACK_PACKAGE_DESCRIPTION
    "While the workstation is idle, Kelvane Screen Saver fills the screen with pictures that live on\n"
    "web servers, such as public webcams: it fetches them on a schedule, reveals each with a\n"
    "transition, moves it about and scrolls a line of date, time, source and status. It runs under\n"
    "XScreenSaver, xss-lock or xautolock, plays background music (melodrin) and can leave its\n"
    "picture on the desktop as the wallpaper (with glyphveil for the icon labels).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # kelvane_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.vessory.example/kelvane/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's window-system plugins are loaded at run time: X11's, and Wayland's for Wayland sessions.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-wayland")
# libproxy's modules that read GNOME's and Plasma's proxy settings and run PAC files.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-liberation, xdg-utils, libproxy1-plugin-gsettings | libproxy1-plugin-kconfig, libproxy1-plugin-webkit")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xss-lock | xautolock, feh")
include(CPack)
