# Client code for Wayland protocols, generated from their descriptions by wayland-scanner.
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)

# wayland_client_protocols(SOURCES_VARIABLE FOLDER NAME=XML ...): NAME-client-protocol.h and
# NAME-protocol.c in FOLDER for each, their paths appended to SOURCES_VARIABLE.
function(wayland_client_protocols sources_variable folder)
  file(MAKE_DIRECTORY ${folder})
  set(sources ${${sources_variable}})
  foreach(protocol ${ARGN})
    string(REPLACE "=" ";" parts "${protocol}")
    list(GET parts 0 name)
    list(GET parts 1 xml)
    add_custom_command(OUTPUT ${folder}/${name}-client-protocol.h ${folder}/${name}-protocol.c
      COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${folder}/${name}-client-protocol.h
      COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${folder}/${name}-protocol.c
      DEPENDS ${xml} VERBATIM)
    list(APPEND sources ${folder}/${name}-client-protocol.h ${folder}/${name}-protocol.c)
  endforeach()
  set(${sources_variable} ${sources} PARENT_SCOPE)
endfunction()
