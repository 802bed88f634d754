# Which Qt Tailpeek builds with: TAILPEEK_QT = 5, 6 or auto (the default: Qt 6
# when it is found with every module Tailpeek needs, else Qt 5). Sets
# TAILPEEK_QT_MAJOR, finds the modules, and defines tailpeek::qtcore, the Qt
# Core that the engine links: on Qt 6 with Core5Compat, whose QTextCodec
# decodes exactly as Qt 5 does (see the README). Every target links Qt through
# the version-less names (Qt::Core, Qt::Widgets, Qt::Test), which both give.
#
# Usable from the fuzzing project too: it needs Core alone, so it sets
# TAILPEEK_QT_COMPONENTS to Core before including this file.

set(TAILPEEK_QT auto CACHE STRING "Qt to build with: 5, 6 or auto (Qt 6 when it has every module needed, else Qt 5)")
set_property(CACHE TAILPEEK_QT PROPERTY STRINGS auto 5 6)

if(NOT DEFINED TAILPEEK_QT_COMPONENTS)
  set(TAILPEEK_QT_COMPONENTS Core Gui Widgets Concurrent)
  if(TAILPEEK_BUILD_TESTS)
    list(APPEND TAILPEEK_QT_COMPONENTS Test)
  endif()
endif()

if(TAILPEEK_QT STREQUAL "auto")
  find_package(Qt6 6.4 QUIET COMPONENTS ${TAILPEEK_QT_COMPONENTS} Core5Compat)
  if(Qt6_FOUND)
    set(TAILPEEK_QT_MAJOR 6)
  else()
    set(TAILPEEK_QT_MAJOR 5)
  endif()
elseif(TAILPEEK_QT STREQUAL "5" OR TAILPEEK_QT STREQUAL "6")
  set(TAILPEEK_QT_MAJOR ${TAILPEEK_QT})
else()
  message(FATAL_ERROR "TAILPEEK_QT is \"${TAILPEEK_QT}\": use 5, 6 or auto")
endif()

if(TAILPEEK_QT_MAJOR EQUAL 6)
  find_package(Qt6 6.4 REQUIRED COMPONENTS ${TAILPEEK_QT_COMPONENTS} Core5Compat)
else()
  find_package(Qt5 5.15 REQUIRED COMPONENTS ${TAILPEEK_QT_COMPONENTS})
endif()
message(STATUS "Tailpeek builds with Qt ${Qt${TAILPEEK_QT_MAJOR}Core_VERSION} (TAILPEEK_QT=${TAILPEEK_QT})")

if(NOT TARGET tailpeek::qtcore)
  add_library(tailpeek::qtcore INTERFACE IMPORTED)
  if(TAILPEEK_QT_MAJOR EQUAL 6)
    set_property(TARGET tailpeek::qtcore PROPERTY INTERFACE_LINK_LIBRARIES Qt6::Core Qt6::Core5Compat)
  else()
    set_property(TARGET tailpeek::qtcore PROPERTY INTERFACE_LINK_LIBRARIES Qt5::Core)
  endif()
endif()
