# Desktop integration: desktop entry, AppStream metadata, icons, manual page,
# a staged install and the Debian package. Shell scripts beside this file.

set(_tailpeek_app_id io.github.tailpeek.Tailpeek)
set(_tailpeek_desktop_test ${CMAKE_CURRENT_SOURCE_DIR}/desktop_test.sh)

foreach(_mode entry metainfo icons manpage)
  add_test(NAME desktop_${_mode}
    COMMAND bash ${_tailpeek_desktop_test} ${_mode} ${TAILPEEK_DIR} ${_tailpeek_app_id} ${PROJECT_VERSION})
  set_tests_properties(desktop_${_mode} PROPERTIES TIMEOUT 120)
endforeach()

add_test(NAME desktop_install
  COMMAND bash ${_tailpeek_desktop_test} install ${TAILPEEK_DIR} ${_tailpeek_app_id} ${PROJECT_VERSION}
               ${PROJECT_BINARY_DIR})
set_tests_properties(desktop_install PROPERTIES TIMEOUT 300)

# Only a top-level Tailpeek configures CPack (see cmake/package.cmake).
get_directory_property(_tailpeek_parent DIRECTORY ${TAILPEEK_DIR} PARENT_DIRECTORY)
if(NOT _tailpeek_parent)
  add_test(NAME desktop_package
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/package_test.sh ${PROJECT_BINARY_DIR} ${_tailpeek_app_id} ${PROJECT_VERSION}
            ${TAILPEEK_QT_MAJOR})
  set_tests_properties(desktop_package PROPERTIES TIMEOUT 600)
endif()
