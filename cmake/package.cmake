# The Debian package of Tailpeek, made by CPack from the install rules:
#   cpack -G DEB          (in the build directory)
# gives tailpeek_<version>_<arch>.deb. Only when Tailpeek is the top-level
# project: under add_subdirectory() the including project does its own packaging.

get_directory_property(_tailpeek_parent_dir PARENT_DIRECTORY)
if(_tailpeek_parent_dir)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tailpeek)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tailpeek developers")
set(CPACK_PACKAGE_CONTACT "The Tailpeek developers <tailpeek@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for the newest lines of growing text files such as logs")
# The package says which Qt it was built with: Qt 5 and Qt 6 builds name
# different runtime packages.
set(CPACK_PACKAGE_DESCRIPTION
"Tailpeek is a small desktop viewer for plain-text files that grow while
they are watched, such as logs. It never loads the whole file: it shows a
window of 1 to 999 lines taken from the start of the file, from its end, or
from a position given as a percentage.
.
It decodes Unicode (with byte order mark detection), Shift-JIS, UTF-8 and
EUC-JP, marks every occurrence of a search text in colour or shows only the
lines that contain it, and re-reads the file on a timer, but only when its
size has changed. Its user interface is in Japanese.
.
This build uses Qt ${TAILPEEK_QT_MAJOR}.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries, libstdc++ and libc come from dpkg-shlibdeps, which reads the
# program's own library needs; the Japanese font is added by hand: the view's
# default font family is replaced by the first of these that is installed. Qt's
# own translations are loaded at run time, which dpkg-shlibdeps cannot see:
# they come from the package of the Qt the program is built with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TAILPEEK_QT_MAJOR EQUAL 6)
  set(_tailpeek_qt_translations qt6-translations-l10n)
else()
  set(_tailpeek_qt_translations qttranslations5-l10n)
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-ipafont-gothic | fonts-noto-cjk | fonts-takao-gothic | fonts-vlgothic, ${_tailpeek_qt_translations}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
