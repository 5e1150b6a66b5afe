# Where the suite goes on `cmake --install` and in the package: the settings' menu entry, the
# program icon in every size the icon theme looks for, the software-centre description, and what
# XScreenSaver needs to find the saver as one of its hacks. The programs carry their picture
# inside them and find their companions beside themselves, so nothing else is installed.
include(GNUInstallDirs)

find_program(RSVG_CONVERT rsvg-convert REQUIRED)  # Debian package librsvg2-bin

set(KELVANE_ICON_SVG ${CMAKE_CURRENT_LIST_DIR}/icons/kelvane-saver.svg)
set(KELVANE_ICON_SIZES 16 22 24 32 48 64 128 256)
set(icon_pngs)
foreach(size IN LISTS KELVANE_ICON_SIZES)
  set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/kelvane-saver.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} ${KELVANE_ICON_SVG} -o ${png}
    DEPENDS ${KELVANE_ICON_SVG}
    COMMENT "Drawing the ${size}x${size} icon")
  list(APPEND icon_pngs ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(icons ALL DEPENDS ${icon_pngs})
install(FILES ${KELVANE_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/desktop/kelvane-saver.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The release the store lists is the build's own version.
set(KELVANE_RELEASE_DATE 2026-12-09)
configure_file(${CMAKE_CURRENT_LIST_DIR}/desktop/example.vessory.KelvaneSaver.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/example.vessory.KelvaneSaver.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/example.vessory.KelvaneSaver.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# XScreenSaver looks for its hacks in libexec/xscreensaver and for their descriptions in
# share/xscreensaver/config. The hack is a relative link to the installed saver, so the whole
# prefix can move.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/xscreensaver/kelvane-saver.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
file(RELATIVE_PATH hack_to_saver /prefix/${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver /prefix/${CMAKE_INSTALL_BINDIR}/kelvane-saver)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/xscreensaver-hack)
file(CREATE_LINK ${hack_to_saver} ${CMAKE_BINARY_DIR}/xscreensaver-hack/kelvane-saver SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/xscreensaver-hack/kelvane-saver DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
