# Install rules of Tailpeek: the program, its desktop entry, icons, AppStream
# metadata and manual page, in the places a desktop expects under the prefix.
# Included at the end of the top-level CMakeLists.txt; every path is relative
# to that file, so it works under add_subdirectory() too. Only the program is
# installed: the static libraries, tests and benchmarks are not.

include(GNUInstallDirs)

set(TAILPEEK_APP_ID "io.github.tailpeek.Tailpeek"
    CACHE INTERNAL "Reverse-DNS id of the desktop entry, icons and metadata")
set(_tailpeek_desktop ${CMAKE_CURRENT_SOURCE_DIR}/desktop)

install(TARGETS tailpeek RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The Japanese readme that the about menu names, with the package's documentation.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/readme.txt DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(FILES ${_tailpeek_desktop}/${TAILPEEK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_tailpeek_desktop}/${TAILPEEK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Icons: the PNGs and the SVG are written by tools/make-desktop-icons.py and committed.
foreach(_size 16 32 48 64 128 256)
  install(FILES ${_tailpeek_desktop}/icons/${TAILPEEK_APP_ID}-${_size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
          RENAME ${TAILPEEK_APP_ID}.png)
endforeach()
install(FILES ${_tailpeek_desktop}/icons/${TAILPEEK_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The manual page, compressed at build time as Debian wants it (-n: no name or
# time stamp in the archive, so the result is reproducible).
find_program(TAILPEEK_GZIP gzip)
set(_tailpeek_man ${CMAKE_CURRENT_SOURCE_DIR}/man/tailpeek.1)
if(TAILPEEK_GZIP)
  set(_tailpeek_man_gz ${CMAKE_CURRENT_BINARY_DIR}/man/tailpeek.1.gz)
  add_custom_command(OUTPUT ${_tailpeek_man_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
    COMMAND ${TAILPEEK_GZIP} -9 -n -c ${_tailpeek_man} > ${_tailpeek_man_gz}
    DEPENDS ${_tailpeek_man}
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(tailpeek_manpage ALL DEPENDS ${_tailpeek_man_gz})
  install(FILES ${_tailpeek_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${_tailpeek_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
